// The commands of kd215ctl over the program's engine, verification and file formats.
#include "ctl_commands.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>

#include "area_names.h"
#include "config/area_files.h"
#include "config_files.h"
#include "config_text.h"
#include "ctl_args.h"
#include "ctl_platform.h"
#include "frame_log.h"
#include "link/probe.h"
#include "link_session.h"
#include "report.h"

namespace kd215 {

namespace {

const char* const kNoPortsText = "Brak dostępnych portów szeregowych";
const char* const kOpenFailedText = "Błąd otwarcia portu !";
const char* const kConfigureFailedText = "Błąd konfiguracji portu !";
const char* const kDefaultBaseName = "kd215";

struct Context {
    const CtlOptions& options;
    std::ostream& out;
    Progress progress;
    FrameLog log;
};

int exitFor(LinkStatus status) {
    switch (status) {
        case LinkStatus::Done: return kExitDone;
        case LinkStatus::NoController: return kExitNoController;
        case LinkStatus::CommunicationFailed: return kExitCommunication;
    }
    return kExitCommunication;
}

int fail(Context& c, const std::string& text, int code) {
    c.progress.message(text);
    return code;
}

std::string progressText(TransferAction action, ConfigArea area, std::size_t index, std::size_t total) {
    std::string text = withoutTab(actionLabel(action)) + ": " + withoutTab(areaLabel(area));
    if (total > 1) text += " (" + std::to_string(index + 1) + "/" + std::to_string(total) + ")";
    return text;
}

// Opens --port behind the logging wrapper and runs `body` over it; 3 when the port will not open.
int withLink(Context& c, const std::function<int(LinkSession&)>& body) {
    std::unique_ptr<SerialPort> device = makeSerialPort();
    LoggingPort port(*device, c.log);
    const OpenResult opened = port.open(c.options.port);
    if (opened != OpenResult::Opened) {
        const std::string detail = port.lastOpenError() ? systemErrorText(port.lastOpenError()) : "";
        return fail(c,
                    std::string(opened == OpenResult::OpenFailed ? kOpenFailedText : kConfigureFailedText) + " (" +
                        c.options.port + (detail.empty() ? "" : ": " + detail) + ")",
                    kExitNoController);
    }
    LinkSession session(port, c.progress, c.options.retries);
    const int code = body(session);
    c.progress.clear();
    port.close();
    return code;
}

// Writes every file or, when one cannot be written, none that was not already in place: all are
// staged first, then renamed into place one by one.
int writeFiles(Context& c, const std::vector<std::pair<std::string, std::string>>& files) {
    const auto failure = [&c](const std::string& path, const FileError& error) {
        return fail(c, path + " :\nBłąd zapisu ! (" + systemErrorText(error.code) + ")", kExitFile);
    };
    std::vector<StagedFile> staged(files.size());
    FileError error;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!stageFile(files[i].first, files[i].second, true, staged[i], error)) {
            for (std::size_t j = 0; j < i; ++j) discardStagedFile(staged[j]);
            return failure(files[i].first, error);
        }
    }
    for (std::size_t i = 0; i < staged.size(); ++i) {
        if (!commitStagedFile(staged[i], error)) {
            for (std::size_t j = i + 1; j < staged.size(); ++j) discardStagedFile(staged[j]);
            return failure(files[i].first, error);
        }
        c.out << files[i].first << "\n";
    }
    return kExitDone;
}

// The base of the files `read` writes: "kd215", DIR/kd215 for a directory, or the name given.
std::string outputBase(const std::string& output) {
    if (output.empty()) return kDefaultBaseName;
    const char last = output.back();
    if (last == '/' || last == '\\') return output + kDefaultBaseName;
    if (isDirectory(output)) return output + "/" + kDefaultBaseName;
    // "site/hall.ust" names the base "site/hall" as well.
    const std::size_t dot = output.rfind('.');
    if (dot != std::string::npos && output.find_first_of("/\\", dot) == std::string::npos) {
        std::string ext = output.substr(dot + 1);
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return std::tolower(ch); });
        for (const AreaBlock& block : kAreaBlocks) {
            if (ext == block.fileExtension) return output.substr(0, dot);
        }
    }
    return output;
}

