// Interruptions on Windows: the console's events, which come on a thread of the system's own.
#include "platform/interrupts.h"

#include <windows.h>

#include <atomic>

#include "platform/files.h"

namespace kd215 {

namespace {

std::atomic<int> guards{0};
std::atomic<int> kept{0};
std::atomic<bool> answered{false};
void (*lastWordsOf)() = nullptr;

BOOL WINAPI onConsoleEvent(DWORD) {
    if (guards.load() > 0) {
        kept.store(2);  // as SIGINT: the work stops at its next safe point and exits 130
        // A closed window ends the process once this returns: the guarded work ends first.
        while (guards.load() > 0) Sleep(10);
        if (answered.load()) return TRUE;
    }
    removeStagedTemporaries();
    if (lastWordsOf != nullptr) lastWordsOf();
    return FALSE;  // the default handler then ends the process as before
}

}  // namespace

void catchInterruptions(void (*lastWords)()) {
    lastWordsOf = lastWords;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

// Nothing to do at the last guard's end: the event's thread waits for it and ends the process.
InterruptGuard::InterruptGuard() { ++guards; }
InterruptGuard::~InterruptGuard() { --guards; }

int interruptSignal() { return kept.load(); }

void answerInterruption() { answered.store(true); }

// Console events come on a thread of the system's own; the work's threads need not keep them off.
void keepInterruptsFromThisThread() {}

}  // namespace kd215
