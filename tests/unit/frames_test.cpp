// Frames: request bytes, reply tests with their texts, decoding and the firmware text.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "link/frames.h"

namespace kd215 {
namespace {

std::vector<uint8_t> requestFor(ConfigArea area, TransferAction action, const ConfigImage& image) {
    FrameBuffer tx{};
    const std::size_t length =
        buildBlockRequest(tx, area, action, areaBlock(area).address, image);
    return std::vector<uint8_t>(tx.begin(), tx.begin() + static_cast<long>(length));
}

// A data reply for `area` as the controller would send it, with a valid checksum.
std::vector<uint8_t> dataReply(ConfigArea area, const std::vector<uint8_t>& payload) {
    const AreaBlock& block = areaBlock(area);
    std::vector<uint8_t> frame(payload.size() + kFrameOverhead, 0);
    frame[0] = 0x13;
    frame[1] = 0x46;
    frame[2] = static_cast<uint8_t>(block.address & 0xFF);
    frame[3] = static_cast<uint8_t>(block.address >> 8);
    frame[4] = block.length;
    std::copy(payload.begin(), payload.end(), frame.begin() + 5);
    frame.back() = FrameChecksum(frame.data(), payload.size());
    return frame;
}

unsigned byteSum(const std::vector<uint8_t>& bytes) {
    return std::accumulate(bytes.begin(), bytes.end(), 0u) & 0xFF;
}

TEST(Requests, ReadRequestsMatchTheWorkedFrames) {
    const ConfigImage image = defaultConfigImage();
    EXPECT_EQ(requestFor(ConfigArea::Settings, TransferAction::ReadController, image),
              (std::vector<uint8_t>{0x12, 0x46, 0x04, 0x00, 0x44, 0x60}));
    EXPECT_EQ(requestFor(ConfigArea::Scenes, TransferAction::ReadController, image),
              (std::vector<uint8_t>{0x12, 0x46, 0x50, 0x00, 0x50, 0x08}));
    EXPECT_EQ(requestFor(ConfigArea::Program1, TransferAction::Verify, image),
              (std::vector<uint8_t>{0x12, 0x46, 0xA0, 0x00, 0xAA, 0x5E}));
    EXPECT_EQ(requestFor(ConfigArea::Program2, TransferAction::ReadController, image),
              (std::vector<uint8_t>{0x12, 0x46, 0x4A, 0x01, 0xAA, 0xB3}));
}

TEST(Requests, ShortFramesSumToZero) {
    for (const auto* frame : {&kProbeFrame, &kAckFrame, &kVersionRequestFrame, &kRestartFrame}) {
        EXPECT_EQ((frame->at(0) + frame->at(1) + frame->at(2)) & 0xFF, 0);
    }
    EXPECT_EQ(kProbeFrame, (std::array<uint8_t, 3>{0x1B, 0x03, 0xE2}));
    EXPECT_EQ(kVersionRequestFrame, (std::array<uint8_t, 3>{0x12, 0x03, 0xEB}));
    EXPECT_EQ(kRestartFrame, (std::array<uint8_t, 3>{0x0F, 0x03, 0xEE}));
}

TEST(Requests, Program1WriteCarriesAllStepsEndStepAndFiller) {
    ConfigImage image = defaultConfigImage();
    Program& program = image.programs[0];
    program.endStep = kNoEndStep;
    program.steps[0].levels[0] = 0x11;
    program.steps[13].levels[7] = 0x77;
    program.steps[13].riseTime = 0x0302;
    program.steps[13].duration = 999;
    image.programs[1].steps[0].levels[0] = 0xEE;  // program 2 must not leak in

    const auto frame = requestFor(ConfigArea::Program1, TransferAction::WriteController, image);
    ASSERT_EQ(frame.size(), 176u);
    EXPECT_EQ(std::vector<uint8_t>(frame.begin(), frame.begin() + 5),
              (std::vector<uint8_t>{0x11, 0x46, 0xA0, 0x00, 0xAA}));
    EXPECT_EQ(frame[5], 0x11);
    EXPECT_EQ(frame[5 + 13 * 12 + 7], 0x77);
    EXPECT_EQ(frame[5 + 13 * 12 + 8], 0x02);
    EXPECT_EQ(frame[5 + 13 * 12 + 9], 0x03);
    EXPECT_EQ(frame[5 + 13 * 12 + 10], 999 & 0xFF);
    EXPECT_EQ(frame[5 + 13 * 12 + 11], 999 >> 8);
    EXPECT_EQ(frame[5 + 168], kNoEndStep);
    EXPECT_EQ(frame[5 + 169], 0xFF);
    EXPECT_EQ(byteSum(frame), 0u);
}

TEST(Requests, SettingsWritePacksMaskAndModeNibbles) {
    ConfigImage image = defaultConfigImage();
    image.channels[0].inputInverted = 1;    // as read from the controller
    image.channels[2].inputInverted = 255;  // as an editor stores it
    image.common.operatingMode = 5;
    image.common.commonInputMode = 2;
    image.channels[7].reserved = 0xAB;  // never on the wire
    image.channels[7].fallTime = 0x1234;

    const auto frame = requestFor(ConfigArea::Settings, TransferAction::WriteController, image);
    ASSERT_EQ(frame.size(), 74u);
    const uint8_t* p = frame.data() + 5;
    EXPECT_EQ(p[0], 0x05);
    EXPECT_EQ(p[1], 0x25);
    EXPECT_EQ(p[2], 30);
    EXPECT_EQ(p[3], 30);
    EXPECT_EQ(p[12], 100);  // default upper limit of channel 1
    EXPECT_EQ(p[52 + 14], 0x34);
    EXPECT_EQ(p[52 + 15], 0x12);
    EXPECT_EQ(byteSum(frame), 0u);
}

TEST(Replies, AcknowledgementNeedsAllThreeBytes) {
    const uint8_t ack[] = {0x06, 0x03, 0xF7};
    EXPECT_TRUE(isAcknowledgement(ack, 3));
    EXPECT_FALSE(isAcknowledgement(ack, 2));
    EXPECT_FALSE(isAcknowledgement(ack, 0));  // what an earlier exchange left never counts
    const uint8_t nak[] = {0x15, 0x03, 0xE8};
    EXPECT_FALSE(isAcknowledgement(nak, 3));
}

TEST(Replies, EachFailureNamesItsDetail) {
    const std::vector<uint8_t> good = dataReply(ConfigArea::Scenes, std::vector<uint8_t>(80, 7));
    EXPECT_TRUE(checkBlockReply(good.data(), good.size(), 80).passed);

    auto sumsToOne = good;
    sumsToOne.back() = static_cast<uint8_t>(sumsToOne.back() + 1);
    auto check = checkBlockReply(sumsToOne.data(), sumsToOne.size(), 80);
    EXPECT_FALSE(check.passed);
    EXPECT_EQ(check.detail, "suma kontrolna = 255");

    auto wrongLength = good;
    wrongLength[4] = 0x44;
    EXPECT_EQ(checkBlockReply(wrongLength.data(), wrongLength.size(), 80).detail, "brak danych : 86");

    EXPECT_EQ(checkBlockReply(good.data(), 0, 80).detail, "brak danych : 0");
    EXPECT_EQ(checkBlockReply(good.data(), 40, 80).detail, "brak danych : 40");

    auto highAddress = good;
    highAddress[1] = 0xC6;
    highAddress.back() = 0;
    highAddress.back() = FrameChecksum(highAddress.data(), 80);
    check = checkBlockReply(highAddress.data(), highAddress.size(), 80);
    EXPECT_EQ(check.detail, "adres zwrotny " + std::to_string(65536 + 80));

    auto nak = good;
    nak[0] = 0x15;
    EXPECT_EQ(checkBlockReply(nak.data(), nak.size(), 80).detail, "NAK");
    EXPECT_EQ(checkBlockReply(nak.data(), 1, 80).detail, "NAK");
}

TEST(Replies, ANakLeftInTheBufferIsNotThisExchangesAnswer) {
    const uint8_t stale[] = {0x15, 0x03, 0xE8};
    EXPECT_EQ(checkBlockReply(stale, 0, 80).detail, "brak danych : 0");
}

TEST(Replies, PerAreaTestChecksCodeSelectorAndLength) {
    const auto scenes = dataReply(ConfigArea::Scenes, std::vector<uint8_t>(80, 0));
    EXPECT_TRUE(passesAreaTest(scenes.data(), ConfigArea::Scenes, 80));
    EXPECT_FALSE(passesAreaTest(scenes.data(), ConfigArea::Program1, 80));  // length 0x50, not 0xAA

    auto wrongCode = scenes;
    wrongCode[0] = 0x11;
    EXPECT_FALSE(passesAreaTest(wrongCode.data(), ConfigArea::Scenes, 80));
    auto wrongSelector = scenes;
    wrongSelector[1] = 0x06;
    EXPECT_FALSE(passesAreaTest(wrongSelector.data(), ConfigArea::Scenes, 80));

    const uint8_t version[] = {0x13, 0x06, 0x00, 0x00, 0x02, 0x05, 0x01, 0xDF};
    EXPECT_TRUE(checkBlockReply(version, sizeof version, 0).passed);
    EXPECT_TRUE(passesAreaTest(version, ConfigArea::Version, 0));
    EXPECT_FALSE(passesAreaTest(version, ConfigArea::Scenes, 0));
}

TEST(Decoding, SettingsNibblesMaskAndTimes) {
    std::vector<uint8_t> payload(68, 0);
    payload[0] = 0x81;
    payload[1] = 0x25;
    payload[2] = 12;
    payload[3] = 99;
    payload[4 + 7] = 9;
    payload[36 + 2] = 0xE7;
    payload[36 + 3] = 0x03;
    ConfigImage image = defaultConfigImage();
    image.channels[3].reserved = 0x5A;
    decodeAreaPayload(payload.data(), ConfigArea::Settings, image);
    EXPECT_EQ(image.common.commonInputMode, 2);
    EXPECT_EQ(image.common.operatingMode, 5);
    EXPECT_EQ(image.common.switchOnTime, 12);
    EXPECT_EQ(image.common.switchOffTime, 99);
    EXPECT_EQ(image.channels[0].inputInverted, 1);
    EXPECT_EQ(image.channels[7].inputInverted, 1);
    EXPECT_EQ(image.channels[1].inputInverted, 0);
    EXPECT_EQ(image.channels[7].minLevel, 9);
    EXPECT_EQ(image.channels[1].duration, 999);
    EXPECT_EQ(image.channels[3].reserved, 0x5A);
}

TEST(Decoding, ProgramKeepsLowNibbleOfEndStepAndIgnoresFiller) {
    std::vector<uint8_t> payload(170, 0);
    payload[168] = 0xF3;
    payload[169] = 0x42;
    payload[13 * 12 + 10] = 0x10;
    ConfigImage image = defaultConfigImage();
    decodeAreaPayload(payload.data(), ConfigArea::Program2, image);
    EXPECT_EQ(image.programs[1].endStep, 3);
    EXPECT_EQ(image.programs[1].steps[13].duration, 0x10);
    EXPECT_EQ(image.programs[0].endStep, 0);  // program 1 untouched
}

TEST(Decoding, WriteThenReadRoundTripsEveryArea) {
    ConfigImage image = defaultConfigImage();
    uint8_t n = 1;
    for (Scene& s : image.scenes) for (auto& l : s.levels) l = n++;
    image.scenes[7].riseTime = 777;
    image.programs[1].steps[9].duration = 512;
    image.programs[1].endStep = 11;
    image.channels[4].inputInverted = 1;
    image.channels[4].fallTime = 65535;
    image.common = {6, 1, 0, 99};

    for (const AreaBlock& block : kAreaBlocks) {
        const auto frame = requestFor(block.area, TransferAction::WriteController, image);
        ConfigImage copy = defaultConfigImage();
        decodeAreaPayload(frame.data() + 5, block.area, copy);
        std::vector<uint8_t> again(block.length);
        encodeAreaPayload(copy, block.area, again.data());
        EXPECT_EQ(again, std::vector<uint8_t>(frame.begin() + 5, frame.end() - 1)) << block.fileExtension;
    }
}

TEST(Firmware, VersionTexts) {
    uint8_t reply[] = {0x13, 0x06, 0x00, 0x00, 0x02, 0x05, 0x01, 0xDF};
    EXPECT_EQ(firmwareStatusText(reply), "\tFW : 1.05");
    reply[6] = 10;
    EXPECT_EQ(firmwareStatusText(reply), "\tFW : ?.??");
    reply[5] = 100;
    reply[6] = 2;
    EXPECT_EQ(firmwareStatusText(reply), "\tFW : 2.??");
    reply[5] = 99;
    reply[6] = 0;
    EXPECT_EQ(firmwareStatusText(reply), "\tFW : 0.99");
    EXPECT_LE(firmwareStatusText(reply).size() + 1, 12u);  // fits the status buffer
}

}  // namespace
}  // namespace kd215
