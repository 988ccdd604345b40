// The compressed skin: its payload (pictures, then the skin text) packed
// from a folder skin or skin data, and read back into skin data here too so
// both sides of the format stay together; the stored skin and skin lists.
#include "skin/engine/SkinData.h"
#include "skin/engine/SkinFiles.h"

#include "classlib/sysutils.h"
#include "skin/engine/spzlibcompress.h"

using namespace skinfiles;

namespace {

constexpr int32_t kWriterVersion = 2;
// Inflated payloads beyond this are refused as damaged.
constexpr int64_t kMaxPayload = int64_t(256) << 20;

void writeInt(TStream* S, int32_t V) {
    uint8_t b[4] = {uint8_t(V), uint8_t(V >> 8), uint8_t(V >> 16), uint8_t(uint32_t(V) >> 24)};
    S->WriteBuffer(b, 4);
}

int32_t readInt(TStream* S) {
    uint8_t b[4];
    S->ReadBuffer(b, 4);
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                   uint32_t(b[3]) << 24);
}

void writeBitmapImage(TStream* S, TBitmap* B) {
    B->SaveToStream(S);
}

void writeSlot(TStream* S, TBitmap* B) {
    uint8_t flag = (!B || B->Empty()) ? 1 : 0;
    S->WriteBuffer(&flag, 1);
    if (!flag) writeBitmapImage(S, B);
}

// The pictures of a payload: the five frame slots, the count of the list and
// its pictures.
void writePictures(TStream* S, TspSkinContent& C) {
    for (const FramePicture& f : framePictures(C))
        writeSlot(S, f.Bitmap.get());
    writeInt(S, int32_t(C.FActivePictures.size()));
    for (auto& b : C.FActivePictures)
        writeBitmapImage(S, b.get());
}

} // namespace

// ---- Stored skins ------------------------------------------------------------------------------

TspCompressedStoredSkin::TspCompressedStoredSkin(TComponent* AOwner)
    : TComponent(AOwner), FCompressedStream(std::make_unique<TMemoryStream>()) {}

TspCompressedStoredSkin::~TspCompressedStoredSkin() = default;

bool TspCompressedStoredSkin::Empty() const {
    return FCompressedStream->Size() == 0;
}

void TspCompressedStoredSkin::ReadCompressed(TStream* S) {
    FCompressedStream->Clear();
    int32_t version = readInt(S);
    if (version > 3) return;
    int32_t n = readInt(S);
    // A negative or zero length names no data: the stored skin stays empty.
    if (n <= 0) return;
    if (int64_t(n) > S->Size() - S->Position()) throw EReadError("Stream read error");
    FCompressedStream->CopyFrom(S, n);
    FCompressedStream->SetPosition(0);
}

void TspCompressedStoredSkin::LoadFromCompressFile(const std::string& AFileName) {
    FCompressedStream->Clear();
    TFileStream f(AFileName, fmOpenRead | fmShareDenyWrite);
    ReadCompressed(&f);
}

void TspCompressedStoredSkin::SaveToCompressFile(const std::string& AFileName) {
    if (Empty()) return;
    TFileStream f(AFileName, fmCreate);
    SaveToCompressStream(&f);
}

void TspCompressedStoredSkin::LoadFromCompressStream(TStream* Stream) {
    FCompressedStream->Clear();
    Stream->SetPosition(0);
    ReadCompressed(Stream);
}

void TspCompressedStoredSkin::SaveToCompressStream(TStream* Stream) {
    writeInt(Stream, kWriterVersion);
    writeInt(Stream, int32_t(FCompressedStream->Size()));
    if (FCompressedStream->Size() > 0)
        Stream->WriteBuffer(FCompressedStream->Memory(), FCompressedStream->Size());
}

void TspCompressedStoredSkin::DeCompressToStream(TMemoryStream* S) {
    DecompressStream(FCompressedStream.get(), S, kMaxPayload);
}

void TspCompressedStoredSkin::LoadFromIniFile(const std::string& AFileName) {
    TStringList lines;
    std::string raw;
    try {
        raw = ReadFileBytes(AFileName);
    } catch (const EFOpenError&) {
        return;
    }
    TMemIniFile ini;
    std::string text = decodeSkinText(raw);
    ini.SetText(text);
    if (!isSkinText(&ini)) return;
    lines.SetText(text);
    std::string folder = ExtractFilePath(AFileName);

    TMemoryStream payload;
    writeInt(&payload, kWriterVersion);
    // Packing takes no more than loading will accept.
    TspSkinContent content;
    ReadSkinKeys(&ini, "PICTURES", [&](TspSkinKeys& K) { content.PictureKeys(K); });
    PictureReader pictures;
    pictures.DecodeInto(content, pictures.Files(folder, content, false));
    writePictures(&payload, content);
    payload.WriteString(encodeSkinText(&lines));
    FCompressedStream->Clear();
    CompressStream(&payload, FCompressedStream.get());
}

void TspCompressedStoredSkin::LoadFromSkinData(TspSkinData* ASkinData) {
    TMemoryStream payload;
    writeInt(&payload, kWriterVersion);
    writePictures(&payload, *ASkinData);
    TMemIniFile ini;
    ASkinData->SaveToCustomIniFile(&ini);
    TStringList lines;
    ini.GetStrings(&lines);
    payload.WriteString(encodeSkinText(&lines));
    FCompressedStream->Clear();
    CompressStream(&payload, FCompressedStream.get());
}

