// The records the wire payloads and the area files share: little-endian numbers, the 10-byte scene
// record and the 12-byte program-step record.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/config_image.h"

namespace kd215 {

inline uint16_t readLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline void writeLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

constexpr std::size_t kSceneRecordSize = 10;  // eight levels, rise time
constexpr std::size_t kStepRecordSize = 12;   // eight levels, rise time, duration
// Inside a record: the levels from byte 0, then the little-endian times.
constexpr std::size_t kRecordRiseOffset = 8;
constexpr std::size_t kRecordDurationOffset = 10;

// All eight scenes, scene 1 first (80 bytes).
void encodeScenes(const ConfigImage& image, uint8_t* out);
void decodeScenes(const uint8_t* in, ConfigImage& image);

// The first `stepCount` steps of a program, step 1 first.
void encodeSteps(const Program& program, int stepCount, uint8_t* out);
void decodeSteps(const uint8_t* in, int stepCount, Program& program);

}  // namespace kd215
