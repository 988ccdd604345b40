#include "download/YoutubeFLVGet.h"

#include "classlib/strings.h"
#include "download/PcreRegex.h"
#include "download/SingleDownloader.h"
#include "platform/os/codepage.h"

std::string PercentDecode(const std::string& text) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int hi = i + 1 < text.size() ? hex(text[i + 1]) : -1;
        const int lo = i + 2 < text.size() ? hex(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) throw EConvertError("Bad escape in \"" + text + "\"");
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

namespace {

// A value decoded through the ANSI code page, as the site's pages expect.
std::string DecodeValue(const std::string& value) {
    return AnsiToUtf8(PercentDecode(Utf8ToAnsi(value)));
}

std::vector<std::string> SplitText(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    if (separator.empty()) {
        parts.push_back(text);
        return parts;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
}

std::string ReplaceAllText(const std::string& text, const std::string& from,
                           const std::string& to) {
    if (from.empty()) return text;
    return StringReplace(text, from, to, rfReplaceAll);
}

} // namespace

// ---------------------------------------------------------------------------

TIdhttpDownloadThread::TIdhttpDownloadThread(const std::string& aURL) : TThread(true), FURL(aURL) {}

TIdhttpDownloadThread::~TIdhttpDownloadThread() {
    StopThread(); // Execute reads FURL and the events
}

void TIdhttpDownloadThread::Execute() {
    TThreadAliveMark alive;
    THttpTransfer t;
    t.URL = FURL;
    t.Agent = "Mozilla/4.0";
    t.AcceptTypes = "*/*";
    t.Charset = KAnsi;
    t.Terminated = [this] { return Terminated(); };
    t.Run();
    if (Terminated()) return;
    const bool ok = t.Result;
    const std::string page = std::move(t.StringResult);
    Synchronize([this, ok, &page] {
        if (ok && FOnDoneString)
            FOnDoneString(nullptr, page);
        else if (!ok && FOnFailed)
            FOnFailed();
    });
}

// ---------------------------------------------------------------------------

TYoutubeFLVGet::TYoutubeFLVGet(TComponent* AOwner)
    : TComponent(AOwner), FDownloader(std::make_unique<TSingleDownloader>(nullptr)) {
    FDownloader->HttpCharset = KAnsi;
    FDownloader->OnDoneString = [this](TObject*, const std::string& text) { PageReceived(text); };
    FDownloader->OnError = [this](TObject*) { FetchFailed(); };
}

TYoutubeFLVGet::~TYoutubeFLVGet() {
    FDownloader->Abort();
    ReleaseThreads(true);
}

void TYoutubeFLVGet::ReleaseThreads(bool all) {
    // Earlier fetches end on their own; their answers go nowhere.
    for (auto& thread : FThreads) {
        thread->FOnDoneString = nullptr;
        thread->FOnFailed = nullptr;
        thread->Terminate();
    }
    if (all) {
        FThreads.clear(); // each joins its thread, running the main thread's calls
        return;
    }
    std::erase_if(FThreads, [](const auto& thread) { return thread->Finished(); });
}

void TYoutubeFLVGet::Get() {
    if (OnBeforeGet) OnBeforeGet(this);
    FBadResponseRaised = false;
    FDownloader->Abort();
    if (YoutubeID.empty()) {
        FinalBadResponse("");
        return;
    }
    switch (Method) {
    case KFromGetInfo:
        FDownloader->URL = YoutubeGetInfoURI + YoutubeID;
        FDownloader->GetString();
        break;
    case KFromWatch:
        FDownloader->URL = YoutubeWatchURI + YoutubeID;
        FDownloader->GetString();
        break;
    case KFromWatch2:
        StartWatch2();
        break;
    default:
        FinalBadResponse("Unknown resolution method " + std::to_string(Method));
        break;
    }
}

void TYoutubeFLVGet::StartWatch2() {
    ReleaseThreads(false);
    auto thread = std::make_unique<TIdhttpDownloadThread>(YoutubeWatchURI + YoutubeID);
    thread->FOnDoneString = [this](TObject*, const std::string& page) { PageReceived(page); };
    thread->FOnFailed = [this] { FetchFailed(); };
    thread->Start();
    FThreads.push_back(std::move(thread));
}

void TYoutubeFLVGet::FetchGetInfo() {
    FDownloader->Abort();
    FDownloader->URL = YoutubeGetInfoURI + YoutubeID;
    FDownloader->GetString();
}

void TYoutubeFLVGet::FetchFailed() {
    if (Method == KFromWatch) {
        Method = KFromGetInfo;
        FetchGetInfo();
        return;
    }
    FinalBadResponse("");
}

void TYoutubeFLVGet::FinalBadResponse(const std::string& message) {
    FBadResponseRaised = true;
    if (OnBadResponse) OnBadResponse(message);
}

void TYoutubeFLVGet::TokenStep(const std::string& token, const std::string& message) {
    if (!token.empty()) {
        FYoutubeFLVURI = YoutubeGetVideoURI + YoutubeID + "&t=" + token;
    } else {
        FBadResponseRaised = true;
        FRetryPending = Method == KFromWatch;
        if (OnBadResponse) OnBadResponse(message);
        FRetryPending = false;
    }
}

void TYoutubeFLVGet::FormatMapStep(const std::string& map) {
    for (const std::string& part : SplitText(map, ",")) {
        const std::vector<std::string> pieces = SplitText(part, "|");
        if (pieces.size() < 2) continue;
        if (!FYoutubeFLVURI.empty() && StrToIntDef(pieces[0], 0) < 6) continue;
        FYoutubeFLVURI = pieces[1];
    }
}

void TYoutubeFLVGet::StreamMapStep(const std::string& map) {
    std::string found;
    for (const std::string& part : SplitText(map, ",")) {
        std::string decoded;
        try {
            decoded = DecodeValue(part);
        } catch (const EConvertError&) {
            continue;
        }
        if (decoded.find("x-flv") != std::string::npos &&
            decoded.find("itag=5") != std::string::npos)
            found = part;
    }
    if (found.empty()) return;
    TStringList fields;
    for (const std::string& field : SplitText(found, "&"))
        fields.Add(field);
    FYoutubeFLVURI = DecodeValue(fields.Values("url"));
}

void TYoutubeFLVGet::PageReceived(const std::string& page) {
    ParsePage(page);
    if (!FYoutubeFLVURI.empty()) {
        if (OnURIGot) OnURIGot(FYoutubeFLVURI, -1);
        return;
    }
    if (Method == KFromWatch) {
        Method = KFromGetInfo;
        FetchGetInfo();
        return;
    }
    if (!FBadResponseRaised) FinalBadResponse("");
}

void TYoutubeFLVGet::ParsePage(const std::string& page) {
    FYoutubeFLVURI.clear();
    FBadResponseRaised = false;
    const TYoutubeFLVGetMethod method = Method;
    try {
        if (method == KFromGetInfo) {
            std::string text = page;
            std::size_t at = text.find('?');
            if (at != std::string::npos) text.erase(0, at + 1);
            at = text.find(':');
            if (at != std::string::npos) text.erase(0, at + 1);
            TStringList params;
            for (const std::string& pair : SplitText(text, "&")) {
                const std::size_t eq = pair.find('=');
                const std::string name = eq == std::string::npos ? pair : pair.substr(0, eq);
                const std::string value = eq == std::string::npos ? "" : pair.substr(eq + 1);
                try {
                    params.Add(name + "=" + DecodeValue(value));
                } catch (const EConvertError&) {
                    // left out
                }
            }
            TokenStep(params.Values("token"), params.Text());
        } else if (method == KFromWatch) {
            TPcreRegex re(YoutubeWatchPattern);
            re.SetSubject(page);
            std::string text = re.Match() ? re.Group(1) : std::string();
            text = ReplaceAllText(text, SplitStr, "\r\n");
            text = ReplaceAllText(text, ":", "=");
            text = ReplaceAllText(text, "\"", "");
            text = ReplaceAllText(text, " ", "");
            TStringList lines;
            lines.SetText(text);
            std::string token = lines.Values("t");
            if (NeedURLDecode) token = DecodeValue(token);
            TokenStep(token, lines.Text());
        } else if (method == KFromWatch2) {
            TPcreRegex re(YoutubeWatchPattern2);
            re.SetSubject(page);
            const std::string text = re.Match() ? re.Group(1) : page;
            TStringList lines;
            for (const std::string& line : SplitText(text, "&"))
                lines.Add(line);
            if (!lines.Values("fmt_stream_map").empty())
                FormatMapStep(DecodeValue(lines.Values("fmt_stream_map")));
            else if (!lines.Values("fmt_url_map").empty())
                FormatMapStep(DecodeValue(lines.Values("fmt_url_map")));
            else if (!lines.Values("url_encoded_fmt_stream_map").empty())
                StreamMapStep(DecodeValue(lines.Values("url_encoded_fmt_stream_map")));
        }
    } catch (const std::exception&) {
        // A page that breaks the parsing is a page without an address.
        FYoutubeFLVURI.clear();
    }
}
