// The simulated controller's logic: replies byte for byte, rejected frames, frame assembly and faults.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "config/config_image.h"
#include "controller.h"
#include "link/frames.h"

namespace kd215 {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kProbe = {0x1B, 0x03, 0xE2};
const Bytes kAck = {0x06, 0x03, 0xF7};
const Bytes kVersionRequest = {0x12, 0x03, 0xEB};
const Bytes kRestart = {0x0F, 0x03, 0xEE};
const Bytes kNak = {0x15, 0x03, 0xE8};

std::vector<SimRxEvent> feed(SimController& sim, const Bytes& bytes) {
    std::vector<SimRxEvent> events;
    receiveBytes(sim, bytes.data(), bytes.size(), events);
    return events;
}

// Sends one request and returns the reply; fails the test unless exactly one request was seen.
Bytes ask(SimController& sim, const Bytes& request) {
    auto events = feed(sim, request);
    EXPECT_EQ(events.size(), 1u);
    if (events.size() != 1) return {};
    EXPECT_TRUE(events[0].recognised) << events[0].note;
    return events[0].reply;
}

Bytes seal(Bytes frame) {
    frame.push_back(0);
    unsigned sum = std::accumulate(frame.begin(), frame.end(), 0u);
    frame.back() = static_cast<uint8_t>(-sum);
    return frame;
}

Bytes readRequest(uint16_t address, uint8_t length) {
    return seal({0x12, 0x46, static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(address >> 8),
                 length});
}

Bytes writeRequest(uint16_t address, const Bytes& payload) {
    Bytes frame = {0x11, 0x46, static_cast<uint8_t>(address & 0xFF),
                   static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(payload.size())};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return seal(frame);
}

Bytes pattern(std::size_t count, uint8_t seed) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

SimController controllerWithPattern() {
    SimController sim;
    for (std::size_t i = 0; i < sim.memory.size(); ++i) sim.memory[i] = static_cast<uint8_t>(i * 13 + 1);
    return sim;
}

unsigned byteSum(const Bytes& bytes) { return std::accumulate(bytes.begin(), bytes.end(), 0u) & 0xFF; }

// --- Requests answered as the PC expects -----------------------------------------------------

TEST(SimRequests, ProbeAndVersionAreAnsweredByteForByte) {
    SimController sim;
    EXPECT_EQ(ask(sim, kProbe), kAck);
    EXPECT_EQ(ask(sim, kVersionRequest), (Bytes{0x13, 0x06, 0x00, 0x00, 0x02, 0x05, 0x01, 0xDF}));

    sim.firmwareMajor = 2;
    sim.firmwareMinor = 100;
    EXPECT_EQ(ask(sim, kVersionRequest), (Bytes{0x13, 0x06, 0x00, 0x00, 0x02, 0x64, 0x02, 0x7F}));
    sim.firmwareMajor = 255;
    sim.firmwareMinor = 255;
    Bytes odd = ask(sim, kVersionRequest);
    ASSERT_EQ(odd.size(), 8u);
    EXPECT_EQ(odd[5], 255);
    EXPECT_EQ(odd[6], 255);
    EXPECT_EQ(byteSum(odd), 0u);
}

TEST(SimRequests, ReadOfEachAreaReturnsThatBlockOfMemoryAndPassesThePcTests) {
    SimController sim = controllerWithPattern();
    const ConfigImage image = defaultConfigImage();
    for (const AreaBlock& block : kAreaBlocks) {
        FrameBuffer tx{};
        std::size_t size = buildBlockRequest(tx, block.area, TransferAction::ReadController,
                                             block.address, image);
        Bytes reply = ask(sim, Bytes(tx.begin(), tx.begin() + size));
        ASSERT_EQ(reply.size(), block.length + kFrameOverhead) << block.statusLabel;
        EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 5),
                  (Bytes{0x13, 0x46, static_cast<uint8_t>(block.address & 0xFF),
                         static_cast<uint8_t>(block.address >> 8), block.length}));
        EXPECT_EQ(Bytes(reply.begin() + 5, reply.end() - 1),
                  Bytes(sim.memory.begin() + block.address,
                        sim.memory.begin() + block.address + block.length));
        BlockReplyCheck check = checkBlockReply(reply.data(), reply.size(), block.address);
        EXPECT_TRUE(check.passed) << check.detail;
        EXPECT_TRUE(passesAreaTest(reply.data(), block.area, block.address));
    }
}

