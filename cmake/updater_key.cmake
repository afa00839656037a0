# The key the updater's signature must be made with. By default the build's own minisign key
# pair, made here once and kept in the build folder (never in the sources): the reference tool
# server's build signs its stand-in updater with it. A release build names the real key's
# public half, and the updater it publishes is signed with that key's secret half elsewhere.
set(ZEVA_UPDATER_PUBLIC_KEY "" CACHE STRING
    "minisign public key of the updater's signatures (the base64 line of its .pub file); empty: this build's own key")

find_program(ZEVA_MINISIGN minisign)
set(ZEVA_UPDATER_KEY_DIR "${CMAKE_BINARY_DIR}/updater-key")
set(ZEVA_UPDATER_SECRET_KEY "${ZEVA_UPDATER_KEY_DIR}/minisign.key")
set(build_public_key "${ZEVA_UPDATER_KEY_DIR}/minisign.pub")
if(NOT EXISTS "${ZEVA_UPDATER_SECRET_KEY}" OR NOT EXISTS "${build_public_key}")
  if(NOT ZEVA_MINISIGN)
    message(FATAL_ERROR "minisign missing: run scripts/setup")
  endif()
  file(MAKE_DIRECTORY "${ZEVA_UPDATER_KEY_DIR}")
  # No password: builds sign without anyone at the keyboard.
  execute_process(
    COMMAND "${ZEVA_MINISIGN}" -G -f -W -p "${build_public_key}" -s "${ZEVA_UPDATER_SECRET_KEY}"
    INPUT_FILE /dev/null OUTPUT_QUIET RESULT_VARIABLE made)
  if(NOT made EQUAL 0)
    message(FATAL_ERROR "minisign could not make the build's updater key in ${ZEVA_UPDATER_KEY_DIR}")
  endif()
endif()

# A key pair removed from the build folder is made again at the next build.
set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${ZEVA_UPDATER_SECRET_KEY}" "${build_public_key}")

if(ZEVA_UPDATER_PUBLIC_KEY)
  set(ZEVA_UPDATER_TRUSTED_KEY "${ZEVA_UPDATER_PUBLIC_KEY}")
else()
  file(STRINGS "${build_public_key}" key_lines REGEX "^RW")
  list(GET key_lines 0 ZEVA_UPDATER_TRUSTED_KEY)
endif()
# "Ed", an 8-byte key id and a 32-byte Ed25519 key: 56 characters of base64 beginning "RW".
string(LENGTH "${ZEVA_UPDATER_TRUSTED_KEY}" key_length)
if(NOT key_length EQUAL 56 OR NOT ZEVA_UPDATER_TRUSTED_KEY MATCHES "^RW[A-Za-z0-9+/]+$")
  message(FATAL_ERROR "ZEVA_UPDATER_PUBLIC_KEY is no minisign public key: \"${ZEVA_UPDATER_TRUSTED_KEY}\"")
endif()
