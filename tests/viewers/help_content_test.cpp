// The help files the build makes: the manual beside the program, the second
// help file and the doping list of the demo data.  Every help name the
// program asks for has its topic, every link resolves, every topic is in the
// contents and lays out; screenshots of the help page go to
// build/screenshots/.  And the program itself in help mode.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "datastore/ctrl_text.h"
#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/packed_text.h"
#include "datastore/text_table.h"
#include "frame/pages/page_events.h"
#include "help_page_fixture.h"
#include "platform/fs.h"
#include "tests/support/gui_app.h"
#include "viewers/help_page.h"

namespace {

namespace fs = std::filesystem;

const std::string kProgramDir = WithTrailingSlash(QEVW_PROGRAM_DIR);
const std::string kDataDir = WithTrailingSlash(QEVW_DEMO_DATA_DIR);

// The help names of the program's sources: what it passes to RequestHelp
// or GoToTopic and what it sets as a window's help keyword.
std::set<std::string> HelpNamesOfTheSources()
{
    std::set<std::string> names;
    const QRegularExpression call(R"((?:RequestHelp|requestHelp|GoToTopic|goToTopic)\(([^;]*)\))");
    const QRegularExpression keyword(R"(helpKeyword[^;\n]*)");
    const QRegularExpression literal(R"re("([A-Za-z][A-Za-z_]{5})")re");
    for (const char* folder : {"frame", "lists", "viewers", "maintenance"}) {
        const fs::path root = fs::path(QEVW_SOURCE_DIR) / folder;
        if (!fs::exists(root))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (entry.path().extension() != ".cpp")
                continue;
            std::string text;
            ReadWholeFile(entry.path().string(), text);
            const QString source = QString::fromStdString(text);
            for (const QRegularExpression* re : {&call, &keyword}) {
                auto it = re->globalMatch(source);
                while (it.hasNext()) {
                    auto lit = literal.globalMatch(it.next().captured(0));
                    while (lit.hasNext())
                        names.insert(lit.next().captured(1).toStdString());
                }
            }
        }
    }
    // Tables of list openers name them as fields.
    for (const char* n : {"HisCen", "SpLoPr"})
        names.insert(n);
    return names;
}

class HelpContent : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_support::EnsureGuiApp();
        previousUi_ = UiTexts.Get();
        previousData_ = DataTexts.Get();
        previousDir_ = DataDir();
        ASSERT_GE(LoadTextTable(UiTexts, kProgramDir + "qevw.ces"), TextTableResult::FirstSuccess);
        ASSERT_GE(LoadTextTable(DataTexts, kDataDir + "kalvo.ces"), TextTableResult::FirstSuccess);
        SetDataDir(kDataDir);
        ASSERT_TRUE(OpenHelpFiles(files, kProgramDir, kDataDir).ok);
        ASSERT_TRUE(files.hasSecond);
        ASSERT_TRUE(OpenDopingFile(doping, kDataDir).ok);
        sources.dataFolder = kDataDir;
        sources.dataTexts = DataTexts.Get().get();
        sources.noTable = LookupText(UiTexts, "Chyby", "NoTable");
        sources.contentsTitle = LookupText(UiTexts, "Manual", "Obs");
    }
    void TearDown() override
    {
        SetDataDir(previousDir_);
        DataTexts.Set(previousData_);
        UiTexts.Set(previousUi_);
    }

    std::string Topic(HelpFiles& f, int entry)
    {
        std::string text;
        EXPECT_EQ(ReadHelpTopic(f, entry, sources, text), 0) << entry;
        return text;
    }

    HelpFiles files;
    HelpFiles doping;
    HelpContentSources sources;

private:
    TextTablePtr previousUi_;
    TextTablePtr previousData_;
    std::string previousDir_;
};

TEST_F(HelpContent, EveryHelpNameOfTheProgramHasItsTopic)
{
    std::set<std::string> names = HelpNamesOfTheSources();
    for (const char* n : {"VybLek", "VyLeNa", "VybUhr", "Uhrada", "HleTex", "FilOds", "NaVeKl", "MeKlNe",
                          "MKNPOn", "DSZLMe", "NapDok", "Rejstr", "VyATKl", "LekLat", "VybLat", "VyObPo",
                          "SloSyn", "OkTeIn", "NaBaPi", "NaSoJa", "NasFil", "NasLis", "NasOkn"})
        names.insert(n);
    EXPECT_GE(names.size(), 20u);
    for (const std::string& name : names) {
        if (name == "Obsah_")
            continue; // the generated contents
        const int entry = files.list.Find(PackTopicKey(name));
        EXPECT_GE(entry, 2) << name << " has no topic in the manual";
        if (entry >= 2)
            EXPECT_EQ(files.list.entries[static_cast<size_t>(entry)].source, HelpSource::Manual) << name;
    }
    EXPECT_EQ(files.list.Find(PackTopicKey("Obsah_")), 1);
}

