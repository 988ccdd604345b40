// The reader and the writer that walk a section's field list (SkinData.h),
// and the words a skin text uses for each enumeration.
#include "skin/engine/SkinData.h"

// ---- Enumeration words -------------------------------------------------------------------------

namespace {

const char* const kStretchWords[] = {"stfull", "sthorz", "stvert"};
const char* const kMorphWords[] = {"mkdefault",       "mkgradient",  "mkleftgradient",
                                   "mkrightgradient", "mkleftslide", "mkrightslide",
                                   "mkpush"};
const char* const kInActiveWords[] = {"iebrightness", "iedarkness",  "iegrayscale",
                                      "ienoise",      "iesplitblur", "ieinvert"};
const char* const kPlacementWords[] = {"fphorizontal", "fpvertical"};
const char* const kRegulatorWords[] = {"rkround", "rkhorizontal", "rkvertical"};
const char* const kGaugeWords[] = {"gkhorizontal", "gkvertical"};
const char* const kCommandWords[] = {"cmclose",   "cmmaximize", "cmminimize",      "cmsysmenu",
                                     "cmdefault", "cmrollup",   "cmminimizetotray"};

} // namespace

const TspEnumWords spStretchTypeWords{kStretchWords, 3, spstFull, spstHorz};
const TspEnumWords spMorphKindWords{kMorphWords, 7, mkDefault, mkDefault};
const TspEnumWords spInActiveEffectWords{kInActiveWords, 6, ieBrightness, ieGrayScale};
const TspEnumWords spFramesPlacementWords{kPlacementWords, 2, fpHorizontal, fpVertical};
const TspEnumWords spRegulatorKindWords{kRegulatorWords, 3, rkRound, rkVertical};
const TspEnumWords spGaugeKindWords{kGaugeWords, 2, gkHorizontal, gkVertical};
const TspEnumWords spStdCommandWords{kCommandWords, 7, cmDefault, cmMinimizeToTray};

// ---- Key readers and writers -------------------------------------------------------------------

void TspSkinKeyReader::CheckRange(const char* Key, std::initializer_list<int32_t> Values) const {
    for (int32_t v : Values)
        if (v < -kSkinValueLimit || v > kSkinValueLimit)
            throw ESkinDataError("Skin value [" + S + "] " + Key + "=" + F->ReadString(S, Key, "") +
                                 " is out of range");
}
void TspSkinKeyReader::Int(const char* Key, int32_t& V, int32_t Absent) {
    V = F->ReadInteger(S, Key, Absent);
    CheckRange(Key, {V});
}
void TspSkinKeyReader::AnyInt(const char* Key, int32_t& V, int32_t Absent) {
    V = F->ReadInteger(S, Key, Absent);
}
void TspSkinKeyReader::Bool(const char* Key, bool& V) {
    V = ReadBoolean(F, S, Key);
}
void TspSkinKeyReader::Rect(const char* Key, TRect& V) {
    ReadRect(F, S, Key, V);
    CheckRange(Key, {V.Left, V.Top, V.Right, V.Bottom});
}
void TspSkinKeyReader::Point(const char* Key, TPoint& V) {
    ReadPoint(F, S, Key, V);
    CheckRange(Key, {V.X, V.Y});
}
void TspSkinKeyReader::Text(const char* Key, std::string& V, const char* Absent) {
    V = F->ReadString(S, Key, Absent);
}
void TspSkinKeyReader::Styles(const char* Key, TFontStyles& V) {
    V = ReadFontStyles(F, S, Key);
}
void TspSkinKeyReader::Lines(const char* Key, TStrings* V) {
    ReadStrings(F, S, Key, V);
}
void TspSkinKeyReader::List(const char* Key, TStrings* V) {
    ReadStringList(F, S, Key, V);
}
void TspSkinKeyReader::Align(const char* Key, TAlignment& V) {
    V = ReadAlignment(F, S, Key);
}
void TspSkinKeyReader::Word(const char* Key, int& V, const TspEnumWords& W) {
    std::string w = F->ReadString(S, Key, W.Words[W.Absent]);
    V = W.Unknown;
    for (int i = 0; i < W.Count; ++i)
        if (w == W.Words[i]) V = i;
}

void TspSkinKeyWriter::Int(const char* Key, int32_t& V, int32_t) {
    F->WriteInteger(S, Key, V);
}
void TspSkinKeyWriter::AnyInt(const char* Key, int32_t& V, int32_t) {
    F->WriteInteger(S, Key, V);
}
void TspSkinKeyWriter::Bool(const char* Key, bool& V) {
    WriteBoolean(F, S, Key, V);
}
void TspSkinKeyWriter::Rect(const char* Key, TRect& V) {
    WriteRect(F, S, Key, V);
}
void TspSkinKeyWriter::Point(const char* Key, TPoint& V) {
    WritePoint(F, S, Key, V);
}
void TspSkinKeyWriter::Text(const char* Key, std::string& V, const char*) {
    F->WriteString(S, Key, V);
}
void TspSkinKeyWriter::Styles(const char* Key, TFontStyles& V) {
    WriteFontStyles(F, S, Key, V);
}
void TspSkinKeyWriter::Lines(const char* Key, TStrings* V) {
    WriteStrings(F, S, Key, V);
}
void TspSkinKeyWriter::List(const char* Key, TStrings* V) {
    WriteStringList(F, S, Key, V);
}
void TspSkinKeyWriter::Align(const char* Key, TAlignment& V) {
    WriteAlignment(F, S, Key, V);
}
void TspSkinKeyWriter::Word(const char* Key, int& V, const TspEnumWords& W) {
    F->WriteString(S, Key, W.Words[V >= 0 && V < W.Count ? V : W.Absent]);
}