void TspCompressedStoredSkin::SetFileName(const std::string& Value) {
    if (HasState(csDesigning) && !HasState(csLoading)) {
        FFileName = ExtractFileName(Value);
        LoadFromIniFile(Value);
    } else {
        FFileName = Value;
    }
}

void TspCompressedStoredSkin::SetCompressedFileName(const std::string& Value) {
    if (HasState(csDesigning) && !HasState(csLoading)) {
        FCompressedFileName = ExtractFileName(Value);
        LoadFromCompressFile(Value);
    } else {
        FCompressedFileName = Value;
    }
}

// ---- Skin lists --------------------------------------------------------------------------------

TspSkinListItem::TspSkinListItem(TspSkinListItems* Collection)
    : FCollection(Collection), FSkin(std::make_unique<TspCompressedStoredSkin>(nullptr)) {
    Name = "spSkin" + std::to_string(Collection ? Collection->Count() : 0);
}

TspSkinListItem::~TspSkinListItem() = default;

int TspSkinListItem::Index() const {
    if (!FCollection) return -1;
    for (int i = 0; i < FCollection->Count(); ++i)
        if (FCollection->FItems[size_t(i)].get() == this) return i;
    return -1;
}

void TspSkinListItem::SetFileName(const std::string& Value) {
    TComponent* owner = FCollection ? FCollection->Owner() : nullptr;
    if (owner && owner->HasState(csDesigning) && !owner->HasState(csLoading)) {
        FSkin->LoadFromIniFile(Value);
        FFileName = ExtractFileName(Value);
    } else {
        FFileName = Value;
    }
}

void TspSkinListItem::SetCompressedFileName(const std::string& Value) {
    TComponent* owner = FCollection ? FCollection->Owner() : nullptr;
    if (owner && owner->HasState(csDesigning) && !owner->HasState(csLoading)) {
        FSkin->LoadFromCompressFile(Value);
        FCompressedFileName = ExtractFileName(Value);
    } else {
        FCompressedFileName = Value;
    }
}

TspSkinListItems::~TspSkinListItems() = default;

TspSkinListItem* TspSkinListItems::Add() {
    FItems.push_back(std::make_unique<TspSkinListItem>(this));
    return FItems.back().get();
}

TspSkinListItem* TspSkinListItems::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds");
    return FItems[size_t(Index)].get();
}

void TspSkinListItems::Delete(int Index) {
    if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds");
    FItems.erase(FItems.begin() + Index);
}

void TspSkinListItems::Clear() {
    FItems.clear();
}

TspCompressedSkinList::TspCompressedSkinList(TComponent* AOwner)
    : TComponent(AOwner), FSkins(std::make_unique<TspSkinListItems>(this)) {}

TspCompressedSkinList::~TspCompressedSkinList() = default;

// ---- Skin data from a payload ------------------------------------------------------------------

void TspSkinData::DecodePayload(TspSkinContent& C, TMemoryStream* P, int32_t Version) {
    PictureReader pictures;
    PictureReader::Slots slots;
    int* frame = slots.Frames; // frame, inactive, mask, roll-up, roll-up mask
    frame[0] = pictures.Slot(P);
    if (Version == 2 || Version == 3) frame[1] = pictures.Slot(P);
    frame[2] = pictures.Slot(P);
    if (Version == 1 || Version == 2) {
        frame[3] = pictures.Slot(P);
        frame[4] = pictures.Slot(P);
    }
    int32_t count = readInt(P);
    // Every bitmap file takes at least 54 bytes.
    if (count > 0 && int64_t(count) > (P->Size() - P->Position()) / 54)
        throw ESkinDataError("Skin picture count is damaged");
    for (int32_t i = 0; i < count; ++i)
        slots.List.push_back(pictures.Image(P));
    pictures.DecodeInto(C, slots);
}

void TspSkinData::LoadCompressedStoredSkin(TspCompressedStoredSkin* AStoredSkin) {
    if (!AStoredSkin || AStoredSkin->Empty()) return;
    TMemoryStream payload;
    AStoredSkin->DeCompressToStream(&payload);
    payload.SetPosition(0);
    int32_t version = readInt(&payload);
    if (version > 3) {
        // A payload of a later format: the skin is cleared and the change closed.
        Empty = true;
        ChangeSkinDataProcess = true;
        SendSkinDataMessage(WM_SKIN_BEGINCHANGE);
        ClearAll();
        ChangeSkinDataProcess = false;
        SendSkinDataMessage(WM_SKIN_APPLYCHANGE);
        SendSkinDataMessage(WM_SKIN_ENDCHANGE);
        return;
    }
    TspSkinContent content;
    content.StartCursorIndex = StartCursorIndex;
    DecodePayload(content, &payload, version);
    TMemIniFile ini;
    ini.SetText(decodeSkinText(payload.ReadAll()));
    ReadSkinText(content, &ini, nullptr);
    ApplyContent(std::move(content));
}

void TspSkinData::LoadFromCompressedFile(const std::string& FileName) {
    auto stored = std::make_unique<TspCompressedStoredSkin>(nullptr);
    stored->LoadFromCompressFile(FileName);
    if (!stored->Empty()) LoadCompressedStoredSkin(stored.get());
}

void TspSkinData::SaveToCompressedFile(const std::string& FileName) {
    auto stored = std::make_unique<TspCompressedStoredSkin>(nullptr);
    stored->LoadFromSkinData(this);
    stored->SaveToCompressFile(FileName);
}
