#include "media/FFLog.h"
#include "media/MyUtils.h"

#include "media/FFLoad.h"
#include "platform/os/process.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

// One pending (not yet line-ended) text per thread.
struct TLogItem {
    uint32_t ThreadID = 0;
    std::string LogMsg;
};

struct TLogState {
    std::mutex LogLock; // serialises the library callback
    std::vector<TLogItem> Items;
    std::string LastText;
    int RepeatCount = 0;
    std::atomic<int> LibLevel{AV_LOG_INFO};

    std::recursive_mutex InstanceLock;
    TFFLogger* Instance = nullptr;

    TLogItem& ItemOf(uint32_t ThreadID) {
        for (TLogItem& I : Items)
            if (I.ThreadID == ThreadID) return I;
        Items.insert(Items.begin(), TLogItem{ThreadID, {}});
        return Items.front();
    }
};

TLogState& State() {
    static TLogState* S = new TLogState; // used by library threads until exit
    return *S;
}

// Frees a logger the layer made itself when the program ends.
struct TLogFinalizer {
    ~TLogFinalizer() {
        TLogState& S = State();
        std::lock_guard<std::recursive_mutex> Guard(S.InstanceLock);
        if (S.Instance && S.Instance->AutoCreated()) delete S.Instance;
        S.LastText.clear();
    }
} LogFinalizer;

} // namespace

int LogLevelToAV(TLogLevel Level) {
    return int(Level) * 8 - 8;
}

TLogLevel AVToLogLevel(int AVLevel) {
    int L = AVLevel / 8 + 1;
    if (L < 0) L = 0;
    if (L > 7) L = 7;
    return TLogLevel(L);
}

TFFLogger* FFLogger() {
    TLogState& S = State();
    std::lock_guard<std::recursive_mutex> Guard(S.InstanceLock);
    if (!S.Instance) {
        auto* Logger = new TFFLogger(nullptr);
        Logger->FAutoCreated = true;
    }
    return S.Instance;
}

TFFLogger::TFFLogger(TComponent* AOwner) : TFFBaseComponent(AOwner) {
    TLogState& S = State();
    std::lock_guard<std::recursive_mutex> Guard(S.InstanceLock);
    if (S.Instance && S.Instance->FAutoCreated) delete S.Instance;
    if (S.Instance) throw EFFLoggerError("Allow creating only one instance of TFFLogger.");
    FTriggerEventInMainThread = true;
    FLogLevel = AVToLogLevel(S.LibLevel);
    S.Instance = this;
}

TFFLogger::~TFFLogger() {
    TLogState& S = State();
    std::lock_guard<std::recursive_mutex> Guard(S.InstanceLock);
    if (S.Instance == this) S.Instance = nullptr;
}

void TFFLogger::SetLogLevel(TLogLevel Value) {
    if (Value == FLogLevel) return;
    FLogLevel = Value;
    State().LibLevel = LogLevelToAV(Value);
    if (FF().av_log_set_level) FF().av_log_set_level(State().LibLevel);
}

void TFFLogger::InstallAVLogCallback() {
    if (!FF().av_log_set_callback || !FF().av_log_set_level)
        throw EFFLoggerError("av_log_set_callback and av_log_set_level are not bound");
    FF().av_log_set_callback(FFLogCallback);
    FF().av_log_set_level(State().LibLevel);
}

