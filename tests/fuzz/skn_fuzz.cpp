// Reads arbitrary bytes as a compressed skin file, and as the inflated
// payload of one: a damaged skin raises, never crashes, and a skin that
// loads keeps to the limits of a skin.
#include "skin/engine/SkinData.h"

#include "skin/engine/spzlibcompress.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    std::string bytes(reinterpret_cast<const char*>(Data), Size);
    TspSkinData skin(nullptr);
    TspCompressedStoredSkin stored(nullptr);
    try {
        if (Size > 0 && (Data[0] & 1)) {
            // The rest is the payload itself, packed here so the fuzzer
            // reaches the picture and text readers.
            TMemoryStream payload;
            payload.WriteString(bytes.substr(1));
            CompressStream(&payload, stored.CompressedStream());
        } else {
            TStringStream file(bytes);
            stored.LoadFromCompressStream(&file);
        }
        skin.LoadCompressedStoredSkin(&stored);
        // What loads keeps to the limits and has a frame to draw forms with.
        if (!skin.Empty) {
            int64_t pixels = 0;
            auto check = [&](TBitmap* b) {
                if (b->Width() > kSkinPictureSideLimit || b->Height() > kSkinPictureSideLimit)
                    std::abort();
                pixels += int64_t(b->Width()) * b->Height();
            };
            for (TBitmap* b : {skin.FPicture.get(), skin.FInActivePicture.get(), skin.FMask.get(),
                               skin.FRollUpPicture.get(), skin.FRollUpMask.get()})
                check(b);
            for (auto& b : skin.FActivePictures)
                check(b.get());
            if (pixels > kSkinPixelBudget || skin.FPicture->Empty()) std::abort();
            if (std::abs(int64_t(skin.FormMinWidth)) > kSkinValueLimit ||
                std::abs(int64_t(skin.BorderW)) > kSkinValueLimit ||
                std::abs(int64_t(skin.ClRect.Right)) > kSkinValueLimit)
                std::abort();
        }
    } catch (const std::exception&) {
        // A damaged skin leaves the skin data as it was: empty.
        if (!skin.Empty || skin.ChangeSkinDataProcess || !skin.CtrlList.empty()) std::abort();
    }
    return 0;
}
