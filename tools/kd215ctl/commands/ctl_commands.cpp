// The commands of kd215ctl over the program's engine, verification and file formats.
#include "commands/ctl_commands.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "config/area_names.h"
#include "records/backup_file.h"
#include "config/area_files.h"
#include "records/config_files.h"
#include "records/input_files.h"
#include "records/config_text.h"
#include "records/editor_checks.h"
#include "commands/ctl_args.h"
#include "commands/ctl_json.h"
#include "commands/help.h"
#include "commands/many_ports.h"
#include "platform/files.h"
#include "platform/interrupts.h"
#include "ports/port_access.h"
#include "ports/port_names.h"
#include "link/frame_log.h"
#include "link/probe.h"
#include "ports/link_session.h"
#include "link/frames.h"
#include "report/report.h"
#include "kd215_version.h"

namespace kd215 {

// One command carried out: its line, where its results and messages go, the frame log.
struct CommandRun {
    const CtlOptions& options;
    CommandSink& sink;
    FrameLog log;
    Json result;  // --json: what the command found, printed once at its end in place of the text
    bool lineOpened = false;  // the port opened and was ours alone
};

namespace {

const char* const kNoPortsText = "Brak dostępnych portów szeregowych";
const char* const kDefaultBaseName = "kd215";

Json areaNames(const std::vector<ConfigArea>& areas) {
    Json names = Json::array();
    for (const ConfigArea area : areas) names.push_back(areaArgumentName(area));
    return names;
}

Json orNull(const std::string& text) { return text.empty() ? Json() : Json(text); }

// The text twin of a --json result goes to standard output only without --json.
bool wantsText(const CommandRun& run) { return !run.options.json; }

int exitFor(LinkStatus status) {
    switch (status) {
        case LinkStatus::Done: return kExitDone;
        case LinkStatus::NoController:
        case LinkStatus::NotAController: return kExitNoController;
        case LinkStatus::CommunicationFailed: return kExitCommunication;
        case LinkStatus::Interrupted: return kExitSignalBase + interruptSignal();
    }
    return kExitCommunication;
}

// The failure said, about `subject` or in a text that names what it concerns itself.
int fail(CommandRun& run, const std::string& subject, const std::string& text, int code) {
    run.sink.failed(subject, text, "");
    return code;
}
int fail(CommandRun& run, const std::string& text, int code) { return fail(run, "", text, code); }

// One value an editor would not take: "kanał 3 czas narastania: 5000 – edytor przyjmuje 0–999".
std::string refusalText(const EditorRefusal& refusal) {
    return refusal.field + ": " + refusal.shown + " – edytor przyjmuje " + refusal.rule;
}

std::string progressText(TransferAction action, ConfigArea area, std::size_t index, std::size_t total) {
    std::string text = withoutTab(actionLabel(action)) + ": " + withoutTab(areaLabel(area));
    if (total > 1) text += " (" + std::to_string(index + 1) + "/" + std::to_string(total) + ")";
    return text;
}

// Opens --port behind the logging wrapper, confirms that a Kd215 answers on it, and runs `body`
// over it; 3 when the port will not open or no Kd215 answers, and then `unconfirmed` says what
// that left (nothing was sent but the probe).
int withLink(CommandRun& run, const std::function<int(LinkSession&)>& body, const std::function<void()>& unconfirmed = {}) {
    std::unique_ptr<SerialPort> device = makeSerialPort();
    LoggingPort port(*device, run.log);
    const std::string path = portDevicePath(run.options.port);
    const OpenResult opened = port.open(run.options.port);
    if (opened != OpenResult::Opened) {
        const uint32_t error = port.lastOpenError();
        const std::string detail = error == 0                          ? ""
                                   : opened == OpenResult::OpenFailed ? portOpenFailureText(path, error)
                                                                      : systemErrorText(error);
        return fail(run, path, openResultText(opened) + (detail.empty() ? "" : " (" + detail + ")"), kExitNoController);
    }
    // A program that holds the port without a lock (a terminal emulator) would take the
    // controller's answers, and its own bytes would go into the line: nothing is sent.
    const std::string holder = otherProcessHolding(path);
    if (!holder.empty()) {
        port.close();
        run.sink.failed(path, "port zajęty – otwarty także przez " + holder + "; nic nie wysłano", "");
        if (unconfirmed) unconfirmed();
        return kExitNoController;
    }
    run.lineOpened = true;
    LinkSession session(port, path, run.sink, run.options.retries);
    // An interruption from here on stops the exchange, so the command can say where it stood.
    const InterruptGuard exchanging;
    session.drainLine();
    run.sink.progress(path + ": sprawdzam, czy odpowiada sterownik");
    const LinkStatus confirmed = session.confirmController();
    int code = confirmed == LinkStatus::Done ? body(session) : exitFor(confirmed);
    if (confirmed != LinkStatus::Done && confirmed != LinkStatus::Interrupted && unconfirmed) unconfirmed();
    run.sink.clearProgress();
    port.close();
    if (interruptSignal() != 0) {
        // Also one that came after the last exchange: nothing more is done, no file is written.
        answerInterruption();
        run.sink.interrupted(run.options.port);
        code = kExitSignalBase + interruptSignal();
    }
    return code;
}

// Writes every file or, when one cannot be written, none: all are staged first, then renamed
// into place.
int writeFiles(CommandRun& run, const std::vector<std::pair<std::string, ByteBuffer>>& files) {
    FileSetFailure failure;
    if (!replaceFiles(files, true, failure)) {
        const std::string& path = files[failure.failed].first;
        const FileError& error = failure.error;
        std::string text = error.notRegular.empty()
                               ? fileWriteFailedText(path) + " (" + systemErrorText(error.code) + ")"
                               : path + ": " + notRegularOutputWords(error.notRegular);
        if (failure.committed > 0) {
            // A rename failed after others had been done: say which files are new and which old.
            std::string fresh, old;
            for (std::size_t i = 0; i < files.size(); ++i) {
                std::string& list = i < failure.committed ? fresh : old;
                list += (list.empty() ? "" : ", ") + files[i].first;
            }
            run.sink.failed("", text, "");
            text = "nowe pliki: " + fresh + "; bez zmian: " + old;
        }
        return fail(run, text, kExitFile);
    }
    for (const auto& file : files) {
        if (wantsText(run)) run.sink.resultLine(file.first);
    }
    return kExitDone;
}

// The base of the files `read` writes: "kd215", DIR/kd215 for a directory, or the name given.
std::string outputBase(const std::string& output) {
    if (output.empty()) return kDefaultBaseName;
    if (std::string(kPathSeparators).find(output.back()) != std::string::npos) return output + kDefaultBaseName;
    if (isDirectory(output)) return output + "/" + kDefaultBaseName;
    // "site/hall.ust" names the base "site/hall" as well.
    if (areaOfFileName(output) != ConfigArea::NoArea) return output.substr(0, output.rfind('.'));
    return output;
}

std::string readOutputPath(const CtlOptions& options, ConfigArea area) {
    return outputBase(options.output) + "." + areaBlock(area).fileExtension;
}

std::string reportOutputPath(const CtlOptions& options) {
    return options.output.empty() ? "raport.html" : options.output;
}

}  // namespace

std::string notRegularOutputWords(const std::string& kind) {
    return "to " + kind + ", nie zwykły plik; nie zastępuję go";
}

CommandFiles commandFiles(const CtlOptions& options) {
    CommandFiles files;
    const CommandRow& command = *options.command;
    if (command.operands == Operands::Inputs) files.inputs = options.operands;
    if (command.operands == Operands::Output && !options.operands.empty()) files.outputs.push_back(options.operands[0]);
    if (command.outputs == Outputs::AreaFiles) {
        for (const ConfigArea area : options.areas) files.outputs.push_back(readOutputPath(options, area));
    } else if (command.outputs == Outputs::Page) {
        files.outputs.push_back(reportOutputPath(options));
    }
    files.log = options.logPath;
    return files;
}

std::string sameFileText(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (std::size_t j = 0; j < inputs.size() + i; ++j) {
            const std::string& other = j < inputs.size() ? inputs[j] : outputs[j - inputs.size()];
            if (!namesOneFile(outputs[i], other)) continue;
            return outputs[i] + ": to ten sam plik co " + other +
                   (j < inputs.size() ? ", który polecenie czyta; zapis by go zniszczył"
                                      : "; dwa wyniki nie mogą trafić do jednego pliku");
        }
    }
    return "";
}