void TFFLogger::OptLogLevel(const std::string& Value) {
    static const struct {
        const char* Name;
        int Level;
    } Names[] = {{"quiet", AV_LOG_QUIET},     {"panic", AV_LOG_PANIC},     {"fatal", AV_LOG_FATAL},
                 {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
                 {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG}};
    for (const auto& N : Names)
        if (SameText(Value, N.Name)) {
            SetLogLevel(AVToLogLevel(N.Level));
            return;
        }
    SetLogLevel(AVToLogLevel(StrToInt(Value)));
}

void TFFLogger::Log(TObject* Sender, TLogLevel Level, const std::string& Msg) {
    if (!OnLog) return;
    if (!(Level <= FLogLevel || (Level == llVerbose && FLogLevel != llQuiet))) return;
    Deliver(TLogInfo{Sender, os::CurrentThreadId(), Level, Msg});
}

void TFFLogger::Log(TObject* Sender, TLogLevel Level, const std::vector<TFormatArg>& Args,
                    std::string_view Fmt) {
    Log(Sender, Level, FormatV(Fmt, Args));
}

void TFFLogger::Deliver(const TLogInfo& Info) {
    TLogEvent Handler = OnLog;
    if (!Handler) return;
    auto Call = [&Handler, Info] {
        Handler(Info.Sender, Info.ThreadID, Info.LogLevel, Info.LogMsg);
    };
    if (FTriggerEventInMainThread)
        MyUtils::CallInMainThread(Call);
    else
        Call();
}

namespace {

// The text of one library message, bytes taken one to one.
std::string FormatLibraryText(const char* Fmt, va_list Vl) {
    char Buffer[2048] = {};
    va_list Copy;
    va_copy(Copy, Vl);
    int N = std::vsnprintf(Buffer, sizeof Buffer, Fmt, Copy);
    va_end(Copy);
    if (N < 0) return {};
    if (size_t(N) < sizeof Buffer) return std::string(Buffer, size_t(N));
    std::string Heap(4096, '\0');
    for (;;) {
        va_copy(Copy, Vl);
        N = std::vsnprintf(Heap.data(), Heap.size(), Fmt, Copy);
        va_end(Copy);
        if (N < 0) return {};
        if (size_t(N) < Heap.size()) {
            Heap.resize(size_t(N));
            return Heap;
        }
        Heap.assign(Heap.size() + 2048, '\0');
    }
}

std::string ContextPrefix(void* Ptr) {
    AVClass* Avc = Ptr ? *static_cast<AVClass**>(Ptr) : nullptr;
    if (!Avc) return {};
    std::string Prefix;
    char Line[512];
    if (Avc->version > 0x320F02 && Avc->parent_log_context_offset) {
        AVClass** Parent = *reinterpret_cast<AVClass***>(static_cast<uint8_t*>(Ptr) +
                                                         Avc->parent_log_context_offset);
        if (Parent && *Parent && (*Parent)->item_name) {
            std::snprintf(Line, sizeof Line, "[%s @ %p] ", (*Parent)->item_name(Parent),
                          static_cast<void*>(Parent));
            Prefix += Line;
        }
    }
    if (Avc->item_name) {
        std::snprintf(Line, sizeof Line, "[%s @ %p]", Avc->item_name(Ptr), Ptr);
        Prefix += Line;
    }
    return Prefix;
}

} // namespace

void FFLogCallback(void* Ptr, int Level, const char* Fmt, va_list Vl) {
    TLogState& S = State();
    if (S.LibLevel < Level || !Fmt) return;
    const uint32_t ThreadID = os::CurrentThreadId();
    // Lines are collected under the lock and delivered after it, so a handler
    // that runs on the main thread may log without waiting on this thread.
    std::vector<std::string> Lines;
    {
        std::lock_guard<std::mutex> Guard(S.LogLock);
        TLogItem& Item = S.ItemOf(ThreadID);
        std::string Text;
        if (Ptr && Item.LogMsg.empty()) Text = ContextPrefix(Ptr);
        Text += FormatLibraryText(Fmt, Vl);
        // Only whole lines count as repeats: text that ends another line
        // pending for this thread is part of that line.
        if (!Text.empty() && Text.back() == '\n' && Text == S.LastText && Item.LogMsg.empty()) {
            ++S.RepeatCount;
            return;
        }
        if (S.RepeatCount > 0) {
            Lines.push_back(Format("    Last message repeated %d times", S.RepeatCount));
            S.RepeatCount = 0;
        }
        S.LastText = Text;
        Item.LogMsg += Text;
        size_t P;
        while ((P = Item.LogMsg.find('\n')) != std::string::npos) {
            Lines.push_back(Item.LogMsg.substr(0, P));
            Item.LogMsg.erase(0, P + 1);
        }
    }
    if (Lines.empty()) return;
    TFFLogger* Logger = FFLogger();
    for (const std::string& Line : Lines)
        Logger->Deliver(TLogInfo{Logger, ThreadID, AVToLogLevel(Level), Line});
}
