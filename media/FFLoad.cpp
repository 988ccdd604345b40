#include "media/FFLoad.h"
#include "media/MyUtils.h"

#include "media/FFLog.h"
#include "media/UnicodeProtocol.h"
#include "platform/os/clock.h"
#include "platform/os/process.h"
#include "platform/win/messages.h"
#include "platform/win/queue.h"

#include <atomic>
#include <cassert>
#include <condition_variable>
#include <exception>
#include <memory>

namespace {

// ---------------------------------------------------------------------------
// Bind and clear routines, one pair per library, generated from the lists.

#define FF_BIND_REQ(name)                                                                          \
    {                                                                                              \
        void* Address = nullptr;                                                                   \
        MyUtils::BindProc(File, Handle, #name, false, &Address);                                   \
        E.name = reinterpret_cast<decltype(E.name)>(Address);                                      \
    }
#define FF_BIND_OPT(name)                                                                          \
    {                                                                                              \
        void* Address = nullptr;                                                                   \
        MyUtils::BindProc(File, Handle, #name, true, &Address);                                    \
        E.name = reinterpret_cast<decltype(E.name)>(Address);                                      \
    }
#define FF_CLEAR(name) E.name = nullptr;

// The major version a library reports must be the one of the headers we
// were built with: the structures we read depend on it.
void CheckMajor(const std::string& File, unsigned Version, unsigned Expected) {
    if ((Version >> 16) != Expected)
        throw EFFLoadError(Format("Load library %s error: %s", File,
                                  Format("version %d.%d.%d, major %d required", Version >> 16,
                                         (Version >> 8) & 0xFF, Version & 0xFF, Expected)));
}

#define FF_FIXUP_PAIR(Suffix, LIST, VERSION_CALL, MAJOR)                                           \
    void Fixup##Suffix(const std::string& File, os::TModuleHandle Handle) {                        \
        TFFEntries& E = FF();                                                                      \
        LIST(FF_BIND_REQ, FF_BIND_OPT)                                                             \
        CheckMajor(File, E.VERSION_CALL(), MAJOR);                                                 \
    }                                                                                              \
    void Unfix##Suffix() {                                                                         \
        TFFEntries& E = FF();                                                                      \
        LIST(FF_CLEAR, FF_CLEAR)                                                                   \
    }

FF_FIXUP_PAIR(AvUtil, FF_AVUTIL_ENTRIES, avutil_version, LIBAVUTIL_VERSION_MAJOR)
FF_FIXUP_PAIR(SwResample, FF_SWRESAMPLE_ENTRIES, swresample_version, LIBSWRESAMPLE_VERSION_MAJOR)
FF_FIXUP_PAIR(SwScale, FF_SWSCALE_ENTRIES, swscale_version, LIBSWSCALE_VERSION_MAJOR)
FF_FIXUP_PAIR(AvCodec, FF_AVCODEC_ENTRIES, avcodec_version, LIBAVCODEC_VERSION_MAJOR)
FF_FIXUP_PAIR(AvFormat, FF_AVFORMAT_ENTRIES, avformat_version, LIBAVFORMAT_VERSION_MAJOR)
FF_FIXUP_PAIR(AvFilter, FF_AVFILTER_ENTRIES, avfilter_version, LIBAVFILTER_VERSION_MAJOR)
FF_FIXUP_PAIR(AvDevice, FF_AVDEVICE_ENTRIES, avdevice_version, LIBAVDEVICE_VERSION_MAJOR)

void FixupLibc(const std::string& File, os::TModuleHandle Handle) {
    TFFEntries& E = FF();
    FF_LIBC_ENTRIES(FF_BIND_REQ, FF_BIND_OPT)
}
void UnfixLibc() {
    TFFEntries& E = FF();
    FF_LIBC_ENTRIES(FF_CLEAR, FF_CLEAR)
}

const TLibraryItem LibraryTable[LibraryCount] = {
    {avUtil, "avutil", false, LIBAVUTIL_VERSION_MAJOR, FixupAvUtil, UnfixAvUtil},
    {swResample, "swresample", false, LIBSWRESAMPLE_VERSION_MAJOR, FixupSwResample,
     UnfixSwResample},
    {swScale, "swscale", false, LIBSWSCALE_VERSION_MAJOR, FixupSwScale, UnfixSwScale},
    {avCodec, "avcodec", false, LIBAVCODEC_VERSION_MAJOR, FixupAvCodec, UnfixAvCodec},
    {avFormat, "avformat", false, LIBAVFORMAT_VERSION_MAJOR, FixupAvFormat, UnfixAvFormat},
    {avFilter, "avfilter", false, LIBAVFILTER_VERSION_MAJOR, FixupAvFilter, UnfixAvFilter},
    {avDevice, "avdevice", false, LIBAVDEVICE_VERSION_MAJOR, FixupAvDevice, UnfixAvDevice},
    {myUtil, "c", true, 6, FixupLibc, UnfixLibc},
};

// ---------------------------------------------------------------------------
// Codec mutex

// A recursive mutex that knows its owner, so a release by another thread is
// refused instead of corrupting the lock.
struct TCodecMutex {
    int Handle = 0;
    std::mutex Guard;
    std::condition_variable Released;
    std::thread::id Owner;
    int Depth = 0;
};

// Shared state of the loader, alive for the whole process.
struct TUnitState {
    std::recursive_mutex Lock;
    TLibraryStatus Status[LibraryCount];
    std::string LastErrMsg;
    std::string LibraryPath;
    std::atomic<bool> Finalizing{false};

