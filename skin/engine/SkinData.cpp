// The skin data component: a folder skin read and put in place whole, the
// change announced to every form, the skin written back as text and
// pictures, and the morph between two pictures of a skinned element.
#include "skin/engine/SkinData.h"
#include "skin/engine/SkinFiles.h"

#include "classlib/forms.h"
#include "classlib/sysutils.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/engine/speffbmp.h"

#include <algorithm>

using namespace skinfiles;

TspSkinContent::TspSkinContent()
    : FSkinColors(std::make_unique<TspSkinColors>()),
      PopupWindow(std::make_unique<TspDataSkinPopupWindow>()),
      LayerFrame(std::make_unique<TspDataSkinLayerFrame>()),
      HintWindow(std::make_unique<TspDataSkinHintWindow>()), FPicture(std::make_unique<TBitmap>()),
      FInActivePicture(std::make_unique<TBitmap>()), FMask(std::make_unique<TBitmap>()),
      FRollUpPicture(std::make_unique<TBitmap>()), FRollUpMask(std::make_unique<TBitmap>()),
      FActivePicturesNames(std::make_unique<TStringList>()),
      FCursorsNames(std::make_unique<TStringList>()) {}

TspSkinContent::~TspSkinContent() = default;
TspSkinContent::TspSkinContent(TspSkinContent&&) noexcept = default;
TspSkinContent& TspSkinContent::operator=(TspSkinContent&&) noexcept = default;

TspSkinData::TspSkinData(TComponent* AOwner) : TComponent(AOwner) {}

TspSkinData::~TspSkinData() {
    Empty = true;
    ClearObjects();
}

void TspSkinData::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FCompressedStoredSkin) FCompressedStoredSkin = nullptr;
    if (AComponent == FResourceStrData) FResourceStrData = nullptr;
    if (AComponent == FCompressedSkinList) FCompressedSkinList = nullptr;
}

void TspSkinData::SetShowLayeredBorders(bool Value) {
    if (FShowLayeredBorders == Value) return;
    FShowLayeredBorders = Value;
    if (!HasState(csDesigning) && !HasState(csLoading))
        SendSkinDataMessage(WM_SKIN_LAYEREDBORDERSCHANGED);
}

void TspSkinData::SetSkinnableForm(bool Value) {
    if (FSkinnableForm == Value) return;
    FSkinnableForm = Value;
    if (!HasState(csDesigning) && !HasState(csLoading))
        SendSkinDataMessage(WM_SKIN_FORMSKINNABLECHANGED);
}

void TspSkinData::SetResourceStrData(TspResourceStrData* Value) {
    if (FResourceStrData && FResourceStrData != Value) RemoveFreeNotification(FResourceStrData);
    FResourceStrData = Value;
    if (Value) FreeNotification(Value);
    if (!HasState(csDesigning)) SendSkinDataMessage(WM_SKIN_RESSTRCHANGED);
}

void TspSkinData::SetCompressedStoredSkin(TspCompressedStoredSkin* Value) {
    if (FCompressedStoredSkin && FCompressedStoredSkin != Value)
        RemoveFreeNotification(FCompressedStoredSkin);
    FCompressedStoredSkin = Value;
    if (!Value) return;
    FreeNotification(Value);
    if (!HasState(csDesigning)) LoadCompressedStoredSkin(Value);
}

void TspSkinData::SetSkinList(TspCompressedSkinList* Value) {
    if (FCompressedSkinList && FCompressedSkinList != Value)
        RemoveFreeNotification(FCompressedSkinList);
    FCompressedSkinList = Value;
    if (!Value) return;
    FreeNotification(Value);
    if (HasState(csDesigning)) return;
    if (FCompressedSkinIndex >= 0 && FCompressedSkinIndex < Value->Skins()->Count())
        LoadCompressedStoredSkin(Value->Skins()->Items(FCompressedSkinIndex)->Skin());
}

void TspSkinData::SetSkinIndex(int32_t Value) {
    if (FCompressedSkinIndex == Value) return;
    if (!FCompressedSkinList) {
        FCompressedSkinIndex = Value;
        return;
    }
    if (Value < 0 || Value >= FCompressedSkinList->Skins()->Count()) return;
    FCompressedSkinIndex = Value;
    if (!HasState(csDesigning))
        LoadCompressedStoredSkin(FCompressedSkinList->Skins()->Items(Value)->Skin());
}

void TspSkinData::ClearObjects() {
    AreaList.clear();
    ObjectList.clear();
    CtrlList.clear();
    FActivePictures.clear();
    PopupWindow->WindowPictureIndex = -1;
    HintWindow->WindowPictureIndex = -1;
    LayerFrame->PictureIndex = -1;
    FCursorsNames->Clear();
    FActivePicturesNames->Clear();
    FSkinColors->SetColorsToDefault();
}

void TspSkinData::ClearAll() {
    ClearObjects();
    for (const FramePicture& f : framePictures(*this)) {
        f.Bitmap->Assign(nullptr);
        f.Name.clear();
    }
    Empty = true;
}

