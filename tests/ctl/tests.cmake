# kd215ctl's install into a staging prefix: programs, manual page, bash completion.
add_test(NAME ctl.install COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/install_check.sh ${CMAKE_BINARY_DIR})
