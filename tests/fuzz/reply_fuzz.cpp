// libFuzzer target: untrusted reply bytes and file bytes through the tests, decoding and verify.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "config/area_files.h"
#include "link/frames.h"
#include "link/verify.h"

using namespace kd215;

namespace {

void require(bool condition) {
    if (!condition) __builtin_trap();
}

// A reply accepted by both tests must decode and re-encode to the same payload, but for the
// bits the image does not keep (the end step's high nibble and the filler byte).
void checkRoundTrip(const uint8_t* payload, ConfigArea area) {
    ConfigImage image = defaultConfigImage();
    decodeAreaPayload(payload, area, image);
    uint8_t again[kFrameBufferSize] = {};
    encodeAreaPayload(image, area, again);
    const std::size_t length = areaBlock(area).length;
    for (std::size_t i = 0; i < length; ++i) {
        if (area >= ConfigArea::Program1 && i == 168) {
            require(again[i] == (payload[i] & 0x0F));
        } else if (area >= ConfigArea::Program1 && i == 169) {
            require(again[i] == 0xFF);
        } else {
            require(again[i] == payload[i]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const auto area = static_cast<ConfigArea>(data[0] % 5);  // four data areas and Version
    const bool answerYes = data[1] & 1;
    data += 2;
    size -= 2;

    // The receive buffer as the port leaves it: what arrived, then stale bytes.
    uint8_t rx[kFrameBufferSize];
    std::memset(rx, 0xA5, sizeof rx);
    const std::size_t received = size < kFrameBufferSize ? size : kFrameBufferSize;
    std::memcpy(rx, data, received);

    const uint32_t transferAddress = area == ConfigArea::Version ? 0 : areaBlock(area).address;
    const BlockReplyCheck check = checkBlockReply(rx, received, transferAddress);
    require(check.passed || check.fault <= TransferFault::NoData);  // only the reply's own faults
    isAcknowledgement(rx, received);

    if (check.passed && passesAreaTest(rx, area, transferAddress)) {
        require(received == areaBlock(area == ConfigArea::Version ? ConfigArea::Settings : area).length + 6u ||
                area == ConfigArea::Version);
        if (area == ConfigArea::Version) {
            require(firmwareVersionText(firmwareVersionOf(rx)).size() == 4);
        } else {
            checkRoundTrip(rx + kPayloadOffset, area);
            const ConfigImage image = defaultConfigImage();
            const ConfigImage before = image;
            for (const VerifyDifference& difference : verifyDifferences(area, rx + kPayloadOffset, image)) {
                require(verifyPromptText(difference).size() < 100);
                if (!answerYes) break;
            }
            require(std::memcmp(&before, &image, sizeof image) == 0);
        }
    }

    if (area != ConfigArea::Version) {
        ConfigImage image = defaultConfigImage();
        const ConfigImage before = image;
        const bool loaded = decodeAreaFile(ByteBuffer(data, data + size), area, image);
        require(loaded == (size >= areaFileSize(area)));
        if (!loaded) require(std::memcmp(&before, &image, sizeof image) == 0);
    }
    return 0;
}
