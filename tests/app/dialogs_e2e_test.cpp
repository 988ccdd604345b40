// Every dialog of the program answered with the mouse, over the main window,
// as a person does: the download dialog (boxes clicked and typed into, the
// folder chooser, OK), the options (a box ticked, the jobs raised, OK and
// Cancel, and the keys), the about box, the update dialog and a message
// box. Each belongs to the main window for the window manager and holds it
// while it shows; when it goes, the main window has the focus again and
// what was entered took effect.
#include "program_e2e_support.h"

#include <cstdint>

namespace {

using namespace e2e;

// Where things sit, from a window's outer top-left, under the Default skin.
// The main window's menu bar and the items of its menus:
constexpr int kToolsX = 117, kHelpX = 164;
constexpr int kOptionsItemX = 164, kOptionsItemY = 146;
constexpr int kUpdateItemX = 190, kUpdateItemY = 127;
constexpr int kAboutItemX = 197, kAboutItemY = 161;
constexpr int kSearchButtonX = 913;
// The download dialog (tag fields shown), the options, about, update and
// message boxes.
constexpr int kArtistX = 275, kArtistY = 225, kAlbumY = 255;
constexpr int kBrowseX = 426, kBrowseY = 86;
constexpr int kDownloadOkX = 311, kDownloadButtonsY = 290;
constexpr int kShowListBoxX = 35, kShowListBoxY = 139;
constexpr int kJobsUpX = 246, kJobsUpY = 186;
constexpr int kOptionsOkX = 273, kOptionsCancelX = 369, kOptionsButtonsY = 308;
constexpr int kAboutOkX = 344, kAboutOkY = 233;
constexpr int kUpdateOkX = 245, kUpdateCancelX = 346, kUpdateButtonsY = 223;
constexpr int kMessageOkX = 120, kMessageOkY = 100;

uint64_t IdOf(const std::string& text) {
    return std::strtoull(text.c_str(), nullptr, 0);
}

// A property of an X window as xprop prints it.
std::string Prop(const Window& w, const std::string& name) {
    return Output("xprop -id " + w.id + " " + name);
}

// The window the keyboard goes to.
uint64_t Focused() {
    return IdOf(Output("xdotool getwindowfocus"));
}

class DialogsE2E : public ProgramE2E {
protected:
    void ClickIn(const Window& w, int x, int y) { ClickAt(w.x + x, w.y + y); }

    // A visible window the window manager is told belongs to the main window.
    bool Owned(Window& out) {
        std::istringstream ids(Output("xdotool search --onlyvisible --name ."));
        std::string id;
        while (ids >> id) {
            const std::string owner = Output("xprop -id " + id + " WM_TRANSIENT_FOR");
            const auto hash = owner.find("# ");
            if (hash == std::string::npos || IdOf(owner.substr(hash + 2)) != IdOf(main.id))
                continue;
            out = GeometryOf(id);
            return true;
        }
        return false;
    }

    // Waits for the dialog of that title; checks what the window manager
    // is told of it.
    Window Dialog(const std::string& title) {
        Window w;
        EXPECT_TRUE(WaitFor([&] { return FindWindow(title, w) && w.id != main.id; }, 20000))
            << title << "\n"
            << dir.read("program.log");
        EXPECT_NE(Prop(w, "WM_TRANSIENT_FOR").find(ToHex(main.id)), std::string::npos) << title;
        EXPECT_NE(Prop(w, "_NET_WM_WINDOW_TYPE").find("_NET_WM_WINDOW_TYPE_DIALOG"),
                  std::string::npos);
        EXPECT_NE(Prop(w, "_NET_WM_STATE").find("_NET_WM_STATE_MODAL"), std::string::npos);
        // It takes the keyboard.
        EXPECT_TRUE(WaitFor([&] { return Focused() == IdOf(w.id); }, 10000)) << title;
        return w;
    }
    static std::string ToHex(const std::string& id) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(IdOf(id)));
        return buf;
    }

    // The dialog is gone and the main window has the keyboard again.
    void Gone(const Window& dlg) {
        EXPECT_TRUE(WaitFor([&] { return !Shown(dlg.id); }, 10000));
        EXPECT_TRUE(WaitFor([&] { return Focused() == IdOf(main.id); }, 10000))
            << "the keyboard goes to " << Focused();
    }
    static bool Shown(const std::string& id) {
        std::istringstream ids(Output("xdotool search --onlyvisible --name ."));
        std::string each;
        while (ids >> each)
            if (each == id) return true;
        return false;
    }

    // The main window takes no input while a dialog shows: its menus stay
    // shut (no second dialog opens), and the dialog keeps the keyboard.
    void MainHeldBy(const Window& dlg) {
        const int before = Count("Options");
        ClickAt(main.x + kToolsX, main.y + kMenuBarY);
        ClickAt(main.x + kOptionsItemX, main.y + kOptionsItemY);
        EXPECT_FALSE(WaitFor([&] { return Count("Options") > before; }, 1500));
        EXPECT_TRUE(WaitFor([&] { return Focused() == IdOf(dlg.id); }, 10000));
    }
    static int Count(const std::string& title) {
        std::istringstream ids(Output("xdotool search --onlyvisible --name '^" + title + "$'"));
        std::string id;
        int n = 0;
        while (ids >> id)
            ++n;
        return n;
    }

    // Puts keys for these symbols on the keyboard (on codes of keys this
    // display lacks), as a user's own layout would; TearDown takes them off.
    void KeyboardWith(const std::vector<std::string>& symbols) {
        int code = 249;
        for (const std::string& sym : symbols) {
            FKeys.push_back(
                Output("xmodmap -pke | grep '^keycode *" + std::to_string(code) + " '"));
            ASSERT_EQ(Shell("xmodmap -e 'keycode " + std::to_string(code++) + " = " + sym + "'"),
                      0);
        }
    }
    void TearDown() override {
        for (const std::string& line : FKeys)
            if (!line.empty()) Shell("xmodmap -e '" + line.substr(0, line.find('\n')) + "'");
        ProgramE2E::TearDown();
    }
    std::vector<std::string> FKeys;

    void OpenMenuItem(int menuX, int itemX, int itemY) {
        ClickAt(main.x + menuX, main.y + kMenuBarY);
        ClickAt(main.x + itemX, main.y + itemY);
    }
};

