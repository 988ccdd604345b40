#include "download/DownloaderDef.h"

#include "classlib/sysutils.h"
#include "classlib/thread.h"
#include "platform/inet/inet.h"
#include "platform/os/codepage.h"
#include "platform/win/queue.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {
std::atomic<int> gThreadsAlive{0};
}

void TTransferLink::Cancel() {
    std::lock_guard<std::mutex> g(FLock);
    FCancelled = true;
    FLog = nullptr;
}

void TTransferLink::Log(const std::string& line) {
    std::lock_guard<std::mutex> g(FLock);
    if (FLog && !FCancelled) FLog(line);
}

int DownloadThreadsAlive() {
    return gThreadsAlive.load();
}
TThreadAliveMark::TThreadAliveMark() {
    ++gThreadsAlive;
}
TThreadAliveMark::~TThreadAliveMark() {
    --gThreadsAlive;
}

std::string HttpBodyToText(const std::string& body, THttpCharset charset) {
    switch (charset) {
    case KUnicode: {
        std::u16string wide(body.size() / 2, u'\0');
        for (std::size_t i = 0; i < wide.size(); ++i)
            wide[i] = static_cast<char16_t>(static_cast<unsigned char>(body[2 * i]) |
                                            (static_cast<unsigned char>(body[2 * i + 1]) << 8));
        return Utf16ToUtf8(wide);
    }
    case KUTF8:
        return SanitizeUtf8(body);
    case KAnsi:
    default:
        return AnsiToUtf8(body);
    }
}

bool SplitHttpAddress(const std::string& url, THttpAddress& address) {
    address = THttpAddress{};
    std::string rest = url;
    if (StartsText("http://", rest)) {
        rest.erase(0, 7);
    } else if (StartsText("https://", rest)) {
        rest.erase(0, 8);
        address.Secure = true;
        address.Port = 443;
    }
    const std::size_t slash = rest.find('/');
    std::string hostPort = slash == std::string::npos ? rest : rest.substr(0, slash);
    address.ObjectName = slash == std::string::npos ? "/" : rest.substr(slash);

    // "[v6]:port", "host:port" or a bare host.
    std::string portText;
    if (!hostPort.empty() && hostPort[0] == '[') {
        const std::size_t close = hostPort.find(']');
        if (close == std::string::npos) return false;
        address.Host = hostPort.substr(0, close + 1);
        const std::string after = hostPort.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':') return false;
            portText = after.substr(1);
            if (portText.empty()) return false;
        }
    } else {
        const std::size_t colon = hostPort.rfind(':');
        address.Host = hostPort.substr(0, colon);
        if (colon != std::string::npos) {
            portText = hostPort.substr(colon + 1);
            if (portText.empty()) return false;
        }
    }
    if (!portText.empty()) {
        if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const int port = std::stoi(portText);
        if (port < 1 || port > 65535) return false;
        address.Port = static_cast<std::uint16_t>(port);
    }
    return !address.Host.empty();
}

std::string PostBodyBytes(const std::string& postQuery) {
    if (SanitizeUtf8(postQuery) == postQuery) return Utf8ToAnsi(postQuery);
    return postQuery;
}

namespace {

constexpr std::size_t MaxNameBytes = 255;
constexpr std::size_t TempSuffixBytes = 14; // ".xxxxxxxx.part"

// The part of a target's name its temporary files begin with.
std::string TempNameStem(const std::string& name) {
    if (name.size() + TempSuffixBytes <= MaxNameBytes) return name;
    std::size_t keep = MaxNameBytes - TempSuffixBytes;
    // Never cut a UTF-8 sequence in two.
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    return name.substr(0, keep);
}

} // namespace

bool IsTransferTempNameOf(const std::string& Name, const std::string& FileName) {
    const std::string stem = TempNameStem(fs::path(FileName).filename().string());
    std::string rest;
    if (stem.empty() || Name.size() <= stem.size() || Name.compare(0, stem.size(), stem) != 0)
        return false;
    rest = Name.substr(stem.size());
    if (!rest.empty() && rest.back() == '~') rest.pop_back();
    if (rest.size() != TempSuffixBytes || rest[0] != '.' || rest.compare(9, 5, ".part") != 0)
        return false;
    for (std::size_t i = 1; i < 9; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(rest[i]))) return false;
    return true;
}

int RemoveTransferTemps(const std::string& FileName) {
    const fs::path target(FileName);
    std::error_code ec;
    fs::directory_iterator it(target.parent_path().empty() ? fs::path(".") : target.parent_path(),
                              ec);
    int removed = 0;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (!IsTransferTempNameOf(it->path().filename().string(), FileName)) continue;
        std::error_code removeError;
        if (it->is_regular_file(removeError) && fs::remove(it->path(), removeError)) ++removed;
    }
    return removed;
}