// Prints the differences of one area under a heading that says which value comes first.
std::size_t reportDifferences(Context& c, ConfigArea area, const std::vector<std::string>& lines) {
    if (lines.empty()) return 0;
    c.progress.clear();
    c.out << "Weryfikacja: " << areaPolishName(area)
          << (area == ConfigArea::Settings ? " (sterownik <> plik)" : " (plik <> sterownik)") << "\n";
    for (const std::string& line : lines) c.out << "  " << line << "\n";
    return lines.size();
}

int summary(Context& c, std::size_t differences) {
    c.progress.clear();
    if (differences == 0) {
        c.out << "Brak różnic.\n";
        return kExitDone;
    }
    c.out << "Różnice: " << differences << ".\n";
    return kExitDifferences;
}

// Loads the files of write and verify and pairs them with the areas: one file per area, or one
// backup for all of them.
int loadAreaFiles(Context& c, std::vector<ConfigFile>& files, std::vector<const ConfigFile*>& perArea) {
    const std::vector<ConfigArea>& areas = c.options.areas;
    files.resize(c.options.operands.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const FileLoadResult loaded = loadConfigFile(c.options.operands[i], files[i]);
        if (!loaded.ok) return fail(c, loaded.error, kExitFile);
    }
    for (std::size_t i = 0; i < areas.size(); ++i) {
        const ConfigFile& file = files.size() == 1 ? files[0] : files[i];
        const FileLoadResult fits = checkFileForArea(file, areas[i]);
        if (!fits.ok) return fail(c, fits.error, kExitFile);
        perArea.push_back(&file);
    }
    return kExitDone;
}

std::string areaList(std::vector<ConfigArea>::const_iterator first, std::vector<ConfigArea>::const_iterator last) {
    std::string names;
    for (; first != last; ++first) names += std::string(names.empty() ? "" : ", ") + areaPolishName(*first);
    return names;
}

// After a failure part way through several areas the controller holds a mix of old and new:
// say which areas it took (acknowledged writes) and which it did not.
void reportPartialWrite(Context& c, const std::vector<ConfigArea>& areas, std::size_t written) {
    if (areas.size() < 2) return;
    std::string text;
    if (written > 0) text = "Zapisano: " + areaList(areas.begin(), areas.begin() + written) + ". ";
    text += "Nie zapisano: " + areaList(areas.begin() + written, areas.end()) + ".";
    c.progress.message(text);
}

// Writes each area from its file and, unless told not to, reads it back and compares.
int writeAreas(Context& c, const std::vector<ConfigArea>& areas, const std::vector<const ConfigFile*>& perArea) {
    const bool verifyAfter = !c.options.noVerify;
    return withLink(c, [&](LinkSession& link) {
        std::size_t differences = 0;
        std::size_t written = 0;
        const auto failed = [&](LinkStatus status) {
            reportPartialWrite(c, areas, written);
            return exitFor(status);
        };
        std::vector<uint8_t> payload;
        for (std::size_t i = 0; i < areas.size(); ++i) {
            const ConfigArea area = areas[i];
            const ConfigFile& file = *perArea[i];
            ConfigImage controller = defaultConfigImage();
            if (file.kind == FileKind::Program) {
                // The file lacks steps 13 and 14 and the end step: the controller keeps its own.
                c.progress.show(progressText(TransferAction::ReadController, area, i, areas.size()));
                const LinkStatus read = link.readArea(area, controller, payload);
                if (read != LinkStatus::Done) return failed(read);
            }
            const ConfigImage image = imageForArea(file, area, controller);
            c.progress.show(progressText(TransferAction::WriteController, area, i, areas.size()));
            const LinkStatus write = link.writeArea(area, image);
            if (write != LinkStatus::Done) return failed(write);
            ++written;
            if (!verifyAfter) continue;
            c.progress.show(progressText(TransferAction::Verify, area, i, areas.size()));
            ConfigImage readBack = defaultConfigImage();
            const LinkStatus read = link.readArea(area, readBack, payload);
            if (read != LinkStatus::Done) return failed(read);
            differences += reportDifferences(c, area, compareArea(area, payload.data(), image));
        }
        c.progress.clear();
        c.out << "Zapisano do sterownika: " << areaList(areas.begin(), areas.end()) << ".\n";
        return verifyAfter ? summary(c, differences) : kExitDone;
    });
}

