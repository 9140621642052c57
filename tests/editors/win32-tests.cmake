# The editor dialog tests for Wine: GoogleTest built from the Debian sources with MinGW, and a test
# program that links kd215win and the dialog templates. tests/editors/tests.cmake runs it.
enable_language(RC)
set(KD215_GTEST_SOURCE /usr/src/googletest/googletest)
if(EXISTS ${KD215_GTEST_SOURCE}/CMakeLists.txt)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KD215_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  file(GLOB KD215_EDITOR_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/editors/*_win32.cpp)
  add_executable(kd215-editor-tests ${KD215_EDITOR_TEST_SOURCES}
                 ${CMAKE_SOURCE_DIR}/tests/editors/editor_tests.rc)
  # windres includes the templates through the preprocessor, which the build does not follow by itself.
  set_source_files_properties(${CMAKE_SOURCE_DIR}/tests/editors/editor_tests.rc PROPERTIES OBJECT_DEPENDS
                              "${CMAKE_SOURCE_DIR}/resources/dialogs.rc;${CMAKE_SOURCE_DIR}/src/editors/dialog_ids.h")
  target_include_directories(kd215-editor-tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(kd215-editor-tests PRIVATE kd215win gtest)
  # A console program, so that the test output reaches the terminal; it needs no MinGW DLLs.
  target_link_options(kd215-editor-tests PRIVATE -static -static-libgcc -static-libstdc++)
else()
  message(STATUS "googletest sources not found: the editor dialog tests are not built")
endif()
