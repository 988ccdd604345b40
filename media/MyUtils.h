// Small helpers of the media layer: loading libraries from a folder and
// binding their entries, file sizes and size texts, time conversions,
// message pumping and running work in the main thread.
#pragma once

#include "classlib/sysutils.h"
#include "platform/os/dynlib.h"
#include "platform/win/types.h"

#include <cstdint>
#include <functional>
#include <string>

namespace MyUtils {

// Loads File from Folder when it exists there, else by bare name through the
// system search order. On failure returns nullptr and sets ErrorText.
os::TModuleHandle LoadLibraryFrom(const std::string& Folder, const std::string& File,
                                  std::string& ErrorText);
// Binds one entry; a missing entry that is not optional raises EFFLoadError
// ("Load function %s@%s error: %s", "Load variable %s@%s error: %s").
void BindProc(const std::string& LibFile, os::TModuleHandle Handle, const char* Name, bool Optional,
              void** Address);
void BindVar(const std::string& LibFile, os::TModuleHandle Handle, const char* Name, bool Optional,
             void** Address);

// -1 when the file does not exist.
int64_t GetFileSize64(const std::string& FileName);
// The head before the first Separator; with Remove, Text keeps what follows.
std::string SplitFirst(std::string& Text, const std::string& Separator, bool Remove);
std::string FormatFileSize(int64_t Size);
TDateTime LocalTimeOffset();
TDateTime UnixToDateTime(int64_t Seconds);
std::string FormatDateTimeText(const std::string& Format, TDateTime Value);

// Handles one waiting message of the calling thread's queue; false when none
// was waiting. A WM_QUIT taken here is posted again (so the loop that owns
// it still ends) and stops the pumping: the result is then false.
bool ProcessOneMessage(MSG& Msg);
void ProcessMessages();
// Runs Method in the main thread's loop, the caller waiting until it has run;
// in the main thread, or while the main thread has no message queue, it runs
// directly.
void CallInMainThread(const std::function<void()>& Method);
// Whether the calling thread runs the program's main loop.
bool IsMainThread();

} // namespace MyUtils
