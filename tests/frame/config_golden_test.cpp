// Load + save against files laid out by hand.

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "datastore/text_table.h"
#include "tests/frame/config_test_support.h"

using namespace configtest;

namespace {

std::string LoadAndSave(const std::string& input)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/kalvo.ini";
    WriteBytes(path, input);
    TextTableSlot noTexts;
    ConfigFile config;
    config.SetTextTables(&noTexts, &noTexts);
    config.SetPaths(path, "");
    config.Load(TestInput());
    EXPECT_FALSE(config.LoadFailed());
    EXPECT_TRUE(config.Save(true));
    return ReadBytes(path);
}

} // namespace

TEST(ConfigGolden, FullInputSavesAsTheExpectedBytes)
{
    const std::string expected = ReadBytes(Fixture("full_expected.ini"));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(LoadAndSave(ReadBytes(Fixture("full_input.ini"))), expected);
}

TEST(ConfigGolden, ExpectedOutputIsAFixedPoint)
{
    const std::string expected = ReadBytes(Fixture("full_expected.ini"));
    EXPECT_EQ(LoadAndSave(expected), expected);
}

TEST(ConfigGolden, FullInputReadsEveryValue)
{
    const ConfigValues c = ReadConfigText(ReadBytes(Fixture("full_input.ini")), TestInput());
    EXPECT_EQ(c.configuredLanguage, "ang");
    EXPECT_EQ(c.LanguageCode, "ang");
    EXPECT_EQ(c.LanguageIndex, 1);
    EXPECT_EQ(c.videoCodePage, CodePageChoice::Win);
    EXPECT_EQ(c.printerCodePage, CodePageChoice::Latin);
    EXPECT_EQ(c.fileCodePage, CodePageChoice::Filter);
    EXPECT_EQ(c.transliterationFilter, "it's");
    EXPECT_EQ(c.FilterFlags, 2 + 4 + 16 + 64 + 256);
    EXPECT_EQ(c.SynonymFilter, 16);
    EXPECT_EQ(c.KeySelectOption, 0);
    EXPECT_EQ(c.paragraphFilter, "+-+-'+");
    EXPECT_EQ(c.ParagraphFlagArray().substr(0, 8), "+-+-'+++");
    EXPECT_EQ(c.textSearchOptions, 3);
    EXPECT_EQ(c.ReimbColumnLetters, "ABCD");
    EXPECT_EQ(c.TextTarget, 2);
    EXPECT_EQ(c.CompositionFilter, 1);
    EXPECT_EQ(c.AtcFilter, 1);
    EXPECT_EQ(c.SeptacOption, 0);
    EXPECT_EQ(c.BlinkOff, 1);
    EXPECT_EQ(c.NotesName, "MYNOTES");
    EXPECT_EQ(c.notesEditor, "C:/Tools/notes.exe");
    EXPECT_EQ(c.SignListName, "MOJE");
    EXPECT_EQ(c.paragraphDefaults.first[1], std::string("\x0A\x0B"));
    EXPECT_EQ(*c.paragraphCurrent.First('S'), std::string("\x40\x41\x4F"));
    EXPECT_EQ(c.paragraphDefaults.second[4], std::string("\x5F"));
    EXPECT_EQ(c.paragraphCurrent.start, (std::array<uint8_t, 5>{0x41, 0, 0, 0x51, 0x50}));
    EXPECT_EQ(c.windowMode, WindowMode::Sch2);
    EXPECT_EQ(c.placementMode, WindowMode::Sch2);
    EXPECT_EQ(c.ColourTable[0], 0x0000FFu);
    EXPECT_EQ(c.ColourTable[2], 0x00123456u);
    EXPECT_TRUE(c.maximize);
    EXPECT_EQ(c.DialogFont, (ConfigFont{"Arial", 12, 1}));
    EXPECT_EQ(c.ListFont, (ConfigFont{"Courier New", 10, 2}));
    EXPECT_EQ(c.PrintFont, (ConfigFont{"Arial CE", 11, 5}));
    EXPECT_FALSE(c.PrintSavingOption);
    EXPECT_EQ(c.mainWidth, 800);
    EXPECT_EQ(c.mainHeight, 600);
    EXPECT_EQ(c.mainLeft, 10);
    EXPECT_EQ(c.mainTop, 20);
    EXPECT_TRUE(c.keepMainWindow);
    EXPECT_FALSE(c.tipUser);
    EXPECT_TRUE(c.tipData);
    EXPECT_TRUE(c.ToolbarVisible);
    EXPECT_EQ(c.ToolbarSelection, "-dMA-dAK-RMD-");
    EXPECT_EQ(c.newWindowOption, 3);
    EXPECT_TRUE(c.longDrugColumns);
    EXPECT_EQ(c.schemes.shiftRight[0], 5);
    EXPECT_EQ(c.schemes.shiftDown[0], 7);
    EXPECT_EQ(c.NewsOption, '3');
    EXPECT_EQ(c.newsDate, "2024/05/01");
    EXPECT_EQ(c.updateBase, 'U');
    EXPECT_EQ(c.NextCheckDate, "2024/06/01");
    EXPECT_EQ(c.AutoUpdateSetting, 0);
    EXPECT_EQ(c.DeclinedPackage, "pkg 1.2");
    EXPECT_EQ(c.zlpSize, "12345678901");
    EXPECT_EQ(c.ConnectionFlags, 16);
    EXPECT_EQ(c.UrlScheme(), "http://");
    EXPECT_EQ(c.ProxyAddress, "proxy.example:8080");
    EXPECT_EQ(c.ProxyUser, "jan");
    EXPECT_EQ(c.ProxyPassword, "tajne heslo");
    EXPECT_EQ(c.chirItems, "|maxim=/opt/maxim/editor|pdf=/docs viewer");
    EXPECT_EQ(c.jipkaItems, "|max=/opt/maxim/data/prefix|photos=C:\\photos");
    EXPECT_EQ(FreeItemValue(c.chirItems, "pdf"), "/docs viewer");
    EXPECT_EQ(c.photosFolder, "C:/photos/");
    EXPECT_EQ(c.MaximDir, "/opt/maxim/data/prefix");
    EXPECT_EQ(c.maximEditor, "/opt/maxim/editor");
    EXPECT_EQ(c.NotesFolder, "/opt/kalvo/data/");
}

TEST(ConfigGolden, RoundtripToolWritesTheExpectedOutput)
{
    const QString tool = QString(QEVW_BINARY_DIR) + "/tools/config_roundtrip";
    ASSERT_TRUE(QFile::exists(tool)) << "build the config_roundtrip tool first";
    QTemporaryDir dir;
    const QString out = dir.path() + "/out.ini";
    QProcess p;
    p.start(tool, {QString::fromStdString(Fixture("full_input.ini")), out, "--program-folder",
                   "/opt/kalvo/v1/", "--data-folder", "/opt/kalvo/data/"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(ReadBytes(out.toStdString()), ReadBytes(Fixture("full_expected.ini")));
}
