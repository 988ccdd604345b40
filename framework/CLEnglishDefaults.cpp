#include "framework/CLEnglishDefaults.h"

#include "classlib/strings.h"
#include "framework/CLMultiLang.h"
#include "framework/CLMultiLangLan.h"
#include "skin/engine/SkinData.h"

namespace {

// "SkinRes" is the skin library's own table of interface texts, put in
// between "LibRes" and "AppRes" when the document is built.
const char* const kLibRes = R"LAN([LibRes]
btnCancel.Caption=&Cancel
btnOk.Caption=&Ok
cbAutoCheckUpdate.Caption=&Automatically Check Update
STR_GETMORE=Get More
lblSupport.Caption=Support
TfrmCLAboutForm.Caption=About {AppName}
TfrmCLAboutForm.CopyRightLine1={AppName}
TfrmCLAboutForm.CopyRightLine2=Version : {1}
TfrmCLAboutForm.CopyRightLine3={1} is tranlated by {2}
TfrmCLUpdateForm.Caption=Update {AppName}
Update.Connecting=Connecting Update Server...
Update.LastVersionAlready=Your {AppName} is the latest version already.
Update.NetError=Can't connect to {AppName} Update Server. There are several possible reasons: <BR>Your computer is not connected to the internet. <BR>{AppName} Update Server is busy now. <BR><BR>Please try again later.<BR>
Skin.LoadFailed=The skin "{1}" could not be loaded: {2}. The default skin is used instead.
Skin.LoadFailedNoSkin=The skin "{1}" could not be loaded: {2}. The windows are shown without a skin.

)LAN";

const char* const kAppRes = R"LAN([AppRes]
AppName=Lantrove
Tpl.ResultFile=res\result_en.html
Tpl.CategoryFile=res\categories_en.html
Tpl.KeywordListFile=res\keywordlist_en.html
Text.BlankKeyWord=Title/Artist/Album
Text.ClearRecent=- Clear -
Text.AdvanceSearch=Advance Search:
MsgBox.NoEnterKeyword=Please enter the keyword.
MsgBox.TaskExists=This task is already in the Download List.
MsgBox.DirNotExists=Directory cannot be created.
MsgBox.TerminateDown=There are some tasks still running. Exit anyway?
MsgBox.ContinueLastTask=Would you like to restart the incomplete task?
MsgBox.AVLibLoadFailed=AVLib Load Failed.
MsgBox.NoEnterAdvKeywords=Please enter one of Artist, Title, Album or Edition sections at least.
MsgBox.InfoGetting=Please wait a minute for downloading searching info.
MsgBox.RemoveTask=Are you sure to stop this running task?
MsgBox.RemoveAll=Remove all tasks from download list. Are you sure?
Status.Ready=Ready
Status.Connecting=Connecting
Status.Downloading=Downloading
Status.Finished=Finished
Status.Failed=Failed
Info.NoTask=No task.
Info.OneTask=1 task is running.
Info.MultiTask={1} tasks are running.
MsgBox.SaveListFailed=The download list could not be saved: {1}
Text.SearchFailed=The search failed: {1}
Text.SiteError=The site answered with error {1}.
Text.NoResults=No results could be read from the site's page.

