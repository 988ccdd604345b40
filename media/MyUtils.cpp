#include "media/MyUtils.h"

#include "media/FFLoad.h"
#include "platform/os/clock.h"
#include "platform/win/messages.h"
#include "platform/win/queue.h"

#include <exception>

namespace MyUtils {

os::TModuleHandle LoadLibraryFrom(const std::string& Folder, const std::string& File,
                                  std::string& ErrorText) {
    os::TModuleHandle Handle = nullptr;
    // A library in the folder is loaded by its path; the set loads in
    // dependency order, so the libraries it needs are already in the process
    // under their names.
    if (!Folder.empty() && FileExists(IncludeTrailingPathDelimiter(Folder) + File))
        Handle = os::LoadLibrary(IncludeTrailingPathDelimiter(Folder) + File);
    else
        Handle = os::LoadLibrary(File);
    if (!Handle) ErrorText = os::LastLibraryError();
    return Handle;
}

void BindProc(const std::string& LibFile, os::TModuleHandle Handle, const char* Name, bool Optional,
              void** Address) {
    *Address = os::GetProcAddress(Handle, Name);
    if (!*Address && !Optional)
        throw EFFLoadError(
            Format("Load function %s@%s error: %s", Name, LibFile, os::LastLibraryError()));
}

void BindVar(const std::string& LibFile, os::TModuleHandle Handle, const char* Name, bool Optional,
             void** Address) {
    *Address = os::GetProcAddress(Handle, Name);
    if (!*Address && !Optional)
        throw EFFLoadError(
            Format("Load variable %s@%s error: %s", Name, LibFile, os::LastLibraryError()));
}

int64_t GetFileSize64(const std::string& FileName) {
    if (!FileExists(FileName)) return -1;
    return FileSize(ExpandFileName(FileName));
}

std::string SplitFirst(std::string& Text, const std::string& Separator, bool Remove) {
    size_t P = Separator.empty() ? std::string::npos : Text.find(Separator);
    std::string Head;
    if (P == std::string::npos) {
        Head = Text;
        if (Remove) Text.clear();
    } else {
        Head = Text.substr(0, P);
        if (Remove) Text.erase(0, P + Separator.size());
    }
    return Head;
}

std::string FormatFileSize(int64_t Size) {
    if (Size <= 1024) return Format("%d Byte", Size);
    if (Size <= 1048576) return Format("%.2f KB", double(Size) / 1024);
    if (Size <= 1073741824) return Format("%.2f MB", double(Size) / 1048576);
    return Format("%.2f GB", double(Size) / 1073741824);
}

TDateTime LocalTimeOffset() {
    os::Clock& C = os::CurrentClock();
    return C.LocalOffsetSeconds(C.WallTimeUs()) / 86400.0;
}

TDateTime UnixToDateTime(int64_t Seconds) {
    return LocalTimeOffset() + double(Seconds) / 86400.0 + 25569;
}

std::string FormatDateTimeText(const std::string& Format, TDateTime Value) {
    return FormatDateTime(Format, Value);
}

bool ProcessOneMessage(MSG& Msg) {
    if (!PeekMessage(&Msg, 0, 0, 0, PM_NOREMOVE)) return false;
    if (!PeekMessage(&Msg, 0, 0, 0, PM_REMOVE)) return false;
    if (Msg.message == WM_QUIT) {
        // Belongs to the loop that owns this thread: hand it back and stop.
        PostQuitMessage(int(Msg.wParam));
        return false;
    }
    TranslateMessage(&Msg);
    DispatchMessage(&Msg);
    return true;
}

void ProcessMessages() {
    MSG Msg{};
    while (ProcessOneMessage(Msg)) {
    }
}

void CallInMainThread(const std::function<void()>& Method) {
    if (::IsMainThread()) {
        Method();
        return;
    }
    std::exception_ptr Error;
    bool Sent = SendThreadCall(MainThreadId(), [&] {
        try {
            Method();
        } catch (...) {
            Error = std::current_exception();
        }
    });
    // A main thread without a message queue runs no loop to hand work to.
    if (!Sent) Method();
    if (Error) std::rethrow_exception(Error);
}

bool IsMainThread() {
    return ::IsMainThread();
}

} // namespace MyUtils
