// The project's own Polish keeps one word for one thing: the guide and its contents and index,
// CZYTAJ.txt, the installer, kd215ctl's help, manual page and run-time messages, the report and the
// browser's pages are searched for the words ruled out, for a menu caption or status text straight
// after a preposition (across line breaks and tags); byte counts agree with their numeral.

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <cstring>
#include <set>

#include "app/commands.h"
#include "commands/ctl_args.h"
#include "commands/help.h"
#include "config/config_image.h"
#include "editors/control_rules.h"
#include "link/pty_pair.h"
#include "records/config_files.h"
#include "report/report.h"
#include "support/ctl_harness.h"

namespace kd215 {
namespace {

namespace fs = std::filesystem;

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

// The strings of a browser script, one a line: the page's words, not its code.
std::string scriptStrings(const std::string& code) {
    std::string strings;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (code.compare(i, 2, "//") == 0) {
            i = std::min(code.find('\n', i), code.size());
        } else if (code.compare(i, 2, "/*") == 0) {
            i = std::min(code.find("*/", i + 2), code.size()) + 1;
        } else if (code[i] == '"' || code[i] == '\'' || code[i] == '`') {
            const char quote = code[i];
            for (++i; i < code.size() && code[i] != quote && (quote == '`' || code[i] != '\n'); ++i) {
                if (code[i] == '\\') ++i;
                else strings += code[i];
            }
            strings += '\n';
        }
    }
    return strings;
}

std::vector<std::string> literalsUnder(const std::string& folder) {
    std::vector<std::string> all;
    for (const auto& entry : fs::recursive_directory_iterator(std::string(KD215_SOURCE_DIR) + "/" + folder)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".cpp" && ext != ".h" && ext != ".rc") continue;
        const std::vector<std::string> found = literalsOf(readFile(entry.path()));
        all.insert(all.end(), found.begin(), found.end());
    }
    return all;
}

// The help contents and index are Windows-1250, the code page the help viewer reads Polish in. Only
// the letters and marks Polish needs are expected; any other high byte (UTF-8, say) is reported.
std::string fromWindows1250(const std::string& bytes, std::string& stray) {
    static const std::pair<unsigned char, const char*> kPolish[] = {
        {0xB9, "ą"}, {0xA5, "Ą"}, {0xE6, "ć"}, {0xC6, "Ć"}, {0xEA, "ę"}, {0xCA, "Ę"}, {0xB3, "ł"},
        {0xA3, "Ł"}, {0xF1, "ń"}, {0xD1, "Ń"}, {0xF3, "ó"}, {0xD3, "Ó"}, {0x9C, "ś"}, {0x8C, "Ś"},
        {0x9F, "ź"}, {0x8F, "Ź"}, {0xBF, "ż"}, {0xAF, "Ż"}, {0x96, "–"}, {0x84, "„"}, {0x94, "”"}};
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
            continue;
        }
        const char* letter = nullptr;
        for (const auto& [code, utf8] : kPolish) letter = code == byte ? utf8 : letter;
        if (letter == nullptr) stray += std::to_string(byte) + " ";
        text += letter ? letter : "?";
    }
    return text;
}

// One space for every run of white space, so that a line break inside a phrase hides nothing.
std::string collapsed(const std::string& text) {
    static const std::regex space(R"(\s+)");
    return std::regex_replace(text, space, " ");
}

// What a reader sees of a page: inline tags dropped, the others a space, entities as characters.
std::string readerText(const std::string& html) {
    static const std::regex inlineTag(R"(</?(u|b|i|span|kbd|a|code)\b[^>]*>)", std::regex::icase);
    static const std::regex otherTag(R"(<[^>]*>)");
    std::string text = std::regex_replace(std::regex_replace(html, inlineTag, ""), otherTag, " ");
    for (const auto& [entity, character] : {std::pair<const char*, const char*>{"&nbsp;", " "}, {"&lt;", "<"},
                                            {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}}) {
        for (std::size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at)) {
            text.replace(at, std::string(entity).size(), character);
        }
    }
    return collapsed(text);
}

struct ProjectText {
    std::string source;
    std::string text;  // as written, white space collapsed
    bool quotesProgram;  // a guide page, which quotes the program's texts as they are
};

