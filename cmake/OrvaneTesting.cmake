# One test executable per module, registered with CTest under a label:
#   unit - fast, no display;   x11 - needs a real X display (run under Xvfb);   e2e - slow, whole roads.
# Widget tests that need no real windows use the offscreen platform and stay "unit".
include(GoogleTest)

set(ORVANE_WITH_XVFB ${CMAKE_SOURCE_DIR}/scripts/with-xvfb.sh)
# Every test program gets user folders of its own (data, configuration, cache, state, runtime).
set(ORVANE_WITH_USER_FOLDERS ${CMAKE_SOURCE_DIR}/scripts/with-user-folders.sh)
# Leak reports from Qt's platform plugins are not ours; every test program, and every helper
# program of the tests that runs Qt, carries the list.
set(ORVANE_QT_LEAK_SUPPRESSIONS ${CMAKE_SOURCE_DIR}/tests/support/qt_leak_suppressions.cpp)

# orvane_add_test(<target> LABEL <unit|x11|e2e> SOURCES ... [LIBS ...] [TIMEOUT s])
function(orvane_add_test target)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${target} ${T_SOURCES} ${ORVANE_QT_LEAK_SUPPRESSIONS})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${target} PRIVATE ${T_LIBS} orvane_testsupport GTest::gtest GTest::gtest_main)
  if(T_LABEL STREQUAL "x11" OR T_LABEL STREQUAL "e2e")
    add_test(NAME ${target}
             COMMAND ${ORVANE_WITH_USER_FOLDERS} ${ORVANE_WITH_XVFB} $<TARGET_FILE:${target}>)
  else()
    add_test(NAME ${target} COMMAND ${ORVANE_WITH_USER_FOLDERS} $<TARGET_FILE:${target}>)
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
  set_tests_properties(${target} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT})
endfunction()
