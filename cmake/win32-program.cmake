# The Windows side: the Win32 sources (every *_win32.cpp) as a library, and the program built on it.
# kd215win holds everything but the entry point, so that Win32 checks under Wine can link it too.
set(KD215_WIN32_LIBRARY_SOURCES ${KD215_WIN32_SOURCES})
list(FILTER KD215_WIN32_LIBRARY_SOURCES EXCLUDE REGEX "/src/app/main_win32\\.cpp$")

add_library(kd215win STATIC ${KD215_WIN32_LIBRARY_SOURCES})
target_link_libraries(kd215win PUBLIC kd215core advapi32)

# A console check of the serial layer under Wine (tests/link/serial_wine_check.sh runs it).
add_executable(kd215-serial-check ${CMAKE_SOURCE_DIR}/tests/link/serial_check_win32.cpp)
target_link_libraries(kd215-serial-check PRIVATE kd215win)
target_link_options(kd215-serial-check PRIVATE -static -static-libgcc -static-libstdc++)

# The editor dialog tests under Wine.
include(${CMAKE_SOURCE_DIR}/tests/editors/win32-tests.cmake OPTIONAL)