TEST(SimRequests, WriteStoresPayloadAtItsAddressOnlyAndAcknowledges) {
    SimController sim = controllerWithPattern();
    const SimMemory before = sim.memory;
    const Bytes payload = pattern(170, 0x40);

    auto events = feed(sim, writeRequest(330, payload));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].request, SimRequest::WriteBlock);
    EXPECT_EQ(events[0].reply, kAck);
    EXPECT_TRUE(events[0].memoryChanged);
    for (std::size_t i = 0; i < sim.memory.size(); ++i) {
        uint8_t expected = (i >= 330 && i < 500) ? payload[i - 330] : before[i];
        ASSERT_EQ(sim.memory[i], expected) << "address " << i;
    }
    // What was written reads back.
    Bytes reply = ask(sim, readRequest(330, 170));
    EXPECT_EQ(Bytes(reply.begin() + 5, reply.end() - 1), payload);
}

TEST(SimRequests, WriteFramesTheCoreBuildsAreStoredWhereTheAreaLives) {
    SimController sim;
    ConfigImage image = defaultConfigImage();
    image.scenes[7].levels[7] = 0xAB;
    image.scenes[7].riseTime = 0x1234;
    FrameBuffer tx{};
    std::size_t size = buildBlockRequest(tx, ConfigArea::Scenes, TransferAction::WriteController,
                                         80, image);
    EXPECT_EQ(ask(sim, Bytes(tx.begin(), tx.begin() + size)), kAck);
    EXPECT_EQ(sim.memory[80 + 7 * 10 + 7], 0xAB);
    EXPECT_EQ(readLe16(&sim.memory[80 + 7 * 10 + 8]), 0x1234);
}

TEST(SimRequests, RestartGetsNoReplyAndIsCounted) {
    SimController sim;
    auto events = feed(sim, kRestart);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].recognised);
    EXPECT_EQ(events[0].request, SimRequest::Restart);
    EXPECT_TRUE(events[0].reply.empty());
    feed(sim, kRestart);
    EXPECT_EQ(sim.restartCount, 2u);
}

// --- Frames a device ignores -----------------------------------------------------------------

TEST(SimRejects, BadChecksumGetsNoReplyAndAWriteStoresNothing) {
    SimController sim = controllerWithPattern();
    const SimMemory before = sim.memory;
    Bytes badWrite = writeRequest(80, pattern(80, 1));
    badWrite.back() ^= 0x01;
    for (const Bytes& frame : {Bytes{0x1B, 0x03, 0xE3}, Bytes{0x12, 0x03, 0xEA},
                               Bytes{0x12, 0x46, 0x50, 0x00, 0x50, 0x09}, badWrite}) {
        auto events = feed(sim, frame);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_FALSE(events[0].recognised);
        EXPECT_TRUE(events[0].reply.empty());
        EXPECT_EQ(events[0].note, "bad checksum");
        EXPECT_EQ(events[0].received, frame);
    }
    EXPECT_EQ(sim.memory, before);
}

TEST(SimRejects, BlocksReachingPastMemoryGetNoReply) {
    SimController sim = controllerWithPattern();
    const SimMemory before = sim.memory;
    const Bytes selectorWithHighAddressBit = seal({0x12, 0xC6, 0x50, 0x00, 0x50});
    for (const Bytes& frame : {readRequest(500, 13), writeRequest(510, pattern(3, 9)),
                               readRequest(512, 0), selectorWithHighAddressBit}) {
        auto events = feed(sim, frame);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_FALSE(events[0].recognised);
        EXPECT_TRUE(events[0].reply.empty());
        EXPECT_EQ(events[0].note, "address out of range");
    }
    EXPECT_EQ(sim.memory, before);
    // The very last bytes are still reachable.
    EXPECT_EQ(ask(sim, readRequest(500, 12)).size(), 18u);
    EXPECT_EQ(ask(sim, writeRequest(511, {0x5A})), kAck);
    EXPECT_EQ(sim.memory[511], 0x5A);
}

TEST(SimRejects, UnknownShapesAreSkippedAndTheNextFrameIsStillFound) {
    SimController sim;
    // A probe code with a wrong second byte, a read code with an unknown selector, then a probe.
    auto events = feed(sim, {0x1B, 0x04, 0x12, 0x47, 0x1B, 0x03, 0xE2});
    ASSERT_FALSE(events.empty());
    EXPECT_TRUE(events.back().recognised);
    EXPECT_EQ(events.back().reply, kAck);
    for (std::size_t i = 0; i + 1 < events.size(); ++i) {
        EXPECT_FALSE(events[i].recognised);
        EXPECT_TRUE(events[i].reply.empty());
    }
}

