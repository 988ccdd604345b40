// HTTP sessions and requests in the shape the downloaders use: open a session
// (agent, proxy), connect to a host and port, open a request (verb, object,
// referrer, accepted type, flags), send it with optional headers and body,
// query the answer's headers, read the body in blocks and close the handles.
//
// Every call blocks the calling thread; each request is used by one thread at
// a time. A request ends with an error when the server sends nothing for the
// receive timeout (stalled) or closes the connection before the announced end
// (dropped). HTTPS peers are verified against the system's certificate store
// (or the file set by InternetSetCertificateFile) unless the request's flags
// relax the host-name check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct InternetHandle;
using HINTERNET = InternetHandle*;

// Session access types.
constexpr std::uint32_t INTERNET_OPEN_TYPE_PRECONFIG = 0; // proxy from the environment
constexpr std::uint32_t INTERNET_OPEN_TYPE_DIRECT = 1;    // never a proxy
constexpr std::uint32_t INTERNET_OPEN_TYPE_PROXY = 3;     // the proxy given to InternetOpen

constexpr std::uint32_t INTERNET_SERVICE_HTTP = 3;
constexpr std::uint16_t INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr std::uint16_t INTERNET_DEFAULT_HTTPS_PORT = 443;

// Request flags.
constexpr std::uint32_t INTERNET_FLAG_RELOAD = 0x80000000;
constexpr std::uint32_t INTERNET_FLAG_SECURE = 0x00800000;
constexpr std::uint32_t INTERNET_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000;

// Header queries.
constexpr std::uint32_t HTTP_QUERY_CONTENT_TYPE = 1;
constexpr std::uint32_t HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr std::uint32_t HTTP_QUERY_STATUS_CODE = 19;
// The answer's Transfer-Encoding header ("chunked" for a body sent in pieces).
constexpr std::uint32_t HTTP_QUERY_TRANSFER_CODING = 100;

HINTERNET InternetOpen(const std::string& agent, std::uint32_t accessType,
                       const std::string& proxy = "", const std::string& proxyBypass = "",
                       std::uint32_t flags = 0);

// An empty or malformed host gives nullptr. Nothing goes on the wire yet.
HINTERNET InternetConnect(HINTERNET session, const std::string& host, std::uint16_t port,
                          const std::string& userName, const std::string& password,
                          std::uint32_t service = INTERNET_SERVICE_HTTP, std::uint32_t flags = 0);

// objectName is the path with its query ("/watch?v=1"); version "HTTP/1.0" or
// "HTTP/1.1"; acceptTypes lists the media types sent in the Accept header.
HINTERNET HttpOpenRequest(HINTERNET connection, const std::string& verb,
                          const std::string& objectName, const std::string& version,
                          const std::string& referrer, const std::vector<std::string>& acceptTypes,
                          std::uint32_t flags);

// Sends the request and waits for the headers of the final answer (redirects
// are followed). headers holds extra header lines separated by CRLF.
bool HttpSendRequest(HINTERNET request, const std::string& headers, const void* body,
                     std::size_t bodyLength);

// The value of a header of the answer (or its status code as decimal text);
// false when the answer has no such header.
bool HttpQueryInfo(HINTERNET request, std::uint32_t infoLevel, std::string& value);

// Reads up to toRead bytes of the body. true with bytesRead 0 at the end of
// the body; false when the transfer failed (stalled, dropped, cancelled).
bool InternetReadFile(HINTERNET request, void* buffer, std::size_t toRead, std::size_t& bytesRead);

// Closes any handle; closing a session or connection first is allowed.
bool InternetCloseHandle(HINTERNET handle);

// Polled while a send or read waits for the server: answering true ends the
// wait with a failure, so a thread asked to stop does not sit out a timeout.
void InternetSetCancelCheck(HINTERNET request, std::function<bool()> cancelled);

// Text of the last failure on the calling thread.
std::string InternetGetLastErrorText();

// Process-wide limits: time allowed to connect, and time without any byte
// from the server after which a request fails. Defaults 30000 and 30000 ms.
void InternetSetTimeouts(int connectMs, int receiveMs);
void InternetGetTimeouts(int& connectMs, int& receiveMs);

// Certificates (PEM) trusted for HTTPS in place of the system store; empty
// restores the system store.
void InternetSetCertificateFile(const std::string& pemFile);