std::string MakeTransferTempName(const std::string& FileName, std::string* errorText) {
    static std::mutex lock;
    static std::mt19937 gen{std::random_device{}()};
    const fs::path target(FileName);
    const std::string folder = target.parent_path().string();
    const std::string name = TempNameStem(target.filename().string());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint32_t n;
        {
            std::lock_guard<std::mutex> g(lock);
            n = gen();
        }
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x.part", n);
        const std::string path = (folder.empty() ? std::string() : folder + "/") + name + suffix;
        if (std::FILE* f = std::fopen(path.c_str(), "wbx")) {
            std::fclose(f);
            return path;
        }
        if (errno != EEXIST) {
            if (errorText)
                *errorText = "Cannot create a file in " + (folder.empty() ? "." : folder) + ": " +
                             std::error_code(errno, std::generic_category()).message();
            return {};
        }
    }
    if (errorText) *errorText = "No free temporary name beside " + FileName;
    return {};
}

bool MoveFileIntoPlace(const std::string& tempFile, const std::string& target,
                       std::string* errorText) {
    std::error_code ec;
    fs::rename(tempFile, target, ec);
    if (!ec) return true;
    // Different file systems: copy beside the target first, then swap.
    const std::string sibling = target + ".~copy";
    fs::copy_file(tempFile, sibling, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(sibling, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(sibling, ignored);
        if (errorText) *errorText = "Cannot write " + target + ": " + ec.message();
        return false;
    }
    fs::remove(tempFile, ec);
    return true;
}

namespace {

struct InetHandle {
    HINTERNET h = nullptr;
    ~InetHandle() {
        if (h) InternetCloseHandle(h);
    }
};

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};

} // namespace

void THttpTransfer::Run() {
    Result = false;
    FileSize = 0;
    BytesReaded = 0;
    StatusCode = 0;
    StringResult.clear();
    ErrorText.clear();
    try {
        RunSteps();
    } catch (const std::exception& e) {
        Result = false;
        ErrorText = e.what();
    }
    if (ToFile && !TempFileName.empty()) {
        std::error_code ec;
        fs::remove(TempFileName, ec);
    }
    if (!Result && !ErrorText.empty()) Trace("Failed: " + ErrorText);
}

