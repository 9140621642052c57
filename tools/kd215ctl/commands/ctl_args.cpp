// Parsing kd215ctl's command line against the command and option tables.
#include "commands/ctl_args.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "config/area_names.h"

namespace kd215 {

namespace {

bool parseRetries(const std::string& text, int& retries) {
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    retries = std::atoi(text.c_str());
    return retries <= kMaxRetries;
}

const OptionRule kOptions[] = {
    {"--port", nullptr, true, OptionScope::Line,
     [](CtlOptions& options, const std::string& value, std::string& error) {
         if (options.port.empty()) options.port = value;
         options.ports.push_back(value);
         if (value.empty()) error = "--port: pusta nazwa portu";
         return !value.empty();
     },
     "PORT", "port szeregowy, np. /dev/ttyUSB0, /dev/serial/by-id/..., COM3; podany kilka razy: polecenie "
             "działa na wszystkich tych portach równolegle, a nazwy plików wynikowych muszą zawierać {port}; dwie nazwy jednego portu to błąd użycia"},
    {"--ports-from", nullptr, true, OptionScope::Line,
     [](CtlOptions& options, const std::string& value, std::string& error) {
         options.portsFrom = value;
         if (value.empty()) error = "--ports-from: pusta nazwa pliku";
         return !value.empty();
     },
     "PLIK", "porty z listy portów, po jednym w wierszu (# zaczyna komentarz; znacznik BOM i końce wierszy CRLF "
             "dozwolone), np. nazwy stałe wypisane przez ports; pusta lista daje kod wyjścia 3"},
    {"--output", "-o", true, OptionScope::Own, [](CtlOptions& options, const std::string& value, std::string&) { options.output = value; return true; },
     "KATALOG|NAZWA",
     "read: istniejący katalog (pliki KATALOG/kd215.*) albo nazwa plików bez rozszerzenia; report: plik "
     "raportu (domyślnie raport.html)"},
    {"--compare", nullptr, false, OptionScope::Own, [](CtlOptions& options, const std::string&, std::string&) { return options.compare = true; },
     nullptr, "dwa źródła, różnice zaznaczone"},
    {"--site", nullptr, true, OptionScope::Own, [](CtlOptions& options, const std::string& value, std::string&) { options.site = value; return true; },
     "TEKST", "obiekt, w którym pracuje sterownik; w raporcie w nagłówku i w stopce każdej strony (bez opcji: z kopii zapasowej)"},
    {"--customer", nullptr, true, OptionScope::Own,
     [](CtlOptions& options, const std::string& value, std::string&) { options.customer = value; return true; }, "TEKST", "klient"},
    {"--note", nullptr, true, OptionScope::Own, [](CtlOptions& options, const std::string& value, std::string&) { options.note = value; return true; },
     "TEKST", "uwagi, np. co zmieniono podczas wizyty serwisowej"},
    {"--retries", nullptr, true, OptionScope::Line,
     [](CtlOptions& options, const std::string& value, std::string& error) {
         if (parseRetries(value, options.retries)) return true;
         error = "--retries: oczekiwano liczby od 0 do " + std::to_string(kMaxRetries) + ", jest \"" + value + "\"";
         return false;
     },
     "N", "ile razy ponowić wymianę po błędzie komunikacji (domyślnie 2)"},
    {"--log", nullptr, true, OptionScope::Line, [](CtlOptions& options, const std::string& value, std::string&) { options.logPath = value; return true; },
     "PLIK", "dopisuje do PLIKU każdą ramkę: czas, kierunek (TX do sterownika, RX od sterownika), bajty szesnastkowo i jako ASCII"},
    {"--no-verify", nullptr, false, OptionScope::Own,
     [](CtlOptions& options, const std::string&, std::string&) { return options.noVerify = true; }, nullptr,
     "bez odczytu i weryfikacji po zapisie"},
    {"--force", nullptr, false, OptionScope::Own,
     [](CtlOptions& options, const std::string&, std::string&) { return options.force = true; }, nullptr,
     "zapis mimo wartości, których nie przyjęłyby okna programu"},
    {"--json", nullptr, false, OptionScope::Every, [](CtlOptions& options, const std::string&, std::string&) { return options.json = true; },
     nullptr, "wynik w formacie JSON na standardowym wyjściu; komunikaty i błędy nadal tekstem na standardowym wyjściu błędów"},
    {"--quiet", "-q", false, OptionScope::Every, [](CtlOptions& options, const std::string&, std::string&) { return options.quiet = true; },
     nullptr, "tylko wyniki i błędy: bez informacji o postępie i bez komunikatów o ponowieniach"},
    {"--verbose", "-v", false, OptionScope::Line, [](CtlOptions& options, const std::string&, std::string&) { return options.verbose = true; },
     nullptr, "każda ramka (jak --log) także na standardowym wyjściu błędów"},
    {"--all", nullptr, false, OptionScope::Line,
     [](CtlOptions& options, const std::string&, std::string&) { return options.allPorts = true; }, nullptr,
     "ports: także porty ttyS bez układu UART; pozostałe polecenia: wszystkie porty, na których odpowiada sterownik, "
     "a w tabeli wyników każdy pominięty i dlaczego; port, na którym nic nie odpowiedziało, daje kod wyjścia 3"},
    {"--answering", nullptr, false, OptionScope::Line,
     [](CtlOptions& options, const std::string&, std::string&) { return options.answering = true; }, nullptr,
     "z --all: wystarczą porty, na których sterownik odpowiedział; pozostałe są w tabeli, ale nie zmieniają kodu "
     "wyjścia"},
    {"--version", nullptr, false, OptionScope::Every, [](CtlOptions& options, const std::string&, std::string&) { return options.version = true; },
     nullptr, "wersja kd215ctl"},
};

}  // namespace

const std::vector<OptionRule>& optionTable() {
    static const std::vector<OptionRule> table(std::begin(kOptions), std::end(kOptions));
    return table;
}

const OptionRule* findOption(const std::string& name) {
    for (const OptionRule& rule : optionTable()) {
        if (name == rule.name || (rule.shortName != nullptr && name == rule.shortName)) return &rule;
    }
    return nullptr;
}

bool appliesTo(const OptionRule& option, const CommandRow& command) {
    return option.scope == OptionScope::Every || (option.scope == OptionScope::Line && talksToController(command)) ||
           ownsOption(command, option.name);
}

std::vector<std::string> commandsTaking(const OptionRule& option) {
    std::vector<std::string> names;
    if (option.scope == OptionScope::Every) return names;
    for (const CommandRow& command : commandTable()) {
        if (appliesTo(option, command)) names.push_back(command.name);
    }
    return names;
}

namespace {

// The word that asks for the help, before the command it asks about.
const char* const kHelpWord = "help";

ParseResult usage(const std::string& text) { return {false, text}; }

// "polecenia read", "poleceń write i restore".
std::string commandsPhrase(const OptionRule& option) {
    const std::vector<std::string> names = commandsTaking(option);
    if (names.size() == 1) return "polecenia " + names[0];
    std::string phrase = "poleceń ";
    for (std::size_t i = 0; i + 1 < names.size(); ++i) phrase += (i == 0 ? "" : ",") + names[i];
    return phrase + " i " + names.back();
}

std::vector<std::string> optionNames() {
    std::vector<std::string> names = {"--help"};
    for (const OptionRule& rule : optionTable()) names.push_back(rule.name);
    return names;
}

// ". Czy chodziło o backup?" when a known word is near the mistyped one.
std::string suggestion(const std::string& word, const std::vector<std::string>& choices) {
    const std::string nearest = nearestWord(word, choices);
    return nearest.empty() ? "" : ". Czy chodziło o " + nearest + "?";
}

std::string fileCount(int n) { return std::to_string(n) + (n == 1 ? " pliku" : " plików"); }

// What the words of the line are before the command is known: options stored, the rest in order.
struct Words {
    std::vector<std::string> positional;
    std::vector<const OptionRule*> given;
    bool help = false;
};

// Options with a value take it as "--port P", "--port=P" or "-o P"; "--" ends the options.
ParseResult readWords(const std::vector<std::string>& args, CtlOptions& options, Words& words) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            words.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            words.help = true;
            return {true, {}};
        }
        std::string name = arg, value;
        bool hasValue = false;
        const std::size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasValue = true;
        }
        const OptionRule* rule = findOption(name);
        if (rule == nullptr) return usage("nieznana opcja " + arg + suggestion(name, optionNames()));
        if (rule->takesValue && !hasValue) {
            if (i + 1 >= args.size()) return usage("opcja " + name + " potrzebuje wartości");
            value = args[++i];
        } else if (!rule->takesValue && hasValue) {
            return usage("opcja " + name + " nie przyjmuje wartości");
        }
        std::string error;
        if (!rule->store(options, value, error)) return usage(error);
        words.given.push_back(rule);
    }
    return {true, {}};
}

