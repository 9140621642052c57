# kd215-wine-driver.exe, built with the Windows program when the tests are on: the Wine suite's
# scenarios and the Wine benchmark, on GoogleTest built here from Debian's sources with MinGW-w64.
if(NOT EXISTS /usr/src/googletest/googletest/CMakeLists.txt)
  message(STATUS "googletest sources not found: the Wine driver is not built")
  return()
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
file(GLOB KD215_WINE_DRIVER_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_win32.cpp
     ${CMAKE_SOURCE_DIR}/bench/*_win32.cpp)
add_executable(kd215-wine-driver ${KD215_WINE_DRIVER_SOURCES})
target_include_directories(kd215-wine-driver PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(kd215-wine-driver PRIVATE gtest gtest_main)
target_link_options(kd215-wine-driver PRIVATE -static -static-libgcc -static-libstdc++)
add_dependencies(kd215-wine-driver Kd215)
