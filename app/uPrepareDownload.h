// The modal dialog that opens before a result is queued: file name, save
// folder, bitrate and the title, artist and album tags. It remembers the
// folder, the bitrate and the recent folders, artists and albums.
#pragma once

#include "app/uMDDef.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "classlib/timer.h"

#include <functional>
#include <string>

// An edit box with a list of recent texts that drops down under it.
class TRecentCombo : public TPanel {
public:
    explicit TRecentCombo(TComponent* AOwner);
    std::string Text() const;
    void SetText(const std::string& Value);
    TStringList* Items() { return &FItems; }
    int ItemIndex() const { return FItemIndex; }
    // Opens the list (the clearing item is appended first).
    void DropDown();
    bool DroppedDown() const;
    // Picks an item of the list, as a click on it does.
    void Choose(int Index);
    TNotifyEvent OnChange;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnSelect;
    TEdit* Edit;

private:
    TButton* FButton;
    TListBox* FList;
    TStringList FItems;
    int FItemIndex = -1;
};

class TfrmPrepareDownload : public TForm {
public:
    explicit TfrmPrepareDownload(TComponent* AOwner);
    ~TfrmPrepareDownload() override;

    void SetInfo(const TUrlInfo& aInfo);
    // The output file: the folder, then the file name made safe, with ext
    // added unless the name already ends in it.
    std::string GetSaveToFullPath(const std::string& aTempExtName) const;
    void Load();
    void Save();
    void SetTagEditVisible(bool Visible);
    bool TagEditVisible() const { return edtTitle->Visible(); }

    void btnDownloadClick(TObject* Sender);
    void btnBrowseClick(TObject* Sender);
    void edtTitleChange(TObject* Sender);
    void tmHintTimer(TObject* Sender);

    // Shows a balloon text at a screen point for a time (ms); the main
    // window binds it to the balloon-hint window.
    static std::function<void(const std::string& Text, int X, int Y, int Ms)>& BalloonHook();
    // The folder dialog (headless tests answer it).
    static std::function<std::string(HWND Owner, const std::string& Initial)>& FolderDialogHook();

    const TUrlInfo& Info() const { return FInfo; }
    bool FileNameModified() const { return FFileNameModified; }

    TEdit* edtFileName;
    TRecentCombo* cbSaveto;
    TButton* btnBrowse;
    TListBox* cbbRate;
    TEdit* edtTitle;
    TRecentCombo* cbArtist;
    TRecentCombo* cbAlbum;
    TLabel *lbTitle, *lbArtist, *lbAlbum;
    TButton *btnShowTagEdit, *btnHideTagEdit;
    TCheckBox* cbAutoRename;
    TButton *btnDownload, *btnCancel;
    TTimer* tmHint;

private:
    void FormClose();
    void ClearRecentChosen(TRecentCombo* Box);
    void LoadList(TRecentCombo* Box, const std::string& Name);
    void SaveList(TRecentCombo* Box, const std::string& Name);

    TUrlInfo FInfo;
    bool FFileNameModified = false;
    bool FSettingFileName = false;
    bool FSaved = false;
};
