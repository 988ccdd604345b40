// Arbitrary bytes as a language file: parsed, looked up, sorted into the
// written layout and parsed again. The sorted layout is a fixed point.
#include "framework/CLMultiLangLan.h"

#include "classlib/strings.h"
#include "platform/os/codepage.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string bytes(reinterpret_cast<const char*>(Data), Size);
    TCLMultiLangLan doc;
    doc.LoadFromString(DecodeTextBytes(bytes));

    TStringList sections;
    for (const char* section : {"Info", "AppRes", "LibRes", "SkinRes", "TfrmMain"})
        doc.GetSectionStrings(section, &sections);
    std::string value;
    doc.GetProp("TfrmMain", "btnOk", "Caption", value);
    doc.GetProp("AppRes", "", "AppName", value);

    // A value set reads back with its line breaks and outer blanks.
    const std::string text = SanitizeUtf8(bytes.substr(0, 48));
    doc.SetProp("TfrmFuzz", "edit", "Text", text);
    std::string back;
    if (!doc.GetProp("TfrmFuzz", "edit", "Text", back)) std::abort();
    if (back != TCLMultiLangLan::UnescapeValue(TCLMultiLangLan::EscapeValue(text))) std::abort();

    doc.SortData();
    const std::string sorted = doc.ToString();
    TCLMultiLangLan again;
    again.LoadFromString(sorted);
    again.SortData();
    if (again.ToString() != sorted) std::abort();

    doc.ClearAllForm();
    (void)doc.ToString();
    return 0;
}