namespace {

// Whether `output` can be written where it stands: a regular file or nothing there, its folder
// there and open to this user. Tried by staging an empty file, so a read-only folder or file
// system is found before the controller is read, not after.
int checkOutputPlace(CommandRun& run, const std::string& output) {
    const std::string kind = nonRegularKind(output);
    if (!kind.empty()) return fail(run, output, notRegularOutputWords(kind), kExitFile);
    const std::string folder = folderOfPath(output);
    if (!isDirectory(folder)) {
        return fail(run, output, "nie ma katalogu " + folder + ", w którym miałby powstać", kExitFile);
    }
    StagedFile trial;
    FileError error;
    const bool staged = stageFile(output, {}, false, trial, error);
    if (staged) discardStagedFile(trial);
    if (!staged) return fail(run, fileWriteFailedText(output) + " (" + systemErrorText(error.code) + ")", kExitFile);
    return kExitDone;
}

// Before anything is read from a file or the controller: no file the command reads is one it
// writes (the page over its own source, the log over the backup it restores or writes), and
// every output can be written. Returns the exit code.
int checkOutputs(CommandRun& run) {
    const CommandFiles files = commandFiles(run.options);
    // The log is appended to, not replaced: any kind of file may take it, but no other file may be it.
    std::vector<std::string> written = files.outputs;
    if (!files.log.empty()) written.push_back(files.log);
    const std::string clash = sameFileText(files.inputs, written);
    if (!clash.empty()) return fail(run, clash, kExitUsage);
    for (const std::string& output : files.outputs) {
        const int code = checkOutputPlace(run, output);
        if (code != kExitDone) return code;
    }
    return kExitDone;
}

// An input as this run takes it: the bytes read before the lines started when there are any,
// so that every port gets the same; else the file, read now.
FileLoadResult loadInput(const CommandRun& run, const std::string& path, ConfigFile& file) {
    for (const auto& [name, bytes] : run.options.readAhead) {
        if (name == path) return loadConfigBytes(path, bytes, file);
    }
    return loadConfigFile(path, file);
}

// The command's answer, built once from what it did: its fields after the schema every answer opens with.
void answer(CommandRun& run, const Json& fields) {
    for (const auto& [key, value] : fields.items()) run.result[key] = value;
}

Json differencesJson(const std::vector<Difference>& differences) {
    Json list = Json::array();
    for (const Difference& difference : differences) list.push_back(differenceJson(difference));
    return list;
}

// Lists every difference under a heading naming the area, and keeps them for the answer.
void reportDifferences(CommandRun& run, const std::string& heading, const std::vector<Difference>& differences,
                       std::vector<Difference>& found) {
    if (differences.empty()) return;
    run.sink.clearProgress();
    if (wantsText(run)) run.sink.resultLine(heading);
    for (const Difference& difference : differences) {
        if (wantsText(run)) run.sink.resultLine("  " + difference.text);
        found.push_back(difference);
    }
}

// The file's area as a write frame carries it and a read brings it back: the controller keeps an
// inverted input as one bit, so the editors' 255 travels, and returns, as 1.
ConfigImage asCarried(const ConfigImage& image, ConfigArea area) {
    std::vector<uint8_t> payload(areaBlock(area).length);
    encodeAreaPayload(image, area, payload.data());
    ConfigImage carried = image;
    decodeAreaPayload(payload.data(), area, carried);
    return carried;
}

// What the controller sent for `area` against what the file holds: controller first, file second.
// A value the controller holds as the file's would be written is no difference; one that is
// shows the file's own value.
void reportVerifyDifferences(CommandRun& run, ConfigArea area, const ConfigImage& controller, const ConfigImage& expected,
                             std::vector<Difference>& found) {
    const std::vector<FieldValue> held = listAreaFields(controller, area);
    const std::vector<FieldValue> carried = listAreaFields(asCarried(expected, area), area);
    std::vector<FieldValue> inFile = listAreaFields(expected, area);
    for (std::size_t i = 0; i < inFile.size(); ++i) {
        if (carried[i].value == held[i].value) inFile[i].value = held[i].value;
    }
    reportDifferences(run, std::string("Weryfikacja: ") + areaPolishName(area), compareFields(held, inFile, kControllerAndFile),
                      found);
}

int summary(CommandRun& run, std::size_t differences) {
    run.sink.clearProgress();
    if (differences == 0) {
        if (wantsText(run)) run.sink.resultLine("Brak różnic.");
        return kExitDone;
    }
    if (wantsText(run)) run.sink.resultLine("Różnice: " + std::to_string(differences) + ".");
    return kExitDifferences;
}

// Loads the files of write and verify and pairs them with the areas: one file per area, or one
// backup for all of them.
int loadAreaFiles(CommandRun& run, std::vector<ConfigFile>& files, std::vector<const ConfigFile*>& perArea) {
    const std::vector<ConfigArea>& areas = run.options.areas;
    files.resize(run.options.operands.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const FileLoadResult loaded = loadInput(run, run.options.operands[i], files[i]);
        if (!loaded.ok) return fail(run, loaded.error, kExitFile);
    }
    // One file for several areas must be a backup; anything else is a usage slip, like a count
    // of files that matches neither.
    if (files.size() == 1 && areas.size() > 1 && files[0].kind != FileKind::Backup) {
        return fail(run,
                    files[0].path + ": podano " + std::to_string(areas.size()) + " obszary, a " + fileKindName(files[0].kind) +
                        " mieści jeden; potrzeba jednego pliku na każdy obszar albo jednej kopii zapasowej",
                    kExitUsage);
    }
    for (std::size_t i = 0; i < areas.size(); ++i) {
        const ConfigFile& file = files.size() == 1 ? files[0] : files[i];
        const FileLoadResult fits = checkFileForArea(file, areas[i]);
        if (!fits.ok) return fail(run, fits.error, kExitFile);
        perArea.push_back(&file);
    }
    return kExitDone;
}

std::string areaList(std::vector<ConfigArea>::const_iterator first, std::vector<ConfigArea>::const_iterator last) {
    std::string names;
    for (; first != last; ++first) names += std::string(names.empty() ? "" : ", ") + areaPolishName(*first);
    return names;
}

// What a write left in one area of the controller.
enum class AreaState { Unchanged, Unknown, Written };

// A word of a command line as the shell takes it back: quoted when it holds anything but the
// plain characters of names and paths.
std::string shellWord(const std::string& word) {
    if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+:,=@") ==
                             std::string::npos) {
        return word;
    }
    std::string quoted = "'";
    for (const char ch : word) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return quoted + "'";
}

