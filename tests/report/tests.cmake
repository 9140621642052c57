# kd215ctl's report of a known backup in headless Chromium: screenshots, A4 sheets, the chart's
# values and a changed scene level marked.
add_test(NAME report.browser
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/report_check.sh $<TARGET_FILE:kd215ctl>
                 ${CMAKE_SOURCE_DIR}/tests/fuzz/backup/seeds/written-by-kd215ctl-1.0.json
                 ${CMAKE_BINARY_DIR}/screenshots/report)
set_tests_properties(report.browser PROPERTIES TIMEOUT 300 LABELS report)
