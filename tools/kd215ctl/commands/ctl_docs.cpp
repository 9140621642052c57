// Made at build time from kd215ctl's own help text and tables, so that neither can drift from the
// program: the manual page kd215ctl(1) ("man") and the bash completion script ("completion").
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "commands/ctl_args.h"
#include "kd215_version.h"

namespace {

// Text safe inside a no-fill block: backslashes and hyphens as roff wants them, a line that starts
// with a control character kept from being read as a request, and every letter beyond ASCII as
// its \[uXXXX] escape, which every roff reads whatever the page's encoding is taken to be.
std::string roffLine(const std::string& line) {
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
            // The help text is UTF-8 of two- and three-byte letters (Polish, the dash).
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

bool isHeading(const std::string& line) { return !line.empty() && line[0] != ' ' && line.back() == ':'; }

// The help text's first line names the program; each "Heading:" at the margin opens a section and
// the rest is kept as laid out, the way the help shows it.
void writeManPage(std::ostream& out) {
    std::istringstream help(kd215::kHelpText);
    std::string line;
    std::getline(help, line);
    const std::string dash = " – ";
    const std::size_t at = line.find(dash);
    out << ".TH KD215CTL 1 \"\" \"kd215ctl " << KD215_VERSION << "\" \"" << KD215_PRODUCT << "\"\n"
        << ".SH NAZWA\n"
        << "kd215ctl \\- " << roffLine(at == std::string::npos ? line : line.substr(at + dash.size())) << "\n";
    bool inBlock = false;
    while (std::getline(help, line)) {
        if (isHeading(line)) {
            if (inBlock) out << ".fi\n";
            out << ".SH \"" << roffLine(line.substr(0, line.size() - 1)) << "\"\n.nf\n";
            inBlock = true;
        } else if (inBlock && !line.empty()) {
            out << roffLine(line) << "\n";
        } else if (inBlock) {
            out << ".sp\n";
        }
    }
    if (inBlock) out << ".fi\n";
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
        << "        probe) COMPREPLY=($(compgen -W \"$(_kd215ctl_ports)\" -- \"$cur\")) ;;\n"
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
