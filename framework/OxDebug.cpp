#include "framework/OxDebug.h"

#include "classlib/sysutils.h"
#include "classlib/typinfo.h"
#include "framework/SPTools.h"
#include "platform/os/clock.h"
#include "platform/os/codepage.h"
#include "platform/os/cpu.h"
#include "platform/os/file.h"
#include "platform/os/ipc.h"
#include "platform/os/process.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

const char* const OxMapName = "Global\\OxDebugMap";
const char* const OxQueueMutexName = "Global\\OxDebugQueueMutex";
const char* const OxQueueEventName = "Global\\OxDebugQueueEvent";
const char* const OxFlushEventName = "Global\\OxDebugFlushEvent";
const char* const OxStartEventName = "Global\\OxDebugStartEvent";

namespace {

constexpr char kMagic[8] = {'O', 'X', 'D', 'E', 'B', 'U', 'G', '\0'};
constexpr int kOffMark = 8, kOffMapSize = 12, kOffQueueOffset = 16, kOffFront = 20, kOffTail = 24,
              kOffFilterChanged = 28, kOffFilterEnabled = 32, kOffFilterLevel = 36,
              kOffFilterTag = 40, kOffFilterTypes = 48;

uint32_t Get32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void Put32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

std::string HexAddress(const void* p) {
    return IntToHex(int64_t(uintptr_t(p)), 8);
}

} // namespace

// ---------------------------------------------------------------------------
// Channels

TOxDebugChannel::TOxDebugChannel(bool IsAutoFlush) : FAutoFlush(IsAutoFlush) {
    FActive = true;
}

void TOxDebugChannel::SetAutoFlush(bool Value) {
    if (Value == FAutoFlush) return;
    FAutoFlush = Value;
    UpdateFlush();
}

TOxMapFileChannel::TOxMapFileChannel(bool IsAutoFlush) : TOxDebugChannel(IsAutoFlush) {
    UpdateFlush();
}

TOxMapFileChannel::~TOxMapFileChannel() {
    CloseObjects();
    FQueueFlush.reset();
}

void TOxMapFileChannel::CloseObjects() {
    std::lock_guard<std::recursive_mutex> g(FLock);
    FMap.reset();
    FQueueEvent.reset();
    FMapHeader = nullptr;
    FMsgBase = nullptr;
    FMapSize = FQueueSize = 0;
}

// The viewer owns the block; nothing it holds is trusted. The block is
// usable only while its mark and magic are in place and its sizes and the
// queue area lie inside the mapping.
bool TOxMapFileChannel::HeaderValid() const {
    if (!FMap || FMap->Size() < size_t(OxMapHeaderSize)) return false;
    const uint8_t* h = FMap->Data();
    if (std::memcmp(h, kMagic, 8) != 0 || Get32(h + kOffMark) != OxMapValidMark) return false;
    uint32_t mapSize = Get32(h + kOffMapSize);
    uint32_t queueOffset = Get32(h + kOffQueueOffset);
    if (mapSize > FMap->Size() || mapSize > 0x7FFFFFFFu) return false;
    if (queueOffset < uint32_t(OxMapHeaderSize) || queueOffset >= mapSize) return false;
    return mapSize - queueOffset > uint32_t(OxPacketHeaderSize);
}

bool TOxMapFileChannel::CheckReady() {
    std::lock_guard<std::recursive_mutex> g(FLock);
    if (!FMap || !FQueueEvent) {
        CloseObjects();
        FMap = os::SharedMemory::Open(OxMapName);
        FQueueEvent = os::NamedEvent::Open(OxQueueEventName);
        if (FMap && FQueueEvent) UpdateFlush();
    }
    if (!HeaderValid()) {
        CloseObjects();
        return false;
    }
    FMapHeader = FMap->Data();
    FMapSize = int32_t(Get32(FMapHeader + kOffMapSize));
    FQueueSize = FMapSize - int32_t(Get32(FMapHeader + kOffQueueOffset));
    FMsgBase = FMapHeader + Get32(FMapHeader + kOffQueueOffset);
    return true;
}

void TOxMapFileChannel::UpdateFlush() {
    std::lock_guard<std::recursive_mutex> g(FLock);
    if (FAutoFlush) {
        if (!FQueueFlush) FQueueFlush = os::NamedEvent::Create(OxFlushEventName, false, false);
    } else {
        FQueueFlush.reset();
    }
}

bool TOxMapFileChannel::CheckFilterChanged() {
    std::lock_guard<std::recursive_mutex> g(FLock);
    return FMapHeader && Get32(FMapHeader + kOffFilterChanged) != 0;
}

