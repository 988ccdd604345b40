#include "classlib/strings.h"

#include "classlib/streams.h"
#include "platform/os/codepage.h"

#include <algorithm>
#include <numeric>

// ---------------------------------------------------------------------------
// Encodings

namespace {

std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned b0 = static_cast<unsigned char>(bytes[i]);
        unsigned b1 = static_cast<unsigned char>(bytes[i + 1]);
        units += char16_t(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
    }
    std::string out = Utf16ToUtf8(units);
    if (bytes.size() % 2 != 0) out += "\xEF\xBF\xBD"; // a dangling half unit
    return out;
}

std::string Utf8ToUtf16Bytes(std::string_view text, bool bigEndian) {
    std::u16string units = Utf8ToUtf16(text);
    std::string out;
    out.reserve(units.size() * 2 + 2);
    out += bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : units) {
        char hi = char(u >> 8);
        char lo = char(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

} // namespace

std::string DecodeTextBytes(std::string_view bytes, TTextEncoding* detected) {
    TTextEncoding enc = TTextEncoding::Ansi;
    std::string out;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        enc = TTextEncoding::UTF8BOM;
        out = SanitizeUtf8(bytes.substr(3));
    } else if (bytes.starts_with("\xFF\xFE")) {
        enc = TTextEncoding::UTF16LE;
        out = Utf16BytesToUtf8(bytes.substr(2), false);
    } else if (bytes.starts_with("\xFE\xFF")) {
        enc = TTextEncoding::UTF16BE;
        out = Utf16BytesToUtf8(bytes.substr(2), true);
    } else {
        out = AnsiToUtf8(bytes);
    }
    if (detected) *detected = enc;
    return out;
}

std::string EncodeTextBytes(std::string_view utf8, TTextEncoding encoding) {
    switch (encoding) {
    case TTextEncoding::Ansi:
        return Utf8ToAnsi(utf8);
    case TTextEncoding::UTF8:
        return SanitizeUtf8(utf8);
    case TTextEncoding::UTF8BOM:
        return "\xEF\xBB\xBF" + SanitizeUtf8(utf8);
    case TTextEncoding::UTF16LE:
        return Utf8ToUtf16Bytes(utf8, false);
    case TTextEncoding::UTF16BE:
        return Utf8ToUtf16Bytes(utf8, true);
    }
    return std::string(utf8);
}

// ---------------------------------------------------------------------------
// TStrings

void TStrings::Error(const std::string& Message, int Index) const {
    throw EStringListError(Message + " (" + std::to_string(Index) + ")");
}

void TStrings::Put(int Index, const std::string& S) {
    TObject* obj = GetObject(Index);
    BeginUpdate();
    Delete(Index);
    InsertObject(Index, S, obj);
    EndUpdate();
}

TObject* TStrings::GetObject(int) const {
    return nullptr;
}
void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const std::string& S) {
    int r = Count();
    Insert(r, S);
    return r;
}

int TStrings::AddObject(const std::string& S, TObject* AObject) {
    int r = Add(S);
    PutObject(r, AObject);
    return r;
}

void TStrings::InsertObject(int Index, const std::string& S, TObject* AObject) {
    Insert(Index, S);
    PutObject(Index, AObject);
}

void TStrings::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    BeginUpdate();
    std::string s = Get(CurIndex);
    TObject* obj = GetObject(CurIndex);
    PutObject(CurIndex, nullptr);
    Delete(CurIndex);
    InsertObject(NewIndex, s, obj);
    EndUpdate();
}

void TStrings::Exchange(int Index1, int Index2) {
    BeginUpdate();
    std::string s1 = Get(Index1);
    TObject* o1 = GetObject(Index1);
    Put(Index1, Get(Index2));
    PutObject(Index1, GetObject(Index2));
    Put(Index2, s1);
    PutObject(Index2, o1);
    EndUpdate();
}

