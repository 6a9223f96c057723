// The commands the frame carries out itself: starting copies, help, tips,
// window arrangement, the data-set switch, output of the active window and
// the document for the external program.

#include "tests/frame/command_test_support.h"

#include <QApplication>
#include <QClipboard>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QToolButton>

#include "frame/commands/product_commands.h"
#include "frame/commands/viewer_windows.h"
#include "frame/report_hook.h"
#include "frame/start/command_line.h"
#include "frame/start/ipc.h"
#include "frame/windows/main_form.h"
#include "platform/fs.h"
#include "platform/gui/shell.h"

namespace {

using cmdtest::CommandFixture;
using cmdtest::Kam;

// A data window with something to show, print, copy and export.
class FullWindow : public dftest::ProbeWindow {
public:
    explicit FullWindow(uint16_t kind, const char* name = "full") : ProbeWindow(kind, name) {}
    bool empty = false;
    int copies = 0;
    std::vector<uint16_t> exportFormats;
    bool IsEmpty() override { return empty; }
    void Schrankuj() override { ++copies; }
    void Exportuj() override
    {
        exportFormats.push_back(ExportFormat);
        TDataForm::Exportuj();
        ExportFile.Write("BODY");
    }
};

// The HTML viewer as the external-program command reads it.
class FakeViewer : public FullWindow, public RecordViewerWindow {
public:
    FakeViewer() : FullWindow(KindOf("dSP"), "viewer") {}
    TDataForm& Form() override { return *this; }
    void SetDocument(char, uint16_t) override {}
    void SetSearchWords(const std::array<std::string, 5>&) override {}
    void SetupViewer(const std::string&) override {}
    void SetSlaveButton(bool) override {}
    std::string DocumentFileName() const override { return fileName; }
    char TextKindLetter() const override { return kind; }
    std::string fileName;
    char kind = 'R';
};

class Commands : public CommandFixture {
protected:
    void SetUp() override
    {
        CommandFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
    }
    QMdiSubWindow* Activate(dftest::ProbeWindow* w)
    {
        w->Master = host;
        QMdiSubWindow* sub = w->Show();
        host->area->setActiveSubWindow(sub);
        dftest::Settle();
        return sub;
    }
    std::string Folder() const { return dir.path().toStdString() + "/"; }

    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
    QTemporaryDir dir;
};

TEST_F(Commands, DiagnosisCopiesStartWithTheirQueryAndTheDataFolderAsOneArgument)
{
    const StartValues saved = ProgramStart();
    const std::string savedDir = DataDir();
    struct Case {
        const char* code;
        const char* query;
        std::string dataDir;
        bool withFolder;
    };
    const std::string program = "/opt/qevw/";
    const Case cases[] = {
        {"RMR", "/q=mkn", "/home/user/My Data/", true},
        {"RMO", "/q=mkno", "/home/user/My Data/", true},
        {"RDP", "/q=dopl", program, false},
    };
    for (const Case& c : cases) {
        ProgramStart().ProgramFolder = program;
        SetDataDir(c.dataDir);
        const size_t before = shell.Calls().size();
        ExecuteCommand(host, KindOf(c.code), 0);
        ASSERT_EQ(shell.Calls().size(), before + 1) << c.code;
        const QStringList args = shell.Calls().back().arguments;
        ASSERT_GE(args.size(), 2) << c.code;
        EXPECT_TRUE(args[0].startsWith(QStringLiteral("/y="))) << c.code;
        EXPECT_EQ(args[1].toStdString(), c.query);
        if (c.withFolder) {
            ASSERT_EQ(args.size(), 3);
            EXPECT_EQ(args[2].toStdString(), "/d=" + c.dataDir);
        } else {
            EXPECT_EQ(args.size(), 2);
        }
        EXPECT_TRUE(Counted(c.code)) << c.code;
    }
    ProgramStart() = saved;
    SetDataDir(savedDir);
}

TEST_F(Commands, TipSwitchesToggleTheirSettingAndCountOnlyWhenSwitchedOn)
{
    Config().Update([](ConfigValues& v) {
        v.tipUser = true;
        v.tipData = false;
    });
    ExecuteCommand(host, KindOf("SHC"), 0); // the first command's counts
    counted.clear();
    ExecuteCommand(host, KindOf("SHT"), 0);
    ExecuteCommand(host, KindOf("SHD"), 0);
    EXPECT_FALSE(Config().Read([](const ConfigValues& v) { return v.tipUser; }));
    EXPECT_TRUE(Config().Read([](const ConfigValues& v) { return v.tipData; }));
    EXPECT_FALSE(Counted("oHU"));
    EXPECT_TRUE(Counted("oHD"));
    ExecuteCommand(host, KindOf("SHT"), 0);
    EXPECT_TRUE(Counted("oHU"));
}

TEST_F(Commands, CascadeAndTileArrangeTheDataWindows)
{
    auto* a = new dftest::ProbeWindow(KindOf("DNA"), "a");
    auto* b = new dftest::ProbeWindow(KindOf("DCA"), "b");
    QMdiSubWindow* sa = Activate(a);
    QMdiSubWindow* sb = Activate(b);
    sa->setGeometry(0, 0, 100, 80);
    sb->setGeometry(0, 0, 100, 80);
    ExecuteCommand(host, KindOf("SWT"), 0);
    EXPECT_NE(sa->geometry().topLeft(), sb->geometry().topLeft());
    EXPECT_FALSE(sa->geometry().intersects(sb->geometry()));
    ExecuteCommand(host, KindOf("SWC"), 0);
    EXPECT_TRUE(sa->geometry().intersects(sb->geometry()));
    EXPECT_NE(sa->geometry().topLeft(), sb->geometry().topLeft());
}

TEST_F(Commands, OutputCommandsSkipAMissingOrEmptyWindow)
{
    dftest::ScopedPrintJob<RecordingPrintJob> job;
    RecordEveryHandler();
    // Recorders replaced the frame's own: put them back for the output rows.
    SetCommandHandlers({});
    RegisterFrameCommands();
    int dialogs = 0;
    CommandServices s;
    s.fileDialog = [&](const FileDialogRequest&) {
        ++dialogs;
        return std::string();
    };
    SetCommandServices(std::move(s));
    // No data window at all.
    for (const char* code : {"sPW", "sBC", "sBF", "sBX"})
        ExecuteCommand(host, KindOf(code), 0);
    // An empty one.
    auto* w = new FullWindow(KindOf("DNA"));
    w->empty = true;
    Activate(w);
    for (const char* code : {"sPW", "sBC", "sBF", "sBX"})
        ExecuteCommand(host, KindOf(code), 0);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(w->copies, 0);
    EXPECT_EQ(job->JobsBegun(), 0);
    EXPECT_TRUE(BoxTexts().empty());
    // With data the copy runs.
    w->empty = false;
    ExecuteCommand(host, KindOf("sBC"), 0);
    EXPECT_EQ(w->copies, 1);
}

TEST_F(Commands, ExportToAFilePicksTheFormatByTheChosenNameAndReportsAFailedWrite)
{
    auto* w = new FullWindow(KindOf("DNA"));
    w->Title = Kam("Léky");
    Activate(w);
    std::string answer;
    std::vector<FileDialogRequest> asked;
    CommandServices s;
    s.fileDialog = [&](const FileDialogRequest& r) {
        asked.push_back(r);
        return answer;
    };
    SetCommandServices(std::move(s));
    struct Case {
        const char* name;
        uint16_t format;
    };
    const Case cases[] = {{"a.TXT", ExportFormatCode::Text},
                          {"b.csv", ExportFormatCode::Csv},
                          {"c.rtf", ExportFormatCode::Rtf},
                          {"d.doc", ExportFormatCode::Rtf}};
    for (const Case& c : cases) {
        answer = Folder() + c.name;
        ExecuteCommand(host, KindOf("sBF"), 0);
        ASSERT_FALSE(w->exportFormats.empty());
        EXPECT_EQ(w->exportFormats.back(), c.format) << c.name;
        std::string bytes;
        ASSERT_EQ(ReadWholeFile(answer, bytes), 0) << c.name;
        EXPECT_NE(bytes.find("BODY"), std::string::npos);
    }
    ASSERT_FALSE(asked.empty());
    EXPECT_TRUE(asked[0].save);
    EXPECT_EQ(asked[0].defaultSuffix, "rtf");
    EXPECT_NE(asked[0].filter.find("*.csv"), std::string::npos);

    // A record viewer offers its own formats.
    auto* v = new FakeViewer;
    Activate(v);
    answer.clear();
    ExecuteCommand(host, KindOf("sBF"), 0);
    EXPECT_EQ(asked.back().filter.find("*.csv"), std::string::npos);
    EXPECT_TRUE(v->exportFormats.empty()); // cancelled

    // A write into a folder that is not there: the base's error.
    Activate(w);
    ScopedErrorRecorder errors;
    WriteFileAtomic(Folder() + "afile", "x");
    answer = Folder() + "afile/x.txt"; // a file where the folder should be
    ExecuteCommand(host, KindOf("sBF"), 0);
    ASSERT_EQ(errors.Texts().size(), 1u);
    EXPECT_EQ(errors.Texts()[0].rfind(LookupText(UiTexts, "Chyby", "FileSave"), 0), 0u) << errors.Texts()[0];
}

TEST_F(Commands, TheExternalProgramGetsTheDocumentNameByTextKind)
{
    struct Case {
        std::string file;
        char kind;
        const char* clipboard;
        const char* handed;
    };
    const Case cases[] = {
        {"AB1234567", 'R', "AB1234567.kox", "AB1234567.kox"},
        {"AB1234567", 'r', "AB1234567.kox", "AB1234567.kox"},
        {"AB1234567", 'S', "AB1234567.spx", "AB1234567.spx"},
        {"AB1234567", 'L', "AB1234567.lex", "AB1234567.lex"},
        {"AB1234567", 'e', "AB1234567.ang", "AB1234567.ang"},
        {"AB1234567", 'X', "AB1234567.dat", "AB1234567.dat"},
        {"123456780", 'X', "123456780.dat", "123456780.dat"},
        {"CH0000009", 'X', "CH0000009.kox", "CH0000009.kox9"},
        {"CH0000009", 'S', "CH0000009.spx", "CH0000009.spx9"},
        {std::string(90, 'A'), 'S', nullptr, nullptr},
    };
    // The document folder holds the files; every extension has its program.
    QDir().mkpath(QString::fromStdString(Folder() + "docs/C"));
    for (const char* f : {"AB1234567.kox", "AB1234567.spx", "AB1234567.lex", "AB1234567.ang", "AB1234567.dat",
                          "123456780.dat"})
        WriteFileAtomic(Folder() + "docs/" + f, "x");
    WriteFileAtomic(Folder() + "docs/C/CH0000009.kox", "x");
    Config().Update([this](ConfigValues& v) {
        v.chirItems = "|.KOX9=" + Folder() + "docs /usr/bin/viewer9 /a";
        v.jipkaItems = "|kox=" + Folder() + "docs /usr/bin/viewer|spx=" + Folder() +
                       "docs /usr/bin/spxview|.spx9=" + Folder() +
                       "docs \"/opt/my viewer/run\"|lex=" + Folder() + "docs lexview|ang=" + Folder() +
                       "docs angview|dat=" + Folder() + "docs datview";
    });
    auto* v = new FakeViewer;
    Activate(v);
    for (const Case& c : cases) {
        v->fileName = c.file;
        v->kind = c.kind;
        const size_t before = shell.Calls().size();
        ExecuteCommand(host, KindOf("sBX"), 0);
        if (c.clipboard == nullptr) {
            // Cut at 85 characters.
            EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), std::string(85, 'A') + ".spx");
            continue;
        }
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), c.clipboard);
        ASSERT_EQ(shell.Calls().size(), before + 1) << c.handed;
        const RecordingShell::Call call = shell.Calls().back();
        EXPECT_FALSE(call.url);
        const std::string handed = c.handed;
        const std::string ext = handed.substr(handed.find('.'));
        if (ext == ".kox9") {
            EXPECT_EQ(call.target.toStdString(), "/usr/bin/viewer9");
            ASSERT_EQ(call.arguments.size(), 1);
            EXPECT_EQ(call.arguments[0].toStdString(), Folder() + "docs/C/CH0000009.kox");
        } else if (ext == ".spx9") {
            EXPECT_EQ(call.target.toStdString(), "/opt/my viewer/run");
            EXPECT_TRUE(call.arguments.isEmpty()); // no such file: the program alone
        } else {
            ASSERT_EQ(call.arguments.size(), 1) << handed << " " << call.target.toStdString();
            EXPECT_EQ(call.arguments[0].toStdString(), Folder() + "docs/" + c.clipboard);
        }
    }
    // An extension without an entry starts nothing.
    Config().Update([](ConfigValues& v) {
        v.chirItems.clear();
        v.jipkaItems.clear();
    });
    v->fileName = "AB1234567";
    v->kind = 'R';
    const size_t before = shell.Calls().size();
    ExecuteCommand(host, KindOf("sBX"), 0);
    EXPECT_EQ(shell.Calls().size(), before);
}

