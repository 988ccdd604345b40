// INI documents: sections of name=value entries.
//
// Reading: a byte-order mark selects UTF-8 or UTF-16, otherwise the bytes are
// in the ANSI code page. "[name]" starts a section; "name=value" is an entry of
// the current section; lines beginning ";" are comments; blank lines, other
// lines and entries before the first section are skipped. Section names, entry
// names and values are trimmed; names match without regard to case and the
// first match wins. A value enclosed in matching quotes (' or ") is read
// without them (see QuoteValues). Files over 64 MiB read as empty.
//
// Writing: UTF-8 with a byte-order mark, the whole file at once, through a
// temporary file that replaces the old one in one step. Values that would not
// read back as written (leading or trailing blanks, enclosing quotes) are
// written between double quotes; line breaks in values become spaces, so a
// value can never start a new line.
#pragma once

#include "classlib/classes.h"
#include "classlib/strings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class TCustomIniFile : public TObject {
public:
    explicit TCustomIniFile(const std::string& AFileName) : FFileName(AFileName) {}
    const std::string& FileName() const { return FFileName; }

    virtual std::string ReadString(const std::string& Section, const std::string& Ident,
                                   const std::string& Default) = 0;
    virtual void WriteString(const std::string& Section, const std::string& Ident,
                             const std::string& Value) = 0;

    // Decimal, or hexadecimal after "$" or "0x"; Default when the text does
    // not parse or is missing. Written in decimal.
    int32_t ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default);
    void WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value);
    int64_t ReadInt64(const std::string& Section, const std::string& Ident, int64_t Default);
    void WriteInt64(const std::string& Section, const std::string& Ident, int64_t Value);
    // True when the integer value is not zero; Default when not an integer.
    bool ReadBool(const std::string& Section, const std::string& Ident, bool Default);
    void WriteBool(const std::string& Section, const std::string& Ident, bool Value); // 1 or 0
    // Float text as FloatToStr writes it (round trips exactly).
    double ReadFloat(const std::string& Section, const std::string& Ident, double Default);
    void WriteFloat(const std::string& Section, const std::string& Ident, double Value);
    TDateTime ReadDateTime(const std::string& Section, const std::string& Ident, TDateTime Default);
    void WriteDateTime(const std::string& Section, const std::string& Ident, TDateTime Value);

    // The names of the section's entries, the section names, and the
    // section's entries as name=value lines; each list is cleared first.
    virtual void ReadSection(const std::string& Section, TStrings* Strings) = 0;
    virtual void ReadSections(TStrings* Strings) = 0;
    virtual void ReadSectionValues(const std::string& Section, TStrings* Strings) = 0;
    virtual void EraseSection(const std::string& Section) = 0;
    virtual void DeleteKey(const std::string& Section, const std::string& Ident) = 0;
    // Writes the document to its file (EFCreateError when it cannot).
    virtual void UpdateFile() = 0;

    virtual bool SectionExists(const std::string& Section) = 0;
    virtual bool ValueExists(const std::string& Section, const std::string& Ident) = 0;

protected:
    std::string FFileName;
};

// The whole document in memory; nothing is written until UpdateFile.
class TMemIniFile : public TCustomIniFile {
public:
    // Reads the file when it exists; a missing or unreadable file gives an
    // empty document. An empty name gives a document without a file.
    explicit TMemIniFile(const std::string& AFileName = {});

    std::string ReadString(const std::string& Section, const std::string& Ident,
                           const std::string& Default) override;
    void WriteString(const std::string& Section, const std::string& Ident,
                     const std::string& Value) override;
    void ReadSection(const std::string& Section, TStrings* Strings) override;
    void ReadSections(TStrings* Strings) override;
    void ReadSectionValues(const std::string& Section, TStrings* Strings) override;
    void EraseSection(const std::string& Section) override;
    void DeleteKey(const std::string& Section, const std::string& Ident) override;
    void UpdateFile() override; // no file name: nothing happens
    bool SectionExists(const std::string& Section) override;
    bool ValueExists(const std::string& Section, const std::string& Ident) override;

    void Clear();
    // The document as lines: "[section]", its entries, one blank line after
    // each section.
    void GetStrings(TStrings* List) const;
    // Replaces the document by the parsed lines.
    void SetStrings(const TStrings* List);
    // Parses text already decoded to UTF-8.
    void SetText(std::string_view Text);
    std::string GetText() const;
    // Takes another file name; with Reload the document is read from it.
    void Rename(const std::string& AFileName, bool Reload);
    // True after a change not yet written.
    bool Modified() const { return FModified; }
    // When false, values are read and written exactly as the text holds them:
    // no quotes are stripped or added (for formats with their own escapes).
    bool QuoteValues() const { return FQuoteValues; }
    void SetQuoteValues(bool Value) { FQuoteValues = Value; }

protected:
    struct Entry {
        std::string Name;
        std::string Value;
    };
    struct Section {
        std::string Name;
        std::vector<Entry> Entries;
    };
    Section* FindSection(const std::string& Name);
    const Section* FindSection(const std::string& Name) const;
    static Entry* FindEntry(Section& S, const std::string& Ident);
    void LoadValues();

    void IndexSections();

    std::vector<Section> FSections;
    // Position in FSections by upper-case section name.
    std::unordered_map<std::string, size_t> FSectionIndex;
    bool FModified = false;
    bool FQuoteValues = true;
};

// A document that works on its file at every call: each read sees the file as
// it is now and each change is written at once, so several documents on one
// file never undo each other's changes.
class TIniFile : public TMemIniFile {
public:
    explicit TIniFile(const std::string& AFileName) : TMemIniFile(AFileName) {}

    std::string ReadString(const std::string& Section, const std::string& Ident,
                           const std::string& Default) override;
    void WriteString(const std::string& Section, const std::string& Ident,
                     const std::string& Value) override;
    void ReadSection(const std::string& Section, TStrings* Strings) override;
    void ReadSections(TStrings* Strings) override;
    void ReadSectionValues(const std::string& Section, TStrings* Strings) override;
    void EraseSection(const std::string& Section) override;
    void DeleteKey(const std::string& Section, const std::string& Ident) override;
    bool SectionExists(const std::string& Section) override;
    bool ValueExists(const std::string& Section, const std::string& Ident) override;
};
