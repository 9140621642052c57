// Frames: request bytes, and the reply tests with the texts they give.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "link/frames.h"
#include "link/link_state.h"

namespace kd215 {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes requestFor(ConfigArea area, TransferAction action, const ConfigImage& image) {
    FrameBuffer tx{};
    const std::size_t n = buildBlockRequest(tx, area, action, areaBlock(area).address, image);
    return Bytes(tx.begin(), tx.begin() + static_cast<long>(n));
}

// A scenes reply as the controller sends it, with a valid checksum.
Bytes scenesReply() {
    Bytes frame = {0x13, 0x46, 0x50, 0x00, 0x50};
    frame.resize(80 + kFrameOverhead - 1, 7);
    frame.push_back(0);
    frame.back() = FrameChecksum(frame.data(), 80);
    return frame;
}

bool sumsToZero(const Bytes& frame) { return (std::accumulate(frame.begin(), frame.end(), 0u) & 0xFF) == 0; }

TEST(Requests, ReadAndVerifyRequestsAreTheControllersFrames) {
    const ConfigImage image = defaultConfigImage();
    EXPECT_EQ(requestFor(ConfigArea::Settings, TransferAction::ReadController, image),
              (Bytes{0x12, 0x46, 0x04, 0x00, 0x44, 0x60}));
    EXPECT_EQ(requestFor(ConfigArea::Scenes, TransferAction::ReadController, image),
              (Bytes{0x12, 0x46, 0x50, 0x00, 0x50, 0x08}));
    EXPECT_EQ(requestFor(ConfigArea::Program1, TransferAction::Verify, image),
              (Bytes{0x12, 0x46, 0xA0, 0x00, 0xAA, 0x5E}));
    EXPECT_EQ(requestFor(ConfigArea::Program2, TransferAction::ReadController, image),
              (Bytes{0x12, 0x46, 0x4A, 0x01, 0xAA, 0xB3}));
}

TEST(Requests, ProgramWriteCarriesAllFourteenStepsEndStepAndFiller) {
    ConfigImage image = defaultConfigImage();
    image.programs[0].endStep = kNoEndStep;
    image.programs[0].steps[13].levels[7] = 0x77;
    image.programs[0].steps[13].riseTime = 0x0302;
    image.programs[1].steps[0].levels[0] = 0xEE;  // program 2 must not leak in
    const Bytes frame = requestFor(ConfigArea::Program1, TransferAction::WriteController, image);
    ASSERT_EQ(frame.size(), 176u);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 6), (Bytes{0x11, 0x46, 0xA0, 0x00, 0xAA, 0x00}));
    EXPECT_EQ(Bytes(frame.begin() + 5 + 13 * 12 + 7, frame.begin() + 5 + 13 * 12 + 10), (Bytes{0x77, 0x02, 0x03}));
    EXPECT_EQ(frame[5 + 168], kNoEndStep);
    EXPECT_EQ(frame[5 + 169], 0xFF);
    EXPECT_TRUE(sumsToZero(frame));
}

TEST(Requests, SettingsWritePacksModeNibblesAndInversionMask) {
    ConfigImage image = defaultConfigImage();
    image.channels[0].inputInverted = 1;    // as read from the controller
    image.channels[2].inputInverted = 255;  // as an editor stores it
    image.common.operatingMode = 5;
    image.common.commonInputMode = 2;
    image.channels[7].reserved = 0xAB;  // never on the wire
    image.channels[7].fallTime = 0x1234;
    const Bytes frame = requestFor(ConfigArea::Settings, TransferAction::WriteController, image);
    ASSERT_EQ(frame.size(), 74u);
    EXPECT_EQ(Bytes(frame.begin() + 5, frame.begin() + 9), (Bytes{0x05, 0x25, 30, 30}));
    EXPECT_EQ(Bytes(frame.begin() + 5 + 66, frame.end() - 1), (Bytes{0x34, 0x12}));
    EXPECT_TRUE(sumsToZero(frame));
}

TEST(Replies, AcknowledgementNeedsAllThreeBytes) {
    const uint8_t ack[] = {0x06, 0x03, 0xF7}, nak[] = {0x15, 0x03, 0xE8};
    EXPECT_TRUE(isAcknowledgement(ack, 3));
    EXPECT_FALSE(isAcknowledgement(ack, 2));
    EXPECT_FALSE(isAcknowledgement(ack, 0));  // what an earlier exchange left never counts
    EXPECT_FALSE(isAcknowledgement(nak, 3));
}

TEST(Replies, EachFailureNamesItsDetail) {
    const Bytes good = scenesReply();
    EXPECT_TRUE(checkBlockReply(good.data(), good.size(), 80).passed);
    struct Case { const char* what; Bytes frame; std::size_t received; std::string text; };
    Bytes badSum = good, longer = good, highAddress = good, nak = good;
    badSum.back() = static_cast<uint8_t>(badSum.back() + 1);
    longer[4] = 0x44;
    highAddress[1] = 0xC6;
    highAddress.back() = 0;
    highAddress.back() = FrameChecksum(highAddress.data(), 80);
    nak[0] = 0x15;
    const Case cases[] = {
        {"checksum", badSum, 86, "Błąd komunikacji : suma kontrolna = 255"},
        {"length byte", longer, 86, "Błąd komunikacji : brak danych : 86"},
        {"nothing, a NAK left in the buffer", nak, 0, "Błąd komunikacji : brak danych : 0"},
        {"half", good, 40, "Błąd komunikacji : brak danych : 40"},
        {"address", highAddress, 86, "Błąd komunikacji : adres zwrotny " + std::to_string(65536 + 80)},
        {"nak", nak, 86, "Błąd komunikacji : NAK"},
        {"nak byte alone", nak, 1, "Błąd komunikacji : NAK"},
    };
    for (const Case& c : cases) {
        const BlockReplyCheck check = checkBlockReply(c.frame.data(), c.received, 80);
        EXPECT_FALSE(check.passed) << c.what;
        EXPECT_EQ(transferFaultText({check.fault, check.faultValue}), c.text) << c.what;
    }
}

TEST(Replies, AreaTestChecksCodeSelectorAndLength) {
    const Bytes scenes = scenesReply();
    EXPECT_TRUE(passesAreaTest(scenes.data(), ConfigArea::Scenes, 80));
    EXPECT_FALSE(passesAreaTest(scenes.data(), ConfigArea::Program1, 80));
    Bytes wrongCode = scenes, wrongSelector = scenes;
    wrongCode[0] = 0x11;
    wrongSelector[1] = 0x06;
    EXPECT_FALSE(passesAreaTest(wrongCode.data(), ConfigArea::Scenes, 80));
    EXPECT_FALSE(passesAreaTest(wrongSelector.data(), ConfigArea::Scenes, 80));
    const uint8_t version[] = {0x13, 0x06, 0x00, 0x00, 0x02, 0x05, 0x01, 0xDF};
    EXPECT_TRUE(passesAreaTest(version, ConfigArea::Version, 0));
    EXPECT_FALSE(passesAreaTest(version, ConfigArea::Scenes, 0));
}

}  // namespace
}  // namespace kd215
