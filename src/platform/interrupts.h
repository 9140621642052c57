// Interruptions (Ctrl+C, TERM, HUP, QUIT, a closed pipe, the console's events) and the guard of work none may cut.
#pragma once

namespace kd215 {

// From here on an interruption that comes while no InterruptGuard lives ends the process at once,
// leaving nothing behind: the staged temporary files are removed, `lastWords` runs (on POSIX from a
// signal handler, so it must be async-signal-safe), and the process dies of it as if it had not
// been caught. Without this call the system's own handling stays.
void catchInterruptions(void (*lastWords)());

// While a guard lives, on any thread, an interruption does not end the process: it is kept, and
// interruptSignal() tells the work under the guard to stop at its next safe point. Guards nest.
// When the last one ends, a kept interruption nobody answered (answerInterruption) ends the process
// then, as it would have when it came; so a set of renames under a guard is never cut halfway.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// The interruption kept under a guard: its signal number (2, as SIGINT, for a console event on
// Windows); 0 when none came.
int interruptSignal();

// The work answers for the kept interruption itself (it says where it stood and exits with 128 +
// its number): the process goes on when the last guard ends.
void answerInterruption();

// A thread that runs work of its own leaves interruptions to the main thread, whose guards then
// stand for it too.
void keepInterruptsFromThisThread();

}  // namespace kd215
