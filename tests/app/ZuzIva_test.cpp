#include "app/ZuzIva.h"

#include "classlib/sysutils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// One declaration: 'b' opens a block, 'e' closes one, 'v' sets a variable.
struct Decl {
    char Kind;
    std::string Name;
    std::string Value;
};

struct RenderCase {
    const char* What;
    std::string Template;
    std::vector<Decl> Decls;
    std::string Expected;
};

void Declare(TZuzIva& z, const std::vector<Decl>& decls) {
    for (const auto& d : decls) {
        if (d.Kind == 'b')
            z.BeginBlock(d.Name);
        else if (d.Kind == 'e')
            z.EndBlock(d.Name);
        else
            z.SetVar(d.Name, d.Value);
    }
}

std::string Render(const std::string& tpl, const std::vector<Decl>& decls) {
    TZuzIva z;
    z.m_sTplString.SetText(tpl);
    Declare(z, decls);
    z.MakeHtml();
    return z.m_sHTML;
}

std::string Block(const std::string& name, const std::string& body) {
    return "<!-- begin block " + name + " -->" + body + "<!-- end block " + name + " -->";
}

TEST(ZuzIva, RendersTemplates) {
    const Decl endBlock{'e', "", ""};
    const RenderCase cases[] = {
        {"declared variable", "a{X}b", {{'v', "X", "1"}}, "a1b"},
        {"undeclared variable", "a{X}b", {}, "ab"},
        {"variable names ignore case", "{Sc_Key}", {{'v', "SC_KEY", "word"}}, "word"},
        {"first declaration wins", "{X}", {{'v', "X", "1"}, {'v', "X", "2"}}, "1"},
        {"no variable name", "a{1X}b{}c", {{'v', "X", "1"}}, "a{1X}b{}c"},
        {"escaped quote", "{X}", {{'v', "X", "it\\'s \\\"ok\\'"}}, "it's \\\"ok'"},
        {"page-level variable inside a block",
         Block("r", "[{X}]"),
         {{'v', "X", "p"}, {'b', "r", ""}, endBlock},
         "[p]"},
        {"each iteration with its own variables, text before once",
         "head " + Block("r", "({V})") + " tail",
         {{'b', "r", ""}, {'v', "V", "1"}, endBlock, {'b', "r", ""}, {'v', "V", "2"}, endBlock},
         "head (1)(2) tail"},
        {"undeclared block disappears", "a" + Block("r", "x{V}") + "b", {{'v', "V", "1"}}, "ab"},
        {"template ends inside a block", "a<!-- begin block r -->b c", {}, "ab c"},
        {"markers ignore case",
         "<!-- BEGIN BLOCK r -->{x}<!-- End Block r -->",
         {{'b', "R", ""}, {'v', "X", "1"}, endBlock},
         "1"},
        {"nested blocks restart in every parent iteration",
         Block("a", "[{N}:" + Block("b", "{M}{N}") + "]"),
         {{'b', "a", ""},
          {'v', "N", "1"},
          {'b', "b", ""},
          {'v', "M", "x"},
          endBlock,
          {'b', "b", ""},
          {'v', "M", "y"},
          endBlock,
          endBlock,
          {'b', "a", ""},
          {'v', "N", "2"},
          endBlock,
          {'b', "a", ""},
          {'v', "N", "3"},
          {'b', "b", ""},
          {'v', "M", "z"},
          endBlock,
          endBlock},
         "[1:x1y1][2:][3:z3]"},
        {"two blocks in a row",
         Block("a", "A{V}") + "-" + Block("b", "B{V}"),
         {{'b', "a", ""}, {'v', "V", "1"}, endBlock, {'b', "b", ""}, {'v', "V", "2"}, endBlock},
         "A1-B2"},
        // A stray end marker used to close a level that was never opened.
        {"stray end marker is text",
         "a<!-- end block x -->b{X}",
         {{'v', "X", "1"}},
         "a<!-- end block x -->b1"},
        // A block whose name begins another block's name used to continue that
        // block's numbering and so vanished from the page.
        {"block named like the beginning of the previous one",
         Block("pages", "P{V}") + Block("page", "Q{V}"),
         {{'b', "pages", ""},
          {'v', "V", "1"},
          endBlock,
          {'b', "page", ""},
          {'v', "V", "2"},
          endBlock},
         "P1Q2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(Render(c.Template, c.Decls), c.Expected);
    }
}

TEST(ZuzIva, DeclarationsAreNamedByPath) {
    TZuzIva z;
    z.SetVar("SC_KEY", "word");
    for (int i = 0; i < 4; ++i) {
        z.BeginBlock("youtube");
        if (i == 3) z.SetVar("YT_ID", "abc");
        if (i == 1) {
            z.BeginBlock("b");
            z.BeginBlock("c");
            z.EndBlock();
            z.EndBlock();
        }
        z.EndBlock("ignored");
    }
    EXPECT_EQ(z.m_oVariables.IndexOf("&SC_KEY=word"), 0);
    EXPECT_GE(z.m_oVariables.IndexOf("@youtube[1]@b[0]@c[0]="), 0);
    EXPECT_GE(z.m_oVariables.IndexOf("@youtube[3]="), 0);
    EXPECT_GE(z.m_oVariables.IndexOf("@youtube[3]&YT_ID=abc"), 0);
    EXPECT_EQ(z.m_sCurBlock, "");
    EXPECT_EQ(z.m_aBlockLevel, 0);

    EXPECT_EQ(z.GetVar("@youtube[3]", "yt_id"), "abc");
    EXPECT_EQ(z.GetVar("@youtube[2]", "YT_ID"), "");
    EXPECT_EQ(z.GetVar("@youtube[3]@x[0]", "SC_KEY"), "word");
    EXPECT_EQ(TZuzIva::InStrRev("@a[0]@b[2]", "@"), 5);
    EXPECT_EQ(TZuzIva::InStrRev("abc", "@"), -1);
}

TEST(ZuzIva, RefusesNestingBeyondItsLevels) {
    TZuzIva z;
    for (int i = 0; i < TZuzIva::MaxBlockLevel; ++i)
        z.BeginBlock("b");
    EXPECT_THROW(z.BeginBlock("b"), EInvalidOperation);
    EXPECT_EQ(z.m_aBlockLevel, TZuzIva::MaxBlockLevel);
    for (int i = 0; i < TZuzIva::MaxBlockLevel; ++i)
        z.EndBlock();
    EXPECT_THROW(z.EndBlock(), EInvalidOperation);
    EXPECT_EQ(z.m_aBlockLevel, 0);

    std::string deep = "x";
    for (int i = 0; i < TZuzIva::MaxBlockLevel; ++i)
        deep = Block("b", deep);
    EXPECT_EQ(Render(deep, {}), "");
    TZuzIva tooDeep;
    tooDeep.m_sTplString.SetText(Block("b", deep));
    EXPECT_THROW(tooDeep.MakeHtml(), EInvalidOperation);
}

TEST(ZuzIva, LoadsTemplateFilesByTheirEncoding) {
    const auto path =
        std::filesystem::temp_directory_path() /
        ("zuziva_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".tpl");
    {
        std::ofstream f(path, std::ios::binary);
        f << "\xEF\xBB\xBF<p>{T}\xC3\xA9</p>\n<b>{T}</b>\n";
    }
    TZuzIva z;
    z.LoadTpl(path.string());
    z.SetVar("T", "\xD0\xAF");
    z.MakeHtml();
    std::filesystem::remove(path);
    EXPECT_EQ(z.m_sHTML, "<p>\xD0\xAF\xC3\xA9</p>\r\n<b>\xD0\xAF</b>");
    EXPECT_THROW(z.LoadTpl(path.string()), EFOpenError);

    // Neither a FIFO (it would block) nor a file far larger than any template.
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_THROW(z.LoadTpl(path.string()), EFOpenError);
    std::filesystem::remove(path);
    { std::ofstream f(path, std::ios::binary); }
    std::filesystem::resize_file(path, (16u << 20) + 1);
    EXPECT_THROW(z.LoadTpl(path.string()), EFOpenError);
    std::filesystem::remove(path);
}

} // namespace