// After a write failed or was interrupted the controller may hold a mix of old and new: one line
// names each area as written and acknowledged, sent without an answer (it may have stored it), or
// not sent, then the command that checks it against the files.
void reportAreaStates(CommandRun& run, const std::vector<ConfigArea>& areas, const std::vector<AreaState>& states) {
    static const char* const kStateWords[] = {"bez zmian (nie wysłano)", "stan nieznany (wysłano, brak potwierdzenia)",
                                                "zapis potwierdzony"};
    std::string text;
    for (std::size_t i = 0; i < areas.size(); ++i) {
        text += std::string(i == 0 ? "" : ", ") + areaPolishName(areas[i]) + " – " +
                kStateWords[static_cast<int>(states[i])];
    }
    std::string check = "kd215ctl verify --port " + shellWord(run.options.port);
    if (!run.options.command->takesAreas) {
        check += " all";  // restore: the whole controller
    } else {
        for (const ConfigArea area : run.options.areas) check += std::string(" ") + areaArgumentName(area);
    }
    for (const std::string& operand : run.options.operands) check += " " + shellWord(operand);
    run.sink.failed(run.options.port, text + "; zweryfikuj: " + check, "");
}

// A file may hold what no editor would let a user commit (a switch-on time of 250, a lower limit
// above the upper): every such value is named, and nothing is written unless --force says to
// write it as it is.
int checkEditorRules(CommandRun& run, const std::vector<ConfigArea>& areas, const std::vector<const ConfigFile*>& perArea) {
    bool any = false;
    for (std::size_t i = 0; i < areas.size(); ++i) {
        const ConfigFile& file = *perArea[i];
        for (const EditorRefusal& refusal : editorRefusals(imageForArea(file, areas[i], defaultConfigImage()), areas[i])) {
            any = true;
            run.sink.message(file.path, refusalText(refusal) + (run.options.force ? "; zapisuję bez zmian (--force)" : ""));
        }
    }
    if (!any || run.options.force) return kExitDone;
    return fail(run, "nie zapisuję wartości, których edytory nie przyjmą; --force zapisze je bez zmian", kExitFile);
}

