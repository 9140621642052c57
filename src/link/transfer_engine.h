// The transfer engine: one non-blocking step per pump message, from request to verified reply.
#pragma once

#include "link/link_state.h"

namespace kd215 {

// The action the next area command carries out (the "&Akcja" item highlighted last).
void SelectAction(LinkState& link, TransferAction action);
// Starts the current action on a data area: a file step for the file actions, a request otherwise.
// Ignored while a transfer runs; refused (TransferFault::NoPort) when a controller action has no port.
void BeginAreaTransfer(LinkState& link, ConfigArea area);
// Asks the controller for its firmware version next.
void BeginVersionQuery(LinkState& link);
// The same query made due without a report: at start-up there is no window yet to show it.
void QueueVersionQuery(LinkState& link);
// Replaces whatever runs with the restart frame.
void BeginRestart(LinkState& link);
// Ends whatever runs at once and aborts the port's pending I/O.
void StopTransfer(LinkState& link);
// Forgets whatever runs or is due, without a word to the port or the reporter: the port it
// talks to is about to go, or was never found.
void AbandonTransfer(LinkState& link);
// Starts the last area command again ("&Powtórz"); false when it is refused.
bool repeatLastTransfer(LinkState& link);
// "&Wszystko": the current action over all four areas, starting with the settings.
void beginAllAreas(LinkState& link);

// One step of the state machine for SendRequest, AwaitWrite or AwaitReply, over `image`. Returns
// without waiting: a step whose I/O is still pending leaves the state as it was.
void StepTransfer(LinkState& link, ConfigImage& image);

// The file step's moves. While its dialogs are open the engine is idle, so that no posted step
// runs under them; the next area of a chain is due as a file step again (false: the chain ended).
void BeginFileStep(LinkState& link);
bool ContinueFileChain(LinkState& link);
// A file step that ends without its action (dialog cancelled, unknown area or action): the
// action is forgotten, so that nothing runs it again before "&Akcja" is used.
void DropAction(LinkState& link);

// The engine's own ends, also used by the file step.
void EndTransfer(LinkState& link);
void ContinueChain(LinkState& link);
// The area "&Wszystko" goes on with after the current one; NoArea when nothing follows (no
// chain, or the chain has reached program 2).
ConfigArea chainedArea(const LinkState& link);

// Whether a step is running or due.
inline bool transferActive(const LinkState& link) { return link.transferState != TransferState::Idle; }

// Whether an action moves an area between the image and a file rather than the controller.
inline bool isFileAction(TransferAction action) {
    return action == TransferAction::ReadFromFile || action == TransferAction::WriteToFile;
}

}  // namespace kd215
