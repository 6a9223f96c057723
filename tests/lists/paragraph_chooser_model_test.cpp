// The paragraph chooser's model: entries built from small text tables, the
// keys, the tree-column clicks and the selection it gives back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datastore/hex_base64.h"
#include "datastore/paragraph_codes.h"
#include "lists/dialogs/paragraph_chooser_model.h"
#include "lists/toolkit/grid_layout.h"
#include "lists/toolkit/vyb_types.h"
#include "tests/support/bytes.h"
#include "tests/support/text_tables.h"

namespace {

constexpr auto Codes = test_support::Bytes;
using Model = ParagraphChooserModel;

// Masks and letters for the kinds: "K" has paragraphs 0, 12, 13, 24, 99.
std::string UiSource()
{
    std::string mask(100, '-');
    for (int n : {0, 12, 13, 24, 99})
        mask[static_cast<size_t>(n)] = '+';
    return "[Prohlizec]\nVybK=" + mask + "\nZkr1=P00000000011IK\nZkr2=R12345678901NI\n";
}

// "S": groups 1 (alone), 4 (four entries), 5 (two), 10 (alone) and "0".
constexpr const char* kDataSource =
    "[Ospc]\nNadpis=Souhrn\n1=Nazev\n4=Klinicke\n4.1=Indikace\n4.2=Davkovani\n4.3=Kontra\n"
    "4.12=Dvanact\n5=Farmakologie\n5.1=Dynamika\n5.2=Kinetika\n10=Revize\n0=Uvod\n"
    "[Odst]\nNadpis=Odstavce\n1=Zaklad\n 0=Prehled\n12=Indikace\n14=Skryty\n2=Bezpecnost\n13=Kontra\n"
    "3=Farmakologie\n4=Farmaceuticke\n24=Pomocne\n99=Poznamka\n";

class ParagraphChooserEntries : public ::testing::Test {
protected:
    ParagraphChooserEntries() : texts_(UiSource(), kDataSource) { LoadParagraphLists(); }
    ~ParagraphChooserEntries() override { SetParagraphLabelLookup({}); }

    Model Built(char kind, std::string_view selection = {}, char mode = 'V', uint8_t highlight = 0,
                int rows = 20)
    {
        Model m;
        m.Build(kind, mode, selection, highlight);
        m.SetRowsShown(rows);
        return m;
    }

    // Marks and states of all entries, one "code mark state" each.
    static std::string Tree(const Model& m)
    {
        std::string s;
        for (const Model::Entry& e : m.Entries())
            s += HexOfBytes(std::string(1, static_cast<char>(e.code))) + e.mark + e.state + " ";
        return s;
    }

    // The cursor on the entry with this code (it must be visible).
    static void CursorOn(Model& m, uint8_t code)
    {
        for (size_t p = 0; p < m.Visible().size(); ++p)
            if (m.Entries()[m.Visible()[p]].code == code) {
                m.SetTop(static_cast<int>(p));
                m.SetCursorRow(static_cast<int>(p) - m.Top() + 1);
                ASSERT_EQ(m.Entries()[static_cast<size_t>(m.Current())].code, code);
                return;
            }
        FAIL() << "code " << int(code) << " not visible";
    }

    static char StateOf(const Model& m, uint8_t code)
    {
        for (const Model::Entry& e : m.Entries())
            if (e.code == code)
                return e.state;
        return 0;
    }

    test_support::ScopedTexts texts_;
};

TEST_F(ParagraphChooserEntries, SummaryEntriesFromTheOspcSection)
{
    const Model m = Built('S');
    EXPECT_EQ(Tree(m), "10^Y 40-Y 41.y 42.y 43.y 4C.y 50+Y 51 y 52 y A0^Y 00^Y ");
    // Collapsed entries are not visible.
    EXPECT_EQ(m.Visible(), (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 9, 10}));
    EXPECT_EQ(m.Entries()[1].text, "4.   Klinicke");
    EXPECT_EQ(m.Entries()[2].text, "4.1   Indikace");
    EXPECT_EQ(m.Entries()[5].text, "4.12  Dvanact");
    EXPECT_EQ(m.Entries()[9].text, "10.  Revize");
    EXPECT_EQ(m.Entries()[10].text, "     Uvod"); // a key "0" shows no number
    EXPECT_EQ(m.Header(), std::string(1, RowStatus::Span) + "Souhrn" + std::string(62, ' '));
    // The row: status, text padded to 68, 255, mark and state (an entry's
    // one cell further in).
    EXPECT_EQ(m.RowText(2), std::string(1, '\0') + "4.   Klinicke" + std::string(55, ' ') + "\xFF-Y");
    EXPECT_EQ(m.RowText(3).substr(69), "\xFF. y");
    EXPECT_EQ(m.RowText(10), kEndOfRows);
}

