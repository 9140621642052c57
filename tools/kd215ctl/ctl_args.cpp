// Parsing kd215ctl's command line and the help text that documents it.
#include "ctl_args.h"

#include <algorithm>
#include <cstdlib>

#include "area_names.h"

namespace kd215 {

const char* const kHelpText =
    "kd215ctl – sterownik Kd215 z wiersza poleceń (ten sam rdzeń i to samo łącze co program Kd215 link)\n"
    "\n"
    "Użycie:\n"
    "  kd215ctl ports                      porty szeregowe tego komputera\n"
    "  kd215ctl probe [PORT...]            szuka sterownika na portach po kolei i wypisuje port,\n"
    "                                      na którym odpowiedział (bez PORT: wszystkie porty)\n"
    "  kd215ctl version --port PORT        wersja oprogramowania sterownika\n"
    "  kd215ctl restart --port PORT        restart sterownika\n"
    "  kd215ctl read OBSZAR... --port PORT [-o KATALOG|NAZWA]\n"
    "                                      odczyt ze sterownika do plików kd215.ust, .sce, .pg1, .pg2\n"
    "  kd215ctl write OBSZAR... --port PORT PLIK... [--no-verify]\n"
    "                                      zapis do sterownika, potem odczyt i porównanie\n"
    "  kd215ctl verify OBSZAR... --port PORT PLIK...\n"
    "                                      porównanie sterownika z plikami: wszystkie różnice\n"
    "  kd215ctl backup --port PORT PLIK    pełna kopia zapasowa sterownika (tekst JSON)\n"
    "  kd215ctl restore --port PORT PLIK [--no-verify]\n"
    "                                      zapis kopii zapasowej do sterownika i porównanie\n"
    "  kd215ctl show [--json] PLIK...      zawartość pliku .ust, .sce, .pg1, .pg2 lub kopii\n"
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
    "  --retries N       ile razy ponowić wymianę po błędzie komunikacji (domyślnie 2)\n"
    "  --log PLIK        dopisuje do PLIKU każdą ramkę: czas, kierunek (TX do sterownika,\n"
    "                    RX od sterownika), bajty szesnastkowo i jako ASCII\n"
    "  --json            show: wynik w JSON (obiekt na plik; kilka plików: tablica)\n"
    "  --compare         report: dwa źródła, różnice zaznaczone\n"
    "  -h, --help        ten tekst\n"
    "\n"
    "Weryfikacja wypisuje każdą różnicę słowami programu. W ustawieniach pierwsza jest wartość\n"
    "sterownika, druga pliku; w scenach i programach pierwsza pliku, druga sterownika.\n"
    "Pliki powstają przez plik tymczasowy i zamianę nazwy: nic nie zostaje zapisane do połowy,\n"
    "a nieudany odczyt ze sterownika nie zmienia istniejących plików. Gdy standardowe wyjście\n"
    "błędów jest terminalem, pokazuje ono postęp.\n"
    "\n"
    "Kody wyjścia:\n"
    "  0  gotowe\n"
    "  1  znaleziono różnice (verify, diff; write i restore przy sprawdzeniu po zapisie)\n"
    "  2  błąd użycia (polecenie, opcja, obszar, liczba plików)\n"
    "  3  brak portu lub sterownika (port się nie otwiera, brak portów, sterownik milczy)\n"
    "  4  błąd komunikacji (NAK, suma kontrolna, brak danych, błąd portu) po wyczerpaniu powtórzeń\n"
    "  5  błąd pliku (brak pliku, za krótki, zły rodzaj, uszkodzona kopia zapasowa, błąd zapisu)\n"
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
    bool output;   // -o
    bool noVerify;
    bool json;
};

const CommandRule kCommands[] = {
    {"ports", PortUse::None, false, 0, 0, false, false, false},
    {"probe", PortUse::Optional, false, 0, -1, false, false, false},
    {"version", PortUse::Required, false, 0, 0, false, false, false},
    {"restart", PortUse::Required, false, 0, 0, false, false, false},
    {"read", PortUse::Required, true, 0, 0, true, false, false},
    {"write", PortUse::Required, true, 1, -1, false, true, false},
    {"verify", PortUse::Required, true, 1, -1, false, false, false},
    {"backup", PortUse::Required, false, 1, 1, false, false, false},
    {"restore", PortUse::Required, false, 1, 1, false, true, false},
    {"show", PortUse::None, false, 1, -1, false, false, true},
    {"diff", PortUse::None, false, 2, 2, false, false, false},
    {"report", PortUse::Optional, false, 0, -1, true, false, false},
};

const CommandRule* findCommand(const std::string& name) {
    for (const CommandRule& rule : kCommands) {
        if (name == rule.name) return &rule;
    }
    return nullptr;
}

bool parseRetries(const std::string& text, int& retries) {
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    retries = std::atoi(text.c_str());
    return retries <= kMaxRetries;
}