// --- Bytes as they come -------------------------------------------------------------------------

TEST(SimAssembly, FrameArrivingByteByByteIsAnsweredOnceWhenComplete) {
    SimController sim;
    const Bytes frame = writeRequest(4, pattern(68, 3));
    std::vector<SimRxEvent> events;
    for (std::size_t i = 0; i < frame.size(); ++i) {
        receiveBytes(sim, &frame[i], 1, events);
        ASSERT_EQ(events.size(), i + 1 == frame.size() ? 1u : 0u) << "after byte " << i;
    }
    EXPECT_EQ(events[0].reply, kAck);
    EXPECT_EQ(events[0].received, frame);
}

TEST(SimAssembly, TwoFramesBackToBackAreAnsweredInOrder) {
    SimController sim = controllerWithPattern();
    Bytes both = readRequest(80, 80);
    both.insert(both.end(), kProbe.begin(), kProbe.end());
    auto events = feed(sim, both);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].request, SimRequest::ReadBlock);
    EXPECT_EQ(events[0].reply.size(), 86u);
    EXPECT_EQ(events[1].reply, kAck);
}

TEST(SimAssembly, GarbageBeforeAFrameIsDroppedAsOneStretch) {
    SimController sim;
    auto events = feed(sim, {0x00, 0xFF, 0x55, 0x06, 0x1B, 0x03, 0xE2});
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[0].recognised);
    EXPECT_EQ(events[0].received, (Bytes{0x00, 0xFF, 0x55, 0x06}));
    EXPECT_EQ(events[1].reply, kAck);
}

TEST(SimAssembly, PartialFrameIsDroppedAfterALineGap) {
    SimController sim;
    EXPECT_TRUE(feed(sim, {0x11, 0x46, 0x50, 0x00, 0x50, 0x01, 0x02}).empty());
    EXPECT_TRUE(hasPartialFrame(sim));
    std::vector<SimRxEvent> events;
    noteLineGap(sim, events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].received.size(), 7u);
    EXPECT_FALSE(hasPartialFrame(sim));
    EXPECT_EQ(ask(sim, kProbe), kAck);
    EXPECT_EQ(sim.memory[80], 0);
}

// --- Faults --------------------------------------------------------------------------------------

TEST(SimFaults, SilentAndNakRefuseAWriteWithoutStoringIt) {
    SimController sim;
    addFault(sim, SimFaultKind::Silent, 1);
    addFault(sim, SimFaultKind::Nak, 1);
    const Bytes write = writeRequest(160, pattern(170, 5));

    auto silent = feed(sim, write);
    ASSERT_EQ(silent.size(), 1u);
    EXPECT_TRUE(silent[0].reply.empty());
    EXPECT_FALSE(silent[0].memoryChanged);
    EXPECT_EQ(silent[0].note, "fault silent");

    auto nak = feed(sim, write);
    ASSERT_EQ(nak.size(), 1u);
    EXPECT_EQ(nak[0].reply, kNak);
    EXPECT_FALSE(nak[0].memoryChanged);
    EXPECT_EQ(sim.memory[160], 0);

    // Both used up: the same write now goes through.
    EXPECT_EQ(ask(sim, write), kAck);
    EXPECT_EQ(sim.memory[160], 5);
}

TEST(SimFaults, ReplyOnlyFaultsSpoilTheAckButStoreTheWrite) {
    const Bytes payload = pattern(80, 11);
    for (SimFaultKind kind : {SimFaultKind::BadChecksum, SimFaultKind::ShortReply, SimFaultKind::Garbage}) {
        SimController sim;
        addFault(sim, kind, 1);
        Bytes reply = ask(sim, writeRequest(80, payload));
        EXPECT_FALSE(isAcknowledgement(reply.data(), reply.size())) << faultKindName(kind);
        EXPECT_EQ(Bytes(sim.memory.begin() + 80, sim.memory.begin() + 160), payload) << faultKindName(kind);
    }
    SimController sim;
    addFault(sim, SimFaultKind::ShortReply, 1);
    EXPECT_EQ(ask(sim, kProbe), (Bytes{0x06, 0x03}));
}

