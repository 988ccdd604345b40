#include "SiteContent.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace site {

namespace {

std::uint64_t Hash(const std::string& text) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

const char kIdChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

std::string MakeId(const std::string& seed) {
    std::uint64_t h = Hash(seed);
    std::string id;
    for (int i = 0; i < 11; ++i) {
        id += kIdChars[h & 63];
        h = (h >> 6) ^ (h * 0x9E3779B97F4A7C15ull);
    }
    return id;
}

std::string WithCommas(std::int64_t n) {
    std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// Endings of the made-up titles; they carry non-Latin letters, quotes and
// ampersands as the real site writes them.
const char* const kTitleEndings[] = {
    "(Official Video)",
    "&ndash; Live at Studio 7",
    "Acoustic Session",
    "(Remix) &#91;HD&#93;",
    "Karaoke Version",
    "&#1084;&#1077;&#1083;&#1086;&#1076;&#1080;&#1103;",
    "ライブ 2009",
    "Cover by Ana &amp; Leo",
    "&quot;Unplugged&quot; Lyrics",
    "Ça plane pour moi",
};

std::string Page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head>\n<body>\n" + body + "</body></html>\n";
}

} // namespace

const MediaRecipe& RecipeOf(MediaKind kind) {
    static const std::map<MediaKind, MediaRecipe> recipes = {
        {MediaKind::Short, {"short.flv", "flv", "libmp3lame", 440.0, 30, "video/x-flv"}},
        {MediaKind::Song, {"song.mp4", "mp4", "aac", 660.0, 205, "video/mp4"}},
        {MediaKind::FourMinutes, {"four.flv", "flv", "libmp3lame", 523.25, 240, "video/x-flv"}},
        {MediaKind::Long, {"long.mp4", "mp4", "aac", 330.0, 450, "video/mp4"}},
        {MediaKind::Broken, {"broken.flv", "", "", 0.0, 130, "video/x-flv"}},
        // Serves the short file but stops sending part way.
        {MediaKind::Stall, {"short.flv", "flv", "libmp3lame", 440.0, 30, "video/x-flv"}},
    };
    return recipes.at(kind);
}

bool IsVideoId(const std::string& id) {
    if (id.empty() || id.size() > 64) return false;
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-';
    });
}

const std::vector<Video>& FixedVideos() {
    static const std::vector<Video> videos = {
        {"Lt4pZ8xQw1A", "Café del Mar &mdash; Ελληνικά &amp; Русский", MediaKind::Short, 1234567},
        {"Qh7_Nd2kR9s", "He said &quot;Hello&quot; &amp; it&#39;s fine", MediaKind::Song, 987},
        {"Zx3-Lm8vB0q", "&#x4E2D;&#x6587;歌曲 (Live)", MediaKind::Short, 12},
        {"Bn5Yt2Wq7Ee", "Beyonc&eacute; &ndash; Four Minutes", MediaKind::FourMinutes, 45000000},
        {"Pc9Ra1Sd3Fg", "100% Pure Love", MediaKind::Short, -1},
        {"Lg2Hk4Jm6Np", "Epic Journey &#8212; Extended Mix", MediaKind::Long, 3000000000},
        {"Br0kEnF1le0", "Broken Upload", MediaKind::Broken, 321},
        {"St4lLeDv1d0", "Stalled Stream", MediaKind::Stall, 654},
    };
    return videos;
}

Video VideoById(const std::string& id) {
    for (const Video& v : FixedVideos())
        if (v.Id == id) return v;
    const std::uint64_t h = Hash("video:" + id);
    static const MediaKind playable[] = {MediaKind::Short, MediaKind::Song, MediaKind::FourMinutes,
                                         MediaKind::Long};
    Video v;
    v.Id = id;
    v.TitleHtml = "Video " + id;
    v.Kind = playable[h % 4];
    v.Views = static_cast<std::int64_t>((h >> 8) % 50000000);
    return v;
}

namespace {

int ResultsOf(int perPage) {
    return kResultsPerKeyword * perPage / kResultsPerPage;
}

} // namespace

int ResultPages(const std::string& keyword, int perPage) {
    if (keyword == "no results") return 0;
    return (ResultsOf(perPage) + perPage - 1) / perPage;
}

