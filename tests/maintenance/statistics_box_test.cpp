// The statistics box on the data set's texts: the caption, a missing third
// line, a list ending at a missing eighth line, a line of six fields, the
// size and the button's place; then every settings dialog and the box as
// screenshots in both languages.

#include <QPushButton>

#include "frame/windows/main_form.h"
#include "maintenance/files_dialog.h"
#include "maintenance/filter_dialog.h"
#include "maintenance/fonts_colours_dialog.h"
#include "maintenance/statistics_box.h"
#include "maintenance/toolbar_dialog.h"
#include "maintenance/window_layout_dialog.h"
#include "tests/maintenance/settings_test_support.h"

using namespace settingstest;

namespace {

std::vector<std::string> Texts(const std::vector<StatisticsItem>& items)
{
    std::vector<std::string> t;
    for (const StatisticsItem& i : items)
        t.push_back(i.text);
    return t;
}

class StatisticsBoxDialog : public SettingsTest {};

} // namespace

TEST_F(StatisticsBoxDialog, LinesComeFromTheDataTexts)
{
    const struct {
        const char* name;
        const char* source;
        std::vector<std::string> texts;
    } cases[] = {
        {"Stat.L3 missing",
         "[Stat]\nNadpis=Statistika\nL1=A  1\nL2=B\nL4=D\nL5=E\n",
         {"A", "1", "B", "!! Stat.L3", "D", "E"}},
        {"Stat.L8 missing after seven lines",
         "[Stat]\nNadpis=Statistika\nL1=1\nL2=2\nL3=3\nL4=4\nL5=5\nL6=6\nL7=7\nL9=9\n",
         {"1", "2", "3", "4", "5", "6", "7"}},
        {"a line of six fields",
         "[Stat]\nNadpis=Statistika\nL1=Ceny  1  2  3  4  5\nL2=\nL3=\nL4=\nL5=\n",
         {"Ceny", "1", "2", "3", "4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test_support::ScopedTextTable texts(DataTexts, test_support::CompileTable(c.source));
        TStatistika d;
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Statistika"));
        EXPECT_EQ(Texts(d.Items()), c.texts);
    }
}

TEST_F(StatisticsBoxDialog, SizedForTwentyLinesWithTheButtonBelow)
{
    TStatistika d;
    Show(&d);
    const StatisticsGeometry& g = d.Geometry();
    EXPECT_EQ(d.size(), g.client);
    auto* ok = Child<QPushButton>(&d, "OKButton");
    EXPECT_EQ(ok->geometry().bottom() + 1, d.height() - 2);
    EXPECT_EQ(ok->x(), (d.width() - ok->width()) / 2);
    EXPECT_EQ(g.client.height(), g.column[0] + 20 * g.lineHeight + ok->height() + 4);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Statistika databáze KALVO 2025.4"));
    const std::vector<StatisticsItem> items = d.Items();
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.front().text, Kam("Léčivé přípravky"));
    Click(ok);
    EXPECT_EQ(d.result(), QDialog::Accepted);
}

// Screenshots of every dialog in both languages, and the statistics box on
// the demo data.
TEST_F(StatisticsBoxDialog, ScreenshotsInBothLanguages)
{
    for (const char* language : {"ces", "ang"}) {
        ScopedUiTexts texts(ProgramTable(language));
        test_support::ScopedTextTable dataTexts(DataTexts, DemoDataTable(language));
        const std::string suffix = std::string("_") + language;
        {
            TNastav1 d(DataPart::Always | DataPart::Cvzp, nullptr);
            Shot(&d, "settings_filters" + suffix);
        }
        {
            TNastav2 d;
            Shot(&d, "settings_files" + suffix);
        }
        {
            TNastav3 d;
            Shot(&d, "settings_fonts_colours" + suffix);
        }
        {
            TNastav4 d;
            Shot(&d, "settings_windows" + suffix);
        }
        {
            TNastav5 d;
            Shot(&d, "settings_toolbar" + suffix);
        }
        {
            TStatistika d;
            Shot(&d, "statistics_box" + suffix);
            EXPECT_FALSE(d.windowTitle().startsWith(QStringLiteral("!!")));
        }
    }
}
