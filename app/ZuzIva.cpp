#include "app/ZuzIva.h"

#include "app/RegExEngine.h"
#include "classlib/streams.h"
#include "classlib/sysutils.h"
#include "platform/os/codepage.h"

namespace {

// Far above any real page template; a larger file is refused, not read.
constexpr int64_t MaxTemplateFileSize = 16ll << 20;

const char16_t MarkerPattern[] = u"\\{([a-z]+[a-z0-9_]*)\\}|"
                                 u"<!-- begin block ([A-Za-z0-9_]+) -->|"
                                 u"<!-- end block ([A-Za-z0-9_]+) -->";

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The path without its last "@" level.
std::string CutLastLevel(const std::string& APath) {
    const int at = TZuzIva::InStrRev(APath, "@");
    return at >= 0 ? APath.substr(0, static_cast<size_t>(at)) : std::string();
}

[[noreturn]] void TooDeep() {
    throw EInvalidOperation("Template blocks nest deeper than " +
                            std::to_string(TZuzIva::MaxBlockLevel) + " levels");
}

} // namespace

TZuzIva::TZuzIva() = default;

TZuzIva::~TZuzIva() = default;

void TZuzIva::LoadTpl(const std::string& aFileName) {
    m_sTplString.SetText(DecodeTextBytes(ReadFileBytes(aFileName, MaxTemplateFileSize)));
}

void TZuzIva::BeginBlock(const std::string& inBlockToken) {
    if (m_aBlockLevel >= MaxBlockLevel) TooDeep();
    ++m_aBlockLevel;
    const std::string path = m_sCurBlock + "@" + inBlockToken;
    // The same block at the same place continues its numbering; so does it
    // after a block nested in its previous iteration. Another block whose name
    // merely begins with this one's does not.
    const bool again = m_sLastBlockName == path || m_sLastBlockName.starts_with(path + "[");
    int& index = m_aBlockIndex[static_cast<size_t>(m_aBlockLevel)];
    index = again ? index + 1 : 0;
    m_sLastBlockName = path;
    m_sCurBlock = path + "[" + std::to_string(index) + "]";
    m_oVariables.Add(m_sCurBlock + "=");
}

void TZuzIva::EndBlock(const std::string& aBlock) {
    (void)aBlock;
    if (m_aBlockLevel <= 0) throw EInvalidOperation("EndBlock without an open block");
    m_sCurBlock = CutLastLevel(m_sCurBlock);
    --m_aBlockLevel;
}

void TZuzIva::SetVar(const std::string& inToken, const std::string& inValue) {
    std::string value;
    value.reserve(inValue.size());
    for (size_t i = 0; i < inValue.size(); ++i) {
        if (inValue[i] == '\\' && i + 1 < inValue.size() && inValue[i + 1] == '\'') {
            value += '\'';
            ++i;
        } else {
            value += inValue[i];
        }
    }
    m_oVariables.Add(m_sCurBlock + "&" + inToken + "=" + value);
}

int TZuzIva::FindName(const std::string& AName) const {
    if (!FIndexed) return m_oVariables.IndexOfName(AName);
    const auto it = FNameIndex.find(LowerAscii(AName));
    return it == FNameIndex.end() ? -1 : it->second;
}

std::string TZuzIva::GetVar(const std::string& inCurBlock, const std::string& inToken) {
    std::string path = inCurBlock;
    for (;;) {
        const int i = FindName(path + "&" + inToken);
        if (i >= 0) return m_oVariables.ValueFromIndex(i);
        if (path.empty()) return {};
        path = CutLastLevel(path);
    }
}

int TZuzIva::InStrRev(const std::string& OrgStr, const std::string& FindStr) {
    const size_t at = OrgStr.rfind(FindStr);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

void TZuzIva::MakeHtml() {
    m_sHTML.clear();
    std::string joined;
    for (int i = 0; i < m_sTplString.Count(); ++i) {
        if (i) joined += "\r\n";
        joined += m_sTplString.Get(i);
    }
    const std::u16string tpl = Utf8ToUtf16(joined);

    // Lines are looked up many times while rendering: index them once.
    FNameIndex.clear();
    FNameIndex.reserve(static_cast<size_t>(m_oVariables.Count()));
    for (int i = 0; i < m_oVariables.Count(); ++i) {
        const std::string line = m_oVariables.Get(i);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) FNameIndex.emplace(LowerAscii(line.substr(0, eq)), i);
    }
    FIndexed = true;
    struct IndexReset {
        TZuzIva* Self;
        ~IndexReset() {
            Self->FIndexed = false;
            Self->FNameIndex.clear();
        }
    } indexReset{this};

    TRegExEngine re;
    re.SetModifierI(true);
    re.SetExpression(MarkerPattern);
    // The pattern has no anchors, so searching the whole text from a position
    // finds what a search of the remaining text finds.
    re.SetInputString(tpl);

    constexpr int Levels = MaxBlockLevel + 1;
    std::array<int, Levels> pos{};
    std::array<bool, Levels> show{};
    std::array<int, Levels + 1> iter{};
    std::array<int, Levels> resume{};
    int level = 0;
    show[0] = true;
    std::string path;
    std::string out;
    auto text = [&](int from, int to) {
        return Utf16ToUtf8(std::u16string_view(tpl).substr(static_cast<size_t>(from),
                                                           static_cast<size_t>(to - from)));
    };

    for (;;) {
        const int from = pos[level];
        if (!re.ExecPos(from + 1)) {
            out += text(from, static_cast<int>(tpl.size()));
            break;
        }
        const int at = re.GroupPos(0) - 1;
        const int past = at + re.GroupLen(0);
        const std::u16string variable = re.GroupText(1);
        const std::u16string begin = re.GroupText(2);
        if (!variable.empty()) {
            if (show[level]) out += text(from, at) + GetVar(path, Utf16ToUtf8(variable));
            pos[level] = past;
        } else if (!begin.empty()) {
            if (level >= MaxBlockLevel) TooDeep();
            // The text before a block is written once, before its first iteration.
            if (show[level] && iter[level + 1] == 0) out += text(from, at);
            ++level;
            pos[level] = past;
            iter[level + 1] = 0;
            path += "@" + Utf16ToUtf8(begin) + "[" + std::to_string(iter[level]) + "]";
            show[level] = FindName(path) >= 0;
            if (!show[level] && iter[level] > 0) {
                // Every iteration is written: go on after the block's end marker.
                path = CutLastLevel(path);
                iter[level] = 0;
                --level;
                pos[level] = resume[level];
            }
        } else if (level == 0) {
            // An end marker without an open block is ordinary text.
            out += text(from, past);
            pos[0] = past;
        } else {
            if (show[level]) out += text(from, at);
            ++iter[level];
            path = CutLastLevel(path);
            --level;
            resume[level] = past;
        }
    }
    m_sHTML = std::move(out);
}