TEST_F(Commands, TheDataSetSwitchClosesTheWindowsLastToFirstAndRebuildsMenuAndToolbar)
{
    dftest::ScopedUiTexts menuTexts{dftest::ProgramTable("ces")};
    FillMainMenu(host, DataSetCode::Drugs);
    Config().Update([](ConfigValues& v) { v.ToolbarSelection = "-sOM-sOF-sOT-DNA-PNA-TNA-sPW-"; });
    LayoutSpeedButtons(host->toolBar, DataSetCode::Drugs);
    host->activateWindow();
    QApplication::setActiveWindow(host);
    std::vector<std::string> closed;
    std::vector<dftest::ProbeWindow*> windows;
    for (const char* name : {"first", "second", "third"}) {
        auto* w = new dftest::ProbeWindow(KindOf("DNA") + static_cast<uint16_t>(windows.size()), name);
        w->onDestroyed = [&closed, name] { closed.push_back(name); };
        Activate(w);
        windows.push_back(w);
    }
    ASSERT_EQ(OpenDataWindows.Count, 3);
    std::vector<int> droppedDown;
    SetDropDownMenuHook([&](int tag) { droppedDown.push_back(tag); });

    ExecuteCommand(host, KindOf("sOT"), 0);
    dftest::Settle();
    EXPECT_EQ(closed, (std::vector<std::string>{"third", "second", "first"}));
    EXPECT_EQ(OpenDataWindows.Count, 0);
    EXPECT_EQ(CurrentDataSet(), DataSetCode::Devices);
    EXPECT_TRUE(host->isVisible());
    // The device lists' menu shows, the drug lists' menu is gone.
    QAction* devices = TopLevelItem(3);
    ASSERT_NE(devices, nullptr);
    EXPECT_TRUE(devices->isVisible());
    EXPECT_FALSE(TopLevelItem(2)->isVisible());
    EXPECT_TRUE(MenuItemNamed("TTNA")->isVisible());
    EXPECT_FALSE(MenuItemNamed("MDNA")->isVisible());
    // The toolbar of the devices: back to drugs and goods, the device list.
    EXPECT_FALSE(SpeedButtonNamed(host->toolBar, "LekySB")->isHidden());
    EXPECT_FALSE(SpeedButtonNamed(host->toolBar, "PfaSB")->isHidden());
    EXPECT_TRUE(SpeedButtonNamed(host->toolBar, "PztSB")->isHidden());
    EXPECT_FALSE(SpeedButtonNamed(host->toolBar, "PztNazSB")->isHidden());
    EXPECT_TRUE(SpeedButtonNamed(host->toolBar, "LekNazSB")->isHidden());

    ExecuteCommand(host, KindOf("sOM"), 0);
    EXPECT_EQ(CurrentDataSet(), DataSetCode::Drugs);
    EXPECT_TRUE(TopLevelItem(2)->isVisible());
    EXPECT_FALSE(SpeedButtonNamed(host->toolBar, "LekNazSB")->isHidden());
    SetCurrentDataSet(DataSetCode::Drugs);
}