ParseResult usage(const std::string& text) { return {false, text}; }

std::string fileCount(int n) { return std::to_string(n) + (n == 1 ? " pliku" : " plików"); }

}  // namespace

ParseResult parseCommandLine(const std::vector<std::string>& args, CtlOptions& options) {
    options = CtlOptions{};
    std::vector<std::string> positional;
    bool portGiven = false, outputGiven = false, optionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            options.command = "help";
            return {true, {}};
        }
        // Options with a value: "--port P", "--port=P", "-o P".
        std::string name = arg, value;
        bool hasValue = false;
        const std::size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasValue = true;
        }
        const bool wantsValue = name == "--port" || name == "-o" || name == "--output" || name == "--retries" ||
                                name == "--log";
        if (wantsValue && !hasValue) {
            if (i + 1 >= args.size()) return usage("opcja " + name + " potrzebuje wartości");
            value = args[++i];
        } else if (!wantsValue && hasValue) {
            return usage("opcja " + name + " nie przyjmuje wartości");
        }
        if (name == "--port") {
            options.port = value;
            portGiven = true;
        } else if (name == "-o" || name == "--output") {
            options.output = value;
            outputGiven = true;
        } else if (name == "--retries") {
            if (!parseRetries(value, options.retries)) {
                return usage("--retries: oczekiwano liczby od 0 do " + std::to_string(kMaxRetries) + ", jest \"" + value + "\"");
            }
        } else if (name == "--log") {
            options.logPath = value;
        } else if (name == "--no-verify") {
            options.noVerify = true;
        } else if (name == "--json") {
            options.json = true;
        } else if (name == "--compare") {
            options.compare = true;
        } else {
            return usage("nieznana opcja " + arg);
        }
    }

    if (positional.empty()) return usage("brak polecenia");
    options.command = positional[0];
    if (options.command == "help") return {true, {}};
    const CommandRule* rule = findCommand(options.command);
    if (rule == nullptr) return usage("nieznane polecenie \"" + options.command + "\"");
    const std::string& command = options.command;

    if (portGiven && options.port.empty()) return usage("--port: pusta nazwa portu");
    if (rule->port == PortUse::None && portGiven) return usage("polecenie " + command + " nie używa --port");
    if (rule->port == PortUse::Required && !portGiven) {
        return usage("polecenie " + command + " potrzebuje --port PORT (port wskaże: kd215ctl probe)");
    }
    if (outputGiven && !rule->output) return usage("opcja -o dotyczy tylko poleceń read i report");
    if (options.compare && command != "report") return usage("opcja --compare dotyczy tylko polecenia report");
    if (options.noVerify && !rule->noVerify) return usage("opcja --no-verify dotyczy tylko poleceń write i restore");
    if (options.json && !rule->json) return usage("opcja --json dotyczy tylko polecenia show");

    std::size_t next = 1;
    if (rule->takesAreas) {
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
            return usage("polecenie " + command + " potrzebuje obszaru: settings, scenes, program1, program2 albo all" +
                         (next < positional.size() ? " (nieznany obszar \"" + positional[next] + "\")" : ""));
        }
    }
    options.operands.assign(positional.begin() + static_cast<std::ptrdiff_t>(next), positional.end());
    const int files = static_cast<int>(options.operands.size());
    if (files < rule->minFiles || (rule->maxFiles >= 0 && files > rule->maxFiles)) {
        if (rule->maxFiles == 0) {
            return usage("polecenie " + command + " nie przyjmuje \"" + options.operands[0] + "\"" +
                         (rule->takesAreas ? " (nieznany obszar)" : ""));
        }
        if (rule->minFiles == rule->maxFiles) {
            return usage("polecenie " + command + " potrzebuje " + fileCount(rule->minFiles) + ", podano " +
                         std::to_string(files));
        }
        return usage("polecenie " + command + " potrzebuje co najmniej " + fileCount(rule->minFiles));
    }
    if (rule->takesAreas && files > 1 && files != static_cast<int>(options.areas.size())) {
        return usage("obszarów: " + std::to_string(options.areas.size()) + ", plików: " + std::to_string(files) +
                     "; potrzeba pliku na każdy obszar albo jednej kopii zapasowej");
    }
    if (command == "probe" && portGiven) options.operands.insert(options.operands.begin(), options.port);
    if (command == "report") {
        // One source: the controller or files; with --compare exactly two.
        const int sources = files + (portGiven ? 1 : 0);
        if (options.compare && sources != 2) {
            return usage("report --compare porównuje dwa źródła: --port PORT i PLIK albo PLIK_A i PLIK_B");
        }
        if (!options.compare && (sources == 0 || (portGiven && files > 0))) {
            return usage("polecenie report potrzebuje --port PORT albo plików (oba razem: z --compare)");
        }
    }
    return {true, {}};
}

}  // namespace kd215
