# One way to register a test program, so that every test target is named, linked and run alike:
#   quillfen_add_test(<area>_tests SOURCES ... LIBS ... [DEFINITIONS ...] [DEPENDS ...]
#                     [LABELS ...] [WINDOW | OWN_MAIN])
# A test program runs its GoogleTest cases, each discovered as a test of its own (OWN_MAIN: with
# a main of its own); a WINDOW test program has a main of its own that sets up the offscreen
# platform and runs as one test.
include(GoogleTest)
# What a test writes to the user's data folder (the record of sources a save keeps) goes to the
# build folder instead.
set(QUILLFEN_TEST_DATA "XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-data")

function(quillfen_add_test name)
  cmake_parse_arguments(T "WINDOW;OWN_MAIN" "" "SOURCES;LIBS;DEFINITIONS;DEPENDS;LABELS" ${ARGN})
  if(NOT name MATCHES "_tests$")
    message(FATAL_ERROR "Test programs are named <area>_tests, not ${name}")
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_DEFINITIONS)
    target_compile_definitions(${name} PRIVATE ${T_DEFINITIONS})
  endif()
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  if(T_WINDOW)
    target_link_libraries(${name} PRIVATE ${T_LIBS} quillfen_test_support GTest::gtest)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
      TIMEOUT 600
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;${QUILLFEN_TEST_DATA}")
    if(T_LABELS)
      set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
  else()
    if(T_OWN_MAIN)
      target_link_libraries(${name} PRIVATE ${T_LIBS} quillfen_test_support GTest::gtest)
    else()
      target_link_libraries(${name} PRIVATE ${T_LIBS} quillfen_test_support GTest::gtest_main)
    endif()
    if(T_LABELS)
      gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                           PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "${QUILLFEN_TEST_DATA}")
    else()
      gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                           PROPERTIES ENVIRONMENT "${QUILLFEN_TEST_DATA}")
    endif()
  endif()
endfunction()
