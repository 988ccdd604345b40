#include "classlib/inifiles.h"

#include "classlib/streams.h"
#include "platform/os/file.h"

#include <algorithm>
#include <unordered_map>

namespace {

// Larger files are not settings or language files; they read as empty.
constexpr int64_t kMaxIniFileSize = 64 * 1024 * 1024;

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string Unquote(const std::string& v) {
    if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''))
        return v.substr(1, v.size() - 2);
    return v;
}

// A line break inside a value would start a new line of the file.
std::string OneLine(std::string v) {
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';
    return v;
}

std::string QuoteForFile(const std::string& v) {
    if (v.empty()) return v;
    bool needs =
        IsBlank(v.front()) || IsBlank(v.back()) ||
        (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''));
    return needs ? "\"" + v + "\"" : v;
}

} // namespace

// ---------------------------------------------------------------------------

int32_t TCustomIniFile::ReadInteger(const std::string& Section, const std::string& Ident,
                                    int32_t Default) {
    return StrToIntDef(ReadString(Section, Ident, ""), Default);
}

void TCustomIniFile::WriteInteger(const std::string& Section, const std::string& Ident,
                                  int32_t Value) {
    WriteString(Section, Ident, IntToStr(Value));
}

int64_t TCustomIniFile::ReadInt64(const std::string& Section, const std::string& Ident,
                                  int64_t Default) {
    return StrToInt64Def(ReadString(Section, Ident, ""), Default);
}

void TCustomIniFile::WriteInt64(const std::string& Section, const std::string& Ident,
                                int64_t Value) {
    WriteString(Section, Ident, IntToStr(Value));
}

bool TCustomIniFile::ReadBool(const std::string& Section, const std::string& Ident, bool Default) {
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::string& Section, const std::string& Ident, bool Value) {
    WriteString(Section, Ident, Value ? "1" : "0");
}

double TCustomIniFile::ReadFloat(const std::string& Section, const std::string& Ident,
                                 double Default) {
    return StrToFloatDef(ReadString(Section, Ident, ""), Default);
}

void TCustomIniFile::WriteFloat(const std::string& Section, const std::string& Ident,
                                double Value) {
    WriteString(Section, Ident, FloatToStr(Value));
}

TDateTime TCustomIniFile::ReadDateTime(const std::string& Section, const std::string& Ident,
                                       TDateTime Default) {
    return ReadFloat(Section, Ident, Default);
}

void TCustomIniFile::WriteDateTime(const std::string& Section, const std::string& Ident,
                                   TDateTime Value) {
    WriteFloat(Section, Ident, Value);
}

// ---------------------------------------------------------------------------

TMemIniFile::TMemIniFile(const std::string& AFileName) : TCustomIniFile(AFileName) {
    LoadValues();
}

void TMemIniFile::LoadValues() {
    Clear();
    if (FFileName.empty()) return;
    std::string bytes;
    if (!os::ReadWholeFile(FFileName, bytes, kMaxIniFileSize)) return;
    SetText(DecodeTextBytes(bytes));
    FModified = false;
}

TMemIniFile::Section* TMemIniFile::FindSection(const std::string& Name) {
    auto it = FSectionIndex.find(UpperCase(Name));
    return it == FSectionIndex.end() ? nullptr : &FSections[it->second];
}

const TMemIniFile::Section* TMemIniFile::FindSection(const std::string& Name) const {
    auto it = FSectionIndex.find(UpperCase(Name));
    return it == FSectionIndex.end() ? nullptr : &FSections[it->second];
}

void TMemIniFile::IndexSections() {
    FSectionIndex.clear();
    for (size_t i = 0; i < FSections.size(); ++i)
        FSectionIndex.try_emplace(UpperCase(FSections[i].Name), i);
}

TMemIniFile::Entry* TMemIniFile::FindEntry(Section& S, const std::string& Ident) {
    for (Entry& e : S.Entries)
        if (SameText(e.Name, Ident)) return &e;
    return nullptr;
}

void TMemIniFile::Clear() {
    FSections.clear();
    FSectionIndex.clear();
    FModified = true;
}

void TMemIniFile::SetText(std::string_view Text) {
    FSections.clear();
    FSectionIndex.clear();
    Section* current = nullptr;
    size_t pos = 0;
    const size_t n = Text.size();
    while (pos < n) {
        size_t end = Text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = n;
        std::string line = Trim(Text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            std::string name =
                Trim(close == std::string::npos || close == 0 ? line.substr(1)
                                                              : line.substr(1, close - 1));
            auto [it, added] = FSectionIndex.try_emplace(UpperCase(name), FSections.size());
            if (added) FSections.push_back(Section{name, {}});
            current = &FSections[it->second];
            continue;
        }
        if (!current) continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string value = Trim(line.substr(eq + 1));
        if (FQuoteValues) value = Unquote(value);
        current->Entries.push_back(Entry{Trim(line.substr(0, eq)), std::move(value)});
    }
    FModified = true;
}

