// Parsing kd215ctl's command line and the help text that documents it.
#include "commands/ctl_args.h"

#include <algorithm>
#include <cstdlib>

#include "commands/area_names.h"

namespace kd215 {

const char* const kHelpText =
    "kd215ctl – sterownik Kd215 z wiersza poleceń (ten sam rdzeń i to samo łącze co program Kd215 link)\n"
    "\n"
    "Użycie:\n"
    "  kd215ctl ports [--all]              porty szeregowe tego komputera z opisem urządzenia; nazwa\n"
    "                                      stała (/dev/serial/by-id/...) przed urządzeniem\n"
    "  kd215ctl probe [PORT...]            szuka sterownika na portach po kolei i wypisuje port,\n"
    "                                      na którym odpowiedział, tak jak go podać następnym razem\n"
    "                                      (bez PORT: wszystkie porty)\n"
    "  kd215ctl version --port PORT        wersja oprogramowania sterownika\n"
    "  kd215ctl restart --port PORT        restart sterownika\n"
    "  kd215ctl read OBSZAR... --port PORT [-o KATALOG|NAZWA]\n"
    "                                      odczyt ze sterownika do plików kd215.ust, .sce, .pg1, .pg2\n"
    "  kd215ctl write OBSZAR... --port PORT PLIK... [--no-verify]\n"
    "                                      zapis do sterownika, potem odczyt i porównanie\n"
    "  kd215ctl verify OBSZAR... --port PORT PLIK...\n"
    "                                      porównanie sterownika z plikami: wszystkie różnice\n"
    "  kd215ctl backup --port PORT PLIK [--site TEKST] [--customer TEKST] [--note TEKST]\n"
    "                                      pełna kopia zapasowa sterownika (tekst JSON)\n"
    "  kd215ctl restore --port PORT PLIK [--no-verify]\n"
    "                                      zapis kopii zapasowej do sterownika i porównanie\n"
    "  kd215ctl show PLIK...               zawartość pliku .ust, .sce, .pg1, .pg2 lub kopii\n"
    "  kd215ctl diff PLIK_A PLIK_B         różnice dwóch plików tego samego rodzaju\n"
    "  kd215ctl report (--port PORT | PLIK...) [-o RAPORT.html]\n"
    "                                      raport konfiguracji (strona HTML do druku na A4) ze\n"
    "                                      sterownika, kopii zapasowej lub plików obszarów\n"
    "  kd215ctl report --compare (--port PORT PLIK | PLIK_A PLIK_B) [-o RAPORT.html]\n"
    "                                      raport z zaznaczonymi różnicami dwóch źródeł\n"
    "\n"
    "Obszary:\n"
    "  settings   ustawienia (plik .ust, 84 bajty)\n"
    "  scenes     sceny (plik .sce, 80 bajtów)\n"
    "  program1   program 1 (plik .pg1, 144 bajty)\n"
    "  program2   program 2 (plik .pg2, 144 bajty)\n"
    "  all        wszystkie cztery, w tej kolejności\n"
    "Pliki podane po obszarach odpowiadają im po kolei. Zamiast nich można podać jedną kopię\n"
    "zapasową: z niej brane są wszystkie podane obszary. Plik programu mieści sceny 1..12 bez\n"
    "sceny kończącej: jego zapis zostawia w sterowniku sceny 13 i 14 oraz scenę kończącą, a\n"
    "weryfikacja ich nie porównuje. Kopia zapasowa mieści wszystko, także sceny 13 i 14 i sceny\n"
    "kończące obu programów.\n"
    "\n"
    "Opcje:\n"
    "  --port PORT       port szeregowy, np. /dev/ttyUSB0, /dev/serial/by-id/..., COM3\n"
    "  -o KATALOG|NAZWA  read: istniejący katalog (pliki KATALOG/kd215.*) albo nazwa plików\n"
    "                    bez rozszerzenia; report: plik raportu (domyślnie raport.html)\n"
    "  --no-verify       write, restore: bez odczytu i porównania po zapisie\n"
    "  --force           write, restore: zapisz także wartości, których edytory nie przyjmą\n"
    "  --retries N       ile razy ponowić wymianę po błędzie komunikacji (domyślnie 2)\n"
    "  --log PLIK        dopisuje do PLIKU każdą ramkę: czas, kierunek (TX do sterownika,\n"
    "                    RX od sterownika), bajty szesnastkowo i jako ASCII\n"
    "  --json            wynik w JSON (postać niżej); komunikaty i błędy nadal tekstem na\n"
    "                    standardowe wyjście błędów, a po błędzie wyniku nie ma\n"
    "  -q, --quiet       tylko wyniki i błędy: bez postępu i bez powtórzeń\n"
    "  -v, --verbose     każda ramka (jak --log) także na standardowe wyjście błędów\n"
    "  --all             ports: także porty ttyS bez układu UART\n"
    "  --compare         report: dwa źródła, różnice zaznaczone\n"
    "  --site TEKST      backup, report: obiekt, w którym pracuje sterownik; w raporcie\n"
    "                    w nagłówku i w stopce każdej strony (bez opcji: z kopii zapasowej)\n"
    "  --customer TEKST  backup, report: klient\n"
    "  --note TEKST      backup, report: uwagi, np. co zmieniono podczas wizyty serwisowej\n"
    "  --version         wersja kd215ctl\n"
    "  -h, --help        ten tekst\n"
    "\n"
    "Weryfikacja wypisuje każdą różnicę słowami programu i obie wartości: \"sterownik 5, plik 0\".\n"
    "Pliki powstają przez plik tymczasowy i zamianę nazwy: nic nie zostaje zapisane do połowy,\n"
    "a nieudany odczyt ze sterownika nie zmienia istniejących plików. Gdy standardowe wyjście\n"
    "błędów jest terminalem, pokazuje ono postęp.\n"
    "\n"
    "Wynik w JSON:\n"
    "  ports             [{\"name\", \"device\", \"description\", \"manufacturer\", \"vendorId\",\n"
    "                      \"productId\", \"serial\", \"driver\"}]  (nieznane: null)\n"
    "  probe             {\"port\", \"device\"}\n"
    "  version           {\"port\", \"firmware\"}\n"
    "  restart           {\"port\", \"restarted\": true}\n"
    "  read              {\"port\", \"areas\": [OBSZAR], \"files\": [PLIK]}\n"
    "  write, restore    {\"port\", \"file\" (restore), \"areas\": [OBSZAR], \"verified\",\n"
    "                     \"differences\": [RÓŻNICA]}\n"
    "  verify            {\"port\", \"areas\": [OBSZAR], \"differences\": [RÓŻNICA]}\n"
    "                    RÓŻNICA: {\"area\", \"item\", \"index\", \"channel\", \"controller\", \"file\",\n"
    "                    \"text\"}: wartość sterownika i pliku, w \"text\" pozycja słowami programu\n"
    "  backup            {\"port\", \"file\", \"firmware\", \"created\"}\n"
    "  show              {\"file\", \"kind\", zawartość z kluczami kopii}; kilka plików: tablica\n"
    "  diff              {\"files\": [A, B], \"differences\": [{\"field\", \"first\", \"second\"}]}\n"
    "  --version         {\"program\", \"version\"}\n"
    "\n"
    "Kody wyjścia:\n"
    "  0  gotowe\n"
    "  1  znaleziono różnice (verify, diff; write i restore przy sprawdzeniu po zapisie)\n"
    "  2  błąd użycia (polecenie, opcja, obszar, liczba plików, plik wynikowy będący plikiem wejściowym)\n"
    "  3  brak portu lub sterownika (port się nie otwiera, brak portów, sterownik milczy)\n"
    "  4  błąd komunikacji (NAK, suma kontrolna, brak danych, błąd portu) po wyczerpaniu powtórzeń\n"
    "  5  błąd pliku (brak pliku, za krótki, zły rodzaj, uszkodzona kopia zapasowa, błąd zapisu,\n"
    "     wartości, których edytory nie przyjmą, bez --force)\n"
    "  130  przerwano (Ctrl+C; inny sygnał N: 128 + N)\n"
    "\n"
    "Kopia zapasowa sterownika na Linuksie:\n"
    "  kd215ctl probe\n"
    "  kd215ctl backup --port /dev/ttyUSB0 sterownik.json\n";

namespace {

enum class PortUse { None, Required, Optional };

struct CommandRule {
    const char* name;
    PortUse port;
    bool takesAreas;
    int minFiles;  // operands after the areas
    int maxFiles;  // -1: any number
};

const CommandRule kCommands[] = {
    {"ports", PortUse::None, false, 0, 0},
    {"probe", PortUse::Optional, false, 0, -1},
    {"version", PortUse::Required, false, 0, 0},
    {"restart", PortUse::Required, false, 0, 0},
    {"read", PortUse::Required, true, 0, 0},
    {"write", PortUse::Required, true, 1, -1},
    {"verify", PortUse::Required, true, 1, -1},
    {"backup", PortUse::Required, false, 1, 1},
    {"restore", PortUse::Required, false, 1, 1},
    {"show", PortUse::None, false, 1, -1},
    {"diff", PortUse::None, false, 2, 2},
    {"report", PortUse::Optional, false, 0, -1},
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
};

bool parseRetries(const std::string& text, int& retries) {
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    retries = std::atoi(text.c_str());
    return retries <= kMaxRetries;
}

const OptionRule kOptions[] = {
    {"--port", nullptr, true, nullptr,
     [](CtlOptions& o, const std::string& v, std::string& e) {
         o.port = v;
         if (v.empty()) e = "--port: pusta nazwa portu";
         return !v.empty();
     }},
    {"--output", "-o", true, "read report", [](CtlOptions& o, const std::string& v, std::string&) { o.output = v; return true; }},
    {"--compare", nullptr, false, "report", [](CtlOptions& o, const std::string&, std::string&) { return o.compare = true; }},
    {"--site", nullptr, true, "backup report", [](CtlOptions& o, const std::string& v, std::string&) { o.site = v; return true; }},
    {"--customer", nullptr, true, "backup report",
     [](CtlOptions& o, const std::string& v, std::string&) { o.customer = v; return true; }},
    {"--note", nullptr, true, "backup report", [](CtlOptions& o, const std::string& v, std::string&) { o.note = v; return true; }},
    {"--retries", nullptr, true, nullptr,
     [](CtlOptions& o, const std::string& v, std::string& e) {
         if (parseRetries(v, o.retries)) return true;
         e = "--retries: oczekiwano liczby od 0 do " + std::to_string(kMaxRetries) + ", jest \"" + v + "\"";
         return false;
     }},
    {"--log", nullptr, true, nullptr, [](CtlOptions& o, const std::string& v, std::string&) { o.logPath = v; return true; }},
    {"--no-verify", nullptr, false, "write restore",
     [](CtlOptions& o, const std::string&, std::string&) { return o.noVerify = true; }},
    {"--force", nullptr, false, "write restore",
     [](CtlOptions& o, const std::string&, std::string&) { return o.force = true; }},
    {"--json", nullptr, false, nullptr, [](CtlOptions& o, const std::string&, std::string&) { return o.json = true; }},
    {"--quiet", "-q", false, nullptr, [](CtlOptions& o, const std::string&, std::string&) { return o.quiet = true; }},
    {"--verbose", "-v", false, nullptr, [](CtlOptions& o, const std::string&, std::string&) { return o.verbose = true; }},
    {"--all", nullptr, false, "ports", [](CtlOptions& o, const std::string&, std::string&) { return o.allPorts = true; }},
    {"--version", nullptr, false, nullptr, [](CtlOptions& o, const std::string&, std::string&) { return o.version = true; }},
};

const OptionRule* findOption(const std::string& name) {
    for (const OptionRule& rule : kOptions) {
        if (name == rule.name || (rule.shortName != nullptr && name == rule.shortName)) return &rule;
    }
    return nullptr;
}

bool appliesTo(const OptionRule& rule, const std::string& command) {
    if (rule.commands == nullptr) return true;
    const std::string list = std::string(" ") + rule.commands + " ";
    return list.find(" " + command + " ") != std::string::npos;
}

// "polecenia read", "poleceń write i restore".
std::string commandsPhrase(const char* commands) {
    std::string names = commands;
    const std::size_t space = names.rfind(' ');
    if (space == std::string::npos) return "polecenia " + names;
    std::string phrase = names.substr(0, space);
    std::replace(phrase.begin(), phrase.end(), ' ', ',');
    return "poleceń " + phrase + " i " + names.substr(space + 1);
}

ParseResult usage(const std::string& text) { return {false, text}; }

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
        if (rule == nullptr) return usage("nieznana opcja " + arg);
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
    const bool portGiven = std::find(words.given.begin(), words.given.end(), findOption("--port")) != words.given.end();
    const std::string name = command.name;
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
                     "; potrzeba pliku na każdy obszar albo jednej kopii zapasowej");
    }
    return {true, {}};
}