int portsCommand(Context& c) {
    const std::vector<PortEntry> ports = listSerialPorts();
    if (ports.empty()) return fail(c, kNoPortsText, kExitNoController);
    for (const PortEntry& port : ports) {
        c.out << port.name << (port.detail.empty() ? "" : " -> " + port.detail) << "\n";
    }
    return kExitDone;
}

int probeCommand(Context& c) {
    const std::vector<std::string> candidates =
        c.options.operands.empty() ? probeCandidates() : c.options.operands;
    if (candidates.empty()) return fail(c, kNoPortsText, kExitNoController);
    std::unique_ptr<SerialPort> device = makeSerialPort();
    LoggingPort port(*device, c.log);
    c.progress.show("Szukam sterownika, portów do sprawdzenia: " + std::to_string(candidates.size()));
    const ProbeOutcome outcome = ProbePorts(port, candidates);
    c.progress.clear();
    if (outcome.communicationFailed) {
        port.close();
        return fail(c, probeFailureText(outcome) + " (" + candidates[static_cast<std::size_t>(outcome.failedIndex)] + ")",
                    kExitCommunication);
    }
    if (outcome.foundIndex < 0) return fail(c, kControllerNotFoundText, kExitNoController);
    port.close();
    c.out << candidates[static_cast<std::size_t>(outcome.foundIndex)] << "\n";
    return kExitDone;
}

int versionCommand(Context& c) {
    return withLink(c, [&](LinkSession& link) {
        c.progress.show(withoutTab(areaLabel(ConfigArea::Version)));
        std::string firmware;
        const LinkStatus status = link.version(firmware);
        if (status != LinkStatus::Done) return exitFor(status);
        c.progress.clear();
        c.out << withoutTab(firmware) << "\n";
        return kExitDone;
    });
}

int restartCommand(Context& c) {
    return withLink(c, [&](LinkSession& link) {
        const LinkStatus status = link.restart();
        if (status != LinkStatus::Done) return exitFor(status);
        c.out << "Wysłano polecenie restartu sterownika.\n";
        return kExitDone;
    });
}

int readCommand(Context& c) {
    const std::vector<ConfigArea>& areas = c.options.areas;
    const std::string base = outputBase(c.options.output);
    return withLink(c, [&](LinkSession& link) {
        ConfigImage image = defaultConfigImage();
        std::vector<uint8_t> payload;
        for (std::size_t i = 0; i < areas.size(); ++i) {
            c.progress.show(progressText(TransferAction::ReadController, areas[i], i, areas.size()));
            const LinkStatus status = link.readArea(areas[i], image, payload);
            if (status != LinkStatus::Done) return exitFor(status);  // no file touched
        }
        c.progress.clear();
        std::vector<std::pair<std::string, std::string>> files;
        for (const ConfigArea area : areas) {
            const std::vector<uint8_t> bytes = encodeAreaFile(image, area);
            files.emplace_back(base + "." + areaBlock(area).fileExtension, std::string(bytes.begin(), bytes.end()));
        }
        return writeFiles(c, files);
    });
}

int writeCommand(Context& c) {
    std::vector<ConfigFile> files;
    std::vector<const ConfigFile*> perArea;
    const int loaded = loadAreaFiles(c, files, perArea);
    if (loaded != kExitDone) return loaded;
    return writeAreas(c, c.options.areas, perArea);
}

