include(GoogleTest)

# rastel_add_test(NAME name SOURCES ... LIBS ... [GUI] [PROPERTIES prop value ...])
# PROPERTIES are added to every test of the program (e.g. RESOURCE_LOCK).
# A GUI test must be run under xvfb-run (make test does). Tests carry the label "gui" or
# "core"; sanitizer runs select the core ones with `ctest -L core`.
# Builds every non-GUI test program (what the sanitizer runs need, and nothing more).
add_custom_target(rastel_core_tests)

function(rastel_add_test)
  cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock Threads::Threads)
  if(NOT T_GUI)
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  if(T_GUI)
    set(label gui)
  else()
    set(label core)
    add_dependencies(rastel_core_tests ${T_NAME})
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${label} TIMEOUT 300 ENVIRONMENT "RASTEL_DISCOVERY_ADDRESS=127.255.255.255" ${T_PROPERTIES})
endfunction()

# Widget tests link this main(), which creates the QApplication.
set(RASTEL_GUI_TEST_MAIN ${PROJECT_SOURCE_DIR}/tests/support/GuiTestMain.cpp)
