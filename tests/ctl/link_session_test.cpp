// kd215ctl's line session on a scripted port: a retry goes out only once the rest of a spoiled
// answer has stopped coming, so that it is not taken for the retry's own answer.
#include <gtest/gtest.h>

#include <sstream>

#include "ports/link_session.h"
#include "support/scripted_port.h"

namespace kd215 {
namespace {

using Reply = fakes::ScriptedPort::Reply;

// One session with one retry on a scripted line, quiet on the console: the one place that knows
// how a command puts a session together.
struct ScriptedSession {
    fakes::ScriptedPort line;
    FrameLog log;
    LoggingPort port{line, log};
    std::ostringstream out, err;
    TerminalSink sink{out, err, false, true};
    LinkSession session{port, "L1", sink, 1};
};

TEST(LinkSession, ARetryWaitsOutTheRestOfASpoiledAnswer) {
    const std::vector<uint8_t> reply = fakes::settingsReply();
    const std::vector<uint8_t> firstHalf(reply.begin(), reply.begin() + 40), rest(reply.begin() + 40, reply.end());
    const std::vector<uint8_t> ack = {0x06, 0x03, 0xF7};

    // The probe answered by bytes still coming, then by an acknowledgement.
    ScriptedSession probed;
    probed.line.reads = {Reply{IoStatus::Complete, {0x06, 0x03}, 0}, Reply{IoStatus::Complete, {0xF7}, 0}, Reply{},
                         Reply{IoStatus::Complete, ack, 0}};
    EXPECT_EQ(probed.session.confirmController(), LinkStatus::Done);

    // A settings read answered in two parts with a pause between, then whole.
    ScriptedSession read;
    read.line.reads = {Reply{IoStatus::Complete, firstHalf, 0}, Reply{IoStatus::Complete, rest, 0}, Reply{},
                       Reply{IoStatus::Complete, reply, 0}};
    ConfigImage image = defaultConfigImage();
    EXPECT_EQ(read.session.readArea(ConfigArea::Settings, image), LinkStatus::Done) << read.err.str();
    EXPECT_EQ(image.common.switchOnTime, 77);
}

}  // namespace
}  // namespace kd215
