# The Win32 side of the end-to-end suite, built with the Windows program: kd215-e2e-driver.exe, the
# shell tests' driver with the scenarios and benchmarks of tests/e2e on top.
if(NOT TARGET gtest OR NOT TARGET kd215-inspect)
  message(STATUS "the shell tests' driver is not built: no end-to-end driver either")
  return()
endif()

file(GLOB KD215_E2E_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_win32.cpp)
add_executable(kd215-e2e-driver ${KD215_E2E_SOURCES} ${CMAKE_SOURCE_DIR}/tests/app/driver_win32.cpp)
target_include_directories(kd215-e2e-driver PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/tests/app)
target_link_libraries(kd215-e2e-driver PRIVATE kd215core gtest gtest_main)
target_link_options(kd215-e2e-driver PRIVATE -static -static-libgcc -static-libstdc++)
# The suite runs the program and loads the inspection DLL beside the driver.
add_dependencies(kd215-e2e-driver Kd215 kd215-inspect)
