// kd215-sim's command line and control-file commands: parsing and the --help text.
#include "sim_options.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace kd215 {
namespace {

const char kUsage[] =
    "Usage: kd215-sim [--link PATH | --device PATH] [options]\n"
    "A simulated Kd215 controller on a pseudo-terminal (or a real serial line).\n"
    "\n"
    "Line:\n"
    "  --link PATH          open a pseudo-terminal and put a symlink to its slave at PATH\n"
    "                       (an existing symlink is replaced; removed again on exit).\n"
    "                       Without --link and --device the slave is only announced.\n"
    "  --device PATH        serve a real serial device instead, raw 38400 8N2\n"
    "  --turnaround-ms MS   wait after a request before answering (default 3)\n"
    "  --gap-ms MS          quiet time after which a partial frame is dropped (default 100)\n"
    "\n"
    "Controller:\n"
    "  --memory FILE        the controller's 512-byte memory: loaded at start (a missing file\n"
    "                       is created, all zero; a file of another size is refused) and\n"
    "                       replaced atomically (rename) after every stored write, before the\n"
    "                       ACK goes out; synced to disk after it\n"
    "  --firmware X.YY      firmware version for the version reply (default 1.05; 2.100 gives\n"
    "                       minor 100). The minor part takes two or three digits.\n"
    "  --firmware-raw MAJOR:MINOR\n"
    "                       the two version bytes directly, 0..255 each\n"
    "  --fault KIND[:N]     spoil the next N exchanges (default 1); repeatable, used in order\n"
    "\n"
    "Output:\n"
    "  --log FILE           emptied at start, then one flushed line per frame:\n"
    "                       \"SECONDS.MICROS RX|TX HEX [# NOTE]\", SECONDS on the monotonic\n"
    "                       clock. RX lines also cover dropped bytes (NOTE says why) and name\n"
    "                       the fault that spoiled a reply; a TX line is written before its\n"
    "                       reply goes out. \"SECONDS.MICROS EV TEXT\" lines record control\n"
    "                       commands and clients opening and closing the port\n"
    "  --control PATH       control file, see below\n"
    "  --quiet              print nothing on stderr but errors\n"
    "  --help               this text\n"
    "\n"
    "Once ready, one line goes to stdout: \"kd215-sim: ready on <slave or device path>\".\n"
    "SIGTERM, SIGINT and SIGHUP end the simulator cleanly (the link is removed). While no\n"
    "client has the pty open, reply bytes nobody read are discarded, as by a closed port.\n"
    "\n"
    "Requests answered (anything else, a bad checksum or a block outside 0..511 gets nothing):\n"
    "  probe 1B 03 E2 -> 06 03 F7; version 12 03 EB -> 13 06 00 00 02 MINOR MAJOR CS;\n"
    "  read 12 46 LO HI N CS -> 13 46 LO HI N DATA CS; write 11 46 LO HI N DATA CS -> 06 03 F7;\n"
    "  restart 0F 03 EE -> no reply. A partial frame is dropped after the gap time; bytes that\n"
    "  cannot start a frame are skipped.\n"
    "\n"
    "Fault kinds (each exchange takes the first pending fault that applies to it; a restart\n"
    "uses up none):\n"
    "  silent        no reply. A write is NOT stored (the request counts as lost).\n"
    "  nak           reply 15 03 E8. A write is NOT stored.\n"
    "  bad-checksum  the reply with its checksum byte one too high. A write IS stored.\n"
    "  short-reply   only the first half (rounded up) of the reply; an ACK becomes 06 03.\n"
    "                A write IS stored.\n"
    "  garbage       as many pseudo-random bytes as the reply has. A write IS stored.\n"
    "  bad-address   read and version replies only: the address one higher, checksum valid\n"
    "  wrong-length  read and version replies only: length byte one more than the payload\n"
    "                sent, checksum valid\n"
    "  no-probe      the probe gets no reply, everything else is answered; N counts probes\n"
    "\n"
    "Control file (--control PATH): checked before each received frame is handled and every\n"
    "100 ms while idle. When it exists its lines are applied in order and it is deleted.\n"
    "Write it under another name and rename it into place; before writing the next one, wait\n"
    "until it is gone or a frame has been answered. Commands, one per line (blank lines and\n"
    "# comments are skipped; a bad line is reported and the others still apply):\n"
    "  fault KIND [N]   as --fault\n"
    "  clear            drop the pending faults\n"
    "  unplug           answer nothing at all (received bytes are dropped) until plug\n"
    "  plug             answer again\n"
    "  reload           read the --memory file again (a missing or wrong-sized file keeps\n"
    "                   the memory as it is)\n";

bool parseUnsigned(const std::string& text, unsigned long maxValue, unsigned long& value) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value <= maxValue;
}

bool parseByte(const std::string& text, uint8_t& value) {
    unsigned long v = 0;
    if (!parseUnsigned(text, 255, v)) return false;
    value = static_cast<uint8_t>(v);
    return true;
}

// Milliseconds up to a minute: more than that is a typo, not a slow controller.
bool parseMilliseconds(const std::string& text, unsigned& value) {
    unsigned long v = 0;
    if (!parseUnsigned(text, 60000, v)) return false;
    value = static_cast<unsigned>(v);
    return true;
}

bool parseFaultCount(const std::string& text, unsigned& count) {
    unsigned long v = 0;
    if (!parseUnsigned(text, 1000000, v) || v == 0) return false;
    count = static_cast<unsigned>(v);
    return true;
}

}  // namespace

const char* simUsageText() { return kUsage; }