void TOxMapFileChannel::RefreshFilter(TOxDebugFilter* Filter) {
    std::lock_guard<std::recursive_mutex> g(FLock);
    if (!FMapHeader || !Filter) return;
    Filter->FEnabled = Get32(FMapHeader + kOffFilterEnabled) != 0;
    Filter->FLevel = int32_t(Get32(FMapHeader + kOffFilterLevel));
    const char* tag = reinterpret_cast<const char*>(FMapHeader + kOffFilterTag);
    Filter->FTag = std::string(tag, strnlen(tag, 8));
    uint16_t types;
    std::memcpy(&types, FMapHeader + kOffFilterTypes, 2);
    Filter->FMsgTypes = types;
    Put32(FMapHeader + kOffFilterChanged, 0);
}

void TOxMapFileChannel::SendContent(const void* MsgDesc, int Size) {
    std::lock_guard<std::recursive_mutex> g(FLock);
    if (!FMsgBase || !MsgDesc || Size <= 0 || Size >= FQueueSize) return;
    auto mutex = os::NamedMutex::Open(OxQueueMutexName);
    if (!mutex) {
        CloseObjects();
        return;
    }
    auto w = mutex->Wait(1000);
    if (w != os::NamedMutex::WaitResult::Acquired && w != os::NamedMutex::WaitResult::Abandoned)
        return;

    bool broken = !HeaderValid() || FMapHeader != FMap->Data() ||
                  int32_t(Get32(FMapHeader + kOffMapSize)) != FMapSize;
    const int32_t q = FQueueSize;
    // Every byte goes through the ring, so a packet (its length included)
    // that passes the end of the area continues at its start.
    auto ringByte = [&](int32_t pos) -> uint8_t& { return FMsgBase[pos % q]; };
    if (!broken) {
        FFront = int32_t(Get32(FMapHeader + kOffFront));
        FTail = int32_t(Get32(FMapHeader + kOffTail));
        broken = FFront < 0 || FFront >= q || FTail < 0 || FTail >= q;
    }
    bool frontMoved = false;
    while (!broken) {
        int32_t used = (FTail - FFront + q) % q;
        if (Size < q - used) break;
        // Drop the oldest packet; its length must lie within what is queued.
        uint8_t len[4];
        for (int i = 0; i < 4; ++i)
            len[i] = ringByte(FFront + i);
        uint32_t oldest = Get32(len);
        if (oldest < 4 || oldest > uint32_t(used)) {
            broken = true;
            break;
        }
        FFront = int32_t((int64_t(FFront) + oldest) % q);
        frontMoved = true;
    }
    if (!broken) {
        const uint8_t* src = static_cast<const uint8_t*>(MsgDesc);
        int32_t first = std::min(Size, q - FTail);
        std::memcpy(FMsgBase + FTail, src, size_t(first));
        if (first < Size) std::memcpy(FMsgBase, src + first, size_t(Size - first));
        FTail = int32_t((int64_t(FTail) + Size) % q);
        Put32(FMapHeader + kOffTail, uint32_t(FTail));
        if (frontMoved) Put32(FMapHeader + kOffFront, uint32_t(FFront));
    }
    mutex->Release();
    mutex.reset();
    if (broken) {
        CloseObjects();
        return;
    }
    FQueueEvent->Set();
    if (FAutoFlush && FQueueFlush) FQueueFlush->Wait(100);
}

void TOxMapFileChannel::StartDebugViewer() {
    std::string viewer = RegReadString(os::RegRoot::CurrentUser, "\\Software\\OxTools\\OxDebug",
                                       "OxDebugViewer", "");
    std::vector<std::string> argv{viewer.empty() ? std::string("OxDebugViewer.exe") : viewer, "-a",
                                  IntToStr(os::CurrentProcessId())};
    auto started = os::NamedEvent::Create(OxStartEventName, false, false);
    if (os::StartProcess(argv) != 0 && started) started->Wait(5000);
}

// ---------------------------------------------------------------------------
// Debugger

TOxDebugger::TOxDebugger() : FFilter(std::make_unique<TOxDebugFilter>()) {
    FFilter->FLevel = OxDefaultLevel;
    try {
        FChannel = std::make_unique<TOxMapFileChannel>(true);
    } catch (...) {
        FChannel.reset();
    }
    Calibrate();
}

TOxDebugger::~TOxDebugger() {
    CloseDumpFile();
}

void TOxDebugger::Calibrate() {
    if (FChannel) FChannel->SetActive(false);
    FIgnoreViewer = true;
    constexpr int kRounds = 1000;
    uint64_t t0 = os::ReadCycleCounter();
    for (int i = 0; i < kRounds; ++i) {
        StartTimeMark("");
        StopTimeMark("");
    }
    uint64_t t1 = os::ReadCycleCounter();
    FOverhead = t1 > t0 ? (t1 - t0) / kRounds : 0;
    {
        std::lock_guard<std::mutex> g(FCSThrdId);
        FTimes.clear();
    }
    FMessageCount = 0;
    FPostedMessageCount = 0;
    FIgnoreViewer = false;
    if (FChannel) FChannel->SetActive(true);
}