int verifyCommand(Context& c) {
    std::vector<ConfigFile> files;
    std::vector<const ConfigFile*> perArea;
    const int loaded = loadAreaFiles(c, files, perArea);
    if (loaded != kExitDone) return loaded;
    const std::vector<ConfigArea>& areas = c.options.areas;
    return withLink(c, [&](LinkSession& link) {
        std::size_t differences = 0;
        std::vector<uint8_t> payload;
        for (std::size_t i = 0; i < areas.size(); ++i) {
            c.progress.show(progressText(TransferAction::Verify, areas[i], i, areas.size()));
            ConfigImage controller = defaultConfigImage();
            const LinkStatus status = link.readArea(areas[i], controller, payload);
            if (status != LinkStatus::Done) return exitFor(status);
            // What the file does not hold (a program file's steps 13, 14, end step) is taken
            // from the controller, so only what the file holds is compared.
            const ConfigImage expected = imageForArea(*perArea[i], areas[i], controller);
            differences += reportDifferences(c, areas[i], compareArea(areas[i], payload.data(), expected));
        }
        return summary(c, differences);
    });
}

int backupCommand(Context& c) {
    const std::string& path = c.options.operands[0];
    return withLink(c, [&](LinkSession& link) {
        c.progress.show(withoutTab(areaLabel(ConfigArea::Version)));
        std::string firmware;
        LinkStatus status = link.version(firmware);
        if (status != LinkStatus::Done) return exitFor(status);
        ConfigImage image = defaultConfigImage();
        std::vector<uint8_t> payload;
        for (std::size_t i = 0; i < kAreaBlocks.size(); ++i) {
            const ConfigArea area = kAreaBlocks[i].area;
            c.progress.show(progressText(TransferAction::ReadController, area, i, kAreaBlocks.size()));
            status = link.readArea(area, image, payload);
            if (status != LinkStatus::Done) return exitFor(status);
        }
        c.progress.clear();
        BackupInfo info;
        info.firmware = withoutTab(firmware);
        const std::string prefix = "FW : ";
        if (info.firmware.compare(0, prefix.size(), prefix) == 0) info.firmware.erase(0, prefix.size());
        info.created = localTimeText(false);
        return writeFiles(c, {{path, writeBackupJson(image, info)}});
    });
}

int restoreCommand(Context& c) {
    ConfigFile file;
    const FileLoadResult loaded = loadConfigFile(c.options.operands[0], file);
    if (!loaded.ok) return fail(c, loaded.error, kExitFile);
    if (file.kind != FileKind::Backup) {
        return fail(c,
                    file.path + " : to nie kopia zapasowa, tylko " + fileKindName(file.kind) +
                        " (plik obszaru zapisuje polecenie write)",
                    kExitFile);
    }
    std::vector<ConfigArea> areas;
    std::vector<const ConfigFile*> perArea;
    for (const AreaBlock& block : kAreaBlocks) {
        areas.push_back(block.area);
        perArea.push_back(&file);
    }
    return writeAreas(c, areas, perArea);
}

int showCommand(Context& c) {
    int code = kExitDone;
    std::vector<std::string> shown;
    for (const std::string& path : c.options.operands) {
        ConfigFile file;
        const FileLoadResult loaded = loadConfigFile(path, file);
        if (!loaded.ok) {
            code = fail(c, loaded.error, kExitFile);
            continue;
        }
        shown.push_back(c.options.json ? showJson(file) : showTable(file));
    }
    if (c.options.json) {
        if (shown.size() == 1 && c.options.operands.size() == 1) {
            c.out << shown[0] << "\n";
        } else {
            c.out << "[\n";
            for (std::size_t i = 0; i < shown.size(); ++i) c.out << shown[i] << (i + 1 < shown.size() ? ",\n" : "\n");
            c.out << "]\n";
        }
    } else {
        for (std::size_t i = 0; i < shown.size(); ++i) c.out << (i ? "\n" : "") << shown[i];
    }
    return code;
}

