# Kd215.exe under Wine and Xvfb against kd215-sim, when a Windows x86_64 build is handed in
# (scripts/test.sh passes -DKD215_WIN64_BUILD). Each run has its own prefix, simulator and display,
# so the runs may go side by side; the benchmark runs alone, for its figures.
if(KD215_WIN64_BUILD AND TARGET kd215-sim)
  find_program(KD215_WINE_PROGRAM wine)
  if(KD215_WINE_PROGRAM)
    foreach(mode c pl)
      add_test(NAME wine.shell.${mode}
               COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/shell_wine_test.sh ${mode} ${KD215_WIN64_BUILD}
                       $<TARGET_FILE:kd215-sim>)
      set_tests_properties(wine.shell.${mode} PROPERTIES TIMEOUT 600 LABELS wine)
    endforeach()
    add_test(NAME bench.shell_cpu
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/shell_wine_test.sh bench ${KD215_WIN64_BUILD}
                     $<TARGET_FILE:kd215-sim>)
    set_tests_properties(bench.shell_cpu PROPERTIES TIMEOUT 300 LABELS bench RUN_SERIAL TRUE)
  endif()
endif()
