// The command line of kd215ctl: the command, its operands and the options, checked for usage.
#pragma once

#include <string>
#include <vector>

#include "config/byte_buffer.h"
#include "config/config_image.h"

namespace kd215 {

// Exit codes, as the help text lists them.
constexpr int kExitDone = 0;
constexpr int kExitDifferences = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoController = 3;    // no port, or nothing answers on it
constexpr int kExitCommunication = 4;  // retries used up
constexpr int kExitFile = 5;
constexpr int kExitSignalBase = 128;   // interrupted: 128 + the signal's number, 130 for Ctrl+C

constexpr int kDefaultRetries = 2;
constexpr int kMaxRetries = 100;

struct CtlOptions {
    std::string command;                // "read", "show", ...; "help" for --help, "" with --version alone
    std::string helpTopic;              // help: the command asked about ("help read", "read --help")
    std::vector<ConfigArea> areas;      // read, write, verify
    std::vector<std::string> operands;  // files, or the ports of probe
    std::string port;                   // --port, the first one given
    std::vector<std::string> ports;     // every --port, in order
    std::string portsFrom;              // --ports-from: a file of ports, one a line
    std::string output;                 // -o
    std::string logPath;                // --log
    int retries = kDefaultRetries;      // --retries
    bool noVerify = false;              // --no-verify
    bool force = false;                 // --force: write values the editors would refuse
    bool json = false;                  // --json
    bool quiet = false;                 // -q: results and errors only
    bool verbose = false;               // -v: the frame log on standard error
    bool allPorts = false;              // --all: ports: without a UART too; others: every port that answers
    bool answering = false;             // --answering: with --all, a port where nothing answers is not a failure
    bool version = false;               // --version
    bool compare = false;               // --compare: report, two sources
    std::string site;                   // --site, --customer, --note: backup and report
    std::string customer;
    std::string note;
    // The inputs read before any line started, by name after {port}: every port's run takes these
    // bytes in place of reading the file again, so all of them get the same.
    std::vector<std::pair<std::string, ByteBuffer>> readAhead;
};

struct ParseResult {
    bool ok = false;
    std::string error;  // a usage fault, in Polish
};

// `args` without the program name.
ParseResult parseCommandLine(const std::vector<std::string>& args, CtlOptions& options);

// What the help and the manual page say of a command: one table serves both.
struct CommandDoc {
    const char* synopsis;  // after "kd215ctl "
    const char* summary;
    const char* examples[2];
};
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
// The options of `command`, or all of them for "".
std::vector<OptionHelp> optionDocs(const std::string& command);

struct ExitCodeDoc {
    int code;
    const char* meaning;
};
extern const ExitCodeDoc kExitCodeDocs[7];

// Whether `command` talks to a controller (and so takes --port, --ports-from, --all).
bool talksToController(const std::string& command);
// Whether the files after `command`'s areas are files it reads (not a backup it writes, not ports).
bool readsOperands(const std::string& command);

// What {port} and "-" mean in a file name, and that inputs are read once: the help and the
// manual page say it in these words.
extern const char* const kFileNamesText;

// The areas as the help lists them: "settings   ustawienia (plik .ust, 84 bajty)".
std::vector<std::pair<std::string, std::string>> areaDocs();

// The whole help (kd215ctl --help), and one command's: synopsis, options, two examples.
std::string helpText();
std::string commandHelpText(const std::string& command);

// The word of `choices` nearest to a mistyped `word`, or "" when none is near enough.
std::string nearestWord(const std::string& word, const std::vector<std::string>& choices);

// The words of the command line, for the shell completion made from them at build time.
struct CommandLineWords {
    std::vector<std::string> commands;
    std::vector<std::string> areaCommands;  // the commands that take area names
    std::vector<std::string> options;       // long and short names
    std::vector<std::string> valueOptions;  // those of them that take a value
    std::vector<std::string> areas;
};
CommandLineWords commandLineWords();

}  // namespace kd215
