// The placement decisions as pure functions: records, categories, cascades,
// fitting, storing a scheme, the main window's rectangle and taskbar margins.

#include <gtest/gtest.h>

#include "frame/windows/placement.h"
#include "tests/support/placement_records.h"

namespace {

using test_support::Rec;

PlacementRequest Request(uint8_t mode, const char* kind, QRect bounds = QRect(5, 6, 300, 200))
{
    PlacementRequest r;
    r.mode = mode;
    r.kind = PackKindCode(kind);
    r.bounds = bounds;
    r.client = QSize(1000, 600);
    r.minimum = QSize(100, 40);
    return r;
}

} // namespace

TEST(PlacementRules, ExactRecordCategoryRoundsAndFallback)
{
    PlacementSchemes s;
    s.table[3] = Rec(2, "DMA", 100, 100, 500, 500);
    s.table[7] = Rec(2, "DMA", 200, 200, 500, 500);
    s.table[8] = Rec(3, "DMA", 300, 300, 500, 500);
    s.table[10] = Rec(2, "CNA", 0, 0, 400, 300); // category 53
    s.table[11] = Rec(2, "DHD", 0, 0, 400, 300); // category 34
    const struct {
        const char* name;
        uint8_t mode;
        uint16_t kind;
        int record;
    } cases[] = {
        {"two records of one kind: the higher number", 2, PackKindCode("DMA"), 7},
        {"bit 15 of the kind plays no part", 2, static_cast<uint16_t>(PackKindCode("DMA") | 0x8000), 7},
        {"the other scheme has its own", 3, PackKindCode("DMA"), 8},
        // DNA is category 54: 53 agrees once the two low bits are ignored,
        // 34 only later.
        {"nearest relative by category", 2, PackKindCode("DNA"), 10},
        {"a family of its own", 2, PackKindCode("DFA"), 11}, // 34 exactly
        {"no record in the scheme at all", 4, PackKindCode("DMA"), -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindPlacementRecord(s.table, c.mode, c.kind), c.record) << c.name;

    // With a single record, every kind without its own falls back to it in
    // the last round, also a kind outside the category table.
    PlacementSchemes one;
    one.table[42] = Rec(3, "VFC", 0, 0, 500, 500);
    for (const char* kind : {"DMA", "TCD", "DAK", "ZZZ"})
        EXPECT_EQ(FindPlacementRecord(one.table, 3, PackKindCode(kind)), 42) << kind;
}

TEST(PlacementRules, RecordRectanglesTruncate)
{
    const PlacementRecord r = Rec(2, "DFA", 208, 302, 779, 699);
    EXPECT_EQ(RecordRect(r, QSize(1001, 701)), QRect(208, 211, 779, 489));
    EXPECT_EQ(RecordRect(r, QSize(1000, 600)), QRect(208, 181, 779, 419));
}

TEST(PlacementRules, CascadeAndFit)
{
    const QRect r(10, 10, 300, 200);
    EXPECT_EQ(CascadeRect(r, 20, 20, {}), r);
    EXPECT_EQ(CascadeRect(r, 20, 20, {QPoint(10, 10)}), QRect(30, 30, 300, 200));
    // The corners may come in any order: every scan starts again.
    EXPECT_EQ(CascadeRect(r, 20, 20, {QPoint(30, 30), QPoint(10, 10)}), QRect(50, 50, 300, 200));
    EXPECT_EQ(CascadeRect(r, 0, 0, {QPoint(10, 10)}), r) << "no shifts, no cascade";
    EXPECT_EQ(CascadeRect(r, -5, 0, {QPoint(10, 10), QPoint(5, 10)}), QRect(0, 10, 300, 200));

    const QSize client(800, 600);
    const QSize minimum(150, 80);
    const struct {
        const char* name;
        QRect in;
        QRect out;
    } cases[] = {
        {"inside", QRect(10, 10, 300, 200), QRect(10, 10, 300, 200)},
        {"cut at the bottom right, not moved", QRect(600, 500, 400, 300), QRect(600, 500, 200, 100)},
        {"cut to exactly the minimum", QRect(650, 520, 400, 300), QRect(650, 520, 150, 80)},
        {"too little room: moved up and left", QRect(780, 590, 400, 300), QRect(650, 520, 150, 80)},
        {"past the edge", QRect(900, 700, 300, 200), QRect(650, 520, 150, 80)},
        {"smaller than the minimum: kept, moved", QRect(780, 590, 50, 30), QRect(750, 570, 50, 30)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitToClient(c.in, client, minimum), c.out) << c.name;
    EXPECT_EQ(FitToClient(QRect(10, 10, 400, 300), QSize(100, 50), minimum), QRect(0, 0, 150, 80))
        << "never moved past 0";
}

TEST(PlacementRules, DesignRectangles)
{
    const QSize client(800, 600);
    const QSize minimum(150, 80);
    const struct {
        const char* name;
        QSize design;
        std::vector<QPoint> others;
        QRect out;
    } cases[] = {
        {"the design size at the top left", QSize(300, 200), {}, QRect(0, 0, 300, 200)},
        {"past the other windows' corners",
         QSize(300, 200),
         {QPoint(24, 24), QPoint(0, 0)},
         QRect(48, 48, 300, 200)},
        {"a corner elsewhere is no obstacle", QSize(300, 200), {QPoint(5, 0)}, QRect(0, 0, 300, 200)},
        {"larger than the client: cut to it", QSize(1200, 900), {}, QRect(0, 0, 800, 600)},
        {"cut, then cascaded back inside", QSize(1200, 900), {QPoint(0, 0)}, QRect(0, 0, 800, 600)},
        {"deep in the cascade: moved back",
         QSize(500, 400),
         {QPoint(0, 0), QPoint(24, 24), QPoint(48, 48), QPoint(72, 72), QPoint(96, 96), QPoint(120, 120),
          QPoint(144, 144), QPoint(168, 168), QPoint(192, 192), QPoint(216, 216)},
         QRect(240, 200, 500, 400)},
        {"below the minimum: the minimum", QSize(40, 20), {}, QRect(0, 0, 150, 80)},
        {"no design size: the minimum", QSize(), {}, QRect(0, 0, 150, 80)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DesignRect(c.design, minimum, client, 24, c.others), c.out) << c.name;
    EXPECT_EQ(DesignRect(QSize(300, 200), minimum, QSize(), 24, {}), QRect(0, 0, 300, 200))
        << "an area not laid out yet cuts nothing";
}

TEST(PlacementRules, DecisionsByMode)
{
    PlacementSchemes s;
    s.table[0] = Rec(2, "DFA", 208, 0, 779, 302);
    s.shiftRight[0] = 20;
    s.shiftDown[0] = 20;

    PlacementRequest maxed = Request(0, "DFA");
    EXPECT_TRUE(DecidePlacement(s, maxed).maximised);

    const QRect here(5, 6, 300, 200);
    for (const uint8_t mode : {uint8_t{1}, uint8_t{3}}) {
        const PlacementResult r = DecidePlacement(s, Request(mode, "DFA", here));
        EXPECT_FALSE(r.maximised);
        EXPECT_EQ(r.bounds, here) << "mode " << int(mode) << ": nothing for it";
    }
    EXPECT_EQ(DecidePlacement(s, Request(2, "DFA")).bounds, QRect(208, 0, 779, 181));

    PlacementRequest noKind = Request(2, "DFA", here);
    noKind.kind = 0;
    EXPECT_EQ(DecidePlacement(s, noKind).bounds, here);
    for (const QSize client : {QSize(0, 600), QSize(1000, 0)}) {
        PlacementRequest empty = Request(2, "DFA", here);
        empty.client = client;
        EXPECT_EQ(DecidePlacement(s, empty).bounds, here) << "an empty client area keeps the bounds";
    }

    // The second window of a kind goes 20/20 further, the third 40/40.
    PlacementRequest second = Request(2, "DFA");
    second.others = {QPoint(208, 0)};
    EXPECT_EQ(DecidePlacement(s, second).bounds.topLeft(), QPoint(228, 20));
    PlacementRequest third = Request(2, "DFA");
    third.others = {QPoint(208, 0), QPoint(228, 20)};
    const QRect t = DecidePlacement(s, third).bounds;
    EXPECT_EQ(t.topLeft(), QPoint(248, 40));
    EXPECT_EQ(t.right() + 1, 1000) << "then cut at the client's edge";
}

TEST(PlacementRules, StoringAScheme)
{
    PlacementTable table{};
    table[0] = Rec(3, "DNA", 1, 1, 1, 1); // reused for DNA in scheme 3
    table[1] = Rec(2, "DFA", 5, 5, 5, 5); // another scheme: untouched
    table[2].category = 99;               // a free record with a stale category
    const QSize client(1000, 600);
    StoreWindowScheme(table, 3,
                      {{PackKindCode("DNA"), QRect(100, 60, 500, 300)},
                       {static_cast<uint16_t>(PackKindCode("DMA") | 0x8000), QRect(333, 7, 667, 593)},
                       {0, QRect(0, 0, 10, 10)}},
                      client);
    EXPECT_EQ(table[0], Rec(3, "DNA", 100, 100, 500, 500));
    EXPECT_EQ(table[1], Rec(2, "DFA", 5, 5, 5, 5));
    EXPECT_EQ(table[2], Rec(3, "DMA", 333, 11, 667, 988)) << "per mille truncated, category of the kind";
    EXPECT_EQ(table[3].scheme, 0) << "a window without a kind is skipped";

    PlacementTable untouched = table;
    StoreWindowScheme(table, 3, {{PackKindCode("DNA"), QRect(1, 1, 1, 1)}}, QSize(1000, 0));
    EXPECT_EQ(table, untouched) << "an empty client area stores nothing";

    PlacementTable full{};
    for (PlacementRecord& r : full)
        r = Rec(2, "VFC", 0, 0, 1, 1);
    StoreWindowScheme(full, 3, {{PackKindCode("DNA"), QRect(1, 1, 1, 1)}}, client);
    for (const PlacementRecord& r : full)
        EXPECT_EQ(r.scheme, 2) << "no record free: the window is skipped";

    // Stored and re-applied, a window comes back where it was (within the
    // rounding of per mille).
    PlacementSchemes s;
    const QRect where(123, 45, 456, 321);
    StoreWindowScheme(s.table, 4, {{PackKindCode("CXD"), where}}, client);
    const QRect back = DecidePlacement(s, Request(4, "CXD")).bounds;
    EXPECT_LE(std::abs(back.left() - where.left()), 1);
    EXPECT_LE(std::abs(back.top() - where.top()), 1);
    EXPECT_LE(std::abs(back.width() - where.width()), 1);
    EXPECT_LE(std::abs(back.height() - where.height()), 1);
}

TEST(PlacementRules, TaskbarMargins)
{
    const QRect screen(0, 0, 1920, 1080);
    EXPECT_EQ(TaskbarMarginsOf(screen, QRect(0, 0, 1920, 1040)), QMargins(0, 0, 0, 40));
    EXPECT_EQ(TaskbarMarginsOf(screen, QRect(60, 0, 1860, 1080)), QMargins(60, 0, 0, 0));
    EXPECT_EQ(TaskbarMarginsOf(screen, QRect(0, 40, 1920, 1040)), QMargins(0, 40, 0, 0));
    EXPECT_EQ(TaskbarMarginsOf(screen, QRect(0, 0, 1860, 1080)), QMargins(0, 0, 60, 0));
    EXPECT_EQ(TaskbarMarginsOf(QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 984)), QMargins(0, 0, 0, 40));
    bool autoHide = true;
    bool onTop = true;
    ReadTaskbar(autoHide, onTop);
    EXPECT_FALSE(autoHide);
    EXPECT_FALSE(onTop);
}

TEST(PlacementRules, MainWindowRectangleByProgramType)
{
    MainWindowInput in;
    in.current = QRect(100, 50, 800, 600);
    in.sampleWidth = 640; // 640 x 105 / 64 = 1050
    in.sizePos = QRect(300, 200, 1000, 700);
    in.screen = QSize(1920, 1080);
    in.desktop = QRect(0, 0, 1920, 1040);
    in.margins = QMargins(0, 0, 0, 40);
    const struct {
        uint8_t type;
        int sizePosLeft;
        QRect out;
    } cases[] = {
        {3, 300, QRect(300, 200, 1000, 700)}, {0, 300, QRect(300, 200, 1000, 700)},
        {9, 300, QRect(300, 200, 1000, 700)}, // any other type is the normal one
        {1, 300, QRect(300, 50, 640, 440)},   // installer: saved left, current top
        {2, 300, QRect(870, 0, 1050, 1040)},  // at the right edge, cut to the desktop
        {2, 700, QRect(20, 0, 1050, 1040)},   // saved right of a third: at the left
        {4, 300, QRect(870, 0, 1050, 1040)},  {5, 700, QRect(20, 0, 1050, 1040)},
        {6, 300, QRect(100, 50, 800, 600)}, // calculator: as it is
        {7, 300, QRect(850, 0, 1050, 1040)},  {7, 700, QRect(5, 0, 1050, 1040)},
        {8, 300, QRect(870, 0, 1050, 1040)},  {8, 700, QRect(5, 0, 1050, 1040)},
    };
    for (const auto& c : cases) {
        MainWindowInput i = in;
        i.programType = c.type;
        i.sizePos.moveLeft(c.sizePosLeft);
        if (c.type == 3 || c.type == 0 || c.type == 9)
            i.sizePos = QRect(300, 200, 1000, 700);
        EXPECT_EQ(ComputeMainWindowRect(i), c.out) << "type " << int(c.type) << " left " << c.sizePosLeft;
    }

    // A saved rectangle larger than the desktop is cut to it and moved onto it.
    MainWindowInput big = in;
    big.sizePos = QRect(-50, -30, 2500, 1500);
    EXPECT_EQ(ComputeMainWindowRect(big), QRect(0, 0, 1920, 1040));
    // Off the bottom right: moved back.
    big.sizePos = QRect(1500, 900, 800, 600);
    EXPECT_EQ(ComputeMainWindowRect(big), QRect(1120, 440, 800, 600));
    // A taskbar at the top keeps the window below it.
    MainWindowInput top = in;
    top.desktop = QRect(0, 40, 1920, 1040);
    top.margins = QMargins(0, 40, 0, 0);
    top.sizePos = QRect(300, 10, 1000, 700);
    EXPECT_EQ(ComputeMainWindowRect(top), QRect(300, 40, 1000, 700));
}
