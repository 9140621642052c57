// What the file functions of both systems share: stage and commit in one call.
#include "platform/files.h"

namespace kd215 {

bool replaceFile(const std::string& path, const std::string& bytes, bool flush, FileError& error) {
    StagedFile staged;
    return stageFile(path, bytes, flush, staged, error) && commitStagedFile(staged, error);
}

}  // namespace kd215