ParseResult checkOptions(const CommandRow& command, const Words& words, const CtlOptions& options) {
    const auto given = [&](const char* option) {
        return std::find(words.given.begin(), words.given.end(), findOption(option)) != words.given.end();
    };
    const std::string name = command.name;
    const bool portGiven = given("--port") || given("--ports-from") || (given("--all") && !ownsOption(command, "--all"));
    if (command.port == PortUse::None && portGiven) return usage("polecenie " + name + " nie używa --port");
    if (command.port == PortUse::Required && !portGiven) {
        return usage("polecenie " + name + " potrzebuje --port PORT (port wskaże: kd215ctl probe)");
    }
    for (const OptionRule* option : words.given) {
        if (!appliesTo(*option, command)) {
            const std::string shown = option->shortName != nullptr ? option->shortName : option->name;
            return usage("opcja " + shown + " dotyczy tylko " + commandsPhrase(*option));
        }
    }
    if (options.quiet && options.verbose) return usage("opcje -q i -v wykluczają się");
    if (options.answering && !options.allPorts) return usage("opcja --answering działa tylko z --all");
    return {true, {}};
}

// The area words after the command; `next` is left at the first word that names none.
ParseResult readAreas(const CommandRow& command, const std::vector<std::string>& positional, std::size_t& next,
                      CtlOptions& options) {
    while (next < positional.size()) {
        std::vector<ConfigArea> named;
        if (!parseAreaArgument(positional[next], named)) break;
        for (const ConfigArea area : named) {
            if (std::find(options.areas.begin(), options.areas.end(), area) != options.areas.end()) {
                return usage(std::string("obszar ") + areaArgumentName(area) + " podany więcej niż raz");
            }
            options.areas.push_back(area);
        }
        ++next;
    }
    if (options.areas.empty()) {
        return usage(std::string("polecenie ") + command.name +
                     " potrzebuje obszaru: settings, scenes, program1, program2 albo all" +
                     (next < positional.size() ? " (nieznany obszar \"" + positional[next] + "\")" : ""));
    }
    return {true, {}};
}

