#include "framework/CLMultiLangLan.h"

#include "classlib/streams.h"

#include <algorithm>

namespace {

// Far above any real language file; a larger file is refused, not read.
constexpr int64_t kMaxLanguageFileSize = 16ll << 20;

const char* const kFixedSections[] = {"Info", "BasicRes", "SkinRes", "LibRes", "AppRes"};

bool IsFixedSection(const std::string& Name) {
    for (const char* s : kFixedSections)
        if (SameText(Name, s)) return true;
    return false;
}

} // namespace

TCLMultiLangLan::TCLMultiLangLan() : FData(new TStringList), FIniData(new TMemIniFile("")) {
    FIniData->SetQuoteValues(false);
}

TCLMultiLangLan::~TCLMultiLangLan() = default;

std::string TCLMultiLangLan::EscapeValue(const std::string& Value) {
    std::string out;
    out.reserve(Value.size());
    for (size_t i = 0; i < Value.size(); ++i) {
        char c = Value[i];
        if (c == '\r') {
            if (i + 1 < Value.size() && Value[i + 1] == '\n') ++i;
            out += "<BR>";
        } else if (c == '\n') {
            out += "<BR>";
        } else {
            out += c;
        }
    }
    // Blanks at either end would be trimmed away when the file is read again.
    size_t lead = 0;
    while (lead < out.size() && out[lead] == ' ')
        ++lead;
    if (lead == out.size()) {
        std::string all;
        for (size_t i = 0; i < lead; ++i)
            all += "<SP>";
        return all;
    }
    size_t trail = 0;
    while (trail < out.size() - lead && out[out.size() - 1 - trail] == ' ')
        ++trail;
    std::string middle = out.substr(lead, out.size() - lead - trail);
    std::string result;
    for (size_t i = 0; i < lead; ++i)
        result += "<SP>";
    result += middle;
    for (size_t i = 0; i < trail; ++i)
        result += "<SP>";
    // Other blanks (tabs) at the ends cannot be kept; they go as the reader drops them.
    return result;
}

std::string TCLMultiLangLan::UnescapeValue(const std::string& Value) {
    std::string out;
    out.reserve(Value.size());
    for (size_t i = 0; i < Value.size(); ++i) {
        if (Value[i] == '<' && i + 3 < Value.size() && Value[i + 3] == '>') {
            std::string tag = UpperCase(Value.substr(i + 1, 2));
            if (tag == "BR") {
                out += "\r\n";
                i += 3;
                continue;
            }
            if (tag == "SP") {
                out += ' ';
                i += 3;
                continue;
            }
        }
        out += Value[i];
    }
    return out;
}

void TCLMultiLangLan::LoadFromFile(const std::string& fn) {
    LoadFromString(DecodeTextBytes(ReadFileBytes(fn, kMaxLanguageFileSize)));
}

void TCLMultiLangLan::LoadFromString(const std::string& str) {
    FData->SetText(str);
    FbToApply = true;
    ApplyData();
}

std::string TCLMultiLangLan::ToString() {
    UpdateData();
    return FData->Text();
}

void TCLMultiLangLan::SaveToFile(const std::string& fn) {
    SortData();
    WriteFileBytesAtomic(fn, EncodeTextBytes(FData->Text(), TTextEncoding::UTF8BOM));
}

void TCLMultiLangLan::ClearAll() {
    FIniData->Clear();
    FData->Clear();
    FbModified = false;
    FbToApply = false;
}

std::string TCLMultiLangLan::Key(const std::string& strComp, const std::string& strProp) const {
    return strComp.empty() ? strProp : strComp + "." + strProp;
}

bool TCLMultiLangLan::GetProp(const std::string& strForm, const std::string& strComp,
                              const std::string& strProp, std::string& strValue) {
    ApplyData();
    std::string key = Key(strComp, strProp);
    if (!FIniData->ValueExists(strForm, key)) return false;
    strValue = UnescapeValue(FIniData->ReadString(strForm, key, ""));
    return true;
}

void TCLMultiLangLan::SetProp(const std::string& strForm, const std::string& strComp,
                              const std::string& strProp, const std::string& strValue) {
    ApplyData();
    FIniData->WriteString(strForm, Key(strComp, strProp), EscapeValue(strValue));
    FbModified = true;
    UpdateData();
}

void TCLMultiLangLan::ClearForm(const std::string& strForm) {
    ApplyData();
    FIniData->EraseSection(strForm);
    FbModified = true;
}

void TCLMultiLangLan::ClearAllForm() {
    ApplyData();
    TStringList sections;
    FIniData->ReadSections(&sections);
    for (int i = 0; i < sections.Count(); ++i)
        if (!IsFixedSection(sections[i])) FIniData->EraseSection(sections[i]);
    FbModified = true;
    UpdateData();
}

void TCLMultiLangLan::GetSectionStrings(const std::string& strSection, TStrings* sl) {
    if (!sl) return;
    ApplyData();
    TStringList names;
    FIniData->ReadSection(strSection, &names);
    for (int i = 0; i < names.Count(); ++i)
        sl->SetValues(names[i], UnescapeValue(FIniData->ReadString(strSection, names[i], "")));
}

void TCLMultiLangLan::SetData(const TStrings* lines) {
    if (lines)
        FData->Assign(*lines);
    else
        FData->Clear();
    FbToApply = true;
}

void TCLMultiLangLan::ApplyData() {
    if (!FbToApply) return;
    FIniData->SetText(FData->Text());
    FbToApply = false;
    FbModified = false;
}

void TCLMultiLangLan::UpdateData() {
    if (!FbModified) return;
    FData->SetText(FIniData->GetText());
    FbModified = false;
    FbToApply = false;
}

void TCLMultiLangLan::SortData() {
    ApplyData();
    TStringList sections;
    FIniData->ReadSections(&sections);
    std::vector<std::string> order;
    for (const char* fixed : kFixedSections)
        for (int i = 0; i < sections.Count(); ++i)
            if (SameText(sections[i], fixed)) {
                order.push_back(sections[i]);
                break;
            }
    std::vector<std::string> rest;
    for (int i = 0; i < sections.Count(); ++i)
        if (!IsFixedSection(sections[i])) rest.push_back(sections[i]);
    std::stable_sort(rest.begin(), rest.end(), [](const std::string& a, const std::string& b) {
        return CompareText(a, b) < 0;
    });
    order.insert(order.end(), rest.begin(), rest.end());

    TMemIniFile sorted("");
    sorted.SetQuoteValues(false);
    for (const std::string& section : order) {
        TStringList lines;
        FIniData->ReadSectionValues(section, &lines);
        if (lines.Count() == 0) continue;
        std::vector<std::string> entries;
        for (int i = 0; i < lines.Count(); ++i)
            entries.push_back(lines[i]);
        if (!SameText(section, "Info"))
            std::stable_sort(
                entries.begin(), entries.end(),
                [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
        for (const std::string& line : entries) {
            size_t eq = line.find('=');
            std::string name = line.substr(0, eq);
            // A name given twice keeps the value that lookups answer: the first.
            if (sorted.ValueExists(section, name)) continue;
            sorted.WriteString(section, name, FIniData->ReadString(section, name, ""));
        }
    }
    FIniData->SetText(sorted.GetText());
    FbModified = true;
    UpdateData();
}

void TCLMultiLangLan::AssignTo(TPersistent* Dest) {
    if (auto* lan = dynamic_cast<TCLMultiLangLan*>(Dest)) {
        UpdateData();
        lan->SetData(Data());
        lan->ApplyData();
        return;
    }
    TPersistent::AssignTo(Dest);
}
