# Runs the reply fuzzer briefly from its seeds; it must find nothing. New inputs go to the build
# tree (libFuzzer writes into its first corpus folder), never into the committed seeds.
if(KD215_FUZZ_BINARY)
  add_test(NAME fuzz.replies
           COMMAND sh -c "mkdir -p corpus && exec \"$0\" -runs=300000 -max_len=300 -seed=215 corpus \"$1\""
                   ${KD215_FUZZ_BINARY} ${CMAKE_CURRENT_LIST_DIR}/seeds
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(fuzz.replies PROPERTIES TIMEOUT 300)
endif()