void TStrings::AddStrings(const TStrings& Strings) {
    if (&Strings == this) {
        TStringList copy;
        copy.Assign(Strings);
        AddStrings(copy);
        return;
    }
    BeginUpdate();
    for (int i = 0; i < Strings.Count(); ++i)
        AddObject(Strings.Get(i), Strings.GetObject(i));
    EndUpdate();
}

void TStrings::Assign(const TStrings& Source) {
    if (&Source == this) return;
    BeginUpdate();
    Clear();
    FNameValueSeparator = Source.FNameValueSeparator;
    FDelimiter = Source.FDelimiter;
    FQuoteChar = Source.FQuoteChar;
    FStrictDelimiter = Source.FStrictDelimiter;
    AddStrings(Source);
    EndUpdate();
}

void TStrings::AssignTo(TPersistent* Dest) {
    if (auto* d = dynamic_cast<TStrings*>(Dest)) {
        d->Assign(*this);
        return;
    }
    TPersistent::AssignTo(Dest);
}

bool TStrings::Equals(const TStrings& Other) const {
    if (Count() != Other.Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (Get(i) != Other.Get(i)) return false;
    return true;
}

int TStrings::CompareStrings(const std::string& S1, const std::string& S2) const {
    return CompareText(S1, S2);
}

int TStrings::IndexOf(const std::string& S) const {
    for (int i = 0; i < Count(); ++i)
        if (CompareStrings(Get(i), S) == 0) return i;
    return -1;
}

int TStrings::IndexOfName(const std::string& Name) const {
    for (int i = 0; i < Count(); ++i) {
        std::string s = Get(i);
        size_t p = s.find(FNameValueSeparator);
        if (p != std::string::npos && CompareStrings(s.substr(0, p), Name) == 0) return i;
    }
    return -1;
}

int TStrings::IndexOfObject(const TObject* AObject) const {
    for (int i = 0; i < Count(); ++i)
        if (GetObject(i) == AObject) return i;
    return -1;
}

std::string TStrings::Text() const {
    std::string out;
    for (int i = 0; i < Count(); ++i) {
        out += Get(i);
        out += "\r\n";
    }
    return out;
}

void TStrings::SetText(std::string_view Value) {
    BeginUpdate();
    Clear();
    size_t start = 0;
    const size_t n = Value.size();
    size_t i = 0;
    while (i < n) {
        char c = Value[i];
        if (c == '\r' || c == '\n') {
            Add(std::string(Value.substr(start, i - start)));
            if (c == '\r' && i + 1 < n && Value[i + 1] == '\n') ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < n) Add(std::string(Value.substr(start)));
    EndUpdate();
}

std::string TStrings::Names(int Index) const {
    std::string s = Get(Index);
    size_t p = s.find(FNameValueSeparator);
    return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStrings::Values(const std::string& Name) const {
    int i = IndexOfName(Name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStrings::SetValues(const std::string& Name, const std::string& Value) {
    int i = IndexOfName(Name);
    if (!Value.empty()) {
        std::string line = Name + FNameValueSeparator + Value;
        if (i < 0)
            Add(line);
        else
            Put(i, line);
    } else if (i >= 0) {
        Delete(i);
    }
}

std::string TStrings::ValueFromIndex(int Index) const {
    std::string s = Get(Index);
    size_t p = s.find(FNameValueSeparator);
    return p == std::string::npos ? std::string() : s.substr(p + 1);
}

void TStrings::SetValueFromIndex(int Index, const std::string& Value) {
    if (!Value.empty())
        Put(Index, Names(Index) + FNameValueSeparator + Value);
    else
        Delete(Index);
}

std::string TStrings::DelimitedText() const {
    const int n = Count();
    if (n == 1 && Get(0).empty()) return std::string(2, FQuoteChar);
    std::string out;
    for (int i = 0; i < n; ++i) {
        std::string s = Get(i);
        bool quote = s.empty();
        for (char c : s) {
            if (c == FDelimiter || c == FQuoteChar || c == '\r' || c == '\n' ||
                (!FStrictDelimiter && static_cast<unsigned char>(c) <= ' ')) {
                quote = true;
                break;
            }
        }
        if (i > 0) out += FDelimiter;
        out += quote ? AnsiQuotedStr(s, FQuoteChar) : s;
    }
    return out;
}

void TStrings::SetDelimitedText(std::string_view Value) {
    BeginUpdate();
    Clear();
    const size_t n = Value.size();
    size_t i = 0;
    auto isBlank = [&](char c) {
        return !FStrictDelimiter && static_cast<unsigned char>(c) <= ' ' && c != FDelimiter;
    };
    auto skipBlanks = [&] {
        while (i < n && isBlank(Value[i]))
            ++i;
    };
    skipBlanks();
    while (i < n) {
        std::string item;
        if (Value[i] == FQuoteChar) {
            item = AnsiExtractQuotedStr(Value, i, FQuoteChar);
        } else {
            size_t start = i;
            while (i < n && Value[i] != FDelimiter && !isBlank(Value[i]))
                ++i;
            item = std::string(Value.substr(start, i - start));
        }
        Add(item);
        skipBlanks();
        if (i < n && Value[i] == FDelimiter) {
            ++i;
            skipBlanks();
            if (i == n) Add(std::string()); // a final delimiter ends an empty item
        }
    }
    EndUpdate();
}

std::string TStrings::CommaText() const {
    TStringList copy;
    copy.Assign(*this);
    copy.SetDelimiter(',');
    copy.SetQuoteChar('"');
    return copy.DelimitedText();
}

void TStrings::SetCommaText(std::string_view Value) {
    char d = FDelimiter, q = FQuoteChar;
    FDelimiter = ',';
    FQuoteChar = '"';
    try {
        SetDelimitedText(Value);
    } catch (...) {
        FDelimiter = d;
        FQuoteChar = q;
        throw;
    }
    FDelimiter = d;
    FQuoteChar = q;
}

void TStrings::BeginUpdate() {
    if (FUpdateCount == 0) SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate() {
    if (FUpdateCount == 0) return;
    --FUpdateCount;
    if (FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

void TStrings::LoadFromFile(const std::string& FileName) {
    std::string bytes = ReadFileBytes(FileName);
    TTextEncoding enc = TTextEncoding::Ansi;
    std::string text = DecodeTextBytes(bytes, &enc);
    SetText(text);
    FEncoding = enc;
}

void TStrings::LoadFromStream(TStream* Stream) {
    if (!Stream) return;
    std::string bytes = Stream->ReadAll();
    TTextEncoding enc = TTextEncoding::Ansi;
    std::string text = DecodeTextBytes(bytes, &enc);
    SetText(text);
    FEncoding = enc;
}

void TStrings::SaveToFile(const std::string& FileName, TTextEncoding Encoding) {
    WriteFileBytesAtomic(FileName, EncodeTextBytes(Text(), Encoding));
}

void TStrings::SaveToStream(TStream* Stream, TTextEncoding Encoding) const {
    if (Stream) Stream->WriteString(EncodeTextBytes(Text(), Encoding));
}

// ---------------------------------------------------------------------------
// TStringList

TStringList::~TStringList() {
    OnChange = nullptr;
    OnChanging = nullptr;
    Clear();
}

void TStringList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= int(FList.size())) Error("List index out of bounds", Index);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::SetUpdateState(bool Updating) {
    if (Updating)
        Changing();
    else
        Changed();
}

std::string TStringList::Get(int Index) const {
    CheckIndex(Index);
    return FList[size_t(Index)].S;
}

void TStringList::Put(int Index, const std::string& S) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    CheckIndex(Index);
    Changing();
    FList[size_t(Index)].S = S;
    Changed();
}

TObject* TStringList::GetObject(int Index) const {
    CheckIndex(Index);
    return FList[size_t(Index)].Obj;
}

void TStringList::PutObject(int Index, TObject* AObject) {
    CheckIndex(Index);
    Changing();
    FList[size_t(Index)].Obj = AObject;
    Changed();
}

int TStringList::Add(const std::string& S) {
    return AddObject(S, nullptr);
}

int TStringList::AddObject(const std::string& S, TObject* AObject) {
    int index = Count();
    if (FSorted) {
        if (Find(S, index)) {
            switch (FDuplicates) {
            case dupIgnore:
                return index;
            case dupError:
                throw EStringListError("String list does not allow duplicates");
            case dupAccept:
                // After the equal lines, so equal lines keep their order.
                while (index < Count() && CompareStrings(FList[size_t(index)].S, S) == 0)
                    ++index;
                break;
            }
        }
    }
    InsertItem(index, S, AObject);
    return index;
}

void TStringList::Insert(int Index, const std::string& S) {
    InsertObject(Index, S, nullptr);
}

void TStringList::InsertObject(int Index, const std::string& S, TObject* AObject) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    if (Index < 0 || Index > Count()) Error("List index out of bounds", Index);
    InsertItem(Index, S, AObject);
}

void TStringList::InsertItem(int Index, const std::string& S, TObject* AObject) {
    Changing();
    FList.insert(FList.begin() + Index, Item{S, AObject});
    Changed();
}

void TStringList::Delete(int Index) {
    CheckIndex(Index);
    Changing();
    TObject* obj = FList[size_t(Index)].Obj;
    FList.erase(FList.begin() + Index);
    if (FOwnsObjects) delete obj;
    Changed();
}

void TStringList::Clear() {
    if (FList.empty()) return;
    Changing();
    std::vector<Item> old;
    old.swap(FList);
    if (FOwnsObjects)
        for (Item& it : old)
            delete it.Obj;
    Changed();
}

void TStringList::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    Changing();
    Item it = std::move(FList[size_t(CurIndex)]);
    FList.erase(FList.begin() + CurIndex);
    FList.insert(FList.begin() + NewIndex, std::move(it));
    Changed();
}

void TStringList::Exchange(int Index1, int Index2) {
    CheckIndex(Index1);
    CheckIndex(Index2);
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    Changing();
    std::swap(FList[size_t(Index1)], FList[size_t(Index2)]);
    Changed();
}

void TStringList::SetText(std::string_view Value) {
    TStrings::SetText(Value);
}

bool TStringList::Find(const std::string& S, int& Index) const {
    if (!FSorted) {
        Index = TStrings::IndexOf(S);
        if (Index >= 0) return true;
        Index = Count();
        return false;
    }
    int lo = 0, hi = Count();
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        if (CompareStrings(FList[size_t(mid)].S, S) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    Index = lo;
    return lo < Count() && CompareStrings(FList[size_t(lo)].S, S) == 0;
}

int TStringList::IndexOf(const std::string& S) const {
    if (!FSorted) return TStrings::IndexOf(S);
    int index = 0;
    return Find(S, index) ? index : -1;
}

void TStringList::SetSorted(bool Value) {
    if (Value == FSorted) return;
    if (Value) Sort();
    FSorted = Value;
}

void TStringList::Sort() {
    CustomSort([](TStringList* list, int a, int b) {
        return list->CompareStrings(list->FList[size_t(a)].S, list->FList[size_t(b)].S);
    });
}

void TStringList::CustomSort(const std::function<int(TStringList*, int, int)>& Compare) {
    if (FList.size() < 2) return;
    std::vector<int> order(FList.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return Compare(this, a, b) < 0; });
    Changing();
    std::vector<Item> sorted;
    sorted.reserve(FList.size());
    for (int i : order)
        sorted.push_back(std::move(FList[size_t(i)]));
    FList.swap(sorted);
    Changed();
}

void TStringList::SetCaseSensitive(bool Value) {
    if (Value == FCaseSensitive) return;
    FCaseSensitive = Value;
    if (FSorted) Sort();
}

int TStringList::CompareStrings(const std::string& S1, const std::string& S2) const {
    return FCaseSensitive ? CompareStr(S1, S2) : CompareText(S1, S2);
}
