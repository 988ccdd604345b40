// The debug channel: TOxDebugger formats diagnostic messages into binary
// packets and hands them to its output channel, TOxMapFileChannel, which
// writes them into the outside viewer's shared-memory queue.
#pragma once

#include "classlib/classes.h"
#include "classlib/strings.h"
#include "classlib/types.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace os {
class NamedEvent;
class SharedMemory;
} // namespace os

enum TOxMsgType {
    cmtInformation,
    cmtWarning,
    cmtError,
    cmtSeparator,
    cmtEnterProc,
    cmtLeaveProc,
    cmtTimeMarkStart,
    cmtTimeMarkStop,
    cmtMemoryDump,
    cmtException,
    cmtObject,
    cmtComponent,
    cmtCustom,
    cmtSystem
};
using TOxMsgTypes = uint16_t; // bit n = message type n

constexpr int32_t OxDefaultLevel = 3;
constexpr TOxMsgType OxDefaultMsgType = cmtInformation;
constexpr int32_t OxDefaultTimeStampKind = 1;

// The packet: a 48-byte header and at most 4096 bytes of content.
constexpr int OxPacketHeaderSize = 48;
constexpr int OxMaxContentSize = 4096;
constexpr int OxMaxPacketSize = OxPacketHeaderSize + OxMaxContentSize;

// The shared block of the viewer.
constexpr uint32_t OxMapValidMark = 0x7F3D92E0u;
constexpr int OxMapHeaderSize = 50;
extern const char* const OxMapName;
extern const char* const OxQueueMutexName;
extern const char* const OxQueueEventName;
extern const char* const OxFlushEventName;
extern const char* const OxStartEventName;

class TOxDebugFilter : public TObject {
public:
    int32_t FLevel = OxDefaultLevel;
    std::string FTag;
    TOxMsgTypes FMsgTypes = 0;
    bool FEnabled = false;
};

class TOxDebugChannel : public TObject {
public:
    explicit TOxDebugChannel(bool IsAutoFlush);

    bool Active() const { return FActive; }
    virtual void SetActive(bool Value) { FActive = Value; }
    bool AutoFlush() const { return FAutoFlush; }
    void SetAutoFlush(bool Value);

    virtual bool CheckReady() { return false; }
    virtual void UpdateFlush() {}
    virtual void StartDebugViewer() {}
    virtual bool CheckFilterChanged() { return false; }
    virtual void RefreshFilter(TOxDebugFilter*) {}
    virtual void SendContent(const void*, int) {}

protected:
    bool FAutoFlush = false;
    bool FActive = false;
};

class TOxMapFileChannel : public TOxDebugChannel {
public:
    explicit TOxMapFileChannel(bool IsAutoFlush);
    ~TOxMapFileChannel() override;

    bool CheckReady() override;
    void UpdateFlush() override;
    void StartDebugViewer() override;
    bool CheckFilterChanged() override;
    void RefreshFilter(TOxDebugFilter* Filter) override;
    void SendContent(const void* MsgDesc, int Size) override;

private:
    void CloseObjects();
    bool HeaderValid() const;

    std::unique_ptr<os::SharedMemory> FMap;
    std::unique_ptr<os::NamedEvent> FQueueEvent;
    std::unique_ptr<os::NamedEvent> FQueueFlush;
    int32_t FMapSize = 0;
    int32_t FQueueSize = 0;
    uint8_t* FMapHeader = nullptr;
    uint8_t* FMsgBase = nullptr;
    int32_t FFront = 0;
    int32_t FTail = 0;
    // Threads of this process share the open objects.
    std::recursive_mutex FLock;
};

class TOxDebugger : public TObject {
public:
    TOxDebugger();
    ~TOxDebugger() override;