TEST_F(ParagraphChooserEntries, OtherKindsFromTheOdstSectionThroughTheMask)
{
    const Model m = Built('K');
    // 14 is not in "K"'s mask; groups 3 and 4 start expanded, 3 has nothing.
    EXPECT_EQ(Tree(m), "C1+Y 00 y 12 y C2+Y 13 y C3^Y C4-Y 24.y 99.y ");
    EXPECT_EQ(m.Entries()[1].text, " 0 PR Prehled");
    EXPECT_EQ(m.Entries()[2].text, "12 IN Indikace");
    EXPECT_EQ(m.Entries()[7].text, "24    Pomocne"); // no letters: the number alone
    EXPECT_EQ(m.Entries()[0].text, "     Zaklad");
    EXPECT_EQ(m.Header().substr(1, 8), "Odstavce");
}

TEST_F(ParagraphChooserEntries, StatesFromTheSelection)
{
    struct Case {
        char kind;
        std::string selection;
        std::string tree;
    };
    const Case cases[] = {
        // An excluded entry leaves its group partly included.
        {'S', Codes({0x42}), "10^Y 40-? 41.Y 42.N 43.Y 4C.Y 50+Y 51 y 52 y A0^Y 00^Y "},
        // The group's end code includes it whole though entries are listed;
        // they keep their own states, following the group.
        {'S', Codes({0x4F, 0x41, 0x10}), "10^N 40-Y 41.n 42.y 43.y 4C.y 50+Y 51 y 52 y A0^Y 00^Y "},
        // The group's own code excludes it.
        {'S', Codes({0x50, 0xFF}), "10^Y 40-Y 41.y 42.y 43.y 4C.y 50+N 51 y 52 y A0^Y 00^Y "},
        // All entries excluded: the group is excluded.
        {'K', Codes({0x00, 0x12}), "C1+N 00 n 12 n C2+Y 13 y C3^Y C4-Y 24.y 99.y "},
        {'K', Codes({0xD2, 0x13}), "C1+Y 00 y 12 y C2+Y 13 n C3^Y C4-Y 24.y 99.y "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Tree(Built(c.kind, c.selection)), c.tree) << c.kind << HexOfBytes(c.selection);
}

TEST_F(ParagraphChooserEntries, AtMost79Entries)
{
    std::string data = "[Odst]\nNadpis=H\n1=G\n";
    for (int n = 10; n < 100; ++n)
        data += std::to_string(n) + "=P\n";
    test_support::ScopedTexts many("[Prohlizec]\nVybK=" + std::string(100, '+') + "\n", data);
    Model m;
    m.Build('K', 'F', {}, 0);
    ASSERT_EQ(m.Entries().size(), 79u);
    EXPECT_EQ(m.Entries().back().code, OdstParagraphCode(87));
}

TEST_F(ParagraphChooserEntries, OkWithoutChangesKeepsTheSelection)
{
    const std::string cases[] = {
        "",
        Codes({0x42}),
        Codes({0x4F, 0x41}),
        Codes({0x40}),
        Codes({0x41, 0x42, 0x43, 0x4C, 0x51}),
        Codes({0x10, 0xA0, 0x00, 0x52, 0xFF}),
    };
    for (const std::string& sel : cases) {
        const Model m = Built('S', sel);
        // The show-all byte keeps a selection the chooser shows and returns.
        std::string kept = sel;
        if (!kept.empty() && kept.back() == '\xFF')
            kept.pop_back();
        EXPECT_EQ(EncodeParagraphSet(m.Selection(), 'S'), EncodeParagraphSet(kept, 'S')) << HexOfBytes(sel);
    }
    const std::string other[] = {
        "",
        Codes({0x12}),
        Codes({0xC1}),
        Codes({0xD4, 0x24}),
        Codes({0x00, 0x12, 0x13, 0x24, 0x99}),
        Codes({0xC3, 0xC2}),
    };
    for (const std::string& sel : other) {
        const Model m = Built('K', sel);
        EXPECT_EQ(EncodeParagraphSet(m.Selection(), 'K'), EncodeParagraphSet(sel, 'K')) << HexOfBytes(sel);
    }
}

TEST_F(ParagraphChooserEntries, SpaceCyclesAGroupAndTogglesAnEntry)
{
    Model m = Built('S', Codes({0x40}));
    CursorOn(m, 0x40);
    std::string seen(1, StateOf(m, 0x40));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m.Key(' '), 0);
        seen += StateOf(m, 0x40);
    }
    EXPECT_EQ(seen, "NY?N");
    // An excluded group's entries follow it; as the group turns "?" each
    // decides for itself again.
    EXPECT_EQ(StateOf(m, 0x41), 'y');
    m.Key(' ');
    m.Key(' ');
    ASSERT_EQ(StateOf(m, 0x40), '?');
    EXPECT_EQ(StateOf(m, 0x41), 'Y');
    // An entry toggles, and its group becomes partly included.
    m.Key(' '); // the group: "?" -> "N"
    CursorOn(m, 0x42);
    m.Key(ActionCode::Enter);
    EXPECT_EQ(StateOf(m, 0x42), 'N');
    EXPECT_EQ(StateOf(m, 0x40), '?');
    EXPECT_EQ(StateOf(m, 0x41), 'Y');
    m.Key(' ');
    EXPECT_EQ(StateOf(m, 0x42), 'Y');
    // "^" groups toggle like entries.
    CursorOn(m, 0x10);
    m.Key(' ');
    EXPECT_EQ(StateOf(m, 0x10), 'N');
    // Included groups that head a range give their end code.
    EXPECT_EQ(m.Selection(), Codes({0x10, 0x5F, 0x0F}));
}

