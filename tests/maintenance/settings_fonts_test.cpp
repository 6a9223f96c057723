// The fonts and colours dialog (TNastav3): four fonts and six colours
// through OK, the file and a new start; the default colours; choosers that
// are cancelled or answer a font that cannot write the texts; the mock-up.

#include <QLabel>
#include <QPushButton>

#include "frame/windows/style.h"
#include "maintenance/fonts_colours_dialog.h"
#include "tests/maintenance/settings_test_support.h"

using namespace settingstest;

namespace {

class SettingsDialogFonts : public SettingsTest {};

QFont Font(const char* family, int size, bool bold = false, bool italic = false)
{
    QFont f(QString::fromLatin1(family), size);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// Clicks a part of the mock-up.
void ClickPart(QWidget* d, const char* name)
{
    auto* w = d->findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(w, nullptr) << name;
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(2, 2));
}

} // namespace

TEST_F(SettingsDialogFonts, FourFontsReachTheFileAndComeBack)
{
    fontsChosen = {Font("DejaVu Serif", 40, true), Font("DejaVu Sans", 3),
                   Font("DejaVu Sans Mono", 11, false, true), Font("DejaVu Sans", 12, true, true)};
    {
        TNastav3 d;
        Show(&d);
        for (const char* b : {"Button2", "Button3", "Button4", "Button5"})
            Click(Child<QPushButton>(&d, b));
        EXPECT_EQ(Child<QLabel>(&d, "Label32")->text(), QStringLiteral("DejaVu Serif, 30"));
        Click(Child<QPushButton>(&d, "OKBtn"));
    }
    const std::string win = Section(File(), "[QEVW win]");
    for (const char* line : {"FONTDLG=DejaVu Serif, 30 [1]", "FONTTAB=DejaVu Sans, 6 [0]",
                             "FONTTXT=DejaVu Sans Mono, 11 [2]", "FONTPRN=DejaVu Sans, 12 [3]"})
        EXPECT_TRUE(HasLine(win, line)) << line << "\n" << win;
    Reload();
    TNastav3 again;
    EXPECT_EQ(Child<QLabel>(&again, "Label32")->text(), QStringLiteral("DejaVu Serif, 30"));
    EXPECT_EQ(Child<QLabel>(&again, "Label33")->text(), QStringLiteral("DejaVu Sans, 6"));
    EXPECT_EQ(Child<QLabel>(&again, "Label34")->text(), QStringLiteral("DejaVu Sans Mono, 11"));
    EXPECT_EQ(Child<QLabel>(&again, "Label15")->text(), QStringLiteral("DejaVu Sans, 12"));
}

TEST_F(SettingsDialogFonts, SixColoursByNameAndByValueThenTheDefaults)
{
    // Panel4 colour 0, Label23 1, Panel1 2, Panel5 4, Label28 5, Panel6 6.
    coloursChosen = {QColor(255, 0, 0),        QColor(0x12, 0x34, 0x56), QColor(0, 128, 0),
                     QColor(0xAB, 0xCD, 0xEF), QColor(0, 0, 255),        QColor(0xF0, 0xE0, 0xD0)};
    {
        TNastav3 d;
        Show(&d);
        for (const char* part : {"Panel4", "Label23", "Panel1", "Panel5", "Label28", "Panel6"})
            ClickPart(&d, part);
        ASSERT_EQ(colourStarts.size(), 6u);
        EXPECT_EQ(colourStarts[0], ColourOfSetting(kDefaultColourTable[0])) << "starts at the colour shown";
        EXPECT_EQ(Child<QWidget>(&d, "Panel1")->palette().color(QPalette::Window), QColor(0, 128, 0))
            << "the mock-up follows";
        EXPECT_EQ(Child<QWidget>(&d, "Label28")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        Click(Child<QPushButton>(&d, "OKBtn"));
    }
    const std::string set = "COLOURS=clRed,$00563412,clGreen,clGrayText,$00EFCDAB,clBlue,$00D0E0F0,";
    EXPECT_TRUE(HasLine(File(), set)) << File();
    Reload();
    {
        TNastav3 d;
        Show(&d);
        EXPECT_EQ(Child<QWidget>(&d, "Panel4")->palette().color(QPalette::Window), QColor(255, 0, 0));
        Shot(&d, "settings_colours_nondefault");
        Click(Child<QPushButton>(&d, "Button1"));
        EXPECT_EQ(d.Working().colours, kDefaultColourTable);
        Click(Child<QPushButton>(&d, "OKBtn"));
    }
    EXPECT_TRUE(HasLine(
        File(), "COLOURS=clWindow,clWindowText,clAppWorkSpace,clGrayText,clBtnText,clRed,clBtnFace,"));
}

TEST_F(SettingsDialogFonts, CancelledChoosersAndForeignFontsChangeNothing)
{
    fontsChosen = {std::nullopt, Font("NoSuchFamilyForTheTest", 12), Font("DejaVu Sans", 14)};
    coloursChosen = {QColor()};
    const std::string before = File();
    {
        TNastav3 d;
        Show(&d);
        const FontsAndColours start = d.Working();
        Click(Child<QPushButton>(&d, "Button2")); // cancelled
        Click(Child<QPushButton>(&d, "Button2")); // a family that writes no Latin
        ClickPart(&d, "Panel4");                  // cancelled
        EXPECT_EQ(d.Working(), start);
        EXPECT_EQ(Child<QLabel>(&d, "Label32")->text(), QStringLiteral("Tarel Pro CE, 9"));
        Click(Child<QPushButton>(&d, "Button2"));
        EXPECT_EQ(d.Working().fonts[0], (ConfigFont{"DejaVu Sans", 14, 0}));
        Click(Child<QPushButton>(&d, "OKBtn"));
    }
    EXPECT_TRUE(HasLine(File(), "FONTDLG=DejaVu Sans, 14 [0]"));
    EXPECT_TRUE(HasLine(
        File(), "COLOURS=clWindow,clWindowText,clAppWorkSpace,clGrayText,clBtnText,clRed,clBtnFace,"));
}

TEST_F(SettingsDialogFonts, SystemColoursOnlyExplainThemselves)
{
    TNastav3 d;
    Show(&d);
    for (const char* part :
         {"Panel0", "Panel2", "Panel3", "Label22", "Label24", "Label25", "Label26", "Label27"})
        ClickPart(&d, part);
    EXPECT_TRUE(colourStarts.empty());
    ASSERT_EQ(boxes.Requests().size(), 8u);
    EXPECT_EQ(boxes.Requests()[0].text,
              QStringLiteral("Tuto barvu určuje systém, v programu ji změnit nelze."));
}
