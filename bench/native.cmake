# The native benchmarks: each prints its figures and ends non-zero when its stated goal slips.
# Run with scripts/test.sh -L bench -V; the plain run leaves it out.
add_executable(link_bench ${CMAKE_CURRENT_LIST_DIR}/link_bench.cpp)
target_link_libraries(link_bench PRIVATE kd215_link kd215simcore)
target_compile_definitions(link_bench PRIVATE KD215_SIM_PATH="$<TARGET_FILE:kd215-sim>")
add_dependencies(link_bench kd215-sim)
add_test(NAME bench.link_chains COMMAND link_bench)
set_tests_properties(bench.link_chains PROPERTIES LABELS bench TIMEOUT 120)

# kd215ctl backup over 1, 4 and 8 simulated controllers at once: wall time against one's, and CPU.
add_executable(many_bench ${CMAKE_CURRENT_LIST_DIR}/many_bench.cpp)
target_link_libraries(many_bench PRIVATE kd215simcore)
target_compile_definitions(many_bench PRIVATE KD215_SIM_PATH="$<TARGET_FILE:kd215-sim>"
                                              KD215CTL_PATH="$<TARGET_FILE:kd215ctl>")
add_dependencies(many_bench kd215-sim kd215ctl)
add_test(NAME bench.many_controllers COMMAND many_bench)
set_tests_properties(bench.many_controllers PROPERTIES LABELS bench TIMEOUT 120)
