# minizip reads the ZIP archives (over zlib). Natively it is Debian's package; the Windows
# builds compile it from zlib's own sources, which scripts/setup fetches into third_party/,
# and so does the fuzzing build, which wants it instrumented.
set(ZEVA_THIRD_PARTY_DIR "$ENV{ZEVA_THIRD_PARTY}" CACHE PATH "Fetched third-party sources")
if(NOT ZEVA_THIRD_PARTY_DIR)
  set(ZEVA_THIRD_PARTY_DIR "${PROJECT_SOURCE_DIR}/third_party" CACHE PATH "" FORCE)
endif()

if(WIN32 OR ZEVA_FUZZ)
  set(minizip_dir "${ZEVA_THIRD_PARTY_DIR}/minizip")
  if(NOT EXISTS "${minizip_dir}/unzip.c")
    message(FATAL_ERROR "minizip sources missing in ${minizip_dir}: run scripts/setup")
  endif()
  if(WIN32)
    # The static library: the client imports system DLLs only.
    find_library(ZEVA_ZLIB_STATIC NAMES libz.a REQUIRED)
    find_path(ZEVA_ZLIB_INCLUDE zlib.h REQUIRED)
    add_library(zeva_zlib STATIC IMPORTED)
    set_target_properties(zeva_zlib PROPERTIES IMPORTED_LOCATION "${ZEVA_ZLIB_STATIC}"
                                               INTERFACE_INCLUDE_DIRECTORIES "${ZEVA_ZLIB_INCLUDE}")
  else()
    find_package(ZLIB REQUIRED)
    add_library(zeva_zlib ALIAS ZLIB::ZLIB)
  endif()
  add_library(zeva_minizip STATIC "${minizip_dir}/unzip.c" "${minizip_dir}/ioapi.c")
  target_include_directories(zeva_minizip SYSTEM PUBLIC "${minizip_dir}")
  target_link_libraries(zeva_minizip PUBLIC zeva_zlib)
  target_compile_options(zeva_minizip PRIVATE -w)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
  add_library(zeva_minizip INTERFACE)
  target_link_libraries(zeva_minizip INTERFACE PkgConfig::MINIZIP)
endif()
