// libFuzzer target: untrusted backup files through kd215ctl's reader. Whatever the reader accepts
// must write back to a text it reads again to the same configuration.
#include <cstddef>
#include <cstdint>
#include <string>

#include "backup_file.h"

using namespace kd215;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    looksLikeBackup(text);
    ConfigImage image = defaultConfigImage();
    BackupInfo info;
    if (!readBackupJson(text, image, info).ok) return 0;
    const std::string written = writeBackupJson(image, info);
    ConfigImage again = defaultConfigImage();
    BackupInfo againInfo;
    if (!readBackupJson(written, again, againInfo).ok || writeBackupJson(again, againInfo) != written) {
        __builtin_trap();
    }
    return 0;
}
