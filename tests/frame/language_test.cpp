// The language switch at run time: both tables, the code tables and the main
// window's part each way, screenshots in both languages, and a missing table
// that leaves the program in its language.

#include "main_form_test_support.h"

#include <QFile>
#include <QMenuBar>

#include "app/language_hooks.h"
#include "datastore/drug_helpers.h"
#include "datastore/language.h"
#include "platform/fs.h"

using namespace main_test;

namespace {

class LanguageTest : public MainFormFixture {
protected:
    void SetUp() override
    {
        MainFormFixture::SetUp();
        savedLanguage_ = SetLanguageHooks({});
        InstallLanguageHooks();
        WriteText(program + "qevw.ang",
                  CompileTableBytes("[Uvod]\nVer=25.01\n[Test]\nWord=English\nMenu=File\n"));
        WriteText(program + "qevw.ces",
                  CompileTableBytes(std::string(kUiTexts) + "[Test]\nWord=Česky\nMenu=Soubor\n"));
        MakeData(346, "[Verze]\nCislo=1\nNadpis=KALVO - zkušební data\n[Hlav]\nczk=Kč\n");
        WriteText(data + "kalvo.ang",
                  CompileTableBytes("[Verze]\nCislo=1\nNadpis=KALVO - test data\n[Hlav]\nczk=CZK\n"));
        MainEntryPoints calls;
        // A menu whose title comes from the UI texts, so that the shots
        // show the language.
        calls.buildMainMenu = [this](QMainWindow* w, DataSetCode) {
            ++menus;
            w->menuBar()->addMenu(QString::fromLatin1(LookupText(UiTexts, "Test", "Menu").c_str()));
        };
        SetMainEntryPoints(std::move(calls));
        Config().Update([](ConfigValues& v) {
            v.LanguageCode = "ces";
            v.LanguageIndex = 0;
            v.configuredLanguage = "ces";
        });
    }
    void TearDown() override
    {
        SetLanguageHooks(std::move(savedLanguage_));
        FreeCodeTables();
        MainFormFixture::TearDown();
    }

    void Shot(TMainForm& w, const char* name)
    {
        w.show();
        QCoreApplication::processEvents();
        w.grab().save(QString::fromStdString(std::string(QEVW_BINARY_DIR) + "/" + name));
    }

    int menus = 0;
    LanguageHooks savedLanguage_;
};

TEST_F(LanguageTest, EnglishAndBack)
{
    auto w = MakeStarted();
    const int menusAtStart = menus;
    LoadCodeTables(DataSetCode::Drugs, 0);
    const std::string czechWord = LookupText(UiTexts, "Test", "Word");
    const std::string czechCurrency = CurrencyText();
    ASSERT_EQ(czechWord.substr(1), "esky");
    ASSERT_TRUE(LoadLanguage('E'));
    EXPECT_EQ(LookupText(UiTexts, "Test", "Word"), "English");
    EXPECT_EQ(LookupText(DataTexts, "Verze", "Nadpis"), "KALVO - test data");
    EXPECT_EQ(CurrencyText(), " CZK") << "the code tables were loaded again";
    EXPECT_EQ(Config().Snapshot().LanguageCode, "ang");
    EXPECT_EQ(Config().Snapshot().LanguageIndex, 1);
    EXPECT_EQ(menus, menusAtStart + 1);
    EXPECT_EQ(w->windowTitle(), "KALVO");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "KALVO");
    ASSERT_EQ(w->menuBar()->actions().size(), 1) << "the old menu was replaced";
    EXPECT_EQ(w->menuBar()->actions()[0]->text(), "File");
    Shot(*w, "language_english.png");

    ASSERT_TRUE(LoadLanguage('C'));
    EXPECT_EQ(LookupText(UiTexts, "Test", "Word"), czechWord);
    EXPECT_EQ(CurrencyText(), czechCurrency) << "Czech again";
    EXPECT_EQ(Config().Snapshot().LanguageCode, "ces");
    EXPECT_EQ(menus, menusAtStart + 2);
    ASSERT_EQ(w->menuBar()->actions().size(), 1);
    EXPECT_EQ(w->menuBar()->actions()[0]->text(), "Soubor");
    Shot(*w, "language_czech.png");
}

TEST_F(LanguageTest, MissingTableKeepsTheLanguage)
{
    auto w = MakeStarted();
    ASSERT_TRUE(QFile::remove(QString::fromStdString(data + "kalvo.ang")));
    // The language dialog has already chosen English.
    Config().Update([](ConfigValues& v) { v.configuredLanguage = "ang"; });
    const int menusBefore = menus;
    const std::string czechTitle = LookupText(DataTexts, "Verze", "Nadpis");
    const std::string czechWord = LookupText(UiTexts, "Test", "Word");
    EXPECT_FALSE(LoadLanguage('E'));
    const std::vector<std::string> boxes = BoxTexts();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back(),
              "Unable to read \"" + data + "kalvo.ang\":" + std::to_string(int(TextTableResult::OpenFailed)));
    EXPECT_EQ(LookupText(UiTexts, "Test", "Word"), czechWord) << "Czech stays";
    EXPECT_EQ(czechWord.substr(1), "esky");
    EXPECT_EQ(LookupText(DataTexts, "Verze", "Nadpis"), czechTitle);
    EXPECT_EQ(menus, menusBefore) << "the window stays as it was";
    const ConfigValues v = Config().Snapshot();
    EXPECT_EQ(v.LanguageCode, "ces");
    EXPECT_EQ(v.configuredLanguage, "ces");
    std::string saved;
    ASSERT_EQ(ReadWholeFile(Config().ConfigPath(), saved), 0) << Config().ConfigPath();
    EXPECT_NE(saved.find("LANGUAGE=ces"), std::string::npos);
}

} // namespace
