// kd215ctl's command table: a row per command, read by the parser, the help and dispatch alike.
#include "commands/command_table.h"

#include <iterator>

#include "commands/ctl_args.h"

namespace kd215 {

namespace {

// report: one source, the controller or files; with --compare exactly two.
ParseResult checkReportSources(const CtlOptions& options) {
    const bool port = !options.port.empty() || !options.portsFrom.empty() || options.allPorts;
    const std::size_t files = options.operands.size();
    const std::size_t sources = files + (port ? 1 : 0);
    if (options.compare && sources != 2) {
        return {false, "report --compare zestawia dwa źródła: --port PORT i PLIK albo PLIK_A i PLIK_B"};
    }
    if (!options.compare && (sources == 0 || (port && files > 0))) {
        return {false, "polecenie report potrzebuje --port PORT albo plików (oba razem: z --compare)"};
    }
    return {true, {}};
}

// name, port, areas, files from..to, operands, outputs, own options, result when not found,
// rule of its own, runner, JSON answer, help
const CommandRow kCommands[] = {
    {"ports", PortUse::None, false, 0, 0, Operands::None, Outputs::None, "--all", false, nullptr, portsCommand,
     R"({"schema", "ports": [PORT]})",
     {"ports [--all]",
      "Porty szeregowe tego komputera z opisem urządzenia: najpierw nazwa stała (/dev/serial/by-id/...), "
      "potem urządzenie, opis, producent, identyfikatory USB, numer seryjny i moduł jądra adaptera.",
      {"kd215ctl ports", "kd215ctl ports --all --json"}}},
    {"probe", PortUse::Optional, false, 0, -1, Operands::Ports, Outputs::None, "", true, nullptr, probeCommand,
     R"({"schema", "port", "device", "tried": [TRIED]})",
     {"probe [PORT... | --port PORT]",
      "Szuka sterownika na portach po kolei (bez PORT: na wszystkich) i wypisuje pierwszy port, na którym "
      "odpowiedział sterownik, w postaci, w jakiej należy go podać następnym razem. O każdym pominiętym porcie mówi dlaczego: zajęty "
      "(i przez jaki proces), brak uprawnień (i do jakiej grupy dołączyć), to nie jest port szeregowy, "
      "nie odpowiedział żaden sterownik. Z --port podanym kilka razy, --ports-from albo --all sprawdza każdy port "
      "osobno i kończy tabelą wszystkich; porty po poleceniu i te opcje razem to błąd użycia.",
      {"kd215ctl probe", "kd215ctl probe /dev/ttyUSB0 /dev/ttyUSB1"}}},
    {"version", PortUse::Required, false, 0, 0, Operands::None, Outputs::None, "", false, nullptr, versionCommand,
     R"({"schema", "port", "firmware"})",
     {"version --port PORT", "Wersja oprogramowania sterownika.",
      {"kd215ctl version --port /dev/ttyUSB0", "kd215ctl version --port COM3 --json"}}},
    {"restart", PortUse::Required, false, 0, 0, Operands::None, Outputs::None, "", false, nullptr, restartCommand,
     R"({"schema", "port", "sent", "answeredBefore"})",
     {"restart --port PORT", "Restart sterownika.",
      {"kd215ctl restart --port /dev/ttyUSB0", "kd215ctl restart --port COM3 -q"}}},
    {"read", PortUse::Required, true, 0, 0, Operands::None, Outputs::AreaFiles, "--output", false, nullptr, readCommand,
     R"({"schema", "port", "areas", "files"})",
     {"read OBSZAR... --port PORT [-o KATALOG|NAZWA]",
      "Odczyt obszarów ze sterownika do plików obszarów kd215.ust, .sce, .pg1, .pg2. Nieudany odczyt "
      "nie zmienia istniejących plików.",
      {"kd215ctl read all --port /dev/ttyUSB0 -o hala/", "kd215ctl read scenes --port COM3 -o hala"}}},
    {"write", PortUse::Required, true, 1, -1, Operands::Inputs, Outputs::None, "--no-verify --force", false, nullptr, writeCommand,
     R"({"schema", "port", "areas", "verified", "differences": [DIFFERENCE]})",
     {"write OBSZAR... --port PORT PLIK... [--no-verify] [--force]",
      "Zapis obszarów do sterownika z plików obszarów (po jednym na obszar) albo z jednej kopii "
      "zapasowej, potem odczyt i weryfikacja.",
      {"kd215ctl write scenes program1 --port /dev/ttyUSB0 hala.sce hala.pg1",
       "kd215ctl write all --port COM3 sterownik.json"}}},
    {"verify", PortUse::Required, true, 1, -1, Operands::Inputs, Outputs::None, "", false, nullptr, verifyCommand,
     R"({"schema", "port", "areas", "differences": [DIFFERENCE]})",
     {"verify OBSZAR... --port PORT PLIK...",
      "Weryfikacja sterownika z plikami obszarów albo kopią zapasową: wszystkie różnice, każda w "
      "jednym wierszu z wartością sterownika i pliku.",
      {"kd215ctl verify settings --port /dev/ttyUSB0 hala.ust", "kd215ctl verify all --port COM3 sterownik.json"}}},
    {"backup", PortUse::Required, false, 1, 1, Operands::Output, Outputs::None, "--site --customer --note", false, nullptr, backupCommand,
     R"({"schema", "port", "file", "firmware", "created"})",
     {"backup --port PORT PLIK [--site TEKST] [--customer TEKST] [--note TEKST]",
      "Kopia zapasowa całego sterownika (tekst JSON): wersja oprogramowania, wszystkie obszary, "
      "wszystkie 14 scen programów i obie sceny kończące.",
      {"kd215ctl backup --port /dev/ttyUSB0 sterownik.json", "kd215ctl backup --port COM3 sterownik.json --json"}}},
    {"restore", PortUse::Required, false, 1, 1, Operands::Inputs, Outputs::None, "--no-verify --force", false, nullptr, restoreCommand,
     R"({"schema", "port", "file", "areas", "verified", "differences": [DIFFERENCE]})",
     {"restore --port PORT PLIK [--no-verify] [--force]", "Zapis kopii zapasowej do sterownika i weryfikacja.",
      {"kd215ctl restore --port /dev/ttyUSB0 sterownik.json",
       "kd215ctl restore --port COM3 sterownik.json --no-verify"}}},
    {"show", PortUse::None, false, 1, -1, Operands::Inputs, Outputs::None, "", false, nullptr, showCommand,
     R"({"schema", "files": [SHOWN]})",
     {"show PLIK...", "Zawartość plików obszarów lub kopii zapasowej jako tabele.",
      {"kd215ctl show hala.sce", "kd215ctl show sterownik.json --json"}}},
    {"diff", PortUse::None, false, 2, 2, Operands::Inputs, Outputs::None, "", false, nullptr, diffCommand,
     R"({"schema", "files", "differences": [DIFFERENCE]})",
     {"diff PLIK_A PLIK_B", "Różnice dwóch plików tego samego rodzaju, każda w jednym wierszu.",
      {"kd215ctl diff stary.json nowy.json", "kd215ctl diff hala.ust hala-zapas.ust --json"}}},
    {"report", PortUse::Optional, false, 0, -1, Operands::Inputs, Outputs::Page, "--output --compare --site --customer --note", false, checkReportSources, reportCommand,
     R"({"schema", "file", "sources": [SOURCE], "differences": [DIFFERENCE]})",
     {"report (--port PORT | PLIK...) [--compare] [-o RAPORT.html] [--site TEKST] [--customer TEKST] [--note TEKST]",
      "Raport konfiguracji (strona HTML do druku na A4) ze sterownika, kopii zapasowej lub plików "
      "obszarów; z --compare dwa źródła z zaznaczonymi różnicami.",
      {"kd215ctl report --port /dev/ttyUSB0 -o raport.html",
       "kd215ctl report --compare sterownik.json nowy.json -o raport.html"}}},
};

}  // namespace

const std::vector<CommandRow>& commandTable() {
    static const std::vector<CommandRow> table(std::begin(kCommands), std::end(kCommands));
    return table;
}

const CommandRow* findCommand(const std::string& name) {
    for (const CommandRow& command : commandTable()) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

std::vector<std::string> commandNames() {
    std::vector<std::string> names;
    for (const CommandRow& command : commandTable()) names.push_back(command.name);
    return names;
}

bool ownsOption(const CommandRow& command, const std::string& option) {
    return (" " + std::string(command.options) + " ").find(" " + option + " ") != std::string::npos;
}

}  // namespace kd215
