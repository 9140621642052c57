// A command on its ports: the plan made before any port opens, then each port's run on a thread
// of its own, its lines gathered whole, and one table or JSON array for all.
#include "commands/many_ports.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "commands/ctl_commands.h"
#include "commands/ctl_json.h"
#include "commands/port_sink.h"
#include "records/input_files.h"
#include "link/probe.h"
#include "link/serial_port.h"
#include "console/console.h"
#include "platform/files.h"
#include "platform/interrupts.h"
#include "ports/port_access.h"
#include "ports/link_session.h"
#include "ports/port_names.h"
#include "records/printable_text.h"

namespace kd215 {

namespace {

const char* const kPortMark = "{port}";
// A port list is a few lines a port; anything near this size is some other file.
constexpr std::size_t kLargestPortList = 64 * 1024;

std::string padded(const std::string& text, std::size_t width) {
    const std::size_t n = characterCount(text);
    return text + std::string(n < width ? width - n : 0, ' ') + "  ";
}

// `line` cut to at most `limit` characters, between letters; with `mark`, "…" ends a cut line.
std::string cutToColumns(std::string line, std::size_t limit, bool mark) {
    if (characterCount(line) <= limit) return line;
    const std::size_t kept = mark && limit > 0 ? limit - 1 : limit;
    std::size_t count = 0, end = 0;
    for (; end < line.size(); ++end) {
        if ((static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) continue;  // inside a character
        if (count == kept) break;
        ++count;
    }
    line.resize(end);
    return mark ? line + "…" : line;
}

std::string replaced(std::string text, const std::string& name) {
    const std::size_t markLength = std::char_traits<char>::length(kPortMark);
    for (std::size_t at; (at = text.find(kPortMark)) != std::string::npos;) text.replace(at, markLength, name);
    return text;
}

bool holdsMark(const std::string& name) { return name.find(kPortMark) != std::string::npos; }

bool isPassedOver(const PortRun& run) { return run.passed.reason[0] != '\0'; }

// The ports --port and --ports-from name, in order; the port list is read here, once.
int givenPorts(const CtlOptions& options, std::vector<std::string>& given, std::ostream& err) {
    given = options.ports;
    if (options.portsFrom.empty()) return kExitDone;
    ByteBuffer bytes;
    std::string error = readInputFile(options.portsFrom, bytes);
    if (error.empty()) {
        error = parsePortList(bytes, given);
        if (!error.empty()) error = options.portsFrom + ": " + error;
    }
    if (error.empty()) return kExitDone;
    err << messageLine("", error) << "\n";
    return kExitFile;
}

// --all: every port of `systemPorts` not named besides is probed, all at once, so that silent
// ports cost one time-out in all. Those that answer join `given`; the rest are kept with the
// reason, as probe gives it. Bluetooth ports stay unopened, as in probe.
std::vector<PortRun> probeAll(const std::vector<PortInfo>& systemPorts, std::vector<std::string>& given) {
    std::vector<PortInfo> candidates;
    for (const PortInfo& port : systemPorts) {
        if (std::find(given.begin(), given.end(), port.name) == given.end()) candidates.push_back(port);
    }
    std::vector<PortTried> outcomes(candidates.size());
    std::vector<std::thread> probes;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        probes.emplace_back([&, i] {
            keepInterruptsFromThisThread();
            std::unique_ptr<SerialPort> device = makeSerialPort();
            FrameLog noLog;
            LoggingPort port(*device, noLog);
            outcomes[i] = probePort(port, candidates[i]);
        });
    }
    for (std::thread& probe : probes) probe.join();
    std::vector<PortRun> passed;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (outcomes[i].found) {
            given.push_back(candidates[i].name);
            continue;
        }
        PortRun run;
        run.given = candidates[i].name;
        run.passed = outcomes[i].passed;
        run.starts = false;
        run.code = kExitNoController;
        run.said = {run.passed.text, ""};
        passed.push_back(run);
    }
    return passed;
}

// One device under two names: by device and inode where the system has them. On Windows the
// device names are compared, since taking a port's identity there means opening the port.
bool sameDevice(const PortRun& a, const PortRun& b) {
#ifdef _WIN32
    const auto upper = [](std::string name) {
        for (char& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        return name;
    };
    return upper(a.device) == upper(b.device);
#else
    const FileIdentity first = fileIdentity(a.device), second = fileIdentity(b.device);
    return first.exists && second.exists ? sameFile(first, second) : a.device == b.device;
#endif
}

// Each port's stable name, device and file-safe name. Two names of one device, or two ports
// whose files would be one, are refused: exit 2.
int nameRuns(std::vector<PortRun>& runs, std::ostream& err) {
    const std::vector<PortEntry> known = listSerialPorts(true);
    for (PortRun& run : runs) {
        const PortEntry* entry = findPort(known, run.given);
        run.stable = entry != nullptr ? entry->name : run.given;
        run.device = entry != nullptr ? entry->device : portDevicePath(run.given);
        run.name = portFileName(run.stable);
    }
    for (std::size_t j = 0; j < runs.size(); ++j) {
        for (std::size_t i = 0; i < j && !isPassedOver(runs[j]); ++i) {
            if (isPassedOver(runs[i])) continue;
            const bool device = sameDevice(runs[i], runs[j]);
            if (!device && runs[i].name != runs[j].name) continue;
            err << messageLine(runs[j].given, (device ? "ten sam port podany dwa razy (" + runs[i].given + ")"
                                                     : "ta sama nazwa {port} (" + runs[j].name + ") co nazwa portu " +
                                                           runs[i].given + "; pliki obu portów byłyby jednym") +
                                                  " (pomoc: kd215ctl help)")
                << "\n";
            return kExitUsage;
        }
    }
    return kExitDone;
}

// The command line of one port's run: its port, and {port} in every file name made its name.
CtlOptions portOptions(const CtlOptions& options, const PortRun& run) {
    CtlOptions portLine = options;
    portLine.port = run.given;
    portLine.ports = {run.given};
    portLine.portsFrom.clear();
    portLine.allPorts = false;
    if (portLine.command->operands == Operands::Ports) {
        portLine.operands = {run.given};
    } else {
        for (std::string& operand : portLine.operands) operand = replaced(operand, run.name);
    }
    portLine.output = replaced(portLine.output, run.name);
    portLine.logPath = replaced(portLine.logPath, run.name);
    return portLine;
}

// Across every port, after {port}: no output is an input (the port list too) or another output.
int checkRunFiles(const CtlOptions& options, const std::vector<PortRun>& runs, std::ostream& err) {
    std::vector<std::string> inputs, outputs;
    if (!options.portsFrom.empty()) inputs.push_back(options.portsFrom);
    for (const PortRun& run : runs) {
        if (isPassedOver(run)) continue;
        const CommandFiles files = commandFiles(run.options);
        inputs.insert(inputs.end(), files.inputs.begin(), files.inputs.end());
        outputs.insert(outputs.end(), files.outputs.begin(), files.outputs.end());
        if (!files.log.empty()) outputs.push_back(files.log);
    }
    const std::string clash = sameFileText(inputs, outputs);
    if (!clash.empty()) {
        err << messageLine("", clash) << "\n";
        return kExitUsage;
    }
    // A device, pipe or folder where a port's file would go ends the run before any port opens,
    // not that port's line after the others have begun (the log, appended to, may be any of them).
    for (const PortRun& run : runs) {
        for (const std::string& output : isPassedOver(run) ? std::vector<std::string>{} : commandFiles(run.options).outputs) {
            const std::string kind = nonRegularKind(output);
            if (kind.empty()) continue;
            err << messageLine(output, notRegularOutputWords(kind)) << "\n";
            return kExitFile;
        }
    }
    return kExitDone;
}

// Every input read once, before any line starts, and handed to each port that names it, so that
// every port gets the same bytes. An input of one port's own ({port} in its name) that cannot be
// read ends that port alone; any other ends the whole run before it begins.
int readInputs(const CtlOptions& options, std::vector<PortRun>& runs, std::ostream& err) {
    std::map<std::string, ByteBuffer> read;
    const std::vector<std::string> named = commandFiles(options).inputs;
    for (PortRun& run : runs) {
        if (isPassedOver(run)) continue;
        const std::vector<std::string> inputs = commandFiles(run.options).inputs;
        for (std::size_t i = 0; i < inputs.size() && run.starts; ++i) {
            auto found = read.find(inputs[i]);
            if (found == read.end()) {
                ByteBuffer bytes;
                const std::string error = readInputFile(inputs[i], bytes);
                if (!error.empty() && !holdsMark(named[i])) {
                    err << messageLine("", error) << "\n";
                    return kExitFile;
                }
                if (!error.empty()) {
                    run.starts = false;
                    run.code = kExitFile;
                    run.said = {error, ""};
                    continue;
                }
                found = read.emplace(inputs[i], std::move(bytes)).first;
            }
            run.options.readAhead.emplace_back(inputs[i], found->second);
        }
    }
    return kExitDone;
}

// What became of one port, for the table and for "error" in JSON: done, the differences, or the
// failure and its last message (the areas' states after a failed write).
std::string outcomeText(const PortRun& run) {
    const std::string& why = run.said.text;
    const auto withWhy = [&](const char* word) { return why.empty() ? std::string(word) : word + (" – " + why); };
    if (std::string(run.passed.reason) == "bluetooth") return withWhy("pominięty");
    // The port's reason when a probe passed it over: --all's, or probe's own on this port.
    std::string reason = run.passed.reason;
    if (reason.empty() && run.result.is_object() && !run.result.value("tried", Json::array()).empty()) {
        reason = run.result["tried"][0].value("reason", "");
    }
    const bool unavailable = reason.empty() ? !run.opened : reason != "silent" && reason != "other-device";
    if (run.code == kExitDone) return "gotowe";
    if (run.code == kExitDifferences) {
        const std::size_t n = run.result.is_object() && run.result.contains("differences") ? run.result["differences"].size() : 0;
        return "różnice: " + std::to_string(n);
    }
    if (run.code >= kExitSignalBase) return withWhy(kInterruptedWord);
    if (run.code == kExitNoController) return withWhy(unavailable ? "port niedostępny" : "brak sterownika");
    // The program's own "Błąd komunikacji : NAK" after the table's word would say it twice.
    if (run.code == kExitCommunication && !run.said.fault.empty()) return "błąd komunikacji: " + run.said.fault;
    if (run.code == kExitCommunication) return withWhy("błąd komunikacji");
    if (run.code == kExitFile) return withWhy("błąd pliku");
    return withWhy("błąd");
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    std::string shown = text;
    std::replace(shown.begin(), shown.end(), '.', ',');
    return shown;
}

// The result last, so that a long reason needs no column after it; each row one line of an
// 80-column terminal, the reason cut where it would wrap (its whole text is above, among the
// port's lines).
void printTable(const std::vector<PortRun>& runs, std::ostream& out) {
    constexpr std::size_t kRowLimit = 79;
    std::size_t nameWidth = 4;
    for (const PortRun& run : runs) nameWidth = std::max(nameWidth, characterCount(run.name));
    out << padded("port", nameWidth) << padded("czas", 7) << "wynik\n";
    for (const PortRun& run : runs) {
        const std::string time = isPassedOver(run) ? "–" : secondsText(run.seconds);
        out << cutToColumns(padded(run.name, nameWidth) + padded(time, 7) + outcomeText(run), kRowLimit, true) << "\n";
    }
}

Json runJson(const PortRun& run) {
    Json object = {{"schema", kJsonSchema}, {"port", run.stable}, {"device", run.device}, {"exit", run.code}};
    if (run.result.is_object()) {
        for (const auto& [key, value] : run.result.items()) {
            if (!object.contains(key)) object[key] = value;
        }
    } else {
        object["error"] = outcomeText(run);
    }
    if (isPassedOver(run)) object["reason"] = run.passed.reason;
    return object;
}

// One port's run on its own thread; its lines are passed on as one block when it ends.
void runLine(PortRun& run, std::size_t index, const std::vector<std::string>& args, std::ostream& out,
             std::ostream& err, Board& board, bool redraw, std::chrono::steady_clock::time_point started) {
    keepInterruptsFromThisThread();
    PortSink sink(out, err, run.name, {run.given, run.stable, run.device}, run.options.quiet, !run.options.verbose,
                  redraw ? &board : nullptr, index);
    run.code = runCommand(run.options, args, sink, &run.result, &run.opened);
    run.said = sink.reason();
    const std::vector<PortLine>& block = sink.lines();
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::lock_guard<std::mutex> hold(board.lock);
    board.ports[index] = {run.name, outcomeText(run), run.seconds};
    board.done[index] = true;
    if (redraw) {
        board.lines.insert(board.lines.end(), block.begin(), block.end());
        return;
    }
    for (const auto& [stream, line] : block) *stream << line << '\n';
    out.flush();
    err.flush();
}

// The main thread alone writes while the block is shown: it clears the block, prints the lines
// that came, and draws the block again, a few times a second until every port is done.
void drawBoardUntilDone(Board& board, std::chrono::steady_clock::time_point started, std::ostream& err) {
    std::size_t drawn = 0;  // lines of the block now on the screen
    for (bool running = true; running;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::vector<PortLine> waiting;
        std::vector<PortProgress> ports;
        {
            std::lock_guard<std::mutex> hold(board.lock);
            waiting.swap(board.lines);
            const double now = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            for (std::size_t i = 0; i < board.ports.size(); ++i) {
                if (!board.done[i]) board.ports[i].seconds = now;
            }
            ports = board.ports;
            running = std::find(board.done.begin(), board.done.end(), false) != board.done.end();
        }
        if (drawn > 0) err << "\x1b[" << drawn << "A\r\x1b[J";
        for (const auto& [stream, line] : waiting) {
            *stream << line << '\n';
            stream->flush();
        }
        drawn = 0;
        if (running) {
            err << progressBlock(ports, static_cast<std::size_t>(stderrColumns()));
            drawn = ports.size();
        }
        err.flush();
    }
}

// Interruptions come to this thread alone; each line stops at its next safe point and says
// where it stood, so the whole run is deferred until every line has ended.
void runLines(std::vector<PortRun>& runs, const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              bool redraw) {
    const InterruptGuard runningLines;
    Board board;
    for (const PortRun& run : runs) {
        board.ports.push_back({run.name, run.starts ? "" : outcomeText(run), 0});
        board.done.push_back(!run.starts);
    }
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::thread> lines;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (!runs[i].starts) continue;
        lines.emplace_back([&, i] { runLine(runs[i], i, args, out, err, board, redraw, started); });
    }
    if (redraw && !lines.empty()) drawBoardUntilDone(board, started, err);
    for (std::thread& line : lines) line.join();
    // Also one that came after the lines' last exchanges: the table and the exit code say it.
    if (interruptSignal() != 0) answerInterruption();
}

// The ports that ended before their lines began, each said once; when no port is left to run,
// the one line of a probe that found nothing, naming the ports tried.
void sayEndedBeforeStart(const std::vector<PortRun>& runs, std::ostream& err) {
    std::vector<std::string> tried;
    bool anyStarts = false;
    for (const PortRun& run : runs) {
        anyStarts = anyStarts || run.starts;
        if (!run.starts) err << messageLine(run.name, run.said.text) << "\n";
        if (isPassedOver(run) && std::string(run.passed.reason) != "bluetooth") tried.push_back(run.name);
    }
    if (!anyStarts && !tried.empty()) err << messageLine("", notFoundText(tried)) << "\n";
}

// Whether a port's code goes into the run's: a port --all passed over counts unless it is a
// Bluetooth port (never tried) or --answering asked for the answering ports alone.
bool counts(const PortRun& run, const CtlOptions& options) {
    if (!isPassedOver(run)) return true;
    return std::string(run.passed.reason) != "bluetooth" && !options.answering;
}

int summarise(const std::vector<PortRun>& runs, const CtlOptions& options, std::ostream& out) {
    int code = kExitDone;
    Json all = Json::array();
    for (const PortRun& run : runs) {
        if (counts(run, options)) code = std::max(code, run.code);
        all.push_back(runJson(run));
    }
    if (options.json) {
        out << jsonText(all) << "\n";
    } else {
        printTable(runs, out);
    }
    if (interruptSignal() != 0) code = std::max(code, kExitSignalBase + interruptSignal());
    return code;
}

}  // namespace

