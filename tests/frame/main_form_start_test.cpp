// The main window's start routine on small folders: installer fall-backs,
// data parts, version and caption texts, filters, notices, the unreadable
// tables, the program types' pages and the fonts.

#include "main_form_test_support.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

#include "frame/windows/icon_holder.h"
#include "platform/cp1250.h"

namespace {
// What the table loader answers for a file.
std::string LoadCode(const std::string& path)
{
    TextTablePtr t;
    return std::to_string(LoadTextTable(t, path));
}
} // namespace

using namespace main_test;

namespace {

class MainFormStartTest : public MainFormFixture {};

TEST_F(MainFormStartTest, WrongRecordLengthShowsDbVerAndFallsToInstaller)
{
    MakeData(345, "[Verze]\nCislo=1\n");
    auto w = MakeStarted();
    EXPECT_FALSE(w->Terminated());
    EXPECT_EQ(w->ProgramType, ProgramKind::Installer);
    EXPECT_EQ(w->DataSet, DataSetCode::None);
    EXPECT_EQ(w->DataParts, 0);
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], "Nesprávná verze databáze.");
    EXPECT_EQ(PublishedProgramType(), ProgramKind::Installer);
}

TEST_F(MainFormStartTest, MissingDrugTableFallsToInstallerSilently)
{
    QFile::remove(QString::fromStdString(data + "kl.dat"));
    auto w = MakeStarted();
    EXPECT_EQ(w->ProgramType, ProgramKind::Installer);
    EXPECT_EQ(w->DataSet, DataSetCode::None);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_NE(RunLogText().find("StartInstallerMode: nothing registered"), std::string::npos);
    EXPECT_NE(RunLogText().find("TInstWin: nothing registered"), std::string::npos);
    EXPECT_NE(w->Page(), nullptr) << "an empty installer hook still gives the empty page";
}

TEST_F(MainFormStartTest, StartValuesOfANormalStart)
{
    WriteText(data + "kodex.dat", "x");
    WriteText(data + "KLNAZ.TXT", "x");
    WriteText(data + "mkno.dat", "x");
    auto w = Make();
    Config().Update([](ConfigValues& v) { v.FilterFlags = 0xFFFF; });
    Config().Update([](ConfigValues& v) { v.DeclinedPackage = "25.02|Nová verze"; });
    w->Start();
    EXPECT_FALSE(w->Terminated());
    EXPECT_EQ(w->ProgramType, ProgramKind::Normal);
    EXPECT_EQ(w->DataParts, DataPart::Always | DataPart::Kodex | DataPart::KlnazTxt | DataPart::Mkno);
    EXPECT_EQ(w->VersionText, "qevw.exe-25.01-1");
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("KALVO - zkušební data"));
    EXPECT_EQ(Config().Read([](const ConfigValues& v) { return v.FilterFlags; }), 0xFFC);
    EXPECT_EQ(UpdateShared().StartPageNotice(), "25.02|Nová verze") << "a newer notice stays";
    EXPECT_EQ(DeviceBlankClassLetter(), 'B');
    EXPECT_EQ(w->StatusText, "startuji");
    EXPECT_FALSE(w->PaintBlocked);
    EXPECT_NE(w->MdiArea(), nullptr);
    EXPECT_GT(w->LineHeight(), 0);
    EXPECT_GT(w->SampleWidth(), w->LineHeight());
    EXPECT_NE(RunLogText().find("TPrazdno: nothing registered"), std::string::npos);
}

