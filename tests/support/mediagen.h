// Test media written through the media libraries: tones, a moving test
// pattern, tags and chapters, and a full decode check.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct ToneRecipe {
    int Frequency = 440;
    int SampleRate = 44100;
    int Channels = 1;
    double Seconds = 1;
    double Offset = 0; // start time of the stream
    std::string Codec = "pcm_s16le";
    int BitRate = 0;
};

struct PictureRecipe {
    int Width = 32;
    int Height = 32;
    int Rate = 10;
    double Seconds = 1;
    std::string Codec = "mpeg4";
    int Gop = 0;       // 0: the encoder's default
    bool Comb = false; // alternate black and white lines instead of the moving pattern
};

struct ChapterRecipe {
    double Start = 0;
    double End = 0;
    std::string Title;
};

struct MediaRecipe {
    std::optional<PictureRecipe> Video;
    std::vector<ToneRecipe> Audio;
    std::map<std::string, std::string> Tags;
    std::vector<ChapterRecipe> Chapters;
    std::map<std::string, std::string> MuxerOptions;
    std::string Format; // empty: chosen from the file name
};

// Writes the file; on failure returns false with the reason in *Error.
bool WriteMedia(const std::string& FileName, const MediaRecipe& Recipe,
                std::string* Error = nullptr);

// A plain 16-bit PCM WAV of a sine tone.
bool WriteToneWav(const std::string& FileName, const ToneRecipe& Tone);

// A plain 16-bit PCM WAV holding one sample value throughout.
bool WriteConstantWav(const std::string& FileName, int16_t Value, int SampleRate, double Seconds);

// Whether every stream of the file decodes from start to end without an error;
// the first error goes to *Error.
bool DecodesWithoutError(const std::string& FileName, std::string* Error = nullptr);
