# The Win32 side of the shell tests, built with the Windows program: the driver that runs Kd215.exe
# under Wine as a user would (GoogleTest, from Debian's sources, built here with MinGW-w64) and the
# hook DLL through which it reads the program's menus and status bar.
if(NOT EXISTS /usr/src/googletest/googletest/CMakeLists.txt)
  message(STATUS "googletest sources not found: the shell driver is not built")
  return()
endif()

# GoogleTest may already be there for the editor dialog tests; it is built once.
if(NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# --kill-at: the hook is found by its plain name on i686 too.
add_library(kd215-inspect SHARED ${CMAKE_CURRENT_LIST_DIR}/inspect_dll_win32.cpp)
set_target_properties(kd215-inspect PROPERTIES PREFIX "")
target_link_libraries(kd215-inspect PRIVATE comctl32)
target_link_options(kd215-inspect PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at)

add_executable(kd215-shell-driver ${CMAKE_CURRENT_LIST_DIR}/shell_wine_test_win32.cpp
               ${CMAKE_CURRENT_LIST_DIR}/driver_win32.cpp)
target_include_directories(kd215-shell-driver PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(kd215-shell-driver PRIVATE kd215core gtest)
target_link_options(kd215-shell-driver PRIVATE -static -static-libgcc -static-libstdc++)
