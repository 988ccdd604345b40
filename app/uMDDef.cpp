#include "app/uMDDef.h"

#include "classlib/forms.h"
#include "classlib/sysutils.h"
#include "download/MultiDownloader.h"
#include "framework/CLEngine.h"
#include "framework/CLSettings.h"
#include "framework/SPTools.h"
#include "media/ID3v1.h"
#include "media/ID3v2.h"
#include "platform/win/queue.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>
#include <unordered_map>

namespace {

int AppMessage(const std::string& Key, TMsgDlgType Type, TMsgDlgButtons Buttons) {
    if (TCLEngine* engine = EngineInstance())
        return engine->ShowMessageEx(Key, {}, 0, Type, Buttons, 0, false);
    return mrOk;
}

void AppendUtf8(std::string& Out, std::uint32_t Code) {
    if (Code == 0 || Code > 0x10FFFF || (Code >= 0xD800 && Code <= 0xDFFF)) Code = 0xFFFD;
    if (Code < 0x80) {
        Out += char(Code);
    } else if (Code < 0x800) {
        Out += char(0xC0 | (Code >> 6));
        Out += char(0x80 | (Code & 0x3F));
    } else if (Code < 0x10000) {
        Out += char(0xE0 | (Code >> 12));
        Out += char(0x80 | ((Code >> 6) & 0x3F));
        Out += char(0x80 | (Code & 0x3F));
    } else {
        Out += char(0xF0 | (Code >> 18));
        Out += char(0x80 | ((Code >> 12) & 0x3F));
        Out += char(0x80 | ((Code >> 6) & 0x3F));
        Out += char(0x80 | (Code & 0x3F));
    }
}

// The named references of HTML 4 and "apos".
const std::unordered_map<std::string, std::uint32_t>& EntityNames() {
    static const std::unordered_map<std::string, std::uint32_t> names = {
        {"apos", 0x27},     {"AElig", 0xC6},     {"Aacute", 0xC1},    {"Acirc", 0xC2},
        {"Agrave", 0xC0},   {"Alpha", 0x391},    {"Aring", 0xC5},     {"Atilde", 0xC3},
        {"Auml", 0xC4},     {"Beta", 0x392},     {"Ccedil", 0xC7},    {"Chi", 0x3A7},
        {"Dagger", 0x2021}, {"Delta", 0x394},    {"ETH", 0xD0},       {"Eacute", 0xC9},
        {"Ecirc", 0xCA},    {"Egrave", 0xC8},    {"Epsilon", 0x395},  {"Eta", 0x397},
        {"Euml", 0xCB},     {"Gamma", 0x393},    {"Iacute", 0xCD},    {"Icirc", 0xCE},
        {"Igrave", 0xCC},   {"Iota", 0x399},     {"Iuml", 0xCF},      {"Kappa", 0x39A},
        {"Lambda", 0x39B},  {"Mu", 0x39C},       {"Ntilde", 0xD1},    {"Nu", 0x39D},
        {"OElig", 0x152},   {"Oacute", 0xD3},    {"Ocirc", 0xD4},     {"Ograve", 0xD2},
        {"Omega", 0x3A9},   {"Omicron", 0x39F},  {"Oslash", 0xD8},    {"Otilde", 0xD5},
        {"Ouml", 0xD6},     {"Phi", 0x3A6},      {"Pi", 0x3A0},       {"Prime", 0x2033},
        {"Psi", 0x3A8},     {"Rho", 0x3A1},      {"Scaron", 0x160},   {"Sigma", 0x3A3},
        {"THORN", 0xDE},    {"Tau", 0x3A4},      {"Theta", 0x398},    {"Uacute", 0xDA},
        {"Ucirc", 0xDB},    {"Ugrave", 0xD9},    {"Upsilon", 0x3A5},  {"Uuml", 0xDC},
        {"Xi", 0x39E},      {"Yacute", 0xDD},    {"Yuml", 0x178},     {"Zeta", 0x396},
        {"aacute", 0xE1},   {"acirc", 0xE2},     {"acute", 0xB4},     {"aelig", 0xE6},
        {"agrave", 0xE0},   {"alefsym", 0x2135}, {"alpha", 0x3B1},    {"amp", 0x26},
        {"and", 0x2227},    {"ang", 0x2220},     {"aring", 0xE5},     {"asymp", 0x2248},
        {"atilde", 0xE3},   {"auml", 0xE4},      {"bdquo", 0x201E},   {"beta", 0x3B2},
        {"brvbar", 0xA6},   {"bull", 0x2022},    {"cap", 0x2229},     {"ccedil", 0xE7},
        {"cedil", 0xB8},    {"cent", 0xA2},      {"chi", 0x3C7},      {"circ", 0x2C6},
        {"clubs", 0x2663},  {"cong", 0x2245},    {"copy", 0xA9},      {"crarr", 0x21B5},
        {"cup", 0x222A},    {"curren", 0xA4},    {"dArr", 0x21D3},    {"dagger", 0x2020},
        {"darr", 0x2193},   {"deg", 0xB0},       {"delta", 0x3B4},    {"diams", 0x2666},
        {"divide", 0xF7},   {"eacute", 0xE9},    {"ecirc", 0xEA},     {"egrave", 0xE8},
        {"empty", 0x2205},  {"emsp", 0x2003},    {"ensp", 0x2002},    {"epsilon", 0x3B5},
        {"equiv", 0x2261},  {"eta", 0x3B7},      {"eth", 0xF0},       {"euml", 0xEB},
        {"euro", 0x20AC},   {"exist", 0x2203},   {"fnof", 0x192},     {"forall", 0x2200},
        {"frac12", 0xBD},   {"frac14", 0xBC},    {"frac34", 0xBE},    {"frasl", 0x2044},
        {"gamma", 0x3B3},   {"ge", 0x2265},      {"gt", 0x3E},        {"hArr", 0x21D4},
        {"harr", 0x2194},   {"hearts", 0x2665},  {"hellip", 0x2026},  {"iacute", 0xED},
        {"icirc", 0xEE},    {"iexcl", 0xA1},     {"igrave", 0xEC},    {"image", 0x2111},
        {"infin", 0x221E},  {"int", 0x222B},     {"iota", 0x3B9},     {"iquest", 0xBF},
        {"isin", 0x2208},   {"iuml", 0xEF},      {"kappa", 0x3BA},    {"lArr", 0x21D0},
        {"lambda", 0x3BB},  {"lang", 0x2329},    {"laquo", 0xAB},     {"larr", 0x2190},
        {"lceil", 0x2308},  {"ldquo", 0x201C},   {"le", 0x2264},      {"lfloor", 0x230A},
        {"lowast", 0x2217}, {"loz", 0x25CA},     {"lrm", 0x200E},     {"lsaquo", 0x2039},
        {"lsquo", 0x2018},  {"lt", 0x3C},        {"macr", 0xAF},      {"mdash", 0x2014},
        {"micro", 0xB5},    {"middot", 0xB7},    {"minus", 0x2212},   {"mu", 0x3BC},
        {"nabla", 0x2207},  {"nbsp", 0xA0},      {"ndash", 0x2013},   {"ne", 0x2260},
        {"ni", 0x220B},     {"not", 0xAC},       {"notin", 0x2209},   {"nsub", 0x2284},
        {"ntilde", 0xF1},   {"nu", 0x3BD},       {"oacute", 0xF3},    {"ocirc", 0xF4},
        {"oelig", 0x153},   {"ograve", 0xF2},    {"oline", 0x203E},   {"omega", 0x3C9},
        {"omicron", 0x3BF}, {"oplus", 0x2295},   {"or", 0x2228},      {"ordf", 0xAA},
        {"ordm", 0xBA},     {"oslash", 0xF8},    {"otilde", 0xF5},    {"otimes", 0x2297},
        {"ouml", 0xF6},     {"para", 0xB6},      {"part", 0x2202},    {"permil", 0x2030},
        {"perp", 0x22A5},   {"phi", 0x3C6},      {"pi", 0x3C0},       {"piv", 0x3D6},
        {"plusmn", 0xB1},   {"pound", 0xA3},     {"prime", 0x2032},   {"prod", 0x220F},
        {"prop", 0x221D},   {"psi", 0x3C8},      {"quot", 0x22},      {"rArr", 0x21D2},
        {"radic", 0x221A},  {"rang", 0x232A},    {"raquo", 0xBB},     {"rarr", 0x2192},
        {"rceil", 0x2309},  {"rdquo", 0x201D},   {"real", 0x211C},    {"reg", 0xAE},
        {"rfloor", 0x230B}, {"rho", 0x3C1},      {"rlm", 0x200F},     {"rsaquo", 0x203A},
        {"rsquo", 0x2019},  {"sbquo", 0x201A},   {"scaron", 0x161},   {"sdot", 0x22C5},
        {"sect", 0xA7},     {"shy", 0xAD},       {"sigma", 0x3C3},    {"sigmaf", 0x3C2},
        {"sim", 0x223C},    {"spades", 0x2660},  {"sub", 0x2282},     {"sube", 0x2286},
        {"sum", 0x2211},    {"sup", 0x2283},     {"sup1", 0xB9},      {"sup2", 0xB2},
        {"sup3", 0xB3},     {"supe", 0x2287},    {"szlig", 0xDF},     {"tau", 0x3C4},
        {"there4", 0x2234}, {"theta", 0x3B8},    {"thetasym", 0x3D1}, {"thinsp", 0x2009},
        {"thorn", 0xFE},    {"tilde", 0x2DC},    {"times", 0xD7},     {"trade", 0x2122},
        {"uArr", 0x21D1},   {"uacute", 0xFA},    {"uarr", 0x2191},    {"ucirc", 0xFB},
        {"ugrave", 0xF9},   {"uml", 0xA8},       {"upsih", 0x3D2},    {"upsilon", 0x3C5},
        {"uuml", 0xFC},     {"weierp", 0x2118},  {"xi", 0x3BE},       {"yacute", 0xFD},
        {"yen", 0xA5},      {"yuml", 0xFF},      {"zeta", 0x3B6},     {"zwj", 0x200D},
        {"zwnj", 0x200C},
    };
    return names;
}

// Decodes the reference that starts at Text[Pos] ("&"); false when there is none.
bool DecodeReference(const std::string& Text, std::size_t Pos, std::string& Out,
                     std::size_t& Next) {
    const std::size_t semi = Text.find(';', Pos + 1);
    if (semi == std::string::npos || semi - Pos > 40) return false;
    const std::string body = Text.substr(Pos + 1, semi - Pos - 1);
    if (body.size() >= 2 && body[0] == '#') {
        const bool hex = body[1] == 'x' || body[1] == 'X';
        const std::string digits = body.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 8) return false;
        std::uint32_t code = 0;
        for (char c : digits) {
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return false;
            code = code * (hex ? 16 : 10) + std::uint32_t(d);
        }
        AppendUtf8(Out, code);
    } else {
        const auto it = EntityNames().find(body);
        if (it == EntityNames().end()) return false;
        AppendUtf8(Out, it->second);
    }
    Next = semi + 1;
    return true;
}

} // namespace

