// The web view on the system's web engine, shown as a native view over its
// host window under the GTK display backend.
#pragma once

#include "platform/webview/webview.h"

#include <memory>

namespace webview {

// Null when the engine cannot be used (no GTK display in force).
std::unique_ptr<View> CreateWebKitView(HWND host);

// The engine's data store shared by every view: cookies, cache, history of
// visited pages. Each call waits (pumping the loop) at most timeoutMs.
namespace engine_data {
bool ClearCache(unsigned timeoutMs = 5000);
bool ClearCookies(unsigned timeoutMs = 5000);
bool ClearHistory(unsigned timeoutMs = 5000);
// "Cookie: a=b; c=d" style text of the cookies the engine holds for url.
std::string CookiesFor(const std::string& url, unsigned timeoutMs = 5000);
// The folders the engine keeps its cache and its data (cookies) in.
std::string CacheFolder();
std::string DataFolder();
// Proxy for every view: empty address means direct connections; pacUrl
// selects automatic configuration instead.
void SetProxy(const std::string& address, const std::string& bypass, const std::string& pacUrl);
void SetOffline(bool offline);
// Prints made without asking go to this PDF file instead of the default
// printer; "" restores the printer. Tests print this way.
void SetPrintToFile(const std::string& pdfPath);
// The engine's version, "major.minor.micro".
std::string EngineVersion();
// Scripts may open windows only when the user asked (a click): the
// process's pop-up management.
void SetPopupBlocking(bool block);
// The loaded library of the engine (it holds the engine's menus), null
// when it is not in the process.
void* LibraryHandle();
// Trusts the certificate authority of a PEM or DER certificate for the
// sites it signed; false when the bytes hold no certificate.
bool TrustAuthority(const std::string& certificateBytes);
// A script of a page or of the host that runs longer than this is stopped
// by the engine; the page stays.
constexpr unsigned kScriptLimitMs = 5000;
bool Offline();
} // namespace engine_data

} // namespace webview
