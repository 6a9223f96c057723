// The paragraph chooser window, offscreen: keys through its edit, clicks on
// the grid's tree column, OK and Cancel against the stored slot, and
// screenshots on the demo texts.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <string>

#include "datastore/paragraph_codes.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/config/stored_paragraphs.h"
#include "lists/dialogs/paragraph_chooser.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/nul_edit.h"
#include "lists/toolkit/scroll_bar.h"
#include "tests/lists/lists_test_support.h"
#include "tests/support/bytes.h"
#include "tests/support/text_tables.h"

namespace {

constexpr auto Codes = test_support::Bytes;

constexpr const char* kUi = "[VOdst]\nselH=tree\n";
constexpr const char* kData =
    "[Ospc]\nNadpis=Souhrn\n1=Nazev\n4=Klinicke\n4.1=Indikace\n4.2=Davkovani\n5=Farmakologie\n"
    "5.1=Dynamika\n5.2=Kinetika\n10=Revize\n";

class ParagraphChooserDialog : public ::testing::Test, liststest::WithApp {
protected:
    ParagraphChooserDialog() : saved_(Config().Snapshot()), texts_(kUi, kData) {}
    ~ParagraphChooserDialog() override
    {
        Config().Update([this](ConfigValues& v) { v = saved_; });
    }

    // The entry code on grid row `row`.
    static uint8_t CodeOnRow(const TVybOdst& d, int row)
    {
        const ParagraphChooserModel& m = d.Model();
        return m.Entries()[m.Visible()[static_cast<size_t>(m.Top() + row - 1)]].code;
    }

    // A point in the grid on row `row`: in symbol cell `cell` of the tree
    // column, or (cell 0) in the text.
    static QPoint At(const TVybOdst& d, int row, int cell)
    {
        const QRect r = d.Tb->RowRect(row);
        const int y = r.center().y();
        for (int x = 0; x < d.Tb->width(); ++x) {
            int width = 0, left = 0;
            const int col = d.Tb->CellAt(x, y, width, left);
            if ((cell == 0 && col != 0 && col != 255) || (cell > 0 && col == 255 && left == cell))
                return {x + 1, y};
        }
        ADD_FAILURE() << "no cell " << cell << " on row " << row;
        return {};
    }

    static void Click(TVybOdst& d, QPoint at) { QTest::mouseClick(d.Tb, Qt::LeftButton, {}, at); }