// One source, the controller or files; with --compare exactly two.
ParseResult checkReportSources(const CtlOptions& options) {
    const bool port = !options.port.empty();
    const std::size_t files = options.operands.size();
    const std::size_t sources = files + (port ? 1 : 0);
    if (options.compare && sources != 2) {
        return usage("report --compare porównuje dwa źródła: --port PORT i PLIK albo PLIK_A i PLIK_B");
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
    if (words.help || (!words.positional.empty() && words.positional[0] == "help")) {
        options.command = "help";
        return {true, {}};
    }
    if (words.positional.empty()) return options.version ? ParseResult{true, {}} : usage("brak polecenia");
    options.command = words.positional[0];
    const CommandRule* command = findCommand(options.command);
    if (command == nullptr) return usage("nieznane polecenie \"" + options.command + "\"");
    if (!(result = checkOptions(*command, words, options)).ok) return result;

    std::size_t next = 1;
    if (command->takesAreas && !(result = readAreas(*command, words.positional, next, options)).ok) return result;
    options.operands.assign(words.positional.begin() + static_cast<std::ptrdiff_t>(next), words.positional.end());
    if (!(result = checkFileCount(*command, options)).ok) return result;
    if (options.command == "probe" && !options.port.empty()) options.operands.insert(options.operands.begin(), options.port);
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
