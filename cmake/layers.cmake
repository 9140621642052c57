# The house's layers, lowest first, each a static library kd215_<layer> of src/<layer>/*.cpp that links
# the layer below it and nothing above. A layer compiles against an include root of its own in the build
# tree (layers/<layer>/, links to src/<layer> and to every layer below), so an include that points up the
# house names a file the compiler cannot find and the build fails. A new layer is one more name here, at
# its place (the records and the report go between editors and app).
# Source naming: *_win32.cpp builds only for Windows, *_posix.cpp only elsewhere. The page's build
# (web/CMakeLists.txt, Emscripten) takes the same layers from its own source folder, hence the root here.
set(KD215_LAYERS config platform link editors app)
get_filename_component(KD215_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

set(KD215_LAYERS_BELOW)
set(KD215_LAYER_UNDER)
foreach(layer ${KD215_LAYERS})
  set(root ${CMAKE_BINARY_DIR}/layers/${layer})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  foreach(visible ${KD215_LAYERS_BELOW} ${layer})
    file(CREATE_LINK ${KD215_SOURCE_ROOT}/src/${visible} ${root}/${visible} SYMBOLIC)
  endforeach()

  file(GLOB sources CONFIGURE_DEPENDS ${KD215_SOURCE_ROOT}/src/${layer}/*.cpp)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
    # The program's entry point goes into Kd215.exe itself (cmake/win32-program.cmake).
    list(FILTER sources EXCLUDE REGEX "/src/app/main_win32\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  if(EMSCRIPTEN)
    # A page reaches no device and no file system: its serial line, its port list and the files it
    # is given are the page's own (web/src/web_line.cpp, web_files.cpp).
    list(FILTER sources EXCLUDE REGEX "/(serial|pty|port_list|files)_posix\\.cpp$")
  endif()
  add_library(kd215_${layer} STATIC ${sources})
  target_include_directories(kd215_${layer} PUBLIC ${root})
  if(KD215_LAYER_UNDER)
    target_link_libraries(kd215_${layer} PUBLIC kd215_${KD215_LAYER_UNDER})
  endif()
  list(APPEND KD215_LAYERS_BELOW ${layer})
  set(KD215_LAYER_UNDER ${layer})
endforeach()

# The product's version (kd215_version.h, generated) is a fact every layer and program may read.
target_include_directories(kd215_config PUBLIC ${CMAKE_BINARY_DIR}/generated)
if(WIN32)
  # The port list reads the registry's serial device map.
  target_link_libraries(kd215_link PUBLIC advapi32)
endif()