[TfrmMain]
frmMain.Caption={AppName}
frmMain.Hint=
splBottom.Caption=
splBottom.Hint=
spMainMenuBar.Caption=
spMainMenuBar.Hint=
pnlCMain.Caption=pnlCMain
pnlCMain.Hint=
pnlCenter.Caption=pnlCenter
pnlCenter.Hint=
mpnlCenter.Caption=mpnlCenter
mpnlCenter.Hint=
pnlPageAdv.Caption=pnlPageAdv
pnlPageAdv.Hint=
pnlAdvInside.Caption=pnlAdvInside
pnlAdvInside.Hint=
lbAdvTitle.Caption=Title:
lbAdvTitle.Hint=
lbAdvSearch.Caption=Advanced Search
lbAdvSearch.Hint=
lbAdvEdition.Caption=Edition:
lbAdvEdition.Hint=
lbAdvArtist.Caption=Artist:
lbAdvArtist.Hint=
lbAdvAlbum.Caption=Album:
lbAdvAlbum.Hint=
btnAdvSearch.Caption=Search MP3 Now!
btnAdvSearch.Hint=
edtTitle.Hint=
cbbEdition.Hint=
cbbEdition.Items=search all editions<BR>live edtion<BR>unplugged edtion<BR>remix edition<BR>cover edition<BR>piano edition<BR>guitar edition
edtArtist.Hint=
edtAlbum.Hint=
pnlPageNormal.Caption=pnlPageNormal
pnlPageNormal.Hint=
pnlNormal.Caption=pnlNormal
pnlNormal.Hint=
btnSearchNow.Caption=Search MP3 Now!
btnSearchNow.Hint=
pnlSearch.Caption=pnlSearch
pnlSearch.Hint=
pnlCenterView.Caption=pnlCenterView
pnlCenterView.Hint=
pcMain.Caption=
pcMain.Hint=
tsResult.Caption=
tsResult.Hint=
tsHome.Caption=
tsHome.Hint=
tsCategory.Caption=
tsCategory.Hint=
tsAdv.Caption=
tsAdv.Hint=
pnlLeft.Caption=pnlLeft
pnlLeft.Hint=
lstMenu.Caption=
lstMenu.Hint=
lstMenu.Items=MP3 Search<BR>Advanced Search<BR>Hot Songs<BR>Categories<BR>Support
pnlStatus.Caption=pnlStatus
pnlStatus.Hint=
lblDownloadList.Caption=Download List
lblDownloadList.Hint=
lblStatus.Caption=lblStatus
lblStatus.Hint=
pnlPlayerContainer.Caption=pnlPlayerContainer
pnlPlayerContainer.Hint=
bvLine.Hint=
pnlStatusInfo.Caption=pnlStatusInfo
pnlStatusInfo.Hint=
pnlDownloadList.Caption=pnlDownloadList
pnlDownloadList.Hint=
pnlDL.Caption=pnlDL
pnlDL.Hint=
pnlDLControl.Caption=pnlDLControl
pnlDLControl.Hint=
btnOption.Caption=&Options...
btnOption.Hint=Options
btnClearFinishedTask.Caption=Clear &Completed
btnClearFinishedTask.Hint=
btnClearAll.Caption=&Remove All
btnClearAll.Hint=
miSkins.Caption=Skins
miSkins.Hint=
actAlwaysOnTop.Caption=&Always On Top
actAlwaysOnTop.Hint=Always On Top
actAbout.Caption=&About...
actAbout.Hint=About Quendral
actHelp.Caption=&Help Center...
actHelp.Hint=Help
actHome.Caption=Home &Page...
actHome.Hint=Home Page
actUpdate.Caption=&Update...
actUpdate.Hint=Update...
actOption.Caption=&Options...
actOption.Hint=Options
actExit.Caption=&Exit
actExit.Hint=Exit
actSkin.Caption=Change &Skin
actSkin.Hint=Change Skin
actLanguage.Caption=Change &Language
actLanguage.Hint=Change Language
actGetMoreLanguage.Caption=&More Languages...
actGetMoreLanguage.Hint=
actOpenFile.Caption=&Open Destination File
actOpenFile.Hint=
actRemoveTask.Caption=&Remove Task
actRemoveTask.Hint=
actMoveUp.Caption=Move &Up
actMoveUp.Hint=
actMoveDown.Caption=Move &Down
actMoveDown.Hint=
actClearFinishedTask.Caption=Clear &Completed
actClearFinishedTask.Hint=
actClearAll.Caption=&Remove All
actClearAll.Hint=
actOpenContainingFolder.Caption=Open Destination &Folder
actOpenContainingFolder.Hint=
actRestart.Caption=&Download again
actRestart.Hint=
actDownloadList.Caption=Download List
actDownloadList.Hint=
actHotSongs.Caption=&Hot Songs
actHotSongs.Hint=
actCategory.Caption=&Categories
actCategory.Hint=
actOpen.Caption=Open...
actOpen.Hint=
actRepeatOff.Caption=Repeat Off
actRepeatOff.Hint=
actRepeatOne.Caption=Repeat One
actRepeatOne.Hint=
actRepeatAll.Caption=Repeat All
actRepeatAll.Hint=
miRepeatMode.Caption=&Repeat Mode
miRepeatMode.Hint=
miFile.Caption=&File
miFile.Hint=
miView.Caption=&View
miView.Hint=
miTools.Caption=&Tools
miTools.Hint=
miHelp.Caption=&Help
miHelp.Hint=
miDefaultSkin.Caption=&Default
miDefaultSkin.Hint=
spTrayIcon.Hint=Quendral

[TfrmCenterView]
lbAdvSearch.Caption=Advanced Search
lbAdvSearch.Hint=
lbAdvArtist.Caption=Artist:
lbAdvArtist.Hint=
edtArtist.Hint=
lbAdvTitle.Caption=Title:
lbAdvTitle.Hint=
edtTitle.Hint=
lbAdvAlbum.Caption=Album:
lbAdvAlbum.Hint=
edtAlbum.Hint=
lbAdvEdition.Caption=Edition:
lbAdvEdition.Hint=
cbbEdition.Hint=
cbbEdition.Items=search all editions<BR>live edition<BR>unplugged edition<BR>remix edition<BR>cover edition<BR>piano edition<BR>guitar edition
btnAdvSearch.Caption=Search
btnAdvSearch.Hint=
)LAN";

} // namespace

namespace {

std::string SkinResSection() {
    TspResourceStrData texts(nullptr);
    TStringList lines;
    lines.Assign(*texts.ResStrings());
    lines.SetCaseSensitive(false);
    lines.Sort();
    std::string out = "[SkinRes]\n";
    for (int i = 0; i < lines.Count(); ++i)
        out += lines[i] + "\n";
    return out + "\n";
}

} // namespace

const std::string& EnglishDefaultsDocument() {
    static const std::string document = kLibRes + SkinResSection() + kAppRes;
    return document;
}

void LoadEnglishDefaults(TCLMultiLangData* Data) {
    if (!Data) return;
    TStringList lines;
    lines.SetText(EnglishDefaultsDocument());
    Data->SetDefaultData(&lines);
    Data->SetCurrentData(&lines);
}

void SaveEnglishLanguageFile(const std::string& FileName, const std::string& Version) {
    TCLMultiLangLan document;
    document.LoadFromString("[Info]\nLanguage=English\nTranslator=\nVersion=" + Version + "\n\n" +
                            EnglishDefaultsDocument());
    document.SaveToFile(FileName);
}