bool parseFirmwareVersion(const std::string& text, uint8_t& major, uint8_t& minor,
                          std::string& error) {
    const auto point = text.find('.');
    const std::string majorText = point == std::string::npos ? text : text.substr(0, point);
    const std::string minorText = point == std::string::npos ? "" : text.substr(point + 1);
    if (minorText.size() < 2 || minorText.size() > 3 || !parseByte(majorText, major) ||
        !parseByte(minorText, minor)) {
        error = "--firmware takes MAJOR.MINOR, e.g. 1.05 or 2.100 (0..255 each, the minor part "
                "with two or three digits), not \"" + text + "\"";
        return false;
    }
    return true;
}

bool parseFaultArgument(const std::string& text, SimFault& fault, std::string& error) {
    const auto colon = text.find(':');
    const std::string kindText = text.substr(0, colon);
    fault.remaining = 1;
    if (!parseFaultKind(kindText, fault.kind)) {
        error = "unknown fault kind \"" + kindText +
                "\" (silent, nak, bad-checksum, bad-address, short-reply, wrong-length, garbage, "
                "no-probe)";
        return false;
    }
    if (colon != std::string::npos && !parseFaultCount(text.substr(colon + 1), fault.remaining)) {
        error = "fault count must be a whole number from 1, not \"" + text.substr(colon + 1) + "\"";
        return false;
    }
    return true;
}

namespace {

const char* const kValueOptions[] = {"--link",         "--device", "--memory",        "--log",    "--control",
                                     "--firmware",     "--firmware-raw", "--fault", "--turnaround-ms", "--gap-ms"};

bool takesValue(const std::string& flag) {
    for (const char* option : kValueOptions) {
        if (flag == option) return true;
    }
    return false;
}

// One option that takes a value, its value already split off and not empty.
bool applyValueOption(const std::string& flag, const std::string& value, SimOptions& options, std::string& error) {
    if (flag == "--link") {
        options.linkPath = value;
    } else if (flag == "--device") {
        options.devicePath = value;
    } else if (flag == "--memory") {
        options.memoryPath = value;
    } else if (flag == "--log") {
        options.logPath = value;
    } else if (flag == "--control") {
        options.controlPath = value;
    } else if (flag == "--firmware") {
        return parseFirmwareVersion(value, options.firmwareMajor, options.firmwareMinor, error);
    } else if (flag == "--firmware-raw") {
        const auto colon = value.find(':');
        if (colon == std::string::npos || !parseByte(value.substr(0, colon), options.firmwareMajor) ||
            !parseByte(value.substr(colon + 1), options.firmwareMinor)) {
            error = "--firmware-raw takes MAJOR:MINOR, 0..255 each, not \"" + value + "\"";
            return false;
        }
    } else if (flag == "--fault") {
        SimFault fault;
        if (!parseFaultArgument(value, fault, error)) return false;
        options.faults.push_back(fault);
    } else if (flag == "--turnaround-ms" || flag == "--gap-ms") {
        unsigned& target = flag == "--gap-ms" ? options.gapMs : options.turnaroundMs;
        if (!parseMilliseconds(value, target)) {
            error = flag + " takes milliseconds from 0 to 60000, not \"" + value + "\"";
            return false;
        }
    }
    return true;
}

// The options that only make sense together, checked once all are read.
bool checkSimOptions(const SimOptions& options, std::string& error) {
    if (!options.linkPath.empty() && !options.devicePath.empty()) {
        error = "--link and --device exclude each other: a pty or a real line, not both";
        return false;
    }
    if (options.gapMs == 0) {
        error = "--gap-ms must be at least 1";
        return false;
    }
    return true;
}

}  // namespace

bool parseSimOptions(int argc, const char* const* argv, SimOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string flag = argv[i];
        std::string value;
        bool hasValue = false;
        const auto eq = flag.find('=');
        if (flag.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = flag.substr(eq + 1);
            flag = flag.substr(0, eq);
            hasValue = true;
        }
        if (flag == "--help" || flag == "-h" || flag == "--quiet") {
            (flag == "--quiet" ? options.quiet : options.help) = true;
            continue;
        }
        if (!takesValue(flag)) {
            error = "unknown option \"" + flag + "\" (see --help)";
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                error = flag + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (value.empty()) {
            error = flag + " needs a non-empty value";
            return false;
        }
        if (!applyValueOption(flag, value, options, error)) return false;
    }
    return checkSimOptions(options, error);
}

bool parseControlLine(const std::string& line, ControlCommand& command, std::string& error) {
    std::istringstream words(line);
    std::string verb;
    command = ControlCommand{};
    if (!(words >> verb) || verb[0] == '#') return true;
    std::string argument;
    std::string countText;
    std::string extra;
    words >> argument >> countText >> extra;
    if (verb == "fault") {
        if (argument.empty() || !extra.empty()) {
            error = "\"" + line + "\": use fault KIND [N]";
            return false;
        }
        // "fault KIND N" and "fault KIND:N" both read as --fault does.
        std::string argumentText = countText.empty() ? argument : argument + ":" + countText;
        if (!parseFaultArgument(argumentText, command.fault, error)) return false;
        command.kind = ControlCommandKind::Fault;
        return true;
    }
    if (!argument.empty()) {
        error = "\"" + line + "\": " + verb + " takes no argument";
        return false;
    }
    if (verb == "clear") {
        command.kind = ControlCommandKind::Clear;
    } else if (verb == "unplug") {
        command.kind = ControlCommandKind::Unplug;
    } else if (verb == "plug") {
        command.kind = ControlCommandKind::Plug;
    } else if (verb == "reload") {
        command.kind = ControlCommandKind::Reload;
    } else {
        error = "unknown control command \"" + verb + "\" (fault, clear, unplug, plug, reload)";
        return false;
    }
    return true;
}

}  // namespace kd215
