// Placement applied to the MDI area: modes, cascades, storing and
// re-applying a scheme, and screenshots of the layouts.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QMdiSubWindow>
#include <QScreen>
#include <QScrollBar>

#include "frame/windows/placement.h"
#include "tests/frame/data_form_test_support.h"

using namespace dftest;

namespace {

class PlacementMdi : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        Config().Update([](ConfigValues& v) {
            v.schemes = PlacementSchemes{};
            for (int s = kFirstScheme; s <= kLastScheme; ++s)
                SetDefaultScheme(v.schemes, s);
        });
        host = new TestHost;
        host->area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        host->area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        host->show();
        Settle();
    }
    void TearDown() override
    {
        DeleteDataWindows(host);
        delete host;
        Settle();
    }
    QSize Client() const { return host->area->viewport()->size(); }
    ProbeWindow* Placed(const char* kind, uint8_t mode)
    {
        auto* w = new ProbeWindow(PackKindCode(kind), kind);
        w->Master = host;
        w->UmistiFormularInMode(mode);
        return w;
    }
    QRect Expected(int scheme, const char* kind) const
    {
        const PlacementSchemes s = Config().Read([](const ConfigValues& v) { return v.schemes; });
        const int i = FindPlacementRecord(s.table, static_cast<uint8_t>(scheme), PackKindCode(kind));
        EXPECT_GE(i, 0) << kind;
        return i >= 0 ? RecordRect(s.table[static_cast<size_t>(i)], Client()) : QRect();
    }

    ScopedConfig config;
    TestHost* host = nullptr;
};

} // namespace

TEST_F(PlacementMdi, ModesMaximisedFreeAndScheme)
{
    ProbeWindow* maxed = Placed("DMA", 0);
    EXPECT_TRUE(maxed->SubWindow()->isMaximized());
    EXPECT_TRUE(maxed->SubWindow()->isVisible());
    maxed->CloseWindow();
    Settle();

    auto* free = new ProbeWindow(PackKindCode("DMA"), "free");
    free->Master = host;
    QMdiSubWindow* sub = free->AttachToMdiArea();
    sub->setGeometry(17, 23, 300, 200);
    free->UmistiFormularInMode(1);
    EXPECT_EQ(sub->geometry(), QRect(17, 23, 300, 200)) << "left where it was";
    EXPECT_FALSE(sub->isMaximized());

    // Scheme 1 has a record of its own for DMA.
    free->UmistiFormularInMode(2);
    EXPECT_EQ(sub->geometry(), Expected(2, "DMA"));
    // From maximised back to a scheme: normal state, scheme rectangle.
    sub->showMaximized();
    free->UmistiFormularInMode(4);
    EXPECT_FALSE(sub->isMaximized());
    EXPECT_EQ(sub->geometry(), Expected(4, "DMA"));
}

TEST_F(PlacementMdi, FreeModeOpensAtTheDesignSizeAndKeepsMaximisedWindowsMaximised)
{
    // A probe window's design size is its widget's size, 240 x 160.
    ProbeWindow* first = Placed("DNA", 1);
    QMdiSubWindow* sub = first->SubWindow();
    const QMargins frame = sub->contentsMargins();
    EXPECT_EQ(sub->geometry(), QRect(QPoint(0, 0), QSize(240, 160).grownBy(frame)));
    ProbeWindow* second = Placed("DMA", 1);
    EXPECT_EQ(second->SubWindow()->geometry(),
              QRect(QPoint(frame.top(), frame.top()), QSize(240, 160).grownBy(frame)))
        << "one title bar right and down of the first";

    // Over a maximised active window a new one opens maximised; the one
    // below stays maximised, and restores to its design size.
    host->area->setActiveSubWindow(sub);
    sub->showMaximized();
    Settle();
    ProbeWindow* third = Placed("DLL", 1);
    Settle();
    EXPECT_TRUE(third->SubWindow()->isMaximized());
    EXPECT_TRUE(sub->isMaximized());
    EXPECT_FALSE(second->SubWindow()->isMaximized()) << "only the window below counts";
    host->area->setActiveSubWindow(second->SubWindow());
    Settle();
    EXPECT_TRUE(sub->isMaximized()) << "activating another window restores nothing";
    EXPECT_TRUE(third->SubWindow()->isMaximized());
    third->SubWindow()->showNormal();
    EXPECT_EQ(third->SubWindow()->size(), QSize(240, 160).grownBy(frame));

    // A window larger than the data area is cut to it.
    auto* large = new ProbeWindow(PackKindCode("DAK"), "large");
    large->resize(5000, 4000);
    large->Master = host;
    host->area->setActiveSubWindow(second->SubWindow());
    large->UmistiFormularInMode(1);
    EXPECT_EQ(large->SubWindow()->size(), Client());
}

TEST_F(PlacementMdi, PlacedFirstThenMaximised)
{
    Config().Update([](ConfigValues& v) { v.placementMode = 2; });
    auto* viewer = new ProbeWindow(PackKindCode("DFA"), "viewer");
    viewer->Master = host;
    viewer->PlaceAndShow(true);
    QMdiSubWindow* sub = viewer->SubWindow();
    EXPECT_TRUE(sub->isMaximized());
    EXPECT_EQ(viewer->RestoredGeometry(), Expected(2, "DFA"));
    sub->showNormal();
    EXPECT_EQ(sub->geometry(), Expected(2, "DFA")) << "restoring shows the scheme's rectangle";
}