int diffCommand(Context& c) {
    ConfigFile first, second;
    FileLoadResult loaded = loadConfigFile(c.options.operands[0], first);
    if (!loaded.ok) return fail(c, loaded.error, kExitFile);
    loaded = loadConfigFile(c.options.operands[1], second);
    if (!loaded.ok) return fail(c, loaded.error, kExitFile);
    if (first.kind != second.kind) {
        return fail(c,
                    std::string("pliki różnego rodzaju: ") + first.path + " to " + fileKindName(first.kind) + ", " +
                        second.path + " to " + fileKindName(second.kind),
                    kExitFile);
    }
    const std::vector<FieldDifference> differences = diffFiles(first, second);
    for (const FieldDifference& difference : differences) c.out << formatDifference(difference) << "\n";
    return summary(c, differences.size());
}

// The report's sources, files first so that a bad file stops it before the line is used; then the
// controller, read whole as backup reads it; then the page, written in one step.
int reportCommand(Context& c) {
    std::vector<ReportSource> sources(c.options.compare ? c.options.operands.size() : 1);
    for (std::size_t i = 0; i < c.options.operands.size(); ++i) {
        ConfigFile file;
        FileLoadResult loaded = loadConfigFile(c.options.operands[i], file);
        if (loaded.ok) loaded = addFileToSource(file, sources[c.options.compare ? i : 0]);
        if (!loaded.ok) return fail(c, loaded.error, kExitFile);
    }
    if (!c.options.port.empty()) {
        const int code = withLink(c, [&](LinkSession& link) {
            c.progress.show(withoutTab(areaLabel(ConfigArea::Version)));
            std::string firmware;
            LinkStatus status = link.version(firmware);
            if (status != LinkStatus::Done) return exitFor(status);
            ConfigImage image = defaultConfigImage();
            std::vector<uint8_t> payload;
            for (std::size_t i = 0; i < kAreaBlocks.size(); ++i) {
                const ConfigArea area = kAreaBlocks[i].area;
                c.progress.show(progressText(TransferAction::ReadController, area, i, kAreaBlocks.size()));
                status = link.readArea(area, image, payload);
                if (status != LinkStatus::Done) return exitFor(status);
            }
            firmware = withoutTab(firmware);
            const std::string prefix = "FW : ";
            if (firmware.compare(0, prefix.size(), prefix) == 0) firmware.erase(0, prefix.size());
            sources.insert(sources.begin(), controllerSource(c.options.port, image, firmware));
            if (!c.options.compare) sources.pop_back();  // the empty file source
            return kExitDone;
        });
        if (code != kExitDone) return code;
    }
    const std::string html = reportHtml(sources[0], sources.size() > 1 ? &sources[1] : nullptr, reportTimeText());
    return writeFiles(c, {{c.options.output.empty() ? "raport.html" : c.options.output, html}});
}

}  // namespace

int runKd215ctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    CtlOptions options;
    const ParseResult parsed = parseCommandLine(args, options);
    if (!parsed.ok) {
        err << "kd215ctl: " << parsed.error << "\nPomoc: kd215ctl --help\n";
        return kExitUsage;
    }
    if (options.command == "help") {
        out << kHelpText;
        return kExitDone;
    }

    Context c{options, out, Progress(err, errIsTerminal), {}};
    if (!options.logPath.empty()) {
        std::string error;
        if (!c.log.open(options.logPath, error)) return fail(c, error, kExitFile);
        std::string line = "kd215ctl";
        for (const std::string& arg : args) line += " " + arg;
        c.log.note(line);
    }

    static const std::pair<const char*, int (*)(Context&)> kRunners[] = {
        {"ports", portsCommand},     {"probe", probeCommand},     {"version", versionCommand},
        {"restart", restartCommand}, {"read", readCommand},       {"write", writeCommand},
        {"verify", verifyCommand},   {"backup", backupCommand},   {"restore", restoreCommand},
        {"show", showCommand},       {"diff", diffCommand},       {"report", reportCommand},
    };
    for (const auto& runner : kRunners) {
        if (options.command == runner.first) {
            const int code = runner.second(c);
            c.log.note("kod wyjścia " + std::to_string(code));
            return code;
        }
    }
    return kExitUsage;  // parseCommandLine knows only the commands above
}

}  // namespace kd215