TEST_F(HelpContent, EveryLinkResolvesAndEveryTopicIsInTheContents)
{
    auto checkLinks = [&](HelpFiles& f, int entry, bool dopingList) {
        const std::string text = Topic(f, entry);
        CtrlTokenizer walk(text);
        CtrlItem item;
        int links = 0;
        while (walk.Next(item)) {
            if (!item.IsCode(26))
                continue;
            ++links;
            const CtrlLink link = LinkOf(text, item);
            if (dopingList) {
                EXPECT_GE(f.list.Find(PackTopicKey(link.parameter)), 0) << entry << ": " << link.parameter;
                continue;
            }
            if (link.kind == CtrlLinkKind::HelpTopic) {
                EXPECT_GE(f.list.Find(PackTopicKey(AbbreviateTopic(link.parameter))), 0)
                    << entry << ": " << link.parameter;
                continue;
            }
            // Web and mail links show their address, on ".example" hosts.
            std::string address;
            for (size_t i = static_cast<size_t>(item.End()); i < text.size() && uint8_t(text[i]) >= 32; ++i)
                address.push_back(text[i]);
            EXPECT_NE(address.find(".example"), std::string::npos) << entry << ": " << address;
            EXPECT_TRUE(link.kind == CtrlLinkKind::Web || link.kind == CtrlLinkKind::Email) << address;
        }
        return links;
    };
    int links = 0;
    for (int e = 0; e < files.list.Count(); ++e)
        links += checkLinks(files, e, false);
    EXPECT_GT(links, 100);
    for (int e = 0; e < doping.list.Count(); ++e)
        links += checkLinks(doping, e, true);

    // The contents link every entry after the contents themselves.
    const std::string contents = Topic(files, 1);
    std::set<TopicKey> linked;
    CtrlTokenizer walk(contents);
    CtrlItem item;
    while (walk.Next(item))
        if (item.IsCode(26))
            linked.insert(PackTopicKey(AbbreviateTopic(CtrlStringParam(contents, item))));
    for (int e = 2; e < files.list.Count(); ++e)
        EXPECT_TRUE(linked.count(files.list.entries[static_cast<size_t>(e)].key))
            << files.list.entries[static_cast<size_t>(e)].abbreviation;
    // The doping list's first entry links all the others.
    const std::string first = Topic(doping, 0);
    for (int e = 1; e < doping.list.Count(); ++e) {
        std::string marker;
        Pack6(doping.list.entries[static_cast<size_t>(e)].abbreviation, true, marker);
        EXPECT_NE(first.find("\x1A" + marker), std::string::npos)
            << doping.list.entries[static_cast<size_t>(e)].title;
    }
}

TEST_F(HelpContent, EveryTopicLaysOutAtNarrowAndWideWidths)
{
    ImageCanvas canvas(200, 200);
    for (HelpFiles* f : {&files, &doping})
        for (int e = 0; e < f->list.Count(); ++e) {
            CtrlTextView view;
            view.canvas = &canvas;
            view.text = Topic(*f, e);
            EXPECT_EQ(LayoutCtrlText(view), CtrlLayoutResult::Done)
                << f->list.entries[static_cast<size_t>(e)].title;
            EXPECT_GT(view.lineCount, 0);
            for (int width : {300, 1600})
                EXPECT_GT(MeasureCtrlText(view, width), 0) << e << " at " << width;
        }
    // The data topics of the second file hold their tables.
    for (const char* key : {"ZPUVYD", "LEKFOR", "JEDBAL", "DOPTRI", "LEGOMZ", "DRZPRO"}) {
        const int e = files.list.Find(PackTopicKey(key));
        ASSERT_GE(e, 0) << key;
        const std::string text = Topic(files, e);
        EXPECT_EQ(text.find(sources.noTable), std::string::npos) << key;
        EXPECT_EQ(text.find('\x1C'), std::string::npos) << key << ": placeholder left";
    }
}

// --- Screenshots of the page -------------------------------------------------

class HelpScreens : public HelpContent {
protected:
    void Make(char mode)
    {
        HelpPageServices s;
        s.programFolder = kProgramDir;
        s.dataFolder = kDataDir;
        s.requestHelp = [](const std::string&) {};
        s.printSetup = [] { return false; };
        s.terminate = [](int) {};
        page = MakeHelpPage(state, back, 900, 640, mode, s);
    }
    void Shot(const char* name)
    {
        page->Paint();
        const fs::path dir = fs::path(QEVW_BINARY_DIR) / "screenshots";
        fs::create_directories(dir);
        EXPECT_TRUE(back.Image().save(QString::fromStdString((dir / name).string()), "PNG"));
    }
    void TearDown() override
    {
        page.reset();
        HelpHistory().Clear();
        HelpContent::TearDown();
    }
    PageState state;
    ImageCanvas back;
    std::unique_ptr<THlpWin> page;
};

