// Configuration files: area files (.ust, .sce, .pg1, .pg2) and backups, told apart by name, size and content, and checked.
#pragma once

#include <string>

#include "config/byte_buffer.h"
#include "config/config_image.h"
#include "records/backup_file.h"

namespace kd215 {

enum class FileKind { Settings, Scenes, Program, Backup };

// "plik ustawień (.ust)" and the like, for messages.
const char* fileKindName(FileKind kind);
// The area file kind that holds `area` (Program for both programs).
FileKind fileKindOfArea(ConfigArea area);

// "1 bajt", "84 bajty", "80 bajtów": every message that counts bytes says it through this.
std::string byteCount(std::size_t n);

struct ConfigFile {
    std::string path;
    FileKind kind = FileKind::Settings;
    ByteBuffer bytes;  // the raw contents of an area file
    // What the file holds, laid over the defaults; a program file's steps are in programs[0].
    ConfigImage image = defaultConfigImage();
    BackupInfo info;  // of a backup
};

struct FileLoadResult {
    bool ok = false;
    std::string error;  // the program's words where it has them, then the detail
};

// Decides the kind of bytes read from a file and loads them: a backup by its ".json" name or, for
// other names, by its first character '{'; an area file by its extension, or by its size when the
// name does not tell. An area file must have exactly its kind's size. `path` names the bytes in
// messages.
FileLoadResult loadConfigBytes(const std::string& path, ByteBuffer bytes, ConfigFile& out);

// Whether `file` can supply `area`: a backup always, an area file of the matching kind.
FileLoadResult checkFileForArea(const ConfigFile& file, ConfigArea area);

// The image to compare with the controller or to write to it for `area`: `controller` (what the
// controller holds, or the defaults) with what the file holds of the area laid over it. A
// program file replaces steps 1 to 12 only; steps 13 and 14 and the end step stay the controller's.
ConfigImage imageForArea(const ConfigFile& file, ConfigArea area, const ConfigImage& controller);

}  // namespace kd215
