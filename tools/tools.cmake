# Build-time tools: the default theme's packer (run by the build) and its
# drawing program (run by hand to regenerate theme/default/*.BMP).
set(RAVLOX_THEME_FILES
  BALANCE.BMP CBUTTONS.BMP EQMAIN.BMP EQ_EX.BMP MAIN.BMP MONOSTER.BMP NUMBERS.BMP
  PLAYPAUS.BMP PLEDIT.BMP PLEDIT.TXT POSBAR.BMP SHUFREP.BMP TEXT.BMP TITLEBAR.BMP
  VISCOLOR.TXT VOLUME.BMP cc-0-10.txt)
set(_theme_inputs "")
foreach(_f ${RAVLOX_THEME_FILES})
  list(APPEND _theme_inputs ${CMAKE_SOURCE_DIR}/theme/default/${_f})
endforeach()

add_executable(ravlox_pack_theme ${CMAKE_CURRENT_LIST_DIR}/pack_theme.cpp)
target_include_directories(ravlox_pack_theme PRIVATE ${CMAKE_SOURCE_DIR})

set(_theme_generated ${CMAKE_BINARY_DIR}/generated/default_theme_data.cpp)
add_custom_command(
  OUTPUT ${_theme_generated}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND ravlox_pack_theme ${CMAKE_SOURCE_DIR}/theme/default ${_theme_generated}
  DEPENDS ravlox_pack_theme ${_theme_inputs} ${CMAKE_SOURCE_DIR}/theme/catalogue.h
  COMMENT "Packing the default theme"
  VERBATIM)
list(APPEND RAVLOX_GENERATED_SOURCES ${_theme_generated})

add_executable(ravlox_draw_default_theme EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/draw_default_theme.cpp)
target_include_directories(ravlox_draw_default_theme PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(ravlox_draw_default_theme PRIVATE
  RAVLOX_DEFAULT_THEME_DIR="${CMAKE_SOURCE_DIR}/theme/default")
# Regenerate the art:
#   cmake --build BUILD --target ravlox_draw_default_theme && BUILD/ravlox_draw_default_theme

# The program's icon (SVG and the hicolor PNG sizes), drawn at build time.
add_executable(ravlox_draw_icon ${CMAKE_CURRENT_LIST_DIR}/draw_icon.cpp)
target_link_libraries(ravlox_draw_icon PRIVATE PkgConfig::DEPS m)
set(RAVLOX_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
add_custom_command(
  OUTPUT ${RAVLOX_ICON_DIR}/.stamp
  COMMAND ravlox_draw_icon ${RAVLOX_ICON_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${RAVLOX_ICON_DIR}/.stamp
  DEPENDS ravlox_draw_icon
  COMMENT "Drawing the icon"
  VERBATIM)
add_custom_target(ravlox_icons ALL DEPENDS ${RAVLOX_ICON_DIR}/.stamp)
