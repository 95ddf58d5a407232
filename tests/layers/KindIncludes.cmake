cmake_minimum_required(VERSION 3.20)
# Fails when a file includes a header its folder must not reach although the
# include roots let it: the job's own subtitle kinds (job/sources/) outside
# their folder, where the job and the still know them only through
# SubtitleSource.h; and the decoder in the output, which is told of the
# source's streams as values (media/SourceStreams.h).
#
# Each rule is "<folder under src>|<folder within it that may>|<include prefix>"
# ("-": none may).
set(rules "job|job/sources|job/sources/" "output|-|media/VelAvCodec.h")
file(GLOB_RECURSE files RELATIVE ${SOURCE} ${SOURCE}/*.h ${SOURCE}/*.cpp)
set(broken "")
list(LENGTH files count)
if(count LESS 50)
  message(FATAL_ERROR "only ${count} files found under '${SOURCE}'")
endif()
foreach(rule ${rules})
  string(REPLACE "|" ";" fields "${rule}")
  list(GET fields 0 folder)
  list(GET fields 1 allowed)
  list(GET fields 2 prefix)
  foreach(file ${files})
    if(NOT file MATCHES "^${folder}/" OR file MATCHES "^${allowed}/")
      continue()
    endif()
    file(STRINGS ${SOURCE}/${file} lines REGEX "^#include \"${prefix}")
    foreach(line ${lines})
      list(APPEND broken "${file}: ${line}")
    endforeach()
  endforeach()
endforeach()
if(broken)
  list(JOIN broken "\n  " text)
  message(FATAL_ERROR "includes past their layer:\n  ${text}")
endif()
