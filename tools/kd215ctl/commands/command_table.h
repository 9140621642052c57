// kd215ctl's commands, one row each: what its line must hold, what it reads and writes, the
// function that carries it out and what the help says of it. The parser, the file checks, the
// {port} rules, dispatch, the help, the manual page and the completion all read this table, so a
// new command is one row here and one runner in ctl_commands.cpp.
#pragma once

#include <string>
#include <vector>

namespace kd215 {

struct CtlOptions;
struct ParseResult;
struct CommandRun;

// Whether the command talks to a controller, and so takes --port, --ports-from and --all.
enum class PortUse { None, Required, Optional };

// What the words after the command's areas are.
enum class Operands {
    None,
    Ports,   // ports to try, one after another; a single --port joins them
    Inputs,  // files the command reads
    Output,  // the one file the command writes
};

// What the command writes besides an Output operand.
enum class Outputs {
    None,
    AreaFiles,  // a file per area, from the -o base
    Page,       // -o, or raport.html
};

// What the help and the manual page say of a command.
struct CommandDoc {
    const char* synopsis;  // after "kd215ctl "
    const char* summary;
    const char* examples[2];
};

struct CommandRow {
    const char* name;
    PortUse port;
    bool takesAreas;
    int minFiles;  // operands after the areas
    int maxFiles;  // -1: any number
    Operands operands;
    Outputs outputs;
    // The options of this command alone, space-separated; those of every command and those of
    // the line (PortUse) it takes without naming them here.
    const char* options;
    // With exit 3 its result still stands: a probe that found nothing has tried the ports.
    bool resultWhenNotFound;
    // A rule of its own on the whole line, after the common ones; nullptr without.
    ParseResult (*checkLine)(const CtlOptions& options);
    int (*runner)(CommandRun& run);
    // Its answer under --json: {"key", "key": [RECORD], ...}, the records in ctl_json.h.
    const char* jsonShape;
    CommandDoc doc;
};

// The commands in the order the help lists them.
const std::vector<CommandRow>& commandTable();
// The row of `name`; nullptr when no command is called so.
const CommandRow* findCommand(const std::string& name);
std::vector<std::string> commandNames();

inline bool talksToController(const CommandRow& command) { return command.port != PortUse::None; }
// Whether `option` ("--all") is in the command's own options.
bool ownsOption(const CommandRow& command, const std::string& option);

// The runners, in ctl_commands.cpp: each returns the command's exit code.
int portsCommand(CommandRun& run);
int probeCommand(CommandRun& run);
int versionCommand(CommandRun& run);
int restartCommand(CommandRun& run);
int readCommand(CommandRun& run);
int writeCommand(CommandRun& run);
int verifyCommand(CommandRun& run);
int backupCommand(CommandRun& run);
int restoreCommand(CommandRun& run);
int showCommand(CommandRun& run);
int diffCommand(CommandRun& run);
int reportCommand(CommandRun& run);

}  // namespace kd215
