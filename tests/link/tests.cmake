# The Win32 serial layer under Wine, when a Windows x86_64 build is handed in (scripts/test.sh does).
if(KD215_WIN64_BUILD AND TARGET kd215-sim)
  find_program(KD215_WINE_PROGRAM wine)
  if(KD215_WINE_PROGRAM)
    add_test(NAME wine.serial_layer
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/serial_wine_check.sh
                     ${KD215_WIN64_BUILD}/kd215-serial-check.exe $<TARGET_FILE:kd215-sim>)
    set_tests_properties(wine.serial_layer PROPERTIES TIMEOUT 180)
  endif()
endif()
