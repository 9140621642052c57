# The packages that scripts/package.sh leaves in dist/ (scripts/test.sh makes them before the tests): the
# 32-bit programs checked from their files beside the 64-bit ones, the x64 installer run under Wine, the
# Debian package unpacked and linted. Each is skipped (exit 77), saying so, when its package was not made.
set(KD215_DIST ${CMAKE_SOURCE_DIR}/dist)
add_test(NAME package.files COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/files_check.sh ${KD215_DIST} ${PROJECT_VERSION}
                                   ${CMAKE_SOURCE_DIR}/docs)
set_tests_properties(package.files PROPERTIES TIMEOUT 120 LABELS package SKIP_RETURN_CODE 77)
if(KD215_WIN64_BUILD AND TARGET kd215-sim)
  find_program(KD215_WINE_PROGRAM wine)
  if(KD215_WINE_PROGRAM)
    add_test(NAME wine.package
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install_wine_test.sh
                     ${KD215_DIST}/Kd215-link-${PROJECT_VERSION}-setup-win64.exe ${KD215_WIN64_BUILD}
                     $<TARGET_FILE:kd215-sim>)
    set_tests_properties(wine.package PROPERTIES TIMEOUT 300 LABELS "wine;package" SKIP_RETURN_CODE 77)
  endif()
endif()
# The Debian package: unpacked (not installed), run against its own kd215-sim, and lintian.
add_test(NAME package.deb COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/deb_check.sh ${KD215_DIST} ${PROJECT_VERSION})
set_tests_properties(package.deb PROPERTIES TIMEOUT 180 LABELS package SKIP_RETURN_CODE 77)
# scripts/package.sh from a fresh clone of the committed tree: needs nothing built, so it is not skipped.
find_program(KD215_GIT_PROGRAM git)
if(KD215_GIT_PROGRAM)
  add_test(NAME package.fresh_clone COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/fresh_clone_test.sh ${CMAKE_SOURCE_DIR})
  set_tests_properties(package.fresh_clone PROPERTIES TIMEOUT 900 LABELS package)
endif()
