// Shared utility routines of the framework and the application: the browser
// and the desktop's handlers, special folders and the registry store, the
// program folder, temporary names, emptying folders, file names, splitting
// texts and link parameters, numbered placeholders and rectangles as text.
//
// Paths use "/"; backslashes in paths handed to the path routines are taken
// as delimiters too, so paths written in settings files still work.
#pragma once

#include "classlib/strings.h"
#include "classlib/types.h"
#include "platform/os/registry.h"
#include "platform/win/types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Microseconds since 1970-01-01 UTC, as the file system gives them.
using TFileTime = int64_t;

// Shell, browser and windows.
bool OpenURLInBrowser(HWND ParentWnd, const std::string& URL);
bool ShellOpenFile(HWND ParentWnd, const std::string& FileName, const std::string& Params);
std::string BrowseForFolder(HWND OwnerWnd, const std::string& InitialFolder,
                            const std::string& Title);
void SetWindowTopMost(HWND Wnd, bool OnTop);
bool ForceForegroundWindow(HWND Wnd);
// True when this process now holds the named mutex; false when another
// process holds it (another instance runs). The mutex is kept until the
// process ends; it belongs to the calling thread, so call it from the main
// thread.
bool CreateSingleInstanceMutex(const std::string& Name);

// Folders, files and registry.
std::string GetShellFolderPath(const std::string& Name);
std::string GetCommonShellFolderPath(const std::string& Name);
std::string RegReadString(os::RegRoot Root, const std::string& Key, const std::string& Name,
                          const std::string& Default);
void RegWriteString(os::RegRoot Root, const std::string& Key, const std::string& Name,
                    const std::string& Value);
std::string GetTempDirectory();
std::string GetAppFileName();
std::string GetAppFolder();
std::string GetAppFolderNoSlash();
std::string GetLongPath(const std::string& Path);
std::string SlashesToBackslashes(const std::string& Text);
std::string IncludeTrailingBackslashEx(const std::string& Path);
std::string CombinePath(const std::string& Base, const std::string& Path);
std::string ExpandRelativePath(const std::string& FileName, const std::string& Path);
std::string ExtractFileBaseName(const std::string& Path);
void ListFiles(const std::string& Mask, TStrings* List, bool WithPath);
std::string GetUniqueFileName(const std::string& Folder, const std::string& Prefix,
                              const std::string& Ext);
bool ClearDirectory(const std::string& Folder, bool Recursive);
// Writes the text as UTF-8 with a byte-order mark, replacing the file.
void WriteStringToFile(const std::string& Text, const std::string& FileName);
bool CheckFileAccess(uint32_t DesiredAccess, const std::string& FileName);
bool GetFileCreationTime(const std::string& FileName, TFileTime& Time);
TDateTime FileTimeToDateTime(TFileTime Time);

// Texts.
int32_t SafeStrToInt(const std::string& Text, int32_t Default);
bool TextBeginsWith(const std::string& Text, const std::string& Prefix);
std::string FormatParams(const std::string& Text, const std::vector<std::string>& Params);
// The longest name RemoveInvalidFileNameChars gives: with an extension and a
// temporary suffix it stays within the 255 bytes a file name may have.
constexpr std::size_t MaxFileNameTextBytes = 223;
// Also replaces control characters by "_", gives an empty text for a name of
// dots only, and shortens the name to MaxFileNameTextBytes.
std::string RemoveInvalidFileNameChars(const std::string& Text);
void SplitText(const std::string& Text, char Delim, TStrings* List);
void SplitTextQuoted(const std::string& Text, char Delim, char Quote, TStrings* List);
void ParseQueryParams(const std::string& URL, TStrings* List, bool Decode);
std::string AddURLParams(const std::string& URL, const std::string& Query);
// Two upper-case hex digits of the low byte of each UTF-16 unit of the first
// Count characters (all of them when Count is negative).
std::string CharsToHex(const std::string& Chars, int Count = -1);
std::string IntToHexPadded(uint32_t Value, int Digits);
uint32_t VersionStrToInt(const std::string& Version);
std::string RectToStr(const TRect& Rect);
void StrToRect(const std::string& Text, TRect& Rect);
TSize FitSizeKeepAspect(const TSize& Source, const TSize& Box);
TRect FitRectCentered(const TSize& Source, const TRect& Box);