TCurrentInfo::TCurrentInfo() : MDInfo(std::make_unique<TStringList>()) {}

TCurrentInfo::~TCurrentInfo() = default;

bool TCurrentInfo::GetMDInfo() {
    MDInfo->Clear();
    const std::string search = SettingsInstance()->GetSettingString("SearchKeyURL");
    if (search.empty()) {
        AppMessage("MsgBox.InfoGetting", mtWarning, {mbOK});
        return false;
    }
    MDInfo->Add("SearchKeyURL=" + search);
    MDInfo->Add("DownloadURL=" + SettingsInstance()->GetSettingString("DownloadURL"));
    return true;
}

void WriteTaskComment(TStrings* Comment, const TUrlInfo& Info) {
    Comment->SetValues("Action", IntToStr(Info.Action));
    Comment->SetValues("Id", Info.Id);
    Comment->SetValues("SC_Key", Info.SC_Key);
    Comment->SetValues("Title", Info.Title);
    Comment->SetValues("Long", IntToStr(Info.Long));
    Comment->SetValues("SavePath", Info.SavePath);
    Comment->SetValues("Page", IntToStr(Info.Page));
    Comment->SetValues("ConvertType", Info.ConvertType);
    Comment->SetValues("Popularity", Info.Popularity);
    Comment->SetValues("PId", IntToStr(Info.PId));
    Comment->SetValues("TempPath", Info.TempPath);
    Comment->SetValues("Artist", Info.Artist);
    Comment->SetValues("Album", Info.Album);
    Comment->SetValues("Bitrate", IntToStr(Info.Bitrate));
}