    TOxDebugChannel* Channel() const { return FChannel.get(); }
    TOxDebugFilter* Filter() const { return FFilter.get(); }
    bool Active() const { return FActive; }
    void SetActive(bool Value) { FActive = Value; }
    bool ExceptTracking() const { return FExceptTracking; }
    void SetExceptTracking(bool Value) { FExceptTracking = Value; }
    bool AutoStart() const { return FAutoStart; }
    void SetAutoStart(bool Value) { FAutoStart = Value; }
    bool DumpToFile() const { return FDumpToFile; }
    void SetDumpToFile(bool Value);
    const std::string& DumpFileName() const { return FDumpFileName; }
    void SetDumpFileName(const std::string& Value);
    bool UseAppend() const { return FUseAppend; }
    void SetUseAppend(bool Value) { FUseAppend = Value; }
    int32_t MessageCount() const { return FMessageCount; }
    int32_t PostedMessageCount() const { return FPostedMessageCount; }
    int32_t DiscardedMessageCount() const { return FMessageCount - FPostedMessageCount; }
    // Replaces the output channel (the debugger owns it).
    void SetChannel(std::unique_ptr<TOxDebugChannel> AChannel);

    void StartDebugViewer();
    void EvaluateObject(const void*) {}
    void AddFilterExceptClass(const std::string& ClassName);
    void RemoveFilterExceptClass(const std::string& ClassName);

    // The one routine every message goes through.
    void LogFull(const std::string& AMsg, const std::string& ATag, int32_t ALevel, TOxMsgType AType,
                 uint32_t CPUPeriod = 0);
    void TraceFull(const std::string& AMsg, const std::string& ATag, int32_t ALevel,
                   TOxMsgType AType, uint32_t CPUPeriod = 0) {
        LogFull(AMsg, ATag, ALevel, AType, CPUPeriod);
    }
    // Raw bytes as content.
    void LogBytes(const void* AMem, int Size, const std::string& ATag, int32_t ALevel,
                  TOxMsgType AType, uint32_t CPUPeriod = 0);

    void LogMsg(const std::string& AMsg);
    void LogMsgWithTag(const std::string& AMsg, const std::string& ATag);
    void LogMsgWithLevel(const std::string& AMsg, int32_t ALevel);
    void LogMsgWithType(const std::string& AMsg, TOxMsgType AType);
    void LogMsgWithTagLevel(const std::string& AMsg, const std::string& ATag, int32_t ALevel);
    void LogMsgWithLevelType(const std::string& AMsg, int32_t ALevel, TOxMsgType AType);
    void LogMsgWithTypeTag(const std::string& AMsg, TOxMsgType AType, const std::string& ATag);

    template <class... Args> void LogFmt(const std::string& AFormat, const Args&... AArgs) {
        LogFmtV(AFormat, {TFormatArg(AArgs)...}, "", OxDefaultLevel, OxDefaultMsgType);
    }
    template <class... Args>
    void LogFmtWithTag(const std::string& ATag, const std::string& AFormat, const Args&... AArgs) {
        LogFmtV(AFormat, {TFormatArg(AArgs)...}, ATag, OxDefaultLevel, OxDefaultMsgType);
    }
    template <class... Args>
    void LogFmtWithLevel(int32_t ALevel, const std::string& AFormat, const Args&... AArgs) {
        LogFmtV(AFormat, {TFormatArg(AArgs)...}, "", ALevel, OxDefaultMsgType);
    }
    template <class... Args>
    void LogFmtWithType(TOxMsgType AType, const std::string& AFormat, const Args&... AArgs) {
        LogFmtV(AFormat, {TFormatArg(AArgs)...}, "", OxDefaultLevel, AType);
    }
    template <class... Args> void LogErrorFmt(const std::string& AFormat, const Args&... AArgs) {
        LogFmtV(AFormat, {TFormatArg(AArgs)...}, "", OxDefaultLevel, cmtError);
    }
    void LogFmtV(const std::string& AFormat, const std::vector<TFormatArg>& AArgs,
                 const std::string& ATag, int32_t ALevel, TOxMsgType AType);