TEST(SimFaults, DataReplyFaultsAreSeenByThePcAsTheirOwnError) {
    SimController sim = controllerWithPattern();
    const Bytes request = readRequest(80, 80);
    const Bytes good = ask(sim, request);

    addFault(sim, SimFaultKind::BadChecksum, 1);
    Bytes reply = ask(sim, request);
    BlockReplyCheck check = checkBlockReply(reply.data(), reply.size(), 80);
    EXPECT_FALSE(check.passed);
    EXPECT_EQ(reply.size(), good.size());
    EXPECT_EQ(check.replyResidue, 255);

    addFault(sim, SimFaultKind::BadAddress, 1);
    reply = ask(sim, request);
    check = checkBlockReply(reply.data(), reply.size(), 80);
    EXPECT_EQ(check.replyResidue, 0);
    EXPECT_EQ(check.replyAddress, 81u);
    EXPECT_FALSE(check.passed);

    addFault(sim, SimFaultKind::WrongLength, 1);
    reply = ask(sim, request);
    EXPECT_EQ(reply.size(), good.size());
    EXPECT_EQ(reply[4], 81);
    EXPECT_EQ(byteSum(reply), 0u);
    EXPECT_FALSE(checkBlockReply(reply.data(), reply.size(), 80).passed);

    addFault(sim, SimFaultKind::ShortReply, 1);
    EXPECT_EQ(ask(sim, request), Bytes(good.begin(), good.begin() + 43));

    addFault(sim, SimFaultKind::Garbage, 1);
    reply = ask(sim, request);
    EXPECT_EQ(reply.size(), good.size());
    EXPECT_NE(reply, good);

    addFault(sim, SimFaultKind::Nak, 1);
    EXPECT_EQ(ask(sim, request), kNak);

    EXPECT_EQ(ask(sim, request), good);
}

TEST(SimFaults, VersionReplyCanCarryAnotherAddress) {
    SimController sim;
    addFault(sim, SimFaultKind::BadAddress, 1);
    Bytes reply = ask(sim, kVersionRequest);
    BlockReplyCheck check = checkBlockReply(reply.data(), reply.size(), 0);
    EXPECT_FALSE(check.passed);
    EXPECT_EQ(check.replyAddress, 1u);
}

TEST(SimFaults, FaultLastsItsCountThenExpires) {
    SimController sim;
    addFault(sim, SimFaultKind::Silent, 3);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(ask(sim, kProbe).empty()) << "exchange " << i;
    EXPECT_EQ(ask(sim, kProbe), kAck);
    EXPECT_TRUE(sim.faults.empty());
}

TEST(SimFaults, HeaderFaultsWaitForADataReplyAndRestartSpoilsNothing) {
    SimController sim = controllerWithPattern();
    addFault(sim, SimFaultKind::BadAddress, 1);
    addFault(sim, SimFaultKind::Silent, 1);
    // The probe has no address to change: it takes the silent fault queued behind.
    EXPECT_TRUE(ask(sim, kProbe).empty());
    feed(sim, kRestart);
    EXPECT_EQ(ask(sim, writeRequest(4, {1, 2})), kAck);
    Bytes reply = ask(sim, readRequest(4, 2));
    EXPECT_EQ(readLe16(&reply[2]), 5);
    EXPECT_TRUE(sim.faults.empty());
}

TEST(SimFaults, NoProbeIgnoresOnlyProbesAndCountsThem) {
    SimController sim = controllerWithPattern();
    addFault(sim, SimFaultKind::NoProbe, 2);
    EXPECT_TRUE(ask(sim, kProbe).empty());
    EXPECT_EQ(ask(sim, kVersionRequest).size(), 8u);
    EXPECT_EQ(ask(sim, readRequest(4, 68)).size(), 74u);
    EXPECT_TRUE(ask(sim, kProbe).empty());
    EXPECT_EQ(ask(sim, kProbe), kAck);
}

TEST(SimFaults, UnpluggedControllerAnswersNothingAndStoresNothing) {
    SimController sim;
    sim.unplugged = true;
    auto events = feed(sim, writeRequest(80, pattern(80, 1)));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0].recognised);
    EXPECT_TRUE(events[0].reply.empty());
    EXPECT_EQ(sim.memory[80], 0);
    sim.unplugged = false;
    EXPECT_EQ(ask(sim, kProbe), kAck);
}

}  // namespace
}  // namespace kd215
