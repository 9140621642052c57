// kd215ctl's help, from the command and option tables: the whole help, a command's page, and the
// pieces the manual page and the bash completion are made of.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "commands/command_table.h"
#include "commands/exit_codes.h"

namespace kd215 {

struct CommandHelp {
    std::string name;
    CommandDoc doc;
    std::string synopsis;  // doc.synopsis with its single --port shown repeating, or --ports-from or --all
};
std::vector<CommandHelp> commandDocs();

struct OptionHelp {
    std::string names;     // "-o, --output KATALOG|NAZWA"
    std::string commands;  // "read, report"; "" for every command
    std::string help;
};
// The options of `command`, or all of them for nullptr.
std::vector<OptionHelp> optionDocs(const CommandRow* command);

// What {port} and "-" mean in a file name, and that inputs are read once: the help and the
// manual page say it in these words.
extern const char* const kFileNamesText;

// The areas as the help lists them: "settings   ustawienia (plik .ust, 84 bajty)".
std::vector<std::pair<std::string, std::string>> areaDocs();

// The whole help (kd215ctl --help), and one command's: synopsis, options, two examples.
std::string helpText();
std::string commandHelpText(const std::string& command);

// The words of the command line, for the shell completion made from them at build time.
struct CommandLineWords {
    std::vector<std::string> commands;
    std::vector<std::string> areaCommands;  // the commands that take area names
    std::vector<std::string> portCommands;  // the commands whose operands are ports
    std::vector<std::string> options;       // long and short names
    std::vector<std::string> valueOptions;  // those of them that take a value
    std::vector<std::string> areas;
};
CommandLineWords commandLineWords();

}  // namespace kd215