void TspSkinData::ClearSkin() {
    ClearAll();
    SendSkinDataMessage(WM_SKIN_BEGINCHANGE);
    SendSkinDataMessage(WM_SKIN_APPLYCHANGE);
    SendSkinDataMessage(WM_SKIN_ENDCHANGE);
}

void TspSkinData::AddBitMap(const std::string& FileName) {
    std::string name = ExtractFileName(FileName);
    auto b = std::make_unique<TBitmap>();
    if (IsJpegFileName(name))
        LoadJpegToBitmap(b.get(), FileName);
    else
        b->LoadFromFile(FileName);
    FActivePicturesNames->Add(name);
    FActivePictures.push_back(std::move(b));
}

void TspSkinData::DeleteBitMap(int Index) {
    if (Index < 0 || Index >= int(FActivePictures.size()))
        throw EListError("List index out of bounds");
    if (Index < FActivePicturesNames->Count()) FActivePicturesNames->Delete(Index);
    FActivePictures.erase(FActivePictures.begin() + Index);
}

void TspSkinData::AddSkinArea(const std::string& AName, const TRect& ARect) {
    AreaList.push_back(std::make_unique<TspDataSkinArea>(AName, ARect));
}

namespace {

// A skin whose frame has no picture would leave every skinned form without
// a frame to draw its caption and caption buttons from.
void checkFramePicture(const TspSkinContent& C) {
    if (!C.FPicture || C.FPicture->Empty()) throw ESkinDataError("The skin has no frame picture");
}

template <class L> int indexOf(const L& List, const std::string& Name) {
    for (size_t i = 0; i < List.size(); ++i)
        if (List[i]->IDName == Name) return int(i);
    return -1;
}

// The elements of a list section: each entry "<name>:<kind>" of a known
// kind makes an element, which reads its own section.
template <class E>
void readElements(TCustomIniFile* F, const char* Section,
                  std::unique_ptr<E> (*Create)(const std::string&, const std::string&),
                  std::vector<std::unique_ptr<E>>& List) {
    TStringList entries;
    ReadStringList(F, Section, "", &entries);
    for (int i = 0; i < entries.Count(); ++i) {
        const std::string& entry = entries[i];
        size_t colon = entry.find(':');
        if (colon == std::string::npos) continue;
        auto e = Create(entry.substr(colon + 1), entry.substr(0, colon));
        if (!e) continue;
        e->LoadFromFile(F);
        List.push_back(std::move(e));
    }
}

template <class E>
void writeElements(TCustomIniFile* F, const char* Section,
                   const std::vector<std::unique_ptr<E>>& List) {
    F->EraseSection(Section);
    F->WriteInteger(Section, "count", int32_t(List.size()));
    for (size_t i = 0; i < List.size(); ++i) {
        F->WriteString(Section, std::to_string(i), List[i]->IDName + ":" + List[i]->KindWord());
        List[i]->SaveToFile(F);
    }
}

} // namespace

int TspSkinData::GetIndex(const std::string& AIDName) const {
    return indexOf(ObjectList, AIDName);
}

int TspSkinData::GetControlIndex(const std::string& AIDName) const {
    return indexOf(CtrlList, AIDName);
}

int TspSkinData::GetAreaIndex(const std::string& AIDName) const {
    return indexOf(AreaList, AIDName);
}

void TspSkinData::SendSkinDataMessage(UINT M) {
    WPARAM wp = reinterpret_cast<WPARAM>(this);
    TForm* owner = dynamic_cast<TForm*>(Owner());
    TForm* singled = nullptr;
    if (owner && !FShowLayeredBorders) {
        singled = owner;
        SendMessage(owner->Handle(), M, wp, kSkinMessageLParam);
    }
    std::vector<HWND> windows;
    if (Screen) {
        for (int i = 0; i < Screen->FormCount(); ++i) {
            TForm* f = Screen->Forms(i);
            if (f == singled || f->ClassName() == "TspFormLayerWindow") continue;
            windows.push_back(f->Handle());
        }
    }
    if (FShowLayeredBorders && LayerFrame->PictureIndex != -1)
        std::reverse(windows.begin(), windows.end());
    for (HWND w : windows)
        if (IsWindow(w)) SendMessage(w, M, wp, kSkinMessageLParam);
}

void TspSkinData::ReadSkinText(TspSkinContent& C, TCustomIniFile* F, const std::string* Folder) {
    ReadSkinKeys(F, "VERSION", [&](TspSkinKeys& K) { C.VersionKeys(K); });
    ReadSkinKeys(F, "PICTURES", [&](TspSkinKeys& K) { C.PictureKeys(K); });
    if (Folder) {
        PictureReader pictures;
        pictures.DecodeInto(C, pictures.Files(*Folder, C, true));
        ReadSkinKeys(F, "CURSORS", [&](TspSkinKeys& K) { C.CursorKeys(K); });
    }
    ReadSkinKeys(F, "FORMINFO", [&](TspSkinKeys& K) { C.FormInfoKeys(K); });
    C.PopupWindow->LoadFromFile(F);
    C.LayerFrame->LoadFromFile(F);
    C.HintWindow->LoadFromFile(F);
    C.FSkinColors->LoadFromFile(F);

    TStringList areas;
    ReadStringList(F, "SKINAREAS", "", &areas);
    for (int i = 0; i < areas.Count(); ++i) {
        const std::string& entry = areas[i];
        size_t colon = entry.find(':');
        TRect r;
        std::string name;
        if (colon != std::string::npos) {
            name = entry.substr(0, colon);
            SkinStrToRect(entry.substr(colon + 1), r);
        }
        C.AreaList.push_back(std::make_unique<TspDataSkinArea>(name, r));
    }
    readElements(F, "SKINOBJECTS", CreateSkinObject, C.ObjectList);
    readElements(F, "SKINCONTROLS", CreateSkinControl, C.CtrlList);
    checkFramePicture(C);
}

