// The filter dialog (TNastav1): every box through OK, the file and a new
// start; the paragraph rows landing in the slots the chooser and the
// viewers read; the homeopathics pair; the hidden reimbursement filter.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "frame/config/stored_paragraphs.h"
#include "frame/windows/main_form.h"
#include "maintenance/filter_dialog.h"
#include "tests/maintenance/settings_test_support.h"

using namespace settingstest;

namespace {

constexpr uint16_t kWithReimbursement = DataPart::Always | DataPart::Cvzp;

class SettingsDialogFilters : public SettingsTest {};

std::string LabelText(QWidget* d, const char* name)
{
    return d->findChild<QLabel*>(QString::fromLatin1(name))->text().toStdString();
}

} // namespace

TEST_F(SettingsDialogFilters, EachBoxReachesTheFileAndComesBack)
{
    const struct {
        const char* box;
        const char* line; // nullptr: lasts for the run only
    } cases[] = {
        {"FLpH", "DRUG=+H"},    {"FLmH", "DRUG=-H"},  {"FLReg", "DRUG=C"},  {"FLObch", "DRUG=O"},
        {"FLVZP", "DRUG=Z"},    {"FLmZru", "DRUG=A"}, {"FL1bal", "DRUG=1"}, {"FLpU", "DRUG=+U"},
        {"FKmS", "COMP=-S"},    {"FSrS", "INGR=A"},   {"FAAct", "UATC=A"},  {"VSept", "WHISPER=0"},
        {"VybKl", "BORDER=NO"}, {"Fblik", "BLICK=1"}, {"vDop3", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        Restart();
        const std::string before = File();
        bool checked = false;
        {
            TNastav1 d(kWithReimbursement, nullptr);
            Show(&d);
            auto* box = Child<QCheckBox>(&d, c.box);
            Click(box);
            checked = box->isChecked();
            Click(Child<QPushButton>(&d, "OKBtn"));
        }
        if (c.line == nullptr) {
            EXPECT_EQ(Config().Snapshot().Dop3Off, 1);
            EXPECT_EQ(File(), before) << "no key";
            Reload();
            EXPECT_EQ(Config().Snapshot().Dop3Off, 0);
            checked = !checked;
        } else {
            EXPECT_TRUE(HasLine(File(), c.line)) << File();
            Reload();
        }
        TNastav1 again(kWithReimbursement, nullptr);
        EXPECT_EQ(Child<QCheckBox>(&again, c.box)->isChecked(), checked);
    }
}

TEST_F(SettingsDialogFilters, ParagraphRowsCopyTheirSlotsOverTheDefaults)
{
    Config().Update([](ConfigValues& v) {
        ParagraphSelections& p = v.paragraphCurrent;
        *p.Start('K') = 0x12;                       // "IN"
        *p.First('B') = std::string("\x21\xFF", 2); // switched off
        *p.Start('S') = 0x45;                       // digits
        *p.First('R') = "\x26";
        *p.Start('R') = 0xC3; // a group code
        *p.First('E') = "\x13";
        *p.Second('K') = "\x22"; // the search's "k"
        *p.Second('S') = "\x43";
        *p.Second('R') = "\x24";
        *p.Second('E') = "\x25";
    });
    const std::string labels[] = {"Label22", "Label23", "Label24", "Label25", "Label21",
                                  "Label26", "Label27", "Label28", "Label29"};
    std::vector<std::string> shown;
    {
        TNastav1 d(kWithReimbursement, nullptr);
        Show(&d);
        for (const std::string& l : labels)
            shown.push_back(LabelText(&d, l.c_str()));
        EXPECT_EQ(shown[0], "všechny odstavce, začátek: IN");
        EXPECT_EQ(shown[1], "všechny odstavce") << "a selection switched off shows everything";
        EXPECT_EQ(shown[2], "všechny odstavce, začátek: 45");
        EXPECT_NE(shown[3].find(", začátek: C3"), std::string::npos) << shown[3];
        EXPECT_EQ(shown[4].find("začátek"), std::string::npos) << "no start paragraph";
        for (const char* box :
             {"cbCl", "cbBr", "cbSPC", "cbPfa", "cbEng", "cbClH", "cbSPH", "cbPfH", "cbEnH"}) {
            EXPECT_FALSE(Child<QCheckBox>(&d, box)->isChecked());
            Click(Child<QCheckBox>(&d, box));
        }
        Click(Child<QPushButton>(&d, "OKBtn"));
    }
    const std::string paragr = Section(File(), "[QEV paragr]");
    for (const char* line :
         {"BREV=21FF", "PFA=26", "ENG=13", "FKODEX=22", "FSPC=43", "FPFA=24", "FENG=25", "FAVORS=120045C300"})
        EXPECT_TRUE(HasLine(paragr, line)) << line << "\n" << paragr;
    Reload();
    EXPECT_EQ(StoredParagraphSelection('V', 'B'), std::string("\x21\xFF", 2));
    EXPECT_EQ(StoredParagraphSelection('V', 'R'), "\x26");
    EXPECT_EQ(StoredParagraphSelection('V', 'E'), "\x13");
    EXPECT_EQ(StoredParagraphSelection(kParagraphFilterMode, 'k'), "\x22");
    EXPECT_EQ(StoredParagraphSelection(kParagraphFilterMode, 'S'), "\x43");
    EXPECT_EQ(StoredParagraphSelection(kParagraphFilterMode, 'r'), "\x24");
    EXPECT_EQ(StoredParagraphSelection(kParagraphFilterMode, 'E'), "\x25");
    for (char kind : {'K', 'B', 'S', 'R', 'E'})
        EXPECT_EQ(
            StoredParagraphHighlight(kind),
            static_cast<uint8_t>(std::string("\x12\x00\x45\xC3\x00", 5)[std::string("KBSRE").find(kind)]));
    TNastav1 again(kWithReimbursement, nullptr);
    for (size_t i = 0; i < std::size(labels); ++i)
        EXPECT_EQ(LabelText(&again, labels[i].c_str()), shown[i]) << labels[i];
}

TEST_F(SettingsDialogFilters, UncheckedRowsLeaveTheDefaults)
{
    Stored([](ConfigValues& v) { *v.paragraphDefaults.First('K') = "\x31"; });
    Reload();
    Config().Update([](ConfigValues& v) { *v.paragraphCurrent.First('K') = "\x32"; });
    const std::string before = File();
    {
        TNastav1 d(kWithReimbursement, nullptr);
        Show(&d);
        Click(Child<QPushButton>(&d, "OKBtn"));
    }
    EXPECT_EQ(File(), before) << "the same values written again";
    EXPECT_EQ(*Config().Snapshot().paragraphDefaults.First('K'), "\x31");
}

TEST_F(SettingsDialogFilters, HomeopathicsBoxesExcludeEachOther)
{
    const struct {
        const char* name;
        uint16_t flags;
        const char* click; // nullptr: as opened
        bool pH, mH, pHEnabled, mHEnabled;
    } cases[] = {
        {"neither", 0, nullptr, false, false, true, true},
        {"only +H disables -H", 4, nullptr, true, false, true, false},
        {"only -H disables +H", 8, nullptr, false, true, false, true},
        {"both set by hand: both enabled", 4 | 8, nullptr, true, true, true, true},
        {"both set, +H clicked off clears -H", 4 | 8, "FLpH", false, false, true, true},
        {"-H clicked on", 0, "FLmH", false, true, false, true},
        {"-H clicked off enables +H", 8, "FLmH", false, false, true, true},
        {"both set, -H clicked off clears +H", 4 | 8, "FLmH", false, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Config().Update([&](ConfigValues& v) { v.FilterFlags = c.flags; });
        TNastav1 d(kWithReimbursement, nullptr);
        Show(&d);
        auto* pH = Child<QCheckBox>(&d, "FLpH");
        auto* mH = Child<QCheckBox>(&d, "FLmH");
        if (c.click)
            Click(Child<QCheckBox>(&d, c.click));
        EXPECT_EQ(pH->isChecked(), c.pH);
        EXPECT_EQ(mH->isChecked(), c.mH);
        EXPECT_EQ(pH->isEnabled(), c.pHEnabled);
        EXPECT_EQ(mH->isEnabled(), c.mHEnabled);
    }
}

TEST_F(SettingsDialogFilters, AHiddenReimbursementFilterIsStoredOff)
{
    Stored([](ConfigValues& v) { v.FilterFlags = 64 | 16; });
    TNastav1 d(DataPart::Always, nullptr);
    Show(&d);
    EXPECT_TRUE(Child<QCheckBox>(&d, "FLVZP")->isHidden());
    Click(Child<QPushButton>(&d, "OKBtn"));
    EXPECT_EQ(Config().Snapshot().FilterFlags, 16);
    EXPECT_TRUE(HasLine(File(), "DRUG=C"));
}
