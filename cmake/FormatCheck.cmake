# format-check: fails when a source file differs from what .clang-format asks.
# The test suite runs it too, so style drift shows up as a failing test.
find_program(CLANG_FORMAT NAMES clang-format-14 clang-format)
if(CLANG_FORMAT)
  add_custom_target(format-check
    COMMAND ${CMAKE_COMMAND} -DCLANG_FORMAT=${CLANG_FORMAT} -DROOT=${CMAKE_SOURCE_DIR}
            -P ${CMAKE_SOURCE_DIR}/cmake/RunFormatCheck.cmake
    COMMENT "Checking source formatting")
  add_custom_target(format
    COMMAND ${CMAKE_COMMAND} -DCLANG_FORMAT=${CLANG_FORMAT} -DROOT=${CMAKE_SOURCE_DIR} -DFIX=ON
            -P ${CMAKE_SOURCE_DIR}/cmake/RunFormatCheck.cmake
    COMMENT "Formatting sources")
  if(TOLVANE_BUILD_TESTS)
    add_test(NAME format_check
      COMMAND ${CMAKE_COMMAND} -DCLANG_FORMAT=${CLANG_FORMAT} -DROOT=${CMAKE_SOURCE_DIR}
              -P ${CMAKE_SOURCE_DIR}/cmake/RunFormatCheck.cmake)
    set_tests_properties(format_check PROPERTIES TIMEOUT 120)
  endif()
endif()
