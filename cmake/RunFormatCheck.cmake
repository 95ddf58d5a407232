file(GLOB_RECURSE sources
  ${ROOT}/src/*.cpp ${ROOT}/src/*.h
  ${ROOT}/tests/*.cpp ${ROOT}/tests/*.h
  ${ROOT}/bench/*.cpp ${ROOT}/bench/*.h
  ${ROOT}/fuzz/*.cpp ${ROOT}/fuzz/*.h)
if(FIX)
  execute_process(COMMAND ${CLANG_FORMAT} -i ${sources})
  return()
endif()
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources}
  RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Sources are not formatted (run: cmake --build <dir> --target format)\n${errors}")
endif()