TEST_F(DialogsE2E, DownloadDialogAnsweredWithTheMouse) {
    fs::create_directories(out + "/chosen");
    WriteSettings();
    Start();
    // A search through the box and the button.
    ClickAt(main.x + kPageLeft + 100, main.y + kSearchY);
    Type("night music");
    ClickAt(main.x + kSearchButtonX, main.y + kSearchY);
    ASSERT_TRUE(WaitRequest("/search?q=night+music&page=1", 1)) << dir.read("program.log");
    ASSERT_TRUE(WaitFor(
        [&] {
            return DarkPixels(main.x + kPageLeft + kDownloadX - 20,
                              main.y + kPageTop + kRowTop + kRowHeight / 2 - 4, 40, 8) > 20;
        },
        20000));

    ClickRow(0, kDownloadX);
    const Window dlg = Dialog("Download MP3");
    MainHeldBy(dlg);
    // The folder chooser (the toolkit's own) answered with a folder typed
    // into its location box; the dialog takes input again after it.
    ClickIn(dlg, kBrowseX, kBrowseY);
    Window chooser;
    ASSERT_TRUE(WaitFor([&] { return FindWindow("Save to", chooser); }, 20000));
    ASSERT_TRUE(WaitFor([&] { return Focused() == IdOf(chooser.id); }, 10000));
    Key("ctrl+l");
    Type(out + "/chosen/");
    Key("Return");
    ASSERT_TRUE(WaitFor([&] { return !Shown(chooser.id); }, 10000));
    EXPECT_TRUE(WaitFor([&] { return Focused() == IdOf(dlg.id); }, 10000));
    // The boxes, clicked and typed into; then OK.
    ClickIn(dlg, kArtistX, kArtistY);
    Type("Artist Two");
    ClickIn(dlg, kArtistX, kAlbumY);
    Type("Album Two");
    ClickIn(dlg, kDownloadOkX, kDownloadButtonsY);
    Gone(dlg);

    std::vector<std::string> mp3s;
    ASSERT_TRUE(WaitFor(
        [&] {
            mp3s.clear();
            for (const auto& e : fs::directory_iterator(out + "/chosen"))
                if (e.path().extension() == ".mp3") mp3s.push_back(e.path().string());
            return !mp3s.empty() &&
                   Probe(mp3s[0], "format_tags=album").find("Album Two") != std::string::npos;
        },
        90000))
        << dir.read("program.log");
    EXPECT_NE(Probe(mp3s[0], "format_tags=artist").find("Artist Two"), std::string::npos);
    Stop(false);
}

