#include "app/uCommonFunc.h"

#include "app/uCenterView.h"
#include "classlib/forms.h"
#include "classlib/sysutils.h"
#include "download/MultiDownloader.h"
#include "framework/CLEngine.h"
#include "framework/CLForm.h"
#include "framework/CLSettings.h"
#include "framework/OxDebug.h"
#include "framework/SPTools.h"
#include "platform/win/queue.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

TCLSettings* Settings() {
    return SettingsInstance();
}

TDownloadList* QueueList() {
    TMultiDownloader* queue = MainWindowSide().Queue;
    return queue ? queue->DownloadList() : nullptr;
}

// The text that ends the recent lists; never stored as a keyword.
std::string ClearRecentText() {
    const std::string text = AppText("Text.ClearRecent");
    return text.empty() ? "- Clear -" : text;
}

bool IsReservedName(const std::string& Name) {
    std::string stem = Name.substr(0, Name.find('.'));
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    static const char* const fixed[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* f : fixed)
        if (stem == f) return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

bool IsNameTaken(const std::string& Path) {
    if (FileExists(Path) || DirectoryExists(Path)) return true;
    TDownloadList* list = QueueList();
    if (!list) return false;
    // The queue refuses a second item whose file differs only in case.
    if (list->IsSaveFileNameExists(Path)) return true;
    for (int i = 0; i < list->ItemCount(); ++i) {
        const TDownloadItem* item = list->Items(i);
        if (item->Comment()->Values("SavePath") == Path || item->FileName == Path ||
            item->Comment()->Values("TempPath") == Path)
            return true;
    }
    return false;
}

// Media files this run's tasks put into the temporary folder, and those the
// loaded list named: the program's own, whatever happens to their tasks.
std::set<std::string>& MadeTempFiles() {
    static std::set<std::string> files;
    return files;
}

bool gListSavePending = false;

} // namespace

TMainWindowSide& MainWindowSide() {
    static TMainWindowSide side;
    return side;
}

std::string AppText(const std::string& Key) {
    TCLEngine* engine = EngineInstance();
    return engine ? engine->GetAppString(Key) : std::string();
}

std::string AppTextEx(const std::string& Key, const std::vector<std::string>& Params) {
    TCLEngine* engine = EngineInstance();
    return engine ? engine->GetAppStringEx(Key, Params) : std::string();
}

int AppMessageBox(const std::string& Key, TMsgDlgType Type, TMsgDlgButtons Buttons, int Number,
                  const std::vector<std::string>& Params) {
    TCLEngine* engine = EngineInstance();
    return engine ? engine->ShowMessageEx(Key, Params, Number, Type, Buttons, 0, false) : mrOk;
}

bool AddDownloadTask(const TUrlInfo& Info) {
    TMainWindowSide& side = MainWindowSide();
    if (!side.Queue) return false;
    bool accepted = false;
    // The id goes into an address: only one that looks like an id.
    if (IsValidVideoId(Info.Id)) {
        std::string base =
            side.CurrentInfo ? side.CurrentInfo->MDInfo->Values("DownloadURL") : std::string();
        if (base.empty()) base = Settings()->GetSettingString("DownloadURL");
        accepted = side.Queue->Append(base + Info.Id, Info.TempPath, true, KYouTube, "");
        if (accepted) {
            TDownloadList* list = side.Queue->DownloadList();
            WriteTaskComment(list->Items(list->ItemCount() - 1)->Comment(), Info);
        } else {
            AppMessageBox("MsgBox.TaskExists", mtInformation, {mbOK});
        }
    }
    side.Queue->Resume();
    return accepted;
}

void DownloadFinishedEvent(TObject*, int Index, const std::string& FileName, const std::string&,
                           std::int64_t ResultLength) {
    TMainWindowSide& side = MainWindowSide();
    if (!side.Queue) return;
    TDownloadList* list = side.Queue->DownloadList();
    if (!FileName.empty()) MadeTempFiles().insert(FileName);
    if (ResultLength > 0 && Index >= 0 && Index < list->ItemCount()) {
        try {
            ConvertDownloadedTask(side.Queue, list->Items(Index), FileName, side.ConvertFinished);
        } catch (const Exception&) {
            // A conversion that throws is a failed one; the queue goes on.
        }
    }
    side.Queue->Resume();
    UpdateTaskStatus();
}