void TOxDebugger::SetChannel(std::unique_ptr<TOxDebugChannel> AChannel) {
    std::lock_guard<std::recursive_mutex> g(FCSOutput);
    FChannel = std::move(AChannel);
}

void TOxDebugger::StartDebugViewer() {
    std::lock_guard<std::recursive_mutex> g(FCSOutput);
    if (FChannel) FChannel->StartDebugViewer();
}

void TOxDebugger::AddFilterExceptClass(const std::string& ClassName) {
    std::lock_guard<std::mutex> g(FCSThrdId);
    if (FExceptFilter.IndexOf(ClassName) < 0) FExceptFilter.Add(ClassName);
}

void TOxDebugger::RemoveFilterExceptClass(const std::string& ClassName) {
    std::lock_guard<std::mutex> g(FCSThrdId);
    int i = FExceptFilter.IndexOf(ClassName);
    if (i >= 0) FExceptFilter.Delete(i);
}

int32_t TOxDebugger::ThreadIndent(uint32_t ThreadId) {
    std::lock_guard<std::mutex> g(FCSThrdId);
    auto it = std::find(FThrdIDList.begin(), FThrdIDList.end(), ThreadId);
    if (it != FThrdIDList.end()) return FIndentList[size_t(it - FThrdIDList.begin())];
    FThrdIDList.push_back(ThreadId);
    FIndentList.push_back(0);
    return 0;
}

void TOxDebugger::ChangeIndent(int Delta) {
    uint32_t tid = os::CurrentThreadId();
    ThreadIndent(tid);
    std::lock_guard<std::mutex> g(FCSThrdId);
    auto it = std::find(FThrdIDList.begin(), FThrdIDList.end(), tid);
    int32_t& indent = FIndentList[size_t(it - FThrdIDList.begin())];
    indent = std::max(0, indent + Delta);
}

void TOxDebugger::LogFull(const std::string& AMsg, const std::string& ATag, int32_t ALevel,
                          TOxMsgType AType, uint32_t CPUPeriod) {
    if (AMsg.empty()) return;
    int32_t indent = ThreadIndent(os::CurrentThreadId());
    Output(Utf8ToAnsi(AMsg), Utf8ToAnsi(ATag), ALevel, AType, CPUPeriod, indent);
}

void TOxDebugger::LogBytes(const void* AMem, int Size, const std::string& ATag, int32_t ALevel,
                           TOxMsgType AType, uint32_t CPUPeriod) {
    if (!AMem || Size <= 0) return;
    int32_t indent = ThreadIndent(os::CurrentThreadId());
    Output(std::string(static_cast<const char*>(AMem), size_t(Size)), Utf8ToAnsi(ATag), ALevel,
           AType, CPUPeriod, indent);
}

void TOxDebugger::Output(const std::string& AnsiContent, const std::string& AnsiTag, int32_t ALevel,
                         TOxMsgType AType, uint32_t CPUPeriod, int32_t Indent) {
    if (FAutoStart && !FIgnoreViewer && !FViewerAutoStartCalled.exchange(true)) StartDebugViewer();
    ++FMessageCount;
    if (!FActive) return;
    std::lock_guard<std::recursive_mutex> g(FCSOutput);
    if (!FChannel || !FChannel->Active() || !FChannel->CheckReady()) return;
    if (FChannel->CheckFilterChanged()) FChannel->RefreshFilter(FFilter.get());
    if (FFilter->FEnabled) {
        if (ALevel > FFilter->FLevel) return;
        if (FFilter->FMsgTypes != 0 && !(FFilter->FMsgTypes & (1u << unsigned(AType)))) return;
        if (!FFilter->FTag.empty() && (!SameText(AnsiTag, FFilter->FTag) || AnsiTag.size() > 8))
            return;
    }
    uint8_t packet[OxMaxPacketSize] = {};
    int contentSize = int(std::min<size_t>(AnsiContent.size(), size_t(OxMaxContentSize)));
    int total = OxPacketHeaderSize + contentSize;
    Put32(packet + 0, uint32_t(total));
    Put32(packet + 4, uint32_t(ALevel));
    Put32(packet + 8, uint32_t(Indent));
    Put32(packet + 12, uint32_t(os::CurrentProcessId()));
    Put32(packet + 16, os::CurrentThreadId());
    std::memcpy(packet + 20, AnsiTag.data(), std::min<size_t>(AnsiTag.size(), 8));
    Put32(packet + 28, uint32_t(AType));
    Put32(packet + 32, CPUPeriod);
    Put32(packet + 36, uint32_t(OxDefaultTimeStampKind));
    double stamp = os::NowLocalDateTime();
    std::memcpy(packet + 40, &stamp, 8);
    std::memcpy(packet + OxPacketHeaderSize, AnsiContent.data(), size_t(contentSize));
    FChannel->SendContent(packet, total);
    ++FPostedMessageCount;
    if (FDumpToFile && !FIgnoreViewer && FDumpFile != os::kInvalidFile) WriteDump(packet, total);
}

