# The installer test's look into a running Kd215.exe (tests/package/install_wine_test.sh).
add_executable(kd215-peek ${CMAKE_CURRENT_LIST_DIR}/peek_win32.cpp)
target_link_options(kd215-peek PRIVATE -static -static-libgcc -static-libstdc++)
