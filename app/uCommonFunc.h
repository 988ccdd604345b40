// Routines the application's windows share: queuing a task, the download list
// at start, the temporary folder, the task count, unique file names, the
// keyword search and the link actions.
//
// They reach the main window through MainWindowSide(): its queue, current
// state and centre view, and the window-side steps (status line, download
// list, player, prepare-download dialog, page scripts) as events the main
// window binds when it is built. Headless, tests bind them.
#pragma once

#include "app/uMDDef.h"
#include "skin/forms/spMessages.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TMultiDownloader;
class TYoutubeFLVGet;
class TfrmCenterView;
class TspSkinData;

struct TMainWindowSide {
    TMultiDownloader* Queue = nullptr;
    TCurrentInfo* CurrentInfo = nullptr;
    TfrmCenterView* CenterView = nullptr;
    TspSkinData* SkinData = nullptr; // the main window's skin data

    std::function<void(const std::string&)> SetStatusInfo; // status frame
    std::function<void()> RefreshDownloadList;             // download-list frame
    std::function<void()> CheckListActions;                // its actions
    std::function<void(bool)> ShowDownloadList;
    std::function<void(const TUrlInfo&)> Download;         // prepare-download dialog, then queue
    std::function<void(const std::string&)> SetSearchText; // search box
    std::function<void()> ReloadKeywords;                  // search box list
    std::function<void(const std::string&)> SetFlashVar;   // player "callbackvar"
    std::function<void(const std::string&)> PlayVideoId;   // player resolves and plays
    std::function<void(const std::string&)> ExecScript;    // script in the result page
    TOnConvertFinished ConvertFinished;                    // a task's MP3 is tagged and in place
};
TMainWindowSide& MainWindowSide();

// A text of the language data ("AppRes"); empty without an engine.
std::string AppText(const std::string& Key);
// The same with its "{1}", "{2}"... filled from Params.
std::string AppTextEx(const std::string& Key, const std::vector<std::string>& Params);
// A message box by text key, its "{1}", "{2}"... filled from Params; OK
// without an engine.
int AppMessageBox(const std::string& Key, TMsgDlgType Type, TMsgDlgButtons Buttons, int Number = 0,
                  const std::vector<std::string>& Params = {});

bool AddDownloadTask(const TUrlInfo& Info);
// The queue's download-finished event: an arrived media file becomes the
// task's tagged MP3 (or the task fails), then the queue goes on and the task
// count is shown.
void DownloadFinishedEvent(TObject* Sender, int Index, const std::string& FileName,
                           const std::string& ResultString, std::int64_t ResultLength);
bool IsSavePathQueued(const std::string& Path);
// Loads the list file, cleans what transfers and conversions killed half
// way left behind, and asks whether unfinished tasks go on.
void LoadDownloadList();
// Writes the download list to its file now, in one step; false when it
// cannot be written, with the reason.
bool SaveDownloadList(std::string* Reason = nullptr);
// The list changed: it is saved once the main loop comes round, so a crash
// or a kill loses at most that one change.
void DownloadListChanged();
std::string GetTempDir();
// Removes from the temporary folder the files the program put there (the
// tasks' media files and what their transfers left); nothing else.
void ClearTempDir();
void UpdateTaskStatus();
// Gives every skinned control, menu and form component that Form owns (and
// that those own in turn) the main window's skin data.
void ApplyMainSkinData(TComponent* Form);
// The program's icon (a PNG picture with alpha, drawn at build time into the
// program's res folder) into Icon; false and Icon unchanged when it cannot be read.
bool LoadProgramIcon(TIcon& Icon, const std::string& File);
// The task-count text of the status line.
std::string TaskStatusText(int RunningTasks);

// A path no existing file, no queued task's output and no temporary ".mtd"
// file uses (the queue tells those apart without regard to case): "(n)" is
// put before the file name. The name is made safe first, so a title never
// leads outside the folder, and cut to MaxQueuedNameBytes.
std::string FixFileName(const std::string& Path);
// The longest file name FixFileName gives: room for "(n)", ".mtd" and the
// transfer's ".xxxxxxxx.part" within the 255 bytes a name may have.
constexpr std::size_t MaxQueuedNameBytes = 255 - 14 - 8;
// Name cut on a character boundary to at most MaxBytes, keeping a short
// extension.
std::string FitFileName(const std::string& Name, std::size_t MaxBytes);
// A file name (no folder) made from a title: path separators, control
// characters and characters files cannot hold become "_", "." and ".." and
// names the file system reserves get a "_" in front.
std::string SafeFileName(const std::string& Name);

// Copies the resolver settings into a resolver before it resolves (the
// player's and every queue item's).
void CopyResolverSettings(TYoutubeFLVGet* Resolver);

// A finished task's entry on the result page shown gets its mark.
void MarkFinishedOnResultPage(const TUrlInfo& Task);

void SearchKeyword(const std::string& Keyword, int Page);
bool DoUrlAction(const TUrlInfo& Info);
void ExecPageScript(const std::string& Script);
void PlayVideoId(const std::string& Id);

// Recent keywords of the search box, newest first.
void LoadKeywords(TStrings* List);
void SaveKeyword(const std::string& Keyword);
void ClearKeyword();
