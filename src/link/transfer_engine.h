// The transfer engine: one non-blocking step per pump message, from request to verified reply.
#pragma once

#include "app/program_state.h"

namespace kd215 {

// Starts the current action on a data area: a file step for the file actions, a request otherwise.
// Ignored while a transfer runs; refused with a message when a controller action has no port.
void BeginAreaTransfer(ProgramState& s, ConfigArea area);
// Asks the controller for its firmware version next.
void BeginVersionQuery(ProgramState& s);
// Replaces whatever runs with the restart frame.
void BeginRestart(ProgramState& s);
// Ends whatever runs at once and aborts the port's pending I/O.
void StopTransfer(ProgramState& s);
// Starts the last area command again ("&Powtórz"); false when it is refused.
bool RepeatLastTransfer(ProgramState& s);
// "&Wszystko": the current action over all four areas, starting with the settings.
void BeginAllAreas(ProgramState& s);

// One step of the state machine for SendRequest, AwaitWrite or AwaitReply. Returns without
// waiting: a step whose I/O is still pending leaves the state as it was.
void StepTransfer(ProgramState& s);

// The engine's own ends, also used by the file step.
void EndTransfer(ProgramState& s);
void ContinueChain(ProgramState& s);

// Whether a step is running or due.
inline bool transferActive(const ProgramState& s) { return s.transferState != TransferState::Idle; }

}  // namespace kd215
