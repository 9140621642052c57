// Backups, the report and the demo controller for the page, over kd215ctl's files and report and
// kd215-sim's controller: bytes and texts in, bytes and texts out.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "controller.h"
#include "files/backup_file.h"
#include "files/config_files.h"
#include "ports/frame_log.h"
#include "report/report.h"
#include "web_files.h"
#include "web_shell.h"

namespace kd215 {

namespace {

using emscripten::val;

ByteBuffer bytesOf(const val& array) { return emscripten::convertJSArrayToNumberVector<uint8_t>(array); }

val bytesToJs(const ByteBuffer& bytes) {
    return val::global("Uint8Array").new_(emscripten::typed_memory_view(bytes.size(), bytes.data()));
}

// "\tFW : 1.05" -> "1.05"; "" while the version is unknown.
std::string firmwareVersion() {
    const std::string text = pageFirmwareText();
    const std::string prefix = "\tFW : ";
    if (text.compare(0, prefix.size(), prefix) != 0 || text.find("N/A") != std::string::npos) return "";
    return text.substr(prefix.size());
}

// ---- backups ---------------------------------------------------------------------------------

// Lays a backup over the PC copy; "" when done, else the loader's sentence (the copy unchanged).
std::string openBackup(const std::string& name, const val& bytes) {
    ConfigFile file;
    holdFile(name, bytesOf(bytes));
    const FileLoadResult loaded = loadConfigFile(name, file);
    releaseFiles();
    if (!loaded.ok) return loaded.error;
    if (file.kind != FileKind::Backup) return name + ": " + fileKindName(file.kind) + ", a nie " + fileKindName(FileKind::Backup);
    pageImage() = file.image;
    return "";
}

std::string backupText(const std::string& site, const std::string& customer, const std::string& note) {
    BackupInfo info;
    info.firmware = firmwareVersion();
    info.created = isoLocalTimeText();
    info.site = site;
    info.customer = customer;
    info.note = note;
    return writeBackupJson(pageImage(), info);
}

// ---- the report ------------------------------------------------------------------------------

// One side of the report from files [{name, bytes}], or the PC copy when none is given.
bool addSource(const val& files, ReportSource& source, std::string& error) {
    const unsigned count = files["length"].as<unsigned>();
    if (count == 0) {
        source = controllerSource("", pageImage(), firmwareVersion());
        return true;
    }
    for (unsigned i = 0; i < count; ++i) {
        const std::string name = files[i]["name"].as<std::string>();
        ConfigFile file;
        holdFile(name, bytesOf(files[i]["bytes"]));
        FileLoadResult loaded = loadConfigFile(name, file);
        releaseFiles();
        if (loaded.ok) loaded = addFileToSource(file, source);
        if (!loaded.ok) {
            error = loaded.error;
            return false;
        }
    }
    return true;
}

// {"html"} or {"error"}: the page of `first`, with `second` compared when it holds any file.
std::string reportPage(const val& first, const val& second, const std::string& site,
                       const std::string& customer, const std::string& note) {
    ReportSource a, b;
    std::string error;
    const bool compared = second["length"].as<unsigned>() > 0;
    if (!addSource(first, a, error) || (compared && !addSource(second, b, error))) {
        return nlohmann::json{{"error", error}}.dump();
    }
    ReportVisit visit{site, customer, note, isoLocalTimeText()};
    return nlohmann::json{{"html", reportHtml(a, compared ? &b : nullptr, visit)}}.dump();
}

// ---- the demo controller ---------------------------------------------------------------------

// kd215-sim's controller behind the page's demo port: bytes off the line in, its replies out.
class DemoController {
public:
    DemoController() { sim_.memory.fill(0); }
    // Takes the bytes the page put on the line; returns what the controller answers to them.
    val receive(const val& bytes) {
        const ByteBuffer received = bytesOf(bytes);
        std::vector<SimRxEvent> events;
        receiveBytes(sim_, received.data(), received.size(), events);
        return replies(events);
    }
    // The line went quiet in the middle of a frame.
    void lineGap() {
        std::vector<SimRxEvent> events;
        noteLineGap(sim_, events);
    }
    bool partialFrame() const { return hasPartialFrame(sim_); }
    val memory() const { return bytesToJs(ByteBuffer(sim_.memory.begin(), sim_.memory.end())); }

private:
    val replies(const std::vector<SimRxEvent>& events) {
        ByteBuffer out;
        for (const SimRxEvent& event : events) out.insert(out.end(), event.reply.begin(), event.reply.end());
        return bytesToJs(out);
    }
    SimController sim_;
};

}  // namespace

EMSCRIPTEN_BINDINGS(kd215_records) {
    emscripten::function("openBackup", &openBackup);
    emscripten::function("backupText", &backupText);
    emscripten::function("reportPage", &reportPage);
    emscripten::class_<DemoController>("DemoController")
        .constructor<>()
        .function("receive", &DemoController::receive)
        .function("lineGap", &DemoController::lineGap)
        .function("partialFrame", &DemoController::partialFrame)
        .function("memory", &DemoController::memory);
}

}  // namespace kd215