    std::mutex CodecLock;
    TCodecMutex* CodecMutex = nullptr; // the unit's slot
    void* CodecMutexVar = nullptr;     // the loader's own variable
    int NextMutexHandle = 1;

    TUnitState() {
        for (int I = 0; I < LibraryCount; ++I)
            Status[I].Lib = TLibrary(I);
    }
};

TUnitState& Unit() {
    static TUnitState* State = new TUnitState; // never freed: used until exit
    return *State;
}

void LogCodec(TLogLevel Level, const std::string& Msg) {
    FFLogger()->Log(nullptr, Level, Msg);
}

// Unloads every library when the program ends.
struct TFinalizer {
    ~TFinalizer() {
        Unit().Finalizing = true;
        FFLoader().Unload(AllLibraries);
    }
} Finalizer;

} // namespace

// ---------------------------------------------------------------------------
// Loader

TFFEntries& FF() {
    static TFFEntries Entries;
    return Entries;
}

TFFLoader& FFLoader() {
    static TFFLoader* Loader = new TFFLoader; // outlives every static user
    return *Loader;
}

TFFLoader::TFFLoader() = default;
TFFLoader::~TFFLoader() = default;

std::string TFFLoader::LastErrMsg() const {
    std::lock_guard<std::recursive_mutex> Guard(Unit().Lock);
    return Unit().LastErrMsg;
}

std::string TFFLoader::LibraryPath() const {
    std::lock_guard<std::recursive_mutex> Guard(Unit().Lock);
    return Unit().LibraryPath;
}

void TFFLoader::SetLibraryPath(const std::string& Path) {
    std::lock_guard<std::recursive_mutex> Guard(Unit().Lock);
    Unit().LibraryPath = Path;
}

void TFFLoader::SetLibraryName(TLibrary Lib, const std::string& FileName) {
    std::lock_guard<std::recursive_mutex> Guard(Unit().Lock);
    Unit().Status[Lib].Name = FileName;
}

std::string TFFLoader::LibraryFileName(TLibrary Lib) const {
    std::lock_guard<std::recursive_mutex> Guard(Unit().Lock);
    const TLibraryStatus& S = Unit().Status[Lib];
    if (!S.Name.empty()) return S.Name;
    const TLibraryItem& Item = LibraryTable[Lib];
    std::string Name = std::string("lib") + Item.Name + ".so";
    if (Item.Version >= 0) Name += "." + IntToStr(Item.Version);
    return Name;
}

bool TFFLoader::Loaded(TLibrary Lib) const {
    std::lock_guard<std::recursive_mutex> Guard(Unit().Lock);
    const TLibraryStatus& S = Unit().Status[Lib];
    return S.Handle != nullptr && S.Fixuped;
}

bool TFFLoader::Loaded(TLibraries Libs) const {
    assert(!Libs.Empty());
    std::lock_guard<std::recursive_mutex> Guard(Unit().Lock);
    for (int I = 0; I < LibraryCount; ++I)
        if (Libs.Contains(TLibrary(I)) && !Loaded(TLibrary(I))) return false;
    return true;
}

