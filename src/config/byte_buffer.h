// The one type for raw bytes: area files, file contents, the simulator's memory. Text (JSON, HTML,
// messages) stays std::string and becomes bytes only where it is written to a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kd215 {

using ByteBuffer = std::vector<uint8_t>;

inline ByteBuffer textBytes(const std::string& text) { return ByteBuffer(text.begin(), text.end()); }
inline std::string bytesText(const ByteBuffer& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace kd215
