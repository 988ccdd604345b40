// The end of the desktop session as this process learns of it: a request to
// terminate (SIGTERM, which the session sends its processes when it ends),
// the session manager's end-session messages to its clients over D-Bus, and
// the system's notice that it shuts down (login1, with a delay lock so the
// program has time to save).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace os {

enum class SessionEnd {
    Query, // the session asks whether it may end
    End,   // the session ends now
};

// Answer(true) lets the session end; it may be called once, from any thread.
using SessionEndHandler = std::function<void(SessionEnd Kind, std::function<void(bool)> Answer)>;

// Starts watching on a thread of its own; the handler runs on that thread,
// never inside the signal handler. AppId names the program to the session
// manager. False when a watch runs already.
bool StartSessionWatch(const std::string& AppId, SessionEndHandler Handler);
// Stops the watch (unregistering from the session manager) and gives SIGTERM
// its former handling back.
void StopSessionWatch();
// What the running watch listens to: "SIGTERM", and "session manager" and
// "login1" where those services were found.
std::vector<std::string> SessionWatchSources();

} // namespace os
