# Included by tests/CMakeLists.txt after ravlox_test_support is defined.

# MP3 fixtures, regenerated only when the script changes.
set(RAVLOX_FIXTURE_OUT ${CMAKE_BINARY_DIR}/fixtures)
add_custom_command(
  OUTPUT ${RAVLOX_FIXTURE_OUT}/.stamp
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/make_fixtures.sh ${RAVLOX_FIXTURE_OUT}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_fixtures.sh
  COMMENT "Generating MP3 test fixtures"
  VERBATIM)
add_custom_target(ravlox_fixtures ALL DEPENDS ${RAVLOX_FIXTURE_OUT}/.stamp)

# A minimal GTK window for proving the display helpers.
add_executable(harness_probe ${CMAKE_CURRENT_LIST_DIR}/probe/harness_probe.cpp)
target_link_libraries(harness_probe PRIVATE PkgConfig::DEPS)
target_compile_definitions(ravlox_test_support PUBLIC
  RAVLOX_PROBE_BINARY="$<TARGET_FILE:harness_probe>")

# Files dragged out of a window of their own, as from a file manager.
add_executable(drag_source ${CMAKE_CURRENT_LIST_DIR}/probe/drag_source.cpp)
target_link_libraries(drag_source PRIVATE PkgConfig::DEPS)
