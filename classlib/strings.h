// String lists: lines with an optional object each, name=value access,
// comma and delimited text, sorting and files in any of the text encodings.
#pragma once

#include "classlib/classes.h"

#include <string>
#include <string_view>
#include <vector>

class TStream;

// How text is stored as bytes. The UTF-16 forms always carry a byte-order mark.
enum class TTextEncoding {
    Ansi,    // the ANSI code page, no mark
    UTF8,    // no mark
    UTF8BOM, // with mark
    UTF16LE,
    UTF16BE,
};

// Bytes of a text file to UTF-8: a byte-order mark selects UTF-8, UTF-16LE or
// UTF-16BE (and is dropped), otherwise the bytes are in the ANSI code page.
// Broken sequences come back as replacement characters.
std::string DecodeTextBytes(std::string_view bytes, TTextEncoding* detected = nullptr);
std::string EncodeTextBytes(std::string_view utf8, TTextEncoding encoding);

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStrings : public TPersistent {
public:
    TStrings() = default;

    // Access. Indexes out of range raise EStringListError.
    virtual int Count() const = 0;
    virtual std::string Get(int Index) const = 0;
    virtual void Put(int Index, const std::string& S);
    virtual TObject* GetObject(int Index) const;
    virtual void PutObject(int Index, TObject* AObject);
    std::string Strings(int Index) const { return Get(Index); }
    void SetStrings(int Index, const std::string& S) { Put(Index, S); }
    std::string operator[](int Index) const { return Get(Index); }
    TObject* Objects(int Index) const { return GetObject(Index); }
    void SetObjects(int Index, TObject* AObject) { PutObject(Index, AObject); }

    // Changes.
    virtual int Add(const std::string& S);
    virtual int AddObject(const std::string& S, TObject* AObject);
    void Append(const std::string& S) { Add(S); }
    virtual void Insert(int Index, const std::string& S) = 0;
    virtual void InsertObject(int Index, const std::string& S, TObject* AObject);
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;
    virtual void Move(int CurIndex, int NewIndex);
    virtual void Exchange(int Index1, int Index2);
    void AddStrings(const TStrings& Strings);
    using TPersistent::Assign;
    void Assign(const TStrings& Source);
    bool Equals(const TStrings& Other) const;

    // Lookups (text compared through CompareStrings).
    virtual int IndexOf(const std::string& S) const;
    int IndexOfName(const std::string& Name) const;
    int IndexOfObject(const TObject* AObject) const;

    // Lines joined, each followed by CR LF; set from text split at CR LF, LF
    // or CR (a final line break adds no empty line).
    std::string Text() const;
    virtual void SetText(std::string_view Value);

    // name=value lines. Names match without regard to case (unless the list is
    // case-sensitive), the first matching line wins; setting a value to ""
    // deletes that line. A line without the separator has no name and an
    // empty value.
    char NameValueSeparator() const { return FNameValueSeparator; }
    void SetNameValueSeparator(char C) { FNameValueSeparator = C; }
    std::string Names(int Index) const;
    std::string Values(const std::string& Name) const;
    void SetValues(const std::string& Name, const std::string& Value);
    std::string ValueFromIndex(int Index) const;
    void SetValueFromIndex(int Index, const std::string& Value);

    // Delimited text. An item is quoted (with inner quotes doubled) when it is
    // empty or holds the delimiter, the quote, a line break or, unless
    // StrictDelimiter, any blank or control character. When read back, quoted
    // items are unquoted and, unless StrictDelimiter, blanks separate items too.
    char Delimiter() const { return FDelimiter; }
    void SetDelimiter(char C) { FDelimiter = C; }
    char QuoteChar() const { return FQuoteChar; }
    void SetQuoteChar(char C) { FQuoteChar = C; }
    bool StrictDelimiter() const { return FStrictDelimiter; }
    void SetStrictDelimiter(bool Value) { FStrictDelimiter = Value; }
    std::string DelimitedText() const;
    void SetDelimitedText(std::string_view Value);
    // DelimitedText with "," and '"', whatever Delimiter and QuoteChar hold.
    std::string CommaText() const;
    void SetCommaText(std::string_view Value);

    // Change notification is held back while an update is open.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Files and streams. Loading detects the encoding (see DecodeTextBytes);
    // saving writes Text in the given encoding.
    void LoadFromFile(const std::string& FileName); // EFOpenError
    void LoadFromStream(TStream* Stream);           // from the position to the end
    void SaveToFile(const std::string& FileName, TTextEncoding Encoding = TTextEncoding::Ansi);
    void SaveToStream(TStream* Stream, TTextEncoding Encoding = TTextEncoding::Ansi) const;
    // The encoding LoadFromFile/LoadFromStream found last.
    TTextEncoding Encoding() const { return FEncoding; }

    // Compares two texts as this list does (ASCII case ignored by default).
    virtual int CompareStrings(const std::string& S1, const std::string& S2) const;

protected:
    void AssignTo(TPersistent* Dest) override;
    virtual void SetUpdateState(bool Updating);
    // Raises an EStringListError naming the index.
    [[noreturn]] void Error(const std::string& Message, int Index) const;

    TTextEncoding FEncoding = TTextEncoding::Ansi;

private:
    int FUpdateCount = 0;
    char FNameValueSeparator = '=';
    char FDelimiter = ',';
    char FQuoteChar = '"';
    bool FStrictDelimiter = false;
};

class TStringList : public TStrings {
public:
    TStringList() = default;
    explicit TStringList(bool AOwnsObjects) : FOwnsObjects(AOwnsObjects) {}
    ~TStringList() override;

    int Count() const override { return int(FList.size()); }
    std::string Get(int Index) const override;
    void Put(int Index, const std::string& S) override;
    TObject* GetObject(int Index) const override;
    void PutObject(int Index, TObject* AObject) override;

    // On a sorted list Add places the line by order and applies Duplicates;
    // Insert, Move and Exchange raise EStringListError there.
    int Add(const std::string& S) override;
    int AddObject(const std::string& S, TObject* AObject) override;
    void Insert(int Index, const std::string& S) override;
    void InsertObject(int Index, const std::string& S, TObject* AObject) override;
    void Delete(int Index) override;
    void Clear() override;
    void Move(int CurIndex, int NewIndex) override;
    void Exchange(int Index1, int Index2) override;
    void SetText(std::string_view Value) override;

    // Binary search of a sorted list: true when found; Index is the match or
    // the place it would take. On an unsorted list a linear search.
    bool Find(const std::string& S, int& Index) const;
    int IndexOf(const std::string& S) const override;

    bool Sorted() const { return FSorted; }
    void SetSorted(bool Value);
    void Sort();
    // Stable sort with a compare function of (list, index1, index2).
    void CustomSort(const std::function<int(TStringList*, int, int)>& Compare);
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool Value);
    // When true the list frees the objects of lines it deletes or clears.
    bool OwnsObjects() const { return FOwnsObjects; }
    void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

    int CompareStrings(const std::string& S1, const std::string& S2) const override;

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void SetUpdateState(bool Updating) override;
    virtual void Changed();
    virtual void Changing();

private:
    struct Item {
        std::string S;
        TObject* Obj = nullptr;
    };
    void CheckIndex(int Index) const;
    void InsertItem(int Index, const std::string& S, TObject* AObject);

    std::vector<Item> FList;
    bool FSorted = false;
    TDuplicates FDuplicates = dupIgnore;
    bool FCaseSensitive = false;
    bool FOwnsObjects = false;
};
