// Loads arbitrary bytes as a download list file, saves what was loaded and
// checks that it loads back the same.
#include "download/MultiDownloader.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string TempFile(const char* what) {
    return (std::filesystem::temp_directory_path() /
            ("lantrove-list-fuzz-" + std::to_string(::getpid()) + what))
        .string();
}

std::string Describe(const TDownloadList& list) {
    std::string out;
    for (int i = 0; i < list.ItemCount(); ++i) {
        const TDownloadItem* item = list.Items(i);
        out += item->URL + '\n' + item->FileName + '\n' + item->Caption + '\n' +
               item->Comment()->Text() + '\n' + std::to_string(item->DownloadState()) +
               std::to_string(item->OrgRedirectOptions.YesINeedRedirect) +
               std::to_string(item->OrgRedirectOptions.RedirectTheme) + '\n' +
               item->OrgRedirectOptions.RedirectURL + "\n--\n";
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    static const std::string input = TempFile(".in");
    static const std::string saved = TempFile(".out");
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
    }
    TDownloadList first(nullptr);
    first.LoadFromFile(input);
    for (int i = 0; i < first.ItemCount(); ++i) {
        const EDownloadState state = first.Items(i)->DownloadState();
        if (state != KReady && state != KFinished) std::abort();
    }
    first.SaveToFile(saved);
    TDownloadList second(nullptr);
    second.LoadFromFile(saved);
    if (Describe(first) != Describe(second)) std::abort();
    std::remove(input.c_str());
    std::remove(saved.c_str());
    return 0;
}
