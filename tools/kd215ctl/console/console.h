// kd215ctl's console on this platform: its arguments, the terminal, what an interruption leaves of them.
#pragma once

#include <string>
#include <vector>

namespace kd215 {

// The arguments as UTF-8 (Windows hands a console program its arguments in the ANSI code page).
std::vector<std::string> commandLineArguments(int argc, char** argv);
// Interruptions themselves, and the guard a command holds while it talks to the controller, are
// platform/interrupts.h.

// Makes the console show UTF-8 text (the Polish messages) where it needs telling, and catches
// interruptions: one that comes while no command holds them off ends the process at once, with
// its temporary files removed, its port out of exclusive mode and the console as it was; the
// console is put back however the program ends.
void prepareConsole();
bool stderrIsTerminal();
// Whether standard error is a terminal that takes lines redrawn in place (the cursor moved up
// and the screen cleared below it), and how many columns it shows; 80 when it does not say.
// Off on Windows: there several ports print whole lines only.
bool stderrRedrawsLines();
int stderrColumns();

}  // namespace kd215
