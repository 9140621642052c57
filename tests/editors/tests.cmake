# The editor dialogs under Wine, when a Windows x86_64 build is handed in (scripts/test.sh does): the dialog
# tests under C.UTF-8 and under the Polish locale, and a screenshot of each dialog in build/screenshots.
if(KD215_WIN64_BUILD)
  find_program(KD215_WINE_PROGRAM wine)
  if(KD215_WINE_PROGRAM)
    set(KD215_EDITOR_TESTS_EXE ${KD215_WIN64_BUILD}/kd215-editor-tests.exe)
    foreach(locale C pl)
      add_test(NAME wine.editors.${locale}
               COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run_editor_tests.sh ${KD215_EDITOR_TESTS_EXE} ${locale})
      set_tests_properties(wine.editors.${locale} PROPERTIES TIMEOUT 180)
    endforeach()
    add_test(NAME wine.editors.screenshots
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/screenshots.sh ${KD215_EDITOR_TESTS_EXE}
                     ${CMAKE_SOURCE_DIR}/build/screenshots)
    set_tests_properties(wine.editors.screenshots PROPERTIES TIMEOUT 180)
  endif()
endif()
