// Libraries the browser host loads on first use, and the small window and
// text helpers the host shares.
//
// In place of the three libraries: the help viewer is the desktop's (the
// help file is opened with it), the feature switches live in a table of this
// process (pop-up management also switches the engine's), and the library
// holding the context menus is the web engine's.
#pragma once

#include "browser/WbCore.h"

#include <cstdint>
#include <string>
#include <vector>

// Opens file with the desktop's viewer for help requests; answers 1 when a
// viewer started, 0 otherwise (also when file is empty).
intptr_t HtmlHelpCall(HWND Window, const std::string& File, int Command, int Data);

// Process-wide switches of the page features (numbers 0 to 27; others are
// refused with E_FAIL). Flags are accepted as given (2: the whole process).
HRESULT FeatureSwitch(int Feature, uint32_t Flags, bool Enable);
// S_OK when on, S_FALSE when off, E_FAIL for an unknown feature.
HRESULT FeatureQuery(int Feature, uint32_t Flags);

// The library holding the browser's context menus: the web engine's, null
// when it is not in the process.
void* BrowserResourceModule();

// Helpers.
HWND AncestorOfClass(HWND Window, const std::string& ClassName);
std::string ClassNameOfWindow(HWND Window);
std::string WindowTextOf(HWND Window);
// A copy the receiver owns (the task-memory copy of the platform).
std::u16string TaskMemCopy(const std::string& Text);
int IndexOfText(const std::string& Text, const std::vector<std::string>& List, int LastIndex);
int PosOfChar(char C, const std::string& Text);
bool BeginsWith(const std::string& Prefix, const std::string& Text);
// Size of an item identifier list (items, each led by its 16-bit size,
// ending in a zero size): the item sizes plus 2; 0 for null.
size_t ItemIdListSize(const uint8_t* List);