bool IsSavePathQueued(const std::string& Path) {
    TDownloadList* list = QueueList();
    if (!list) return false;
    for (int i = 0; i < list->ItemCount(); ++i)
        if (list->Items(i)->Comment()->Values("SavePath") == Path) return true;
    return false;
}

void LoadDownloadList() {
    TMainWindowSide& side = MainWindowSide();
    if (!side.Queue || !side.CurrentInfo) return;
    side.CurrentInfo->DownloadListFileName = Settings()->UserDataPath() + "downloadlist.sav";
    TDownloadList* list = side.Queue->DownloadList();
    list->LoadFromFile(side.CurrentInfo->DownloadListFileName);
    // A run that ended without closing (a kill, a crash, a power cut) leaves
    // transfers and conversions half way: their temporary files go, and the
    // tasks start again from the beginning.
    for (int i = 0; i < list->ItemCount(); ++i) {
        const TDownloadItem* item = list->Items(i);
        if (!item->FileName.empty()) {
            MadeTempFiles().insert(item->FileName);
            RemoveTransferTemps(item->FileName);
        }
        const std::string savePath = item->Comment()->Values("SavePath");
        if (!savePath.empty() && item->DownloadState() != KFinished) RemoveTransferTemps(savePath);
    }
    if (side.Queue->UnfinishedTasksCount() > 0) {
        bool keep = false;
        if (Settings()->GetMessageShowAgainResult(24) == 1)
            keep = AppMessageBox("MsgBox.ContinueLastTask", mtConfirmation, {mbOK, mbCancel}, 24) ==
                   mrOk;
        if (keep)
            side.Queue->Resume();
        else
            list->ClearInCompleted();
        if (Settings()->GetSettingBool("Settings.ShowListWhenAddTask") && side.ShowDownloadList)
            side.ShowDownloadList(true);
    }
    if (side.RefreshDownloadList) side.RefreshDownloadList();
}

bool SaveDownloadList(std::string* Reason) {
    TMainWindowSide& side = MainWindowSide();
    gListSavePending = false;
    if (!side.Queue || !side.CurrentInfo || side.CurrentInfo->DownloadListFileName.empty())
        return true;
    try {
        side.Queue->DownloadList()->SaveToFile(side.CurrentInfo->DownloadListFileName);
        return true;
    } catch (const Exception& e) {
        if (Reason) *Reason = e.Message;
        return false;
    }
}

void DownloadListChanged() {
    if (gListSavePending) return;
    gListSavePending = true;
    PostThreadCall(MainThreadId(), [] {
        if (!gListSavePending) return; // saved meanwhile
        std::string reason;
        // Said when the window closes; meanwhile the next change tries again.
        if (!SaveDownloadList(&reason)) DebuggerInstance()->LogMsg("Save download list: " + reason);
    });
}

std::string GetTempDir() {
    std::string dir = Settings()->GetSettingString("TemporaryDir");
    if (dir.empty()) dir = Settings()->UserDataPath() + "Downloading";
    if (!DirectoryExists(dir)) ForceDirectories(dir);
    Settings()->SetSettingstring("TemporaryDir", dir);
    return IncludeTrailingPathDelimiter(dir);
}

void ClearTempDir() {
    const std::string dir = GetTempDir();
    std::set<std::string> files = MadeTempFiles();
    if (TDownloadList* list = QueueList())
        for (int i = 0; i < list->ItemCount(); ++i)
            files.insert(list->Items(i)->FileName);
    for (const std::string& file : files) {
        // Only what lies in the folder itself: a list from elsewhere names
        // no file of another folder to remove.
        if (file.empty() || ExtractFilePath(file) != dir) continue;
        DeleteFile(file);
        RemoveTransferTemps(file);
    }
    MadeTempFiles().clear();
}

std::string TaskStatusText(int RunningTasks) {
    if (RunningTasks == 0) return AppText("Info.NoTask");
    if (RunningTasks == 1) return AppText("Info.OneTask");
    const std::string count = IntToStr(RunningTasks);
    const std::string text = AppText("Info.MultiTask");
    if (text.find("{1}") != std::string::npos) return FormatParams(text, {count});
    if (text.find("%d") != std::string::npos) return StringReplace(text, "%d", count, 0);
    return count + " " + text;
}

void ApplyMainSkinData(TComponent* Form) {
    if (!Form) return;
    // The main window's skin data, which the engine holds as well.
    TspSkinData* data = MainWindowSide().SkinData;
    if (!data)
        if (TCLEngine* engine = EngineInstance()) data = engine->SkinData();
    if (!data) return;
    SetComponentsSkinData(Form, data, false);
    for (int i = 0; i < Form->ComponentCount(); ++i)
        ApplyMainSkinData(Form->Components(i));
}

