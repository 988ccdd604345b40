#include "framework/CLMultiLang.h"

#include "classlib/typinfo.h"

namespace {

const char* const kDefaultExcludeProps[] = {
    "TWebBrowser:",
    ":TComponentName",
    ".SkinDataName",
    "TspResourceStrData:",
    "TShockwaveFlash:",
    "TspSkinNotebook:",
    "TEmbeddedBrowser:",
    "TspCompressedStoredSkin:",
    "TspSkinMessage:",
    "TCLEngine:",
    "TspSkinData:",
    ".Text",
    "TIEDownload:",
    ":TComponentName",
    ".SkinDataName",
    ".EditSkinDataName",
    ".LabelSkinDataName",
    ".ButtonSkinDataName",
    ".BothSkinDataName",
    ".MessageLabelSkinDataName",
    ".Category",
    ".CompressedFileName",
    ".TrackBarSkinDataName",
    ".TabWidths",
    ".HeaderSkinDataName",
    ".LVHeaderSkinDataName",
};

bool IsTextKind(const TPropInfo* p) {
    return (p->Kind == TPropKind::String || p->Kind == TPropKind::WideString) &&
           !SameText(p->TypeName, "TComponentName");
}

bool IsTranslatable(const TPropInfo* p) {
    return IsTextKind(p) || p->Kind == TPropKind::Strings || p->Kind == TPropKind::Collection;
}

std::string ItemComp(const std::string& comp, const std::string& coll, int index) {
    return comp + "." + coll + "[" + IntToStr(index) + "]";
}

} // namespace

// ---------------------------------------------------------------------------
// TCLMultiLangData

TCLMultiLangData::TCLMultiLangData(TComponent* AOwner)
    : TComponent(AOwner), FExcludeProps(new TStringList), FLangCurrentData(new TCLMultiLangLan),
      FLangDefaultData(new TCLMultiLangLan) {
    for (const char* line : kDefaultExcludeProps)
        FExcludeProps->Add(line);
}

TCLMultiLangData::~TCLMultiLangData() {
    // Translators that outlive the data must not reach it.
    for (int i = FClients.Count() - 1; i >= 0; --i)
        static_cast<TCLMultiLang*>(FClients[i])->SetLanguageData(nullptr);
}

bool TCLMultiLangData::GetProp(const std::string& strForm, const std::string& strComp,
                               const std::string& strProp, std::string& strValue) {
    std::string value;
    if (!FLangCurrentData->GetProp(strForm, strComp, strProp, value) &&
        !FLangDefaultData->GetProp(strForm, strComp, strProp, value))
        return false;
    bool isAppName = strComp.empty() && SameText(strForm, "AppRes") && SameText(strProp, "AppName");
    if (!HasState(csDesigning) && !isAppName)
        value = StringReplace(value, "{AppName}", GetAppName(), rfReplaceAll | rfIgnoreCase);
    strValue = value;
    return true;
}

void TCLMultiLangData::SetProp(const std::string& strForm, const std::string& strComp,
                               const std::string& strProp, const std::string& strValue) {
    FLangCurrentData->SetProp(strForm, strComp, strProp, strValue);
}

void TCLMultiLangData::GetSectionStrings(const std::string& strSection, TStrings* sl) {
    if (!sl) return;
    for (TCLMultiLangLan* doc : {FLangCurrentData.get(), FLangDefaultData.get()}) {
        TStringList lines;
        doc->GetSectionStrings(strSection, &lines);
        for (int i = 0; i < lines.Count(); ++i)
            if (sl->IndexOfName(lines.Names(i)) < 0) sl->Add(lines[i]);
    }
}

void TCLMultiLangData::LoadCurrentFromFile(const std::string& fn) {
    FAppName.clear();
    FLangCurrentData->LoadFromFile(fn);
    GetAppName();
    if (!HasState(csDesigning)) ApplyClients();
}

void TCLMultiLangData::LoadDefaultFromFile(const std::string& fn) {
    FAppName.clear();
    FLangDefaultData->LoadFromFile(fn);
    GetAppName();
}

void TCLMultiLangData::SaveCurrentToFile(const std::string& fn) {
    FLangCurrentData->SaveToFile(fn);
}

void TCLMultiLangData::ClearCurrentAll() {
    FLangCurrentData->ClearAll();
    FAppName.clear();
    GetAppName();
}

void TCLMultiLangData::ClearCurrentAllForm() {
    FLangCurrentData->ClearAllForm();
}

void TCLMultiLangData::CurrentToDefault() {
    FLangCurrentData->UpdateData();
    FLangDefaultData->SetData(FLangCurrentData->Data());
    FAppName.clear();
    GetAppName();
}

void TCLMultiLangData::DefaultToCurrent() {
    FLangDefaultData->UpdateData();
    FLangCurrentData->SetData(FLangDefaultData->Data());
    FAppName.clear();
    GetAppName();
}