bool TFFLoader::Load(TLibrary Lib) {
    TUnitState& U = Unit();
    std::lock_guard<std::recursive_mutex> Guard(U.Lock);
    TLibraryStatus& S = U.Status[Lib];
    const TLibraryItem& Item = LibraryTable[Lib];
    const std::string FileName = LibraryFileName(Lib);
    if (!S.Handle) {
        std::string Folder = ExtractFilePath(FileName);
        if (Folder.empty() && !U.LibraryPath.empty() && !Item.SysLib)
            Folder = IncludeTrailingPathDelimiter(U.LibraryPath);
        const std::string Name = ExtractFileName(FileName);
        std::string Error;
        S.Handle = MyUtils::LoadLibraryFrom(Folder, Name, Error);
        if (!S.Handle) {
            U.LastErrMsg = Format("Load library %s error: %s", Folder + Name, Error);
            return false;
        }
    }
    if (!S.Fixuped) {
        try {
            Item.Fixup(FileName, S.Handle);
            S.Fixuped = true;
        } catch (const Exception& E) {
            U.LastErrMsg = E.Message;
        }
    }
    if (!S.Fixuped) {
        Unload(Lib);
        return false;
    }
    switch (Lib) {
    case avCodec:
        if (!U.CodecMutexVar) CodecLockManager(&U.CodecMutexVar, lockCreate);
        break;
    case avUtil:
        if (FInstallLogger) FFLogger()->InstallAVLogCallback();
        break;
    case avFormat:
        RegisterUnicodeProtocol();
        break;
    default:
        break;
    }
    return true;
}

bool TFFLoader::Load(TLibraries Libs) {
    assert(!Libs.Empty());
    // A set loads whole: a thread that asks meanwhile waits and finds it done.
    std::lock_guard<std::recursive_mutex> Guard(Unit().Lock);
    for (int I = 0; I < LibraryCount; ++I) {
        if (!Libs.Contains(TLibrary(I))) continue;
        if (!Load(TLibrary(I))) {
            Unload(Libs);
            return false;
        }
    }
    return true;
}

void TFFLoader::Unload(TLibrary Lib) {
    TUnitState& U = Unit();
    std::lock_guard<std::recursive_mutex> Guard(U.Lock);
    TLibraryStatus& S = U.Status[Lib];
    if (S.Fixuped) {
        if (Lib == avCodec && U.CodecMutexVar) CodecLockManager(&U.CodecMutexVar, lockDestroy);
        if (Lib == avUtil && FF().av_log_set_callback && FF().av_log_default_callback)
            FF().av_log_set_callback(FF().av_log_default_callback);
        LibraryTable[Lib].Unfix();
        S.Fixuped = false;
    }
    if (S.Handle) {
        os::FreeLibrary(S.Handle);
        S.Handle = nullptr;
    }
}

void TFFLoader::Unload(TLibraries Libs) {
    assert(!Libs.Empty());
    std::lock_guard<std::recursive_mutex> Guard(Unit().Lock);
    // Dependents first.
    for (int I = LibraryCount - 1; I >= 0; --I)
        if (Libs.Contains(TLibrary(I))) Unload(TLibrary(I));
}

// ---------------------------------------------------------------------------
// Codec mutex

