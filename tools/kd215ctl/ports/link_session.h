// One controller exchange at a time, run to its end by the program's transfer engine, with a
// console in place of the message boxes: Retry a bounded number of times, then give up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/byte_buffer.h"
#include "console/command_sink.h"
#include "link/link_state.h"
#include "link/verify.h"
#include "link/frame_log.h"

namespace kd215 {

enum class LinkStatus {
    Done,
    NoController,         // the line stayed silent: nothing at all came back during this run
    NotAController,       // something answered the probe, but not as a Kd215 does
    CommunicationFailed,  // the controller answered badly, or the port failed, and retries ran out
    Interrupted,          // a signal came: the exchange was stopped where it stood
};

// One exchange at a time, run to its end by the program's transfer engine. A communication
// fault is retried up to `retries` times per exchange, then given up; the verification asks
// nothing, every difference is kept.
class LinkSession final : public LinkReporter {
public:
    // `port` is open on `portPath`; what the session says (retries, failures) goes to `sink`.
    LinkSession(LoggingPort& port, const std::string& portPath, CommandSink& sink, int retries);

    // Waits until the line has been quiet for a while and throws away what came: the rest of a
    // reply to an earlier run that was cut off, which would otherwise be taken for this run's.
    void drainLine();
    // Sends the probe, with the retries, before anything else goes out: a line where nothing
    // answers, or something that is not a Kd215, gets no other frame. Done when it acknowledged.
    LinkStatus confirmController();
    // Whether the last exchange, having failed, may still have been carried out: a request went
    // out and some answer to it was not a clear refusal (spoiled, missing, or cut off by a signal).
    bool mayHaveTakenEffect() const { return unanswered_; }

    LinkStatus version(std::string& firmwareText);
    LinkStatus restart();
    // Reads `area` into its part of `image`; the image is left as it was unless the read is done.
    LinkStatus readArea(ConfigArea area, ConfigImage& image);
    // Writes the area's part of `image`; done when the controller acknowledged it.
    LinkStatus writeArea(ConfigArea area, const ConfigImage& image);

    void firmwareRead(FirmwareVersion version) override { firmwareText_ = firmwareVersionText(version); }
    void requestSent(ConfigArea) override { sent_ = true; }
    bool retryAfter(const TransferOutcome& outcome) override;
    void failed(const TransferOutcome& outcome) override;
    bool continueAfter(const VerifyDifference&) override { return true; }

private:
    LinkStatus run(TransferAction action, ConfigArea area);
    void noteAnswer(const TransferOutcome& outcome);
    // After a request went unanswered: whether the controller still answers the probe.
    bool stillAnswers();

    LoggingPort& port_;
    std::string portPath_;
    CommandSink& sink_;
    int retries_;
    int retriesUsed_ = 0;
    bool failed_ = false;
    bool silenced_ = false;  // the controller stopped answering mid-run: no retry is sent
    bool sent_ = false;        // a request of this attempt went out
    bool unanswered_ = false;  // an attempt of this exchange went out and was not refused
    TransferOutcome failure_;
    std::string firmwareText_;
    LinkState link_;
    ConfigImage image_ = defaultConfigImage();
};

}  // namespace kd215
