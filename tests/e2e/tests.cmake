# The end-to-end suite and its benchmarks: Kd215.exe under Wine against kd215-sim, when a Windows
# x86_64 build is handed in (scripts/test.sh passes -DKD215_WIN64_BUILD). One prefix per run.
if(KD215_WIN64_BUILD AND TARGET kd215-sim)
  find_program(KD215_WINE_PROGRAM wine)
  if(KD215_WINE_PROGRAM)
    add_test(NAME wine.e2e
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/e2e_wine_test.sh suite ${KD215_WIN64_BUILD}
                     $<TARGET_FILE:kd215-sim>)
    set_tests_properties(wine.e2e PROPERTIES TIMEOUT 900 LABELS "wine;e2e")
    # Figures only, measured alone so that the other suites' load does not colour them.
    add_test(NAME bench.e2e
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/e2e_wine_test.sh bench ${KD215_WIN64_BUILD}
                     $<TARGET_FILE:kd215-sim>)
    set_tests_properties(bench.e2e PROPERTIES TIMEOUT 600 LABELS bench RUN_SERIAL TRUE)
  endif()
endif()
