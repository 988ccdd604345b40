#include "media/FrameHook.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "media/FFLoad.h"
#include "platform/os/dynlib.h"

namespace {

// Loaded module files, shared by every entry and engine; never unloaded.
std::map<std::string, os::TModuleHandle>& Modules() {
    static std::map<std::string, os::TModuleHandle> list;
    return list;
}

void LibLog(const char* fmt, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (FF().av_log) FF().av_log(nullptr, 16, "%s", buf);
}

} // namespace

int LoadFrameHook(TFrameHookEntry** AListHead, int argc, char* argv[]) {
    if (argc <= 0 || !argv || !argv[0]) return -2;
    std::string name = argv[0];
    // File names are case-sensitive here, so the list is searched exactly.
    os::TModuleHandle lib = nullptr;
    auto it = Modules().find(name);
    if (it != Modules().end()) {
        lib = it->second;
    } else {
        lib = os::LoadLibrary(name);
        if (!lib) {
            LibLog("%s\n", os::LastLibraryError().c_str());
            return -1;
        }
        Modules()[name] = lib;
    }
    auto* fhe = static_cast<TFrameHookEntry*>(calloc(1, sizeof(TFrameHookEntry)));
    if (!fhe) return -12;
    fhe->Configure = reinterpret_cast<TFrameHookConfigureFn>(os::GetProcAddress(lib, "Configure"));
    fhe->Process = reinterpret_cast<TFrameHookProcessFn>(os::GetProcAddress(lib, "Process"));
    fhe->Release = reinterpret_cast<TFrameHookReleaseFn>(os::GetProcAddress(lib, "Release"));
    if (!fhe->Process) {
        LibLog("Failed to find Process entrypoint in %s\n", argv[0]);
        free(fhe);
        return -2;
    }
    if (!fhe->Configure && argc > 1) {
        LibLog("Failed to find Configure entrypoint in %s\n", argv[0]);
        free(fhe);
        return -2;
    }
    if (argc > 1 || fhe->Configure) {
        if (fhe->Configure(&fhe->ctx, argc, argv) != 0) {
            LibLog("Failed to Configure %s\n", argv[0]);
            free(fhe);
            return -22;
        }
    }
    TFrameHookEntry** tail = AListHead;
    while (*tail)
        tail = &(*tail)->next;
    *tail = fhe;
    return 0;
}

void ProcessFrameHooks(TFrameHookEntry* AList, TFrameHookPicture* APicture, int APixFmt, int AWidth,
                       int AHeight, int64_t APTS) {
    for (TFrameHookEntry* fhe = AList; fhe; fhe = fhe->next)
        fhe->Process(fhe->ctx, APicture, APixFmt, AWidth, AHeight, APTS);
}

void ReleaseFrameHooks(TFrameHookEntry** AListHead) {
    TFrameHookEntry* fhe = *AListHead;
    while (fhe) {
        TFrameHookEntry* next = fhe->next;
        if (fhe->Release) fhe->Release(fhe->ctx);
        free(fhe);
        fhe = next;
    }
    *AListHead = nullptr;
}

int LoadedFrameHookModules() {
    return int(Modules().size());
}
