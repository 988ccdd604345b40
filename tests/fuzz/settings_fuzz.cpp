// Arbitrary bytes as a settings file: decoded as the settings store reads
// "setting.dat", parsed, written as the store writes it and read back. Every
// section and entry must come back with the same value.
#include "framework/CLSettings.h"

#include "classlib/inifiles.h"
#include "classlib/strings.h"
#include "platform/os/codepage.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void ExpectSameDocument(TMemIniFile& A, TMemIniFile& B) {
    TStringList sectionsA, sectionsB, valuesA, valuesB;
    A.ReadSections(&sectionsA);
    B.ReadSections(&sectionsB);
    if (sectionsA.Text() != sectionsB.Text()) std::abort();
    for (int i = 0; i < sectionsA.Count(); ++i) {
        A.ReadSectionValues(sectionsA[i], &valuesA);
        B.ReadSectionValues(sectionsA[i], &valuesB);
        if (valuesA.Text() != valuesB.Text()) std::abort();
        TStringList names;
        A.ReadSection(sectionsA[i], &names);
        for (int k = 0; k < names.Count(); ++k)
            if (A.ReadString(sectionsA[i], names[k], "\x01") !=
                B.ReadString(sectionsA[i], names[k], "\x02"))
                std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string bytes(reinterpret_cast<const char*>(Data), Size);
    TMemIniFile read;
    read.SetText(DecodeSettingBytes(bytes));

    // A value written through the store's accessors reads back as written
    // (line breaks aside, which a value cannot hold).
    std::string value = bytes.substr(0, 64);
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    value = SanitizeUtf8(value);
    read.WriteString("setting", "Fuzz.Value", value);

    const std::string written = EncodeTextBytes(read.GetText(), TTextEncoding::UTF8BOM);
    TMemIniFile again;
    again.SetText(DecodeSettingBytes(written));
    ExpectSameDocument(read, again);
    if (again.ReadString("setting", "Fuzz.Value", "") != value) std::abort();

    // What the program wrote reads back byte for byte, so it never needs a backup.
    if (EncodeTextBytes(again.GetText(), TTextEncoding::UTF8BOM) != written) std::abort();
    return 0;
}