// A backup keeps what the controller holds, but a value its editors would refuse (an erased
// controller's, say) will need --force to go back: said on standard error, the backup still made.
void warnOfEditorRefusals(CommandRun& run, const std::string& path, const ConfigImage& image) {
    // An erased controller has a hundred of them: the first few name the kind, the count the rest.
    constexpr std::size_t kNamed = 5;
    std::size_t count = 0;
    for (const AreaBlock& block : kAreaBlocks) {
        for (const EditorRefusal& refusal : editorRefusals(image, block.area)) {
            if (++count > kNamed) continue;
            run.sink.message(path, refusalText(refusal));
        }
    }
    if (count == 0) return;
    const std::string more = count > kNamed ? ", pierwsze " + std::to_string(kNamed) + " powyżej" : "";
    run.sink.message(path, "sterownik ma wartości, których edytory nie przyjmą (" + std::to_string(count) + more +
                             "); odtworzenie tej kopii zapasowej wymaga opcji --force");
}

// Writes each area from its file and, unless told not to, reads it back and compares.
// `backup` names the backup it came from in the result; "" for area files.
int writeAreas(CommandRun& run, const std::vector<ConfigArea>& areas, const std::vector<const ConfigFile*>& perArea,
               const std::string& backup = "") {
    const bool verifyAfter = !run.options.noVerify;
    return withLink(run, [&](LinkSession& link) {
        std::vector<Difference> found;
        std::vector<AreaState> states(areas.size(), AreaState::Unchanged);
        const auto failed = [&](LinkStatus status) {
            reportAreaStates(run, areas, states);
            return exitFor(status);
        };
        for (std::size_t i = 0; i < areas.size(); ++i) {
            const ConfigArea area = areas[i];
            const ConfigFile& file = *perArea[i];
            ConfigImage controller = defaultConfigImage();
            if (file.kind == FileKind::Program) {
                // The file lacks steps 13 and 14 and the end step: the controller keeps its own.
                run.sink.progress(progressText(TransferAction::ReadController, area, i, areas.size()));
                const LinkStatus read = link.readArea(area, controller);
                if (read != LinkStatus::Done) return failed(read);
            }
            const ConfigImage image = imageForArea(file, area, controller);
            run.sink.progress(progressText(TransferAction::WriteController, area, i, areas.size()));
            const LinkStatus write = link.writeArea(area, image);
            if (write != LinkStatus::Done) {
                // A write that went out may have been stored though its answer was lost or spoiled.
                if (link.mayHaveTakenEffect()) states[i] = AreaState::Unknown;
                return failed(write);
            }
            states[i] = AreaState::Written;
            if (!verifyAfter) continue;
            run.sink.progress(progressText(TransferAction::Verify, area, i, areas.size()));
            ConfigImage readBack = defaultConfigImage();
            const LinkStatus read = link.readArea(area, readBack);
            if (read != LinkStatus::Done) return failed(read);
            reportVerifyDifferences(run, area, readBack, image, found);
        }
        run.sink.clearProgress();
        if (wantsText(run)) run.sink.resultLine("Zapisano do sterownika: " + areaList(areas.begin(), areas.end()) + ".");
        Json fields = {{"port", run.options.port}};
        if (!backup.empty()) fields["file"] = backup;
        fields.update({{"areas", areaNames(areas)}, {"verified", verifyAfter}, {"differences", differencesJson(found)}});
        answer(run, fields);
        return verifyAfter ? summary(run, found.size()) : kExitDone;
    }, [&] { reportAreaStates(run, areas, std::vector<AreaState>(areas.size(), AreaState::Unchanged)); });
}