    void LogMsgWarning(const std::string& AMsg);
    void LogMsgError(const std::string& AMsg);
    // The error number of the last failed system call (errno when none is given).
    void LogLastError();
    void LogLastError(int ErrorCode);
    void LogSeparator();
    void LogEnter(const std::string& AProcName, const std::string& ATag = "");
    void LogLeave(const std::string& AProcName, const std::string& ATag = "");
    void LogAssigned(const void* Value, const std::string& AMsg = "");
    void LogBoolean(bool Value, const std::string& AMsg = "");
    void LogInteger(int64_t Value, const std::string& AMsg = "");
    void LogFloat(double Value, const std::string& AMsg = "");
    void LogColor(uint32_t Value, const std::string& AMsg = "");
    void LogChar(char Value, const std::string& AMsg = "");
    void LogDateTime(TDateTime Value, const std::string& AMsg = "");
    void LogDateTimeFmt(TDateTime Value, const std::string& AFormat, const std::string& AMsg = "");
    void LogPointer(const void* Value, const std::string& AMsg = "");
    void LogPoint(const TPoint& Value, const std::string& AMsg = "");
    void LogRect(const TRect& Value, const std::string& AMsg = "");
    void LogStrings(const TStrings* Strings, const std::string& AMsg = "");
    void LogMemDump(const void* AMem, int Size);
    void LogVirtualKey(int Key);
    void LogVirtualKeyWithTag(int Key, const std::string& ATag);
    void LogObject(const TObject* AObject, const std::string& ATag = "");
    void LogObjectWithTag(const TObject* AObject, const std::string& ATag) {
        LogObject(AObject, ATag);
    }
    // The list's items are objects (TObject*); each is listed with its
    // published properties.
    void LogCollection(const TList* ACollection, const std::string& ATag = "");
    void LogCollectionWithTag(const TList* ACollection, const std::string& ATag) {
        LogCollection(ACollection, ATag);
    }
    void LogComponent(const TComponent* AComponent, const std::string& ATag = "");
    void LogComponentWithTag(const TComponent* AComponent, const std::string& ATag) {
        LogComponent(AComponent, ATag);
    }
    void StartTimeMark(const std::string& ATag, const std::string& AMsg = "");
    void StartTimeMark(int ATag, const std::string& AMsg = "");
    void StopTimeMark(const std::string& ATag, const std::string& AMsg = "");
    void StopTimeMark(int ATag, const std::string& AMsg = "");

    // The Trace twins send the same as their Log routines.
    void TraceMsg(const std::string& AMsg) { LogMsg(AMsg); }
    void TraceMsgWithTag(const std::string& AMsg, const std::string& ATag) {
        LogMsgWithTag(AMsg, ATag);
    }
    void TraceMsgWithLevel(const std::string& AMsg, int32_t ALevel) {
        LogMsgWithLevel(AMsg, ALevel);
    }
    void TraceMsgWithType(const std::string& AMsg, TOxMsgType AType) {
        LogMsgWithType(AMsg, AType);
    }
    void TraceMsgWithTagLevel(const std::string& AMsg, const std::string& ATag, int32_t ALevel) {
        LogMsgWithTagLevel(AMsg, ATag, ALevel);
    }
    void TraceMsgWithLevelType(const std::string& AMsg, int32_t ALevel, TOxMsgType AType) {
        LogMsgWithLevelType(AMsg, ALevel, AType);
    }
    void TraceMsgWithTypeTag(const std::string& AMsg, TOxMsgType AType, const std::string& ATag) {
        LogMsgWithTypeTag(AMsg, AType, ATag);
    }
    template <class... Args> void TraceFmt(const std::string& AFormat, const Args&... AArgs) {
        LogFmt(AFormat, AArgs...);
    }
    template <class... Args>
    void TraceFmtWithTag(const std::string& ATag, const std::string& AFormat,
                         const Args&... AArgs) {
        LogFmtWithTag(ATag, AFormat, AArgs...);
    }
    template <class... Args>
    void TraceFmtWithLevel(int32_t ALevel, const std::string& AFormat, const Args&... AArgs) {
        LogFmtWithLevel(ALevel, AFormat, AArgs...);
    }
    template <class... Args>
    void TraceFmtWithType(TOxMsgType AType, const std::string& AFormat, const Args&... AArgs) {
        LogFmtWithType(AType, AFormat, AArgs...);
    }
    template <class... Args> void TraceErrorFmt(const std::string& AFormat, const Args&... AArgs) {
        LogErrorFmt(AFormat, AArgs...);
    }
    void TraceMsgWarning(const std::string& AMsg) { LogMsgWarning(AMsg); }
    void TraceMsgError(const std::string& AMsg) { LogMsgError(AMsg); }
    void TraceLastError() { LogLastError(); }
    void TraceLastError(int ErrorCode) { LogLastError(ErrorCode); }
    void TraceSeparator() { LogSeparator(); }
    void TraceEnter(const std::string& AProcName, const std::string& ATag = "") {
        LogEnter(AProcName, ATag);
    }
    void TraceLeave(const std::string& AProcName, const std::string& ATag = "") {
        LogLeave(AProcName, ATag);
    }
    void TraceAssigned(const void* Value, const std::string& AMsg = "") {
        LogAssigned(Value, AMsg);
    }
    void TraceBoolean(bool Value, const std::string& AMsg = "") { LogBoolean(Value, AMsg); }
    void TraceInteger(int64_t Value, const std::string& AMsg = "") { LogInteger(Value, AMsg); }
    void TraceFloat(double Value, const std::string& AMsg = "") { LogFloat(Value, AMsg); }
    void TraceColor(uint32_t Value, const std::string& AMsg = "") { LogColor(Value, AMsg); }
    void TraceChar(char Value, const std::string& AMsg = "") { LogChar(Value, AMsg); }
    void TraceDateTime(TDateTime Value, const std::string& AMsg = "") { LogDateTime(Value, AMsg); }
    void TraceDateTimeFmt(TDateTime Value, const std::string& AFormat,
                          const std::string& AMsg = "") {
        LogDateTimeFmt(Value, AFormat, AMsg);
    }
    void TracePointer(const void* Value, const std::string& AMsg = "") { LogPointer(Value, AMsg); }
    void TracePoint(const TPoint& Value, const std::string& AMsg = "") { LogPoint(Value, AMsg); }
    void TraceRect(const TRect& Value, const std::string& AMsg = "") { LogRect(Value, AMsg); }
    void TraceStrings(const TStrings* Strings, const std::string& AMsg = "") {
        LogStrings(Strings, AMsg);
    }
    void TraceMemDump(const void* AMem, int Size) { LogMemDump(AMem, Size); }
    void TraceVirtualKey(int Key) { LogVirtualKey(Key); }
    void TraceVirtualKeyWithTag(int Key, const std::string& ATag) {
        LogVirtualKeyWithTag(Key, ATag);
    }
    void TraceObject(const TObject* AObject, const std::string& ATag = "");
    void TraceObjectWithTag(const TObject* AObject, const std::string& ATag) {
        TraceObject(AObject, ATag);
    }
    void TraceCollection(const TList* ACollection, const std::string& ATag = "") {
        LogCollection(ACollection, ATag);
    }
    void TraceComponent(const TComponent* AComponent, const std::string& ATag = "") {
        LogComponent(AComponent, ATag);
    }

private:
    struct TTimeMark {
        char Tag[8] = {};
        int32_t Count = 0;
        uint64_t Start = 0;
        uint64_t Total = 0;
    };