// Files of the guide, CZYTAJ.txt, the help contents and index, the installer and, once it is
// there, the browser's pages and scripts.
void addFiles(std::vector<ProjectText>& texts) {
    const fs::path root = KD215_SOURCE_DIR;
    for (const auto& entry : fs::directory_iterator(root / "docs")) {
        const std::string ext = entry.path().extension().string(), name = entry.path().filename().string();
        std::string text = readFile(entry.path());
        if (ext == ".hhc" || ext == ".hhk") {
            std::string stray;
            text = fromWindows1250(text, stray);
            EXPECT_EQ(stray, "") << name << ": bytes outside Windows-1250 Polish";
        } else if (ext == ".txt" && text.rfind("\xEF\xBB\xBF", 0) == 0) {
            text.erase(0, 3);
        } else if (ext != ".html") {
            continue;
        }
        texts.push_back({name, collapsed(text), ext == ".html" || ext == ".txt"});
    }
    for (const char* installer : {"packaging/kd215.nsi", "packaging/debian/copyright"}) {
        texts.push_back({installer, collapsed(readFile(root / installer)), false});
    }
    if (fs::is_directory(root / "web")) {
        for (const auto& entry : fs::recursive_directory_iterator(root / "web")) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || entry.path().string().find("node_modules") != std::string::npos) continue;
            const std::string text = readFile(entry.path());
            if (ext == ".html") texts.push_back({"web/" + entry.path().filename().string(), collapsed(text), true});
            if (ext == ".js") texts.push_back({"web/" + entry.path().filename().string(), collapsed(scriptStrings(text)), true});
        }
    }
}

std::vector<ProjectText> projectTexts() {
    std::vector<ProjectText> texts;
    addFiles(texts);
    texts.push_back({"kd215ctl help", collapsed(helpText()), false});
    for (const CommandHelp& command : commandDocs()) texts.push_back({"help " + command.name, collapsed(commandHelpText(command.name)), false});
    std::string manPage;
    for (const std::string& literal : literalsOf(readFile(std::string(KD215_SOURCE_DIR) + "/tools/kd215ctl/commands/ctl_docs.cpp"))) {
        manPage += literal + "\n";
    }
    texts.push_back({"ctl_docs.cpp", collapsed(manPage), false});

    ConfigImage second = defaultConfigImage();
    second.channels[1].riseTime = 40;
    second.programs[0].endStep = 3;
    ReportSource files = controllerSource("", second, "");
    files.programSteps[1] = 12;
    files.hasEndStep[1] = false;
    texts.push_back({"report", collapsed(reportHtml(controllerSource("COM3", defaultConfigImage(), "1.05"), &files, {})), false});
    return texts;
}

// The guide quotes the program's own texts, which stay as they are: every piece of a literal in
// the program's layers of src/ and in resources/ between escapes is taken out before the words are judged.
std::string withoutProgramTexts(std::string text) {
    static const std::vector<std::string> pieces = [] {
        // The records and the report are kd215ctl's and the page's words, not the program's.
        std::vector<std::string> found, literals;
        for (const char* folder : {"src/config", "src/platform", "src/link", "src/editors", "src/app", "resources"}) {
            const std::vector<std::string> more = literalsUnder(folder);
            literals.insert(literals.end(), more.begin(), more.end());
        }
        const std::regex escape(R"(\\.|%[0-9]*[a-z])");
        for (const std::string& literal : literals) {
            for (std::sregex_token_iterator piece(literal.begin(), literal.end(), escape, -1), end; piece != end; ++piece) {
                if (piece->length() >= 6) found.push_back(collapsed(*piece));
            }
        }
        return found;
    }();
    for (const std::string& p : pieces) {
        for (std::size_t at = text.find(p); at != std::string::npos; at = text.find(p, at)) text.erase(at, p.size());
    }
    return text;
}

// The program's menu items and status texts, and the buttons and items the guide names; each is
// a bare caption that a preposition cannot take without a noun ("po naciśnięciu Zatwierdź").
std::vector<std::string> programCaptions() {
    std::set<std::string> captions = {kLoadCaption, kCommitCaption, kReadyText + 1, "Ponów próbę", "Anuluj",
                                      // the browser's own items of "Wybór portu"
                                      "Dodaj port", "Sterownik pokazowy"};
    for (const MenuPopup& menu : menuTree()) {
        for (const MenuEntry& item : menu.items) {
            if (item.caption == nullptr) continue;
            std::string caption = item.caption;
            caption.erase(std::remove(caption.begin(), caption.end(), '&'), caption.end());
            captions.insert(caption);
        }
    }
    for (const AreaBlock& block : kAreaBlocks) captions.insert(block.statusLabel + 1);
    for (int a = 0; a <= static_cast<int>(TransferAction::NoAction); ++a) captions.insert(actionLabel(static_cast<TransferAction>(a)) + 1);
    captions.insert(areaLabel(ConfigArea::Version) + 1);
    return {captions.begin(), captions.end()};
}

