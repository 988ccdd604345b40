#include "framework/CLEnglishDefaults.h"

#include "classlib/strings.h"
#include "framework/CLMultiLang.h"

namespace {

const char* const kDocument = R"LAN([LibRes]
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

[SkinRes]
ADDCUSTOMCOLORBUTTON_CAP=Add to Custom Colors
AUTOCOLOR=Automatic
CALC_CAP=Calculator
CLOSEBUTTON_HINT=Close
COLORGRID_CAP=Basic colors
CUSTOMCOLOR=Custom...
CUSTOMCOLORGRID_CAP=Custom colors
DB_DELETE_QUESTION=Delete record?
DB_MULTIPLEDELETE_QUESTION=Delete all selected records?
EDIT_COPY=Copy
EDIT_CUT=Cut
EDIT_DELETE=Delete
EDIT_PASTE=Paste
EDIT_SELECTALL=Select All
EDIT_UNDO=Undo
ERROR=Error
FIND_DIRECTION=Direction
FIND_DIRECTIONDOWN=Down
FIND_DIRECTIONUP=Up
FIND_MATCH_CASE=Match case
FIND_MATCH_WHOLE_WORD_ONLY=Match whole word only
FIND_NEXT=Find Next
FIND_REPLACE=Replace
FIND_REPLACE_All=Replace All
FIND_REPLACE_CLOSE=Close
FIND_REPLACE_WITH=Replace with:
FIND_WHAT=Find what:
FLV_ATTRIBUTES=Attributes
FLV_DISKSIZE=Size
FLV_FREESPACE=Free space
FLV_LOOKIN=Look in:
FLV_MODIFIED=Modified
FLV_NAME=Name
FLV_SIZE=Size
FLV_TYPE=Type
FONTDLG_COLOR=Color:
FONTDLG_EXAMPLE=Example
FONTDLG_HEIGHT=Height:
FONTDLG_NAME=Name:
FONTDLG_SCRIPT=Script:
FONTDLG_SIZE=Size:
FONTDLG_STYLE=Style
MAXBUTTON_HINT=Maximize
MENUBUTTON_HINT=System menu
MINBUTTON_HINT=Minimize
MI_CLOSECAPTION=&Close
MI_MAXCAPTION=Ma&ximize
MI_MINCAPTION=Mi&nimize
MI_MINTOTRAYCAPTION=Minimize to &Tray
MI_RESTORECAPTION=&Restore
MI_ROLLUPCAPTION=Ro&llUp
MORECOLORS=More colors...
MSG_BTN_ABORT=&Abort
MSG_BTN_ALL=&All
MSG_BTN_BACK_HINT=Go to last folder visited
MSG_BTN_CANCEL=Cancel
MSG_BTN_CLOSE=Close
MSG_BTN_HELP=&Help
MSG_BTN_IGNORE=&Ignore
MSG_BTN_NEWFOLDER_HINT=Create new folder
MSG_BTN_NO=&No
MSG_BTN_NOTOALL=N&oToAll
MSG_BTN_OK=OK
MSG_BTN_OPEN=&Open
MSG_BTN_RETRY=&Retry
MSG_BTN_SAVE=&Save
MSG_BTN_STRETCH_HINT=Stretch
MSG_BTN_UP_HINT=Up one level
MSG_BTN_VIEWMENU_HINT=View menu
MSG_BTN_YES=&Yes
MSG_BTN_YESTOALL=&YesToAll
MSG_CAP_CONFIRM=Confirm
MSG_CAP_ERROR=Error
MSG_CAP_INFORMATION=Information
MSG_CAP_SHOWFLAG=Do not display this message again
MSG_CAP_WARNING=Warning
MSG_FILENAME=File name:
MSG_FILETYPE=File type:
MSG_LV_DETAILS=Details
MSG_LV_ICON=Large icons
MSG_LV_LIST=List
MSG_LV_SMALLICON=Small icons
MSG_NEWFOLDER=New Folder
MSG_OVERWRITE=Do you want to replace the existing file?
MSG_PREVIEWBUTTON=Preview
MSG_PREVIEWSKIN=Preview
NODISKINDRIVE=There is no disk in the drive or the drive is not ready
NOVALIDDRIVEID=Not a valid drive ID
PRNDLG_ALL=All
PRNDLG_WHERE=Where:
RESTORE_HINT=Restore
ROLLUPBUTTON_HINT=Roll Up
TRAYBUTTON_HINT=Minimize to Tray

[AppRes]
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
pnlCMain.Caption=pnlCMain
pnlCenter.Caption=pnlCenter
mpnlCenter.Caption=mpnlCenter
pnlPageAdv.Caption=pnlPageAdv
pnlAdvInside.Caption=pnlAdvInside
lbAdvTitle.Caption=Title:
lbAdvSearch.Caption=Advanced Search
lbAdvEdition.Caption=Edition:
lbAdvArtist.Caption=Artist:
lbAdvAlbum.Caption=Album:
btnAdvSearch.Caption=Search MP3 Now!
cbbEdition.Items=search all editions<BR>live edtion<BR>unplugged edtion<BR>remix edition<BR>cover edition<BR>piano edition<BR>guitar edition
pnlPageNormal.Caption=pnlPageNormal
pnlNormal.Caption=pnlNormal
btnSearchNow.Caption=Search MP3 Now!
pnlSearch.Caption=pnlSearch
pnlCenterView.Caption=pnlCenterView
pnlLeft.Caption=pnlLeft
lstMenu.Items=MP3 Search<BR>Advanced Search<BR>Hot Songs<BR>Categories<BR>Support
pnlStatus.Caption=pnlStatus
lblDownloadList.Caption=Download List
lblStatus.Caption=lblStatus
pnlPlayerContainer.Caption=pnlPlayerContainer
pnlStatusInfo.Caption=pnlStatusInfo
pnlDownloadList.Caption=pnlDownloadList
pnlDL.Caption=pnlDL
pnlDLControl.Caption=pnlDLControl
btnOption.Caption=&Options...
btnOption.Hint=Options
btnClearFinishedTask.Caption=Clear &Completed
btnClearAll.Caption=&Remove All
miSkins.Caption=Skins
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
actOpenFile.Caption=&Open Destination File
actRemoveTask.Caption=&Remove Task
actMoveUp.Caption=Move &Up
actMoveDown.Caption=Move &Down
actClearFinishedTask.Caption=Clear &Completed
actClearAll.Caption=&Remove All
actOpenContainingFolder.Caption=Open Destination &Folder
actRestart.Caption=&Download again
actDownloadList.Caption=Download List
actHotSongs.Caption=&Hot Songs
actCategory.Caption=&Categories
actOpen.Caption=Open...
actRepeatOff.Caption=Repeat Off
actRepeatOne.Caption=Repeat One
actRepeatAll.Caption=Repeat All
miFile.Caption=&File
miView.Caption=&View
miTools.Caption=&Tools
miHelp.Caption=&Help
miRepeatMode.Caption=&Repeat Mode
miDefaultSkin.Caption=&Default
spTrayIcon.Hint=Quendral
)LAN";

} // namespace

const std::string& EnglishDefaultsDocument() {
    static const std::string document(kDocument);
    return document;
}

void LoadEnglishDefaults(TCLMultiLangData* Data) {
    if (!Data) return;
    TStringList lines;
    lines.SetText(EnglishDefaultsDocument());
    Data->SetDefaultData(&lines);
    Data->SetCurrentData(&lines);
}
