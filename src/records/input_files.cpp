// Inputs read from their paths (refusing what is no regular file, or far too big) and
// the names of files on this system: the folder, the last part, whether two names are one file.
#include "records/input_files.h"

#include "platform/files.h"

namespace kd215 {

std::string readInputFile(const std::string& path, ByteBuffer& bytes) {
    const std::string kind = nonRegularKind(path);
    if (!kind.empty()) return path + ": to " + kind + ", nie zwykły plik; nie czytam go";
    // Nothing kd215ctl reads is near this big; a larger "file" is a device or a mistake.
    constexpr std::size_t kLargestFile = 16 * 1024 * 1024;
    switch (readFileBytes(path, kLargestFile + 1, bytes)) {
        case FileReadStatus::Ok: break;
        case FileReadStatus::Missing: return path + ": nie ma takiego pliku";
        case FileReadStatus::OpenFailed: return path + ": " + kFileOpenFailedText;
        case FileReadStatus::ReadFailed: return path + ": " + kFileReadFailedText;
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

bool namesOneFile(const std::string& a, const std::string& b) {
    const FileIdentity first = fileIdentity(a), second = fileIdentity(b);
    if (first.exists || second.exists) return sameFile(first, second);
    if (a == b) return true;
    return lastPartOfPath(a) == lastPartOfPath(b) && sameFile(fileIdentity(folderOfPath(a)), fileIdentity(folderOfPath(b)));
}

}  // namespace kd215