TUrlInfo ReadTaskComment(const TStrings* Comment) {
    TUrlInfo info;
    const int action = StrToIntDef(Comment->Values("Action"), 0);
    info.Action =
        action == UA_PLAY || action == UA_DOWNLOAD || action == UA_FLIPPAGE || action == UA_SEARCH
            ? EURLACTION(action)
            : UA_NONE;
    info.Id = Comment->Values("Id");
    info.SC_Key = Comment->Values("SC_Key");
    info.Title = Comment->Values("Title");
    info.Long = StrToIntDef(Comment->Values("Long"), 0);
    info.SavePath = Comment->Values("SavePath");
    info.Page = StrToIntDef(Comment->Values("Page"), 0);
    info.ConvertType = Comment->Values("ConvertType");
    info.Popularity = Comment->Values("Popularity");
    info.PId = StrToIntDef(Comment->Values("PId"), 0);
    info.TempPath = Comment->Values("TempPath");
    info.Artist = Comment->Values("Artist");
    info.Album = Comment->Values("Album");
    info.Bitrate = StrToIntDef(Comment->Values("Bitrate"), 128);
    return info;
}

bool IsValidVideoId(const std::string& Id) {
    if (Id.empty() || Id.size() > 64) return false;
    return std::all_of(Id.begin(), Id.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-';
    });
}