TEST_F(MainFormStartTest, AFirstStartTakesTwoThirdsOfTheScreenInItsMiddle)
{
    const QRect offscreen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize offscreenSize(offscreen.width() > 960 ? offscreen.width() * 2 / 3 : 640,
                              offscreen.height() > 720 ? offscreen.height() * 2 / 3 : 480);
    const struct {
        const char* name;
        std::optional<QRect> screen; // nullopt: the primary screen's
        QRect expected;              // SIZEPOS: left, top, width, height
    } cases[] = {
        {"1400 x 900", QRect(0, 0, 1400, 900), QRect(233, 150, 933, 600)},
        {"a panel at the top", QRect(0, 30, 1920, 1050), QRect(320, 205, 1280, 700)},
        {"a small screen: 640 x 480", QRect(0, 0, 800, 600), QRect(80, 60, 640, 480)},
        {"the primary screen", std::nullopt,
         QRect(offscreen.topLeft() + QPoint((offscreen.width() - offscreenSize.width()) / 2,
                                            (offscreen.height() - offscreenSize.height()) / 2),
               offscreenSize)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MainFormOptions o;
        o.environment = [](const char*) { return std::string(); };
        o.sink = &sink;
        o.handOver = false;
        if (c.screen) {
            ConfigLoadInput screen;
            screen.screenLeft = c.screen->x();
            screen.screenTop = c.screen->y();
            screen.screenWidth = c.screen->width();
            screen.screenHeight = c.screen->height();
            o.screen = screen;
        }
        TMainForm w(o);
        w.Start();
        const QRect sizePos = Config().Read(
            [](const ConfigValues& v) { return QRect(v.mainLeft, v.mainTop, v.mainWidth, v.mainHeight); });
        EXPECT_EQ(sizePos, c.expected);
    }
}

TEST_F(MainFormStartTest, CaptionLetterAndNoticeFromTheTexts)
{
    struct Case {
        const char* texts;
        const char* notice;
        QString caption;
        char letter;
        const char* noticeAfter;
    };
    const Case cases[] = {
        {"[Verze]\nCislo=1\n[TZd]\n!=F\n", "25.01 stejná", QStringLiteral("KALVO"), 'F', ""},
        {"[Verze]\nCislo=1\nNadpis=Léky\n[TZd]\n!=B\n", "24.04 stará", QStringLiteral("Léky"), 'B', ""},
    };
    for (const Case& c : cases) {
        MakeData(346, c.texts);
        Config().Update([&c](ConfigValues& v) { v.DeclinedPackage = c.notice; });
        auto w = MakeStarted();
        EXPECT_EQ(w->windowTitle(), c.caption) << c.texts;
        EXPECT_EQ(DeviceBlankClassLetter(), c.letter) << c.texts;
        EXPECT_EQ(UpdateShared().StartPageNotice(), c.noticeAfter) << c.texts;
    }
}

TEST_F(MainFormStartTest, NewerVersionFolderSetsTheStatusText)
{
    struct Case {
        const char* best;
        std::string status;
    };
    const Case cases[] = {
        {"qevw_v250300", QStringToCp1250(QString::fromUtf8("Nová verze: qevw_v250300"))},
        {"qevw_v250100", ""},
        {"qevw_v241200", ""},
    };
    for (const Case& c : cases) {
        UpdateStatusText().Set("");
        UpdateServices u;
        const std::string best = c.best;
        u.findBestVersionFolder = [best] { UpdateShared().SetBestVersionFolder(best); };
        SetUpdateServices(u);
        auto w = MakeStarted();
        EXPECT_EQ(UpdateStatusText().Get(), c.status) << c.best;
    }
}

TEST_F(MainFormStartTest, UnreadableTablesStopWithExitCodeTwo)
{
    {
        WriteText(program + "qevw.ces", "not a table");
        auto w = MakeStarted();
        EXPECT_TRUE(w->Terminated());
        EXPECT_EQ(w->ExitCode(), 2);
        ASSERT_EQ(BoxTexts().size(), 1u);
        EXPECT_EQ(BoxTexts()[0],
                  "Unable to read \"" + program + "qevw.ces\":" + LoadCode(program + "qevw.ces"));
        EXPECT_EQ(w->Page(), nullptr);
    }
    WriteText(program + "qevw.ces", CompileTableBytes(kUiTexts));
    WriteText(data + "kalvo.ces", "XXXXXXXXXXXXXXXX");
    sink.Requests(); // unchanged sink; count from here
    const size_t before = BoxTexts().size();
    auto w = MakeStarted();
    EXPECT_TRUE(w->Terminated());
    EXPECT_EQ(w->ExitCode(), 2);
    ASSERT_EQ(BoxTexts().size(), before + 1);
    EXPECT_EQ(BoxTexts().back(), "Unable to read \"" + data + "kalvo.ces\":" + LoadCode(data + "kalvo.ces"));
    EXPECT_TRUE(exitCalls.empty()) << "before the event loop the code is only recorded";
    w->Terminate(2);
    EXPECT_EQ(exitCalls, std::vector<int>{2}) << "later ends go through the exit routine";
}

TEST_F(MainFormStartTest, EachProgramTypeMakesItsPage)
{
    struct Case {
        uint8_t type;
        const char* page; // "" none
        bool loader;
    };
    const Case cases[] = {
        {1, "TInstWin", false},  {2, "THlpWin ?", false}, {3, "TPrazdno", true},   {4, "TMknWin 0", false},
        {5, "TDuplicity", true}, {6, "", false},          {7, "TMknWin 1", false}, {8, "THlpWin D", false},
    };
    for (const Case& c : cases) {
        PageLog log;
        SetPageHooks(RecordingHooks(log));
        int loaderStarts = 0;
        MainEntryPoints e;
        e.startLoader = [&loaderStarts] { ++loaderStarts; };
        SetMainEntryPoints(e);
        UpdateServices u;
        u.startInstallerMode = [] { return true; };
        SetUpdateServices(u);
        ProgramStart().ProgramType = c.type;
        auto w = MakeStarted();
        ASSERT_FALSE(w->Terminated()) << int(c.type);
        EXPECT_EQ(w->ProgramType, c.type);
        EXPECT_EQ(PublishedProgramType(), c.type);
        if (*c.page) {
            EXPECT_EQ(log.made, std::vector<std::string>{c.page}) << int(c.type);
            EXPECT_EQ(w->Page(), log.last);
            EXPECT_GT(log.last->layouts, 0) << "built and laid out before it shows";
        } else {
            EXPECT_TRUE(log.made.empty());
            EXPECT_EQ(w->Page(), nullptr);
        }
        EXPECT_EQ(loaderStarts, c.loader ? 1 : 0) << int(c.type);
        EXPECT_EQ(w->MdiArea() != nullptr, c.type == 3);
        SetMainEntryPoints({});
    }
}

TEST_F(MainFormStartTest, RefusedInstallerStartEnds)
{
    UpdateServices u;
    u.startInstallerMode = [] { return false; };
    SetUpdateServices(u);
    ProgramStart().ProgramType = ProgramKind::Installer;
    auto w = MakeStarted();
    EXPECT_TRUE(w->Terminated());
    EXPECT_EQ(w->ExitCode(), 2);
}

TEST_F(MainFormStartTest, FirstActivationShowsTheStartTopicOnce)
{
    struct Case {
        uint8_t type;
        const char* positionals;
        const char* expected;
    };
    const Case cases[] = {
        {2, "|", "GoToTopic Obsah_"},
        {8, "|1=Uvod_|", "GoToTopic Uvod_"},
        {4, "|", "GoToCode ZaDTCa"},
        {7, "|1=A01|", "GoToCode A01"},
    };
    for (const Case& c : cases) {
        PageLog log;
        SetPageHooks(RecordingHooks(log));
        ProgramStart().ProgramType = c.type;
        ProgramStart().Positionals = c.positionals;
        auto w = MakeStarted();
        w->FormActivate();
        w->FormActivate();
        EXPECT_EQ(log.calls, std::vector<std::string>{c.expected}) << int(c.type);
    }
}

TEST_F(MainFormStartTest, FontsFromTheSharedRootElseTheProgramFolder)
{
    const QString dejavu = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    if (!QFile::exists(dejavu))
        GTEST_SKIP() << "DejaVu Sans not installed";
    {
        auto w = MakeStarted();
        EXPECT_TRUE(w->FontIds().empty()) << "no font files: a normal start";
        EXPECT_FALSE(w->Terminated());
        EXPECT_EQ(w->FontFolderPath, program);
    }
    // The launcher makes the data folder's parent the shared root.
    WriteText(base + "qevw.sh", "#!/bin/sh\n");
    ProgramStart().SharedRoot = base;
    ASSERT_TRUE(QFile::copy(dejavu, QString::fromStdString(base + "VEDAVIZO.DID")));
    ASSERT_TRUE(QFile::copy(dejavu, QString::fromStdString(program + "VEDAVIZO.DID")));
    WriteText(base + "TARELFIX.FON", "MZ not a font Qt reads");
    int id = -1;
    {
        auto w = MakeStarted();
        EXPECT_EQ(w->FontFolderPath, base);
        ASSERT_EQ(w->FontIds().size(), 1u) << "the .FON is skipped";
        id = w->FontIds()[0];
        EXPECT_FALSE(QFontDatabase::applicationFontFamilies(id).isEmpty());
        EXPECT_NE(RunLogText().find("TARELFIX.FON not loadable"), std::string::npos);
    }
    EXPECT_TRUE(QFontDatabase::applicationFontFamilies(id).isEmpty()) << "removed at destroy";

    QFile::remove(QString::fromStdString(base + "VEDAVIZO.DID"));
    auto w = MakeStarted();
    EXPECT_EQ(w->FontFolderPath, program);
    EXPECT_EQ(w->FontIds().size(), 1u);
}

TEST(IconHolderTest, NamedImagesAndAnEmptyOneForUnknownNames)
{
    start_test::EnsureApp();
    TIkona ikona;
    EXPECT_EQ(ikona.Count(), 46);
    EXPECT_EQ(TIkona::Names().size(), 46u);
    for (const char* name : TIkona::Names()) {
        const QPixmap p = ikona.Image(name);
        EXPECT_EQ(p.size(), QSize(33, 33)) << name;
    }
    EXPECT_TRUE(ikona.Image("ILText").toImage() != ikona.Image("ILNaz").toImage());
    EXPECT_TRUE(ikona.Image("Nothing").isNull());
    EXPECT_TRUE(ikona.Image("iltext").isNull());
}

} // namespace
