# Test helpers shared by every test folder.
#
# tarvik_gtest(NAME SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [TIMEOUT s]
#              [WINDOW] [NO_SANITIZER] [SANITIZER_ARGS <args...>] [DEPENDS <programs...>])
# makes one GoogleTest executable and registers it with ctest under NAME. It
# links the shared test support (tests/support).
# WINDOW: a window test; it links the window fixture and the main that makes
# the QApplication.
# DEPENDS: programs the test runs as children (tarvik-sim comes with the
# support library).
# Window tests need a display: the test command runs ctest under xvfb-run, so
# they simply find DISPLAY set.
# NO_SANITIZER: the test is left out of the AddressSanitizer tree (a test that
# runs the whole tarvik-ui as a child process: the GL driver that process
# unloads at exit leaves allocations the leak checker cannot name). Every other
# test, window tests included, runs in both trees; the window tests' main keeps
# the GL driver loaded to the end there, so its leaks are named and suppressed.
# SANITIZER_ARGS: arguments for the sanitizer tree only (a --gtest_filter that
# leaves out such child-process cases of a test that runs otherwise).
# In the sanitizer tree each test program runs through
# tests/support/sanitizer_run.
find_package(GTest REQUIRED)

function(tarvik_gtest NAME)
  cmake_parse_arguments(T "NO_SANITIZER;WINDOW" "TIMEOUT" "SOURCES;LIBS;LABELS;SANITIZER_ARGS;DEPENDS" ${ARGN})
  if(T_NO_SANITIZER AND TARVIK_SANITIZE)
    return()
  endif()
  add_executable(${NAME} ${T_SOURCES})
  if(T_WINDOW)
    set(_main tarvik_test_window tarvik_test_main)
  else()
    set(_main GTest::gtest_main)
  endif()
  target_link_libraries(${NAME} PRIVATE ${T_LIBS} tarvik_test_support ${_main} GTest::gtest Threads::Threads)
  if(T_DEPENDS)
    add_dependencies(${NAME} ${T_DEPENDS})
  endif()
  target_include_directories(${NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  if(TARVIK_SANITIZE)
    # sanitizer_run repeats a run once when only the leak checker's own tracer
    # crashed at exit (see the script).
    add_test(NAME ${NAME} COMMAND ${PROJECT_SOURCE_DIR}/tests/support/sanitizer_run
             $<TARGET_FILE:${NAME}> ${T_SANITIZER_ARGS})
  else()
    add_test(NAME ${NAME} COMMAND ${NAME})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "TARVIK_BIN_DIR=${CMAKE_BINARY_DIR}/bin;TARVIK_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  if(T_LABELS)
    set_tests_properties(${NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
