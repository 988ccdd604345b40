// The frames docked into the main window: status line, keyword box with the
// recent keywords, player and download list, made of skinned controls that
// take the main window's skin data.
#pragma once

#include "app/uMDDef.h"
#include "classlib/comctrls.h"
#include "classlib/stdctrls.h"
#include "classlib/timer.h"
#include "platform/player/player.h"
#include "skin/controls/ListViewSP.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/forms/SkinMenus.h"

#include <functional>
#include <memory>
#include <string>

class TfrmMain;
class TYoutubeFLVGet;

// One status text with one step of undo, on the skin's panel texture.
class TfrmStatus : public TspSkinPanel {
public:
    explicit TfrmStatus(TComponent* AOwner);
    void SetStatusInfo(const std::string& Text);
    void SetBackInfo();
    const std::string& StatusInfo() const { return FStatusInfo; }
    const std::string& BackInfo() const { return FBackInfo; }
    TNotifyEvent StatusInfoChange;
    TspSkinStdLabel* lblStatus;

private:
    void Show(const std::string& Text);
    std::string FStatusInfo;
    std::string FBackInfo;
};

// The keyword box; Enter searches, the recent keywords newest first.
class TfrmSearchFrame : public TPanel {
public:
    explicit TfrmSearchFrame(TComponent* AOwner);
    std::string Keyword() const;
    void SetKeyword(const std::string& Text);
    void LoadKeywords();
    void ClearKeyword();
    // The recent keywords as the list shows them, with the clearing item last.
    TStrings* Recent() { return cbKeyword->Items(); }
    // A recent keyword chosen from the list (the clearing item clears them).
    void ChooseRecent(int Index);
    // The list opens: the clearing item goes last when it is not there.
    void DropDown();
    // The grey hint of an empty box, taken away while the box has the focus.
    void KeywordEnter();
    void KeywordExit();
    bool ShowsPlaceholder() const { return FPlaceholder; }
    TspSkinComboBox* cbKeyword;

private:
    void KeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
    void ShowPlaceholder();
    bool FPlaceholder = false;
};

// Previews results in a player page of our own (in place of the movie): its
// instructions go to the page's "callbackvar" (and OnFlashVar), its commands
// come back through FlashPlayerFSCommand.
class TfrmPlayerFrame : public TPanel {
public:
    TfrmPlayerFrame(TComponent* AOwner, TfrmMain* Main);
    ~TfrmPlayerFrame() override;
    // Creates the player page in the frame; says so when the page is missing.
    void LoadPlayer();
    void SetFlashVar(const std::string& Name, const std::string& Value);
    void GetFlv(const std::string& Id);
    void PlayFlv(const std::string& Address);
    void SetRepeatMode(int Mode);
    void Stop();
    void Play(int Index, int Direction);
    void flvBeforeGet(TObject* Sender);
    void flvURIGot(const std::string& Address);
    void flvBadResponse(const std::string& Message);
    // A command of the page: kept, and run 100 ms later unless another
    // replaces it.
    void FlashPlayerFSCommand(const std::string& Command, const std::string& Args);
    void tmrFSCommandTimer(TObject* Sender);
    // Runs a command at once.
    void FSCommand(const std::string& Command, const std::string& Args);
    // The player page's file.
    static std::string PlayerFile();
    std::function<void(const std::string& Name, const std::string& Value)> OnFlashVar;
    TUrlInfo CurrentPlayingURLInfo;
    TYoutubeFLVGet* flv;
    TTimer* tmrFSCommand;
    player::PlayerView* Player() const { return FPlayer.get(); }

private:
    TfrmMain* FMain;
    std::unique_ptr<player::PlayerView> FPlayer;
    std::string FCommand, FArgs;
};

// The queue as a list view: title, save location, length, status.
class TfrmDownloadList : public TPanel {
public:
    TfrmDownloadList(TComponent* AOwner, TfrmMain* Main);
    void RefreshList();
    void CheckAct();
    int GetIdxBySavePath(const std::string& File) const;
    // The selected row's save path, and its folder when that exists ("" for
    // none).
    std::string SelectedSavePath() const;
    std::string SelectedFolder() const;
    // A row's status text and image for a task state.
    static void StateText(int State, std::string& Text, int& Image);
    static std::string LengthText(int Seconds);
    // The hint of the row at a point of the list: why its task failed.
    void ShowRowHint(int X, int Y);
    TspSkinListViewSP* lvDL;
    // The list's vertical bar.
    TspSkinScrollBar* sbDL;
    TspSkinPopupMenu* pmDL;

private:
    TfrmMain* FMain;
};