int CodecLockManager(void** Mutex, int Op) {
    TUnitState& U = Unit();
    if (U.Finalizing) return 0;
    if (!Mutex) return -1;
    std::unique_lock<std::mutex> Guard(U.CodecLock);
    auto Slot = static_cast<TCodecMutex**>(*Mutex);
    TCodecMutex* M = Slot ? *Slot : nullptr;
    switch (Op) {
    case lockCreate: {
        if (*Mutex) {
            int Handle = M ? M->Handle : 0;
            Guard.unlock();
            LogCodec(llError, Format("error, codec mutex [%d] already exist.", Handle));
            return -1;
        }
        std::string Warning;
        if (U.CodecMutex) {
            Warning =
                Format("warning, local codec mutex [%d] not destroyed.", U.CodecMutex->Handle);
            delete U.CodecMutex;
            U.CodecMutex = nullptr;
        }
        U.CodecMutex = new TCodecMutex;
        U.CodecMutex->Handle = U.NextMutexHandle++;
        *Mutex = &U.CodecMutex;
        int Handle = U.CodecMutex->Handle;
        Guard.unlock();
        if (!Warning.empty()) LogCodec(llWarning, Warning);
        LogCodec(llDebug, Format("create codec mutex [%d].", Handle));
        return 0;
    }
    case lockObtain: {
        if (!M) {
            Guard.unlock();
            LogCodec(llError, "error, codec mutex not available.");
            return -1;
        }
        Guard.unlock();
        {
            std::unique_lock<std::mutex> Lock(M->Guard);
            auto Self = std::this_thread::get_id();
            M->Released.wait(Lock, [&] { return M->Depth == 0 || M->Owner == Self; });
            M->Owner = Self;
            ++M->Depth;
        }
        LogCodec(llDebug, Format("obtain codec mutex [%d].", M->Handle));
        return 0;
    }
    case lockRelease: {
        if (!M) {
            Guard.unlock();
            LogCodec(llError, "error, codec mutex not available.");
            return -1;
        }
        Guard.unlock();
        bool Released = false;
        {
            std::lock_guard<std::mutex> Lock(M->Guard);
            if (M->Depth > 0 && M->Owner == std::this_thread::get_id()) {
                if (--M->Depth == 0) {
                    M->Owner = std::thread::id();
                    M->Released.notify_all();
                }
                Released = true;
            }
        }
        if (!Released) {
            LogCodec(llError, Format("error, could not release codec mutex [%d]: %s.", M->Handle,
                                     "the calling thread does not own it"));
            return -1;
        }
        LogCodec(llDebug, Format("release codec mutex [%d].", M->Handle));
        return 0;
    }
    case lockDestroy: {
        if (M) {
            int Handle = M->Handle;
            delete M;
            *Slot = nullptr;
            *Mutex = nullptr;
            Guard.unlock();
            LogCodec(llDebug, Format("destory codec mutex [%d].", Handle));
        }
        return 0;
    }
    default:
        Guard.unlock();
        LogCodec(llError, Format("error, invalid codec mutex operation %d.", Op));
        return -1;
    }
}

bool LockCodecMutex() {
    void* Var = Unit().CodecMutexVar;
    return Var && CodecLockManager(&Var, lockObtain) == 0;
}

bool UnlockCodecMutex() {
    void* Var = Unit().CodecMutexVar;
    return Var && CodecLockManager(&Var, lockRelease) == 0;
}

// ---------------------------------------------------------------------------
// Interrupt list

TInterruptCB::~TInterruptCB() {
    Clear();
}

void TInterruptCB::Add(TThreadID ThreadID, void* Sender, TInterruptProc Proc) {
    std::lock_guard<std::recursive_mutex> Guard(FLock);
    for (const TEntry& E : FList)
        if (E.ThreadID == ThreadID && E.Sender == Sender && E.Proc == Proc) return;
    FList.push_back({ThreadID, Proc, Sender});
}

void TInterruptCB::Remove(TThreadID ThreadID, void* Sender, TInterruptProc Proc) {
    std::lock_guard<std::recursive_mutex> Guard(FLock);
    for (auto It = FList.begin(); It != FList.end(); ++It)
        if (It->ThreadID == ThreadID && It->Sender == Sender && It->Proc == Proc) {
            FList.erase(It);
            return;
        }
}

void TInterruptCB::Clear() {
    std::lock_guard<std::recursive_mutex> Guard(FLock);
    FList.clear();
}

bool TInterruptCB::Interrupt(TThreadID ThreadID) {
    std::lock_guard<std::recursive_mutex> Guard(FLock);
    for (const TEntry& E : FList)
        if (E.ThreadID == ThreadID) return E.Proc && E.Proc(E.Sender);
    return false;
}

std::vector<TInterruptCB::TEntry>& TInterruptCB::LockList() {
    FLock.lock();
    return FList;
}

void TInterruptCB::UnlockList() {
    FLock.unlock();
}

TInterruptCB& InterruptList() {
    static TInterruptCB* List = new TInterruptCB; // used until exit
    return *List;
}

int FFInterruptCallback(void*) {
    return InterruptList().Interrupt(std::this_thread::get_id()) ? 1 : 0;
}

AVIOInterruptCB FFInterruptCB() {
    AVIOInterruptCB CB;
    CB.callback = FFInterruptCallback;
    CB.opaque = nullptr;
    return CB;
}
