# Kd215.exe: the entry point and the resources on top of the program's layer, kd215_app (whose *_win32.cpp
# sources, like every layer's, are in its library on Windows); static, so it needs no MinGW DLLs.
enable_language(RC)
add_executable(Kd215 WIN32 ${CMAKE_SOURCE_DIR}/src/app/main_win32.cpp ${CMAKE_SOURCE_DIR}/resources/kd215.rc)
target_include_directories(Kd215 PRIVATE ${CMAKE_SOURCE_DIR}/resources)
# What both programs' resource scripts read besides themselves: the version block, manifest and icon.
set(KD215_SHARED_RESOURCES ${CMAKE_SOURCE_DIR}/resources/version.rc ${CMAKE_SOURCE_DIR}/resources/kd215.manifest
    ${CMAKE_SOURCE_DIR}/resources/kd215.ico ${CMAKE_BINARY_DIR}/generated/kd215_version.h)
# windres reads the dialog templates through the preprocessor, which the build does not follow by itself.
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/kd215.rc PROPERTIES OBJECT_DEPENDS
                            "${CMAKE_SOURCE_DIR}/resources/dialogs.rc;${CMAKE_SOURCE_DIR}/src/editors/dialog_ids.h;${CMAKE_SOURCE_DIR}/resources/kd215.bmp;${CMAKE_SOURCE_DIR}/resources/kd215-32.ico;${CMAKE_SOURCE_DIR}/resources/kd215-48.ico;${KD215_SHARED_RESOURCES}")
target_link_libraries(Kd215 PRIVATE kd215_app comctl32 comdlg32)
# The packages take the programs from an install tree (scripts/package.sh); both go to its top folder.
install(TARGETS Kd215 RUNTIME DESTINATION .)
target_link_options(Kd215 PRIVATE -municode -mwindows -static -static-libgcc -static-libstdc++)

