// Backups, the report and the demo controller for the page, over the records, the report and the
// controller's side of the line that kd215-sim plays: bytes and texts in, bytes and texts out. Plain
// exports, callable at any time, also while the engine waits on a message box (the demo's line keeps running then).
#include <emscripten.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "link/controller_model.h"
#include "records/input_files.h"
#include "link/frame_log.h"
#include "records/backup_file.h"
#include "report/report.h"
#include "web_files.h"
#include "web_shell.h"

namespace kd215 {

namespace {

// "\tFW : 1.05" -> "1.05"; "" while the version is unknown.
std::string firmwareVersion() {
    const std::string text = pageFirmwareText();
    const std::string prefix = "\tFW : ";
    if (text.compare(0, prefix.size(), prefix) != 0 || text.find("N/A") != std::string::npos) return "";
    return text.substr(prefix.size());
}

const char* kept(std::string text) {
    static std::string held;
    held = std::move(text);
    return held.c_str();
}

// Lays a backup over the PC copy; "" when done, else the loader's sentence (the copy unchanged).
std::string openBackup(const std::string& name, ByteBuffer bytes) {
    ConfigFile file;
    holdFile(name, std::move(bytes));
    const FileLoadResult loaded = loadConfigFile(name, file);
    releaseFiles();
    if (!loaded.ok) return loaded.error;
    if (file.kind != FileKind::Backup) return name + ": " + fileKindName(file.kind) + ", a nie " + fileKindName(FileKind::Backup);
    pageImage() = file.image;
    return "";
}

const char* const kPageCopyName = "kopia w programie (Kd215 link w przeglądarce)";

// The files of the report's two sources, given one by one before the page is made.
std::vector<std::pair<std::string, ByteBuffer>> reportFiles[2];

// One side of the report from its files, or the PC copy when it has none.
bool addSource(int side, ReportSource& source, std::string& error) {
    if (reportFiles[side].empty()) {
        // Everything the page holds, named as the copy it is; the firmware is the controller's,
        // not the copy's, and is left out.
        source = controllerSource("", pageImage(), "");
        source.files = {kPageCopyName};
        return true;
    }
    for (auto& [name, bytes] : reportFiles[side]) {
        ConfigFile file;
        holdFile(name, bytes);
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

std::string reportPage(const std::string& site, const std::string& customer, const std::string& note) {
    ReportSource a, b;
    std::string error;
    const bool compared = !reportFiles[1].empty();
    const bool made = addSource(0, a, error) && (!compared || addSource(1, b, error));
    reportFiles[0].clear();
    reportFiles[1].clear();
    if (!made) return nlohmann::json{{"error", error}}.dump();
    const ReportVisit visit{site, customer, note, isoLocalTimeText()};
    return nlohmann::json{{"html", reportHtml(a, compared ? &b : nullptr, visit)}}.dump();
}

// The controller kd215-sim plays, behind the page's demo port, and what it last answered.
SimController demoController;
ByteBuffer demoReply;

}  // namespace

}  // namespace kd215

using namespace kd215;

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* kd_open_backup(const char* name, const uint8_t* bytes, int n) {
    return kept(openBackup(name, ByteBuffer(bytes, bytes + n)));
}

// The PC copy as kd215ctl's backup, with the firmware last read and the time now.
EMSCRIPTEN_KEEPALIVE const char* kd_backup_text(const char* site, const char* customer, const char* note) {
    BackupInfo info;
    info.firmware = firmwareVersion();
    info.created = isoLocalTimeText();
    info.site = site;
    info.customer = customer;
    info.note = note;
    return kept(writeBackupJson(pageImage(), info));
}

// A file of the first (0) or second (1) source of the next report.
EMSCRIPTEN_KEEPALIVE void kd_report_file(int side, const char* name, const uint8_t* bytes, int n) {
    reportFiles[side != 0].emplace_back(name, ByteBuffer(bytes, bytes + n));
}

// {"html"} or {"error"}: kd215ctl's report of the sources given, the second compared when it has files.
EMSCRIPTEN_KEEPALIVE const char* kd_report_page(const char* site, const char* customer, const char* note) {
    return kept(reportPage(site, customer, note));
}

// The bytes the page put on the demo line; returns how many reply bytes the controller has for
// them, at kd_demo_reply().
EMSCRIPTEN_KEEPALIVE int kd_demo_receive(const uint8_t* bytes, int n) {
    std::vector<SimRxEvent> events;
    receiveBytes(demoController, bytes, static_cast<std::size_t>(n), events);
    demoReply.clear();
    for (const SimRxEvent& event : events) demoReply.insert(demoReply.end(), event.reply.begin(), event.reply.end());
    return static_cast<int>(demoReply.size());
}
EMSCRIPTEN_KEEPALIVE const uint8_t* kd_demo_reply() { return demoReply.data(); }

// The demo line went quiet in the middle of a frame: the controller drops it.
EMSCRIPTEN_KEEPALIVE void kd_demo_line_gap() {
    std::vector<SimRxEvent> events;
    noteLineGap(demoController, events);
}
EMSCRIPTEN_KEEPALIVE int kd_demo_partial_frame() { return hasPartialFrame(demoController) ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE const uint8_t* kd_demo_memory() { return demoController.memory.data(); }

}  // extern "C"