void THttpTransfer::RunSteps() {
    THttpAddress address;
    const bool parsed = SplitHttpAddress(URL, address);
    Trace("ParseURL: " + URL);
    Trace(address.Host);
    Trace(address.ObjectName);
    if (!parsed) {
        ErrorText = "Malformed address " + URL;
        return;
    }
    if (ToFile && (FileName.empty() || TempFileName.empty())) {
        ErrorText = "No file to write to";
        return;
    }
    if (Stopped()) return;

    InetHandle session, connection, request;
    session.h = InternetOpen(Agent, INTERNET_OPEN_TYPE_PRECONFIG);
    connection.h = InternetConnect(session.h, address.Host, address.Port, UserName, Password);
    const std::string verb = PostQuery.empty() ? "GET" : "POST";
    Trace(verb);
    if (QueueLog) {
        Trace(AcceptTypes);
        Trace("==============HttpOpenRequest begin===============");
        Trace("filename=" + address.ObjectName);
        Trace("Referer=" + Referer);
    }
    std::uint32_t flags = UseCache ? 0 : INTERNET_FLAG_RELOAD;
    if (address.Secure) flags = INTERNET_FLAG_SECURE | (UseCache ? 0 : INTERNET_FLAG_RELOAD);
    if (connection.h)
        request.h = HttpOpenRequest(connection.h, verb, address.ObjectName, "HTTP/1.0", Referer,
                                    {AcceptTypes.empty() ? std::string("*") : AcceptTypes}, flags);
    if (QueueLog) Trace("==============HttpOpenRequest end===============");
    Trace(request.h ? "HttpOpenRequest ok!" : "HttpOpenRequest failed!");
    if (!request.h) {
        ErrorText = InternetGetLastErrorText();
        return;
    }
    InternetSetCancelCheck(request.h, Terminated);

    bool sent;
    if (verb == "POST") {
        const std::string headers =
            ContentType.empty() ? "Content-Type: application/x-www-form-urlencoded" : ContentType;
        const std::string body = PostBodyBytes(PostQuery);
        sent = HttpSendRequest(request.h, headers, body.data(), body.size());
    } else {
        sent = HttpSendRequest(request.h, "", nullptr, 0);
    }
    if (!sent) {
        ErrorText = InternetGetLastErrorText();
        return;
    }
    if (Stopped()) return;
    std::string status;
    if (HttpQueryInfo(request.h, HTTP_QUERY_STATUS_CODE, status))
        StatusCode = StrToIntDef(status, 0);

    if (QueueLog) Trace("=======HttpQueryInfo begin========");
    std::string lengthText;
    const bool hasLength = HttpQueryInfo(request.h, HTTP_QUERY_CONTENT_LENGTH, lengthText);
    if (QueueLog) {
        Trace(hasLength ? "ok!" : "bu ok");
        Trace("=======HttpQueryInfo end========");
    }
    if (Stopped()) return;
    if (!hasLength && BinaryData) {
        ErrorText = "The answer has no Content-Length";
        return;
    }
    if (hasLength) {
        std::int64_t length = 0;
        if (!TryStrToInt64(Trim(lengthText), length) || length < 0) {
            ErrorText = "Bad Content-Length \"" + lengthText + "\"";
            return;
        }
        FileSize = length;
    }
    if (!ToFile && FileSize > MaxTextBodyBytes) {
        ErrorText = "The answer is too long: " + std::to_string(FileSize) + " bytes";
        return;
    }

    std::unique_ptr<std::FILE, FileCloser> file;
    std::vector<char> fileBuffer;
    std::string buffer;
    // Without a length, only a body sent in chunks shows where it ends.
    bool chunked = false;
    if (ToFile) {
        // An error page or an answer of unknown length is never saved as the file.
        if (StatusCode < 200 || StatusCode > 299) {
            ErrorText = "HTTP status " + std::to_string(StatusCode);
            return;
        }
        std::string coding;
        chunked = !hasLength && HttpQueryInfo(request.h, HTTP_QUERY_TRANSFER_CODING, coding) &&
                  LowerCase(coding).find("chunked") != std::string::npos;
        if (FileSize <= 0 && !chunked) {
            ErrorText = hasLength ? "Empty body" : "The answer has no Content-Length";
            return;
        }
        file.reset(std::fopen(TempFileName.c_str(), "wb"));
        if (!file) {
            ErrorText = "Cannot create " + TempFileName;
            return;
        }
        fileBuffer.resize(256 * 1024);
        std::setvbuf(file.get(), fileBuffer.data(), _IOFBF, fileBuffer.size());
    }

    char block[0x4000];
    bool readFailed = false;
    for (;;) {
        if (Stopped()) return;
        std::size_t got = 0;
        if (!InternetReadFile(request.h, block, sizeof block, got)) {
            readFailed = true;
            ErrorText = InternetGetLastErrorText();
            break;
        }
        if (got == 0) break;
        if (ToFile) {
            if (chunked && BytesReaded + static_cast<std::int64_t>(got) > MaxUnsizedBytes) {
                ErrorText =
                    "The answer is longer than " + std::to_string(MaxUnsizedBytes) + " bytes";
                return;
            }
            if (std::fwrite(block, 1, got, file.get()) != got) {
                ErrorText = "Cannot write " + TempFileName;
                return;
            }
        } else {
            if (static_cast<std::int64_t>(buffer.size() + got) > MaxTextBodyBytes) {
                ErrorText =
                    "The answer is longer than " + std::to_string(MaxTextBodyBytes) + " bytes";
                return;
            }
            buffer.append(block, got);
        }
        BytesReaded += static_cast<std::int64_t>(got);
        if (OnBlock) OnBlock(FileSize, BytesReaded);
    }

    if (!ToFile) {
        // A page that broke off is no page.
        if (readFailed) return;
        if (hasLength && BytesReaded != FileSize) {
            ErrorText = "Incomplete answer: " + std::to_string(BytesReaded) + " of " +
                        std::to_string(FileSize) + " bytes";
            return;
        }
        StringResult = HttpBodyToText(buffer, Charset);
        Result = !buffer.empty();
        return;
    }
    const bool flushed = std::fflush(file.get()) == 0 && !std::ferror(file.get());
    const bool closed = std::fclose(file.release()) == 0;
    if (!flushed || !closed) {
        ErrorText = "Cannot write " + TempFileName;
        return;
    }
    if (chunked && !readFailed) {
        // The last chunk came and the connection ended cleanly.
        if (BytesReaded == 0) {
            ErrorText = "Empty body";
            return;
        }
        FileSize = BytesReaded;
    }
    if (readFailed || BytesReaded != FileSize) {
        if (ErrorText.empty())
            ErrorText = "Incomplete body: " + std::to_string(BytesReaded) + " of " +
                        std::to_string(FileSize) + " bytes";
        return;
    }
    if (Stopped()) return;
    const std::string folder = ExtractFileDir(FileName);
    if (!folder.empty()) ForceDirectories(folder);
    Result = MoveFileIntoPlace(TempFileName, FileName, &ErrorText);
}

// Pumps the calling (main) thread's messages and synchronised calls once.
void PumpOnce() {
    MSG msg;
    bool quit = false;
    int quitCode = 0;
    while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = true;
            quitCode = static_cast<int>(msg.wParam);
            break;
        }
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    if (quit) PostQuitMessage(quitCode); // left for the loop that owns it
    CheckSynchronize(10);
}

void RunReportingProgress(
    THttpTransfer& Transfer, std::int64_t& BytesToRead, std::int64_t& BytesReaded,
    const std::function<void(std::int64_t Total, std::int64_t Read)>& Report) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastReport{};
    bool reportedFirst = false;
    std::int64_t unreported = -1;
    Transfer.OnBlock = [&](std::int64_t total, std::int64_t read) {
        BytesToRead = read - BytesReaded;
        BytesReaded = read;
        const auto now = Clock::now();
        if (!reportedFirst || now - lastReport >= std::chrono::milliseconds(50)) {
            reportedFirst = true;
            lastReport = now;
            unreported = -1;
            Report(total, read);
        } else {
            unreported = read;
        }
    };
    Transfer.Run();
    if (unreported >= 0 && !Transfer.Terminated()) Report(Transfer.FileSize, unreported);
}
