// Program entry: initialises the units and hands over to the run routine,
// which creates the main window of the music search.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/uCommonFunc.h"
#include "app/uMain.h"
#include "framework/CLApp.h"
#include "framework/CLEngine.h"
#include "framework/CLEnglishDefaults.h"
#include "framework/CLMultiLang.h"
#include "platform/display/gtk.h"
#include "platform/os/folders.h"
#include "skin/engine/SkinData.h"

namespace {

// The engine, skin and language data that the main window's resource
// creates with it; the engine needs the form as its owner.
TCLEngine* CreateEngine(TfrmMain* Owner) {
    auto* skinData = new TspSkinData(Owner);
    skinData->SetAnimationForAllWindows(false);
    auto* engine = new TCLEngine(Owner);
    engine->SetSkinData(skinData);
    auto* language = new TCLMultiLangData(Owner);
    LoadEnglishDefaults(language);
    engine->SetLanguageData(language);
    engine->SetSkinMenuItem(Owner->miSkin);
    engine->SetLanguageMenuItem(Owner->miLanguage);
    engine->Loaded();
    return engine;
}

// Emits the shared-pointer release code in this file (see app/CMakeLists.txt).
void ReleaseSharedOnce() {
    auto p = std::make_shared<int>(0);
    std::weak_ptr<int> w = p;
    p.reset();
}

} // namespace

int main(int argc, char** argv) {
    ReleaseSharedOnce();
    SetAppParams(std::vector<std::string>(argv + 1, argv + argc));
    auto backend = display::CreateGtkBackend();
    if (!backend) {
        std::fprintf(stderr, "lantrove: no display to show the windows on (set DISPLAY)\n");
        return 1;
    }
    display::Install(std::move(backend));
    TfrmMain::MakeProgramEngine = [](TfrmMain* Form) {
        Form->SetCaption("Lantrove");
        return CreateEngine(Form);
    };
    // Every window and the tray icon show the program's icon.
    LoadProgramIcon(Application->Icon, os::ProgramFolder() + "res/lantrove.png");
    TfrmMain* frmProgramMain = nullptr;
    AppRun(frmProgramMain);
    TfrmMain::MakeProgramEngine = nullptr;
    display::Install(nullptr);
    return 0;
}