void TOxDebugger::WriteDump(const uint8_t* Packet, int Size) {
    if (!FAfterFirstWrite) {
        if (FUseAppend)
            os::FileSeek(FDumpFile, 0, 2);
        else
            os::FileTruncate(FDumpFile, 0);
        FAfterFirstWrite = true;
    }
    os::FileWrite(FDumpFile, Packet, Size);
}

void TOxDebugger::OpenDumpFile() {
    CloseDumpFile();
    std::string name = FDumpFileName.empty() ? std::string("OxDebugDump.cdd") : FDumpFileName;
    FDumpFile =
        os::IsFile(name) ? os::FileOpen(name, os::FileAccess::ReadWrite) : os::FileCreate(name);
    FAfterFirstWrite = false;
}

void TOxDebugger::CloseDumpFile() {
    if (FDumpFile != os::kInvalidFile) os::FileClose(FDumpFile);
    FDumpFile = os::kInvalidFile;
}

void TOxDebugger::SetDumpToFile(bool Value) {
    std::lock_guard<std::recursive_mutex> g(FCSOutput);
    FDumpToFile = Value;
    if (Value)
        OpenDumpFile();
    else
        CloseDumpFile();
}

void TOxDebugger::SetDumpFileName(const std::string& Value) {
    std::lock_guard<std::recursive_mutex> g(FCSOutput);
    FDumpFileName = Value;
    if (FDumpToFile) OpenDumpFile();
}

// ---- message family ----

void TOxDebugger::LogMsg(const std::string& AMsg) {
    LogFull(AMsg, "", OxDefaultLevel, OxDefaultMsgType);
}
void TOxDebugger::LogMsgWithTag(const std::string& AMsg, const std::string& ATag) {
    LogFull(AMsg, ATag, OxDefaultLevel, OxDefaultMsgType);
}
void TOxDebugger::LogMsgWithLevel(const std::string& AMsg, int32_t ALevel) {
    LogFull(AMsg, "", ALevel, OxDefaultMsgType);
}
void TOxDebugger::LogMsgWithType(const std::string& AMsg, TOxMsgType AType) {
    LogFull(AMsg, "", OxDefaultLevel, AType);
}
void TOxDebugger::LogMsgWithTagLevel(const std::string& AMsg, const std::string& ATag,
                                     int32_t ALevel) {
    LogFull(AMsg, ATag, ALevel, OxDefaultMsgType);
}
void TOxDebugger::LogMsgWithLevelType(const std::string& AMsg, int32_t ALevel, TOxMsgType AType) {
    LogFull(AMsg, "", ALevel, AType);
}
void TOxDebugger::LogMsgWithTypeTag(const std::string& AMsg, TOxMsgType AType,
                                    const std::string& ATag) {
    LogFull(AMsg, ATag, OxDefaultLevel, AType);
}

void TOxDebugger::LogFmtV(const std::string& AFormat, const std::vector<TFormatArg>& AArgs,
                          const std::string& ATag, int32_t ALevel, TOxMsgType AType) {
    std::string text;
    try {
        text = FormatV(AFormat, AArgs);
    } catch (const Exception&) {
        text = "Format Error! Format String: " + AFormat + ". ";
        if (!AArgs.empty()) {
            text += "\r\nHex Params:";
            for (const auto& a : AArgs) {
                uint32_t bits = 0;
                switch (a.kind()) {
                case TFormatArg::Kind::Int:
                    bits = uint32_t(a.asInt());
                    break;
                case TFormatArg::Kind::UInt:
                    bits = uint32_t(a.asUInt());
                    break;
                case TFormatArg::Kind::Float: {
                    double d = a.asFloat();
                    uint64_t u;
                    std::memcpy(&u, &d, 8);
                    bits = uint32_t(u);
                    break;
                }
                case TFormatArg::Kind::String:
                    bits = uint32_t(uintptr_t(a.asString().data()));
                    break;
                case TFormatArg::Kind::Pointer:
                    bits = uint32_t(uintptr_t(a.asPointer()));
                    break;
                }
                text += Format(" %8.8x", bits);
            }
        }
    }
    LogFull(text, ATag, ALevel, AType);
}

