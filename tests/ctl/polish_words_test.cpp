// The project's own Polish keeps one word for one thing: the guide, kd215ctl's help and manual
// page, and the report are searched for the words ruled out; byte counts agree with their numeral.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "commands/ctl_args.h"
#include "files/config_files.h"
#include "report/report.h"

namespace kd215 {
namespace {

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// The string literals of a C++ or resource source, comments and raw strings passed over.
std::vector<std::string> literalsOf(const std::string& code) {
    std::vector<std::string> literals;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (code.compare(i, 2, "//") == 0) {
            i = code.find('\n', i);
        } else if (code.compare(i, 2, "/*") == 0) {
            i = code.find("*/", i) + 1;
        } else if (code.compare(i, 3, "R\"(") == 0) {
            i = code.find(")\"", i) + 1;
        } else if (code[i] == '\'') {
            i = code.find('\'', i + (code[i + 1] == '\\' ? 3 : 2));
        } else if (code[i] == '"') {
            std::string literal;
            for (++i; i < code.size() && code[i] != '"'; ++i) {
                if (code[i] == '\\') literal += code[i++];
                literal += code[i];
            }
            literals.push_back(literal);
        }
        if (i == std::string::npos) break;
    }
    return literals;
}

std::vector<std::string> literalsUnder(const std::string& folder) {
    std::vector<std::string> all;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(std::string(KD215_SOURCE_DIR) + "/" + folder)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".cpp" && ext != ".h" && ext != ".rc") continue;
        const std::vector<std::string> found = literalsOf(readText(entry.path()));
        all.insert(all.end(), found.begin(), found.end());
    }
    return all;
}

// The texts to search, by where they come from. The guide quotes the program's own texts, which
// stay as they are: every piece of a literal in src/ and resources/ between escapes is taken out.
std::vector<std::pair<std::string, std::string>> projectTexts() {
    std::vector<std::pair<std::string, std::string>> texts;
    std::size_t guidePages = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(KD215_SOURCE_DIR) + "/docs")) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".html" || ext == ".txt") texts.emplace_back(entry.path().filename().string(), readText(entry.path()));
    }
    guidePages = texts.size();
    texts.emplace_back("kd215ctl help", helpText());
    for (const CommandHelp& command : commandDocs()) texts.emplace_back("help " + command.name, commandHelpText(command.name));
    texts.emplace_back("ctl_docs.cpp", readText(std::string(KD215_SOURCE_DIR) + "/tools/kd215ctl/commands/ctl_docs.cpp"));

    ConfigImage second = defaultConfigImage();
    second.channels[1].riseTime = 40;
    second.programs[0].endStep = 3;
    ReportSource files = controllerSource("", second, "");
    files.programSteps[1] = 12;
    files.hasEndStep[1] = false;
    texts.emplace_back("report", reportHtml(controllerSource("COM3", defaultConfigImage(), "1.05"), &files, {}));

    std::vector<std::string> fixed = literalsUnder("src");
    const std::vector<std::string> resources = literalsUnder("resources");
    fixed.insert(fixed.end(), resources.begin(), resources.end());
    const std::regex escape(R"(\\.|%[0-9]*[a-z])");
    for (std::size_t i = 0; i < guidePages; ++i) {
        std::string& text = texts[i].second;
        for (const std::string& literal : fixed) {
            for (std::sregex_token_iterator piece(literal.begin(), literal.end(), escape, -1), end; piece != end; ++piece) {
                const std::string p = *piece;
                if (p.size() < 6) continue;
                for (std::size_t at = text.find(p); at != std::string::npos; at = text.find(p, at)) text.erase(at, p.size());
            }
        }
    }
    for (auto& [name, text] : texts) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return texts;
}

TEST(PolishWords, RuledOutWordsAreNowhereAndByteCountsAgree) {
    const std::vector<std::pair<const char*, const char*>> ruledOut = {
        {"krok", "a program's step is a scene of the program"},
        {"porówn|sprawdzeni|sprawdzani", "comparing the controller with the computer is verification"},
        {"powtórze|ponawia", "sending again is a retry (ponowienie)"},
        {"wejści[aeu] 9", "input 9 is the common input"},
        {"jednostk[a-z]* sterownika|skal[a-z]* 0", "a level is a raw value, a time is in controller time units"},
        {"\\bblok|\\bsekcj", "a part moved at once is an area"},
        {"program z wiersza|sterownik kd215 z wiersza|sterownik ftdi", "the controller is the only sterownik"},
        {"kopi(a|ę|i) na dysku|kopi(a|ę|i) sterownika", "an area file, or a backup"},
        {"[0-9]\\.\\.[0-9]|[0-9] %|&nbsp;%", "ranges with an en dash, percent without a space"},
        {"daje komunikat|tak, jak język c", "the program shows messages"},
        {"\\b(przed|po|przy|do) <span class=\"ui\">", "a button after a preposition needs a noun"},
        {"<th[^>]*>(dolny|górny|narastania|trwania|opadania|załączania|wyłączania)</th>", "full column names"},
        {"[0-9] \\((brak|scena)", "end scenes in words"},
    };
    const std::regex counted(R"(([0-9]+) (bajt[a-zó]*))");
    for (const auto& [source, text] : projectTexts()) {
        for (const auto& [pattern, why] : ruledOut) {
            std::smatch found;
            if (std::regex_search(text, found, std::regex(pattern))) {
                ADD_FAILURE() << source << ": \"" << found.str() << "\" – " << why;
            }
        }
        for (std::sregex_iterator m(text.begin(), text.end(), counted), end; m != end; ++m) {
            EXPECT_EQ((*m)[0].str(), byteCount(std::stoul((*m)[1].str()))) << source;
        }
    }

    const std::vector<std::pair<std::size_t, const char*>> agreeing = {
        {1, "1 bajt"}, {2, "2 bajty"}, {5, "5 bajtów"}, {12, "12 bajtów"},
        {22, "22 bajty"}, {83, "83 bajty"}, {144, "144 bajty"}};
    for (const auto& [n, text] : agreeing) EXPECT_EQ(byteCount(n), text);
    // A count of bytes is said only through byteCount: no literal of kd215ctl puts the noun after
    // a number of its own or after one appended before it.
    const std::regex byHand(R"(^ +bajt|[0-9] *bajt)");
    for (const std::string& literal : literalsUnder("tools")) {
        EXPECT_FALSE(std::regex_search(literal, byHand)) << '"' << literal << '"';
    }
}

}  // namespace
}  // namespace kd215
