// Made at build time from kd215ctl's own help text and tables, so that neither can drift from the
// program: the manual page kd215ctl(1) ("man") and the bash completion script ("completion").
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "commands/ctl_args.h"
#include "commands/help.h"
#include "commands/ctl_json.h"
#include "kd215_version.h"

namespace {

// Text for roff: backslashes and hyphens as roff wants them, a line that starts with a control
// character kept from being read as a request, and every letter beyond ASCII as its \[uXXXX]
// escape, which every roff reads whatever the page's encoding is taken to be.
std::string roff(const std::string& line) {
    std::string out = (!line.empty() && (line[0] == '.' || line[0] == '\'')) ? "\\&" : "";
    for (std::size_t i = 0; i < line.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(line[i]);
        if (ch == '\\') {
            out += "\\e";
        } else if (ch == '-') {
            out += "\\-";
        } else if (ch < 0x80) {
            out += static_cast<char>(ch);
        } else {
            // The texts are UTF-8 of two- and three-byte letters (Polish, the dash).
            const int extra = ch >= 0xE0 ? 2 : 1;
            unsigned codePoint = ch & (extra == 2 ? 0x0F : 0x1F);
            for (int k = 0; k < extra && i + 1 < line.size(); ++k) codePoint = (codePoint << 6) | (line[++i] & 0x3F);
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\[u%04X]", codePoint);
            out += escape;
        }
    }
    return out;
}

// Running text, folded into source lines short enough for every roff and every lint; roff reflows
// it to the reader's width anyway.
std::string roffText(const std::string& text) {
    std::string out, line;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && roff(line).size() + 1 + roff(word).size() > 78) {
            out += roff(line) + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    return out + roff(line);
}

// A paragraph with a tag in bold: a command, an option, an exit code.
void tagged(std::ostream& out, const std::string& tag, const std::string& text) {
    out << ".TP\n.B " << roff(tag) << "\n" << roffText(text) << "\n";
}

// Lines kept as laid out (commands to type), indented.
void example(std::ostream& out, const std::vector<std::string>& lines, bool first) {
    out << (first ? "" : ".PP\n") << ".RS\n.nf\n";
    for (const std::string& line : lines) out << roff(line) << "\n";
    out << ".fi\n.RE\n";
}

void writeManReference(std::ostream& out);

// The page from the same tables as the help: the text reflows to the reader's width.
void writeManPage(std::ostream& out) {
    using namespace kd215;
    out << ".TH KD215CTL 1 2026-12-07 \"kd215ctl " << KD215_VERSION << "\" \"" << KD215_PRODUCT << "\"\n.nh\n"
        << ".SH NAZWA\nkd215ctl \\- " << roff("obsługa sterownika Kd215 z wiersza poleceń") << "\n"
        << ".SH " << roff("SKŁADNIA") << "\n";
    bool first = true;
    for (const CommandHelp& command : commandDocs()) {
        out << (first ? "" : ".br\n") << ".B kd215ctl\n" << roffText(command.synopsis) << "\n";
        first = false;
    }
    out << ".SH OPIS\n"
        << roffText("kd215ctl odczytuje i zapisuje konfigurację sterownika Kd215 przez łącze szeregowe, korzystając z "
                "tego samego rdzenia co program Kd215 link: tworzy kopie zapasowe i pliki obszarów (.ust, .sce, .pg1, "
                ".pg2), weryfikuje sterownik i sporządza raport. Wyniki trafiają na standardowe wyjście, komunikaty na "
                "standardowe wyjście błędów, każdy w jednym wierszu: „kd215ctl: ”, plik lub port i dwukropek, potem "
                "treść.")
        << "\n.PP\n"
        << roffText("Pliki podane po obszarach odpowiadają im po kolei; zamiast nich można podać jedną kopię zapasową. "
                "Plik programu mieści sceny 1–12 bez sceny kończącej: jego zapis zostawia w sterowniku sceny 13 i 14 "
                "oraz scenę kończącą, a weryfikacja je pomija. Pliki powstają przez plik tymczasowy i zamianę "
                "nazwy: nic nie zostaje zapisane do połowy.")
        << "\n.PP\n"
        << roffText(kFileNamesText) << "\n.SH POLECENIA\n";
    for (const CommandHelp& command : commandDocs()) tagged(out, command.name, command.doc.summary);
    out << ".SS OBSZARY\n";
    for (const auto& [name, text] : areaDocs()) tagged(out, name, text);
    out << ".SH OPCJE\n";
    for (const OptionHelp& option : optionDocs(nullptr)) {
        tagged(out, option.names, (option.commands.empty() ? "" : option.commands + ": ") + option.help);
    }
    writeManReference(out);
}

// The JSON results, the exit codes, examples, files and where else to read: the page's second half.
void writeManReference(std::ostream& out) {
    using namespace kd215;
    out << ".SH JSON\n"
        << roffText("Z --json polecenie wypisuje jedną wartość JSON zamiast tekstu, a po błędzie nic (probe, które "
                "nie znalazło sterownika, wypisuje pominięte porty). Każda wartość ma klucz \"schema\" (obecnie " +
                std::to_string(kJsonSchema) + "); jego wartość rośnie, gdy któryś klucz zmienia znaczenie lub znika. Klucz ze znakiem ? "
                "bywa nieobecny. W DIFFERENCE \"first\" to sterownik (verify, write, restore) albo pierwsze "
                "źródło (diff, report --compare), \"second\" – plik albo drugie źródło, obie jako wartości surowe; "
                "\"text\" to wiersz tekstu.")
        << "\n";
    for (const CommandRow& command : commandTable()) tagged(out, command.name, command.jsonShape);
    for (const JsonShape& shape : kJsonRecords) tagged(out, shape.name, shape.shape);
    out << ".SH " << roff("KODY WYJŚCIA") << "\n";
    for (const ExitCodeDoc& exit : kExitCodeDocs) tagged(out, std::to_string(exit.code), exit.meaning);
    out << ".SH " << roff("PRZYKŁADY") << "\n";
    bool first = true;
    for (const CommandHelp& command : commandDocs()) {
        example(out, {command.doc.examples[0], command.doc.examples[1]}, first);
        first = false;
    }
    out << ".SH PLIKI\n";
    tagged(out, "/dev/serial/by-id/*", "stałe nazwy portów USB, które podają ports i probe");
    tagged(out, "*.ust, *.sce, *.pg1, *.pg2", "pliki obszarów programu Kd215 link");
    tagged(out, "*.json", "kopie zapasowe zapisane przez kd215ctl backup");
    tagged(out, "endStep", "scena kończąca programu w kopii zapasowej, liczona od 0: 0–13 to sceny programu 1–14, "
                           "15 to brak (żadna scena nie jest zaznaczona); 14 nie da się ustawić w edytorze programu, "
                           "więc restore i write zapisują je tylko z --force.");
    out << ".SH " << roff("ZOBACZ TAKŻE") << "\n"
        << roffText("Poradnik użytkownika programu Kd215 link (Kd215.chm, rozdziały „Kopie zapasowe: kd215ctl” i „Kilka "
                "sterowników na obiekcie”); kd215-sim --help, "
                "symulator sterownika do prób bez urządzenia.")
        << "\n";
}

std::string joined(const std::vector<std::string>& words, const char* separator) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : separator) + word;
    return text;
}