void TOxDebugger::LogMsgWarning(const std::string& AMsg) {
    LogMsgWithType(AMsg, cmtWarning);
}
void TOxDebugger::LogMsgError(const std::string& AMsg) {
    LogMsgWithType(AMsg, cmtError);
}

void TOxDebugger::LogLastError() {
    LogLastError(errno);
}

void TOxDebugger::LogLastError(int ErrorCode) {
    std::string text = ErrorCode != 0 ? os::ErrorText(ErrorCode) : std::string();
    if (text.empty()) text = "Unknown Error! ";
    LogErrorFmt("Last Error (Code: %d): %s", ErrorCode, text);
}

void TOxDebugger::LogSeparator() {
    LogMsgWithType("-", cmtSeparator);
}

void TOxDebugger::LogEnter(const std::string& AProcName, const std::string& ATag) {
    LogFull("Enter: " + AProcName, ATag, OxDefaultLevel, cmtEnterProc);
    ChangeIndent(+1);
}

void TOxDebugger::LogLeave(const std::string& AProcName, const std::string& ATag) {
    ChangeIndent(-1);
    LogFull("Leave: " + AProcName, ATag, OxDefaultLevel, cmtLeaveProc);
}

void TOxDebugger::LogAssigned(const void* Value, const std::string& AMsg) {
    std::string word = Value ? "Assigned: " : "Unassigned: ";
    LogMsg(word + (AMsg.empty() ? std::string("a Pointer.") : AMsg));
}

void TOxDebugger::LogBoolean(bool Value, const std::string& AMsg) {
    std::string word = Value ? "True: " : "False: ";
    LogMsg(word + (AMsg.empty() ? std::string("a Boolean Value.") : AMsg));
}

void TOxDebugger::LogInteger(int64_t Value, const std::string& AMsg) {
    LogMsg(AMsg.empty() ? "Integer: " + IntToStr(Value) : Format("%s %d", AMsg, Value));
}

void TOxDebugger::LogFloat(double Value, const std::string& AMsg) {
    LogMsg(AMsg.empty() ? "Float: " + FloatToStr(Value) : Format("%s %s", AMsg, FloatToStr(Value)));
}

