// Tests of one skinned form on the headless display: the test screen, the
// Default skin loaded afresh for each test, and the form the test makes,
// which goes at the end.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "classlib/forms.h"
#include "platform/win/metrics.h"
#include "skin/forms/SkinnedForm.h"
#include "skin/skin_test_support.h"
#include "support/headless.h"

namespace skintest {

// 1280 x 1024 with a task bar along the bottom.
inline void UseTestMonitors() {
    SetMonitors({MonitorDesc{RECT{0, 0, 1280, 1024}, RECT{0, 0, 1280, 1000}}});
}

class SkinnedFormFixture : public ::testing::Test {
protected:
    void SetUp() override {
        UseTestMonitors();
        skin = LoadDefaultSkin();
        ASSERT_FALSE(skin->Empty);
    }
    void TearDown() override {
        delete form;
        form = nullptr;
        headlesstest::pump();
        skin.reset();
        SetMonitors({});
    }
    // A shown, active form of the given size, with the skin bound when asked.
    void MakeForm(int w, int h, bool withSkin = true) {
        form = new TForm(nullptr);
        form->SetCaption("Lantrove");
        form->SetBounds(100, 80, w, h);
        sf = new TspSkinnedForm(form);
        if (withSkin) sf->SetSkinData(skin.get());
        form->Show();
        SetActiveWindow(form->Handle());
        headlesstest::pump();
    }

    std::unique_ptr<TspSkinData> skin;
    TForm* form = nullptr;
    TspSkinnedForm* sf = nullptr;
};

} // namespace skintest