TEST_F(ParagraphChooserEntries, GroupKeys)
{
    Model m = Built('S', Codes({0x4F, 0x41}));
    // "?" on an entry does nothing.
    CursorOn(m, 0x42);
    m.Key('?');
    EXPECT_EQ(Tree(m), Tree(Built('S', Codes({0x4F, 0x41}))));
    // "Y" on an included group makes it partly included; the entries keep
    // their own states.
    CursorOn(m, 0x40);
    m.Key('Y');
    EXPECT_EQ(StateOf(m, 0x40), '?');
    EXPECT_EQ(StateOf(m, 0x41), 'N');
    EXPECT_EQ(StateOf(m, 0x42), 'Y');
    // "-" collapses, "+" expands, "Right" on a collapsed group expands and
    // steps in, "Left" returns to the heading.
    m.Key('-');
    EXPECT_EQ(m.Visible().size(), 5u);
    m.Key('=');
    EXPECT_EQ(m.Visible().size(), 9u);
    CursorOn(m, 0x50);
    m.Key(ActionCode::Right);
    EXPECT_EQ(m.Entries()[static_cast<size_t>(m.Current())].code, 0x51);
    EXPECT_EQ(m.Visible().size(), 11u);
    m.Key(ActionCode::Left);
    EXPECT_EQ(m.Entries()[static_cast<size_t>(m.Current())].code, 0x50);
    // Keys with Ctrl or Alt are not the chooser's.
    EXPECT_EQ(m.Key(' ', 4), ' ');
    // Unknown keys are handed back.
    EXPECT_EQ(m.Key('x'), 'x');
}

TEST_F(ParagraphChooserEntries, AllAndNone)
{
    Model m = Built('K');
    m.SetAllVisible('N');
    EXPECT_EQ(Tree(m), "C1+N 00 y 12 y C2+N 13 y C3^N C4-N 24.N 99.N ");
    m.SetAllVisible('Y');
    EXPECT_TRUE(m.AllDown());
    CursorOn(m, 0x24);
    m.Key('N');
    EXPECT_FALSE(m.AllDown());
}

