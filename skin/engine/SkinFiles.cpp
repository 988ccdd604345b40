// A skin's pictures, read within the limits before any is decoded, the
// names they may have, and the encoding of the skin text.
#include "skin/engine/SkinFiles.h"

#include "classlib/sysutils.h"
#include "platform/os/codepage.h"

#include <cstdlib>

namespace {

uint32_t le32At(const std::string& B, size_t At) {
    auto u = [&](size_t i) { return uint32_t(uint8_t(B[At + i])); };
    return u(0) | u(1) << 8 | u(2) << 16 | u(3) << 24;
}

} // namespace

bool IsSafeSkinFileName(const std::string& Name) {
    if (Name.empty() || Name == "." || Name == "..") return false;
    if (Name.find_first_of("/\\:") != std::string::npos) return false;
    if (Name.find('\0') != std::string::npos) return false;
    return Name.find("..") == std::string::npos;
}

namespace skinfiles {

std::string pictureFile(const std::string& Folder, const std::string& Name) {
    if (!IsSafeSkinFileName(Name))
        throw ESkinDataError("Skin picture name \"" + Name + "\" leaves the skin's folder");
    return Folder + Name;
}

std::array<FramePicture, 5> framePictures(TspSkinContent& C) {
    return {{{C.FPicture, C.FPictureName},
             {C.FInActivePicture, C.FInActivePictureName},
             {C.FMask, C.FMaskName},
             {C.FRollUpPicture, C.FRollUpPictureName},
             {C.FRollUpMask, C.FRollUpMaskName}}};
}

// ---- Picture reader ----------------------------------------------------------------------------

int PictureReader::Image(TStream* S) {
    int64_t left = S->Size() - S->Position();
    uint8_t head[14];
    if (left < int64_t(sizeof head)) throw ESkinDataError("Skin picture is damaged");
    S->ReadBuffer(head, sizeof head);
    uint32_t size = uint32_t(head[2]) | uint32_t(head[3]) << 8 | uint32_t(head[4]) << 16 |
                    uint32_t(head[5]) << 24;
    if (head[0] != 'B' || head[1] != 'M' || size < 54 || int64_t(size) > left)
        throw ESkinDataError("Skin picture is damaged");
    std::string bytes(reinterpret_cast<const char*>(head), sizeof head);
    bytes.resize(size);
    S->ReadBuffer(bytes.data() + sizeof head, int64_t(size) - int64_t(sizeof head));
    return Add(std::move(bytes), false, "#" + std::to_string(FPending.size() + 1));
}

int PictureReader::Slot(TStream* S) {
    uint8_t flag;
    S->ReadBuffer(&flag, 1);
    return flag != 0 ? -1 : Image(S);
}

int PictureReader::File(const std::string& Folder, const std::string& Name, bool AllowJpeg) {
    if (Name.empty()) return -1;
    return Add(ReadFileBytes(pictureFile(Folder, Name)), AllowJpeg && IsJpegFileName(Name),
               "\"" + Name + "\"");
}

PictureReader::Slots PictureReader::Files(const std::string& Folder, TspSkinContent& C,
                                          bool AllowJpeg) {
    Slots s;
    int n = 0;
    for (const FramePicture& f : framePictures(C))
        s.Frames[n++] = File(Folder, f.Name, AllowJpeg);
    for (int i = 0; i < C.FActivePicturesNames->Count(); ++i)
        s.List.push_back(File(Folder, (*C.FActivePicturesNames)[i], AllowJpeg));
    return s;
}

void PictureReader::DecodeInto(TspSkinContent& C, const Slots& S) {
    Decode();
    int n = 0;
    for (const FramePicture& f : framePictures(C))
        f.Bitmap = Take(S.Frames[n++]);
    for (int i : S.List)
        C.FActivePictures.push_back(Take(i));
}

void PictureReader::Decode() {
    for (Pending& p : FPending) {
        p.Bitmap = std::make_unique<TBitmap>();
        TStringStream image(p.Bytes);
        if (p.Jpeg) {
            TJPEGImage jpeg;
            jpeg.LoadFromStream(&image);
            p.Bitmap->SetSize(jpeg.Width(), jpeg.Height());
            p.Bitmap->Canvas()->Draw(0, 0, &jpeg);
        } else {
            p.Bitmap->LoadFromStream(&image);
        }
        p.Bytes.clear();
    }
}

std::unique_ptr<TBitmap> PictureReader::Take(int N) {
    if (N < 0 || size_t(N) >= FPending.size() || !FPending[size_t(N)].Bitmap)
        return std::make_unique<TBitmap>();
    return std::move(FPending[size_t(N)].Bitmap);
}

int PictureReader::Add(std::string Bytes, bool Jpeg, const std::string& What) {
    if (Jpeg)
        ClaimJpeg(Bytes, What);
    else
        ClaimBitmap(Bytes, What);
    FPending.push_back(Pending{std::move(Bytes), Jpeg, nullptr});
    return int(FPending.size()) - 1;
}

void PictureReader::Claim(int64_t W, int64_t H, const std::string& What) {
    W = std::abs(W), H = std::abs(H);
    if (W > kSkinPictureSideLimit || H > kSkinPictureSideLimit || W * H > kSkinPicturePixelLimit)
        throw ESkinDataError("Skin picture " + What + " (" + std::to_string(W) + " x " +
                             std::to_string(H) + ") is too large");
    FUsed += W * H;
    if (FUsed > kSkinPixelBudget)
        throw ESkinDataError("Skin pictures take more than " + std::to_string(kSkinPixelBudget) +
                             " pixels");
}

void PictureReader::ClaimBitmap(const std::string& B, const std::string& What) {
    if (B.size() < 26 || B[0] != 'B' || B[1] != 'M') return;
    uint32_t header = le32At(B, 14);
    if (header == 12) {
        auto u16 = [&](size_t i) { return int64_t(uint8_t(B[i]) | uint8_t(B[i + 1]) << 8); };
        Claim(u16(18), u16(20), What);
    } else {
        Claim(int32_t(le32At(B, 18)), int32_t(le32At(B, 22)), What);
    }
}

void PictureReader::ClaimJpeg(const std::string& B, const std::string& What) {
    auto u8 = [&](size_t i) { return unsigned(uint8_t(B[i])); };
    auto be16 = [&](size_t i) { return int64_t(u8(i) << 8 | u8(i + 1)); };
    if (B.size() < 4 || u8(0) != 0xFF || u8(1) != 0xD8) return;
    size_t i = 2;
    while (i + 9 <= B.size()) {
        if (u8(i) != 0xFF) return;
        unsigned m = u8(i + 1);
        if (m == 0xFF) {
            ++i;
            continue;
        }
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
            Claim(be16(i + 7), be16(i + 5), What);
            return;
        }
        if (m == 0x01 || (m >= 0xD0 && m <= 0xD8)) {
            i += 2;
            continue;
        }
        if (m == 0xD9 || m == 0xDA) return;
        i += 2 + size_t(be16(i + 2));
    }
}

