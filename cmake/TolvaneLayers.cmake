# Every library of src/ sees the headers of exactly the libraries it links.
#
# tolvane_library(NAME FOLDER <folder under src> SOURCES ... [PUBLIC ...] [PRIVATE ...])
# makes a static library whose headers are reached as "<folder>/<file>.h"
# through an include root of its own. That root holds links to the headers
# of its folder and of nothing else (not even its subfolders), so an include
# of a folder the library does not link fails to compile.
function(tolvane_library name)
  cmake_parse_arguments(L "" "FOLDER" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${L_FOLDER})
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${L_FOLDER}/*.h)
  foreach(header ${headers})
    get_filename_component(file ${header} NAME)
    file(CREATE_LINK ${header} ${root}/${L_FOLDER}/${file} SYMBOLIC)
  endforeach()
  target_include_directories(${name} PUBLIC ${root})
  target_link_libraries(${name} PUBLIC ${L_PUBLIC} PRIVATE ${L_PRIVATE})
  set_target_properties(${name} PROPERTIES LINKER_LANGUAGE CXX)
endfunction()
