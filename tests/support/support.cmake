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

# The sound card of the test configurations: takes frames at their rate and
# drops them (ALSA's file plugin above it keeps what was played).
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
add_library(ravlox_paced_pcm MODULE ${CMAKE_CURRENT_LIST_DIR}/alsa/paced_pcm.c)
target_link_libraries(ravlox_paced_pcm PRIVATE PkgConfig::ALSA)
# Without PIC the plugin macros expect to be linked into libasound itself.
target_compile_definitions(ravlox_paced_pcm PRIVATE PIC)
set_target_properties(ravlox_paced_pcm PROPERTIES
  PREFIX "" OUTPUT_NAME libasound_module_pcm_ravlox_paced
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/alsa-plugins)
target_compile_definitions(ravlox_test_support PUBLIC
  RAVLOX_ALSA_PLUGIN_DIR="${CMAKE_BINARY_DIR}/tests/alsa-plugins")

# Files dragged out of a window of their own, as from a file manager.
add_executable(drag_source ${CMAKE_CURRENT_LIST_DIR}/probe/drag_source.cpp)
target_link_libraries(drag_source PRIVATE PkgConfig::DEPS)