// "/dev/serial/by-id/usb-FTDI_...  (/dev/ttyUSB0)  FT232R USB UART, FTDI, USB 0403:6001, nr seryjny
// A50285BI, moduł ftdi_sio": the name to type first, then what the system knows of it.
std::string portLine(const PortEntry& port) {
    std::string line = port.name;
    if (port.device != port.name) line += "  (" + port.device + ")";
    std::vector<std::string> facts;
    if (port.bluetooth) facts.push_back("port Bluetooth, probe go pomija");
    if (!port.description.empty()) facts.push_back(port.description);
    if (!port.manufacturer.empty()) facts.push_back(port.manufacturer);
    if (!port.vendorId.empty()) facts.push_back("USB " + port.vendorId + ":" + port.productId);
    if (!port.serial.empty()) facts.push_back("nr seryjny " + port.serial);
    if (!port.driver.empty()) facts.push_back(kAdapterDriverWord + (" " + port.driver));
    for (std::size_t i = 0; i < facts.size(); ++i) line += (i == 0 ? "  " : ", ") + facts[i];
    return line;
}

}  // namespace

int portsCommand(CommandRun& run) {
    const std::vector<PortEntry> ports = listSerialPorts(run.options.allPorts);
    if (ports.empty()) return fail(run, kNoPortsText, kExitNoController);
    Json listed = Json::array();
    for (const PortEntry& port : ports) {
        if (wantsText(run)) run.sink.resultLine(portLine(port));
        listed.push_back({{"name", port.name},
                            {"device", port.device},
                            {"description", orNull(port.description)},
                            {"manufacturer", orNull(port.manufacturer)},
                            {"vendorId", orNull(port.vendorId)},
                            {"productId", orNull(port.productId)},
                            {"serial", orNull(port.serial)},
                            {"driver", orNull(port.driver)},
                            {"bluetooth", port.bluetooth}});
    }
    answer(run, {{"ports", listed}});
    return kExitDone;
}

namespace {

// Opens `name` once to learn why the probe could not use it.
PassedOver whyNotOpened(SerialPort& port, const std::string& name) {
    const std::string path = portDevicePath(name);
    const OpenResult opened = port.open(name);
    const uint32_t error = port.lastOpenError();
    port.close();
    if (opened == OpenResult::ConfigureFailed) return {name, "not-serial", "to nie port szeregowy (" + systemErrorText(error) + ")"};
    const PortRefusal refusal = portRefusal(path, error);
    return {name, refusal.reason, refusal.text};
}

}  // namespace

std::vector<PortInfo> probeCandidates(const std::vector<std::string>& named) {
    std::vector<PortInfo> table;
    for (const std::string& name : named) table.push_back({name, portDevicePath(name), "", false});
    if (!named.empty()) return table;
    // A Bluetooth port stays unopened unless named: opening it calls the paired device.
    for (const PortEntry& port : listSerialPorts(false)) {
        table.push_back({port.device, portDevicePath(port.device), "", port.bluetooth});
    }
    return table;
}

PortTried probePort(LoggingPort& port, const PortInfo& candidate) {
    PortTried tried;
    const std::string& name = candidate.name;
    if (candidate.bluetooth) {
        tried.passed = {name, "bluetooth", "port Bluetooth – probe go pomija, bo otwarcie łączy z urządzeniem; "
                                           "podany w poleceniu zostanie sprawdzony"};
        return tried;
    }
    const uint64_t receivedBefore = port.bytesReceived();
    const ProbeOutcome outcome = ProbePorts(port, {candidate});
    if (outcome.communicationFailed || outcome.foundIndex == 0) {
        port.close();
        tried.found = outcome.foundIndex == 0;
        if (!tried.found) {
            tried.passed = {name, "error", probeFailureText(outcome)};
            tried.fault = std::to_string(outcome.errorCode);  // what the program's text says after its heading
        }
    } else if (port.bytesReceived() != receivedBefore) {
        tried.passed = {name, "other-device", "odpowiedziało urządzenie, które nie jest sterownikiem Kd215"};
    } else if (port.lastOpenError() != 0) {
        tried.passed = whyNotOpened(port, name);
    } else {
        tried.passed = {name, "silent", "nie odpowiedział żaden sterownik"};
    }
    return tried;
}

