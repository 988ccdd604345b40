#include "platform/inet/inet.h"

#include "platform/inet/curlentry.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> gConnectTimeoutMs{30000};
std::atomic<int> gReceiveTimeoutMs{30000};
std::mutex gCertMutex;
std::string gCertFile;

thread_local std::string tLastError;

void SetError(const std::string& text) {
    tLastError = text;
}

// The transfer library, loaded on first use; false (and the reason for
// InternetGetLastError) when it cannot be.
bool GlobalInit() {
    std::string why;
    if (inet::curlentry::Load(&why)) return true;
    SetError(why);
    return false;
}

// Only reached once GlobalInit has succeeded: every request belongs to an
// open session.
const inet::curlentry::Entries& Curl() {
    return *inet::curlentry::Load(nullptr);
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string TrimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n'))
        --e;
    return s.substr(b, e - b);
}

bool IsLoopbackHost(const std::string& host) {
    const std::string h = Lower(host);
    return h == "localhost" || h == "::1" || h == "[::1]" || h.rfind("127.", 0) == 0;
}

// Bytes a URL cannot carry as they are: blanks, controls and non-ASCII.
std::string EscapeObjectName(const std::string& object) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(object.size());
    for (unsigned char c : object) {
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' ||
            c == '`' || c == '{' || c == '|' || c == '}') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace

struct InternetHandle {
    virtual ~InternetHandle() = default;
};

namespace {

struct SessionData {
    std::string agent;
    std::uint32_t accessType = INTERNET_OPEN_TYPE_PRECONFIG;
    std::string proxy;
    std::string proxyBypass;
};

struct ConnectionData {
    std::shared_ptr<SessionData> session;
    std::string host;
    std::uint16_t port = 0;
    std::string userName;
    std::string password;
};

struct Session : InternetHandle {
    std::shared_ptr<SessionData> data = std::make_shared<SessionData>();
};

struct Connection : InternetHandle {
    std::shared_ptr<ConnectionData> data = std::make_shared<ConnectionData>();
};

struct Request : InternetHandle {
    std::shared_ptr<ConnectionData> conn;
    std::string verb;
    std::string url;
    std::string version;
    std::string referrer;
    std::vector<std::string> acceptTypes;
    std::uint32_t flags = 0;
    std::function<bool()> cancelled;

    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    curl_slist* headerList = nullptr;
    std::string body;
    bool sent = false;
    bool added = false;

    // Answer state, rebuilt at every status line (redirects, interim answers).
    long status = 0;
    std::map<std::string, std::string> headers;
    bool headersDone = false;
    bool finished = false;
    CURLcode result = CURLE_OK;
    std::string errorBuffer = std::string(CURL_ERROR_SIZE + 1, '\0');

    static constexpr size_t kMaxHeaderBytes = 256 * 1024; // all answers, redirects included
    size_t headerBytes = 0;
    std::string abortReason;

    std::vector<char> buffer;
    size_t bufferPos = 0;
    Clock::time_point lastActivity;

    ~Request() override {
        if (multi && easy && added) Curl().multi_remove_handle(multi, easy);
        if (easy) Curl().easy_cleanup(easy);
        if (multi) Curl().multi_cleanup(multi);
        if (headerList) Curl().slist_free_all(headerList);
    }

    static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
        auto* r = static_cast<Request*>(user);
        const size_t n = size * count;
        r->lastActivity = Clock::now();
        // A server that never ends its headers is stopped, not stored.
        r->headerBytes += n;
        if (r->headerBytes > kMaxHeaderBytes) {
            r->abortReason = "The answer's headers are longer than " +
                             std::to_string(kMaxHeaderBytes) + " bytes";
            return 0;
        }
        std::string line(data, n);
        if (line.rfind("HTTP/", 0) == 0) {
            r->headers.clear();
            r->headersDone = false;
            const size_t sp = line.find(' ');
            r->status = sp == std::string::npos ? 0 : std::atol(line.c_str() + sp + 1);
            return n;
        }
        const std::string trimmed = TrimBlanks(line);
        if (trimmed.empty()) {
            // End of one answer's headers: final unless it is interim or followed.
            const bool interim = r->status >= 100 && r->status < 200;
            const bool followed =
                r->status >= 300 && r->status < 400 && r->headers.count("location") != 0;
            if (!interim && !followed) r->headersDone = true;
            return n;
        }
        const size_t colon = trimmed.find(':');
        if (colon != std::string::npos)
            r->headers[Lower(TrimBlanks(trimmed.substr(0, colon)))] =
                TrimBlanks(trimmed.substr(colon + 1));
        return n;
    }

