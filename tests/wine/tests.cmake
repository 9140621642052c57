# Wine checks of the Win32 side, run by ctest from the native build: each is a script that builds its
# Windows program with MinGW and runs it in a private Wine prefix on its own Xvfb (scripts/wine-env.sh).
add_test(NAME wine_smoke COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/wine/smoke.sh)
# The first run on a machine also builds the shared template prefix (10-20 s) and compiles the smoke program.
set_tests_properties(wine_smoke PROPERTIES TIMEOUT 300 LABELS wine)
