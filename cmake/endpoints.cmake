# The addresses the client talks to are build settings; the defaults point at the reference
# tool server on this machine, so a fresh build works out of the box.
set(ZEVA_TOOL_SERVER "http://127.0.0.1:8088" CACHE STRING "Tool server base address (scheme, host, port)")
set(ZEVA_ACCOUNT_HOST "127.0.0.1" CACHE STRING "Account server host")
set(ZEVA_ACCOUNT_PORT "80" CACHE STRING "Account server port")
set(ZEVA_FORUM_HOST "http://127.0.0.1:8088" CACHE STRING "Forum host (scheme and host) of the feedback page")
set(ZEVA_GAME_SITE "http://127.0.0.1:8088/" CACHE STRING "Game-site address of the about text")
set(ZEVA_RIGHTS_NOTICE "版权所有 (C) ZEVA 保留所有权利" CACHE STRING "Rights notice of the about text")
set(ZEVA_ACCELERATOR_SERVER "http://127.0.0.1:8088" CACHE STRING "Accelerator vendor's download server")
include("${CMAKE_CURRENT_LIST_DIR}/updater_key.cmake")

set(ZEVA_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
configure_file("${CMAKE_CURRENT_LIST_DIR}/endpoints.h.in" "${ZEVA_GENERATED_DIR}/zeva/endpoints.h" @ONLY)
