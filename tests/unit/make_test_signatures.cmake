# Signatures made by minisign itself, for the signature tests: a file of several read pieces
# signed with the trusted key (current and legacy algorithm), with another key, and with the
# build's updater key, which the client composed as the ports compose it trusts.
#   cmake -DMINISIGN=minisign -DBUILD_KEY=secret-key-file -DOUT=folder -P make_test_signatures.cmake
file(MAKE_DIRECTORY "${OUT}")
foreach(key trusted other)
  execute_process(COMMAND "${MINISIGN}" -G -f -W -p "${OUT}/${key}.pub" -s "${OUT}/${key}.key"
                  INPUT_FILE /dev/null OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endforeach()
string(REPEAT "KIVOUpdate stand-in 0123456789\n" 7000 body)
file(WRITE "${OUT}/updater.exe" "${body}")
foreach(signature "trusted;updater.exe.minisig" "trusted;legacy.minisig;-l" "other;other.minisig"
                  "build;build-key.minisig")
  list(POP_FRONT signature key name)
  if(key STREQUAL "build")
    set(key_file "${BUILD_KEY}")
  else()
    set(key_file "${OUT}/${key}.key")
  endif()
  execute_process(COMMAND "${MINISIGN}" -S ${signature} -s "${key_file}" -m "${OUT}/updater.exe"
                          -x "${OUT}/${name}" -t "file:updater.exe"
                  INPUT_FILE /dev/null OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endforeach()
file(WRITE "${OUT}/stamp" "")
