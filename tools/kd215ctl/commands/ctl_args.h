// The command line of kd215ctl: the command, its operands and the options, checked for usage.
#pragma once

#include <string>
#include <vector>

#include "commands/command_table.h"
#include "commands/exit_codes.h"
#include "config/byte_buffer.h"
#include "config/config_image.h"

namespace kd215 {

constexpr int kDefaultRetries = 2;
constexpr int kMaxRetries = 100;

struct CtlOptions {
    const CommandRow* command = nullptr;  // the command's row; nullptr for help and for --version alone
    bool help = false;                  // --help, -h, or the word help
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

// Which commands an option is for.
enum class OptionScope {
    Every,  // every command
    Line,   // every command that talks to a controller
    Own,    // the commands whose row names it
};

// Stores an option's value; false with `error` set when the value will not do.
using StoreOption = bool (*)(CtlOptions& options, const std::string& value, std::string& error);

struct OptionRule {
    const char* name;
    const char* shortName;  // nullptr: none
    bool takesValue;
    OptionScope scope;      // and, whatever the scope, the commands whose row names it
    StoreOption store;
    const char* value;      // the value's name in the help; nullptr without one
    const char* help;
};
// The options in the order the help lists them.
const std::vector<OptionRule>& optionTable();
const OptionRule* findOption(const std::string& name);
bool appliesTo(const OptionRule& option, const CommandRow& command);
// The commands `option` is for, in the table's order; empty for an option of every command.
std::vector<std::string> commandsTaking(const OptionRule& option);

// The word of `choices` nearest to a mistyped `word`, or "" when none is near enough.
std::string nearestWord(const std::string& word, const std::vector<std::string>& choices);

}  // namespace kd215
