# kd215-peek.exe: the Wine driver's look into a Kd215.exe that the installer test started.
add_executable(kd215-peek ${CMAKE_CURRENT_LIST_DIR}/peek_win32.cpp ${CMAKE_SOURCE_DIR}/tests/wine/driver_win32.cpp)
target_include_directories(kd215-peek PRIVATE ${CMAKE_SOURCE_DIR}/tests/wine)
target_link_options(kd215-peek PRIVATE -static -static-libgcc -static-libstdc++)