TEST_F(ParagraphChooserEntries, ScrollingKeepsARowAroundTheCursor)
{
    Model m = Built('S', {}, 'V', 0, 4);
    m.Key('.'); // nothing without a cursor
    m.Key(ActionCode::Home);
    EXPECT_EQ(m.CursorRow(), 1);
    // 11 entries once group 5 is open; 4 rows, Top up to 11 - 4 + 1 = 8.
    CursorOn(m, 0x50);
    m.Key('+');
    ASSERT_EQ(m.Visible().size(), 11u);
    EXPECT_EQ(m.ScrollMax(), 8);
    m.Key(ActionCode::Home);
    struct Step {
        uint16_t key;
        int top;
        int cursor;
    };
    const Step steps[] = {
        {ActionCode::Down, 0, 2},     {ActionCode::Down, 0, 3}, {ActionCode::Down, 1, 3},
        {ActionCode::PageDown, 3, 3}, {ActionCode::End, 8, 3},  {ActionCode::Down, 8, 3},
        {ActionCode::Up, 8, 2},       {ActionCode::Up, 7, 2},   {ActionCode::PageUp, 5, 2},
        {ActionCode::Home, 0, 1},     {ActionCode::Up, 0, 1},
    };
    for (const Step& s : steps) {
        m.Key(s.key);
        EXPECT_EQ(m.Top(), s.top) << s.key;
        EXPECT_EQ(m.CursorRow(), s.cursor) << s.key;
        EXPECT_GE(m.Current(), 0) << s.key; // never past the last entry
    }
    // A short list: End keeps Top at 0 and the cursor on the last entry.
    Model shortList = Built('K', {}, 'V', 0, 20);
    shortList.Key(ActionCode::End);
    EXPECT_EQ(shortList.Top(), 0);
    EXPECT_EQ(shortList.CursorRow(), 6);
    shortList.SetTop(5);
    EXPECT_EQ(shortList.Top(), 0);
}

TEST_F(ParagraphChooserEntries, TreeColumnClicks)
{
    Model m = Built('S');
    m.SetCursorRow(1);
    // Row 7 is the collapsed group 5: cell 1 is its mark (expand), cell 2
    // its state; the cursor stays where it was.
    m.ClickTree(7, 1);
    EXPECT_EQ(m.Visible().size(), 11u);
    m.ClickTree(7, 2);
    EXPECT_EQ(StateOf(m, 0x50), '?');
    EXPECT_EQ(m.CursorRow(), 1);
    // An entry: cell 2 is blank, cell 3 its state.
    m.ClickTree(3, 2);
    EXPECT_EQ(StateOf(m, 0x41), 'y');
    m.ClickTree(3, 3);
    EXPECT_EQ(StateOf(m, 0x41), 'N');
    EXPECT_EQ(StateOf(m, 0x40), '?');
    // Past the symbols and past the rows nothing happens.
    const std::string before = Tree(m);
    m.ClickTree(3, 4);
    m.ClickTree(40, 1);
    EXPECT_EQ(Tree(m), before);
}

TEST_F(ParagraphChooserEntries, HighlightShowsInViewerModeOnly)
{
    // Rows: groups 1-4 (rows 1-4), then 24 and 99 of the open group 4.
    Model m = Built('K', {}, 'V', 0x24);
    EXPECT_EQ(m.RowText(5)[1], '2' - 32);
    EXPECT_EQ(m.RowText(6)[1], '9');
    CursorOn(m, 0x99);
    m.Key('1');
    EXPECT_EQ(m.Highlight(), 0x99);
    EXPECT_EQ(m.RowText(5)[1], '2');
    EXPECT_EQ(m.RowText(6)[1], '9' - 32);
    m.ToggleHighlight();
    EXPECT_EQ(m.Highlight(), 0);
    // A row starting with blanks goes below 32 as well.
    CursorOn(m, 0xC4);
    m.Key('1');
    EXPECT_EQ(m.RowText(4)[1], '\0');
    EXPECT_EQ(Built('K', {}, 'F', 0x24).RowText(5)[1], '2');
}

TEST_F(ParagraphChooserEntries, AKindWithoutParagraphs)
{
    test_support::ScopedTexts none(UiSource(), "[Other]\nx=y\n");
    Model m;
    m.Build('K', 'V', {}, 0);
    m.SetRowsShown(10);
    EXPECT_TRUE(m.Entries().empty());
    EXPECT_EQ(m.RowText(1), kEndOfRows);
    for (uint16_t key : {uint16_t(' '), ActionCode::End, ActionCode::Down, uint16_t('1'), ActionCode::PageUp})
        EXPECT_EQ(m.Key(key), 0);
    m.ClickTree(1, 1);
    EXPECT_EQ(m.Top(), 0);
    EXPECT_EQ(m.ScrollMax(), 0);
    EXPECT_EQ(m.CursorRow(), 0);
    EXPECT_EQ(m.Selection(), "");
}

} // namespace
