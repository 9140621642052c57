# The Polish user guide in docs/: links between its pages and a screenshot of each page in Chromium.
add_test(NAME docs.guide
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/guide_check.sh ${CMAKE_SOURCE_DIR}/docs
                 ${CMAKE_BINARY_DIR}/screenshots/guide)
set_tests_properties(docs.guide PROPERTIES TIMEOUT 300 LABELS docs)
# kd215ctl's manual page as man shows it, with no word hyphenated.
add_test(NAME docs.man_page
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/man_check.sh ${CMAKE_BINARY_DIR}/tools/kd215ctl/kd215ctl.1)
set_tests_properties(docs.man_page PROPERTIES LABELS docs)