TEST_F(HelpScreens, ContentsChapterTablesScrolledIndexDoping)
{
    Make('?');
    page->GoToTopic("Obsah_");
    Shot("help_contents.png");
    page->GoToTopic("SEZNAM");
    EXPECT_TRUE(page->Topics().entries[static_cast<size_t>(page->CurrentEntry())].Generated());
    Shot("help_chapter.png");
    page->GoToTopic("VybUhr");
    Shot("help_tables.png");
    page->GoToTopic("Rejstr");
    for (int i = 0; i < 4; ++i)
        page->HandleEvent(PageEvent::WheelDown, PageShift::None);
    EXPECT_GT(page->Pager().RowsAbove(), 0);
    Shot("help_scrolled.png");
    page->GoToTopic("ZPUVYD");
    Shot("help_data_table.png");
    HelpHistory().Clear();
    page.reset();
    Make('?');
    page->GoToTopic("Rejstr");
    Shot("help_index.png");
    EXPECT_TRUE(page->Element(THlpWin::kInput).Visible());

    page.reset();
    Make('D');
    page->GoToTopic("S1");
    EXPECT_EQ(page->Topics().entries[static_cast<size_t>(page->CurrentEntry())].abbreviation, "S1");
    Shot("help_doping_entry.png");

    ASSERT_GE(LoadTextTable(UiTexts, kProgramDir + "qevw.ang"), TextTableResult::FirstSuccess);
    page.reset();
    Make('?');
    page->GoToTopic("Obsah_");
    Shot("help_english.png");
    EXPECT_NE(page->Pager().view.text.find("Contents"), std::string::npos);
}

// --- The program in help mode ------------------------------------------------

QProcessEnvironment ProgramEnv(const QString& runtime)
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("XDG_RUNTIME_DIR", runtime);
    e.insert("QT_QPA_PLATFORM", "offscreen");
    e.insert("QEVW_DEBUG", "1");
    e.remove("NODALCFG");
    return e;
}

TEST(HelpProgram, StartsInHelpModeAndRefusesWithoutItsManual)
{
    const QString program = QStringLiteral(QEVW_PROGRAM_DIR "/qevw");
    QTemporaryDir tmp;
    const QString runtime = tmp.path() + "/run";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    for (const char* mode : {"/q=help", "/q=dopl"}) {
        QProcess p;
        QProcessEnvironment e = ProgramEnv(runtime);
        e.insert("QEVW_GRAB", tmp.path() + "/help.png");
        e.insert("QEVW_GRAB_QUIT", "1");
        p.setProcessEnvironment(e);
        p.start(program, {QString::fromLatin1(mode), "/nw", "-d=" + QString::fromStdString(kDataDir)});
        ASSERT_TRUE(p.waitForFinished(60000)) << mode;
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_EQ(p.exitCode(), 0) << mode << err;
        EXPECT_EQ(err.find("nothing registered"), std::string::npos) << mode << err;
    }

    // A program folder without "qevw.hla": the message and exit code 2.
    const QString folder = tmp.path() + "/program";
    QDir().mkpath(folder);
    ASSERT_TRUE(QFile::copy(program, folder + "/qevw"));
    QFile::setPermissions(folder + "/qevw", QFile::permissions(program));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QEVW_PROGRAM_DIR "/qevw.ces"), folder + "/qevw.ces"));
    QProcess p;
    p.setProcessEnvironment(ProgramEnv(runtime));
    p.start(folder + "/qevw", {"/q=help", "/nw", "-d=" + QString::fromStdString(kDataDir)});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 2) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8("Soubor nenalezen: ") + folder + "/qevw.hla"))
        << err.toStdString();
}

TEST(HelpProgram, HelpToolListsDumpsAndRenders)
{
    const QString tool = QStringLiteral(QEVW_BINARY_DIR "/tools/help_tool");
    auto run = [&](const QStringList& args, QString* out = nullptr) {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(e);
        p.start(tool, args);
        EXPECT_TRUE(p.waitForFinished(30000));
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    };
    const QString data = QString::fromStdString(kDataDir);
    QString out;
    EXPECT_EQ(run({"list", QStringLiteral(QEVW_PROGRAM_DIR "/qevw.hla")}, &out), 0);
    EXPECT_TRUE(out.contains(QRegularExpression(R"(\bNapDok\s+[0-9A-F]{8}\s+0\s+Jak)"))) << out.toStdString();
    EXPECT_EQ(run({"topic", "-d", data, "ZPUVYD"}, &out), 0);
    EXPECT_TRUE(out.contains("{TABLE 112 1 43 511}")) << out.toStdString();
    EXPECT_TRUE(out.contains(QString::fromUtf8("{ROW}R·{CELL}"))) << out.toStdString();
    QTemporaryDir tmp;
    const QString png = tmp.path() + "/t.png";
    EXPECT_EQ(run({"render", "-d", data, "VybUhr", "--width", "500", "-o", png}), 0);
    EXPECT_EQ(QImage(png).width(), 508);
    // Bad input: a message and a non-zero exit.
    EXPECT_EQ(run({"topic", "-d", data, "NIKDE_"}, &out), 1);
    EXPECT_TRUE(out.contains("no topic")) << out.toStdString();
    EXPECT_EQ(run({"list", tmp.path() + "/missing.hla"}, &out), 1);
    EXPECT_EQ(run({"list", QStringLiteral(QEVW_FIXTURES_DIR "/broken/help_bad_magic.hla")}, &out), 1);
    EXPECT_EQ(run({"render", "-d", data, "VybUhr"}, &out), 2);
}

} // namespace