bool LoadProgramIcon(TIcon& Icon, const std::string& File) {
    TPngImage png;
    try {
        png.LoadFromFile(File);
    } catch (const std::exception&) {
        return false;
    }
    const int w = png.Width(), h = png.Height();
    if (w <= 0 || h <= 0) return false;
    png.ToTrueColorAlpha();
    std::vector<uint32_t> argb(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const uint8_t* bgr = png.Scanline(y);
        const uint8_t* alpha = png.AlphaScanline(y);
        for (int x = 0; x < w; ++x)
            argb[size_t(y) * size_t(w) + size_t(x)] = uint32_t(alpha ? alpha[x] : 255) << 24 |
                                                      uint32_t(bgr[x * 3 + 2]) << 16 |
                                                      uint32_t(bgr[x * 3 + 1]) << 8 | bgr[x * 3];
    }
    Icon.SetPixels(w, h, std::move(argb));
    return true;
}

void UpdateTaskStatus() {
    TMainWindowSide& side = MainWindowSide();
    int running = 0;
    if (TDownloadList* list = QueueList()) {
        for (int i = 0; i < list->ItemCount(); ++i) {
            const EDownloadState s = list->Items(i)->DownloadState();
            if (s != KReady && s != KFinished && s != KFailed) ++running;
        }
    }
    if (side.SetStatusInfo) side.SetStatusInfo(TaskStatusText(running));
    if (side.CheckListActions) side.CheckListActions();
}

std::string SafeFileName(const std::string& Name) {
    std::string out;
    for (unsigned char c : Name) {
        const bool bad =
            c < 0x20 || c == 0x7F || std::string("/\\:*?\"<>|").find(char(c)) != std::string::npos;
        out += bad ? '_' : char(c);
    }
    if (out.empty() || out == "." || out == "..") return "_" + out;
    if (IsReservedName(out)) return "_" + out;
    return out;
}

std::string FitFileName(const std::string& Name, std::size_t MaxBytes) {
    if (Name.size() <= MaxBytes) return Name;
    std::string ext = ExtractFileExt(Name);
    if (ext.size() > 16 || ext.size() >= MaxBytes) ext.clear();
    std::size_t keep = MaxBytes - ext.size();
    // Never cut a character in two.
    while (keep > 0 && (static_cast<unsigned char>(Name[keep]) & 0xC0) == 0x80)
        --keep;
    return Name.substr(0, keep) + ext;
}

std::string FixFileName(const std::string& Path) {
    const std::string folder = ExtractFilePath(Path);
    const std::string name = FitFileName(SafeFileName(ExtractFileName(Path)), MaxQueuedNameBytes);
    std::string candidate = folder + name;
    for (int n = 1; IsNameTaken(candidate); ++n)
        candidate = folder + "(" + IntToStr(n) + ")" + name;
    return candidate;
}

void CopyResolverSettings(TYoutubeFLVGet* Resolver) {
    if (!Resolver) return;
    // Every one of them, every time: a missing setting replaces the default too.
    Resolver->YoutubeWatchPattern = Settings()->GetSettingString("WatchPattern");
    Resolver->YoutubeWatchPattern2 = Settings()->GetSettingString("WatchPattern2");
    Resolver->SplitStr = Settings()->GetSettingString("FLVSplitStr");
    Resolver->NeedURLDecode = Settings()->GetSettingBool("FLVNeedDecode");
    Resolver->YoutubeGetVideoURI = Settings()->GetSettingString("FLVGetVideoURI");
    Resolver->YoutubeWatchURI = Settings()->GetSettingString("WatchURL");
    Resolver->YoutubeGetInfoURI = Settings()->GetSettingString("GetInfoURL");
    Resolver->Method = TYoutubeFLVGetMethod(Settings()->GetSettingInteger("GetMethod"));
    Resolver->FLVURLFormat = Settings()->GetSettingString("FLVURLFormat");
}

