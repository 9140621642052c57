# The native link benchmark: prints figures; as a ctest entry it only has to run to the end.
# Run with scripts/test.sh -L bench -V; the plain run leaves it out.
add_executable(link_bench ${CMAKE_CURRENT_LIST_DIR}/link_bench.cpp)
target_link_libraries(link_bench PRIVATE kd215core kd215simcore)
target_compile_definitions(link_bench PRIVATE KD215_SIM_PATH="$<TARGET_FILE:kd215-sim>")
add_dependencies(link_bench kd215-sim)
add_test(NAME bench.link_chains COMMAND link_bench)
set_tests_properties(bench.link_chains PROPERTIES LABELS bench TIMEOUT 120)
