#include "platform/os/dynlib.h"

#include <dlfcn.h>

namespace os {

namespace {
thread_local std::string LastError;

void TakeError() {
    const char* Text = dlerror();
    LastError = Text ? Text : "unknown error";
}
} // namespace

TModuleHandle LoadLibrary(const std::string& FileName) {
    dlerror();
    // Modules stay mapped after FreeLibrary: libraries they pull in may have
    // registered exit handlers or thread destructors that must still find
    // their code.
    void* Handle = dlopen(FileName.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!Handle) TakeError();
    return Handle;
}

void* GetProcAddress(TModuleHandle Handle, const char* Name) {
    if (!Handle || !Name) {
        LastError = "invalid handle or name";
        return nullptr;
    }
    dlerror();
    void* Address = dlsym(Handle, Name);
    if (!Address) TakeError();
    return Address;
}

bool FreeLibrary(TModuleHandle Handle) {
    if (!Handle) return false;
    if (dlclose(Handle) != 0) {
        TakeError();
        return false;
    }
    return true;
}

std::string LastLibraryError() {
    return LastError;
}

} // namespace os