ParseResult checkFileCount(const CommandRow& command, const CtlOptions& options) {
    const std::string name = command.name;
    const int files = static_cast<int>(options.operands.size());
    if (files < command.minFiles || (command.maxFiles >= 0 && files > command.maxFiles)) {
        if (command.maxFiles == 0) {
            return usage("polecenie " + name + " nie przyjmuje \"" + options.operands[0] + "\"" +
                         (command.takesAreas ? " (nieznany obszar)" : ""));
        }
        if (command.minFiles == command.maxFiles) {
            return usage("polecenie " + name + " potrzebuje " + fileCount(command.minFiles) + ", podano " +
                         std::to_string(files));
        }
        return usage("polecenie " + name + " potrzebuje co najmniej " + fileCount(command.minFiles));
    }
    if (command.takesAreas && files > 1 && files != static_cast<int>(options.areas.size())) {
        return usage("obszarów: " + std::to_string(options.areas.size()) + ", plików: " + std::to_string(files) +
                     "; potrzeba jednego pliku na każdy obszar albo jednej kopii zapasowej");
    }
    return {true, {}};
}

// "-" names no file here: standard input and output carry results and --json, never a file's
// bytes, so a file of that name is "./-".
ParseResult checkDashNames(const CommandRow& command, const CtlOptions& options) {
    std::vector<std::string> names = {options.output, options.logPath, options.portsFrom};
    if (command.operands != Operands::Ports) names.insert(names.end(), options.operands.begin(), options.operands.end());
    if (std::find(names.begin(), names.end(), "-") == names.end()) return {true, {}};
    return usage("\"-\" nie oznacza tu standardowego wejścia ani wyjścia; plik o tej nazwie to ./-");
}

