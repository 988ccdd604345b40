// What the stand-in video site shows: its catalogue of videos, the pages and
// answers built from it, and the settings that point the program at it.
// Everything is a pure function of the request, so the same request always
// gets the same page.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace site {

// The media file a video leads to.
enum class MediaKind { Short, Song, FourMinutes, Long, Broken, Stall };

struct MediaRecipe {
    std::string FileName; // in the media cache
    std::string Container;
    std::string Codec;
    double ToneHz;
    int Seconds;             // length of the audio track (and of the shown duration)
    std::string ContentType; // as served
};
const MediaRecipe& RecipeOf(MediaKind kind);

struct Video {
    std::string Id;
    std::string TitleHtml; // as it stands in the site's pages (escaped)
    MediaKind Kind;
    std::int64_t Views; // < 0: the page shows no view count
};

constexpr int kResultsPerPage = 10;
constexpr int kResultsPerKeyword = 24;
// A keyword has kResultsPerKeyword results for every kResultsPerPage a page
// shows (the pages can be made longer for benchmarks).
constexpr int kMostResultsPerPage = 5000;
constexpr int kCategoryPages = 3;

// Letters, digits, "_" and "-", 1 to 64 of them.
bool IsVideoId(const std::string& id);
// The video with this id: one of the fixed entries, or one made from the id.
Video VideoById(const std::string& id);
// The fixed entries that open page 1 of every keyword.
const std::vector<Video>& FixedVideos();
// Entries of one result page (page from 1) of perPage entries; empty past
// the last page.
std::vector<Video> SearchResults(const std::string& keyword, int page,
                                 int perPage = kResultsPerPage);
int ResultPages(const std::string& keyword, int perPage = kResultsPerPage);

std::string EscapeHtml(const std::string& text);
// "%" and two upper-case hex digits for every byte but letters, digits and "-_.".
std::string PercentEncode(const std::string& text);
// "m:ss", or "h:mm:ss" from an hour on.
std::string FormatDuration(int seconds);
// The security token of a video's media address.
std::string MediaToken(const std::string& id);

// Page layout: 1 is the normal one, 2 a changed one the patterns miss.
// A title, when given, is every entry's.
std::string ResultPage(const std::string& keyword, int page, int layout,
                       int perPage = kResultsPerPage, const std::string& title = {});
std::string WatchPage(const std::string& base, const Video& video, int layout);
std::string NotFoundWatchPage();
std::string GetInfoAnswer(const Video& video);
std::string GetInfoFailure();

struct CategoryRow {
    std::string TitleHtml;
    std::string ArtistHtml;
};
std::vector<std::string> CategoryNames(); // as stored in the settings
std::vector<CategoryRow> CategoryRows(int category, int page);
std::string CategoryPage(int category, int page, int layout);

std::string HotSongsPage(const std::string& base);
std::string InfoPage();
std::string PlainPage(const std::string& title, const std::string& text);

struct UpdateAnswer {
    std::string MagicWord = "lantrove";
    int Result = 0;
    std::string Version = "1.1.0.0";
    std::vector<std::string> Modify; // "key=value": sent as "__MODIFY__.key=value"
};
std::string UpdateText(const std::string& base, const UpdateAnswer& answer);

// The settings ("key", "value") that point the program at a site whose
// addresses begin with base ("http://127.0.0.1:port").
std::vector<std::pair<std::string, std::string>> SiteSettings(const std::string& base);

} // namespace site
