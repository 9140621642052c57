// Loading area files and backups: kind by name, content and size, with a clear word for each fault.
#include "files/config_files.h"

#include "config/area_files.h"
#include "config/area_names.h"
#include "platform/files.h"

namespace kd215 {

namespace {

struct KindRow {
    FileKind kind;
    const char* name;
    ConfigArea area;  // the area whose file layout the kind has; NoArea for a backup
};

const KindRow kKinds[] = {
    {FileKind::Settings, "plik ustawień (.ust)", ConfigArea::Settings},
    {FileKind::Scenes, "plik scen (.sce)", ConfigArea::Scenes},
    {FileKind::Program, "plik programu (.pg1, .pg2)", ConfigArea::Program1},
    {FileKind::Backup, "kopia zapasowa (.json)", ConfigArea::NoArea},
};

const KindRow& row(FileKind kind) {
    for (const KindRow& r : kKinds) {
        if (r.kind == kind) return r;
    }
    return kKinds[0];
}

// The kind a file's name promises, or false when the name says nothing.
bool kindFromExtension(const std::string& path, FileKind& kind) {
    const ConfigArea area = areaOfFileName(path);
    if (area != ConfigArea::NoArea) {
        kind = fileKindOfArea(area);
        return true;
    }
    if (lowerFileExtension(path) != "json") return false;
    kind = FileKind::Backup;
    return true;
}

bool kindFromSize(std::size_t size, FileKind& kind) {
    for (const KindRow& r : kKinds) {
        if (r.area != ConfigArea::NoArea && areaFileSize(r.area) == size) {
            kind = r.kind;
            return true;
        }
    }
    return false;
}

std::string readFailureText(const std::string& path) { return path + ": Błąd odczytu !"; }

}  // namespace

const char* fileKindName(FileKind kind) { return row(kind).name; }

FileKind fileKindOfArea(ConfigArea area) {
    switch (area) {
        case ConfigArea::Settings: return FileKind::Settings;
        case ConfigArea::Scenes: return FileKind::Scenes;
        default: return FileKind::Program;
    }
}

std::string readInputFile(const std::string& path, ByteBuffer& bytes) {
    const std::string kind = nonRegularKind(path);
    if (!kind.empty()) return path + ": to " + kind + ", nie zwykły plik; nie czytam go";
    // Nothing kd215ctl reads is near this big; a larger "file" is a device or a mistake.
    constexpr std::size_t kLargestFile = 16 * 1024 * 1024;
    switch (readFileBytes(path, kLargestFile + 1, bytes)) {
        case FileReadStatus::Ok: break;
        case FileReadStatus::Missing: return path + ": nie ma takiego pliku";
        case FileReadStatus::OpenFailed: return path + ": " + kFileOpenFailedText;
        case FileReadStatus::ReadFailed: return readFailureText(path);
    }
    if (bytes.size() > kLargestFile) {
        return path + ": plik ma ponad 16 MB, a pliki obszarów i kopie zapasowe są znacznie mniejsze";
    }
    return "";
}

FileLoadResult loadConfigFile(const std::string& path, ConfigFile& out) {
    ByteBuffer bytes;
    const std::string error = readInputFile(path, bytes);
    if (!error.empty()) return {false, error};
    return loadConfigBytes(path, std::move(bytes), out);
}

FileLoadResult loadConfigBytes(const std::string& path, ByteBuffer bytes, ConfigFile& out) {
    ConfigFile file;
    file.path = path;
    const bool named = kindFromExtension(path, file.kind);
    if (!named) {
        if (!kindFromSize(bytes.size(), file.kind)) {
            if (!looksLikeBackup(bytesText(bytes))) {
                return {false, path + ": nieznany rodzaj pliku (" + byteCount(bytes.size()) + "; plik .ust ma " +
                                   byteCount(areaFileSize(ConfigArea::Settings)) + ", .sce " +
                                   byteCount(areaFileSize(ConfigArea::Scenes)) + ", .pg1 i .pg2 " +
                                   byteCount(areaFileSize(ConfigArea::Program1)) + ", kopia zapasowa to tekst JSON)"};
            }
            file.kind = FileKind::Backup;
        }
    }

    if (file.kind == FileKind::Backup) {
        const BackupLoadResult loaded = readBackupJson(bytesText(bytes), file.image, file.info);
        if (!loaded.ok) return {false, path + ": " + loaded.error};
        out = std::move(file);
        return {true, {}};
    }

    const ConfigArea area = row(file.kind).area;
    const std::size_t needed = areaFileSize(area);
    if (bytes.size() < needed) {
        return {false, fileReadFailedText(path) + " Plik ma " + byteCount(bytes.size()) + ", a " +
                           fileKindName(file.kind) + " ma " + byteCount(needed) + "."};
    }
    if (bytes.size() > needed) {
        FileKind sized;
        const std::string hint = kindFromSize(bytes.size(), sized)
                                     ? std::string(" (tyle ma ") + fileKindName(sized) + ")"
                                     : looksLikeBackup(bytesText(bytes)) ? " (wygląda na kopię zapasową)" : "";
        return {false, path + ": zły rodzaj pliku: ma " + byteCount(bytes.size()) + hint + ", a " +
                           fileKindName(file.kind) + " ma " + byteCount(needed) + "."};
    }
    decodeAreaFile(bytes, area, file.image);
    file.bytes = std::move(bytes);
    out = std::move(file);
    return {true, {}};
}

FileLoadResult checkFileForArea(const ConfigFile& file, ConfigArea area) {
    if (file.kind == FileKind::Backup || file.kind == fileKindOfArea(area)) return {true, {}};
    return {false, file.path + ": zły rodzaj pliku: to " + fileKindName(file.kind) + ", a dla obszaru " +
                       areaArgumentName(area) + " (" + areaPolishName(area) + ") potrzebny jest " + fileKindName(fileKindOfArea(area))};
}

ConfigImage imageForArea(const ConfigFile& file, ConfigArea area, const ConfigImage& controller) {
    if (file.kind == FileKind::Backup) return file.image;
    ConfigImage image = controller;
    decodeAreaFile(file.bytes, area, image);
    return image;
}

std::string folderOfPath(const std::string& path) {
    const std::size_t slash = path.find_last_of(kPathSeparators);
    if (slash == std::string::npos) return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string lastPartOfPath(const std::string& path) {
    const std::size_t slash = path.find_last_of(kPathSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool namesOneFile(const std::string& a, const std::string& b) {
    const FileIdentity first = fileIdentity(a), second = fileIdentity(b);
    if (first.exists || second.exists) return sameFile(first, second);
    if (a == b) return true;
    return lastPartOfPath(a) == lastPartOfPath(b) && sameFile(fileIdentity(folderOfPath(a)), fileIdentity(folderOfPath(b)));
}

// "84 bajty", "80 bajtów": the numeral agrees with its noun, as in any careful Polish text.
std::string byteCount(std::size_t n) {
    const std::size_t tens = n % 100, units = n % 10;
    const char* noun = n == 1 ? "bajt" : (units >= 2 && units <= 4 && (tens < 12 || tens > 14)) ? "bajty" : "bajtów";
    return std::to_string(n) + " " + noun;
}

}  // namespace kd215
