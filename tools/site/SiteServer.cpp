#include "SiteServer.h"

#include <httplib.h>

#include <chrono>
#include <fstream>
#include <utility>
#include <vector>

namespace site {

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool ParseInt(const std::string& text, int& value) {
    try {
        std::size_t used = 0;
        value = std::stoi(text, &used);
        return used == text.size();
    } catch (...) {
        return false;
    }
}

int IntParam(const httplib::Request& req, const std::string& name, int fallback) {
    int value = fallback;
    return ParseInt(req.get_param_value(name), value) ? value : fallback;
}

// The query's pieces in order, each value taken after the first "=" of its
// piece: media tokens and settings end in or hold "=", which the server's
// own parser would cut off.
std::vector<std::pair<std::string, std::string>> RawParams(const httplib::Request& req) {
    std::vector<std::pair<std::string, std::string>> params;
    const std::size_t q = req.target.find('?');
    if (q == std::string::npos) return params;
    std::size_t pos = q + 1;
    while (pos < req.target.size()) {
        std::size_t end = req.target.find('&', pos);
        if (end == std::string::npos) end = req.target.size();
        const std::string piece = req.target.substr(pos, end - pos);
        const std::size_t eq = piece.find('=');
        if (!piece.empty())
            params.emplace_back(httplib::detail::decode_url(piece.substr(0, eq), true),
                                eq == std::string::npos
                                    ? ""
                                    : httplib::detail::decode_url(piece.substr(eq + 1), true));
        pos = end + 1;
    }
    return params;
}

std::string RawParam(const httplib::Request& req, const std::string& name) {
    for (const auto& [key, value] : RawParams(req))
        if (key == name) return value;
    return {};
}

constexpr std::size_t kChunk = 16384;
constexpr std::size_t kStallAfter = 65536;

} // namespace

bool ApplySwitch(Switches& s, const std::string& name, const std::string& value) {
    int n = 0;
    const bool isInt = ParseInt(value, n);
    if (name == "reset")
        s = Switches();
    else if (name == "slow" && isInt && n >= 0)
        s.SlowMs = n;
    else if (name == "slow-path")
        s.SlowPath = value;
    else if (name == "drop")
        s.Drop = value != "0", s.DropPath = value == "1" ? "" : value;
    else if (name == "status" && isInt && (n == 0 || (n >= 400 && n <= 599)))
        s.Status = n;
    else if (name == "status-path")
        s.StatusPath = value;
    else if (name == "layout" && isInt && (n == 1 || n == 2))
        s.Layout = n;
    else if (name == "stall" && isInt && n >= 0)
        s.StallMs = n;
    else if (name == "pace" && isInt && n >= 0)
        s.PaceMs = n;
    else if (name == "per-page" && isInt && n >= 1 && n <= kMostResultsPerPage)
        s.PerPage = n;
    else if (name == "chunked")
        s.Chunked = value != "0";
    else if (name == "title")
        s.Title = value;
    else if (name == "update-result" && isInt)
        s.Update.Result = n;
    else if (name == "update-version" && !value.empty())
        s.Update.Version = value;
    else if (name == "update-magic")
        s.Update.MagicWord = value;
    else if (name == "update-modify" && value.find('=') != std::string::npos)
        s.Update.Modify.push_back(value);
    else
        return false;
    return true;
}

SiteServer::SiteServer(std::string mediaFolder)
    : FServer(std::make_unique<httplib::Server>()), FMedia(std::move(mediaFolder)) {
    Route();
}

SiteServer::~SiteServer() {
    Stop();
}

bool SiteServer::Start(int port) {
    if (port > 0) {
        if (!FServer->bind_to_port("127.0.0.1", port)) return false;
        FPort = port;
    } else {
        FPort = FServer->bind_to_any_port("127.0.0.1");
        if (FPort <= 0) return false;
    }
    FThread = std::thread([this] { FServer->listen_after_bind(); });
    for (int i = 0; i < 500 && !FServer->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return true;
}

void SiteServer::Stop() {
    FStopping = true;
    if (FThread.joinable()) {
        FServer->stop();
        FThread.join();
    }
}

std::string SiteServer::Base() const {
    return "http://127.0.0.1:" + std::to_string(FPort);
}

std::vector<std::string> SiteServer::Requests() {
    std::lock_guard<std::mutex> g(FLock);
    return FRequests;
}

Switches SiteServer::GetSwitches() {
    std::lock_guard<std::mutex> lock(FLock);
    return FSwitches;
}

void SiteServer::SetSwitches(const Switches& switches) {
    std::lock_guard<std::mutex> lock(FLock);
    FSwitches = switches;
}

bool SiteServer::Stopping(int ms) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!FStopping && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return FStopping;
}

