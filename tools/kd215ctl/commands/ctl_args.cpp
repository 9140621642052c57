// Parsing kd215ctl's command line and the help text that documents it.
#include "commands/ctl_args.h"

#include <algorithm>
#include <cstdlib>

#include "config/area_names.h"
#include "config/area_files.h"
#include "records/config_files.h"

namespace kd215 {

namespace {

enum class PortUse { None, Required, Optional };

struct CommandRule {
    const char* name;
    PortUse port;
    bool takesAreas;
    int minFiles;  // operands after the areas
    int maxFiles;  // -1: any number
    bool readsFiles;  // the files after the areas are inputs (backup's one file is its output)
    CommandDoc doc;
};

const CommandRule kCommands[] = {
    {"ports", PortUse::None, false, 0, 0, false,
     {"ports [--all]",
      "Porty szeregowe tego komputera z opisem urządzenia: najpierw nazwa stała (/dev/serial/by-id/...), "
      "potem urządzenie, opis, producent, identyfikatory USB, numer seryjny i moduł jądra adaptera.",
      {"kd215ctl ports", "kd215ctl ports --all --json"}}},
    {"probe", PortUse::Optional, false, 0, -1, false,
     {"probe [PORT... | --port PORT]",
      "Szuka sterownika na portach po kolei (bez PORT: na wszystkich) i wypisuje pierwszy port, na którym "
      "odpowiedział sterownik, w postaci, w jakiej należy go podać następnym razem. O każdym pominiętym porcie mówi dlaczego: zajęty "
      "(i przez jaki proces), brak uprawnień (i do jakiej grupy dołączyć), to nie jest port szeregowy, "
      "nie odpowiedział żaden sterownik. Z --port podanym kilka razy, --ports-from albo --all sprawdza każdy port "
      "osobno i kończy tabelą wszystkich; porty po poleceniu i te opcje razem to błąd użycia.",
      {"kd215ctl probe", "kd215ctl probe /dev/ttyUSB0 /dev/ttyUSB1"}}},
    {"version", PortUse::Required, false, 0, 0, false,
     {"version --port PORT", "Wersja oprogramowania sterownika.",
      {"kd215ctl version --port /dev/ttyUSB0", "kd215ctl version --port COM3 --json"}}},
    {"restart", PortUse::Required, false, 0, 0, false,
     {"restart --port PORT", "Restart sterownika.",
      {"kd215ctl restart --port /dev/ttyUSB0", "kd215ctl restart --port COM3 -q"}}},
    {"read", PortUse::Required, true, 0, 0, false,
     {"read OBSZAR... --port PORT [-o KATALOG|NAZWA]",
      "Odczyt obszarów ze sterownika do plików obszarów kd215.ust, .sce, .pg1, .pg2. Nieudany odczyt "
      "nie zmienia istniejących plików.",
      {"kd215ctl read all --port /dev/ttyUSB0 -o hala/", "kd215ctl read scenes --port COM3 -o hala"}}},
    {"write", PortUse::Required, true, 1, -1, true,
     {"write OBSZAR... --port PORT PLIK... [--no-verify] [--force]",
      "Zapis obszarów do sterownika z plików obszarów (po jednym na obszar) albo z jednej kopii "
      "zapasowej, potem odczyt i weryfikacja.",
      {"kd215ctl write scenes program1 --port /dev/ttyUSB0 hala.sce hala.pg1",
       "kd215ctl write all --port COM3 sterownik.json"}}},
    {"verify", PortUse::Required, true, 1, -1, true,
     {"verify OBSZAR... --port PORT PLIK...",
      "Weryfikacja sterownika z plikami obszarów albo kopią zapasową: wszystkie różnice, każda w "
      "jednym wierszu z wartością sterownika i pliku.",
      {"kd215ctl verify settings --port /dev/ttyUSB0 hala.ust", "kd215ctl verify all --port COM3 sterownik.json"}}},
    {"backup", PortUse::Required, false, 1, 1, false,
     {"backup --port PORT PLIK [--site TEKST] [--customer TEKST] [--note TEKST]",
      "Kopia zapasowa całego sterownika (tekst JSON): wersja oprogramowania, wszystkie obszary, "
      "wszystkie 14 scen programów i obie sceny kończące.",
      {"kd215ctl backup --port /dev/ttyUSB0 sterownik.json", "kd215ctl backup --port COM3 sterownik.json --json"}}},
    {"restore", PortUse::Required, false, 1, 1, true,
     {"restore --port PORT PLIK [--no-verify] [--force]", "Zapis kopii zapasowej do sterownika i weryfikacja.",
      {"kd215ctl restore --port /dev/ttyUSB0 sterownik.json",
       "kd215ctl restore --port COM3 sterownik.json --no-verify"}}},
    {"show", PortUse::None, false, 1, -1, true,
     {"show PLIK...", "Zawartość plików obszarów lub kopii zapasowej jako tabele.",
      {"kd215ctl show hala.sce", "kd215ctl show sterownik.json --json"}}},
    {"diff", PortUse::None, false, 2, 2, true,
     {"diff PLIK_A PLIK_B", "Różnice dwóch plików tego samego rodzaju, każda w jednym wierszu.",
      {"kd215ctl diff stary.json nowy.json", "kd215ctl diff hala.ust hala-zapas.ust --json"}}},
    {"report", PortUse::Optional, false, 0, -1, true,
     {"report (--port PORT | PLIK...) [--compare] [-o RAPORT.html] [--site TEKST] [--customer TEKST] [--note TEKST]",
      "Raport konfiguracji (strona HTML do druku na A4) ze sterownika, kopii zapasowej lub plików "
      "obszarów; z --compare dwa źródła z zaznaczonymi różnicami.",
      {"kd215ctl report --port /dev/ttyUSB0 -o raport.html",
       "kd215ctl report --compare sterownik.json nowy.json -o raport.html"}}},
};

const CommandRule* findCommand(const std::string& name) {
    for (const CommandRule& rule : kCommands) {
        if (name == rule.name) return &rule;
    }
    return nullptr;
}

// Stores an option's value; false with `error` set when the value will not do.
using StoreOption = bool (*)(CtlOptions& options, const std::string& value, std::string& error);

struct OptionRule {
    const char* name;
    const char* shortName;  // nullptr: none
    bool takesValue;
    const char* commands;   // the commands it applies to, space-separated; nullptr: all
    StoreOption store;
    const char* value;      // the value's name in the help; nullptr without one
    const char* help;
};

bool parseRetries(const std::string& text, int& retries) {
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    retries = std::atoi(text.c_str());
    return retries <= kMaxRetries;
}

// In an option's list of commands: every command that talks to a controller.
#define KD215_PORT_COMMANDS "@port"

const OptionRule kOptions[] = {
    {"--port", nullptr, true, KD215_PORT_COMMANDS,
     [](CtlOptions& o, const std::string& v, std::string& e) {
         if (o.port.empty()) o.port = v;
         o.ports.push_back(v);
         if (v.empty()) e = "--port: pusta nazwa portu";
         return !v.empty();
     },
     "PORT", "port szeregowy, np. /dev/ttyUSB0, /dev/serial/by-id/..., COM3; podany kilka razy: polecenie "
             "działa na wszystkich tych portach równolegle, a nazwy plików wynikowych muszą zawierać {port}; dwie nazwy jednego portu to błąd użycia"},
    {"--ports-from", nullptr, true, KD215_PORT_COMMANDS,
     [](CtlOptions& o, const std::string& v, std::string& e) {
         o.portsFrom = v;
         if (v.empty()) e = "--ports-from: pusta nazwa pliku";
         return !v.empty();
     },
     "PLIK", "porty z listy portów, po jednym w wierszu (# zaczyna komentarz; znacznik BOM i końce wierszy CRLF "
             "dozwolone), np. nazwy stałe wypisane przez ports; pusta lista daje kod wyjścia 3"},
    {"--output", "-o", true, "read report", [](CtlOptions& o, const std::string& v, std::string&) { o.output = v; return true; },
     "KATALOG|NAZWA",
     "read: istniejący katalog (pliki KATALOG/kd215.*) albo nazwa plików bez rozszerzenia; report: plik "
     "raportu (domyślnie raport.html)"},
    {"--compare", nullptr, false, "report", [](CtlOptions& o, const std::string&, std::string&) { return o.compare = true; },
     nullptr, "dwa źródła, różnice zaznaczone"},
    {"--site", nullptr, true, "backup report", [](CtlOptions& o, const std::string& v, std::string&) { o.site = v; return true; },
     "TEKST", "obiekt, w którym pracuje sterownik; w raporcie w nagłówku i w stopce każdej strony (bez opcji: z kopii zapasowej)"},
    {"--customer", nullptr, true, "backup report",
     [](CtlOptions& o, const std::string& v, std::string&) { o.customer = v; return true; }, "TEKST", "klient"},
    {"--note", nullptr, true, "backup report", [](CtlOptions& o, const std::string& v, std::string&) { o.note = v; return true; },
     "TEKST", "uwagi, np. co zmieniono podczas wizyty serwisowej"},
    {"--retries", nullptr, true, KD215_PORT_COMMANDS,
     [](CtlOptions& o, const std::string& v, std::string& e) {
         if (parseRetries(v, o.retries)) return true;
         e = "--retries: oczekiwano liczby od 0 do " + std::to_string(kMaxRetries) + ", jest \"" + v + "\"";
         return false;
     },
     "N", "ile razy ponowić wymianę po błędzie komunikacji (domyślnie 2)"},
    {"--log", nullptr, true, KD215_PORT_COMMANDS, [](CtlOptions& o, const std::string& v, std::string&) { o.logPath = v; return true; },
     "PLIK", "dopisuje do PLIKU każdą ramkę: czas, kierunek (TX do sterownika, RX od sterownika), bajty szesnastkowo i jako ASCII"},
    {"--no-verify", nullptr, false, "write restore",
     [](CtlOptions& o, const std::string&, std::string&) { return o.noVerify = true; }, nullptr,
     "bez odczytu i weryfikacji po zapisie"},
    {"--force", nullptr, false, "write restore",
     [](CtlOptions& o, const std::string&, std::string&) { return o.force = true; }, nullptr,
     "zapis mimo wartości, których nie przyjęłyby okna programu"},
    {"--json", nullptr, false, nullptr, [](CtlOptions& o, const std::string&, std::string&) { return o.json = true; },
     nullptr, "wynik w formacie JSON na standardowym wyjściu; komunikaty i błędy nadal tekstem na standardowym wyjściu błędów"},
    {"--quiet", "-q", false, nullptr, [](CtlOptions& o, const std::string&, std::string&) { return o.quiet = true; },
     nullptr, "tylko wyniki i błędy: bez informacji o postępie i bez komunikatów o ponowieniach"},
    {"--verbose", "-v", false, KD215_PORT_COMMANDS, [](CtlOptions& o, const std::string&, std::string&) { return o.verbose = true; },
     nullptr, "każda ramka (jak --log) także na standardowym wyjściu błędów"},
    {"--all", nullptr, false, "ports " KD215_PORT_COMMANDS,
     [](CtlOptions& o, const std::string&, std::string&) { return o.allPorts = true; }, nullptr,
     "ports: także porty ttyS bez układu UART; pozostałe polecenia: wszystkie porty, na których odpowiada sterownik, "
     "a w tabeli wyników każdy pominięty i dlaczego; port, na którym nic nie odpowiedziało, daje kod wyjścia 3"},
    {"--answering", nullptr, false, KD215_PORT_COMMANDS,
     [](CtlOptions& o, const std::string&, std::string&) { return o.answering = true; }, nullptr,
     "z --all: wystarczą porty, na których sterownik odpowiedział; pozostałe są w tabeli, ale nie zmieniają kodu "
     "wyjścia"},
    {"--version", nullptr, false, nullptr, [](CtlOptions& o, const std::string&, std::string&) { return o.version = true; },
     nullptr, "wersja kd215ctl"},
};

const OptionRule* findOption(const std::string& name) {
    for (const OptionRule& rule : kOptions) {
        if (name == rule.name || (rule.shortName != nullptr && name == rule.shortName)) return &rule;
    }
    return nullptr;
}

// The commands of an option's list, "@port" spelt out as the commands that talk to a controller.
std::string commandList(const char* commands) {
    std::string list = commands;
    const std::size_t at = list.find(KD215_PORT_COMMANDS);
    if (at == std::string::npos) return list;
    std::string named;
    for (const CommandRule& rule : kCommands) {
        if (rule.port != PortUse::None) named += (named.empty() ? "" : " ") + std::string(rule.name);
    }
    return list.replace(at, std::string(KD215_PORT_COMMANDS).size(), named);
}

bool appliesTo(const OptionRule& rule, const std::string& command) {
    if (rule.commands == nullptr) return true;
    const std::string list = " " + commandList(rule.commands) + " ";
    return list.find(" " + command + " ") != std::string::npos;
}

// "polecenia read", "poleceń write i restore".
std::string commandsPhrase(const char* commands) {
    std::string names = commandList(commands);
    const std::size_t space = names.rfind(' ');
    if (space == std::string::npos) return "polecenia " + names;
    std::string phrase = names.substr(0, space);
    std::replace(phrase.begin(), phrase.end(), ' ', ',');
    return "poleceń " + phrase + " i " + names.substr(space + 1);
}

ParseResult usage(const std::string& text) { return {false, text}; }

}  // namespace

const char* const kFileNamesText =
    "W nazwie każdego pliku (kopii zapasowej, pliku obszaru, -o, --log) {port} oznacza krótką nazwę portu: "
    "ostatnią część jego nazwy stałej (usb-FTDI_FT232R_A50285BI-if00-port0, ttyUSB0, COM7), tak samo dla "
    "jednego portu jak dla wielu; plik wejściowy z {port} jest czytany osobno dla każdego portu, a brak "
    "takiego pliku kończy tylko jego port (kod 5). Każdy plik wejściowy jest czytany raz, zanim ruszy "
    "pierwszy port. \"-\" nie oznacza standardowego wejścia ani wyjścia: plik o tej nazwie to ./-.";

namespace {

std::vector<std::string> commandNames() {
    std::vector<std::string> names;
    for (const CommandRule& rule : kCommands) names.push_back(rule.name);
    return names;
}

std::vector<std::string> optionNames() {
    std::vector<std::string> names = {"--help"};
    for (const OptionRule& rule : kOptions) names.push_back(rule.name);
    return names;
}

// ". Czy chodziło o backup?" when a known word is near the mistyped one.
std::string suggestion(const std::string& word, const std::vector<std::string>& choices);

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

ParseResult checkOptions(const CommandRule& command, const Words& words, const CtlOptions& options) {
    const auto given = [&](const char* option) {
        return std::find(words.given.begin(), words.given.end(), findOption(option)) != words.given.end();
    };
    const std::string name = command.name;
    const bool portGiven = given("--port") || given("--ports-from") || (given("--all") && name != "ports");
    if (command.port == PortUse::None && portGiven) return usage("polecenie " + name + " nie używa --port");
    if (command.port == PortUse::Required && !portGiven) {
        return usage("polecenie " + name + " potrzebuje --port PORT (port wskaże: kd215ctl probe)");
    }
    for (const OptionRule* option : words.given) {
        if (!appliesTo(*option, name)) {
            const std::string shown = option->shortName != nullptr ? option->shortName : option->name;
            return usage("opcja " + shown + " dotyczy tylko " + commandsPhrase(option->commands));
        }
    }
    if (options.quiet && options.verbose) return usage("opcje -q i -v wykluczają się");
    if (options.answering && !options.allPorts) return usage("opcja --answering działa tylko z --all");
    return {true, {}};
}

// The area words after the command; `next` is left at the first word that names none.
ParseResult readAreas(const CommandRule& command, const std::vector<std::string>& positional, std::size_t& next,
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

ParseResult checkFileCount(const CommandRule& command, const CtlOptions& options) {
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
ParseResult checkDashNames(const CtlOptions& options) {
    std::vector<std::string> names = {options.output, options.logPath, options.portsFrom};
    if (options.command != "probe") names.insert(names.end(), options.operands.begin(), options.operands.end());
    if (std::find(names.begin(), names.end(), "-") == names.end()) return {true, {}};
    return usage("\"-\" nie oznacza tu standardowego wejścia ani wyjścia; plik o tej nazwie to ./-");
}

// One source, the controller or files; with --compare exactly two.
ParseResult checkReportSources(const CtlOptions& options) {
    const bool port = !options.port.empty() || !options.portsFrom.empty() || options.allPorts;
    const std::size_t files = options.operands.size();
    const std::size_t sources = files + (port ? 1 : 0);
    if (options.compare && sources != 2) {
        return usage("report --compare zestawia dwa źródła: --port PORT i PLIK albo PLIK_A i PLIK_B");
    }
    if (!options.compare && (sources == 0 || (port && files > 0))) {
        return usage("polecenie report potrzebuje --port PORT albo plików (oba razem: z --compare)");
    }
    return {true, {}};
}

}  // namespace

ParseResult parseCommandLine(const std::vector<std::string>& args, CtlOptions& options) {
    options = CtlOptions{};
    Words words;
    ParseResult result = readWords(args, options, words);
    if (!result.ok) return result;
    const bool helpCommand = !words.positional.empty() && words.positional[0] == "help";
    if (words.help || helpCommand) {
        options.command = "help";
        // "help read" and "read --help" both ask about read.
        const std::size_t topic = helpCommand ? 1 : 0;
        if (words.positional.size() > topic) options.helpTopic = words.positional[topic];
        if (!options.helpTopic.empty() && findCommand(options.helpTopic) == nullptr) {
            return usage("nieznane polecenie \"" + options.helpTopic + "\"" + suggestion(options.helpTopic, commandNames()));
        }
        return {true, {}};
    }
    if (words.positional.empty()) return options.version ? ParseResult{true, {}} : usage("brak polecenia");
    options.command = words.positional[0];
    const CommandRule* command = findCommand(options.command);
    if (command == nullptr) {
        return usage("nieznane polecenie \"" + options.command + "\"" + suggestion(options.command, commandNames()));
    }
    if (!(result = checkOptions(*command, words, options)).ok) return result;

    std::size_t next = 1;
    if (command->takesAreas && !(result = readAreas(*command, words.positional, next, options)).ok) return result;
    options.operands.assign(words.positional.begin() + static_cast<std::ptrdiff_t>(next), words.positional.end());
    if (!(result = checkFileCount(*command, options)).ok) return result;
    if (options.command == "probe" && !options.operands.empty() &&
        (!options.ports.empty() || !options.portsFrom.empty() || options.allPorts)) {
        return usage("probe: porty podaj albo po poleceniu (szuka po kolei do pierwszego sterownika), albo przez "
                     "--port, --ports-from lub --all (każdy port osobno), nie na oba sposoby");
    }
    if (options.command == "probe" && options.ports.size() == 1) options.operands = options.ports;
    if (!(result = checkDashNames(options)).ok) return result;
    if (options.command == "report") return checkReportSources(options);
    return {true, {}};
}

CommandLineWords commandLineWords() {
    CommandLineWords words;
    for (const CommandRule& rule : kCommands) {
        words.commands.push_back(rule.name);
        if (rule.takesAreas) words.areaCommands.push_back(rule.name);
    }
    words.options = {"--help", "-h"};
    for (const OptionRule& rule : kOptions) {
        for (const char* name : {rule.name, rule.shortName}) {
            if (name == nullptr) continue;
            words.options.push_back(name);
            if (rule.takesValue) words.valueOptions.push_back(name);
        }
    }
    for (const AreaBlock& block : kAreaBlocks) words.areas.push_back(areaArgumentName(block.area));
    words.areas.push_back("all");
    return words;
}

}  // namespace kd215

namespace kd215 {

const ExitCodeDoc kExitCodeDocs[7] = {
    {kExitDone, "gotowe"},
    {kExitDifferences, "znaleziono różnice (verify, diff, report --compare; write i restore przy weryfikacji po zapisie)"},
    {kExitUsage, "błąd użycia (polecenie, opcja, obszar, pliki niepasujące do obszarów, wynik będący zarazem "
                 "wejściem, dwie nazwy jednego portu)"},
    {kExitNoController, "brak portu lub sterownika (port się nie otwiera, brak portów, sterownik milczy; z --all "
                        "także port pominięty bez --answering)"},
    {kExitCommunication, "błąd komunikacji (NAK, suma kontrolna, brak danych, błąd portu) po wyczerpaniu ponowień"},
    {kExitFile, "błąd pliku (brak pliku, za krótki, zły rodzaj, uszkodzona kopia zapasowa, błąd zapisu, wynik "
                "niebędący zwykłym plikiem, wartości odrzucane przez edytory bez --force)"},
    {kExitSignalBase + 2, "przerwano (Ctrl+C; inny sygnał N daje 128 + N): wymiana staje tam, gdzie była"},
};

bool talksToController(const std::string& command) {
    const CommandRule* rule = findCommand(command);
    return rule != nullptr && rule->port != PortUse::None;
}

bool readsOperands(const std::string& command) {
    const CommandRule* rule = findCommand(command);
    return rule != nullptr && rule->readsFiles;
}

// "--port PORT" in a synopsis becomes its alternatives, named as the option table names them:
// "(--port PORT [--port PORT]... | --ports-from PLIK | --all)".
static std::string synopsisText(const char* synopsis) {
    const OptionRule& port = *findOption("--port");
    const OptionRule& portsFrom = *findOption("--ports-from");
    const std::string single = std::string(port.name) + " " + port.value;
    const std::string many = "(" + single + " [" + single + "]... | " + portsFrom.name + " " + portsFrom.value + " | " +
                             findOption("--all")->name + ")";
    std::string text = synopsis;
    const std::size_t at = text.find(single);
    if (at != std::string::npos) text.replace(at, single.size(), many);
    return text;
}

std::vector<CommandHelp> commandDocs() {
    std::vector<CommandHelp> docs;
    for (const CommandRule& rule : kCommands) docs.push_back({rule.name, rule.doc, synopsisText(rule.doc.synopsis)});
    return docs;
}

std::vector<OptionHelp> optionDocs(const std::string& command) {
    std::vector<OptionHelp> docs;
    for (const OptionRule& rule : kOptions) {
        if (!command.empty() && !appliesTo(rule, command)) continue;
        std::string names = rule.shortName != nullptr ? std::string(rule.shortName) + ", " + rule.name : rule.name;
        if (rule.value != nullptr) names += std::string(" ") + rule.value;
        std::string commands = rule.commands != nullptr ? commandList(rule.commands) : "";
        std::replace(commands.begin(), commands.end(), ' ', ',');
        for (std::size_t at = commands.find(','); at != std::string::npos; at = commands.find(',', at + 2)) {
            commands.insert(at + 1, " ");
        }
        // A text that says what the option does in each command ("read: …; report: …") names them.
        const std::string first = commands.substr(0, commands.find(','));
        if (!first.empty() && std::string(rule.help).rfind(first + ":", 0) == 0) commands.clear();
        docs.push_back({names, commands, rule.help});
    }
    docs.push_back({"-h, --help", "", "pomoc ogólna albo – po nazwie polecenia – pomoc do tego polecenia"});
    return docs;
}

std::vector<std::pair<std::string, std::string>> areaDocs() {
    std::vector<std::pair<std::string, std::string>> docs;
    for (const AreaBlock& block : kAreaBlocks) {
        docs.emplace_back(areaArgumentName(block.area), std::string(areaPolishName(block.area)) + " (plik ." +
                                                            block.fileExtension + ", " +
                                                            byteCount(areaFileSize(block.area)) + ")");
    }
    docs.emplace_back("all", "wszystkie cztery, w tej kolejności");
    return docs;
}

namespace {

// Folds `text` into lines of at most `width` characters, each after `indent`.
std::string folded(const std::string& text, std::size_t indent, std::size_t width = 78) {
    std::string out, line;
    std::size_t lineLength = 0;
    std::size_t start = 0;
    const auto length = [](const std::string& word) {
        std::size_t n = 0;
        for (const char c : word) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        return n;
    };
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (lineLength > 0 && indent + lineLength + 1 + length(word) > width) {
            out += std::string(indent, ' ') + line + "\n";
            line.clear();
            lineLength = 0;
        }
        line += (lineLength > 0 ? " " : "") + word;
        lineLength += (lineLength > 0 ? 1 : 0) + length(word);
        start = end + 1;
    }
    if (lineLength > 0) out += std::string(indent, ' ') + line + "\n";
    return out;
}

std::string optionLines(const std::vector<OptionHelp>& options, bool withCommands) {
    std::string out;
    for (const OptionHelp& option : options) {
        const std::string where = withCommands && !option.commands.empty() ? option.commands + ": " : "";
        out += "  " + option.names + "\n" + folded(where + option.help, 6);
    }
    return out;
}

}  // namespace

std::string helpText() {
    std::string out = "kd215ctl – obsługa sterownika Kd215 z wiersza poleceń\n\nUżycie:\n";
    for (const CommandHelp& command : commandDocs()) {
        out += "  kd215ctl " + command.synopsis + "\n";
    }
    out += "\nPolecenia:\n";
    for (const CommandHelp& command : commandDocs()) out += "  " + command.name + "\n" + folded(command.doc.summary, 6);
    out += "\nObszary:\n";
    for (const auto& [name, text] : areaDocs()) out += "  " + name + std::string(11 - name.size(), ' ') + text + "\n";
    out += folded("Pliki podane po obszarach odpowiadają im po kolei; zamiast nich można podać jedną kopię zapasową. "
                  "Plik programu mieści sceny 1–12 bez sceny kończącej: jego zapis zostawia w sterowniku sceny 13 "
                  "i 14 oraz scenę kończącą, a weryfikacja je pomija.",
                  0);
    out += "\n" + folded(kFileNamesText, 0);
    out += "\nOpcje:\n" + optionLines(optionDocs(""), true);
    out += "\nKody wyjścia:\n";
    for (const ExitCodeDoc& exit : kExitCodeDocs) out += "  " + std::to_string(exit.code) + "\n" + folded(exit.meaning, 6);
    out += "\nPomoc do polecenia: kd215ctl help POLECENIE albo kd215ctl POLECENIE --help.\n"
           "Postać wyniku --json: man kd215ctl, rozdział JSON.\n";
    return out;
}

std::string commandHelpText(const std::string& name) {
    const CommandRule* rule = findCommand(name);
    if (rule == nullptr) return "";
    std::string out = "Użycie: kd215ctl " + synopsisText(rule->doc.synopsis) + "\n\n" + folded(rule->doc.summary, 0);
    if (rule->takesAreas) {
        out += "\nObszary:\n";
        for (const auto& [area, text] : areaDocs()) out += "  " + area + std::string(11 - area.size(), ' ') + text + "\n";
    }
    out += "\nOpcje:\n" + optionLines(optionDocs(name), false);
    out += "\nPrzykłady:\n";
    for (const char* example : rule->doc.examples) out += "  " + std::string(example) + "\n";
    return out;
}

namespace {
std::string suggestion(const std::string& word, const std::vector<std::string>& choices) {
    const std::string nearest = nearestWord(word, choices);
    return nearest.empty() ? "" : ". Czy chodziło o " + nearest + "?";
}
}  // namespace

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
