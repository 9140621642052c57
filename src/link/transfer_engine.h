// The transfer engine: one non-blocking step per pump message, from request to verified reply.
#pragma once

#include "link/link_state.h"

namespace kd215 {

// Starts the current action on a data area: a file step for the file actions, a request otherwise.
// Ignored while a transfer runs; refused (TransferFault::NoPort) when a controller action has no port.
void BeginAreaTransfer(LinkState& link, ConfigArea area);
// Asks the controller for its firmware version next.
void BeginVersionQuery(LinkState& link);
// Replaces whatever runs with the restart frame.
void BeginRestart(LinkState& link);
// Ends whatever runs at once and aborts the port's pending I/O.
void StopTransfer(LinkState& link);
// Starts the last area command again ("&Powtórz"); false when it is refused.
bool repeatLastTransfer(LinkState& link);
// "&Wszystko": the current action over all four areas, starting with the settings.
void beginAllAreas(LinkState& link);

// One step of the state machine for SendRequest, AwaitWrite or AwaitReply, over `image`. Returns
// without waiting: a step whose I/O is still pending leaves the state as it was.
void StepTransfer(LinkState& link, ConfigImage& image);

// The engine's own ends, also used by the file step.
void EndTransfer(LinkState& link);
void ContinueChain(LinkState& link);
// The area "&Wszystko" goes on with after the current one; NoArea when nothing follows (no
// chain, or the chain has reached program 2).
ConfigArea chainedArea(const LinkState& link);

// Whether a step is running or due.
inline bool transferActive(const LinkState& link) { return link.transferState != TransferState::Idle; }

}  // namespace kd215
