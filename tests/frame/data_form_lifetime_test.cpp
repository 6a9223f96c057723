// Lifetime of data windows: closing masters, propagation while windows come
// and go, first show, activation and the menus' refresh.

#include <gtest/gtest.h>

#include <QCloseEvent>

#include "frame/config/placement_scheme.h"
#include "frame/windows/style.h"
#include "tests/frame/data_form_test_support.h"

using namespace dftest;

namespace {

const uint16_t kList = PackKindCode("DNA");
const uint16_t kViewer = PackKindCode("DFA");

class DataFormLifetime : public ShownHostTest {
protected:
    void TearDown() override
    {
        SetRefreshMenusHook({});
        ShownHostTest::TearDown();
    }
    ProbeWindow* Open(uint16_t kind, const char* name, TDataForm* master, LinkKind linkKind, bool dependent)
    {
        auto* w = new ProbeWindow(kind, name);
        w->Master = master;
        w->LinkKinds[0] = linkKind;
        w->Dependent = dependent;
        w->Show();
        return w;
    }
};

class StubbornWindow : public ProbeWindow {
public:
    using ProbeWindow::ProbeWindow;
    bool refuse = true;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (refuse)
            event->ignore();
        else
            event->accept();
    }
};

} // namespace

TEST_F(DataFormLifetime, ClosingAMasterClosesItsDependantAndDetachesTheOther)
{
    // Closed by the user, and destroyed without a close (as when the main
    // window takes its children down): the same outcome, no stale master.
    for (const bool destroyDirectly : {false, true}) {
        SCOPED_TRACE(destroyDirectly ? "destroyed" : "closed");
        ProbeWindow* master = Open(kList, "master", host, LinkKind::None, false);
        master->LinkKinds[1] = LinkKind::Drug;
        // A viewer that never propagates anything, and an independent list.
        ProbeWindow* viewer = Open(kViewer, "viewer", master, LinkKind::Drug, true);
        ProbeWindow* independent = Open(kList, "independent", master, LinkKind::Drug, false);
        DataFormRef viewerRef(viewer);

        if (destroyDirectly)
            delete master;
        else
            EXPECT_TRUE(master->CloseWindow());
        EXPECT_EQ(viewerRef.get(), viewer) << "nothing happens inside the close itself";
        Settle();
        EXPECT_EQ(viewerRef.get(), nullptr) << "the dependent viewer closed";
        ASSERT_EQ(AllDataForms().size(), 2u);
        EXPECT_EQ(independent->Master.get(), nullptr) << "detached";
        EXPECT_EQ(independent->received, std::vector<int32_t>{-1});
        EXPECT_FALSE(independent->Closing());

        // What a Window menu would read now is safe: no master to follow.
        int32_t value = 0;
        TDataForm* window = nullptr;
        host->area->setActiveSubWindow(independent->SubWindow());
        EXPECT_EQ(FindDataWindow(kViewer, LinkKind::Drug, value, window), -1);
        delete independent;
    }
}

TEST_F(DataFormLifetime, PropagationReachesEachLiveTargetOnce)
{
    // The first target's ResetData closes the second target (and, in the
    // second round, deletes it at once) and opens a new window under the
    // same master; the third target still gets the value once.
    for (const bool deleteAtOnce : {false, true}) {
        SCOPED_TRACE(deleteAtOnce ? "deleted" : "closed");
        ProbeWindow* master = Open(kList, "master", host, LinkKind::None, false);
        master->LinkKinds[1] = LinkKind::Drug;
        ProbeWindow* t1 = Open(kViewer, "t1", master, LinkKind::Drug, true);
        ProbeWindow* t2 = Open(kViewer, "t2", master, LinkKind::Drug, true);
        ProbeWindow* t3 = Open(kViewer, "t3", master, LinkKind::Drug, false);
        ProbeWindow* opened = nullptr;
        DataFormRef t2Ref(t2);
        t1->onReset = [&](int32_t) {
            if (t2Ref.get() != nullptr) {
                if (deleteAtOnce)
                    delete t2Ref.get();
                else
                    t2Ref->CloseWindow();
            }
            if (opened == nullptr)
                opened = Open(kViewer, "opened", master, LinkKind::Drug, true);
        };
        master->LinkValues[1] = 21;
        EXPECT_EQ(master->PropagateLinks(), 2);
        EXPECT_EQ(t1->received, std::vector<int32_t>{21});
        if (t2Ref.get() != nullptr) {
            EXPECT_TRUE(static_cast<ProbeWindow*>(t2Ref.get())->received.empty());
        }
        EXPECT_EQ(t3->received, std::vector<int32_t>{21});
        ASSERT_NE(opened, nullptr);
        EXPECT_TRUE(opened->received.empty()) << "opened during the pass: not part of it";
        // The next pass reaches the new window.
        EXPECT_EQ(master->PropagateLinks(), 3);
        EXPECT_EQ(opened->received, std::vector<int32_t>{21});
        CloseDataWindowsButMain();
        Settle();
    }
}

TEST_F(DataFormLifetime, ATargetMayDestroyThePropagatingWindow)
{
    ProbeWindow* master = Open(kList, "master", host, LinkKind::None, false);
    master->LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::Drug};
    master->LinkValues = {0, 3, 4};
    DataFormRef masterRef(master);
    ProbeWindow* target = Open(kViewer, "target", master, LinkKind::Drug, false);
    target->onReset = [&](int32_t) { delete masterRef.get(); };
    EXPECT_EQ(master->PropagateLinks(), 1);
    EXPECT_EQ(masterRef.get(), nullptr);
    EXPECT_EQ(target->received, std::vector<int32_t>{3});
    Settle();
    EXPECT_EQ(target->received, (std::vector<int32_t>{3, -1})) << "then detached by the queued notice";
}

TEST_F(DataFormLifetime, ARefusedCloseLeavesTheWindowOpen)
{
    auto* w = new StubbornWindow(kList, "stubborn");
    w->Master = host;
    w->Show();
    EXPECT_FALSE(w->CloseWindow());
    EXPECT_FALSE(w->Closing());
    Settle();
    ASSERT_EQ(AllDataForms().size(), 2u);
    w->refuse = false;
    EXPECT_TRUE(w->CloseWindow());
    EXPECT_TRUE(w->Closing());
    Settle();
    EXPECT_EQ(AllDataForms().size(), 1u);
}

TEST_F(DataFormLifetime, FirstShowResizeActivationAndMenus)
{
    std::vector<TDataForm*> refreshed;
    SetRefreshMenusHook([&](TDataForm* active) { refreshed.push_back(active); });

    auto* w = new ProbeWindow(kList, "w");
    w->Master = host;
    EXPECT_TRUE(w->Starting);
    EXPECT_TRUE(w->PaintBlocked);
    w->Show();
    EXPECT_FALSE(w->Starting) << "FormStart ran at the first show";
    w->ResetData(0);
    EXPECT_FALSE(w->PaintBlocked);

    host->area->setActiveSubWindow(w->SubWindow());
    ASSERT_FALSE(refreshed.empty());
    EXPECT_EQ(refreshed.back(), w) << "activation refreshes the menus for the window";

    auto* second = new ProbeWindow(kViewer, "second");
    second->Master = host;
    second->Show();
    host->area->setActiveSubWindow(second->SubWindow());
    EXPECT_EQ(refreshed.back(), second);

    // The last data window going away refreshes the menus once more, for no
    // window at all.
    second->CloseWindow();
    Settle();
    refreshed.clear();
    w->CloseWindow();
    Settle();
    ASSERT_FALSE(refreshed.empty());
    EXPECT_EQ(refreshed.back(), nullptr);
}
