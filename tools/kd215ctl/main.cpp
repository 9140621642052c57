// kd215ctl's entry point: the arguments and the console of this platform, then the commands.
#include <iostream>

#include "commands/ctl_commands.h"
#include "console/console.h"

int main(int argc, char** argv) {
    kd215::prepareConsole();
    return kd215::runKd215ctl(kd215::commandLineArguments(argc, argv), std::cout, std::cerr,
                              kd215::stderrIsTerminal());
}
