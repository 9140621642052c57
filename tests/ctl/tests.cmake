# kd215ctl.exe under Wine, when a Windows x86_64 build is handed in (scripts/test.sh does).
if(KD215_WIN64_BUILD AND TARGET kd215-sim)
  find_program(KD215_WINE_PROGRAM wine)
  if(KD215_WINE_PROGRAM)
    add_test(NAME wine.kd215ctl
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/ctl_wine_check.sh
                     ${KD215_WIN64_BUILD}/tools/kd215ctl/kd215ctl.exe $<TARGET_FILE:kd215-sim>)
    set_tests_properties(wine.kd215ctl PROPERTIES TIMEOUT 180 LABELS wine)
  endif()
endif()
