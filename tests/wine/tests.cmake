# The Wine suite (both locales in one run), the run command twice, and the Wine benchmark, when a
# Windows x86_64 build is handed in (scripts/test.sh passes -DKD215_WIN64_BUILD).
if(KD215_WIN64_BUILD AND TARGET kd215-sim)
  find_program(KD215_WINE_PROGRAM wine)
  if(KD215_WINE_PROGRAM)
    set(suite bash ${CMAKE_CURRENT_LIST_DIR}/wine_suite.sh)
    add_test(NAME wine.suite COMMAND ${suite} suite ${KD215_WIN64_BUILD} $<TARGET_FILE:kd215-sim>)
    set_tests_properties(wine.suite PROPERTIES TIMEOUT 600 LABELS wine)
    add_test(NAME wine.run_twice COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run_twice.sh)
    set_tests_properties(wine.run_twice PROPERTIES TIMEOUT 300 LABELS wine)
    # Figures only, measured alone so that the other tests' load does not colour them.
    add_test(NAME bench.wine_cpu COMMAND ${suite} bench ${KD215_WIN64_BUILD} $<TARGET_FILE:kd215-sim>)
    set_tests_properties(bench.wine_cpu PROPERTIES TIMEOUT 300 LABELS bench RUN_SERIAL TRUE)
  endif()
endif()
