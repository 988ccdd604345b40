// Media files for the tests, written through the media libraries, and the tags
// ffprobe reads from them.
#pragma once

#include "support/mediagen.h"
#include "support/tempdir.h"

#include <cstdlib>
#include <map>
#include <string>

// Single-quotes a word for the shell.
inline std::string ShellQuote(const std::string& Word) {
    std::string Out = "'";
    for (char C : Word)
        Out += C == '\'' ? std::string("'\\''") : std::string(1, C);
    return Out + "'";
}

// Runs a shell command line and returns its output (both streams); the exit status
// goes to *Status when given.
inline std::string RunCommand(const std::string& CommandLine, int* Status = nullptr) {
    TempDir Dir;
    const std::string Out = Dir.file("out.txt");
    int Result = std::system(("(" + CommandLine + ") > " + ShellQuote(Out) + " 2>&1").c_str());
    if (Status) *Status = Result;
    return Dir.read("out.txt");
}

// The recipe of a short 64 kbit/s MP3 of a 440 Hz tone, without tags.
inline MediaRecipe Mp3Recipe(double Seconds = 0.5) {
    MediaRecipe Recipe;
    Recipe.Audio.push_back(ToneRecipe{.Seconds = Seconds, .Codec = "libmp3lame", .BitRate = 64000});
    Recipe.MuxerOptions = {{"id3v2_version", "0"}, {"write_id3v1", "0"}};
    return Recipe;
}

// Writes a short MP3 without tags; false when writing fails.
inline bool MakeMp3(const std::string& FileName, double Seconds = 0.5) {
    return WriteMedia(FileName, Mp3Recipe(Seconds));
}

// The container tags as ffprobe reads them, keys in lower case.
inline std::map<std::string, std::string> ProbeTags(const std::string& FileName) {
    std::string Text = RunCommand("ffprobe -v error -show_entries format_tags -of default=nw=1 " +
                                  ShellQuote(FileName));
    std::map<std::string, std::string> Tags;
    size_t P = 0;
    while (P < Text.size()) {
        size_t End = Text.find('\n', P);
        if (End == std::string::npos) End = Text.size();
        std::string Line = Text.substr(P, End - P);
        P = End + 1;
        if (Line.rfind("TAG:", 0) != 0) continue;
        size_t Eq = Line.find('=');
        if (Eq == std::string::npos) continue;
        std::string Key = Line.substr(4, Eq - 4);
        for (char& C : Key)
            C = char(std::tolower(static_cast<unsigned char>(C)));
        Tags[Key] = Line.substr(Eq + 1);
    }
    return Tags;
}

// Whether the file decodes from start to end without an error.
inline bool DecodesCleanly(const std::string& FileName) {
    return DecodesWithoutError(FileName);
}
