# Test helpers shared by every test folder.
#
# tarvik_gtest(NAME SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [TIMEOUT s]
#              [NO_SANITIZER] [SANITIZER_ARGS <args...>])
# makes one GoogleTest executable and registers it with ctest under NAME.
# Window tests need a display: the test command runs ctest under xvfb-run, so
# they simply find DISPLAY set.
# NO_SANITIZER: the test is left out of the AddressSanitizer tree (a test that
# runs the whole tarvik-ui as a child process: the GL driver that process
# unloads at exit leaves allocations the leak checker cannot name). Every other
# test, window tests included, runs in both trees; the window tests' main keeps
# the GL driver loaded to the end there, so its leaks are named and suppressed.
# SANITIZER_ARGS: arguments for the sanitizer tree only (a --gtest_filter that
# leaves out such child-process cases of a test that runs otherwise).
find_package(GTest QUIET)

function(tarvik_gtest NAME)
  cmake_parse_arguments(T "NO_SANITIZER" "TIMEOUT" "SOURCES;LIBS;LABELS;SANITIZER_ARGS" ${ARGN})
  if(T_NO_SANITIZER AND TARVIK_SANITIZE)
    return()
  endif()
  add_executable(${NAME} ${T_SOURCES})
  target_link_libraries(${NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  set(_args)
  if(TARVIK_SANITIZE)
    set(_args ${T_SANITIZER_ARGS})
  endif()
  add_test(NAME ${NAME} COMMAND ${NAME} ${_args})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "TARVIK_BIN_DIR=${CMAKE_BINARY_DIR}/bin;TARVIK_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  if(T_LABELS)
    set_tests_properties(${NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