namespace {

std::string ColorName(uint32_t c) {
    static const struct {
        uint32_t value;
        const char* name;
    } names[] = {{0x000000, "clBlack"}, {0x000080, "clMaroon"},  {0x008000, "clGreen"},
                 {0x008080, "clOlive"}, {0x800000, "clNavy"},    {0x800080, "clPurple"},
                 {0x808000, "clTeal"},  {0x808080, "clGray"},    {0xC0C0C0, "clSilver"},
                 {0x0000FF, "clRed"},   {0x00FF00, "clLime"},    {0x00FFFF, "clYellow"},
                 {0xFF0000, "clBlue"},  {0xFF00FF, "clFuchsia"}, {0xFFFF00, "clAqua"},
                 {0xFFFFFF, "clWhite"}, {0x1FFFFFFF, "clNone"},  {0x20000000, "clDefault"}};
    for (const auto& n : names)
        if (n.value == c) return n.name;
    return "$" + IntToHex(c, 8);
}

std::string VirtualKeyName(int key) {
    static const struct {
        int code;
        const char* name;
    } names[] = {{0x01, "VK_LBUTTON"},
                 {0x02, "VK_RBUTTON"},
                 {0x03, "VK_CANCEL"},
                 {0x04, "VK_MBUTTON"},
                 {0x05, "VK_XBUTTON1"},
                 {0x06, "VK_XBUTTON2"},
                 {0x08, "VK_BACK"},
                 {0x09, "VK_TAB"},
                 {0x0C, "VK_CLEAR"},
                 {0x0D, "VK_RETURN"},
                 {0x10, "VK_SHIFT"},
                 {0x11, "VK_CONTROL"},
                 {0x12, "VK_MENU"},
                 {0x13, "VK_PAUSE"},
                 {0x14, "VK_CAPITAL"},
                 {0x15, "VK_KANA/VK_HANGUL"},
                 {0x17, "VK_JUNJA"},
                 {0x18, "VK_FINAL"},
                 {0x19, "VK_HANJA/VK_KANJI"},
                 {0x1B, "VK_ESCAPE"},
                 {0x1C, "VK_CONVERT"},
                 {0x1D, "VK_NONCONVERT"},
                 {0x1E, "VK_ACCEPT"},
                 {0x1F, "VK_MODECHANGE"},
                 {0x20, "VK_SPACE"},
                 {0x21, "VK_PRIOR"},
                 {0x22, "VK_NEXT"},
                 {0x23, "VK_END"},
                 {0x24, "VK_HOME"},
                 {0x25, "VK_LEFT"},
                 {0x26, "VK_UP"},
                 {0x27, "VK_RIGHT"},
                 {0x28, "VK_DOWN"},
                 {0x29, "VK_SELECT"},
                 {0x2A, "VK_PRINT"},
                 {0x2B, "VK_EXECUTE"},
                 {0x2C, "VK_SNAPSHOT"},
                 {0x2D, "VK_INSERT"},
                 {0x2E, "VK_DELETE"},
                 {0x2F, "VK_HELP"},
                 {0x5B, "VK_LWIN"},
                 {0x5C, "VK_RWIN"},
                 {0x5D, "VK_APPS"},
                 {0x5F, "VK_SLEEP"},
                 {0x6A, "VK_MULTIPLY"},
                 {0x6B, "VK_ADD"},
                 {0x6C, "VK_SEPARATOR"},
                 {0x6D, "VK_SUBTRACT"},
                 {0x6E, "VK_DECIMAL"},
                 {0x6F, "VK_DIVIDE"},
                 {0x90, "VK_NUMLOCK"},
                 {0x91, "VK_SCROLL"},
                 {0xA0, "VK_LSHIFT"},
                 {0xA1, "VK_RSHIFT"},
                 {0xA2, "VK_LCONTROL"},
                 {0xA3, "VK_RCONTROL"},
                 {0xA4, "VK_LMENU"},
                 {0xA5, "VK_RMENU"},
                 {0xA6, "VK_BROWSER_BACK"},
                 {0xA7, "VK_BROWSER_FORWARD"},
                 {0xA8, "VK_BROWSER_REFRESH"},
                 {0xA9, "VK_BROWSER_STOP"},
                 {0xAA, "VK_BROWSER_SEARCH"},
                 {0xAB, "VK_BROWSER_FAVORITES"},
                 {0xAC, "VK_BROWSER_HOME"},
                 {0xAD, "VK_VOLUME_MUTE"},
                 {0xAE, "VK_VOLUME_DOWN"},
                 {0xAF, "VK_VOLUME_UP"},
                 {0xB0, "VK_MEDIA_NEXT_TRACK"},
                 {0xB1, "VK_MEDIA_PREV_TRACK"},
                 {0xB2, "VK_MEDIA_STOP"},
                 {0xB3, "VK_MEDIA_PLAY_PAUSE"},
                 {0xB4, "VK_LAUNCH_MAIL"},
                 {0xB5, "VK_LAUNCH_MEDIA_SELECT"},
                 {0xB6, "VK_LAUNCH_APP1"},
                 {0xB7, "VK_LAUNCH_APP2"},
                 {0xBA, "VK_OEM_1"},
                 {0xBB, "VK_OEM_PLUS"},
                 {0xBC, "VK_OEM_COMMA"},
                 {0xBD, "VK_OEM_MINUS"},
                 {0xBE, "VK_OEM_PERIOD"},
                 {0xBF, "VK_OEM_2"},
                 {0xC0, "VK_OEM_3"},
                 {0xDB, "VK_OEM_4"},
                 {0xDC, "VK_OEM_5"},
                 {0xDD, "VK_OEM_6"},
                 {0xDE, "VK_OEM_7"},
                 {0xDF, "VK_OEM_8"},
                 {0xE2, "VK_OEM_102"},
                 {0xE5, "VK_PROCESSKEY"},
                 {0xE7, "VK_PACKET"},
                 {0xF6, "VK_ATTN"},
                 {0xF7, "VK_CRSEL"},
                 {0xF8, "VK_EXSEL"},
                 {0xF9, "VK_EREOF"},
                 {0xFA, "VK_PLAY"},
                 {0xFB, "VK_ZOOM"},
                 {0xFC, "VK_NONAME"},
                 {0xFD, "VK_PA1"},
                 {0xFE, "VK_OEM_CLEAR"}};
    if (key >= 0x60 && key <= 0x69) return "VK_NUMPAD" + IntToStr(key - 0x60);
    if (key >= 0x70 && key <= 0x87) return "VK_F" + IntToStr(key - 0x6F);
    for (const auto& n : names)
        if (n.code == key) return n.name;
    return "VK_UNKNOWN";
}

} // namespace

void TOxDebugger::LogColor(uint32_t Value, const std::string& AMsg) {
    LogMsg(AMsg.empty() ? "Color: " + ColorName(Value) : Format("%s %s", AMsg, ColorName(Value)));
}

void TOxDebugger::LogChar(char Value, const std::string& AMsg) {
    int code = static_cast<unsigned char>(Value);
    std::string ch(1, Value);
    LogMsg(AMsg.empty() ? Format("Char: '%s'(%d/$%2.2x)", ch, code, code)
                        : Format("%s '%s'(%d/$%2.2x)", AMsg, ch, code, code));
}

