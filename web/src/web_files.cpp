// The page has no file system: a file the user chose reaches kd215ctl's loaders as bytes held here
// under its name, for the one call that reads it.
#include "web_files.h"

#include <map>

namespace kd215 {

namespace {
std::map<std::string, ByteBuffer>& heldFiles() {
    static std::map<std::string, ByteBuffer> files;
    return files;
}
}  // namespace

void holdFile(const std::string& name, ByteBuffer bytes) { heldFiles()[name] = std::move(bytes); }
void releaseFiles() { heldFiles().clear(); }

FileReadStatus readFileBytes(const std::string& path, std::size_t limit, ByteBuffer& bytes) {
    const auto found = heldFiles().find(path);
    if (found == heldFiles().end()) return FileReadStatus::Missing;
    bytes.assign(found->second.begin(), found->second.begin() + std::min(limit, found->second.size()));
    return FileReadStatus::Ok;
}

// Every file the page holds came as the bytes of one the user chose: none is a folder or a device.
std::string nonRegularKind(const std::string&) { return ""; }

}  // namespace kd215