    static size_t OnWrite(char* data, size_t size, size_t count, void* user) {
        auto* r = static_cast<Request*>(user);
        const size_t n = size * count;
        r->lastActivity = Clock::now();
        r->headersDone = true;
        if (r->bufferPos == r->buffer.size()) {
            r->buffer.clear();
            r->bufferPos = 0;
        }
        r->buffer.insert(r->buffer.end(), data, data + n);
        return n;
    }

    size_t Buffered() const { return buffer.size() - bufferPos; }

    // Runs the transfer until ready() holds, the transfer ends, it stalls or
    // the owner cancels it. Returns ready() at the end, false on failure.
    bool Drive(const std::function<bool()>& ready) {
        int receiveMs = gReceiveTimeoutMs.load();
        // Only time spent waiting here counts: a reader busy elsewhere is no stall.
        lastActivity = Clock::now();
        for (;;) {
            if (ready()) return true;
            if (finished) {
                if (result != CURLE_OK) {
                    if (!abortReason.empty()) {
                        SetError(abortReason);
                        return false;
                    }
                    SetError(errorBuffer[0] ? std::string(errorBuffer.c_str())
                                            : std::string(Curl().easy_strerror(result)));
                    return false;
                }
                return ready();
            }
            if (cancelled && cancelled()) {
                SetError("Request cancelled");
                return false;
            }
            int running = 0;
            CURLMcode mc = Curl().multi_perform(multi, &running);
            if (mc != CURLM_OK) {
                SetError(Curl().multi_strerror(mc));
                return false;
            }
            int queued = 0;
            while (CURLMsg* msg = Curl().multi_info_read(multi, &queued)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                    finished = true;
                    result = msg->data.result;
                }
            }
            if (ready() || finished) continue;
            const auto idle =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastActivity)
                    .count();
            if (idle >= receiveMs) {
                SetError("The server sent nothing for " + std::to_string(receiveMs) + " ms");
                return false;
            }
            const int wait = static_cast<int>(std::min<long long>(100, receiveMs - idle));
            Curl().multi_poll(multi, nullptr, 0, std::max(wait, 1), nullptr);
        }
    }
};

template <typename T> T* As(HINTERNET h) {
    return dynamic_cast<T*>(h);
}

} // namespace

HINTERNET InternetOpen(const std::string& agent, std::uint32_t accessType, const std::string& proxy,
                       const std::string& proxyBypass, std::uint32_t) {
    if (!GlobalInit()) return nullptr;
    auto* s = new Session;
    s->data->agent = agent;
    s->data->accessType = accessType;
    s->data->proxy = proxy;
    s->data->proxyBypass = proxyBypass;
    return s;
}

HINTERNET InternetConnect(HINTERNET session, const std::string& host, std::uint16_t port,
                          const std::string& userName, const std::string& password, std::uint32_t,
                          std::uint32_t) {
    auto* s = As<Session>(session);
    if (!s) {
        SetError("Not a session handle");
        return nullptr;
    }
    if (host.empty() || host.find_first_of("/?#@ \t\r\n\\") != std::string::npos) {
        SetError("Invalid host name \"" + host + "\"");
        return nullptr;
    }
    if (port == 0) {
        SetError("Invalid port");
        return nullptr;
    }
    auto* c = new Connection;
    c->data->session = s->data;
    c->data->host = host;
    c->data->port = port;
    c->data->userName = userName;
    c->data->password = password;
    return c;
}