TEST_F(PlacementMdi, SecondAndThirdWindowsOfAKindCascade)
{
    Config().Update([](ConfigValues& v) {
        v.schemes.shiftRight[1] = 20;
        v.schemes.shiftDown[1] = 20;
    });
    const QRect first = Expected(3, "DNA");
    std::vector<ProbeWindow*> windows;
    for (int i = 0; i < 3; ++i) {
        windows.push_back(Placed("DNA", 3));
        const QRect r = windows.back()->SubWindow()->geometry();
        EXPECT_EQ(r.topLeft(), first.topLeft() + QPoint(20 * i, 20 * i)) << "window " << i;
        EXPECT_LE(r.right(), Client().width() - 1) << "cut to the client area";
        EXPECT_LE(r.bottom(), Client().height() - 1);
    }
    // A window without a kind takes no part in the cascade.
    windows[1]->Kind = 0;
    ProbeWindow* fourth = Placed("DNA", 3);
    EXPECT_EQ(fourth->SubWindow()->geometry().topLeft(), first.topLeft() + QPoint(20, 20));
}

TEST_F(PlacementMdi, AStoredSchemeIsReapplied)
{
    ProbeWindow* a = Placed("DNA", 1);
    ProbeWindow* b = Placed("CXD", 1);
    ProbeWindow* c = Placed("DAK", 1);
    a->SubWindow()->setGeometry(10, 20, 400, 300);
    b->SubWindow()->setGeometry(420, 20, 500, 250);
    c->SubWindow()->setGeometry(100, 350, 600, 200);
    const QRect cRestored = c->SubWindow()->geometry();
    c->SubWindow()->showMinimized();
    Settle();
    SaveWindowScheme(3);

    const std::vector<std::pair<ProbeWindow*, QRect>> expected = {
        {a, QRect(10, 20, 400, 300)}, {b, QRect(420, 20, 500, 250)}, {c, cRestored}};
    c->SubWindow()->showNormal();
    for (const auto& [w, r] : expected)
        w->SubWindow()->setGeometry(0, 0, 150, 100);
    ApplyWindowScheme(3);
    for (const auto& [w, r] : expected) {
        SCOPED_TRACE(KindCodeText(w->Kind));
        const QRect g = w->SubWindow()->geometry();
        EXPECT_LE(std::abs(g.left() - r.left()), 1);
        EXPECT_LE(std::abs(g.top() - r.top()), 1);
        EXPECT_LE(std::abs(g.width() - r.width()), 1);
        EXPECT_LE(std::abs(g.height() - r.height()), 1);
    }
    // The mode itself is not changed by applying a scheme.
    EXPECT_EQ(Config().Read([](const ConfigValues& v) { return v.placementMode; }), WindowMode::Free);
}

TEST_F(PlacementMdi, Screenshots)
{
    const struct {
        const char* name;
        uint8_t mode;
    } modes[] = {{"MAX", 0}, {"FREE", 1}, {"SCH1", 2}, {"SCH2", 3}, {"SCH3", 4}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.name);
        auto* list = new DemoList(PackKindCode("VFC"));
        list->Master = host;
        list->UmistiFormularInMode(m.mode);
        auto* detail = new DemoDetail(PackKindCode("DFA"));
        detail->Master = list;
        detail->Dependent = true;
        detail->UmistiFormularInMode(m.mode);
        auto* names = new DemoList(PackKindCode("DNA"));
        names->Master = host;
        names->UmistiFormularInMode(m.mode);
        auto* more = new DemoDetail(PackKindCode("DMA"));
        more->Master = names;
        more->Dependent = true;
        more->UmistiFormularInMode(m.mode);
        list->list->setCurrentRow(2);
        names->list->setCurrentRow(5);
        EXPECT_FALSE(detail->fields.empty()) << "the detail follows the list";
        EXPECT_EQ(detail->fields[1], list->rows[2].name);
        Settle();
        const QImage shot = host->grab().toImage();
        EXPECT_TRUE(shot.save(QString::fromStdString(ScreenshotDir() + "/placement_" + m.name + ".png")));
        CloseDataWindowsButMain();
        Settle();
    }

    Config().Update([](ConfigValues& v) {
        v.schemes.shiftRight[2] = 24;
        v.schemes.shiftDown[2] = 24;
    });
    for (int i = 0; i < 3; ++i) {
        auto* w = new DemoList(PackKindCode("DMA"));
        w->Master = host;
        w->list->setCurrentRow(i);
        w->UmistiFormularInMode(4);
    }
    Settle();
    EXPECT_TRUE(
        host->grab().toImage().save(QString::fromStdString(ScreenshotDir() + "/placement_cascade.png")));
}

TEST(PlacementMainWindow, TheProgramTypesOnTheOffscreenScreen)
{
    EnsureApp();
    ScopedConfig config;
    Config().Update([](ConfigValues& v) {
        v.mainLeft = 10;
        v.mainTop = 20;
        v.mainWidth = 5000;
        v.mainHeight = 4000;
    });
    const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(TaskbarMargins(nullptr),
              TaskbarMarginsOf(QGuiApplication::primaryScreen()->geometry(), desktop));
    const QRect r = MainWindowRect(3, nullptr, 500);
    EXPECT_TRUE(desktop.contains(r)) << "an oversized saved rectangle is kept on the desktop";
    EXPECT_EQ(r.size(), desktop.size());
}
