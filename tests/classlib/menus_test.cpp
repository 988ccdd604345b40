#include "classlib/menus.h"

#include "classlib/actnlist.h"

#include <gtest/gtest.h>

namespace {

TEST(Menus, ItemsAreAddedInOrderMovedBetweenParentsAndFreedWithTheirParent) {
    TMenu menu(nullptr);
    auto* file = new TMenuItem(nullptr);
    auto* view = new TMenuItem(nullptr);
    menu.Items()->Add(std::vector<TMenuItem*>{file, view});
    auto* a = new TMenuItem(nullptr);
    auto* b = new TMenuItem(nullptr);
    file->Add(a);
    file->Insert(0, b);
    ASSERT_EQ(file->Count(), 2);
    EXPECT_EQ(file->Items(0), b);
    EXPECT_EQ(a->MenuIndex(), 1);
    view->Add(a); // leaves its old parent
    EXPECT_EQ(file->Count(), 1);
    EXPECT_EQ(a->Parent(), view);
    EXPECT_THROW(a->Add(view), EMenuError); // no cycles
    EXPECT_THROW(file->Items(5), EMenuError);
    delete b; // a freed item leaves its parent
    EXPECT_EQ(file->Count(), 0);
    // The menu frees the rest (the sanitizer reports a leak or double free).
}

TEST(Menus, ItemsOwnedByAFormAndHeldByAParentAreFreedOnce) {
    TComponent owner(nullptr);
    TMenuItem root(nullptr);
    for (int i = 0; i < 3; ++i)
        root.Add(new TMenuItem(&owner));
    owner.DestroyComponents();
    EXPECT_EQ(root.Count(), 0);
    auto* late = new TMenuItem(&owner);
    root.Add(late);
    root.Clear();
    EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(Menus, ClickRunsTheHandlerElseTheAction) {
    TAction action(nullptr);
    int executed = 0;
    action.OnExecute = [&](TObject*) { ++executed; };
    TMenuItem item(nullptr);
    item.SetAction(&action);
    item.Click();
    EXPECT_EQ(executed, 1);
    int clicked = 0;
    item.OnClick = [&](TObject*) { ++clicked; };
    item.Click();
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(executed, 1);
    item.Enabled = false;
    item.Click();
    EXPECT_EQ(clicked, 1);
    {
        TAction gone(nullptr);
        item.SetAction(&gone);
    }
    EXPECT_EQ(item.Action(), nullptr);
}

} // namespace
