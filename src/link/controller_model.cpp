// The simulated controller's logic: frame assembly, request handling, replies and faults.
#include "link/controller_model.h"

#include <algorithm>
#include <cstring>

namespace kd215 {
namespace {

struct FaultName {
    SimFaultKind kind;
    const char* name;
};

constexpr FaultName kFaultNames[] = {
    {SimFaultKind::Silent, "silent"},
    {SimFaultKind::Nak, "nak"},
    {SimFaultKind::BadChecksum, "bad-checksum"},
    {SimFaultKind::BadAddress, "bad-address"},
    {SimFaultKind::ShortReply, "short-reply"},
    {SimFaultKind::WrongLength, "wrong-length"},
    {SimFaultKind::Garbage, "garbage"},
    {SimFaultKind::NoProbe, "no-probe"},
};

constexpr uint8_t kNakFrame[] = {0x15, 0x03, 0xE8};
constexpr std::size_t kShortFrameSize = 3;
constexpr std::size_t kBlockHeaderSize = 5;

uint8_t code(FrameCode c) { return static_cast<uint8_t>(c); }

bool isBlockSelector(uint8_t selector) { return (selector & 0x7F) == kBlockSelector; }

// Makes the bytes of `frame` add up to 0 modulo 256 through its last byte.
void sealFrame(ByteBuffer& frame) {
    frame.back() = 0;
    unsigned sum = 0;
    for (uint8_t b : frame) sum += b;
    frame.back() = static_cast<uint8_t>(-sum);
}

uint8_t nextGarbageByte(SimController& sim) {
    uint32_t x = sim.garbageState;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    sim.garbageState = x;
    return static_cast<uint8_t>(x >> 24);
}

void dropBytes(SimController& sim, std::size_t count, const char* note,
               std::vector<SimRxEvent>& events) {
    // Consecutive drops for the same reason read better as one stretch.
    bool extendLast = !events.empty() && !events.back().recognised && events.back().note == note;
    if (!extendLast) {
        events.emplace_back();
        events.back().note = note;
    }
    auto& received = events.back().received;
    received.insert(received.end(), sim.assembly.begin(), sim.assembly.begin() + count);
    std::memmove(sim.assembly.data(), sim.assembly.data() + count, sim.assembled - count);
    sim.assembled -= count;
}

bool isFrameStart(uint8_t b) {
    return b == code(FrameCode::Probe) || b == code(FrameCode::RestartController) ||
           b == code(FrameCode::ReadBlock) || b == code(FrameCode::WriteBlock);
}

enum class Shape { NeedMore, Unknown, Complete };

// Decides how long the frame at the start of the assembly is. `length` is set when Complete.
Shape frameShape(const SimController& sim, std::size_t& length) {
    const uint8_t* f = sim.assembly.data();
    const std::size_t have = sim.assembled;
    if (have < 2) return Shape::NeedMore;
    const uint8_t first = f[0];
    const uint8_t second = f[1];
    if (first == code(FrameCode::Probe) || first == code(FrameCode::RestartController)) {
        if (second != 0x03) return Shape::Unknown;
        length = kShortFrameSize;
    } else if (first == code(FrameCode::ReadBlock)) {
        if (second == 0x03) {
            length = kShortFrameSize;
        } else if (isBlockSelector(second)) {
            length = kFrameOverhead;
        } else {
            return Shape::Unknown;
        }
    } else {  // WriteBlock
        if (!isBlockSelector(second)) return Shape::Unknown;
        if (have < kBlockHeaderSize) return Shape::NeedMore;
        length = f[4] + kFrameOverhead;
    }
    return have >= length ? Shape::Complete : Shape::NeedMore;
}

// The fault that spoils this exchange, taken off the pending list; false when none applies.
bool takeFault(SimController& sim, SimRequest request, SimFaultKind& kind) {
    for (auto it = sim.faults.begin(); it != sim.faults.end(); ++it) {
        if (!faultKindApplies(it->kind, request)) continue;
        kind = it->kind;
        if (--it->remaining == 0) sim.faults.erase(it);
        return true;
    }
    return false;
}

void spoilReply(SimController& sim, SimFaultKind kind, ByteBuffer& reply) {
    switch (kind) {
        case SimFaultKind::Silent:
        case SimFaultKind::NoProbe:
            reply.clear();
            break;
        case SimFaultKind::Nak:
            reply.assign(std::begin(kNakFrame), std::end(kNakFrame));
            break;
        case SimFaultKind::BadChecksum:
            reply.back() = static_cast<uint8_t>(reply.back() + 1);
            break;
        case SimFaultKind::BadAddress:
            writeLe16(&reply[2], static_cast<uint16_t>(readLe16(&reply[2]) + 1));
            sealFrame(reply);
            break;
        case SimFaultKind::ShortReply:
            reply.resize((reply.size() + 1) / 2);
            break;
        case SimFaultKind::WrongLength:
            reply[4] = static_cast<uint8_t>(reply[4] + 1);
            sealFrame(reply);
            break;
        case SimFaultKind::Garbage:
            for (auto& b : reply) b = nextGarbageByte(sim);
            break;
    }
}

// A write stores nothing when the controller refused it or never answered: a NAK'd write is
// lost, and a silent one is treated as a request that never arrived whole.
bool faultStopsStore(SimFaultKind kind) {
    return kind == SimFaultKind::Silent || kind == SimFaultKind::Nak;
}

// What one whole frame asks for, before anything is answered or stored.
struct DecodedFrame {
    bool valid = false;
    SimRequest request = SimRequest::Probe;
    uint32_t address = 0;
    uint8_t blockLength = 0;
    std::string note;  // why an invalid frame is ignored
};

DecodedFrame decodeFrame(const uint8_t* f, std::size_t length) {
    DecodedFrame frame;
    unsigned sum = 0;
    for (std::size_t i = 0; i < length; ++i) sum += f[i];
    if ((sum & 0xFF) != 0) {
        frame.note = "bad checksum";
        return frame;
    }
    frame.valid = true;
    if (length == kShortFrameSize) {
        frame.request = f[0] == code(FrameCode::Probe)               ? SimRequest::Probe
                        : f[0] == code(FrameCode::RestartController) ? SimRequest::Restart
                                                                     : SimRequest::VersionRequest;
        return frame;
    }
    frame.address = readLe16(&f[2]) + ((f[1] & 0x80) ? 0x10000u : 0u);
    frame.blockLength = f[4];
    frame.request = f[0] == code(FrameCode::WriteBlock) ? SimRequest::WriteBlock : SimRequest::ReadBlock;
    if (frame.address >= kSimMemorySize || frame.address + frame.blockLength > kSimMemorySize) {
        frame.valid = false;
        frame.note = "address out of range";
    }
    return frame;
}

// The reply a healthy controller gives to a valid frame; the restart is not answered.
ByteBuffer answerFor(const SimController& sim, const DecodedFrame& frame) {
    switch (frame.request) {
        case SimRequest::Probe:
        case SimRequest::WriteBlock: return {kAckFrame.begin(), kAckFrame.end()};
        case SimRequest::VersionRequest: return versionReply(sim.firmwareMajor, sim.firmwareMinor);
        case SimRequest::ReadBlock: return dataReply(sim.memory, static_cast<uint16_t>(frame.address), frame.blockLength);
        case SimRequest::Restart: break;
    }
    return {};
}

void storeBlock(SimController& sim, const DecodedFrame& frame, const uint8_t* f) {
    std::memcpy(&sim.memory[frame.address], &f[kBlockHeaderSize], frame.blockLength);
}

// One whole frame at the start of the assembly: decoded, answered (spoiled when a fault is due),
// a write stored unless its fault stops that, and the frame dropped from the assembly.
void handleFrame(SimController& sim, std::size_t length, std::vector<SimRxEvent>& events) {
    const uint8_t* f = sim.assembly.data();
    SimRxEvent event;
    event.received.assign(f, f + length);
    const DecodedFrame frame = decodeFrame(f, length);
    event.request = frame.request;
    event.note = frame.note;
    if (frame.valid) {
        event.recognised = true;
        ByteBuffer reply = answerFor(sim, frame);
        SimFaultKind fault = SimFaultKind::Silent;
        const bool spoiled = takeFault(sim, frame.request, fault);
        if (spoiled) {
            spoilReply(sim, fault, reply);
            event.note = std::string("fault ") + faultKindName(fault);
        }
        if (frame.request == SimRequest::WriteBlock && !(spoiled && faultStopsStore(fault))) {
            storeBlock(sim, frame, f);
            event.memoryChanged = true;
        }
        if (frame.request == SimRequest::Restart) ++sim.restartCount;
        event.reply = std::move(reply);
    }
    events.push_back(std::move(event));

    std::memmove(sim.assembly.data(), sim.assembly.data() + length, sim.assembled - length);
    sim.assembled -= length;
}

// Works through the assembly until it holds only the start of an incomplete frame.
void processAssembly(SimController& sim, std::vector<SimRxEvent>& events) {
    while (sim.assembled > 0) {
        if (!isFrameStart(sim.assembly[0])) {
            std::size_t skip = 1;
            while (skip < sim.assembled && !isFrameStart(sim.assembly[skip])) ++skip;
            dropBytes(sim, skip, "not a frame start", events);
            continue;
        }
        std::size_t length = 0;
        Shape shape = frameShape(sim, length);
        if (shape == Shape::NeedMore) return;
        if (shape == Shape::Unknown) {
            // Only the first byte is certainly wrong; a real frame may start right after it.
            dropBytes(sim, 1, "unknown frame shape", events);
            continue;
        }
        handleFrame(sim, length, events);
    }
}

}  // namespace

bool parseFaultKind(const std::string& name, SimFaultKind& kind) {
    for (const auto& entry : kFaultNames) {
        if (name == entry.name) {
            kind = entry.kind;
            return true;
        }
    }
    return false;
}

const char* faultKindName(SimFaultKind kind) {
    for (const auto& entry : kFaultNames) {
        if (entry.kind == kind) return entry.name;
    }
    return "?";
}

bool faultKindApplies(SimFaultKind kind, SimRequest request) {
    switch (kind) {
        case SimFaultKind::NoProbe:
            return request == SimRequest::Probe;
        case SimFaultKind::BadAddress:
        case SimFaultKind::WrongLength:
            return request == SimRequest::ReadBlock || request == SimRequest::VersionRequest;
        default:
            return request != SimRequest::Restart;
    }
}

void receiveBytes(SimController& sim, const uint8_t* bytes, std::size_t count,
                  std::vector<SimRxEvent>& events) {
    if (sim.unplugged) {
        if (count == 0) return;
        SimRxEvent event;
        event.received.assign(bytes, bytes + count);
        event.note = "unplugged";
        events.push_back(std::move(event));
        sim.assembled = 0;
        return;
    }
    while (count > 0) {
        std::size_t take = std::min(count, sim.assembly.size() - sim.assembled);
        std::memcpy(sim.assembly.data() + sim.assembled, bytes, take);
        sim.assembled += take;
        bytes += take;
        count -= take;
        processAssembly(sim, events);
    }
}

void noteLineGap(SimController& sim, std::vector<SimRxEvent>& events) {
    if (sim.assembled == 0) return;
    SimRxEvent event;
    event.received.assign(sim.assembly.begin(), sim.assembly.begin() + sim.assembled);
    event.note = "incomplete frame";
    events.push_back(std::move(event));
    sim.assembled = 0;
}

bool hasPartialFrame(const SimController& sim) { return sim.assembled > 0; }

void addFault(SimController& sim, SimFaultKind kind, unsigned count) {
    if (count == 0) return;
    sim.faults.push_back(SimFault{kind, count});
}

void clearFaults(SimController& sim) { sim.faults.clear(); }

ByteBuffer versionReply(uint8_t major, uint8_t minor) {
    ByteBuffer reply = {code(FrameCode::DataReply), kVersionSelector, 0x00, 0x00,
                                  static_cast<uint8_t>(kVersionPayloadLength), minor, major, 0};
    sealFrame(reply);
    return reply;
}

ByteBuffer dataReply(const SimMemory& memory, uint16_t address, uint8_t length) {
    ByteBuffer reply(length + kFrameOverhead);
    reply[0] = code(FrameCode::DataReply);
    reply[1] = kBlockSelector;
    writeLe16(&reply[2], address);
    reply[4] = length;
    std::memcpy(&reply[kBlockHeaderSize], &memory[address], length);
    reply.back() = FrameChecksum(reply.data(), length);
    return reply;
}

std::string hexBytes(const uint8_t* bytes, std::size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace kd215