void TspSkinData::ApplyContent(TspSkinContent&& Content) {
    Empty = true;
    ChangeSkinDataProcess = true;
    std::exception_ptr failure;
    try {
        SendSkinDataMessage(WM_SKIN_BEGINCHANGE);
    } catch (...) {
        failure = std::current_exception();
    }
    static_cast<TspSkinContent&>(*this) = std::move(Content);
    Empty = false;
    try {
        SendSkinDataMessage(WM_SKIN_APPLYCHANGE);
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    ChangeSkinDataProcess = false;
    try {
        SendSkinDataMessage(WM_SKIN_ENDCHANGE);
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    if (failure) std::rethrow_exception(failure);
}

void TspSkinData::LoadFromFile(const std::string& FileName) {
    std::string raw;
    try {
        raw = ReadFileBytes(FileName);
    } catch (const EFOpenError&) {
        return; // a missing file reads as an empty text, which is no skin
    }
    TMemIniFile ini;
    ini.SetText(decodeSkinText(raw));
    if (!isSkinText(&ini)) return;
    TspSkinContent content;
    std::string folder = ExtractFilePath(FileName);
    ReadSkinText(content, &ini, &folder);
    ApplyContent(std::move(content));
}

void TspSkinData::SaveToCustomIniFile(TCustomIniFile* F) {
    WriteSkinKeys(F, "VERSION", [this](TspSkinKeys& K) { VersionKeys(K); });
    WriteSkinKeys(F, "PICTURES", [this](TspSkinKeys& K) { PictureKeys(K); });
    WriteSkinKeys(F, "CURSORS", [this](TspSkinKeys& K) { CursorKeys(K); });
    WriteSkinKeys(F, "FORMINFO", [this](TspSkinKeys& K) { FormInfoKeys(K); });

    PopupWindow->SaveToFile(F);
    LayerFrame->SaveToFile(F);
    HintWindow->SaveToFile(F);

    TStringList areas;
    for (const auto& a : AreaList)
        areas.Add(a->IDName + ":" + SkinRectToStr(a->AreaRect));
    F->EraseSection("SKINAREAS");
    WriteStringList(F, "SKINAREAS", "", &areas);

    F->EraseSection("SKINCOLORS");
    FSkinColors->SaveToFile(F);

    writeElements(F, "SKINOBJECTS", ObjectList);
    writeElements(F, "SKINCONTROLS", CtrlList);
}

void TspSkinData::SaveToFile(const std::string& FileName) {
    TMemIniFile ini(FileName);
    SaveToCustomIniFile(&ini);
    ini.UpdateFile();
}

void TspSkinData::StoreToDisk(const std::string& APath) {
    SaveToFile(APath + "skin.ini");
    for (const FramePicture& f : framePictures(*this))
        if (!f.Bitmap->Empty() && !f.Name.empty()) f.Bitmap->SaveToFile(pictureFile(APath, f.Name));
    // Each list is walked by its own count: pictures and names can differ in
    // number after a compressed skin whose text and payload disagree.
    int n = std::min(int(FActivePictures.size()), FActivePicturesNames->Count());
    for (int i = 0; i < n; ++i)
        FActivePictures[size_t(i)]->SaveToFile(pictureFile(APath, (*FActivePicturesNames)[i]));
}

void MorphEffectBmp(TspEffectBmp* A, TspEffectBmp* B, TMorphKind Kind, double Kf) {
    switch (Kind) {
    case mkGradient:
        A->MorphGrad(B, Kf);
        break;
    case mkLeftGradient:
        A->MorphLeftGrad(B, Kf);
        break;
    case mkRightGradient:
        A->MorphRightGrad(B, Kf);
        break;
    case mkLeftSlide:
        A->MorphLeftSlide(B, Kf);
        break;
    case mkRightSlide:
        A->MorphRightSlide(B, Kf);
        break;
    case mkPush:
        A->MorphPush(B, Kf);
        break;
    default:
        A->Morph(B, Kf);
        break;
    }
}

void MorphBitmapInto(TBitmap* A, TBitmap* B, TMorphKind Kind, double Kf) {
    auto ea = TspEffectBmp::CreateFromhWnd(A->Handle());
    auto eb = TspEffectBmp::CreateFromhWnd(B->Handle());
    if (!ea || !eb) return;
    MorphEffectBmp(ea.get(), eb.get(), Kind, Kf);
    ea->Draw(A->Canvas()->Handle(), 0, 0);
}
