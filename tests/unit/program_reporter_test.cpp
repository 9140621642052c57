// The program's reporter: each outcome of the engine to its message box text, caption, icon and buttons.
#include <gtest/gtest.h>

#include "support/recording_ui.h"
#include "support/scripted_port.h"

namespace kd215 {
namespace {

enum class Call { Retry, Failed, Verify };

struct OutcomeCase {
    Call call;
    TransferOutcome outcome;
    const char* text;
    const char* caption;
    MessageIcon icon;
    MessageButtons buttons;
};

const OutcomeCase kCases[] = {
    {Call::Retry, {TransferFault::Nak, 0}, "Błąd komunikacji : NAK", "Niepowodzenie", MessageIcon::Warning,
     MessageButtons::RetryCancel},
    {Call::Retry, {TransferFault::BadChecksum, 17}, "Błąd komunikacji : suma kontrolna = 17", "Niepowodzenie",
     MessageIcon::Warning, MessageButtons::RetryCancel},
    {Call::Retry, {TransferFault::WrongAddress, 70}, "Błąd komunikacji : adres zwrotny 70", "Niepowodzenie",
     MessageIcon::Warning, MessageButtons::RetryCancel},
    {Call::Retry, {TransferFault::NoData, 3}, "Błąd komunikacji : brak danych : 3", "Niepowodzenie",
     MessageIcon::Warning, MessageButtons::RetryCancel},
    {Call::Failed, {TransferFault::ProtocolError, 0}, "Błąd protokołu", "Niepowodzenie", MessageIcon::Warning,
     MessageButtons::Ok},
    {Call::Failed, {TransferFault::SystemError, 5}, "Kod błędu : 5", "Niepowodzenie", MessageIcon::Error,
     MessageButtons::Ok},
    {Call::Failed, {TransferFault::NoPort, 0}, "Musisz wybrać dostępny port szeregowy !", "Ostrzeżenie",
     MessageIcon::Warning, MessageButtons::Ok},
    // A verification difference asks Yes/No; No ends the check.
    {Call::Verify, {}, "Błąd weryfikacji : scena 2 kanał 3\n ( 7 <> 40 )\nKontynuować sprawdzanie ?", "Niepowodzenie",
     MessageIcon::Warning, MessageButtons::YesNo},
};

TEST(ProgramReporter, EachOutcomeHasItsTextCaptionIconAndButtons) {
    fakes::ScriptedPort port;
    fakes::RecordingUi ui;
    ProgramState s;
    s.connect(port, ui);
    const VerifyDifference difference{ConfigArea::Scenes, VerifyItem::Level, 2, 3, 40, 7};
    for (const OutcomeCase& c : kCases) {
        SCOPED_TRACE(c.text);
        ui.messages.clear();
        ui.answers = {c.call == Call::Verify ? UserAnswer::No : UserAnswer::Retry};
        if (c.call == Call::Retry) {
            EXPECT_TRUE(s.reporter.retryAfter(c.outcome));
        } else if (c.call == Call::Failed) {
            s.reporter.failed(c.outcome);
        } else {
            EXPECT_FALSE(s.reporter.continueAfter(difference));
        }
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, c.text);
        EXPECT_EQ(ui.messages[0].caption, c.caption);
        EXPECT_EQ(ui.messages[0].icon, c.icon);
        EXPECT_EQ(ui.messages[0].buttons, c.buttons);
    }
}

}  // namespace
}  // namespace kd215