    int32_t ThreadIndent(uint32_t ThreadId);
    void ChangeIndent(int Delta);
    void Output(const std::string& AnsiContent, const std::string& AnsiTag, int32_t ALevel,
                TOxMsgType AType, uint32_t CPUPeriod, int32_t Indent);
    void WriteDump(const uint8_t* Packet, int Size);
    void OpenDumpFile();
    void CloseDumpFile();
    void Calibrate();
    void ObjectListing(const TObject* AObject, const std::string& ATag, const char* Prefix);

    std::atomic<bool> FActive{true};
    // Thread identifiers and, at the same positions, each thread's indentation.
    std::vector<uint32_t> FThrdIDList;
    std::vector<int32_t> FIndentList;
    std::vector<TTimeMark> FTimes;
    std::unique_ptr<TOxDebugFilter> FFilter;
    std::unique_ptr<TOxDebugChannel> FChannel;
    std::mutex FCSThrdId;           // guards the thread lists, the time marks and the filter
    std::recursive_mutex FCSOutput; // guards the channel and the dump file
    std::atomic<bool> FAutoStart{true};
    std::atomic<bool> FViewerAutoStartCalled{false};
    std::atomic<bool> FIgnoreViewer{false};
    TStringList FExceptFilter;
    bool FExceptTracking = false;
    std::atomic<int32_t> FPostedMessageCount{0};
    std::atomic<int32_t> FMessageCount{0};
    bool FDumpToFile = false;
    std::string FDumpFileName = "OxDebugDump.cdd";
    int FDumpFile = -1;
    bool FUseAppend = false;
    bool FAfterFirstWrite = false;
    uint64_t FOverhead = 0;
};

// The process-wide debugger, created on first use.
TOxDebugger* DebuggerInstance();