void SearchKeyword(const std::string& Keyword, int Page) {
    TMainWindowSide& side = MainWindowSide();
    if (Keyword.empty() || Keyword == AppText("Text.BlankKeyWord")) {
        AppMessageBox("MsgBox.NoEnterKeyword", mtInformation, {mbOK});
        return;
    }
    if (!side.CurrentInfo) return;
    if (!side.CurrentInfo->GetMDInfo()) {
        AppMessageBox("MsgBox.InfoGetting", mtInformation, {mbOK});
        return;
    }
    if (side.SetSearchText) side.SetSearchText(Keyword);
    const std::string prefix = AppText("Text.AdvanceSearch");
    side.CurrentInfo->Keyword =
        prefix.empty() ? Keyword : StringReplace(Keyword, prefix, "", rfReplaceAll);
    side.CurrentInfo->PID = -1;
    side.CurrentInfo->Page = Page;
    SaveKeyword(Keyword);
    if (side.ReloadKeywords) side.ReloadKeywords();
    if (side.CenterView) {
        side.CenterView->ShowSearch(side.CurrentInfo->Keyword, Page);
        if (side.CenterView->OnActivatePage) side.CenterView->OnActivatePage(tsResult);
    }
}

bool DoUrlAction(const TUrlInfo& Info) {
    TMainWindowSide& side = MainWindowSide();
    if (side.CurrentInfo) side.CurrentInfo->URLInfo = Info;
    switch (Info.Action) {
    case UA_NONE:
        return false;
    case UA_PLAY:
        // An id goes into an address and a script only when it looks like one.
        if (!IsValidVideoId(Info.Id)) break;
        if (side.SetFlashVar) {
            side.SetFlashVar("Stop,");
            side.SetFlashVar("Title," + Info.Title);
            side.SetFlashVar("Wait,");
        }
        PlayVideoId(Info.Id);
        ExecPageScript("ShowIcon(" + IntToStr(Info.PId) + ");");
        break;
    case UA_DOWNLOAD:
        if (IsValidVideoId(Info.Id) && side.Download) side.Download(Info);
        break;
    case UA_FLIPPAGE:
        if (side.CurrentInfo) SearchKeyword(side.CurrentInfo->Keyword, Info.Page);
        break;
    case UA_SEARCH:
        if (side.CurrentInfo) {
            if (side.SetSearchText) side.SetSearchText(side.CurrentInfo->Keyword);
            SearchKeyword(side.CurrentInfo->Keyword, 1);
        }
        break;
    }
    return true;
}

void ExecPageScript(const std::string& Script) {
    try {
        if (MainWindowSide().ExecScript) MainWindowSide().ExecScript(Script);
    } catch (...) {
        // Page scripts are the page's own; their errors do not concern us.
    }
}

void MarkFinishedOnResultPage(const TUrlInfo& Task) {
    TfrmCenterView* view = MainWindowSide().CenterView;
    if (!view || Task.Id.empty()) return;
    // The page shown may be another search's: only the same entry is marked.
    if (view->SearchResult()->Values("ID" + IntToStr(Task.PId)) != Task.Id) return;
    ExecPageScript("ShowDIcon(" + IntToStr(Task.PId) + ");");
}

void PlayVideoId(const std::string& Id) {
    if (MainWindowSide().PlayVideoId) MainWindowSide().PlayVideoId(Id);
}

void LoadKeywords(TStrings* List) {
    List->Clear();
    const std::string clear = ClearRecentText();
    const int count = std::min(10, Settings()->GetSettingInteger("keywordCount"));
    for (int i = count - 1; i >= 0; --i) {
        const std::string k = Settings()->GetSettingString("keyword" + IntToStr(i));
        if (k != clear) List->Add(k);
    }
}

void SaveKeyword(const std::string& Keyword) {
    if (Keyword.empty() || Keyword == ClearRecentText()) return;
    const int count = std::min(10, std::max(0, Settings()->GetSettingInteger("keywordCount")));
    for (int i = 0; i < count; ++i)
        if (Settings()->GetSettingString("keyword" + IntToStr(i)) == Keyword) return;
    // The settings file is written once, with every change in it.
    Settings()->BeginUpdate();
    if (count < 10) {
        Settings()->SetSettingstring("keyword" + IntToStr(count), Keyword);
        Settings()->SetSettingInteger("keywordCount", count + 1);
    } else {
        for (int i = 1; i < 10; ++i)
            Settings()->SetSettingstring("keyword" + IntToStr(i - 1),
                                         Settings()->GetSettingString("keyword" + IntToStr(i)));
        Settings()->SetSettingstring("keyword9", Keyword);
    }
    Settings()->EndUpdate();
}

void ClearKeyword() {
    Settings()->SetSettingInteger("keywordCount", 0);
}
