# The Win32 client's resource script, generated on the build host from the tables in res/
# (one source of truth for both ports): icon 128, the pictures by number, menus, dialog
# templates, the version and the manifest. Defines ZEVA_RESOURCE_SCRIPT.
find_program(ZEVA_HOST_CXX NAMES c++ g++ REQUIRED)
find_program(ZEVA_CONVERT NAMES convert REQUIRED)  # ImageMagick: the icon from its PNG

set(ZEVA_RESOURCE_DIR "${CMAKE_BINARY_DIR}/resources")
set(ZEVA_RESOURCE_SCRIPT "${ZEVA_RESOURCE_DIR}/zeva.rc")
file(GLOB ZEVA_ART_PNGS CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/res/art/*.png")

add_custom_command(
  OUTPUT "${ZEVA_RESOURCE_DIR}/make_rc"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${ZEVA_RESOURCE_DIR}"
  COMMAND "${ZEVA_HOST_CXX}" -std=c++20 -O1 -I "${PROJECT_SOURCE_DIR}/src" -I "${PROJECT_SOURCE_DIR}"
          "${PROJECT_SOURCE_DIR}/res/tools/make_rc.cpp" "${PROJECT_SOURCE_DIR}/res/dialog_templates.cpp"
          "${PROJECT_SOURCE_DIR}/src/platform/unicode.cpp" -o "${ZEVA_RESOURCE_DIR}/make_rc"
  DEPENDS "${PROJECT_SOURCE_DIR}/res/tools/make_rc.cpp" "${PROJECT_SOURCE_DIR}/res/dialog_templates.cpp"
          "${PROJECT_SOURCE_DIR}/src/platform/unicode.cpp"
          "${PROJECT_SOURCE_DIR}/res/dialog_templates.h" "${PROJECT_SOURCE_DIR}/res/resource_ids.h"
  COMMENT "Building the resource-script generator for the build host")
add_custom_command(
  OUTPUT "${ZEVA_RESOURCE_DIR}/app.ico"
  COMMAND "${ZEVA_CONVERT}" "${PROJECT_SOURCE_DIR}/res/art/icon.png" -define icon:auto-resize=32,16
          "${ZEVA_RESOURCE_DIR}/app.ico"
  DEPENDS "${PROJECT_SOURCE_DIR}/res/art/icon.png" "${ZEVA_RESOURCE_DIR}/make_rc"
  COMMENT "Making the icon")
add_custom_command(
  OUTPUT "${ZEVA_RESOURCE_SCRIPT}"
  COMMAND "${ZEVA_RESOURCE_DIR}/make_rc" "${ZEVA_RESOURCE_SCRIPT}" "${PROJECT_SOURCE_DIR}/res/art"
          "${ZEVA_RESOURCE_DIR}/app.ico" "${PROJECT_SOURCE_DIR}/res/zeva.manifest"
  DEPENDS "${ZEVA_RESOURCE_DIR}/make_rc" "${ZEVA_RESOURCE_DIR}/app.ico" ${ZEVA_ART_PNGS}
          "${PROJECT_SOURCE_DIR}/res/zeva.manifest"
  COMMENT "Writing the resource script from res/")
# windres reads the script as UTF-8 (the Chinese texts come out as UTF-16).
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
