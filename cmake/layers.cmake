# The house's layers, lowest first, each a static library kd215_<layer> of src/<layer>/*.cpp that links
# the layer below it and nothing above. A layer compiles against an include root of its own in the build
# tree (layers/<layer>/, links to src/<layer> and to every layer below), so an include that points up the
# house names a file the compiler cannot find and the build fails. A new layer is one more name here, at
# its place.
# Source naming: *_win32.cpp builds only for Windows, *_posix.cpp only elsewhere. The page's build
# (web/CMakeLists.txt, Emscripten) takes the same layers from its own source folder, hence the root here.
set(KD215_LAYERS config platform link editors records report app)
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
  # A layer of headers only is an interface library: a static one needs a source.
  if(sources)
    add_library(kd215_${layer} STATIC ${sources})
    set(scope PUBLIC)
  else()
    add_library(kd215_${layer} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(kd215_${layer} ${scope} ${root})
  if(KD215_LAYER_UNDER)
    target_link_libraries(kd215_${layer} ${scope} kd215_${KD215_LAYER_UNDER})
  endif()
  list(APPEND KD215_LAYERS_BELOW ${layer})
  set(KD215_LAYER_UNDER ${layer})
endforeach()

# The product's version (kd215_version.h, generated) is a fact every layer and program may read.
target_include_directories(kd215_config PUBLIC ${CMAKE_BINARY_DIR}/generated)
# JSON by nlohmann-json, header only, for the records layer and what stands on it. The MinGW builds
# do not search /usr/include, and opening all of it to them would mix the host's headers in: only
# the library's own folder is linked in.
find_path(KD215_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(KD215_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${KD215_JSON_INCLUDE})
file(CREATE_LINK ${KD215_NLOHMANN_INCLUDE}/nlohmann ${KD215_JSON_INCLUDE}/nlohmann SYMBOLIC)
get_target_property(KD215_RECORDS_TYPE kd215_records TYPE)
if(KD215_RECORDS_TYPE STREQUAL "INTERFACE_LIBRARY")
  target_include_directories(kd215_records SYSTEM INTERFACE ${KD215_JSON_INCLUDE})
else()
  target_include_directories(kd215_records SYSTEM PUBLIC ${KD215_JSON_INCLUDE})
endif()
if(WIN32)
  # The port list reads the registry's serial device map.
  target_link_libraries(kd215_link PUBLIC advapi32)
endif()
