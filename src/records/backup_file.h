// The whole-controller backup: a versioned JSON text holding all four areas, every step included.
//
// Version 1, keys as the configuration image names its fields:
//   {
//     "format": "kd215-backup",          required, exactly this text
//     "version": 1,                      required; other versions are refused
//     "firmware": "1.05",                optional, informative (what the controller reported)
//     "created": "2026-12-07T10:26:10+01:00", optional, informative (older: "2024-05-01 12:00:00")
//     "site", "customer", "note": texts, optional, informative (where the controller works, for
//                                whom, anything the installer wants kept with it)
//     "settings": { "operatingMode" 0..15, "commonInputMode" 0..15, "switchOnTime" 0..255,
//                   "switchOffTime" 0..255,
//                   "channels": 8 x { "minLevel" 0..255, "maxLevel" 0..255, "riseTime" 0..65535,
//                                     "duration" 0..65535, "fallTime" 0..65535,
//                                     "inputInverted" 0..255 (0 normal, other inverted) } },
//     "scenes": 8 x { "levels": 8 x 0..255, "riseTime" 0..65535 },
//     "programs": 2 x { "endStep" 0..15 (0-based, 15 none),
//                       "steps": 14 x { "levels": 8 x 0..255, "riseTime", "duration" 0..65535 } }
//   }
// The ranges are what the controller's memory can hold (modes are four bits on the wire).
// Unknown members are ignored, so a reader of version 1 accepts additions that change nothing.
// A fault in the text is reported with its line and column, a fault in a field with its path
// ("scenes[2].riseTime").
#pragma once

#include <string>

#include "config/config_image.h"
#include "records/json.h"

namespace kd215 {

constexpr int kBackupVersion = 1;
extern const char* const kBackupFormatName;  // "kd215-backup"

struct BackupInfo {
    std::string firmware;  // "" when unknown
    std::string created;   // "" when unknown
    std::string site;      // the three below: "" when not given
    std::string customer;
    std::string note;
};

// The backup document of `image` (every field the controller holds; `reserved` is not one of them).
Json backupJson(const ConfigImage& image, const BackupInfo& info);
// Its text, as written to a file.
std::string writeBackupJson(const ConfigImage& image, const BackupInfo& info);

// The sections of the backup, also used to show area files as JSON.
Json settingsJson(const ConfigImage& image, bool withReserved);
Json scenesJson(const ConfigImage& image);
Json stepsJson(const ConfigImage& image, int program, int stepCount);
Json programsJson(const ConfigImage& image);

// The text of a JSON value as backups and JSON results are written: two-space indent, each record
// of numbers on one line; a text that is not UTF-8 (a file name, say) has its bad bytes replaced.
std::string jsonText(const Json& value);

struct BackupLoadResult {
    bool ok = false;
    std::string error;  // one Polish sentence naming the fault and where it is
};

// Reads and checks a backup. On any fault `image` and `info` are left as they were.
BackupLoadResult readBackupJson(const std::string& text, ConfigImage& image, BackupInfo& info);

// The place a backup path names, counted from 1 as the editors count: "settings.channels[2]"
// is "kanał 3", "programs[0].steps[3].levels[1]" is "program 1, scena programu 4, kanał 2";
// "" when the path names no element. placedPath: the path followed by its place in parentheses.
std::string pathPlace(const std::string& path);
std::string placedPath(const std::string& path);

// Whether the bytes look like a backup rather than a raw area file: the first non-blank
// character is '{' (after an optional UTF-8 byte order mark).
bool looksLikeBackup(const std::string& bytes);

}  // namespace kd215
