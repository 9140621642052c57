// kd215ctl's command and option tables: which lines are usage errors and what a good one sets.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "commands/ctl_args.h"
#include "commands/help.h"

namespace kd215 {
namespace {

struct LineCase {
    std::vector<std::string> args;
    bool ok;
};

TEST(CtlArgs, EachCommandTakesItsPortAreasFilesAndOptionsOnly) {
    const LineCase cases[] = {
        {{"read", "all", "--port", "P"}, true},
        {{"read", "settings"}, false},                           // port required
        {{"show", "--port", "P", "a.ust"}, false},               // port not used
        {{"probe"}, true},
        {{"probe", "--port", "P"}, true},                        // port optional
        {{"probe", "A", "--port", "B"}, false},                  // a search and a port each: say one
        {{"probe", "A", "--all"}, false},
        {{"backup", "--port", "P", "-"}, false},                 // "-" is no file
        {{"read", "all", "--port", "P", "-o", "-"}, false},
        {{"version", "--port", "P", "--answering"}, false},      // only beside --all
        {{"version", "--all", "--answering"}, true},
        {{"show", "a.ust", "--retries", "1"}, false},            // no line, no retries
        {{"write", "settings", "--port", "P"}, false},           // at least one file
        {{"write", "settings", "scenes", "--port", "P", "a", "b", "c"}, false},  // a file per area or one backup
        {{"write", "settings", "scenes", "--port", "P", "kopia.json"}, true},
        {{"diff", "a", "b"}, true},
        {{"diff", "a", "b", "c"}, false},
        {{"backup", "--port", "P"}, false},
        {{"read", "scenes", "scenes", "--port", "P"}, false},    // an area twice
        {{"read", "scenes", "x.sce", "--port", "P"}, false},     // read takes no files
        {{"--port=P", "version"}, true},
        {{"version", "--port"}, false},                          // option without its value
        {{"ports", "--all"}, true},
        {{"read", "settings", "--all"}, true},                   // every port that answers
        {{"version", "--ports-from", "F"}, true},
        {{"show", "a", "--all"}, false},                         // --all is for ports and port commands
        {{"write", "settings", "--port", "P", "a", "--no-verify"}, true},
        {{"show", "a", "--no-verify"}, false},
        {{"version", "--port", "P", "--retries", "100"}, true},
        {{"version", "--port", "P", "--retries", "101"}, false},
        {{"version", "--port", "P", "--retries", "-1"}, false},
        {{"version", "--port", "P", "--json=yes"}, false},       // a switch takes no value
        {{"version", "--port", "P", "-q", "-v"}, false},
        {{"report", "--port", "P"}, true},
        {{"report", "--port", "P", "a.json"}, false},             // two sources need --compare
        {{"report", "--compare", "--port", "P", "a.json"}, true},
        {{"report", "--compare", "a.json"}, false},
        {{"frobnicate"}, false},
        {{}, false},
        {{"--version"}, true},
    };
    for (const LineCase& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += a + " ";
        CtlOptions options;
        const ParseResult result = parseCommandLine(c.args, options);
        EXPECT_EQ(result.ok, c.ok) << line << result.error;
        EXPECT_EQ(result.error.empty(), c.ok) << line;
    }
}

TEST(CtlArgs, AGoodLineSetsWhatItSays) {
    CtlOptions o;
    ASSERT_TRUE(parseCommandLine({"verify", "all", "--port", "COM3", "kopia.json", "--retries=7", "-q"}, o).ok);
    ASSERT_NE(o.command, nullptr);
    EXPECT_STREQ(o.command->name, "verify");
    EXPECT_EQ(o.areas, (std::vector<ConfigArea>{ConfigArea::Settings, ConfigArea::Scenes, ConfigArea::Program1,
                                                ConfigArea::Program2}));
    EXPECT_EQ(o.operands, std::vector<std::string>{"kopia.json"});
    EXPECT_EQ(o.port, "COM3");
    EXPECT_EQ(o.retries, 7);
    EXPECT_TRUE(o.quiet);

    ASSERT_TRUE(parseCommandLine({"show", "--", "-a.ust"}, o).ok);  // "--" ends the options
    EXPECT_EQ(o.operands, std::vector<std::string>{"-a.ust"});
    ASSERT_TRUE(parseCommandLine({"probe", "--port", "COM2"}, o).ok);
    EXPECT_EQ(o.operands, (std::vector<std::string>{"COM2"}));
    ASSERT_TRUE(parseCommandLine({"read", "settings", "--help"}, o).ok);
    EXPECT_TRUE(o.help);
}

// A command's page lists what the command takes and nothing it refuses; every exit code is in the
// help, and the README's table of exit codes holds the same codes.
TEST(CtlHelp, EachPageListsWhatItsCommandTakesAndEveryExitCodeIsDocumented) {
    for (const char* command : {"show", "diff", "ports"}) {
        const std::string page = commandHelpText(command);
        for (const char* option : {"--port ", "--ports-from", "--retries", "--log", "--answering"}) {
            EXPECT_EQ(page.find(option), std::string::npos) << command << " " << option;
        }
    }
    EXPECT_NE(commandHelpText("restore").find("--ports-from"), std::string::npos);
    std::set<int> codes;
    for (const ExitCodeDoc& exit : kExitCodeDocs) {
        codes.insert(exit.code);
        EXPECT_NE(helpText().find("\n  " + std::to_string(exit.code) + "\n"), std::string::npos) << exit.code;
    }
    EXPECT_EQ(codes.count(130), 1u);
    std::ifstream in(std::string(KD215_SOURCE_DIR) + "/README.md");
    std::set<int> documented;
    bool inTable = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("| exit code |", 0) == 0) inTable = true;
        else if (inTable && line.rfind("|", 0) != 0) inTable = false;
        else if (inTable && line.size() > 2 && std::isdigit(static_cast<unsigned char>(line[2]))) documented.insert(std::atoi(line.c_str() + 2));
    }
    EXPECT_EQ(documented, codes);
}

}  // namespace
}  // namespace kd215
