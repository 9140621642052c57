# The browser suite and benchmark: the page of build/web/site in headless Chromium, its serial port a
# stand-in carried to kd215-sim. Skipped, with the reason, while the page or node_modules is missing.
set(KD215_WEB_SITE ${CMAKE_SOURCE_DIR}/build/web/site CACHE PATH "the built page the browser suite opens")
set(web_args --sim $<TARGET_FILE:kd215-sim> --ctl $<TARGET_FILE:kd215ctl> --site ${KD215_WEB_SITE}
             --shots ${CMAKE_BINARY_DIR}/screenshots/web)
add_test(NAME web.suite COMMAND node ${CMAKE_CURRENT_LIST_DIR}/scenarios.js ${web_args} --work ${CMAKE_BINARY_DIR}/web-suite)
set_tests_properties(web.suite PROPERTIES TIMEOUT 400 LABELS web SKIP_RETURN_CODE 77)
add_test(NAME bench.web COMMAND node ${CMAKE_SOURCE_DIR}/bench/web_bench.js ${web_args} --work ${CMAKE_BINARY_DIR}/web-bench)
set_tests_properties(bench.web PROPERTIES TIMEOUT 300 LABELS bench RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