HINTERNET HttpOpenRequest(HINTERNET connection, const std::string& verb,
                          const std::string& objectName, const std::string& version,
                          const std::string& referrer, const std::vector<std::string>& acceptTypes,
                          std::uint32_t flags) {
    auto* c = As<Connection>(connection);
    if (!c) {
        SetError("Not a connection handle");
        return nullptr;
    }
    auto r = std::make_unique<Request>();
    r->conn = c->data;
    r->verb = verb.empty() ? "GET" : verb;
    r->version = version;
    r->referrer = referrer;
    r->acceptTypes = acceptTypes;
    r->flags = flags;
    std::string object = objectName.empty() || objectName[0] != '/' ? "/" + objectName : objectName;
    const bool secure = (flags & INTERNET_FLAG_SECURE) != 0;
    r->url = std::string(secure ? "https://" : "http://") + c->data->host + ":" +
             std::to_string(c->data->port) + EscapeObjectName(object);
    r->easy = Curl().easy_init();
    r->multi = Curl().multi_init();
    if (!r->easy || !r->multi) {
        SetError("Out of resources");
        return nullptr;
    }
    if (Curl().easy_setopt(r->easy, CURLOPT_URL, r->url.c_str()) != CURLE_OK) {
        SetError("Invalid address " + r->url);
        return nullptr;
    }
    return r.release();
}