    ConfigValues saved_;
    test_support::ScopedTexts texts_;
};

TEST_F(ParagraphChooserDialog, KeysAndOkReplaceTheFilterSlot)
{
    StoreParagraphSelection('F', 'S', Codes({0x51}));
    TVybOdst d('S', 'F');
    d.show();
    // Row 1 is group 1; Down, Down reaches 4.1; Space excludes it.
    ASSERT_EQ(d.Model().CursorRow(), 1);
    QTest::keyClick(d.kbd, Qt::Key_Down);
    QTest::keyClick(d.kbd, Qt::Key_Down);
    EXPECT_EQ(d.Tb->CursorRow(), 3);
    QTest::keyClick(d.kbd, Qt::Key_Space);
    EXPECT_EQ(d.Model().Entries()[2].state, 'N');
    // Typed characters are keys, never text.
    QTest::keyClicks(d.kbd, "1n");
    EXPECT_TRUE(d.kbd->text().isEmpty());
    EXPECT_EQ(d.Model().Entries()[2].state, 'Y');
    QTest::keyClick(d.kbd, Qt::Key_Return);
    d.bOK->click();
    EXPECT_EQ(d.result(), 1);
    EXPECT_EQ(StoredParagraphSelection('F', 'S'), d.Model().Selection());
    EXPECT_EQ(EncodeParagraphSet(StoredParagraphSelection('F', 'S'), 'S', ProductSummaryParagraphList()),
              EncodeParagraphSet(Codes({0x41, 0x51}), 'S', ProductSummaryParagraphList()));
    // Filter mode keeps no highlight.
    EXPECT_EQ(StoredParagraphHighlight('S'), saved_.paragraphCurrent.start[2]);
}

TEST_F(ParagraphChooserDialog, CancelAndEscapeLeaveTheSlot)
{
    StoreParagraphSelection('V', 'S', Codes({0x42}), 0x41);
    for (bool escape : {false, true}) {
        TVybOdst d('S', 'V');
        d.show();
        d.bNone->click();
        QTest::keyClick(d.kbd, Qt::Key_1);
        if (escape)
            QTest::keyClick(d.kbd, Qt::Key_Escape);
        else
            d.bEsc->click();
        EXPECT_EQ(d.result(), 0);
        EXPECT_EQ(StoredParagraphSelection('V', 'S'), Codes({0x42}));
        EXPECT_EQ(StoredParagraphHighlight('S'), 0x41);
    }
}

TEST_F(ParagraphChooserDialog, TreeColumnClicksAndDoubleClick)
{
    TVybOdst d('S', 'V');
    d.show();
    // Rows: 1, 4, 4.1, 4.2, 5 (collapsed), 10.
    ASSERT_EQ(CodeOnRow(d, 5), 0x50);
    Click(d, At(d, 5, 1)); // the mark: open the group
    EXPECT_EQ(d.Model().Visible().size(), 8u);
    Click(d, At(d, 5, 2)); // the state: "Y" -> "?"
    EXPECT_EQ(d.Model().Entries()[4].state, '?');
    EXPECT_EQ(d.Model().CursorRow(), 1); // the cursor moved only for the action
    Click(d, At(d, 4, 3));               // an entry's state sits one cell further in
    EXPECT_EQ(d.Model().Entries()[3].state, 'N');
    Click(d, At(d, 4, 2)); // a blank cell does nothing
    EXPECT_EQ(d.Model().Entries()[3].state, 'N');
    // A click in the text moves the cursor; a double click highlights.
    Click(d, At(d, 7, 0));
    EXPECT_EQ(d.Model().CursorRow(), 7);
    QTest::mouseDClick(d.Tb, Qt::LeftButton, {}, At(d, 3, 0));
    EXPECT_EQ(d.Model().Highlight(), 0x41);
    // The highlight shows emphasised in the grid's first column.
    EXPECT_LT(static_cast<uint8_t>(d.Model().RowText(3)[1]), 32);
    d.bOK->click();
    EXPECT_EQ(StoredParagraphHighlight('S'), 0x41);
    EXPECT_EQ(EncodeParagraphSet(StoredParagraphSelection('V', 'S'), 'S', ProductSummaryParagraphList()),
              EncodeParagraphSet(Codes({0x42}), 'S', ProductSummaryParagraphList()));
}

TEST_F(ParagraphChooserDialog, ScrollBarArrowsMoveTheCursorAndTheThumbScrolls)
{
    std::string data = "[Ospc]\nNadpis=Souhrn\n";
    for (int p = 1; p <= 15; ++p) {
        data += std::to_string(p) + "=P\n";
        if (p == 4)
            for (int s = 1; s <= 9; ++s)
                data += "4." + std::to_string(s) + "=S\n";
    }
    test_support::ScopedTexts many(kUi, data);
    TVybOdst d('S', 'F');
    d.resize(260, 260);
    d.show();
    const int rows = d.Model().RowsShown();
    ASSERT_LT(rows, 24);
    EXPECT_EQ(d.vs->Max(), 24 - rows + 1);
    d.vs->MouseDown(Qt::LeftButton, QPoint(5, d.vs->height() - 5), 0); // the last arrow
    d.vs->MouseUp();
    EXPECT_EQ(d.Model().CursorRow(), 2);
    EXPECT_EQ(d.Model().Top(), 0);
    // The thumb dragged to the bottom shows the end of the list.
    const ScrollGeometry g = d.vs->Geometry();
    ASSERT_TRUE(g.HasThumb());
    d.vs->MouseDown(Qt::LeftButton, QPoint(5, g.ThumbStart() + 2), 0);
    d.vs->MouseMove(QPoint(5, d.vs->height()));
    d.vs->MouseUp();
    EXPECT_EQ(d.Model().Top(), d.Model().ScrollMax());
    EXPECT_EQ(d.Tb->CursorRow(), 2);
}

// Screenshots for a person to look at: the demo's summary chooser, and the
// "K" chooser of a viewer with a highlighted paragraph.
TEST_F(ParagraphChooserDialog, Screenshots)
{
    test_support::ScopedTextTable data(DataTexts, [] {
        TextTablePtr t;
        EXPECT_GE(LoadTextTable(t, std::string(QEVW_DEMO_DATA_DIR) + "/kalvo.ces"),
                  TextTableResult::FirstSuccess);
        return t;
    }());
    test_support::ScopedTextTable ui(UiTexts, dftest::ProgramTable("ces"));
    StoreParagraphSelection('F', 'S', Codes({0x42, 0x43, 0x5F}));
    {
        TVybOdst d('S', 'F');
        d.resize(520, 560);
        d.show();
        liststest::Settle();
        liststest::SaveShot(d.grab().toImage(), "paragraph_chooser_S.png");
    }
    StoreParagraphSelection('V', 'K', Codes({0x13, 0xC4}), 0x22);
    TVybOdst d('K', 'V');
    d.resize(520, 560);
    d.show();
    QTest::keyClick(d.kbd, Qt::Key_Down);
    liststest::Settle();
    bool shown = false;
    for (int row = 1; row <= d.Tb->VisibleLines(); ++row)
        shown = shown || (d.Model().RowText(row) != std::string(kEndOfRows) &&
                          static_cast<uint8_t>(d.Model().RowText(row)[1]) < 32);
    EXPECT_TRUE(shown);
    liststest::SaveShot(d.grab().toImage(), "paragraph_chooser_K_viewer.png");
}

TEST_F(ParagraphChooserDialog, TheEntryRunsItModally)
{
    int seen = 0;
    QTimer::singleShot(0, [&seen] {
        auto* d = qobject_cast<TVybOdst*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        seen = d->Model().Kind();
        d->bOK->click();
    });
    EXPECT_EQ(RunParagraphChooser('S', 'F'), 1);
    EXPECT_EQ(seen, 'S');
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<TVybOdst*>(QApplication::activeModalWidget()))
            d->bEsc->click();
    });
    EXPECT_EQ(RunParagraphChooser('K', 'V'), 0);
}

} // namespace
