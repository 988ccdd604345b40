// Shows a skinned form with the Default skin in a real window: drag the
// caption to move it (it snaps to the screen edges), the borders to size it;
// the caption buttons minimize, maximize and close it, a double click on the
// caption maximizes it and a right click opens the system menu's items.
#include <algorithm>
#include <cstdio>
#include <string>

#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "platform/display/gtk.h"
#include "platform/os/folders.h"
#include "skin/forms/SkinnedForm.h"

namespace {

class TDemoForm : public TForm {
public:
    explicit TDemoForm(TComponent* AOwner) : TForm(AOwner) {
        SetBounds(100, 100, 420, 260);
        SetCaption("Lantrove form demo");
        FSkin = new TspSkinData(this);
        try {
            FSkin->LoadFromCompressedFile(os::ProgramFolder() + "skins/Default.skn");
        } catch (const std::exception& e) {
            std::fprintf(stderr, "formdemo: %s\n", e.what());
        }
        FSkinned = new TspSkinnedForm(this);
        FSkinned->Magnetic = true;
        FSkinned->SetSkinData(FSkin);
        FBack = new TPanel(this);
        FBack->SetParent(this);
        FStatus = new TPanel(FBack);
        FStatus->SetCaption("Drag the caption or the borders; try the caption buttons.");
        FStatus->SetParent(FBack);
        FButton = new TButton(FBack);
        FButton->SetCaption("&Count");
        FButton->SetParent(FBack);
        FButton->OnClick = [this](TObject*) {
            FStatus->SetCaption("Clicked " + std::to_string(++FClicks) + " time(s)");
        };
        Arrange();
    }

    void WndProc(TMessage& Message) override {
        TForm::WndProc(Message);
        if (Message.Msg == WM_SIZE) Arrange();
    }

protected:
    void CreateWnd() override {
        TForm::CreateWnd();
        Arrange();
    }

private:
    // Keeps the controls laid out in the client area as the form is sized.
    void Arrange() {
        if (!FBack) return;
        RECT client{0, 0, Width(), Height()};
        if (HandleAllocated()) GetClientRect(Handle(), &client);
        FBack->SetBounds(0, 0, client.right, client.bottom);
        FStatus->SetBounds(12, 12, std::max(40, int(client.right) - 24), 32);
        FButton->SetBounds(12, 56, 96, 28);
    }

    TspSkinData* FSkin = nullptr;
    TspSkinnedForm* FSkinned = nullptr;
    TPanel* FBack = nullptr;
    TPanel* FStatus = nullptr;
    TButton* FButton = nullptr;
    int FClicks = 0;
};

} // namespace

int main() {
    auto backend = display::CreateGtkBackend();
    if (!backend) {
        std::fprintf(stderr, "formdemo: no display\n");
        return 1;
    }
    display::Install(std::move(backend));
    Application->Initialize();
    TDemoForm* form = nullptr;
    Application->CreateForm(form);
    Application->Run();
    delete Application;
    Application = nullptr;
    display::Install(nullptr);
    return 0;
}