std::string notFoundText(const std::vector<std::string>& tried) {
    std::string text = kControllerNotFoundText;
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::string names;
    for (const std::string& name : tried) names += (names.empty() ? "" : ", ") + name;
    return text + (names.empty() ? "" : " Sprawdzone porty: " + names + ".");
}

// Each port in turn; every port passed over is said on standard error with the reason, so that a
// port held by another program or closed to this user is not taken for a missing controller.
int probeCommand(CommandRun& run) {
    const std::vector<PortEntry> known = listSerialPorts(true);
    const std::vector<PortInfo> candidates = probeCandidates(run.options.operands);
    if (candidates.empty()) return fail(run, kNoPortsText, kExitNoController);
    std::unique_ptr<SerialPort> device = makeSerialPort();
    LoggingPort port(*device, run.log);
    Json passedOver = Json::array();
    std::vector<std::string> tried;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const std::string& candidate = candidates[i].name;
        run.sink.progress("Szukam sterownika: " + candidate + " (" + std::to_string(i + 1) + "/" +
                        std::to_string(candidates.size()) + ")");
        const PortTried outcome = probePort(port, candidates[i]);
        if (outcome.found) {
            run.sink.clearProgress();
            // Named the way that stays right after the next reboot or replugging, where there is one.
            const PortEntry* entry = findPort(known, candidate);
            const std::string name = entry != nullptr ? entry->name : candidate;
            if (wantsText(run)) run.sink.resultLine(name);
            answer(run, {{"port", name}, {"device", entry != nullptr ? entry->device : portDevicePath(candidate)},
                         {"tried", passedOver}});
            return kExitDone;
        }
        if (std::string(outcome.passed.reason) == "error") {
            run.sink.failed(candidate, outcome.passed.text, outcome.fault);
            return kExitCommunication;
        }
        run.sink.message(candidate, outcome.passed.text);
        passedOver.push_back({{"port", candidate}, {"reason", outcome.passed.reason}, {"text", outcome.passed.text}});
        if (std::string(outcome.passed.reason) != "bluetooth") tried.push_back(candidate);
    }
    run.sink.failed("", notFoundText(tried), "");
    answer(run, {{"port", nullptr}, {"device", nullptr}, {"tried", passedOver}});
    return kExitNoController;
}

int versionCommand(CommandRun& run) {
    return withLink(run, [&](LinkSession& link) {
        run.sink.progress(withoutTab(areaLabel(ConfigArea::Version)));
        std::string firmware;
        const LinkStatus status = link.version(firmware);
        if (status != LinkStatus::Done) return exitFor(status);
        run.sink.clearProgress();
        if (wantsText(run)) run.sink.resultLine(firmware);
        answer(run, {{"port", run.options.port}, {"firmware", firmware}});
        return kExitDone;
    });
}

int restartCommand(CommandRun& run) {
    return withLink(run, [&](LinkSession& link) {
        const LinkStatus status = link.restart();
        if (status != LinkStatus::Done) return exitFor(status);
        // The restart frame has no answer: what is known is that the controller answered the
        // probe just before, and that the frame went out.
        if (wantsText(run)) run.sink.resultLine("Wysłano polecenie restartu sterownika; sterownik odpowiadał przed nim, restartu nie potwierdza.");
        answer(run, {{"port", run.options.port}, {"sent", true}, {"answeredBefore", true}});
        return kExitDone;
    });
}

int readCommand(CommandRun& run) {
    const std::vector<ConfigArea>& areas = run.options.areas;
    ConfigImage image = defaultConfigImage();
    const int code = withLink(run, [&](LinkSession& link) {
        for (std::size_t i = 0; i < areas.size(); ++i) {
            run.sink.progress(progressText(TransferAction::ReadController, areas[i], i, areas.size()));
            const LinkStatus status = link.readArea(areas[i], image);
            if (status != LinkStatus::Done) return exitFor(status);  // no file touched
        }
        return kExitDone;
    });
    if (code != kExitDone) return code;
    std::vector<std::pair<std::string, ByteBuffer>> files;
    Json names = Json::array();
    for (const ConfigArea area : areas) {
        files.emplace_back(readOutputPath(run.options, area), encodeAreaFile(image, area));
        names.push_back(files.back().first);
    }
    answer(run, {{"port", run.options.port}, {"areas", areaNames(areas)}, {"files", names}});
    return writeFiles(run, files);
}

int writeCommand(CommandRun& run) {
    std::vector<ConfigFile> files;
    std::vector<const ConfigFile*> perArea;
    const int loaded = loadAreaFiles(run, files, perArea);
    if (loaded != kExitDone) return loaded;
    const int checked = checkEditorRules(run, run.options.areas, perArea);
    if (checked != kExitDone) return checked;
    return writeAreas(run, run.options.areas, perArea);
}