std::string TMemIniFile::GetText() const {
    std::string out;
    for (const Section& s : FSections) {
        out += "[" + s.Name + "]\r\n";
        for (const Entry& e : s.Entries)
            out += e.Name + "=" + (FQuoteValues ? QuoteForFile(e.Value) : e.Value) + "\r\n";
        out += "\r\n";
    }
    return out;
}

void TMemIniFile::GetStrings(TStrings* List) const {
    if (!List) return;
    List->SetText(GetText());
}

void TMemIniFile::SetStrings(const TStrings* List) {
    if (!List) {
        Clear();
        return;
    }
    SetText(List->Text());
}

void TMemIniFile::Rename(const std::string& AFileName, bool Reload) {
    FFileName = AFileName;
    if (Reload) LoadValues();
}

std::string TMemIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                    const std::string& Default) {
    struct Section* s = FindSection(Section);
    if (!s) return Default;
    Entry* e = FindEntry(*s, Ident);
    return e ? e->Value : Default;
}

void TMemIniFile::WriteString(const std::string& Section, const std::string& Ident,
                              const std::string& Value) {
    struct Section* s = FindSection(Section);
    if (!s) {
        FSectionIndex.emplace(UpperCase(Section), FSections.size());
        FSections.push_back({Section, {}});
        s = &FSections.back();
    }
    std::string v = OneLine(Value);
    if (Entry* e = FindEntry(*s, Ident))
        e->Value = std::move(v);
    else
        s->Entries.push_back(Entry{Ident, std::move(v)});
    FModified = true;
}

void TMemIniFile::ReadSection(const std::string& Section, TStrings* Strings) {
    if (!Strings) return;
    Strings->BeginUpdate();
    Strings->Clear();
    if (const struct Section* s = FindSection(Section))
        for (const Entry& e : s->Entries)
            Strings->Add(e.Name);
    Strings->EndUpdate();
}

void TMemIniFile::ReadSections(TStrings* Strings) {
    if (!Strings) return;
    Strings->BeginUpdate();
    Strings->Clear();
    for (const Section& s : FSections)
        Strings->Add(s.Name);
    Strings->EndUpdate();
}

void TMemIniFile::ReadSectionValues(const std::string& Section, TStrings* Strings) {
    if (!Strings) return;
    Strings->BeginUpdate();
    Strings->Clear();
    if (const struct Section* s = FindSection(Section))
        for (const Entry& e : s->Entries)
            Strings->Add(e.Name + "=" + e.Value);
    Strings->EndUpdate();
}

void TMemIniFile::EraseSection(const std::string& Section) {
    FSections.erase(
        std::remove_if(FSections.begin(), FSections.end(),
                       [&](const struct Section& s) { return SameText(s.Name, Section); }),
        FSections.end());
    IndexSections();
    FModified = true;
}

void TMemIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
    struct Section* s = FindSection(Section);
    if (!s) return;
    auto& entries = s->Entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const Entry& e) { return SameText(e.Name, Ident); }),
                  entries.end());
    FModified = true;
}

void TMemIniFile::UpdateFile() {
    if (FFileName.empty()) return;
    WriteFileBytesAtomic(FFileName, EncodeTextBytes(GetText(), TTextEncoding::UTF8BOM));
    FModified = false;
}

bool TMemIniFile::SectionExists(const std::string& Section) {
    const struct Section* s = FindSection(Section);
    return s && !s->Entries.empty();
}

bool TMemIniFile::ValueExists(const std::string& Section, const std::string& Ident) {
    struct Section* s = FindSection(Section);
    return s && FindEntry(*s, Ident);
}

// ---------------------------------------------------------------------------

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                 const std::string& Default) {
    LoadValues();
    return TMemIniFile::ReadString(Section, Ident, Default);
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident,
                           const std::string& Value) {
    LoadValues();
    TMemIniFile::WriteString(Section, Ident, Value);
    UpdateFile();
}

void TIniFile::ReadSection(const std::string& Section, TStrings* Strings) {
    LoadValues();
    TMemIniFile::ReadSection(Section, Strings);
}

void TIniFile::ReadSections(TStrings* Strings) {
    LoadValues();
    TMemIniFile::ReadSections(Strings);
}

void TIniFile::ReadSectionValues(const std::string& Section, TStrings* Strings) {
    LoadValues();
    TMemIniFile::ReadSectionValues(Section, Strings);
}

void TIniFile::EraseSection(const std::string& Section) {
    LoadValues();
    TMemIniFile::EraseSection(Section);
    UpdateFile();
}

void TIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
    LoadValues();
    TMemIniFile::DeleteKey(Section, Ident);
    UpdateFile();
}

bool TIniFile::SectionExists(const std::string& Section) {
    LoadValues();
    return TMemIniFile::SectionExists(Section);
}

bool TIniFile::ValueExists(const std::string& Section, const std::string& Ident) {
    LoadValues();
    return TMemIniFile::ValueExists(Section, Ident);
}
