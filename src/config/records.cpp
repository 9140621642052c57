// Scene and program-step records, laid out the same on the wire and in the area files.
#include "config/records.h"

#include <cstring>

namespace kd215 {

void encodeScenes(const ConfigImage& image, uint8_t* out) {
    for (int s = 0; s < kSceneCount; ++s) {
        uint8_t* record = out + s * kSceneRecordSize;
        std::memcpy(record, image.scenes[s].levels.data(), kChannelCount);
        writeLe16(record + kRecordRiseOffset, image.scenes[s].riseTime);
    }
}

void decodeScenes(const uint8_t* in, ConfigImage& image) {
    for (int s = 0; s < kSceneCount; ++s) {
        const uint8_t* record = in + s * kSceneRecordSize;
        std::memcpy(image.scenes[s].levels.data(), record, kChannelCount);
        image.scenes[s].riseTime = readLe16(record + kRecordRiseOffset);
    }
}

void encodeSteps(const Program& program, int stepCount, uint8_t* out) {
    for (int k = 0; k < stepCount; ++k) {
        uint8_t* record = out + k * kStepRecordSize;
        std::memcpy(record, program.steps[k].levels.data(), kChannelCount);
        writeLe16(record + kRecordRiseOffset, program.steps[k].riseTime);
        writeLe16(record + kRecordDurationOffset, program.steps[k].duration);
    }
}

void decodeSteps(const uint8_t* in, int stepCount, Program& program) {
    for (int k = 0; k < stepCount; ++k) {
        const uint8_t* record = in + k * kStepRecordSize;
        std::memcpy(program.steps[k].levels.data(), record, kChannelCount);
        program.steps[k].riseTime = readLe16(record + kRecordRiseOffset);
        program.steps[k].duration = readLe16(record + kRecordDurationOffset);
    }
}

}  // namespace kd215