void SiteServer::Route() {
    using httplib::Request;
    using httplib::Response;
    auto html = [](Response& res, const std::string& text) {
        res.set_content(text, "text/html; charset=utf-8");
    };
    // The address as the client wrote it, so pages link back the same way.
    auto baseOf = [this](const Request& req) {
        const std::string host = req.get_header_value("Host");
        return host.empty() ? Base() : "http://" + host;
    };

    FServer->set_pre_routing_handler([this](const Request& req, Response& res) {
        if (StartsWith(req.path, "/__site")) return httplib::Server::HandlerResponse::Unhandled;
        {
            std::lock_guard<std::mutex> g(FLock);
            FRequests.push_back(req.target);
        }
        const Switches s = GetSwitches();
        if (s.SlowMs > 0 && StartsWith(req.path, s.SlowPath) && Stopping(s.SlowMs)) {
            res.status = 503;
            return httplib::Server::HandlerResponse::Handled;
        }
        if (s.Status != 0 && StartsWith(req.path, s.StatusPath)) {
            res.status = s.Status;
            res.set_content(PlainPage("Error " + std::to_string(s.Status), "The site failed."),
                            "text/html; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (s.Drop && StartsWith(req.path, s.DropPath)) {
            // Announces a body, then closes the connection without it.
            res.set_content_provider(
                4096, "text/html",
                [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    FServer->Get("/__site", [this](const Request& req, Response& res) {
        Switches s = GetSwitches();
        std::string bad;
        for (const auto& [name, value] : RawParams(req))
            if (!ApplySwitch(s, name, value)) bad += " " + name;
        if (!bad.empty()) {
            res.status = 400;
            res.set_content("unknown or bad switch:" + bad + "\n", "text/plain");
            return;
        }
        SetSwitches(s);
        res.set_content("ok\n", "text/plain");
    });

    FServer->Get("/", [html](const Request&, Response& res) {
        html(res, PlainPage("Video site", "A local stand-in of the video site."));
    });

    FServer->Get("/search", [this, html](const Request& req, Response& res) {
        const Switches s = GetSwitches();
        html(res, ResultPage(req.get_param_value("q"), IntParam(req, "page", 1), s.Layout,
                             s.PerPage, s.Title));
    });

    FServer->Get("/watch", [this, html, baseOf](const Request& req, Response& res) {
        const std::string id = req.get_param_value("v");
        if (!IsVideoId(id)) {
            res.status = 404;
            html(res, NotFoundWatchPage());
            return;
        }
        html(res, WatchPage(baseOf(req), VideoById(id), GetSwitches().Layout));
    });

    FServer->Get("/get_video_info", [](const Request& req, Response& res) {
        const std::string id = req.get_param_value("video_id");
        res.set_content(IsVideoId(id) ? GetInfoAnswer(VideoById(id)) : GetInfoFailure(),
                        "application/x-www-form-urlencoded");
    });

    auto media = [this](const std::string& id, const std::string& token, Response& res) {
        if (!IsVideoId(id) || token != MediaToken(id)) {
            res.status = 403;
            res.set_content("forbidden\n", "text/plain");
            return;
        }
        const Video video = VideoById(id);
        std::string error;
        const std::string file = FMedia.File(video.Kind, &error);
        if (file.empty()) {
            res.status = 500;
            res.set_content("cannot make the media file: " + error + "\n", "text/plain");
            return;
        }
        auto in = std::make_shared<std::ifstream>(file, std::ios::binary);
        in->seekg(0, std::ios::end);
        const std::size_t size = static_cast<std::size_t>(in->tellg());
        const bool stall = video.Kind == MediaKind::Stall;
        const int stallMs = GetSwitches().StallMs;
        const int paceMs = GetSwitches().PaceMs;
        // A transfer counts from its answer until the connection lets go of it.
        const int active = ++FMediaActive;
        for (int peak = FMediaPeak;
             active > peak && !FMediaPeak.compare_exchange_weak(peak, active);)
            ;
        auto piece = [this, in, size, stall, stallMs,
                      paceMs](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            if (stall && offset >= kStallAfter) {
                Stopping(stallMs);
                return false;
            }
            if (paceMs > 0 && Stopping(paceMs)) return false;
            std::size_t n = std::min({length, kChunk, size - offset});
            if (stall) n = std::min(n, kStallAfter - offset);
            std::string buf(n, '\0');
            in->seekg(static_cast<std::streamoff>(offset));
            in->read(buf.data(), static_cast<std::streamsize>(n));
            return in->gcount() == static_cast<std::streamsize>(n) && sink.write(buf.data(), n);
        };
        auto released = [this](bool) { --FMediaActive; };
        if (GetSwitches().Chunked) {
            // No length: the pieces go out as chunks, the last one ends the answer.
            res.set_chunked_content_provider(
                RecipeOf(video.Kind).ContentType,
                [piece, size](std::size_t offset, httplib::DataSink& sink) {
                    if (offset >= size) {
                        sink.done();
                        return true;
                    }
                    return piece(offset, size - offset, sink);
                },
                released);
        } else {
            res.set_content_provider(size, RecipeOf(video.Kind).ContentType, piece, released);
        }
    };
    FServer->Get("/get_video", [media](const Request& req, Response& res) {
        media(RawParam(req, "video_id"), RawParam(req, "t"), res);
    });
    FServer->Get("/media", [media](const Request& req, Response& res) {
        media(RawParam(req, "id"), RawParam(req, "sig"), res);
    });

    FServer->Get("/category", [this, html](const Request& req, Response& res) {
        html(res, CategoryPage(IntParam(req, "c", -1), std::max(1, IntParam(req, "p", 1)),
                               GetSwitches().Layout));
    });
    FServer->Get("/hot", [html, baseOf](const Request& req, Response& res) {
        html(res, HotSongsPage(baseOf(req)));
    });
    FServer->Get("/info", [html](const Request&, Response& res) { html(res, InfoPage()); });
    FServer->Get("/home", [html](const Request&, Response& res) {
        html(res, PlainPage("Lantrove", "Find music and save it as MP3."));
    });
    FServer->Get("/help", [html](const Request&, Response& res) {
        html(res, PlainPage("Help Center", "Type a keyword, press Enter, click Download."));
    });
    FServer->Get("/support", [html](const Request&, Response& res) {
        html(res, PlainPage("Support", "Write to the makers of Lantrove."));
    });
    FServer->Get("/download", [html](const Request& req, Response& res) {
        html(res, PlainPage("Download Lantrove " + req.get_param_value("ver"),
                            "The new version is ready to download."));
    });
    FServer->Get("/update", [this, baseOf](const Request& req, Response& res) {
        res.set_content(UpdateText(baseOf(req), GetSwitches().Update), "text/plain");
    });
}

} // namespace site
