// What the desktop holds as the user's defaults: the application for a kind
// of document or address, and the measurement system of the user's locale.
#pragma once

#include <string>
#include <vector>

namespace os {

// The desktop's default application for a type ("x-scheme-handler/http",
// "x-scheme-handler/mailto", "text/calendar" ...), as the freedesktop
// defaults name it: the command line of its desktop entry; "" when none.
std::string DefaultApplicationCommand(const std::string& type);
// A desktop entry's command line as arguments, its field codes (%u, %f ...)
// left out.
std::vector<std::string> DesktopCommandArguments(const std::string& commandLine);

// The measurement system of the user's locale (LC_ALL, LC_MEASUREMENT, LANG
// in the C library's order).
enum class Measurement { Metric, US, Unknown };
Measurement LocaleMeasurement();

} // namespace os