// "po Gotowe", "od Odczyt ze sterownika": a caption whose preceding word is a preposition.
std::vector<std::string> captionsAfterPrepositions(const std::string& plain) {
    static const std::set<std::string> kPrepositions = {
        "od", "do", "przed", "po", "przy", "na", "w", "we", "z", "ze", "za", "o", "bez", "dla", "pod", "nad", "u",
        "przez", "obok", "spod", "zamiast", "według", "wobec", "podczas", "oprócz", "około", "mimo", "wśród",
        "poprzez", "spoza", "sprzed", "zza", "ku", "dzięki"};
    static const std::vector<std::string> captions = programCaptions();
    std::vector<std::string> found;
    for (const std::string& caption : captions) {
        for (std::size_t at = plain.find(caption); at != std::string::npos; at = plain.find(caption, at + 1)) {
            const std::size_t end = at + caption.size();
            const bool wholeWord = end == plain.size() || !(std::isalnum(static_cast<unsigned char>(plain[end])) ||
                                                             static_cast<unsigned char>(plain[end]) >= 0x80);
            if (!wholeWord || at < 2 || plain[at - 1] != ' ') continue;
            const std::size_t space = plain.rfind(' ', at - 2);
            std::string word = plain.substr(space == std::string::npos ? 0 : space + 1);
            word = word.substr(0, word.find(' '));
            word.erase(0, std::min(word.find_first_not_of("(\"\xE2\x80\x9E"), word.size()));
            for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (kPrepositions.count(word)) found.push_back(word + " " + caption);
        }
    }
    return found;
}

struct Rule {
    const char* pattern;
    const char* why;
};

// Searched in lower case; a guide page after the program's own texts are taken out.
const std::vector<Rule>& ruledOut() {
    static const std::vector<Rule> rules = {
        {"krok", "a program's step is a scene of the program"},
        {"porówn|sprawdzeni|sprawdzani", "comparing the controller with the computer is verification"},
        {"sprawdź[^.;]{0,40}verify", "running verify is verification: zweryfikuj"},
        {"powtórze|ponawia", "sending again is a retry (ponowienie)"},
        {"wejści[aeu] 9", "input 9 is the common input"},
        {"jednostk[a-z]* sterownika|skal[a-z]* 0", "a level is a raw value, a time is in controller time units"},
        {"\\bblok|\\bsekcj", "a part moved at once is an area"},
        {"program z wiersza|sterownik kd215 z wiersza|sterownik ftdi", "the controller is the only sterownik"},
        {"kopi(a|ę|i) na dysku|kopi(a|ę|i) sterownika", "an area file, or a backup"},
        {"[0-9]\\.\\.[0-9]|[0-9] %|&nbsp;%", "ranges with an en dash, percent without a space"},
        {"daje komunikat|tak, jak język c", "the program shows messages"},
        {"(^|[ (])(o|od|do|na|w|z|ze|po|przy|przed|dla|bez|za): ", "a colon between a preposition and its object"},
        {"[a-z]+\\.[a-z]+\\[[0-9]+\\]", "a JSON path, counted from 0, in a Polish sentence"},
        {"<th[^>]*>(dolny|górny|narastania|trwania|opadania|załączania|wyłączania)</th>", "full column names"},
        {"[0-9] \\((brak|scena)", "end scenes in words"},
    };
    return rules;
}

// Every rule over one text; `source` names it in the failure.
void checkText(const std::string& source, const std::string& text, bool quotesProgram) {
    for (const std::string& slip : captionsAfterPrepositions(readerText(text))) {
        ADD_FAILURE() << source << ": \"" << slip << "\" – a caption after a preposition needs a noun (po wybraniu, przed naciśnięciem)";
    }
    std::string judged = quotesProgram ? withoutProgramTexts(text) : text;
    for (char& c : judged) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const Rule& rule : ruledOut()) {
        std::smatch found;
        if (std::regex_search(judged, found, std::regex(rule.pattern))) {
            ADD_FAILURE() << source << ": \"" << found.str() << "\" – " << rule.why;
        }
    }
    static const std::regex counted(R"(([0-9]+) (bajt[a-zó]*))");
    for (std::sregex_iterator m(judged.begin(), judged.end(), counted), end; m != end; ++m) {
        EXPECT_EQ((*m)[0].str(), byteCount(std::stoul((*m)[1].str()))) << source;
    }
}

