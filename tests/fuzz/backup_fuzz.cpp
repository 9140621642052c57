// libFuzzer target: untrusted backup files through kd215ctl's reader. Whatever the reader accepts
// must hold every value the file held (nothing wrapped or clamped on the way in) and write back to
// a text it reads again to the same configuration.
#include <cstddef>
#include <cstdint>
#include <string>

#include "records/backup_file.h"

using namespace kd215;

namespace {

bool sameValues(const Json& written, const Json& input) {
    if (written.is_object()) {
        if (!input.is_object()) return false;
        for (const auto& member : written.items()) {
            if (!input.contains(member.key()) || !sameValues(member.value(), input[member.key()])) return false;
        }
        return true;
    }
    if (written.is_array()) {
        if (!input.is_array() || input.size() != written.size()) return false;
        for (std::size_t i = 0; i < written.size(); ++i) {
            if (!sameValues(written[i], input[i])) return false;
        }
        return true;
    }
    if (written.is_number()) return input.is_number() && input.get<double>() == written.get<double>();
    return written == input;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    looksLikeBackup(text);
    ConfigImage image = defaultConfigImage();
    BackupInfo info;
    if (!readBackupJson(text, image, info).ok) return 0;
    const std::string written = writeBackupJson(image, info);
    if (!sameValues(backupJson(image, info), Json::parse(text, nullptr, false))) __builtin_trap();
    ConfigImage again = defaultConfigImage();
    BackupInfo againInfo;
    if (!readBackupJson(written, again, againInfo).ok || writeBackupJson(again, againInfo) != written) {
        __builtin_trap();
    }
    return 0;
}
