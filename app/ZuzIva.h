// HTML template engine: a template with {variables} and repeated blocks
// ("<!-- begin block name -->" ... "<!-- end block name -->") is filled from
// declarations made in page order.
#pragma once

#include <array>
#include <string>
#include <unordered_map>

#include "classlib/classes.h"
#include "classlib/strings.h"

class TZuzIva : public TObject {
public:
    // Blocks nest up to this many levels; deeper nesting raises EInvalidOperation.
    static constexpr int MaxBlockLevel = 10;

    TZuzIva();
    ~TZuzIva() override;

    // Loads the template (a byte-order mark selects the encoding, otherwise the
    // ANSI code page). Raises EFOpenError when the file cannot be read.
    void LoadTpl(const std::string& aFileName);
    // Opens the next iteration of the named block at the current path.
    void BeginBlock(const std::string& inBlockToken);
    // Closes the innermost open iteration; the argument is not used.
    void EndBlock(const std::string& aBlock = std::string());
    // Declares a variable at the current path; "\'" in the value becomes "'".
    void SetVar(const std::string& inToken, const std::string& inValue);
    // The value of a variable seen from a path, falling back to the enclosing
    // levels down to the page level; empty when nobody declared it.
    std::string GetVar(const std::string& inCurBlock, const std::string& inToken);
    // Renders the template into m_sHTML.
    void MakeHtml();
    // Characters before the last occurrence of FindStr, -1 when there is none.
    static int InStrRev(const std::string& OrgStr, const std::string& FindStr);

    TStringList m_oVariables;
    TStringList m_sTplString;
    std::string m_sCurBlock;
    int m_aBlockLevel = 0;
    std::string m_sLastBlockName;
    std::array<int, MaxBlockLevel + 1> m_aBlockIndex{};
    std::string m_sHTML;

private:
    int FindName(const std::string& AName) const;
    // While rendering: the first line of each name, by lower-case name.
    std::unordered_map<std::string, int> FNameIndex;
    bool FIndexed = false;
};