// ---- Skin text ---------------------------------------------------------------------------------

std::string decodeSkinText(const std::string& Bytes) {
    if (Bytes.size() >= 3 && Bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return SanitizeUtf8(std::string_view(Bytes).substr(3));
    if (Bytes.size() >= 2 && (uint8_t(Bytes[0]) == 0xFF && uint8_t(Bytes[1]) == 0xFE))
        return ConvertCharset(std::string_view(Bytes).substr(2), "UTF-16LE", "UTF-8");
    if (Bytes.size() >= 2 && (uint8_t(Bytes[0]) == 0xFE && uint8_t(Bytes[1]) == 0xFF))
        return ConvertCharset(std::string_view(Bytes).substr(2), "UTF-16BE", "UTF-8");
    return AnsiToUtf8(Bytes);
}

std::string encodeSkinText(TStrings* Lines) {
    std::string text;
    for (int i = 0; i < Lines->Count(); ++i) {
        text += Utf8ToAnsi((*Lines)[i]);
        text += "\r\n";
    }
    return text;
}

bool isSkinText(TCustomIniFile* F) {
    for (const char* section : {"VERSION", "PICTURES", "FORMINFO", "SKINOBJECTS", "SKINCONTROLS"}) {
        TStringList keys;
        F->ReadSection(section, &keys);
        if (keys.Count() == 0) return false;
    }
    return true;
}

} // namespace skinfiles
