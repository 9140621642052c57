# Runs each fuzzer briefly from its seeds; it must find nothing. New inputs go to the build tree
# (libFuzzer writes into its first corpus folder), never into the committed seeds. The backup
# fuzzer is built beside the reply fuzzer that KD215_FUZZ_BINARY names.
if(KD215_FUZZ_BINARY)
  get_filename_component(KD215_FUZZ_DIR ${KD215_FUZZ_BINARY} DIRECTORY)
  add_test(NAME fuzz.replies
           COMMAND sh -c "mkdir -p corpus && exec \"$0\" -runs=300000 -max_len=300 -seed=215 corpus \"$1\""
                   ${KD215_FUZZ_BINARY} ${CMAKE_CURRENT_LIST_DIR}/seeds
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  add_test(NAME fuzz.backup
           COMMAND sh -c "mkdir -p backup-corpus && exec \"$0\" -dict=\"$2\" -runs=50000 -max_len=16384 -seed=215 backup-corpus \"$1\""
                   ${KD215_FUZZ_DIR}/backup_fuzz ${CMAKE_CURRENT_LIST_DIR}/backup/seeds
                   ${CMAKE_CURRENT_LIST_DIR}/backup/json.dict
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(fuzz.replies fuzz.backup PROPERTIES TIMEOUT 300)
endif()
