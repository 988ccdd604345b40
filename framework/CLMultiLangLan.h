// One language document (".lan"): INI text with sections of keyed texts,
// looked up by window, component and property, changed and written back in
// a fixed, sorted layout. Values escape line breaks as "<BR>" and keep
// leading or trailing blanks as "<SP>".
#pragma once

#include "classlib/inifiles.h"
#include "classlib/strings.h"

#include <memory>
#include <string>

class TCLMultiLangLan : public TPersistent {
public:
    TCLMultiLangLan();
    ~TCLMultiLangLan() override;

    // Reads the file (a byte-order mark selects UTF-8 or UTF-16, else the
    // ANSI code page) and parses it at once. EFOpenError when unreadable.
    void LoadFromFile(const std::string& fn);
    void LoadFromString(const std::string& str);
    std::string ToString();
    // Sorts the document, then writes it as UTF-8 with a byte-order mark, so
    // every text survives whatever the ANSI code page is.
    void SaveToFile(const std::string& fn);
    void ClearAll();

    bool GetProp(const std::string& strForm, const std::string& strComp, const std::string& strProp,
                 std::string& strValue);
    void SetProp(const std::string& strForm, const std::string& strComp, const std::string& strProp,
                 const std::string& strValue);
    void ClearForm(const std::string& strForm);
    // Drops every window section, keeping "Info", "AppRes", "SkinRes",
    // "LibRes" and "BasicRes".
    void ClearAllForm();
    void GetSectionStrings(const std::string& strSection, TStrings* sl);

    // The text as lines; SetData replaces it and marks it to be parsed.
    TStrings* Data() { return FData.get(); }
    void SetData(const TStrings* lines);
    void ApplyData();
    void UpdateData();
    void SortData();

    // Escapes of values.
    static std::string EscapeValue(const std::string& Value);
    static std::string UnescapeValue(const std::string& Value);

protected:
    void AssignTo(TPersistent* Dest) override;

private:
    std::string Key(const std::string& strComp, const std::string& strProp) const;

    std::unique_ptr<TStrings> FData;
    std::unique_ptr<TMemIniFile> FIniData;
    bool FbModified = false;
    bool FbToApply = true;
};
