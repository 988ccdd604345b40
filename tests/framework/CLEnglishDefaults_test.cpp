// The built-in English document and the English language file the program
// ships: the skin library's interface texts whole, and a file that answers
// every key as the built-in document does.
#include "framework/CLEnglishDefaults.h"

#include "classlib/strings.h"
#include "framework/CLMultiLangLan.h"
#include "skin/engine/SkinData.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// Every section of a document with its lines (name, raw value), in order.
std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>
Sections(const std::string& Document) {
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> out;
    std::istringstream in(Document);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        if (!line.empty() && line.front() == '[') {
            out.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!out.empty() && eq != std::string::npos)
            out.back().second.push_back({line.substr(0, eq), line.substr(eq + 1)});
    }
    return out;
}

std::string FileText(const std::string& Name) {
    std::ifstream in(Name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// "SkinRes" is the skin library's own table of interface texts, every key
// with its value (the print-dialog keys among them), in sorted order.
TEST(CLEnglishDefaults, SkinResIsTheSkinLibrarysTableWhole) {
    TspResourceStrData library(nullptr);
    TStrings* texts = library.ResStrings();
    std::vector<std::pair<std::string, std::string>> skinRes;
    for (const auto& [name, lines] : Sections(EnglishDefaultsDocument()))
        if (name == "SkinRes") skinRes = lines;
    ASSERT_EQ(int(skinRes.size()), texts->Count());
    TCLMultiLangLan document;
    document.LoadFromString(EnglishDefaultsDocument());
    int printDialog = 0;
    for (int i = 0; i < texts->Count(); ++i) {
        const std::string name = texts->Names(i);
        std::string value = "<missing>";
        EXPECT_TRUE(document.GetProp("SkinRes", "", name, value)) << name;
        EXPECT_EQ(value, texts->ValueFromIndex(i)) << name;
        if (name.rfind("PRNDLG_", 0) == 0) ++printDialog;
    }
    EXPECT_GE(printDialog, 30);
    for (std::size_t i = 1; i < skinRes.size(); ++i)
        EXPECT_LT(CompareText(skinRes[i - 1].first, skinRes[i].first), 0) << skinRes[i].first;
    struct Row {
        const char *name, *value;
    } rows[] = {{"MSG_BTN_OK", "OK"},
                {"MSG_BTN_YES", "&Yes"},
                {"MSG_CAP_CONFIRM", "Confirm"},
                {"MSG_CAP_SHOWFLAG", "Do not display this message again"},
                {"MI_MINTOTRAYCAPTION", "Minimize to &Tray"},
                {"TRAYBUTTON_HINT", "Minimize to Tray"}};
    for (const Row& r : rows) {
        std::string value;
        EXPECT_TRUE(document.GetProp("SkinRes", "", r.name, value) && value == r.value) << r.name;
    }
}

// The language file answers every key of every section as the built-in
// document does, names its language, and is laid out sorted ("Info" first,
// then the framework's sections, then the windows'). The program folder of
// the build holds exactly this file.
TEST(CLEnglishDefaults, TheShippedFileIsTheBuiltInDocument) {
    TempDir dir;
    const std::string file = dir.file("English.lan");
    SaveEnglishLanguageFile(file, "1.0.0");
    TCLMultiLangLan shipped;
    shipped.LoadFromFile(file);
    std::string value;
    ASSERT_TRUE(shipped.GetProp("Info", "", "Language", value));
    EXPECT_EQ(value, "English");

    TCLMultiLangLan builtIn;
    builtIn.LoadFromString(EnglishDefaultsDocument());
    int keys = 0;
    for (const auto& [section, lines] : Sections(EnglishDefaultsDocument()))
        for (const auto& [name, raw] : lines) {
            std::string want, got = "<missing>";
            builtIn.GetProp(section, "", name, want);
            EXPECT_TRUE(shipped.GetProp(section, "", name, got)) << section << " " << name;
            EXPECT_EQ(got, want) << section << " " << name;
            ++keys;
        }
    EXPECT_GT(keys, 300);

    std::vector<std::string> order;
    for (const auto& [section, lines] : Sections(FileText(file)))
        order.push_back(section);
    EXPECT_EQ(order, (std::vector<std::string>{"Info", "SkinRes", "LibRes", "AppRes",
                                               "TfrmCenterView", "TfrmMain"}));

    const std::string built = std::string(LANTROVE_PROGRAM_DIR) + "/lang/English.lan";
    TCLMultiLangLan program;
    program.LoadFromFile(built);
    std::string version;
    ASSERT_TRUE(program.GetProp("Info", "", "Version", version)) << built;
    const std::string fresh = dir.file("fresh.lan");
    SaveEnglishLanguageFile(fresh, version);
    EXPECT_EQ(FileText(built), FileText(fresh)) << built;
}

} // namespace