bool HttpSendRequest(HINTERNET request, const std::string& headers, const void* body,
                     std::size_t bodyLength) {
    auto* r = As<Request>(request);
    if (!r) {
        SetError("Not a request handle");
        return false;
    }
    if (r->sent) {
        SetError("The request was sent already");
        return false;
    }
    r->sent = true;
    CURL* e = r->easy;
    const SessionData& session = *r->conn->session;

    Curl().easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    Curl().easy_setopt(e, CURLOPT_ERRORBUFFER, r->errorBuffer.data());
    Curl().easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    Curl().easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    Curl().easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    Curl().easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    // The readers' own block size: larger receive buffers measured slower.
    Curl().easy_setopt(e, CURLOPT_BUFFERSIZE, 16L * 1024L);
    Curl().easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(gConnectTimeoutMs.load()));
    Curl().easy_setopt(e, CURLOPT_HEADERFUNCTION, &Request::OnHeader);
    Curl().easy_setopt(e, CURLOPT_HEADERDATA, r);
    Curl().easy_setopt(e, CURLOPT_WRITEFUNCTION, &Request::OnWrite);
    Curl().easy_setopt(e, CURLOPT_WRITEDATA, r);
    Curl().easy_setopt(e, CURLOPT_HTTP_VERSION,
                       r->version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    if (!session.agent.empty()) Curl().easy_setopt(e, CURLOPT_USERAGENT, session.agent.c_str());
    if (!r->referrer.empty()) Curl().easy_setopt(e, CURLOPT_REFERER, r->referrer.c_str());
    if (!r->conn->userName.empty() || !r->conn->password.empty()) {
        Curl().easy_setopt(e, CURLOPT_USERNAME, r->conn->userName.c_str());
        Curl().easy_setopt(e, CURLOPT_PASSWORD, r->conn->password.c_str());
    }

    switch (session.accessType) {
    case INTERNET_OPEN_TYPE_DIRECT:
        Curl().easy_setopt(e, CURLOPT_NOPROXY, "*");
        break;
    case INTERNET_OPEN_TYPE_PROXY:
        Curl().easy_setopt(e, CURLOPT_PROXY, session.proxy.c_str());
        if (!session.proxyBypass.empty())
            Curl().easy_setopt(e, CURLOPT_NOPROXY, session.proxyBypass.c_str());
        break;
    default:
        // Preconfigured: the environment's proxy, never for this machine.
        if (IsLoopbackHost(r->conn->host)) Curl().easy_setopt(e, CURLOPT_NOPROXY, "*");
        break;
    }

    if (r->flags & INTERNET_FLAG_SECURE) {
        Curl().easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
        Curl().easy_setopt(e, CURLOPT_SSL_VERIFYHOST,
                           (r->flags & INTERNET_FLAG_IGNORE_CERT_CN_INVALID) ? 0L : 2L);
        std::lock_guard<std::mutex> lock(gCertMutex);
        if (!gCertFile.empty()) {
            Curl().easy_setopt(e, CURLOPT_CAINFO, gCertFile.c_str());
            Curl().easy_setopt(e, CURLOPT_CAPATH, nullptr);
        }
    }

    std::string accept;
    for (const std::string& a : r->acceptTypes) {
        if (a.empty()) continue;
        if (!accept.empty()) accept += ", ";
        accept += a;
    }
    if (!accept.empty())
        r->headerList = Curl().slist_append(r->headerList, ("Accept: " + accept).c_str());
    if (r->flags & INTERNET_FLAG_RELOAD) {
        r->headerList = Curl().slist_append(r->headerList, "Pragma: no-cache");
        r->headerList = Curl().slist_append(r->headerList, "Cache-Control: no-cache");
    }
    r->headerList = Curl().slist_append(r->headerList, "Expect:");
    size_t pos = 0;
    while (pos < headers.size()) {
        size_t end = headers.find('\n', pos);
        if (end == std::string::npos) end = headers.size();
        const std::string line = TrimBlanks(headers.substr(pos, end - pos));
        if (!line.empty() && line.find(':') != std::string::npos)
            r->headerList = Curl().slist_append(r->headerList, line.c_str());
        pos = end + 1;
    }
    Curl().easy_setopt(e, CURLOPT_HTTPHEADER, r->headerList);

    if (r->verb == "POST") {
        r->body.assign(static_cast<const char*>(body), body ? bodyLength : 0);
        Curl().easy_setopt(e, CURLOPT_POST, 1L);
        Curl().easy_setopt(e, CURLOPT_POSTFIELDS, r->body.data());
        Curl().easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r->body.size()));
    } else if (r->verb == "GET") {
        Curl().easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else if (r->verb == "HEAD") {
        Curl().easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else {
        Curl().easy_setopt(e, CURLOPT_CUSTOMREQUEST, r->verb.c_str());
    }

    if (Curl().multi_add_handle(r->multi, e) != CURLM_OK) {
        SetError("Cannot start the request");
        return false;
    }
    r->added = true;
    r->lastActivity = Clock::now();
    return r->Drive([r] { return r->headersDone; });
}

bool HttpQueryInfo(HINTERNET request, std::uint32_t infoLevel, std::string& value) {
    auto* r = As<Request>(request);
    value.clear();
    if (!r || !r->sent || !r->headersDone) {
        SetError("No answer to query");
        return false;
    }
    const char* name = nullptr;
    switch (infoLevel) {
    case HTTP_QUERY_STATUS_CODE:
        if (r->status == 0) return false;
        value = std::to_string(r->status);
        return true;
    case HTTP_QUERY_CONTENT_LENGTH:
        name = "content-length";
        break;
    case HTTP_QUERY_CONTENT_TYPE:
        name = "content-type";
        break;
    case HTTP_QUERY_TRANSFER_CODING:
        name = "transfer-encoding";
        break;
    default:
        SetError("Unknown query");
        return false;
    }
    auto it = r->headers.find(name);
    if (it == r->headers.end()) {
        SetError(std::string("The answer has no ") + name + " header");
        return false;
    }
    value = it->second;
    return true;
}

bool InternetReadFile(HINTERNET request, void* buffer, std::size_t toRead, std::size_t& bytesRead) {
    bytesRead = 0;
    auto* r = As<Request>(request);
    if (!r || !r->sent) {
        SetError("Not a sent request");
        return false;
    }
    if (toRead == 0) return true;
    if (r->Buffered() == 0 && !r->Drive([r] { return r->Buffered() > 0; })) {
        if (!r->finished || r->result != CURLE_OK) return false;
    }
    if (r->Buffered() == 0) return true; // end of the body
    bytesRead = std::min(toRead, r->Buffered());
    std::memcpy(buffer, r->buffer.data() + r->bufferPos, bytesRead);
    r->bufferPos += bytesRead;
    return true;
}

bool InternetCloseHandle(HINTERNET handle) {
    if (!handle) return false;
    delete handle;
    return true;
}

void InternetSetCancelCheck(HINTERNET request, std::function<bool()> cancelled) {
    if (auto* r = As<Request>(request)) r->cancelled = std::move(cancelled);
}

std::string InternetGetLastErrorText() {
    return tLastError;
}

void InternetSetTimeouts(int connectMs, int receiveMs) {
    gConnectTimeoutMs = std::max(connectMs, 1);
    gReceiveTimeoutMs = std::max(receiveMs, 1);
}

void InternetGetTimeouts(int& connectMs, int& receiveMs) {
    connectMs = gConnectTimeoutMs.load();
    receiveMs = gReceiveTimeoutMs.load();
}

void InternetSetCertificateFile(const std::string& pemFile) {
    std::lock_guard<std::mutex> lock(gCertMutex);
    gCertFile = pemFile;
}