int verifyCommand(CommandRun& run) {
    std::vector<ConfigFile> files;
    std::vector<const ConfigFile*> perArea;
    const int loaded = loadAreaFiles(run, files, perArea);
    if (loaded != kExitDone) return loaded;
    const std::vector<ConfigArea>& areas = run.options.areas;
    return withLink(run, [&](LinkSession& link) {
        std::vector<Difference> found;
        for (std::size_t i = 0; i < areas.size(); ++i) {
            run.sink.progress(progressText(TransferAction::Verify, areas[i], i, areas.size()));
            ConfigImage controller = defaultConfigImage();
            const LinkStatus status = link.readArea(areas[i], controller);
            if (status != LinkStatus::Done) return exitFor(status);
            // What the file does not hold (a program file's steps 13, 14, end step) is taken
            // from the controller, so only what the file holds is compared.
            const ConfigImage expected = imageForArea(*perArea[i], areas[i], controller);
            reportVerifyDifferences(run, areas[i], controller, expected, found);
        }
        answer(run, {{"port", run.options.port}, {"areas", areaNames(areas)}, {"differences", differencesJson(found)}});
        return summary(run, found.size());
    });
}

namespace {

// The firmware version and all four areas, as backup and report take the controller whole.
int readWholeController(CommandRun& run, LinkSession& link, ConfigImage& image, std::string& firmware) {
    run.sink.progress(withoutTab(areaLabel(ConfigArea::Version)));
    LinkStatus status = link.version(firmware);
    if (status != LinkStatus::Done) return exitFor(status);
    for (std::size_t i = 0; i < kAreaBlocks.size(); ++i) {
        const ConfigArea area = kAreaBlocks[i].area;
        run.sink.progress(progressText(TransferAction::ReadController, area, i, kAreaBlocks.size()));
        status = link.readArea(area, image);
        if (status != LinkStatus::Done) return exitFor(status);
    }
    run.sink.clearProgress();
    return kExitDone;
}

Json sourceJson(const ReportSource& source) {
    return {{"port", source.port.empty() ? Json() : Json(source.port)}, {"files", source.files}};
}

}  // namespace

int backupCommand(CommandRun& run) {
    const std::string& path = run.options.operands[0];
    ConfigImage image = defaultConfigImage();
    BackupInfo info;
    const int read = withLink(run, [&](LinkSession& link) { return readWholeController(run, link, image, info.firmware); });
    if (read != kExitDone) return read;
    info.created = isoLocalTimeText();
    info.site = run.options.site;
    info.customer = run.options.customer;
    info.note = run.options.note;
    answer(run, {{"port", run.options.port}, {"file", path}, {"firmware", info.firmware}, {"created", info.created}});
    const int written = writeFiles(run, {{path, textBytes(writeBackupJson(image, info))}});
    if (written == kExitDone) warnOfEditorRefusals(run, path, image);
    return written;
}

int restoreCommand(CommandRun& run) {
    ConfigFile file;
    const FileLoadResult loaded = loadInput(run, run.options.operands[0], file);
    if (!loaded.ok) return fail(run, loaded.error, kExitFile);
    if (file.kind != FileKind::Backup) {
        return fail(run,
                    file.path + ": to nie kopia zapasowa, tylko " + fileKindName(file.kind) +
                        " (plik obszaru zapisuje polecenie write)",
                    kExitFile);
    }
    std::vector<ConfigArea> areas;
    std::vector<const ConfigFile*> perArea;
    for (const AreaBlock& block : kAreaBlocks) {
        areas.push_back(block.area);
        perArea.push_back(&file);
    }
    const int checked = checkEditorRules(run, areas, perArea);
    if (checked != kExitDone) return checked;
    return writeAreas(run, areas, perArea, run.options.operands[0]);
}

// A text of whole lines, each a line of the result.
void sayLines(CommandRun& run, const std::string& text) {
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        run.sink.resultLine(text.substr(start, end - start));
    }
    if (start < text.size()) run.sink.resultLine(text.substr(start));
}

int showCommand(CommandRun& run) {
    int code = kExitDone;
    Json shown = Json::array();
    for (const std::string& path : run.options.operands) {
        ConfigFile file;
        const FileLoadResult loaded = loadConfigFile(path, file);
        if (!loaded.ok) {
            code = fail(run, loaded.error, kExitFile);
            continue;
        }
        if (wantsText(run)) {
            if (!shown.empty()) run.sink.resultLine("");
            sayLines(run, showTable(file));
        }
        shown.push_back(showJson(file));
    }
    answer(run, {{"files", shown}});
    return code;
}

int diffCommand(CommandRun& run) {
    ConfigFile first, second;
    FileLoadResult loaded = loadConfigFile(run.options.operands[0], first);
    if (!loaded.ok) return fail(run, loaded.error, kExitFile);
    loaded = loadConfigFile(run.options.operands[1], second);
    if (!loaded.ok) return fail(run, loaded.error, kExitFile);
    if (first.kind != second.kind) {
        return fail(run,
                    std::string("pliki różnego rodzaju: ") + first.path + " to " + fileKindName(first.kind) + ", " +
                        second.path + " to " + fileKindName(second.kind),
                    kExitFile);
    }
    std::vector<Difference> found;
    reportDifferences(run, first.path + " <> " + second.path, compareFields(listFields(first), listFields(second)), found);
    answer(run, {{"files", {first.path, second.path}}, {"differences", differencesJson(found)}});
    return summary(run, found.size());
}

