// Frame-hook modules: shared libraries that process decoded pictures in place.
#pragma once

#include <cstdint>

// The picture handed to a module: four plane pointers and their line sizes.
struct TFrameHookPicture {
    uint8_t* data[4];
    int linesize[4];
};

// Entry points of a module (C calling convention).
extern "C" {
typedef int (*TFrameHookConfigureFn)(void** ctxp, int argc, char* argv[]);
typedef void (*TFrameHookProcessFn)(void* ctx, TFrameHookPicture* pict, int pix_fmt, int width,
                                    int height, int64_t pts);
typedef void (*TFrameHookReleaseFn)(void* ctx);
}

// One loaded hook, linked in load order.
struct TFrameHookEntry {
    TFrameHookEntry* next;
    TFrameHookConfigureFn Configure;
    TFrameHookProcessFn Process;
    TFrameHookReleaseFn Release;
    void* ctx;
};

// argv[0] is the module's file name, the rest its arguments. Answers 0, or
// -2 (no arguments, no "Process", arguments without "Configure"), -1 (the
// module cannot be loaded), -12 (out of memory), -22 (configuration refused).
int LoadFrameHook(TFrameHookEntry** AListHead, int argc, char* argv[]);
void ProcessFrameHooks(TFrameHookEntry* AList, TFrameHookPicture* APicture, int APixFmt, int AWidth,
                       int AHeight, int64_t APTS);
void ReleaseFrameHooks(TFrameHookEntry** AListHead);
// Number of distinct module files loaded in this process.
int LoadedFrameHookModules();
