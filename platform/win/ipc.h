// Messages between instances of the program.
//
// A process that publishes its windows listens on a Unix-domain socket in the
// per-user folder ($XDG_RUNTIME_DIR/lantrove-win, else <temp>/lantrove-win-<uid>,
// mode 0700; $LANTROVE_IPC_DIR overrides it). FindWindowEx with no parent
// walks the top-level windows of every listening instance after the local ones
// and hands out local handles for them. Sending to such a handle carries the
// message (integer parameters, the name of a registered message, or the bytes
// of a WM_COPYDATA record) to the other process, whose window thread runs it;
// every exchange is bounded, so a dead or hung instance gives a failed send.
// ShowWindow, SetForegroundWindow, IsWindow, IsWindowVisible, IsIconic and
// GetClassName work on such handles too.
#pragma once

#include "platform/win/types.h"

#include <string>

namespace winipc {

// Starts answering other instances (idempotent). Returns false when the
// folder or socket cannot be made; the process then simply stays unseen.
bool Publish();
// Stops answering and removes the socket.
void Unpublish();
bool IsPublished();

std::string Folder();

// The bound of one exchange with another instance (default 5000 ms).
void SetTimeoutMs(uint32_t ms);
uint32_t TimeoutMs();

} // namespace winipc