void TOxDebugger::LogDateTime(TDateTime Value, const std::string& AMsg) {
    LogDateTimeFmt(Value, "yyyy-mm-dd hh:nn:ss.zzz", AMsg);
}

void TOxDebugger::LogDateTimeFmt(TDateTime Value, const std::string& AFormat,
                                 const std::string& AMsg) {
    LogMsg((AMsg.empty() ? std::string("A Date/Time: ") : AMsg) + FormatDateTime(AFormat, Value));
}

void TOxDebugger::LogPointer(const void* Value, const std::string& AMsg) {
    LogMsg(Format("%s $%p", AMsg.empty() ? std::string("Pointer Address: ") : AMsg, Value));
}

void TOxDebugger::LogPoint(const TPoint& Value, const std::string& AMsg) {
    std::string p = "(" + IntToStr(Value.X) + "," + IntToStr(Value.Y) + ")";
    LogMsg(AMsg.empty() ? "Point: " + p : Format("%s %s", AMsg, p));
}

void TOxDebugger::LogRect(const TRect& Value, const std::string& AMsg) {
    std::string r = "((" + IntToStr(Value.Left) + "," + IntToStr(Value.Top) + "),(" +
                    IntToStr(Value.Right) + "," + IntToStr(Value.Bottom) + "))";
    LogMsg(AMsg.empty() ? "Rect: " + r : Format("%s %s", AMsg, r));
}

void TOxDebugger::LogStrings(const TStrings* Strings, const std::string& AMsg) {
    std::string text = Strings ? Strings->Text() : std::string();
    LogMsg(AMsg.empty() ? text : AMsg + "\r\n" + text);
}

void TOxDebugger::LogMemDump(const void* AMem, int Size) {
    LogBytes(AMem, Size, "", OxDefaultLevel, cmtMemoryDump);
}

void TOxDebugger::LogVirtualKey(int Key) {
    LogVirtualKeyWithTag(Key, "");
}

void TOxDebugger::LogVirtualKeyWithTag(int Key, const std::string& ATag) {
    LogMsgWithTag(Format("VirtualKey: %d($%2.2x), %s", Key, Key, VirtualKeyName(Key)), ATag);
}

