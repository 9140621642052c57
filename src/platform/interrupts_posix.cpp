// Interruptions on POSIX: one handler for the interrupt signals, kept while a guard lives.
#include "platform/interrupts.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/files.h"

namespace kd215 {

namespace {

// Lock-free, so the handler may read and write them.
std::atomic<int> guards{0};
std::atomic<int> kept{0};
std::atomic<bool> answered{false};
void (*lastWordsOf)() = nullptr;

const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

}  // namespace

extern "C" void onInterruption(int signalNumber) {
    if (guards.load() > 0) {
        kept.store(signalNumber);
        return;
    }
    removeStagedTemporaries();
    if (lastWordsOf != nullptr) lastWordsOf();
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

void catchInterruptions(void (*lastWords)()) {
    lastWordsOf = lastWords;
    struct sigaction action {};
    action.sa_handler = onInterruption;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a wait on the line wakes at once
    for (const int signalNumber : kInterrupts) ::sigaction(signalNumber, &action, nullptr);
}

InterruptGuard::InterruptGuard() { ++guards; }

InterruptGuard::~InterruptGuard() {
    const int saved = errno;  // the caller reads the errno of what ran under the guard
    // To the process, not the thread: a thread that keeps interruptions off may end the last guard.
    if (--guards == 0 && kept.load() != 0 && !answered.load()) ::kill(::getpid(), kept.load());
    errno = saved;
}

int interruptSignal() { return kept.load(); }

void answerInterruption() { answered.store(true); }

void keepInterruptsFromThisThread() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signalNumber : kInterrupts) sigaddset(&set, signalNumber);
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace kd215