std::string portFileName(const std::string& stableName) {
    std::string name = lastPartOfPath(stableName);
    for (char& ch : name) {
        const bool plain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
                           ch == '-' || ch == '_' || ch == '.';
        if (!plain) ch = '_';
    }
    return name.empty() || name == "." || name == ".." ? "port" : name;
}

std::string parsePortList(const ByteBuffer& bytes, std::vector<std::string>& ports) {
    if (bytes.size() > kLargestPortList) return "ma ponad 64 KB; to nie lista portów";
    std::string text(bytes.begin(), bytes.end());
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // the byte-order mark Notepad writes
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        for (const char ch : line) {
            const unsigned char byte = static_cast<unsigned char>(ch);
            if (byte < 0x20 && byte != '\t' && byte != '\r') {
                return std::string(byte == 0 ? "bajt zerowy" : "znak sterujący") + " w wierszu " + std::to_string(number) +
                       "; to nie lista portów";
            }
        }
        line = trimmed(line.substr(0, line.find('#')));
        if (!line.empty()) ports.push_back(line);
    }
    return "";
}

PortPlan planPortRuns(const CtlOptions& options, const std::vector<PortInfo>& systemPorts, std::ostream& err) {
    PortPlan plan;
    plan.many = options.ports.size() > 1 || !options.portsFrom.empty() || options.allPorts;
    // Every output named once for all ports would be written by each: refused before any port opens.
    const CommandFiles files = commandFiles(options);
    std::vector<std::string> outputs = files.outputs;
    if (!files.log.empty()) outputs.push_back(files.log);
    for (const std::string& output : outputs) {
        if (!plan.many || holdsMark(output)) continue;
        err << messageLine(output, "wiele portów, a jeden plik; nazwa musi zawierać {port} (np. kopie/{port}.json) "
                                   "(pomoc: kd215ctl help)")
            << "\n";
        plan.code = kExitUsage;
        return plan;
    }
    std::vector<std::string> given;
    if ((plan.code = givenPorts(options, given, err)) != kExitDone) return plan;
    const std::vector<PortRun> passed = options.allPorts ? probeAll(systemPorts, given) : std::vector<PortRun>{};
    if (given.empty() && passed.empty()) {
        err << messageLine(options.portsFrom, "brak portów") << "\n";
        plan.code = kExitNoController;
        return plan;
    }
    for (const std::string& port : given) {
        plan.runs.emplace_back();
        plan.runs.back().given = port;
    }
    plan.runs.insert(plan.runs.end(), passed.begin(), passed.end());
    if ((plan.code = nameRuns(plan.runs, err)) != kExitDone) return plan;
    for (PortRun& run : plan.runs) run.options = portOptions(options, run);
    if ((plan.code = checkRunFiles(options, plan.runs, err)) != kExitDone) return plan;
    plan.code = readInputs(options, plan.runs, err);
    return plan;
}