// Ports after the command and ports by option are two ways of naming them: one at a time.
ParseResult checkOperandPorts(const CommandRow& command, CtlOptions& options) {
    if (!options.operands.empty() && (!options.ports.empty() || !options.portsFrom.empty() || options.allPorts)) {
        return usage(std::string(command.name) + ": porty podaj albo po poleceniu (szuka po kolei do pierwszego "
                     "sterownika), albo przez --port, --ports-from lub --all (każdy port osobno), nie na oba sposoby");
    }
    if (options.ports.size() == 1) options.operands = options.ports;
    return {true, {}};
}

// "help read" and "read --help" both ask about read.
ParseResult readHelpTopic(const std::vector<std::string>& positional, bool helpWord, CtlOptions& options) {
    options.help = true;
    const std::size_t topic = helpWord ? 1 : 0;
    if (positional.size() > topic) options.helpTopic = positional[topic];
    if (!options.helpTopic.empty() && findCommand(options.helpTopic) == nullptr) {
        return usage("nieznane polecenie \"" + options.helpTopic + "\"" + suggestion(options.helpTopic, commandNames()));
    }
    return {true, {}};
}

}  // namespace

ParseResult parseCommandLine(const std::vector<std::string>& args, CtlOptions& options) {
    options = CtlOptions{};
    Words words;
    ParseResult result = readWords(args, options, words);
    if (!result.ok) return result;
    const bool helpWord = !words.positional.empty() && words.positional[0] == kHelpWord;
    if (words.help || helpWord) return readHelpTopic(words.positional, helpWord, options);
    if (words.positional.empty()) return options.version ? ParseResult{true, {}} : usage("brak polecenia");
    options.command = findCommand(words.positional[0]);
    if (options.command == nullptr) {
        return usage("nieznane polecenie \"" + words.positional[0] + "\"" + suggestion(words.positional[0], commandNames()));
    }
    const CommandRow& command = *options.command;
    if (!(result = checkOptions(command, words, options)).ok) return result;

    std::size_t next = 1;
    if (command.takesAreas && !(result = readAreas(command, words.positional, next, options)).ok) return result;
    options.operands.assign(words.positional.begin() + static_cast<std::ptrdiff_t>(next), words.positional.end());
    if (!(result = checkFileCount(command, options)).ok) return result;
    if (command.operands == Operands::Ports && !(result = checkOperandPorts(command, options)).ok) return result;
    if (!(result = checkDashNames(command, options)).ok) return result;
    if (command.checkLine != nullptr) return command.checkLine(options);
    return {true, {}};
}

std::string nearestWord(const std::string& word, const std::vector<std::string>& choices) {
    // Edit distance counting a swap of neighbours as one edit, the commonest slip ("--prot").
    const auto distance = [](const std::string& a, const std::string& b) {
        std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
        for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
        for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
        for (std::size_t i = 1; i <= a.size(); ++i) {
            for (std::size_t j = 1; j <= b.size(); ++j) {
                d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
                if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
        return d[a.size()][b.size()];
    };
    std::string best;
    std::size_t bestDistance = 3;  // more than two edits is another word, not a slip
    for (const std::string& choice : choices) {
        const std::size_t d = distance(word, choice);
        if (d < bestDistance && d < choice.size()) {
            best = choice;
            bestDistance = d;
        }
    }
    return best;
}

}  // namespace kd215