TEST_F(Commands, HelpOnTheActiveWindowUsesItsKeywordElseTheContents)
{
    auto topicOfLastCall = [this]() -> std::string {
        if (shell.Calls().empty())
            return {};
        const QStringList args = shell.Calls().back().arguments;
        const qsizetype q = args.indexOf(QStringLiteral("/q=help"));
        return q >= 0 && q + 1 < args.size() ? args[q + 1].toStdString() : std::string();
    };
    ExecuteCommand(host, KindOf("SHA"), 0);
    EXPECT_EQ(topicOfLastCall(), "Obsah_");
    auto* w = new dftest::ProbeWindow(KindOf("rHA"));
    w->setProperty("helpKeyword", QStringLiteral("HisCen"));
    Activate(w);
    ExecuteCommand(host, KindOf("SHA"), 0);
    EXPECT_EQ(topicOfLastCall(), "HisCen");
}

} // namespace

namespace {

TEST_F(Commands, ASignListSourceMustLieInTheNotesFolder)
{
    const std::string notes = Folder() + "notes/";
    QDir().mkpath(QString::fromStdString(notes));
    WriteFileAtomic(notes + "Moje.TXT", "0000129\r\n");
    WriteFileAtomic(notes + "Moje.SGN", std::string(4, '\0'));
    Config().Update([&](ConfigValues& v) {
        v.NotesFolder = notes;
        v.SignListName.clear();
    });
    FillMainMenu(host, DataSetCode::Drugs);
    std::string answer;
    int rebuilt = 0;
    std::vector<FileDialogRequest> asked;
    CommandServices s;
    s.fileDialog = [&](const FileDialogRequest& r) {
        asked.push_back(r);
        return answer;
    };
    s.rebuildSignList = [&] { ++rebuilt; };
    SetCommandServices(std::move(s));

    // Elsewhere: refused, naming the notes folder; nothing kept.
    answer = Folder() + "Jiny.txt";
    ExecuteCommand(host, KindOf("SUU"), 0);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_FALSE(asked[0].save);
    EXPECT_EQ(asked[0].folder, notes);
    ASSERT_FALSE(BoxTexts().empty());
    EXPECT_NE(BoxTexts().back().find(notes), std::string::npos) << BoxTexts().back();
    EXPECT_EQ(rebuilt, 0);
    EXPECT_TRUE(Config().Read([](const ConfigValues& v) { return v.SignListName; }).empty());

    // In the notes folder: the name without extension, rebuilt, counted, and
    // listed once in the sign-list menu, checked.
    answer = notes + "Moje.TXT";
    ExecuteCommand(host, KindOf("SUU"), 0);
    EXPECT_EQ(Config().Read([](const ConfigValues& v) { return v.SignListName; }), "Moje");
    EXPECT_EQ(rebuilt, 1);
    EXPECT_TRUE(Counted("oOE"));
    int shown = 0;
    for (QAction* a : SignListMenu()->actions())
        if (a->text() == QStringLiteral("Moje")) {
            ++shown;
            EXPECT_TRUE(a->isChecked());
        }
    EXPECT_EQ(shown, 1);
    // The source of the chosen list is proposed next time.
    answer.clear();
    ExecuteCommand(host, KindOf("SUU"), 0);
    EXPECT_EQ(asked.back().proposed, notes + "Moje.TXT");
}

} // namespace
