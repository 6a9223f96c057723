// The settings dialogs' parts without widgets: paragraph code and selection
// texts, the toolbar list, the notes name, the news option, font sizes, the
// shortcut plan and the statistics layout.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "datastore/paragraph_codes.h"
#include "frame/config/config_file.h"
#include "maintenance/settings_model.h"
#include "maintenance/statistics_layout.h"
#include "platform/fs.h"
#include "tests/frame/data_form_test_support.h"

using namespace dftest;

namespace {

std::string Utf8(const std::string& kam)
{
    return KamToQString(kam).toStdString();
}

class SettingsDialogModel : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
    ScopedUiTexts texts{ProgramTable("ces")};
};

} // namespace

TEST_F(SettingsDialogModel, ParagraphCodeTextTakesTheLettersElseTheHexDigits)
{
    // "Prohlizec.Zkr1"/"Zkr2" of the program's table: position 12 is "IN",
    // positions 1 to 11 start with a digit, 100 and above lie past the texts.
    const struct {
        uint8_t code;
        const char* text;
    } cases[] = {
        {0x12, "IN"},               // 10 x 1 + 2
        {0x00, "PR"},               // a letter and a letter
        {0x05, "05"},               // "0" + "5": a digit first gives none
        {0x23, "PK"}, {0xC3, "C3"}, // a group code: 123, past the texts
        {0xFF, "FF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParagraphCodeText(c.code), c.text) << int(c.code);
}

TEST_F(SettingsDialogModel, RowTextsShowAllStartsAndSwitchedOffSelections)
{
    ConfigValues v;
    const auto rows = ParagraphRows();
    ASSERT_EQ(rows.size(), 9u);
    auto rowOf = [&](const char* box) -> const ParagraphRowSpec& {
        for (const ParagraphRowSpec& r : rows)
            if (std::string(r.box) == box)
                return r;
        throw std::runtime_error(box);
    };
    ParagraphSelections& p = v.paragraphCurrent;
    *p.Start('K') = 0x12;           // summary, start "IN"
    *p.Start('S') = 0x45;           // SPC: its digits
    *p.Start('R') = 0xC3;           // a group code: hexadecimal
    *p.First('B') = "\x21\xFF";     // switched off
    *p.Second('E') = std::string(); // empty
    const struct {
        const char* box;
        const char* text;
    } cases[] = {
        {"cbCl", "všechny odstavce, začátek: IN"},
        {"cbSPC", "všechny odstavce, začátek: 45"},
        {"cbPfa", "všechny odstavce, začátek: C3"},
        {"cbBr", "všechny odstavce"},
        {"cbEng", "všechny odstavce"},
        {"cbEnH", "všechny odstavce"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8(ParagraphRowText(p, rowOf(c.box))), c.text) << c.box;
}

TEST_F(SettingsDialogModel, CopyingARowTakesSelectionAndStartOverTheDefaults)
{
    ConfigValues v;
    *v.paragraphCurrent.First('S') = std::string(90, '\x41');
    *v.paragraphCurrent.Start('S') = 0x45;
    *v.paragraphCurrent.Second('K') = std::string("\x22\xFF", 2);
    *v.paragraphCurrent.Start('B') = 0x07; // a row not copied
    for (const ParagraphRowSpec& r : ParagraphRows())
        if (std::string(r.box) == "cbSPC" || std::string(r.box) == "cbClH")
            CopyParagraphRow(v, r);
    EXPECT_EQ(*v.paragraphDefaults.First('S'), std::string(80, '\x41')) << "at most 80 codes";
    EXPECT_EQ(*v.paragraphDefaults.Start('S'), 0x45);
    EXPECT_EQ(*v.paragraphDefaults.Second('K'), std::string("\x22\xFF", 2)) << "switched off stays off";
    EXPECT_EQ(*v.paragraphDefaults.Start('B'), 0);
}

TEST_F(SettingsDialogModel, FilterBoxesKeepTheBitsNoBoxOwns)
{
    ConfigValues v;
    v.FilterFlags = 1 | 2 | 4 | 0x400; // +V and -V and bit 10 have no box
    v.KeySelectOption = 128;
    std::unique_ptr<bool[]> checked(new bool[FilterBoxes().size()]());
    ApplyFilterBoxes(v, std::span<const bool>(checked.get(), FilterBoxes().size()));
    EXPECT_EQ(v.FilterFlags, 1 | 2 | 0x400);
    EXPECT_EQ(v.KeySelectOption, 0);
    EXPECT_EQ(v.Dop3Off, 1) << "unchecked means off";
    EXPECT_EQ(v.BlinkOff, 1);
    EXPECT_EQ(v.SeptacOption, 0);
}

TEST_F(SettingsDialogModel, ToolbarListFollowsTheToolbarOrder)
{
    std::string w = ToolbarWorkingList("");
    EXPECT_EQ(w, "-");
    EXPECT_EQ(RebuildToolbarList(w), "-") << "nothing chosen";
    for (const char* letters : {"SSI", "dMA", "RMR", "DNA"})
        w = ToggleToolbarChoice(w, letters);
    EXPECT_EQ(w, "-SSI-dMA-RMR-DNA-");
    EXPECT_EQ(RebuildToolbarList(w), "-DNA-dMA-RMR-SSI-") << "the toolbar's order, not the clicks'";
    w = ToggleToolbarChoice(w, "dMA");
    EXPECT_EQ(w, "-SSI-RMR-DNA-");
    EXPECT_FALSE(ToolbarChoiceHas(w, "dMA"));
    EXPECT_FALSE(ToolbarChoiceHas("-DMA-", "dMA")) << "a lower-case letter is another code";
    EXPECT_EQ(RebuildToolbarList("-XYZ-dMA-QQ-"), "-dMA-") << "unknown codes are dropped";
    EXPECT_EQ(ToolbarWorkingList("dMA-dAK"), "-dMA-dAK-");
}

TEST_F(SettingsDialogModel, NewsOptionAndFontSizes)
{
    const struct {
        char stored;
        bool checked;
        char after;
    } news[] = {{'3', false, '0'}, {'0', true, '3'}, {'7', true, '7'}, {'7', false, '0'}, {'0', false, '0'}};
    for (const auto& n : news)
        EXPECT_EQ(NewsOptionAfter(n.stored, n.checked), n.after) << n.stored << n.checked;
    const struct {
        double points;
        int size;
    } sizes[] = {{40, 30}, {3, 6}, {9.6, 10}, {12, 12}, {-1, 9}};
    for (const auto& s : sizes)
        EXPECT_EQ(ConfigFontSize(s.points), s.size) << s.points;
}

TEST_F(SettingsDialogModel, NotesNameIsCutToEightUpperCaseLettersInTheNotesFolder)
{
    std::string name = "OLD";
    EXPECT_TRUE(NotesNameOfFile("/data/notes/poznamkyLekare.not", "/data/notes/", name));
    EXPECT_EQ(name, "POZNAMKY");
    EXPECT_TRUE(NotesNameOfFile("/data/notes/léky.NOT", "/data/notes", name));
    EXPECT_EQ(name, QStringToCp1250(QStringLiteral("LÉKY")));
    name = "OLD";
    EXPECT_FALSE(NotesNameOfFile("/elsewhere/notes.not", "/data/notes/", name));
    EXPECT_FALSE(NotesNameOfFile("/data/notes/sub/notes.not", "/data/notes/", name));
    EXPECT_FALSE(NotesNameOfFile("/data/notes/.not", "/data/notes/", name)) << "no name";
    EXPECT_EQ(name, "OLD");
}

TEST_F(SettingsDialogModel, ShortcutPointsAtTheLauncherWhenThereIsOne)
{
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    const struct {
        const char* programFolder;
        bool launcher;
        bool icon;
        const char* name;
        const char* subfolder;
    } cases[] = {
        {"kalvo/v250401/", true, true, "KALVO Win", "KALVO"},
        {"kalvo2/v250401/", true, false, "KALVO Win", "KALVO"},
        {"plain/", false, false, "KALVO Win", "KALVO"},
        {"Corvana/bin/", false, false, "Corvana", ""},
        {"apps/KVOV 1/", true, false, "Corvana", ""},
    };
    for (const auto& c : cases) {
        const std::string folder = root + "/" + c.programFolder;
        QDir().mkpath(QString::fromStdString(folder));
        const std::string base = folder.substr(0, folder.rfind('/', folder.size() - 2) + 1);
        if (c.launcher)
            WriteFileAtomic(base + "qevw.sh", "#!/bin/sh\n");
        if (c.icon)
            WriteFileAtomic(base + "qev.ico", "icon");
        const ShortcutPlan p = PlanShortcut(folder + "qevw");
        EXPECT_EQ(p.name, c.name) << c.programFolder;
        EXPECT_EQ(p.link.description, c.name);
        EXPECT_EQ(p.subfolder, c.subfolder) << c.programFolder;
        EXPECT_EQ(p.link.target, c.launcher ? base + "qevw.sh" : folder + "qevw") << c.programFolder;
        EXPECT_EQ(p.link.workingFolder,
                  (c.launcher ? base : folder).substr(0, (c.launcher ? base : folder).size() - 1));
        EXPECT_EQ(p.link.icon, c.icon ? base + "qev.ico" : "") << c.programFolder;
        EXPECT_EQ(p.link.minimised, c.launcher);
    }
}

// ---------------------------------------------------------------- statistics

namespace {

// H 10, W 600, a button 20 high: c0 15, client 720 wide, columns ending at
// 405, 505, 605 and 705.
StatisticsGeometry Geometry()
{
    return StatisticsGeometryOf(10, 600, 20);
}

// The lines given; up to the fifth the others are empty, after it missing.
std::vector<StatisticsItem> Lay(std::vector<std::pair<bool, std::string>> lines)
{
    while (lines.size() < 5)
        lines.push_back({true, ""});
    return LayOutStatistics(
        [&](int i) {
            const size_t k = static_cast<size_t>(i - 1);
            StatisticsLine l;
            if (k < lines.size()) {
                l.found = lines[k].first;
                l.text = lines[k].second;
            } else {
                l.text = "!! Stat.L" + std::to_string(i);
            }
            return l;
        },
        Geometry());
}

using Item = StatisticsItem;

} // namespace

void PrintTo(const StatisticsItem& i, std::ostream* os)
{
    *os << "{\"" << i.text << "\", " << i.x << ", " << i.y << (i.rightAligned ? ", right}" : ", left}");
}

TEST(StatisticsBox, GeometryKeepsTwentyLinesAboveTheButton)
{
    const StatisticsGeometry g = Geometry();
    EXPECT_EQ(g.column, (std::array<int, 5>{15, 405, 505, 605, 705}));
    EXPECT_EQ(g.client, QSize(720, 15 + 200 + 20 + 4));
    std::vector<std::pair<bool, std::string>> twenty(20, {true, "x"});
    const auto items = Lay(twenty);
    ASSERT_EQ(items.size(), 20u);
    const int buttonTop = g.client.height() - 2 - 20;
    EXPECT_LE(items.back().y + g.lineHeight, buttonTop);
}

TEST(StatisticsBox, LinesAsFieldsInColumns)
{
    const struct {
        const char* name;
        std::vector<std::pair<bool, std::string>> lines;
        std::vector<Item> items;
    } cases[] = {
        {"indented label, word and number",
         {{true, "  label  word  12"}},
         {{"label", 45, 15, false}, {"word", 405, 15, true}, {"12", 505, 15, true}}},
        {"five fields, the second a dot",
         {{true, "Ceny  .  250  268  +18"}},
         {{"Ceny", 15, 15, false}, {"250", 505, 15, true}, {"268", 605, 15, true}, {"+18", 705, 15, true}}},
        {"six fields: the sixth is not drawn",
         {{true, "A  1  2  3  4  5"}},
         {{"A", 15, 15, false},
          {"1", 405, 15, true},
          {"2", 505, 15, true},
          {"3", 605, 15, true},
          {"4", 705, 15, true}}},
        {"longer runs of blanks are one cut",
         {{true, "A     7"}},
         {{"A", 15, 15, false}, {"7", 405, 15, true}}},
        {"an empty line is half a line",
         {{true, "A"}, {true, ""}, {true, "B"}},
         {{"A", 15, 15, false}, {"B", 15, 30, false}}},
        {"a missing third line shows its key",
         {{true, "A"}, {true, "B"}, {false, "!! Stat.L3"}, {true, "D"}},
         {{"A", 15, 15, false}, {"B", 15, 25, false}, {"!! Stat.L3", 15, 35, false}, {"D", 15, 45, false}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Lay(c.lines), c.items) << c.name;
}

TEST(StatisticsBox, AMissingLineAfterTheFifthEndsTheList)
{
    std::vector<std::pair<bool, std::string>> lines(7, {true, "x"});
    lines.push_back({false, "!! Stat.L8"});
    lines.push_back({true, "after"});
    EXPECT_EQ(Lay(lines).size(), 7u);
}
