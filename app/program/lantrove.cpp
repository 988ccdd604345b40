// Program entry: initialises the units and hands over to the run routine.
//
// The main window of the music search is not built yet; until then the main
// window is a plain form carrying the engine, so start-up, the settings, the
// languages and the messages between instances all run as they will.
#include <cstdio>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "framework/CLApp.h"
#include "framework/CLEngine.h"
#include "platform/display/gtk.h"
#include "skin/engine/SkinData.h"

namespace {

class TfrmMain : public TForm {
public:
    explicit TfrmMain(TComponent* AOwner) : TForm(AOwner) {
        SetBounds(120, 120, 640, 420);
        // The skin data as the main window's resource sets it up.
        FSkinData = new TspSkinData(this);
        FSkinData->SetAnimationForAllWindows(false);
        FEngine = new TCLEngine(this);
        FEngine->SetSkinData(FSkinData);
        FEngine->OnTitleChange = [this](TObject*) { SetCaption(FEngine->AppTitle()); };
        FEngine->Loaded();
    }

private:
    TCLEngine* FEngine = nullptr;
    TspSkinData* FSkinData = nullptr;
};

} // namespace

int main(int argc, char** argv) {
    SetAppParams(std::vector<std::string>(argv + 1, argv + argc));
    auto backend = display::CreateGtkBackend();
    if (!backend) {
        std::fprintf(stderr, "lantrove: no display to show the windows on (set DISPLAY)\n");
        return 1;
    }
    display::Install(std::move(backend));
    TfrmMain* frmMain = nullptr;
    AppRun(frmMain);
    display::Install(nullptr);
    return 0;
}