void TCLMultiLangData::ClearForm(const std::string& strForm) {
    FLangCurrentData->ClearForm(strForm);
}

void TCLMultiLangData::UpdateData() {
    FLangCurrentData->UpdateData();
}

std::string TCLMultiLangData::GetAppName() {
    if (FAppName.empty()) {
        std::string value;
        if (FLangCurrentData->GetProp("AppRes", "", "AppName", value) ||
            FLangDefaultData->GetProp("AppRes", "", "AppName", value))
            FAppName = value;
    }
    return FAppName;
}

std::string TCLMultiLangData::InfoValue(const std::string& Name) {
    std::string value;
    FLangCurrentData->GetProp("Info", "", Name, value);
    return value;
}

std::string TCLMultiLangData::InfoLanguage() {
    return InfoValue("Language");
}
std::string TCLMultiLangData::InfoTranslator() {
    return InfoValue("Translator");
}
std::string TCLMultiLangData::InfoVersion() {
    return InfoValue("Version");
}

void TCLMultiLangData::AddClient(TCLMultiLang* pClient) {
    if (pClient && FClients.IndexOf(pClient) < 0) FClients.Add(pClient);
}

void TCLMultiLangData::RemoveClient(TCLMultiLang* pClient) {
    FClients.Remove(pClient);
}

void TCLMultiLangData::ApplyClients() {
    // A copy: a translator's handler may open or close windows.
    std::vector<void*> clients = FClients.List();
    for (void* c : clients)
        if (FClients.IndexOf(c) >= 0) static_cast<TCLMultiLang*>(c)->ApplyData();
}

void TCLMultiLangData::UpdateClients() {
    std::vector<void*> clients = FClients.List();
    for (void* c : clients)
        if (FClients.IndexOf(c) >= 0) static_cast<TCLMultiLang*>(c)->UpdateData();
}

void TCLMultiLangData::ClearClients() {
    std::vector<void*> clients = FClients.List();
    for (void* c : clients)
        if (FClients.IndexOf(c) >= 0) static_cast<TCLMultiLang*>(c)->ClearData();
}

TStrings* TCLMultiLangData::CurrentData() {
    FLangCurrentData->UpdateData();
    return FLangCurrentData->Data();
}

void TCLMultiLangData::SetCurrentData(const TStrings* Value) {
    FLangCurrentData->SetData(Value);
    FAppName.clear();
}

TStrings* TCLMultiLangData::DefaultData() {
    FLangDefaultData->UpdateData();
    return FLangDefaultData->Data();
}

void TCLMultiLangData::SetDefaultData(const TStrings* Value) {
    FLangDefaultData->SetData(Value);
    FAppName.clear();
}

bool TCLMultiLangData::IsExcluded(const std::string& N, const std::string& C, const std::string& P,
                                  const std::string& T) const {
    const std::string patterns[] = {C + ":." + P, C + ":", ":" + T, N + ".." + P, N + ".", "." + P};
    for (const std::string& p : patterns)
        for (int i = 0; i < FExcludeProps->Count(); ++i)
            if (SameText((*FExcludeProps)[i], p)) return true;
    return false;
}

// ---------------------------------------------------------------------------
// TCLMultiLang

TCLMultiLang::TCLMultiLang(TComponent* AOwner) : TComponent(AOwner) {}

TCLMultiLang::~TCLMultiLang() {
    SetLanguageData(nullptr);
}

void TCLMultiLang::Loaded() {
    TComponent::Loaded();
    if (FLanguageData) {
        FLanguageData->AddClient(this);
        if (!HasState(csDesigning) && FLanguageData->AutoApply()) ApplyData();
    }
}

void TCLMultiLang::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FLanguageData) FLanguageData = nullptr;
}

void TCLMultiLang::SetLanguageData(TCLMultiLangData* Value) {
    if (FLanguageData == Value) return;
    if (FLanguageData) {
        FLanguageData->RemoveClient(this);
        RemoveFreeNotification(FLanguageData);
    }
    FLanguageData = Value;
    if (FLanguageData) {
        FLanguageData->AddClient(this);
        FreeNotification(FLanguageData);
    }
}

std::string TCLMultiLang::FormSection() const {
    return Owner() ? Owner()->ClassName() : "";
}

bool TCLMultiLang::Translates(TComponent* c) const {
    return !c->Name().empty() && !dynamic_cast<TCLMultiLang*>(c) &&
           !dynamic_cast<TCLMultiLangData*>(c);
}

void TCLMultiLang::ApplyData() {
    TComponent* form = Owner();
    if (!form || !FLanguageData) return;
    std::string section = FormSection();
    ApplyProp(form, section);
    for (int i = 0; i < form->ComponentCount(); ++i) {
        TComponent* c = form->Components(i);
        if (Translates(c)) ApplyProp(c, section);
    }
    if (!HasState(csDesigning) && OnChangeLanguage) OnChangeLanguage(this);
}

