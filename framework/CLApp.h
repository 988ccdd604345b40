// The run routine and the messages between instances of the program.
//
// AppRun decides from the command line and the settings whether this run
// starts, keeps one instance per machine (unless "App.Multiple"), hands over
// to a running instance, and otherwise creates the main window and runs the
// loop. Instances find each other's main window by its window class and talk
// through six registered messages and WM_COPYDATA (platform/win/ipc.h).
#pragma once

#include "classlib/forms.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Decided by AppRun before any window exists.
extern bool DebugMode;

// The registered message names.
inline constexpr const char* kMsgGetAppID = "CL GetAppID";
inline constexpr const char* kMsgCloseApp = "CL CloseApp";
inline constexpr const char* kMsgInitPost = "CL InitPost";
inline constexpr const char* kMsgCmdParam = "CL CmdParam";
inline constexpr const char* kMsgIfBusy = "CL IfBusy";
inline constexpr const char* kMsgBringToFront = "CL BringtoFront";

using TAppStartCallback = std::function<bool()>;

void AppRun(const TFormClass& FormClass, TForm** FormReference,
            TAppStartCallback StartCallback = nullptr);
// FormReference holds the main window from before its constructor runs until
// AppRun frees it.
template <class T> void AppRun(T*& FormReference, TAppStartCallback StartCallback = nullptr) {
    AppRun(TFormClass::Of<T>(&FormReference), nullptr, std::move(StartCallback));
    FormReference = nullptr;
}

// The program's parameters without the program name. By default those the
// process was started with; the program entry or a test may set them.
void SetAppParams(std::vector<std::string> Params);
const std::vector<std::string>& AppParams();
// A parameter that is exactly "-" or "/" followed by Letter, in any case.
bool FindCmdLineSwitch(char Letter);
// Whether a parameter is a file (or other text) for the running instance:
// not beginning with "-", and not a switch. An absolute path begins with "/"
// and is a file name here.
bool IsCmdLineFileParam(const std::string& Param);

// The window of a running instance with the window class ClassName whose
// answer to "CL GetAppID" is the setting "App.ID"; 0 when none answers.
HWND FindAppWindow(const std::string& ClassName);
void SendCloseApp(const std::string& ClassName);
void ActivateRunningApp(const std::string& ClassName);
// Hands Text to the running instance as UTF-16 by WM_COPYDATA.
void SendCmdParam(const std::string& ClassName, const std::u16string& Text);

// The floating-point control word the program asks for. It is recorded only:
// every floating-point exception stays masked, so library arithmetic never traps.
void Set8087CW(uint16_t ControlWord);
uint16_t Get8087CW();