std::vector<Video> SearchResults(const std::string& keyword, int page, int perPage) {
    std::vector<Video> out;
    if (page < 1 || page > ResultPages(keyword, perPage)) return out;
    const int first = (page - 1) * perPage;
    const int last = std::min(ResultsOf(perPage), first + perPage);
    const auto& fixed = FixedVideos();
    for (int i = first; i < last; ++i) {
        if (i < static_cast<int>(fixed.size())) {
            out.push_back(fixed[i]);
            continue;
        }
        Video v = VideoById(MakeId(keyword + "#" + std::to_string(i)));
        const std::uint64_t h = Hash(keyword + "@" + std::to_string(i));
        v.TitleHtml = EscapeHtml(keyword) + " " +
                      kTitleEndings[h % (sizeof(kTitleEndings) / sizeof(kTitleEndings[0]))];
        out.push_back(v);
    }
    return out;
}

std::string EscapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string PercentEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string FormatDuration(int seconds) {
    char buf[32];
    if (seconds >= 3600)
        std::snprintf(buf, sizeof buf, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    else
        std::snprintf(buf, sizeof buf, "%d:%02d", seconds / 60, seconds % 60);
    return buf;
}

std::string MediaToken(const std::string& id) {
    std::string token = MakeId("token:" + id).substr(0, 10);
    return token + "=";
}

std::string ResultPage(const std::string& keyword, int page, int layout, int perPage,
                       const std::string& title) {
    const std::string k = EscapeHtml(keyword);
    const std::string q = PercentEncode(keyword);
    std::string body = "<div id=\"masthead\"><form action=\"/results\"><input name=\"q\" "
                       "value=\"" +
                       k + "\"></form></div>\n<div id=\"results\">\n";
    std::vector<Video> videos = SearchResults(keyword, page, perPage);
    if (!title.empty())
        for (Video& v : videos)
            v.TitleHtml = EscapeHtml(title);
    if (videos.empty())
        body += "<p class=\"no-results\">No videos found for &quot;" + k + "&quot;.</p>\n";
    body += layout == 2 ? "<ul class=\"card-list\">\n" : "<ol class=\"result-list\">\n";
    for (const Video& v : videos) {
        const std::string time = FormatDuration(RecipeOf(v.Kind).Seconds);
        if (layout == 2) {
            body += "<li class=\"card\" data-video=\"" + v.Id +
                    "\">\n  <h3 class=\"card-title\"><a href=\"/v/" + v.Id + "\">" + v.TitleHtml +
                    "</a></h3>\n  <div class=\"card-meta\">" + time + " &middot; " +
                    (v.Views >= 0 ? WithCommas(v.Views) : std::string("-")) + "</div>\n</li>\n";
            continue;
        }
        body += "<li class=\"video-entry\">\n  <a class=\"thumb\" href=\"/watch?v=" + v.Id +
                "\"><span class=\"thumb-box\"></span></a>\n  <h3><a class=\"video-title\" "
                "href=\"/watch?v=" +
                v.Id + "\" title=\"" + v.TitleHtml + "\">" + v.TitleHtml +
                "</a></h3>\n  <span class=\"video-time\">" + time + "</span>\n";
        if (v.Views >= 0)
            body += "  <span class=\"view-count\">" + WithCommas(v.Views) + " views</span>\n";
        body += "</li>\n";
    }
    body += layout == 2 ? "</ul>\n" : "</ol>\n";
    const int pages = ResultPages(keyword, perPage);
    if (pages > 0) {
        body += layout == 2 ? "<div class=\"search-pager\">" : "<div class=\"pager\">";
        for (int p = 1; p <= pages; ++p) {
            const std::string n = std::to_string(p);
            if (layout == 2)
                body += "<button data-page=\"" + n + "\">" + n + "</button>";
            else if (p == page)
                body += "<span class=\"pager-item current\">" + n + "</span> ";
            else
                body += "<a class=\"pager-item\" href=\"/search?q=" + q + "&amp;page=" + n + "\">" +
                        n + "</a> ";
        }
        if (page < pages && layout != 2)
            body += "<a class=\"pager-next\" href=\"/search?q=" + q +
                    "&amp;page=" + std::to_string(page + 1) + "\">Next &raquo;</a>";
        body += "</div>\n";
    }
    body += "</div>\n";
    return Page(k + " - Video results", body);
}

std::string WatchPage(const std::string& base, const Video& video, int layout) {
    const MediaRecipe& recipe = RecipeOf(video.Kind);
    const std::string token = MediaToken(video.Id);
    const std::string seconds = std::to_string(recipe.Seconds);
    std::string body = "<h1 id=\"watch-title\">" + video.TitleHtml + "</h1>\n";
    if (layout == 2) {
        body += "<div id=\"player\" data-video=\"" + video.Id + "\"></div>\n";
        return Page(video.TitleHtml, body);
    }
    // The player settings twice: flash variables in the embed code, and the
    // format map of the newer player configuration.
    const std::string media = base + "/media?id=" + video.Id + "&sig=" + token;
    const std::string map = "5|" + media + "&itag=5," + "18|" + media + "&itag=18";
    body += "<div id=\"watch-player\"></div>\n<script type=\"text/javascript\">\n"
            "var isIE = false;\n"
            "var swfHTML = (isIE) ? \"<object width=\\\"480\\\" height=\\\"385\\\"><param "
            "name=\\\"movie\\\" value=\\\"/player.swf\\\"></object>\" : \"<embed "
            "src=\\\"/player.swf\\\" flashvars=\\\"video_id=" +
            video.Id + "&len=" + seconds + "&t=" + PercentEncode(token) +
            "&quality=low\\\" width=\\\"480\\\" height=\\\"385\\\"></embed>\";\n"
            "player.configure({'PLAYER_CONFIG': {fmt_stream_map=" +
            PercentEncode(map) + "&seconds=" + seconds + "&video_id=" + video.Id +
            "}});\n</script>\n";
    return Page(video.TitleHtml, body);
}

std::string NotFoundWatchPage() {
    return Page("Video not found", "<p class=\"error\">This video is not available.</p>\n");
}

std::string GetInfoAnswer(const Video& video) {
    return "status=ok&title=" + PercentEncode(video.TitleHtml) +
           "&seconds=" + std::to_string(RecipeOf(video.Kind).Seconds) +
           "&token=" + PercentEncode(MediaToken(video.Id)) + "&video_id=" + video.Id;
}

std::string GetInfoFailure() {
    return "status=fail&reason=Video+not+found";
}

std::vector<std::string> CategoryNames() {
    return {"Pop",   "Rock", "Hip-Hop/Rap", "More/Other", "Electronic",
            "R%26B", "Jazz", "Classical",   "Latin",      "K-Pop"};
}

std::vector<CategoryRow> CategoryRows(int category, int page) {
    static const char* const titles[] = {
        "Midnight City",
        "Tom &amp; Jerry Blues",
        "Ballade pour Adeline",
        "Песня о тревожной молодости",
        "夜空ノムコウ",
        "Don&#39;t Stop",
        "Señorita",
        "Bohemian Dreams",
        "&quot;Heroes&quot;",
        "Canción del Mariachi",
    };
    static const char* const artists[] = {
        "M83",      "The Cartoons",  "Richard Cl&eacute;", "Лев Лещенко",
        "SMAP",     "Fleetwood Mac", "Shawn &amp; Camila", "Queenie",
        "David B.", "Los Lobos",
    };
    std::vector<CategoryRow> rows;
    const int n = sizeof(titles) / sizeof(titles[0]);
    for (int i = 0; i < n; ++i) {
        const int k = (i + category * 3 + (page - 1) * 7) % n;
        std::string title = titles[k];
        if (page > 1) title += " (Part " + std::to_string(page) + ")";
        rows.push_back({title, artists[(k + category) % n]});
    }
    // A row the chart keeps for layout, and one whose artist is unknown.
    rows.insert(rows.begin() + 3, CategoryRow{"__title__", "__artist__"});
    rows.push_back({"Unknown Artist Anthem", " "});
    return rows;
}

std::string CategoryPage(int category, int page, int layout) {
    const std::vector<std::string> names = CategoryNames();
    const std::string name =
        category >= 0 && category < static_cast<int>(names.size()) ? names[category] : "Unknown";
    std::string body = "<h1>Top songs: " + EscapeHtml(name) + "</h1>\n";
    body += layout == 2 ? "<div class=\"chart-v2\">\n" : "<table class=\"chart\">\n";
    for (const CategoryRow& r : CategoryRows(category, page)) {
        if (layout == 2)
            body += "<div class=\"song\"><b>" + r.TitleHtml + "</b> by <i>" + r.ArtistHtml +
                    "</i></div>\n";
        else
            body += "<tr class=\"chart-row\"><td class=\"chart-title\">" + r.TitleHtml +
                    "</td><td class=\"chart-artist\">" + r.ArtistHtml + "</td></tr>\n";
    }
    body += layout == 2 ? "</div>\n" : "</table>\n";
    return Page("Top songs", body);
}

std::string HotSongsPage(const std::string& base) {
    std::string body = "<h1>Hot Songs</h1>\n<ol class=\"hot-songs\">\n";
    static const char* const keywords[] = {"Midnight City", "Café del Mar", "Señorita",
                                           "夜空ノムコウ", "Tom & Jerry"};
    for (const char* k : keywords) {
        body += "<li><a href=\"xmd:ACTION=Search&amp;KEYWORD=" + PercentEncode(k) + "\">" +
                EscapeHtml(k) + "</a></li>\n";
    }
    body += "</ol>\n<p><a href=\"xmd:ACTION=Category\">All categories</a></p>\n";
    body +=
        "<iframe id=\"news\" src=\"" + base + "/info\" width=\"100%\" height=\"120\"></iframe>\n";
    return Page("Hot Songs", body);
}

std::string InfoPage() {
    return Page("News", "<div class=\"news\"><p>Welcome! Search for a song, preview it and save "
                        "it as MP3.</p><p>Version 1.1.0 is on its way.</p></div>\n");
}

std::string PlainPage(const std::string& title, const std::string& text) {
    return Page(EscapeHtml(title),
                "<h1>" + EscapeHtml(title) + "</h1>\n<p>" + EscapeHtml(text) + "</p>\n");
}

std::string UpdateText(const std::string& base, const UpdateAnswer& answer) {
    std::string text = "magicword=" + answer.MagicWord + "\r\n";
    text += "Result=" + std::to_string(answer.Result) + "\r\n";
    text += "version=" + answer.Version + "\r\n";
    if (answer.Result == 1) {
        text += "info=Lantrove " + answer.Version + " is available. Download it now?\r\n";
        text += "page=" + base + "/download?ver=" + answer.Version + "\r\n";
    }
    for (const std::string& m : answer.Modify)
        text += "__MODIFY__." + m + "\r\n";
    return text;
}

std::vector<std::pair<std::string, std::string>> SiteSettings(const std::string& base) {
    std::vector<std::pair<std::string, std::string>> s = {
        {"SearchKeyURL", base + "/search?q="},
        {"DownloadURL", base + "/watch?v="},
        {"Pattern.entry", "<li class=\"video-entry\">(.*)</li>"},
        {"Pattern.id", "href=\"/watch\\?v=([A-Za-z0-9_-]+)\""},
        {"Pattern.title", "class=\"video-title\"[^>]*title=\"([^\"]*)\""},
        {"Pattern.duration", "<span class=\"video-time\">([^<]*)</span>"},
        {"Pattern.popularity2", "<span class=\"view-count\">([0-9,]+) views</span>"},
        {"Pattern.pages", "class=\"pager-item[^\"]*\"[^>]*>([0-9]+)</"},
        {"GetMethod", "1"},
        {"WatchURL", base + "/watch?v="},
        {"GetInfoURL", base + "/get_video_info?&video_id="},
        {"FLVGetVideoURI", base + "/get_video?asv=3&video_id="},
        {"WatchPattern", "flashvars=\\\\\"([^\\\\]*)\\\\\""},
        {"WatchPattern2", "'PLAYER_CONFIG': \\{([^}]*)\\}"},
        {"FLVSplitStr", "&"},
        {"FLVNeedDecode", "1"},
        {"FLVURLFormat", "%s?video_id=%s&t=%s"},
        {"c_pattern", "chart-row"},
        {"c_pattern_entry", "<tr class=\"chart-row\">(.*)</tr>"},
        {"c_pattern_title", "<td class=\"chart-title\">([^<]*)</td>"},
        {"c_pattern_artist", "<td class=\"chart-artist\">([^<]*)</td>"},
        {"c_pages", std::to_string(kCategoryPages)},
        {"c_pagetitle", " - Top Songs"},
    };
    const std::vector<std::string> names = CategoryNames();
    s.emplace_back("categories_count", std::to_string(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i) {
        s.emplace_back("c_" + std::to_string(i) + "_name", names[i]);
        s.emplace_back("c_" + std::to_string(i) + "_url",
                       base + "/category?c=" + std::to_string(i));
    }
    s.emplace_back("URL.Update", base + "/update");
    s.emplace_back("URL.HomeURL", base + "/hot");
    s.emplace_back("URL.InfoURL", base + "/info");
    s.emplace_back("URL.home", base + "/home");
    s.emplace_back("URL.help", base + "/help");
    s.emplace_back("URL.support", base + "/support");
    s.emplace_back("URL.Redirect", base + "/");
    return s;
}

} // namespace site
