// The modal dialog that opens before a result is queued: file name, save
// folder, bitrate and the title, artist and album tags. It remembers the
// folder, the bitrate and the recent folders, artists and albums.
#pragma once

#include "app/uMDDef.h"
#include "classlib/forms.h"
#include "classlib/timer.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "skin/controls/SkinCtrls.h"

#include <functional>
#include <string>

class TspSkinnedForm;
class TCLMultiLang;

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
    bool TagEditVisible() const;

    void btnDownloadClick(TObject* Sender);
    void btnBrowseClick(TObject* Sender);
    void edtTitleChange(TObject* Sender);
    void cbSavetoClick(TObject* Sender);
    void cbArtistClick(TObject* Sender);
    void cbArtistDropDown(TObject* Sender);
    void tmHintTimer(TObject* Sender);

    // Shows a balloon text at a screen point for a time (ms); the main
    // window binds it to the balloon-hint window.
    static std::function<void(const std::string& Text, int X, int Y, int Ms)>& BalloonHook();
    // The folder dialog (headless tests answer it).
    static std::function<std::string(HWND Owner, const std::string& Initial)>& FolderDialogHook();

    const TUrlInfo& Info() const { return FInfo; }
    bool FileNameModified() const { return FFileNameModified; }

    TspSkinEdit* edtFileName;
    TspSkinComboBox* cbSaveto;
    TspSkinButton* btnBrowse;
    TspSkinComboBox* cbbRate;
    TspSkinEdit* edtTitle;
    TspSkinComboBox* cbArtist;
    TspSkinComboBox* cbAlbum;
    TspSkinStdLabel *lbTitle, *lbArtist, *lbAlbum;
    TspSkinLinkLabel *btnShowTagEdit, *btnHideTagEdit;
    TspSkinCheckRadioBox* cbAutoRename;
    TspSkinButton *btnDownload, *btnCancel;
    TTimer* tmHint;
    // The frame in the skin every other window wears.
    TspSkinnedForm* spSkinnedForm;
    // The dialog's translator (section "TfrmPrepareDownload").
    TCLMultiLang* CLMultiLang;

private:
    void FormClose();
    void ClearRecentChosen(TspSkinComboBox* Box);
    void LoadList(TspSkinComboBox* Box, const std::string& Name);
    void SaveList(TspSkinComboBox* Box, const std::string& Name);

    TUrlInfo FInfo;
    bool FFileNameModified = false;
    bool FSettingFileName = false;
    bool FSaved = false;
};
