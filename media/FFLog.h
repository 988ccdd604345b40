// The media layer's log: messages of the layer and of the media libraries
// go to one event, OnLog.
#pragma once

#include "classlib/sysutils.h"
#include "media/FFBaseComponent.h"

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum TLogLevel : uint8_t {
    llQuiet = 0,
    llPanic = 1,
    llFatal = 2,
    llError = 3,
    llWarning = 4,
    llInfo = 5,
    llVerbose = 6,
    llDebug = 7,
};

// The libraries' level of a TLogLevel (quiet -8 ... debug 48) and back.
int LogLevelToAV(TLogLevel Level);
TLogLevel AVToLogLevel(int AVLevel);

struct TLogInfo {
    TObject* Sender = nullptr;
    uint32_t ThreadID = 0;
    TLogLevel LogLevel = llInfo;
    std::string LogMsg;
};

using TLogEvent = std::function<void(TObject* Sender, uint32_t AThreadID, TLogLevel ALogLevel,
                                     const std::string& ALogMsg)>;

class TFFLogger : public TFFBaseComponent {
public:
    // Only one logger exists at a time: an automatically created one gives way
    // to a new one; creating a second one otherwise raises EFFLoggerError.
    explicit TFFLogger(TComponent* AOwner);
    ~TFFLogger() override;

    TLogLevel LogLevel() const { return FLogLevel; }
    void SetLogLevel(TLogLevel Value);
    bool TriggerEventInMainThread() const { return FTriggerEventInMainThread; }
    void SetTriggerEventInMainThread(bool Value) { FTriggerEventInMainThread = Value; }
    bool AutoCreated() const { return FAutoCreated; }

    TLogEvent OnLog;

    // Installs the library callback and applies the level.
    void InstallAVLogCallback();
    // The "loglevel" option: a level name (any case) or a decimal library
    // level; a malformed number raises EConvertError.
    void OptLogLevel(const std::string& Value);

    void Log(TObject* Sender, TLogLevel Level, const std::string& Msg);
    void Log(TObject* Sender, TLogLevel Level, const std::vector<TFormatArg>& Args,
             std::string_view Fmt);

private:
    friend TFFLogger* FFLogger();
    friend void FFLogCallback(void* Ptr, int Level, const char* Fmt, va_list Vl);
    // Each delivery carries its own record, so deliveries from several
    // threads never overwrite one another.
    void Deliver(const TLogInfo& Info);

    bool FAutoCreated = false;
    bool FTriggerEventInMainThread = true;
    TLogLevel FLogLevel = llInfo;
};

LANTROVE_EXCEPTION(EFFLoggerError, Exception);

// The process's logger, created (with no owner) on first use.
TFFLogger* FFLogger();

// The callback given to av_log_set_callback.
void FFLogCallback(void* Ptr, int Level, const char* Fmt, va_list Vl);
