// Writes the English language file: langfile <file> <version>.
#include <cstdio>
#include <exception>
#include <filesystem>

#include "framework/CLEnglishDefaults.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: langfile <file> <version>\n");
        return 2;
    }
    try {
        std::filesystem::create_directories(std::filesystem::path(argv[1]).parent_path());
        SaveEnglishLanguageFile(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "langfile: %s\n", e.what());
        return 1;
    }
    return 0;
}
