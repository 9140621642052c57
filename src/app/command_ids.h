// The menu commands' IDs, apart so that whatever posts a command can name it without the program.
#pragma once

namespace kd215 {

// Menu command IDs.
enum CommandId : int {
    kCmdHelp = 100,
    kCmdAbout = 101,
    kCmdChannelEditor = 102,
    kCmdAreaSettings = 103,
    kCmdAreaProgram1 = 104,
    kCmdStop = 105,
    kCmdExit = 106,
    kCmdRepeat = 107,
    kCmdHomePage = 109,
    kCmdEditProgram2 = 110,
    kCmdAll = 112,
    kCmdRestart = 113,
    kCmdEditScenes = 114,
    kCmdEditProgram1 = 115,
    kCmdCommonEditor = 116,
    kCmdAreaProgram2 = 117,
    kCmdAreaScenes = 118,
    kCmdAutoPort = 200,
    kCmdFirstPort = 201,  // port item i carries 201 + i
};

}  // namespace kd215
