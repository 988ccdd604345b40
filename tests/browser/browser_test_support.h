// A form with one headless browser, the program folder and the settings
// files in a temporary folder, and loops that run until something happens.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "browser/EmbeddedBrowser.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "platform/os/folders.h"
#include "platform/webview/headless.h"
#include "support/tempdir.h"

inline void pumpFor(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

template <class Pred> bool pumpUntil(Pred done, int ms = 3000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

class BrowserFixture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", dir.file("user").c_str(), 1);
        setenv("LANTROVE_COMMON_APPDATA", dir.file("common").c_str(), 1);
        os::SetProgramFileNameOverride(dir.file("prog/lantrove"));
        // A wait on a browser that shows nothing ends at this limit.
        savedWaitLimit = TEmbeddedBrowser::UnboundedWaitLimitMs();
        TEmbeddedBrowser::UnboundedWaitLimitMs() = 2000;
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(10, 10, 400, 300);
        form->HandleNeeded();
        browser = newBrowser(form.get());
        form->Show();
    }
    void TearDown() override {
        form.reset();
        TEmbeddedBrowser::UnboundedWaitLimitMs() = savedWaitLimit;
        webview::HeadlessView::ClearResources();
        os::SetProgramFileNameOverride("");
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("LANTROVE_COMMON_APPDATA");
    }
    TEmbeddedBrowser* newBrowser(TWinControl* parent) {
        auto* b = new TEmbeddedBrowser(form.get());
        b->UseHeadlessView();
        b->SetBounds(0, 0, 300, 200);
        b->SetParent(parent);
        b->LoadSettings();
        return b;
    }
    webview::HeadlessView* view(TEmbeddedBrowser* b = nullptr) {
        return static_cast<webview::HeadlessView*>((b ? b : browser)->WebView());
    }
    bool show(const std::string& html, TEmbeddedBrowser* b = nullptr) {
        b = b ? b : browser;
        b->LoadFromWideString(std::u16string(html.begin(), html.end()));
        return pumpUntil([&] { return b->ReadyState() == 4; });
    }

    TempDir dir;
    std::unique_ptr<TForm> form;
    TEmbeddedBrowser* browser = nullptr;
    uint32_t savedWaitLimit = 0;
};