// The report's sources, files first so that a bad file stops it before the line is used; then the
// controller, read whole as backup reads it; then the page, written in one step.
int reportCommand(CommandRun& run) {
    std::vector<ReportSource> sources(run.options.compare ? run.options.operands.size() : 1);
    for (std::size_t i = 0; i < run.options.operands.size(); ++i) {
        ConfigFile file;
        FileLoadResult loaded = loadInput(run, run.options.operands[i], file);
        if (loaded.ok) loaded = addFileToSource(file, sources[run.options.compare ? i : 0]);
        if (!loaded.ok) return fail(run, loaded.error, kExitFile);
    }
    if (!run.options.port.empty()) {
        const int code = withLink(run, [&](LinkSession& link) {
            ConfigImage image = defaultConfigImage();
            std::string firmware;
            const int read = readWholeController(run, link, image, firmware);
            if (read != kExitDone) return read;
            sources.insert(sources.begin(), controllerSource(run.options.port, image, firmware));
            if (!run.options.compare) sources.pop_back();  // the empty file source
            return kExitDone;
        });
        if (code != kExitDone) return code;
    }
    ReportVisit visit{run.options.site, run.options.customer, run.options.note, isoLocalTimeText()};
    const std::string html = reportHtml(sources[0], sources.size() > 1 ? &sources[1] : nullptr, visit);
    const std::string path = reportOutputPath(run.options);
    const int written = writeFiles(run, {{path, textBytes(html)}});
    // The page lists the differences; the exit code and the result say them as diff does.
    std::vector<Difference> found;
    if (written == kExitDone && sources.size() > 1) {
        reportDifferences(run, "Różnice źródeł", sourceDifferences(sources[0], sources[1]), found);
    }
    Json listed = Json::array();
    for (const ReportSource& source : sources) listed.push_back(sourceJson(source));
    answer(run, {{"file", path}, {"sources", listed}, {"differences", differencesJson(found)}});
    return written != kExitDone || sources.size() < 2 ? written : summary(run, found.size());
}

int runKd215ctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    CtlOptions options;
    const ParseResult parsed = parseCommandLine(args, options);
    if (!parsed.ok) {
        err << messageLine("", parsed.error + " (pomoc: kd215ctl help)") << "\n";
        return kExitUsage;
    }
    if (options.help) {
        out << (options.helpTopic.empty() ? helpText() : commandHelpText(options.helpTopic));
        return kExitDone;
    }
    if (options.version) {
        if (options.json) {
            out << jsonText({{"schema", kJsonSchema}, {"program", "kd215ctl"}, {"version", KD215_VERSION}}) << "\n";
        } else {
            out << "kd215ctl " << KD215_VERSION << " (" << KD215_PRODUCT << ")\n";
        }
        return kExitDone;
    }
    if (namesPorts(options)) return runOnPorts(options, args, out, err, errIsTerminal);
    return runOnTerminal(options, args, out, err, errIsTerminal);
}

int runOnTerminal(const CtlOptions& options, const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  bool errIsTerminal) {
    // The frame lines of -v take standard error; a progress line would break into them.
    TerminalSink sink(out, err, errIsTerminal && !options.verbose, options.quiet);
    return runCommand(options, args, sink, nullptr);
}

int runCommand(const CtlOptions& options, const std::vector<std::string>& args, CommandSink& sink, Json* result,
               bool* lineOpened) {
    CommandRun run{options, sink, {}, {{"schema", kJsonSchema}}};
    if (options.verbose) run.log.echoTo([&sink](const std::string& line) { sink.frameLine(line); });
    const int checked = checkOutputs(run);
    if (checked != kExitDone) return checked;
    if (!options.logPath.empty()) {
        std::string error;
        if (!run.log.open(options.logPath, error)) return fail(run, error, kExitFile);
        std::string line = "kd215ctl";
        for (const std::string& arg : args) line += " " + arg;
        run.log.note(line);
        // A log that cannot take its first line (a full disk) would keep nothing of the run.
        if (run.log.writeError() != 0) {
            return fail(run, options.logPath,
                        "nie da się zapisać dziennika ramek (" + systemErrorText(static_cast<uint32_t>(run.log.writeError())) + ")",
                        kExitFile);
        }
    }

    const CommandRow& command = *options.command;
    const int code = command.runner(run);
    // A run that failed has said why on standard error; a result is printed only for what was
    // done, so that a script never takes half an answer for a whole one. A probe that found
    // nothing has still done its work: the ports it passed over, and why.
    const bool answered = code == kExitDone || code == kExitDifferences ||
                          (command.resultWhenNotFound && code == kExitNoController && !run.result["tried"].empty());
    if (lineOpened != nullptr) *lineOpened = run.lineOpened;
    if (result != nullptr) {
        *result = answered ? run.result : Json();
    } else if (options.json && answered) {
        sink.resultLine(jsonText(run.result));
    }
    run.log.note("kod wyjścia " + std::to_string(code));
    return code;
}

}  // namespace kd215
