// kd215-peek.exe: the Wine driver's look at a Kd215.exe that somebody else started, for scripts.
//   kd215-peek status N     prints part N of the status bar (UTF-8), exit 1 when there is no window
//   kd215-peek command ID   posts the menu command ID to the main window
//   kd215-peek close        posts WM_CLOSE (the frame's close: no confirmation)
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver_win32.h"

int main(int argc, char** argv) {
    using namespace kd215;
    if (argc < 2) return 2;
    Program program;
    std::string failure;
    if (!attachProgram(program, failure)) return 1;
    int code = 2;
    if (std::strcmp(argv[1], "status") == 0 && argc == 3) {
        const std::string text = statusText(program, std::atoi(argv[2]));
        code = text.empty() || text[0] != '<' ? 0 : 1;
        if (code == 0) std::printf("%s\n", text.c_str());
    } else if (std::strcmp(argv[1], "command") == 0 && argc == 3) {
        postCommand(program, std::atoi(argv[2]));
        code = 0;
    } else if (std::strcmp(argv[1], "close") == 0) {
        code = PostMessageW(program.main, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    detachProgram(program);
    return code;
}