// Commands, areas after the commands that take them, options, file names, and the ports as
// `kd215ctl ports` names them after --port and for probe.
void writeCompletion(std::ostream& out) {
    const kd215::CommandLineWords words = kd215::commandLineWords();
    // After --port come ports, after --retries a number; after the other value options a file.
    std::vector<std::string> fileOptions;
    for (const std::string& option : words.valueOptions) {
        if (option != "--port" && option != "--retries") fileOptions.push_back(option);
    }
    out << "# bash completion for kd215ctl " << KD215_VERSION << ", made from its command line tables.\n"
        << "_kd215ctl_ports() {\n"
        << "    \"${COMP_WORDS[0]}\" ports -q 2>/dev/null | cut -d' ' -f1\n"
        << "}\n"
        << "_kd215ctl() {\n"
        << "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} command= i\n"
        << "    case $prev in\n"
        << "        --port) COMPREPLY=($(compgen -W \"$(_kd215ctl_ports)\" -- \"$cur\")); return ;;\n"
        << "        --retries) return ;;\n"
        << "        " << joined(fileOptions, "|") << ") COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n"
        << "    esac\n"
        << "    if [[ $cur == -* ]]; then\n"
        << "        COMPREPLY=($(compgen -W \"" << joined(words.options, " ") << "\" -- \"$cur\")); return\n"
        << "    fi\n"
        << "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
        << "        case ${COMP_WORDS[i]} in\n"
        << "            " << joined(words.valueOptions, "|") << ") ((i++)) ;;\n"
        << "            -*) ;;\n"
        << "            *) command=${COMP_WORDS[i]}; break ;;\n"
        << "        esac\n"
        << "    done\n"
        << "    case $command in\n"
        << "        '') COMPREPLY=($(compgen -W \"" << joined(words.commands, " ") << "\" -- \"$cur\")) ;;\n"
        << "        " << joined(words.areaCommands, "|") << ") COMPREPLY=($(compgen -W \""
        << joined(words.areas, " ") << "\" -- \"$cur\") $(compgen -f -- \"$cur\")) ;;\n"
        << "        " << joined(words.portCommands, "|") << ") COMPREPLY=($(compgen -W \"$(_kd215ctl_ports)\" -- \"$cur\")) ;;\n"
        << "        *) COMPREPLY=($(compgen -f -- \"$cur\")) ;;\n"
        << "    esac\n"
        << "}\n"
        << "complete -o filenames -F _kd215ctl kd215ctl\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc == 2 ? argv[1] : "";
    if (what == "man") {
        writeManPage(std::cout);
    } else if (what == "completion") {
        writeCompletion(std::cout);
    } else {
        std::cerr << "usage: kd215ctl-docs man|completion\n";
        return 2;
    }
    return 0;
}