TEST_F(DialogsE2E, OptionsAboutUpdateAndMessageBoxAnsweredWithTheMouse) {
    WriteSettings();
    Start();

    // Options: a box ticked, one job more, OK.
    OpenMenuItem(kToolsX, kOptionsItemX, kOptionsItemY);
    Window opt = Dialog("Options");
    MainHeldBy(opt);
    ClickIn(opt, kShowListBoxX, kShowListBoxY);
    ClickIn(opt, kJobsUpX, kJobsUpY);
    ClickIn(opt, kOptionsOkX, kOptionsButtonsY);
    Gone(opt);
    EXPECT_TRUE(WaitFor(
        [&] {
            const std::string s = SettingsText();
            return s.find("Settings.ShowListWhenAddTask=1") != std::string::npos &&
                   s.find("Settings.MaxTasks=3") != std::string::npos;
        },
        10000))
        << SettingsText();

    // Options again: the same box unticked, then Cancel keeps it ticked.
    OpenMenuItem(kToolsX, kOptionsItemX, kOptionsItemY);
    opt = Dialog("Options");
    ClickIn(opt, kShowListBoxX, kShowListBoxY);
    ClickIn(opt, kOptionsCancelX, kOptionsButtonsY);
    Gone(opt);
    EXPECT_NE(SettingsText().find("Settings.ShowListWhenAddTask=1"), std::string::npos);

    // And by keys: Tab to the first box, Space ticks it, Return is OK.
    OpenMenuItem(kToolsX, kOptionsItemX, kOptionsItemY);
    opt = Dialog("Options");
    Key("Tab");
    Key("space");
    Key("Return");
    Gone(opt);
    EXPECT_TRUE(WaitFor(
        [&] { return SettingsText().find("Settings.AutoRun=1") != std::string::npos; }, 10000))
        << SettingsText();

    // About: Ok.
    OpenMenuItem(kHelpX, kAboutItemX, kAboutItemY);
    Window about = Dialog("About Lantrove");
    MainHeldBy(about);
    ClickIn(about, kAboutOkX, kAboutOkY);
    Gone(about);

    // The update dialog with a newer version: its text and buttons show,
    // Cancel closes it; with none newer, its one button (where Cancel was).
    site::Switches newer;
    ASSERT_TRUE(site::ApplySwitch(newer, "update-version", "9.9.9.9"));
    ASSERT_TRUE(site::ApplySwitch(newer, "update-result", "1"));
    site.SetSwitches(newer);
    OpenMenuItem(kHelpX, kUpdateItemX, kUpdateItemY);
    Window update = Dialog("Update Lantrove");
    EXPECT_TRUE(
        WaitFor([&] { return DarkPixels(update.x + 10, update.y + 100, 380, 18) > 30; }, 20000));
    EXPECT_TRUE(WaitFor(
        [&] {
            return DarkPixels(update.x + kUpdateOkX - 20, update.y + kUpdateButtonsY - 6, 40, 12) >
                   0;
        },
        10000))
        << update.w << "x" << update.h;
    ClickIn(update, kUpdateCancelX, kUpdateButtonsY);
    Gone(update);
    site.SetSwitches(site::Switches());
    OpenMenuItem(kHelpX, kUpdateItemX, kUpdateItemY);
    update = Dialog("Update Lantrove");
    EXPECT_TRUE(
        WaitFor([&] { return DarkPixels(update.x + 10, update.y + 100, 380, 18) > 30; }, 20000));
    ClickIn(update, kUpdateCancelX, kUpdateButtonsY);
    Gone(update);

    // A keyboard with letters of another script, a symbol and a dead key,
    // set up well ahead of the typing below: typing that follows a click made
    // right after a keymap rewrite is lost for a moment by any client of the
    // test's X server, a plain toolkit entry too.
    KeyboardWith(
        {"Cyrillic_en", "Cyrillic_o", "Cyrillic_che", "Cyrillic_softsign", "U266A", "dead_acute"});
    // A message box: a search with no keyword.
    ClickAt(main.x + kSearchButtonX, main.y + kSearchY);
    Window box;
    ASSERT_TRUE(WaitFor([&] { return Owned(box); }, 20000)) << dir.read("program.log");
    EXPECT_EQ(box.w, 240) << Output("xdotool getwindowname " + box.id);
    EXPECT_NE(Prop(box, "_NET_WM_STATE").find("_NET_WM_STATE_MODAL"), std::string::npos);
    MainHeldBy(box);
    ClickIn(box, kMessageOkX, kMessageOkY);
    Gone(box);

    // The main window takes typing again: text in another script, a dead
    // key's accent (through the input method) and a symbol reach the search
    // box whole, from a keyboard that has them.
    ClickAt(main.x + kPageLeft + 100, main.y + kSearchY);
    Type("ночь & day ♪ ");
    Key("dead_acute");
    Key("e");
    Key("Return");
    EXPECT_TRUE(
        WaitRequest("/search?q=%D0%BD%D0%BE%D1%87%D1%8C+%26+day+%E2%99%AA+%C3%A9&page=1", 1))
        << [&] {
               std::string all;
               for (const std::string& r : site.Requests())
                   all += r + "\n";
               return all;
           }();
    Stop(false);
}

} // namespace
