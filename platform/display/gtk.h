// The GTK 3 backend: each top-level window is an undecorated GTK window that
// shows the window's surface; GTK input becomes our messages.
#pragma once

#include <memory>

#include "platform/display/backend.h"

namespace display {

// The virtual-key code of a GDK key value, 0 when it has none.
int VirtualKeyFromKeyval(unsigned keyval);

// Null when no display can be opened.
std::unique_ptr<Backend> CreateGtkBackend();

// The real display's bell and screen pixels (Backend::Beep, Backend::CaptureScreen).
void GtkBeep();
HBITMAP GtkCaptureScreen(const RECT& area);

} // namespace display
