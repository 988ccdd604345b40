// What the folder and the compressed storage of a skin share: its pictures,
// read within the limits of SkinData.h, and the encoding of its text. Used
// inside the skin engine only; callers include SkinData.h.
#pragma once

#include "skin/engine/SkinData.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace skinfiles {

// Folder + Name; ESkinDataError for a name that leaves the folder.
std::string pictureFile(const std::string& Folder, const std::string& Name);

// The five frame pictures of a skin with their names, in the order every
// storage form keeps them.
struct FramePicture {
    std::unique_ptr<TBitmap>& Bitmap;
    std::string& Name;
};
std::array<FramePicture, 5> framePictures(TspSkinContent& C);

// Reads a skin's pictures in two steps: each picture's bytes are taken and
// the pixels its header claims are counted first, and only when every claim
// fits the limits are the pictures decoded. A picture beyond them is refused
// while it is still a few bytes of header.
class PictureReader {
public:
    // One bitmap file out of a run of them: its header's size field says
    // where it ends, and that size must fit what is left. Returns its number.
    int Image(TStream* S);
    // A picture slot of a payload: a flag byte, then the picture unless the
    // flag says there is none (-1).
    int Slot(TStream* S);
    // A picture file of a folder skin; -1 for an empty name.
    int File(const std::string& Folder, const std::string& Name, bool AllowJpeg);
    // Where the pictures of one skin stand among those taken: the frame
    // pictures in the order of framePictures, then the picture list; -1 for
    // none.
    struct Slots {
        int Frames[5] = {-1, -1, -1, -1, -1};
        std::vector<int> List;
    };
    // The picture files of a folder skin, as C names them.
    Slots Files(const std::string& Folder, TspSkinContent& C, bool AllowJpeg);
    // Decodes every picture taken and hands them over to C where S puts
    // them (an empty bitmap for -1).
    void DecodeInto(TspSkinContent& C, const Slots& S);

private:
    void Decode();
    std::unique_ptr<TBitmap> Take(int N);
    struct Pending {
        std::string Bytes;
        bool Jpeg;
        std::unique_ptr<TBitmap> Bitmap;
    };
    int Add(std::string Bytes, bool Jpeg, const std::string& What);
    void Claim(int64_t W, int64_t H, const std::string& What);
    // A bitmap file's header; bytes that are no bitmap are left to the decoder.
    void ClaimBitmap(const std::string& B, const std::string& What);
    // A JPEG file's frame header; bytes without one are left to the decoder.
    void ClaimJpeg(const std::string& B, const std::string& What);

    std::vector<Pending> FPending;
    int64_t FUsed = 0;
};

// The skin text: a byte-order mark chooses UTF-8 or UTF-16, else the ANSI code page.
std::string decodeSkinText(const std::string& Bytes);
// Lines in the ANSI code page, each ended by CR LF.
std::string encodeSkinText(TStrings* Lines);
// True when F has every section a skin text must have.
bool isSkinText(TCustomIniFile* F);

} // namespace skinfiles