TEST(PolishWords, RuledOutWordsAreNowhereAndByteCountsAgree) {
    std::size_t guideFiles = 0;
    for (const ProjectText& t : projectTexts()) {
        checkText(t.source, t.text, t.quotesProgram);
        guideFiles += t.source == "kd215.hhk" || t.source == "kd215.hhc" || t.source == "CZYTAJ.txt";
    }
    EXPECT_EQ(guideFiles, 3u);

    const std::vector<std::pair<std::size_t, const char*>> agreeing = {
        {1, "1 bajt"}, {2, "2 bajty"}, {5, "5 bajtów"}, {12, "12 bajtów"},
        {22, "22 bajty"}, {83, "83 bajty"}, {144, "144 bajty"}};
    for (const auto& [n, text] : agreeing) EXPECT_EQ(byteCount(n), text);
    // A count of bytes is said only through byteCount: no literal of kd215ctl, its records or its
    // report puts the noun after a number of its own or after one appended before it.
    const std::regex byHand(R"(^ +bajt|[0-9] *bajt)");
    for (const char* folder : {"tools", "src/records", "src/report"}) {
        for (const std::string& literal : literalsUnder(folder)) {
            EXPECT_FALSE(std::regex_search(literal, byHand)) << '"' << literal << '"';
        }
    }
}

// Every line kd215ctl printed: the rules of every text, and those of its messages: one line each
// in the form "kd215ctl: ...", kd215ctl's own sentence not followed by the program's text, no
// phrase said twice in a line.
void checkRun(const std::string& what, const CtlRun& run) {
    static const std::regex programTextAfterOwn(R"(\. (Nie|Błąd|Brak|Musisz|Kod) [^.]* !)");
    static const std::regex pair(R"(([a-ząćęłńóśźż]{4,} [a-ząćęłńóśźż]{4,}).*\b\1\b)");
    for (const auto& [stream, text] : {std::pair<const char*, const std::string&>{"out", run.out}, {"err", run.err}}) {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            const std::string source = what + " (" + stream + "): " + line;
            if (std::string(stream) == "err") {
                EXPECT_EQ(line.rfind("kd215ctl: ", 0), 0u) << source << " – one message, one line";
            }
            EXPECT_FALSE(std::regex_search(line, programTextAfterOwn)) << source << " – the same said twice";
            std::string lower = line;
            for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            EXPECT_FALSE(std::regex_search(lower, pair)) << source << " – a phrase twice in one line";
            checkText(source, line, false);
        }
    }
}

std::string replacedAll(std::string text, const std::string& from, const std::string& to, std::size_t count = std::string::npos) {
    for (std::size_t at = text.find(from); at != std::string::npos && count-- > 0; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// A handful of runs against kd215-sim that reach kd215ctl's kinds of message: a usage error, a
// backup and restore, a difference, refused values, a busy port, a silent port, a NAK, several ports.
TEST_F(CtlFolderTest, Kd215ctlSaysItsMessagesInTheProjectsWords) {
    SimProcess& sim = startSimWith(ByteBuffer(512, 0));
    test::PtyPair silent;
    ASSERT_TRUE(silent.ready());
    const std::string line = sim.link(), backup = path("b.json");
    const auto run = [&](const std::string& what, int code, const std::vector<std::string>& args) {
        const CtlRun r = ctl(args);
        EXPECT_EQ(r.code, code) << what << "\n" << r.out << r.err;
        checkRun(what, r);
    };
    run("usage", 2, {"bakup"});
    run("usage", 2, {"backup", "--prot", line, backup});
    run("usage", 2, {"backup", "--port", line, "--port", silent.devicePath, path("k.json")});
    run("backup", 0, {"backup", "--port", line, backup});
    const std::string erased = readFile(backup);
    const std::string good = file("good.json", replacedAll(erased, "\"maxLevel\": 0", "\"maxLevel\": 200"));
    run("restore", 0, {"restore", "--port", line, good});
    run("difference", 1, {"verify", "settings", "--port", line, backup});
    run("refused", 5, {"restore", "--port", line, file("bad.json", replacedAll(readFile(good), "\"minLevel\": 0", "\"minLevel\": 250", 1))});
    run("kind", 5, {"write", "settings", "--port", line, file("hala.sce", std::string(80, '\0'))});
    {
        const int holder = ::open(line.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_EQ(::flock(holder, LOCK_EX), 0);
        run("busy", 3, {"version", "--port", line});
        ::close(holder);
    }
    run("silent", 3, {"version", "--port", silent.devicePath, "--retries", "0"});
    sim.control("fault nak 20");
    run("nak", 3, {"restore", "--port", line, "--retries", "0", good});
    run("ports", 3, {"version", "--port", line, "--port", silent.devicePath, "--retries", "0"});
    sim.control("clear");
}

}  // namespace
}  // namespace kd215
