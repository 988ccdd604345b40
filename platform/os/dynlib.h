// Dynamic libraries: load by file name, look up exported symbols, free.
#pragma once

#include <string>

namespace os {

using TModuleHandle = void*;

// Loads a shared library by path or bare file name (the system search order
// applies to bare names). FreeLibrary releases the handle; the code stays
// mapped until the process ends. Returns nullptr on failure; LastLibraryError() then
// holds the system's text.
TModuleHandle LoadLibrary(const std::string& FileName);
// The address of an exported symbol, nullptr when there is none.
void* GetProcAddress(TModuleHandle Handle, const char* Name);
bool FreeLibrary(TModuleHandle Handle);
// The system's text for the last failed call of this thread.
std::string LastLibraryError();

} // namespace os
