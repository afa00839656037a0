# libsodium checks the updater's signature. Natively it is Debian's package; the Windows builds
# link the static libraries scripts/setup builds from Debian's sources into third_party/.
if(WIN32)
  set(sodium_dir "${ZEVA_THIRD_PARTY_DIR}/libsodium/${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32")
  if(NOT EXISTS "${sodium_dir}/lib/libsodium.a")
    message(FATAL_ERROR "libsodium missing in ${sodium_dir}: run scripts/setup")
  endif()
  add_library(zeva_sodium STATIC IMPORTED GLOBAL)  # the tests use it too
  # Its start-up seeds a random generator from advapi32 and takes a pthread lock.
  set_target_properties(zeva_sodium PROPERTIES
    IMPORTED_LOCATION "${sodium_dir}/lib/libsodium.a"
    INTERFACE_INCLUDE_DIRECTORIES "${sodium_dir}/include"
    INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC
    INTERFACE_LINK_LIBRARIES "advapi32;-pthread")
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
  add_library(zeva_sodium INTERFACE)
  target_link_libraries(zeva_sodium INTERFACE PkgConfig::SODIUM)
endif()