namespace {

// A text as the form-resource text form writes it: between apostrophes,
// an apostrophe doubled.
std::string QuotedText(const std::string& Text) {
    std::string out = "'";
    for (char c : Text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

// The published properties of an object, one per line, from the class
// library's registry. Collections list their items with their own
// properties; a reference names the component it points to. Owned
// components are not followed here.
void ListProperties(TObject* Object, const std::string& Indent, std::string& Out, int Depth = 0) {
    if (!Object || Depth > 8) return;
    for (const TPropInfo* p : GetPropList(Object)) {
        if (!p->HasReader()) continue;
        switch (p->Kind) {
        case TPropKind::String:
        case TPropKind::WideString:
            Out += Indent + p->Name + " = " + QuotedText(p->GetText(Object)) + "\r\n";
            break;
        case TPropKind::Other:
            Out += Indent + p->Name + " = " + p->GetText(Object) + "\r\n";
            break;
        case TPropKind::Strings: {
            TStrings* lines = p->GetStrings(Object);
            Out += Indent + p->Name + ".Strings = (";
            for (int i = 0; lines && i < lines->Count(); ++i)
                Out += "\r\n" + Indent + "  " + QuotedText((*lines)[i]);
            Out += ")\r\n";
            break;
        }
        case TPropKind::Collection: {
            int n = p->ItemCount(Object);
            Out += Indent + p->Name + " = <";
            for (int i = 0; i < n; ++i) {
                Out += "\r\n" + Indent + "  item\r\n";
                ListProperties(p->GetItem(Object, i), Indent + "    ", Out, Depth + 1);
                Out += Indent + "  end";
            }
            Out += ">\r\n";
            break;
        }
        case TPropKind::Object: {
            TObject* target = p->GetObject(Object);
            if (!target) break;
            auto* c = dynamic_cast<TComponent*>(target);
            Out += Indent + p->Name + " = " +
                   (c && !c->Name().empty() ? c->Name() : "$" + HexAddress(target)) + "\r\n";
            break;
        }
        }
    }
}

} // namespace

void TOxDebugger::ObjectListing(const TObject* AObject, const std::string& ATag,
                                const char* Prefix) {
    std::string text = std::string(Prefix) + HexAddress(AObject) + "\r\n";
    try {
        if (AObject) {
            std::string props;
            ListProperties(const_cast<TObject*>(AObject), "  ", props);
            text += "  ClassName = " + AObject->ClassName() + "\r\n" + props;
        }
    } catch (...) {
        text += "*** Exception ***";
    }
    LogFull(text, ATag, OxDefaultLevel, cmtObject);
}

void TOxDebugger::LogObject(const TObject* AObject, const std::string& ATag) {
    ObjectListing(AObject, ATag, "Object: $");
}

void TOxDebugger::TraceObject(const TObject* AObject, const std::string& ATag) {
    ObjectListing(AObject, ATag, "Object: ");
}

void TOxDebugger::LogCollection(const TList* ACollection, const std::string& ATag) {
    std::string text = "Collection: $" + HexAddress(ACollection) + "\r\n";
    try {
        int n = ACollection ? ACollection->Count() : 0;
        text += "  Count = " + IntToStr(n) + "\r\n";
        for (int i = 0; i < n; ++i) {
            text += "  object: \r\n";
            text += "    Index = " + IntToStr(i) + "\r\n";
            ListProperties(static_cast<TObject*>(ACollection->Items(i)), "    ", text);
            text += "  end\r\n";
        }
        text += "end";
    } catch (...) {
        text += "*** Exception ***";
    }
    LogFull(text, ATag, OxDefaultLevel, cmtObject);
}

void TOxDebugger::LogComponent(const TComponent* AComponent, const std::string& ATag) {
    if (!AComponent) {
        LogFull("Component is nil.", ATag, OxDefaultLevel, cmtComponent);
        return;
    }
    // The text form of a form resource: the component's class, its
    // properties (its name stands in the heading) and the components it owns.
    std::function<void(TComponent*, const std::string&, std::string&)> write =
        [&](TComponent* c, const std::string& indent, std::string& out) {
            out += indent + "object " + c->Name() + ": " + c->ClassName() + "\r\n";
            std::string props;
            ListProperties(c, indent + "  ", props);
            for (size_t start = 0; start < props.size();) {
                size_t end = props.find("\r\n", start);
                std::string line = props.substr(start, end - start);
                if (line.rfind(indent + "  Name = ", 0) != 0) out += line + "\r\n";
                start = end == std::string::npos ? props.size() : end + 2;
            }
            for (int i = 0; i < c->ComponentCount(); ++i)
                write(c->Components(i), indent + "  ", out);
            out += indent + "end\r\n";
        };
    std::string text;
    try {
        write(const_cast<TComponent*>(AComponent), "", text);
    } catch (...) {
        text += "*** Exception ***";
    }
    LogFull(text, ATag, OxDefaultLevel, cmtComponent);
}

namespace {
std::string MarkTag(const std::string& tag) {
    return tag.substr(0, 8);
}
} // namespace

void TOxDebugger::StartTimeMark(const std::string& ATag, const std::string&) {
    std::string tag = MarkTag(Utf8ToAnsi(ATag));
    std::lock_guard<std::mutex> g(FCSThrdId);
    auto it = std::find_if(FTimes.begin(), FTimes.end(), [&](const TTimeMark& m) {
        return std::strncmp(m.Tag, tag.c_str(), 8) == 0 &&
               (tag.size() == 8 || m.Tag[tag.size()] == 0);
    });
    if (it == FTimes.end()) {
        TTimeMark m;
        std::memcpy(m.Tag, tag.data(), tag.size());
        FTimes.push_back(m);
        it = FTimes.end() - 1;
    }
    it->Count++;
    it->Start = os::ReadCycleCounter();
}

void TOxDebugger::StartTimeMark(int ATag, const std::string& AMsg) {
    StartTimeMark("#" + IntToStr(ATag), AMsg);
}

void TOxDebugger::StopTimeMark(const std::string& ATag, const std::string& AMsg) {
    uint64_t now = os::ReadCycleCounter();
    std::string tag = MarkTag(Utf8ToAnsi(ATag));
    uint64_t total = 0;
    {
        std::lock_guard<std::mutex> g(FCSThrdId);
        auto it = std::find_if(FTimes.begin(), FTimes.end(), [&](const TTimeMark& m) {
            return std::strncmp(m.Tag, tag.c_str(), 8) == 0 &&
                   (tag.size() == 8 || m.Tag[tag.size()] == 0);
        });
        if (it == FTimes.end()) return;
        uint64_t spent = now > it->Start ? now - it->Start : 0;
        it->Total += spent > FOverhead ? spent - FOverhead : 0;
        total = it->Total;
    }
    TraceFull(AMsg.empty() ? std::string("Stop Time Mark. ") : AMsg, ATag, OxDefaultLevel,
              cmtTimeMarkStop, uint32_t(total));
}

void TOxDebugger::StopTimeMark(int ATag, const std::string& AMsg) {
    StopTimeMark("#" + IntToStr(ATag), AMsg);
}

TOxDebugger* DebuggerInstance() {
    static std::unique_ptr<TOxDebugger> instance = std::make_unique<TOxDebugger>();
    return instance.get();
}
