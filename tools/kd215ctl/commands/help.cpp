// kd215ctl's help text, the whole of it and each command's page, made from the command and option
// tables; the manual page and the completion take their pieces from here too.
#include "commands/help.h"

#include <algorithm>

#include "commands/ctl_args.h"
#include "config/area_files.h"
#include "config/area_names.h"
#include "records/config_files.h"
#include "records/printable_text.h"

namespace kd215 {

const char* const kFileNamesText =
    "W nazwie każdego pliku (kopii zapasowej, pliku obszaru, -o, --log) {port} oznacza krótką nazwę portu: "
    "ostatnią część jego nazwy stałej (usb-FTDI_FT232R_A50285BI-if00-port0, ttyUSB0, COM7), tak samo dla "
    "jednego portu jak dla wielu; plik wejściowy z {port} jest czytany osobno dla każdego portu, a brak "
    "takiego pliku kończy tylko jego port (kod 5). Każdy plik wejściowy jest czytany raz, zanim ruszy "
    "pierwszy port. \"-\" nie oznacza standardowego wejścia ani wyjścia: plik o tej nazwie to ./-.";

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

namespace {

// "--port PORT" in a synopsis becomes its alternatives, named as the option table names them:
// "(--port PORT [--port PORT]... | --ports-from PLIK | --all)".
std::string synopsisText(const char* synopsis) {
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

// Folds `text` into lines of at most `width` characters, each after `indent`.
std::string folded(const std::string& text, std::size_t indent, std::size_t width = 78) {
    std::string out, line;
    std::size_t lineLength = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (lineLength > 0 && indent + lineLength + 1 + characterCount(word) > width) {
            out += std::string(indent, ' ') + line + "\n";
            line.clear();
            lineLength = 0;
        }
        line += (lineLength > 0 ? " " : "") + word;
        lineLength += (lineLength > 0 ? 1 : 0) + characterCount(word);
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

std::vector<CommandHelp> commandDocs() {
    std::vector<CommandHelp> docs;
    for (const CommandRow& command : commandTable()) {
        docs.push_back({command.name, command.doc, synopsisText(command.doc.synopsis)});
    }
    return docs;
}

std::vector<OptionHelp> optionDocs(const CommandRow* command) {
    std::vector<OptionHelp> docs;
    for (const OptionRule& rule : optionTable()) {
        if (command != nullptr && !appliesTo(rule, *command)) continue;
        std::string names = rule.shortName != nullptr ? std::string(rule.shortName) + ", " + rule.name : rule.name;
        if (rule.value != nullptr) names += std::string(" ") + rule.value;
        const std::vector<std::string> taking = commandsTaking(rule);
        std::string commands;
        for (const std::string& name : taking) commands += (commands.empty() ? "" : ", ") + name;
        // A text that says what the option does in each command ("read: …; report: …") names them.
        if (!taking.empty() && std::string(rule.help).rfind(taking[0] + ":", 0) == 0) commands.clear();
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
    out += "\nOpcje:\n" + optionLines(optionDocs(nullptr), true);
    out += "\nKody wyjścia:\n";
    for (const ExitCodeDoc& exit : kExitCodeDocs) out += "  " + std::to_string(exit.code) + "\n" + folded(exit.meaning, 6);
    out += "\nPomoc do polecenia: kd215ctl help POLECENIE albo kd215ctl POLECENIE --help.\n"
           "Postać wyniku --json: man kd215ctl, rozdział JSON.\n";
    return out;
}

std::string commandHelpText(const std::string& name) {
    const CommandRow* command = findCommand(name);
    if (command == nullptr) return "";
    std::string out = "Użycie: kd215ctl " + synopsisText(command->doc.synopsis) + "\n\n" + folded(command->doc.summary, 0);
    if (command->takesAreas) {
        out += "\nObszary:\n";
        for (const auto& [area, text] : areaDocs()) out += "  " + area + std::string(11 - area.size(), ' ') + text + "\n";
    }
    out += "\nOpcje:\n" + optionLines(optionDocs(command), false);
    out += "\nPrzykłady:\n";
    for (const char* example : command->doc.examples) out += "  " + std::string(example) + "\n";
    return out;
}

CommandLineWords commandLineWords() {
    CommandLineWords words;
    for (const CommandRow& command : commandTable()) {
        words.commands.push_back(command.name);
        if (command.takesAreas) words.areaCommands.push_back(command.name);
        if (command.operands == Operands::Ports) words.portCommands.push_back(command.name);
    }
    words.options = {"--help", "-h"};
    for (const OptionRule& rule : optionTable()) {
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