std::string ReplaceHtmlEntities(const std::string& Text) {
    std::string out;
    out.reserve(Text.size());
    std::size_t pos = 0;
    while (pos < Text.size()) {
        const std::size_t amp = Text.find('&', pos);
        if (amp == std::string::npos) {
            out.append(Text, pos, std::string::npos);
            break;
        }
        out.append(Text, pos, amp - pos);
        std::size_t next = amp + 1;
        if (!DecodeReference(Text, amp, out, next)) out += '&';
        pos = next;
    }
    return out;
}

std::string HtmlEscape(const std::string& Text) {
    std::string out;
    out.reserve(Text.size());
    for (char c : Text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void MakeAudioOutputOptions(const std::string& OutputFile, const std::string& ConvertType,
                            int LengthSeconds, int BitrateKbps, TOutputOptions& Options) {
    Options = TOutputOptions();
    InitOutputOptions(Options);
    Options.FileName = OutputFile;
    Options.DisableVideo = true;
    Options.AudioChannels = 2;
    Options.AudioSampleRate = 44100;
    Options.TimeStart = 0;
    // No length known: the whole input, not an empty file.
    Options.TimeLength = LengthSeconds > 0 ? std::int64_t(LengthSeconds) * 1000000 : kNoTime;
    if (ConvertType == "aac")
        Options.AudioCodec = "libfaac";
    else if (ConvertType == "mp3")
        Options.AudioCodec = "libmp3lame";
    Options.VideoBitrate = 200000;
    Options.AudioBitrate = BitrateKbps * 1000;
}

namespace {

void RunOnMainThread(std::function<void()> Call) {
    PostThreadCall(MainThreadId(), std::move(Call));
}

// Gives the finished temporary file the target's name, or the next free
// "(n)" name, never replacing a file: a hard link fails when the name is
// taken. Where links are not to be had, a name found free is renamed to.
bool MoveIntoFreeName(const std::string& TempFile, const std::string& Target,
                      std::string& FinalName, std::string& Reason) {
    namespace fs = std::filesystem;
    const std::string folder = ExtractFilePath(Target);
    const std::string name = ExtractFileName(Target);
    for (int n = 0; n < 1000; ++n) {
        const std::string candidate = n == 0 ? Target : folder + "(" + IntToStr(n) + ")" + name;
        std::error_code ec;
        fs::create_hard_link(TempFile, candidate, ec);
        if (!ec) {
            fs::remove(TempFile, ec);
            FinalName = candidate;
            return true;
        }
        if (ec == std::errc::file_exists) continue;
        std::error_code probe;
        if (fs::exists(candidate, probe) || probe) continue;
        fs::rename(TempFile, candidate, ec);
        if (!ec) {
            FinalName = candidate;
            return true;
        }
        Reason = "Cannot write " + candidate + ": " + ec.message();
        return false;
    }
    Reason = "No free file name for " + Target;
    return false;
}

// One running conversion: its encoder, then its tag writer, then the move
// into place. Lives on the main thread; the encoder's events and the tag
// writer's end reach it there.
class TConversion {
public:
    TConversion(int Id, std::string Target, TTagValues Tags, TOnConverted OnDone,
                TEncoderTerminateEvent OnTerminate)
        : FId(Id), FTarget(std::move(Target)), FTags(std::move(Tags)), FOnDone(std::move(OnDone)),
          FOnTerminate(std::move(OnTerminate)) {}

    // Opens the input and the temporary output and starts the task thread.
    bool Start(const std::string& InputFile, const std::string& ConvertType, int Bitrate,
               int LengthSeconds, std::string& Reason);
    void Cancel();
    TOnConverted TakeOnDone() { return std::move(FOnDone); }
    void RemoveTemp();

private:
    void Terminated(TObject* Sender, const TTerminateInfo& Info);
    void Advance();
    void End(const TConvertResult& Result);

    int FId;
    std::string FTarget;
    std::string FTemp;
    TTagValues FTags;
    TOnConverted FOnDone;
    TEncoderTerminateEvent FOnTerminate;
    std::unique_ptr<TFFEncoder> FEncoder;
    std::unique_ptr<TFreeEncoderThread> FTagger;
    bool FEncoderDone = false;
    bool FTaggerDone = false;
    bool FConverted = false;
    bool FCancelled = false;
    std::string FReason;
};

std::map<int, std::unique_ptr<TConversion>>& Conversions() {
    static std::map<int, std::unique_ptr<TConversion>> conversions;
    return conversions;
}

bool TConversion::Start(const std::string& InputFile, const std::string& ConvertType, int Bitrate,
                        int LengthSeconds, std::string& Reason) {
    ForceDirectories(ExtractFilePath(FTarget));
    FTemp = MakeTransferTempName(FTarget, &Reason);
    if (FTemp.empty()) return false;
    FEncoder = std::make_unique<TFFEncoder>(nullptr);
    FEncoder->OnTerminate = [this](TObject* Sender, const TTerminateInfo& Info) {
        Terminated(Sender, Info);
    };
    FEncoder->Decoder()->LoadFile(InputFile, "");
    TInputOptions input;
    InitInputOptions(input);
    input.FileName = FEncoder->Decoder()->FileName();
    input.ForceFormat = FEncoder->Decoder()->ForceFormat();
    if (input.FileName.empty()) input.FileName = InputFile;
    const int task = FEncoder->AddTask(InputFile, &input);
    TOutputOptions output;
    MakeAudioOutputOptions(FTemp, ConvertType, LengthSeconds, Bitrate, output);
    // The temporary name says nothing of the format: the target's does.
    output.ForceFormat = LowerCase(ExtractFileExt(FTarget));
    if (!output.ForceFormat.empty() && output.ForceFormat[0] == '.') output.ForceFormat.erase(0, 1);
    if (task < 0 || !FEncoder->SetOutputFile(task, FTemp, &output)) {
        Reason = FEncoder->LastErrMsg().empty() ? "The file cannot be converted"
                                                : FEncoder->LastErrMsg();
        FEncoder.reset();
        RemoveTemp();
        return false;
    }
    // One task thread: the conversion runs beside the main loop.
    FEncoder->Start(1);
    return true;
}

void TConversion::Terminated(TObject* Sender, const TTerminateInfo& Info) {
    if (FOnTerminate) FOnTerminate(Sender, Info);
    if (Info.TaskIndex >= 0) {
        FConverted = Info.Finished && !Info.Exception;
        if (!FConverted)
            FReason =
                Info.ExceptionMsg.empty() ? "The conversion did not finish" : Info.ExceptionMsg;
        // Tagged as soon as converted, while the encoder winds down.
        if (FConverted && !FCancelled) {
            FTagger = std::make_unique<TFreeEncoderThread>(FTemp, FTags);
            const int id = FId;
            FTagger->OnTerminate = [id](TObject*) {
                RunOnMainThread([id] {
                    auto it = Conversions().find(id);
                    if (it == Conversions().end()) return;
                    TConversion* c = it->second.get();
                    c->FTagger->WaitFor();
                    c->FTaggerDone = true;
                    c->Advance();
                });
            };
            FTagger->Start();
        }
        return;
    }
    // The run's last event: the encoder goes once this event has returned.
    const int id = FId;
    RunOnMainThread([id] {
        auto it = Conversions().find(id);
        if (it == Conversions().end()) return;
        TConversion* c = it->second.get();
        c->FEncoder.reset();
        c->FEncoderDone = true;
        c->Advance();
    });
}

void TConversion::Cancel() {
    FCancelled = true;
    if (FEncoder && !FEncoderDone) FEncoder->Stop(false);
}

void TConversion::RemoveTemp() {
    if (FTemp.empty()) return;
    DeleteFile(FTemp);
    DeleteFile(FTemp + "~");
}

void TConversion::Advance() {
    if (!FEncoderDone || (FTagger && !FTaggerDone)) return;
    TConvertResult result;
    if (FCancelled) {
        RemoveTemp();
    } else if (!FConverted) {
        result.Reason = FReason;
        RemoveTemp();
    } else if (!FTagger->TagsWritten()) {
        result.Reason = "Cannot write the tags of " + FTemp;
        RemoveTemp();
    } else if (MoveIntoFreeName(FTemp, FTarget, result.FileName, result.Reason)) {
        result.Succeeded = true;
    } else {
        RemoveTemp();
    }
    End(result);
}

void TConversion::End(const TConvertResult& Result) {
    TOnConverted done = FCancelled ? nullptr : std::move(FOnDone);
    Conversions().erase(FId); // this object is gone from here on
    if (done) done(Result);
}

} // namespace

namespace {

// A load still running when the program ends is waited for.
struct TLibraryLoad {
    std::thread Thread;
    ~TLibraryLoad() {
        if (Thread.joinable()) Thread.join();
    }
};

std::thread& LibraryLoad() {
    static TLibraryLoad load;
    return load.Thread;
}

// The load begun by PrepareConversions is over before the libraries are
// looked at on the main thread.
void FinishLibraryLoad() {
    if (LibraryLoad().joinable()) LibraryLoad().join();
}

} // namespace

void PrepareConversions() {
    if (LibraryLoad().joinable() || FFLoader().Loaded(ConverterLibraries)) return;
    const std::string folder = GetAppFolder();
    LibraryLoad() = std::thread([folder] {
        FFLoader().SetLibraryPath(folder);
        FFLoader().Load(ConverterLibraries);
    });
}

int ConvertFile(const std::string& InputFile, const std::string& OutputFile,
                const std::string& ConvertType, int Bitrate, int LengthSeconds,
                const TTagValues& Tags, TOnConverted OnDone, TEncoderTerminateEvent OnTerminate) {
    TConvertResult failed;
    FinishLibraryLoad();
    {
        TFFEncoder probe(nullptr);
        if (!probe.AVLibLoaded() && !probe.LoadAVLib(GetAppFolder())) {
            AppMessage("MsgBox.AVLibLoadFailed", mtError, {mbOK});
            failed.Reason = probe.LastErrMsg().empty() ? "The media libraries cannot be loaded"
                                                       : probe.LastErrMsg();
            if (OnDone) OnDone(failed);
            return 0;
        }
    }
    static int lastId = 0;
    const int id = ++lastId;
    auto conversion = std::make_unique<TConversion>(id, OutputFile, Tags, std::move(OnDone),
                                                    std::move(OnTerminate));
    TConversion* c = conversion.get();
    Conversions()[id] = std::move(conversion);
    bool started = false;
    try {
        started = c->Start(InputFile, ConvertType, Bitrate, LengthSeconds, failed.Reason);
    } catch (const std::exception& e) {
        failed.Reason = e.what();
    }
    if (started) return id;
    c->RemoveTemp();
    TOnConverted done = c->TakeOnDone();
    Conversions().erase(id);
    if (done) done(failed);
    return 0;
}

void CancelConversion(int Id) {
    auto it = Conversions().find(Id);
    if (it != Conversions().end()) it->second->Cancel();
}

int ConversionsRunning() {
    return int(Conversions().size());
}

void StopConversions() {
    FinishLibraryLoad();
    for (auto& [id, c] : Conversions())
        c->Cancel();
    // A stopped task ends at its next packet and a tag writer within a file's
    // copy: generous, yet no exit hangs on a stuck library.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!Conversions().empty() && std::chrono::steady_clock::now() < end)
        CheckSynchronize(10);
}

bool WriteID3Tags(const std::string& FileName, const std::string& Title, const std::string& Artist,
                  const std::string& Album) {
    if (!FileExists(FileName)) return false;
    TID3v1 v1;
    v1.ReadFromFile(FileName);
    v1.SetTitle(Title);
    v1.SetArtist(Artist);
    v1.SetAlbum(Album);
    const bool ok1 = v1.SaveToFile(FileName);
    TID3v2 v2;
    v2.ReadFromFile(FileName);
    v2.SetTitle(Title);
    v2.SetArtist(Artist);
    v2.SetAlbum(Album);
    const bool ok2 = v2.SaveToFile(FileName);
    return ok1 && ok2;
}

TFreeEncoderThread::TFreeEncoderThread(std::string aFileName, TTagValues aTags)
    : TThread(true), FFileName(std::move(aFileName)), FTags(std::move(aTags)) {}

TFreeEncoderThread::~TFreeEncoderThread() {
    StopThread();
}

void TFreeEncoderThread::Execute() {
    FWritten = WriteID3Tags(FFileName, FTags.Title, FTags.Artist, FTags.Album);
}

bool ConvertDownloadedTask(TMultiDownloader* Queue, TDownloadItem* Item,
                           const std::string& FileName, TOnConvertFinished OnConvertFinished) {
    const TUrlInfo task = ReadTaskComment(Item->Comment());
    // What the item and its conversion share: the item may be stopped or
    // freed while the conversion runs, which drops it.
    struct TLink {
        bool Dropped = false;
        int Id = 0;
    };
    auto link = std::make_shared<TLink>();
    Item->HoldFinish([link] {
        link->Dropped = true;
        CancelConversion(link->Id);
    });
    // Ended after the queue has finished with the item's own step.
    TOnConverted done = [Queue, Item, link, OnConvertFinished,
                         savePath = task.SavePath](const TConvertResult& Result) {
        RunOnMainThread([Queue, Item, link, OnConvertFinished, savePath, Result] {
            if (link->Dropped || Queue->DownloadList()->IndexOf(Item) < 0) return;
            link->Dropped = true;
            if (Result.Succeeded && Result.FileName != savePath)
                Item->Comment()->SetValues("SavePath", Result.FileName);
            Item->EndHeldFinish(Result.Succeeded, Result.Reason);
            if (Result.Succeeded && OnConvertFinished) OnConvertFinished(Result.FileName);
        });
    };
    try {
        link->Id = ConvertFile(FileName, task.SavePath, task.ConvertType, task.Bitrate, task.Long,
                               {task.Title, task.Artist, task.Album}, done);
    } catch (const std::exception& e) {
        // Never a task held for a conversion that is not there.
        done(TConvertResult{false, std::string(), e.what()});
    }
    return link->Id != 0;
}