void TCLMultiLang::ApplyProp(TComponent* TCom, const std::string& strParentComp) {
    if (!TCom || !FLanguageData) return;
    const std::string& name = TCom->Name();
    std::string value;
    for (const TPropInfo* p : GetPropList(TCom)) {
        if (!IsTranslatable(p) || !p->HasReader()) continue;
        if (p->Kind == TPropKind::Strings) {
            if (FLanguageData->GetProp(strParentComp, name, p->Name, value))
                if (TStrings* list = p->GetStrings(TCom)) list->SetText(value);
        } else if (p->Kind == TPropKind::Collection) {
            int count = p->ItemCount(TCom);
            for (int i = 0; i < count; ++i) {
                TObject* item = p->GetItem(TCom, i);
                std::string comp = ItemComp(name, p->Name, i);
                for (const TPropInfo* q : GetPropList(item))
                    if (IsTextKind(q) && q->SetText &&
                        FLanguageData->GetProp(strParentComp, comp, q->Name, value))
                        q->SetText(item, value);
            }
        } else if (p->SetText && FLanguageData->GetProp(strParentComp, name, p->Name, value)) {
            p->SetText(TCom, value);
        }
    }
}

void TCLMultiLang::CollectProp(TComponent* TCom, const std::string& strSection) {
    TCLMultiLangData* data = FLanguageData;
    const std::string& name = TCom->Name();
    if (data->ExcludeWithAction()) {
        const TPropInfo* action = GetPropInfo(TCom, "Action");
        if (action && action->Kind == TPropKind::Object &&
            SameText(action->TypeName, "TBasicAction") && action->GetObject(TCom))
            return;
    }
    if (data->ExcludeNumberEndProps() && !name.empty() && name.back() >= '0' && name.back() <= '9')
        return;
    std::string cls = TCom->ClassName();
    bool skipEmpty = data->ExcludeEmptyProp();
    for (const TPropInfo* p : GetPropList(TCom)) {
        if (!IsTranslatable(p) || !p->HasReader() || !p->HasWriter()) continue;
        if (data->IsExcluded(name, cls, p->Name, p->TypeName)) continue;
        try {
            switch (p->Kind) {
            case TPropKind::Strings: {
                TStrings* list = p->GetStrings(TCom);
                if (!list || (skipEmpty && list->Count() == 0)) break;
                data->SetProp(strSection, name, p->Name, list->Text());
                break;
            }
            case TPropKind::String: {
                std::string v = p->GetText(TCom);
                if (skipEmpty && (v.empty() || v == "-")) break;
                data->SetProp(strSection, name, p->Name, v);
                break;
            }
            case TPropKind::WideString: {
                std::string v = p->GetText(TCom);
                if (skipEmpty && v.empty()) break;
                data->SetProp(strSection, name, p->Name, v);
                break;
            }
            case TPropKind::Collection: {
                int count = p->ItemCount(TCom);
                for (int i = 0; i < count; ++i) {
                    TObject* item = p->GetItem(TCom, i);
                    for (const TPropInfo* q : GetPropList(item)) {
                        if (!IsTextKind(q) || !q->GetText || !q->SetText) continue;
                        std::string v = q->GetText(item);
                        if (skipEmpty && v.empty()) continue;
                        data->SetProp(strSection, ItemComp(name, p->Name, i), q->Name, v);
                    }
                }
                break;
            }
            default:
                break;
            }
        } catch (const std::exception&) {
            // A property that cannot be read is passed over.
        }
    }
}

void TCLMultiLang::UpdateData() {
    TComponent* form = Owner();
    if (!form || !FLanguageData) return;
    std::string section = FormSection();
    CollectProp(form, section);
    for (int i = 0; i < form->ComponentCount(); ++i) {
        TComponent* c = form->Components(i);
        if (Translates(c)) CollectProp(c, section);
    }
    FLanguageData->UpdateData();
}

void TCLMultiLang::ClearData() {
    if (FLanguageData) FLanguageData->ClearForm(FormSection());
}

bool TCLMultiLang::GetProp(const std::string& strForm, const std::string& strComp,
                           const std::string& strProp, std::string& strValue) {
    return FLanguageData && FLanguageData->GetProp(strForm, strComp, strProp, strValue);
}

std::string TCLMultiLang::Language() {
    return FLanguageData ? FLanguageData->InfoLanguage() : "";
}

std::string TCLMultiLang::GetResString(const std::string& strName) {
    std::string value;
    if (GetProp("ResString", "", strName, value)) return value;
    return strName;
}

void TCLMultiLang::GetSectionStrings(const std::string& strSection, TStrings* sl) {
    if (FLanguageData) FLanguageData->GetSectionStrings(strSection, sl);
}

TCLMultiLang* NewWindowTranslator(TComponent* Owner, TCLMultiLangData* Data) {
    auto* translator = new TCLMultiLang(Owner);
    translator->SetName("CLMultiLang");
    translator->SetLanguageData(Data);
    translator->Loaded();
    return translator;
}