std::string progressBlock(const std::vector<PortProgress>& ports, std::size_t columns) {
    std::size_t nameWidth = 0;
    for (const PortProgress& port : ports) nameWidth = std::max(nameWidth, characterCount(port.name));
    std::string block;
    for (const PortProgress& port : ports) {
        const std::string line = padded(port.name, nameWidth) + padded(secondsText(port.seconds), 7) + port.doing;
        block += cutToColumns(line, columns > 0 ? columns - 1 : 0, false) + "\n";
    }
    return block;
}

bool namesPorts(const CtlOptions& options) {
    if (options.command == nullptr || !talksToController(*options.command)) return false;
    return !options.ports.empty() || !options.portsFrom.empty() || options.allPorts;
}

int runOnPorts(const CtlOptions& options, const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool errIsTerminal) {
    PortPlan plan = planPortRuns(options, options.allPorts ? probeCandidates({}) : std::vector<PortInfo>{}, err);
    if (plan.code != kExitDone) return plan.code;
    return runPlan(plan, options, args, out, err, errIsTerminal);
}

int runPlan(PortPlan& plan, const CtlOptions& options, const std::vector<std::string>& args, std::ostream& out,
            std::ostream& err, bool errIsTerminal) {
    if (!plan.many) {
        const PortRun& run = plan.runs.front();
        if (!run.starts) {
            err << messageLine("", run.said.text) << "\n";
            return run.code;
        }
        return runOnTerminal(run.options, args, out, err, errIsTerminal);
    }
    sayEndedBeforeStart(plan.runs, err);
    const bool redraw = errIsTerminal && plan.runs.size() > 1 && !options.quiet && !options.json && stderrRedrawsLines();
    runLines(plan.runs, args, out, err, redraw);
    return summarise(plan.runs, options, out);
}

}  // namespace kd215
