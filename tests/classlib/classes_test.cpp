#include "classlib/classes.h"
#include "classlib/strings.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_log;

// Records notifications and its own destruction in g_log.
class TProbe : public TComponent {
public:
    explicit TProbe(TComponent* AOwner, const std::string& AName = {}) : TComponent(AOwner) {
        SetName(AName);
    }
    ~TProbe() override {
        // Components freed by their owner already know it.
        g_log.push_back("free " + Name() + (HasState(csDestroying) ? " (destroying)" : ""));
    }
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        g_log.push_back(Name() + (Operation == opInsert ? " +" : " -") + AComponent->Name());
        if (Operation == opRemove && AComponent == Watched) Watched = nullptr;
    }
    TComponent* Watched = nullptr;
};

class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override { g_log.clear(); }
};

TEST_F(ComponentTest, OwnerFreesItsComponentsLastFirst) {
    auto* owner = new TProbe(nullptr, "owner");
    new TProbe(owner, "a");
    auto* b = new TProbe(owner, "b");
    new TProbe(b, "b1");
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(b->ComponentIndex(), 1);
    g_log.clear();
    delete owner;
    // Each destructor body runs before its components go.
    EXPECT_EQ(g_log, (std::vector<std::string>{"free owner", "free b (destroying)",
                                               "free b1 (destroying)", "free a (destroying)"}));
}

TEST_F(ComponentTest, InsertAndRemoveAreAnnouncedToOwnerAndSiblings) {
    TProbe owner(nullptr, "owner");
    auto* a = new TProbe(&owner, "a");
    EXPECT_EQ(g_log, (std::vector<std::string>{"owner +"})); // named after insertion
    g_log.clear();
    auto* b = new TProbe(nullptr, "b");
    owner.InsertComponent(b);
    EXPECT_EQ(g_log, (std::vector<std::string>{"a +b", "b +b", "owner +b"}));
    g_log.clear();
    delete a;
    EXPECT_EQ(g_log, (std::vector<std::string>{"free a", "b -a", "owner -a"}));
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(b->Owner(), &owner);
    owner.RemoveComponent(b);
    EXPECT_EQ(b->Owner(), nullptr);
    EXPECT_EQ(owner.ComponentCount(), 0);
    delete b;
}

TEST_F(ComponentTest, FreeNotificationReachesComponentsOfOtherOwners) {
    TProbe formA(nullptr, "formA");
    TProbe formB(nullptr, "formB");
    auto* watcher = new TProbe(&formA, "watcher");
    auto* target = new TProbe(&formB, "target");
    watcher->Watched = target;
    watcher->FreeNotification(target);
    g_log.clear();
    delete target;
    EXPECT_EQ(watcher->Watched, nullptr);
    EXPECT_NE(std::find(g_log.begin(), g_log.end(), "watcher -target"), g_log.end());

    // A watcher that goes first is forgotten by what it watched.
    auto* target2 = new TProbe(&formB, "target2");
    watcher->FreeNotification(target2);
    delete watcher;
    g_log.clear();
    delete target2; // must not reach the freed watcher
    EXPECT_EQ(g_log, (std::vector<std::string>{"free target2", "formB -target2"}));
}

TEST_F(ComponentTest, NamesAreUniqueWithinAnOwnerWithoutRegardToCase) {
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    a->SetName("btnOk");
    auto* b = new TComponent(&owner);
    EXPECT_THROW(b->SetName("BTNOK"), EComponentError);
    EXPECT_EQ(b->Name(), "");
    b->SetName("btnCancel");
    EXPECT_EQ(owner.FindComponent("BtnCancel"), b);
    EXPECT_EQ(owner.FindComponent("none"), nullptr);
    TComponent other(nullptr);
    auto* c = new TComponent(&other);
    c->SetName("btnok");
    EXPECT_THROW(owner.InsertComponent(c), EComponentError);
    EXPECT_EQ(c->Owner(), &other); // a refused move leaves it where it was
}

TEST_F(ComponentTest, StatesSpreadAndLoadedEndsLoading) {
    TComponent owner(nullptr);
    owner.SetDesigning(true);
    auto* child = new TComponent(&owner);
    EXPECT_TRUE(child->HasState(csDesigning));
    owner.SetDesigning(false);
    EXPECT_FALSE(child->HasState(csDesigning));
    child->BeginLoading();
    EXPECT_TRUE(child->HasState(csLoading));
    child->Loaded();
    EXPECT_FALSE(child->HasState(csLoading));
}

TEST(ObjectBaseTest, ClassNameAndAssignErrors) {
    TStringList list;
    TComponent comp(nullptr);
    EXPECT_EQ(list.ClassName(), "TStringList");
    EXPECT_EQ(comp.ClassName(), "TComponent");
    TPersistent* asPersistent = &list;
    EXPECT_EQ(asPersistent->ClassName(), "TStringList");
    EXPECT_THROW(comp.Assign(&list), EConvertError);
}

TEST(PointerListTest, IndexingAndEditing) {
    int a = 1, b = 2, c = 3;
    TList list;
    list.Add(&a);
    list.Add(&b);
    list.Insert(0, &c);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0], &c);
    EXPECT_EQ(list.IndexOf(&b), 2);
    list.Move(0, 2);
    EXPECT_EQ(list.Last(), &c);
    list.Exchange(0, 1);
    EXPECT_EQ(list.First(), &b);
    EXPECT_EQ(list.Remove(&a), 1);
    EXPECT_EQ(list.Remove(&a), -1);
    EXPECT_THROW(list.Items(2), EListError);
    EXPECT_THROW(list.Insert(5, &a), EListError);
    EXPECT_THROW(list.Delete(-1), EListError);
    list.Add(nullptr);
    list.Pack();
    EXPECT_EQ(list.Count(), 2);
}

TEST(PointerListTest, SortIsStable) {
    std::vector<std::pair<int, char>> items = {{2, 'a'}, {1, 'b'}, {2, 'c'}, {1, 'd'}};
    TList list;
    for (auto& it : items)
        list.Add(&it);
    list.Sort([](void* x, void* y) {
        return static_cast<std::pair<int, char>*>(x)->first -
               static_cast<std::pair<int, char>*>(y)->first;
    });
    std::string order;
    for (int i = 0; i < list.Count(); ++i)
        order += static_cast<std::pair<int, char>*>(list[i])->second;
    EXPECT_EQ(order, "bdac");
}

TEST(PointerListTest, ObjectListFreesWhatItOwns) {
    int freed = 0;
    struct Counted : TObject {
        explicit Counted(int& n) : n(n) {}
        ~Counted() override { ++n; }
        int& n;
    };
    {
        TObjectList list;
        auto* kept = new Counted(freed);
        list.Add(new Counted(freed));
        list.Add(kept);
        list.Add(new Counted(freed));
        list.Delete(0);
        EXPECT_EQ(freed, 1);
        EXPECT_EQ(list.Extract(kept), kept); // extracting hands it back unfreed
        EXPECT_EQ(freed, 1);
        delete kept;
        EXPECT_EQ(freed, 2);
    }
    EXPECT_EQ(freed, 3); // the last one went with the list
    {
        Counted outside(freed);
        TObjectList borrowed(false);
        borrowed.Add(&outside);
    }
    EXPECT_EQ(freed, 4); // only `outside` itself
}

} // namespace
