// A macro played against the windows themselves: a click on the name-list
// speed button, a typed name and Enter; and the real program playing a
// macro file offscreen.

#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolButton>

#include "datastore/db_table.h"
#include "datastore/run_log.h"
#include "frame/commands/macro.h"
#include "frame/windows/main_form.h"
#include "list_demo_list.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"
#include "platform/fs.h"
#include "tests/frame/command_test_support.h"
#include "tests/lists/lists_test_support.h"

namespace {

using cmdtest::CommandFixture;

class CommandMacroPlay : public CommandFixture {
protected:
    void SetUp() override
    {
        CommandFixture::SetUp();
        savedDataDir_ = DataDir();
        SetDataDir(QEVW_DEMO_DATA_DIR "/");
        ResetMacro();
        previous_ = SetMacroInjector(std::make_unique<QtMacroInjector>());
        Config().Update([](ConfigValues& v) {
            v.placementMode = WindowMode::Free;
            v.BlinkOff = 1;
            v.tipUser = false;
        });
    }
    void TearDown() override
    {
        SetMacroInjector(std::move(previous_));
        ResetMacro();
        SetDataDir(savedDataDir_);
        CommandFixture::TearDown();
    }
    // Plays until the script is used up, one step per tick of 20 ms.
    void PlayAll(int maxSteps = 2000)
    {
        for (int i = 0; i < maxSteps; ++i) {
            RunMacroStep();
            liststest::Settle();
            const MacroState& s = CurrentMacroState();
            if (s.script.empty() && s.countdown < 0)
                break;
        }
        liststest::Settle();
    }

    std::vector<std::unique_ptr<listdemo::TableList>> lists;

private:
    std::string savedDataDir_;
    std::unique_ptr<MacroInjector> previous_;
};

TEST_F(CommandMacroPlay, AClickTypingAndEnterOpenTheNameListOnTheProductAndDropTheMenuDown)
{
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
    // The drug list by name comes with the drug lists' own work; until then a
    // list over the demo name index stands in for it.
    TVyb* opened = nullptr;
    RegisterCommandHandler("OpenDrugList", [this, &opened](const CommandCall& c) {
        auto list = std::make_unique<listdemo::TableList>();
        std::string error;
        ASSERT_TRUE(list->Open(QEVW_DEMO_DATA_DIR "/", "kl", "klnaz", error)) << error;
        auto* w = new TVyb;
        w->Kind = c.code;
        w->LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
        w->Master = host;
        w->Rec.Letter = 'N';
        list->OpenIn(*w, "kl: ",
                     std::string_view("\x2D"
                                      "A?",
                                      3));
        w->PlaceAndShow(true);
        w->Edt->setFocus();
        opened = w;
        lists.push_back(std::move(list));
    });
    FillMainMenu(host, DataSetCode::Drugs, DataPart::Always | DataPart::Kodex | DataPart::Spc);
    Config().Update([](ConfigValues& v) { v.ToolbarSelection = "-DNA-dMA-sPW-"; });
    LayoutSpeedButtons(host->toolBar, DataSetCode::Drugs);
    RefreshMainMenus(nullptr);
    host->toolBar->show();
    host->activateWindow();
    QApplication::setActiveWindow(host);
    liststest::Settle();

    QToolButton* names = SpeedButtonNamed(host->toolBar, "LekNazSB");
    ASSERT_NE(names, nullptr);
    const QPoint centre = names->mapTo(host, names->rect().center()) +
                          (host->geometry().topLeft() - host->frameGeometry().topLeft());
    AppendMacroScript(MacroScriptOfText("a,2," + std::to_string(centre.x()) + "," +
                                        std::to_string(centre.y()) +
                                        "\nkML,0\nn,1\nkI,0;kB,0;kU,0\nn,1\nkEnt,0\n"));
    PlayAll();

    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->Rec.Prefix, "IBU");
    ASSERT_GT(opened->CurAux, 0);
    // The list stands on the first product whose name starts so.
    TDbTable t;
    OpenTable(t, TFileId("kl"), TFileId("klnaz"), 0);
    std::string rec;
    FindRecord(t, "IBU", rec);
    EXPECT_EQ(opened->CurAux, t.recNo);
    EXPECT_EQ(opened->LinkValues[1], t.recNo);
    // Nobody follows the list: the record menu drops down.
    if (QGuiApplication::applicationState() == Qt::ApplicationActive) {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ(popup, TopLevelItem(4)->menu());
        popup->close();
    }
}

TEST_F(CommandMacroPlay, ACommandNotThereYetLeavesItsLineAndPlaybackGoesOn)
{
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
    FillMainMenu(host, DataSetCode::Drugs, DataPart::Always);
    Config().Update([](ConfigValues& v) { v.ToolbarSelection = "-DNA-VHC-"; });
    LayoutSpeedButtons(host->toolBar, DataSetCode::Drugs);
    host->toolBar->show();
    liststest::Settle();
    auto at = [this](const char* name) {
        QToolButton* b = SpeedButtonNamed(host->toolBar, name);
        const QPoint p = b->mapTo(host, b->rect().center()) +
                         (host->geometry().topLeft() - host->frameGeometry().topLeft());
        return std::to_string(p.x()) + "," + std::to_string(p.y());
    };
    AppendMacroScript(MacroScriptOfText("a,1," + at("LekNazSB") + ";kML,0;a,1," + at("LekDrzSB") + ";kML,0"));
    PlayAll();
    const std::string log = RunLogText();
    const size_t first = log.find("OpenDrugList: nothing registered (DNA)");
    const size_t second = log.find("OpenHolderList: nothing registered (VHC)");
    ASSERT_NE(first, std::string::npos) << log;
    ASSERT_NE(second, std::string::npos) << log;
    EXPECT_LT(first, second);
}

TEST_F(CommandMacroPlay, TheProgramPlaysAMacroFileOffscreen)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString() + "/";
    // Where the lists menu lies on the program's bar: the same menu built here.
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
    host->resize(640, 480);
    FillMainMenu(host, DataSetCode::Drugs, DataPart::Always);
    const QRect lists = host->menuBar()->actionGeometry(TopLevelItem(2));
    ASSERT_TRUE(lists.isValid());
    const QPoint p = host->menuBar()->mapTo(host, lists.center());
    const std::string click = "a,1," + std::to_string(p.x()) + "," + std::to_string(p.y()) + ";kML,0;n,2;";
    // The lists menu, then its name list by accelerator; again with the ATC
    // groups, which open after it.
    WriteFileAtomic(folder + "demo.mac",
                    "// open two lists\r\nn,4\r\n" + click + "kN,0;n,2\r\n" + click + "kA,0;n,4\r\n");
    WriteFileAtomic(folder + "kalvo.ini", "[QEV other]\r\n");
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QEVW_DEBUG", "1");
    env.insert("QEVW_REPORT_WINDOWS", "1");
    env.insert("NODALCFG", QString::fromStdString(folder + "kalvo.ini"));
    env.insert("HOME", QString::fromStdString(folder));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(folder));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(QEVW_PROGRAM_DIR "/qevw"),
                  {QStringLiteral("/d=" QEVW_DEMO_DATA_DIR "/"), QStringLiteral("/nw"),
                   QString::fromStdString("/j=" + folder + "demo.mac")});
    ASSERT_TRUE(program.waitForStarted(10000));
    std::string out;
    std::string err;
    for (int i = 0; i < 150 && out.find("data window: VAC") == std::string::npos; ++i) {
        program.waitForReadyRead(100);
        out += program.readAllStandardOutput().toStdString();
        err += program.readAllStandardError().toStdString();
    }
    program.kill();
    program.waitForFinished(5000);
    out += program.readAllStandardOutput().toStdString();
    err += program.readAllStandardError().toStdString();
    // The name list opens without a word in the log; the ATC groups after it
    // still play.
    EXPECT_EQ(err.find("OpenDrugList: nothing registered"), std::string::npos) << err;
    const size_t names = out.find("data window: DNA");
    const size_t groups = out.find("data window: VAC");
    ASSERT_NE(names, std::string::npos) << out << err;
    ASSERT_NE(groups, std::string::npos) << out << err;
    EXPECT_LT(names, groups);
}

// The goods walk of a new user, played by the program from a macro file:
// the goods names by the lists menu, typed letters and Enter.
TEST_F(CommandMacroPlay, TheProgramPlaysTheGoodsWalkOffscreen)
{
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
    host->resize(640, 480);
    struct Walk {
        DataSetCode set;
        const char* option;
        std::string keys; // after the click on the lists menu
        const char* last; // the window the walk ends in
        const char* first;
    };
    const Walk walks[] = {
        {DataSetCode::Goods, "/pfa", "kP,0;n,2;kO,0;kP,0;kA,0;kL,0;n,2;kEnt,0;n,2;", "PNA", "PNA"},
    };
    for (const Walk& w : walks) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const std::string folder = dir.path().toStdString() + "/";
        FillMainMenu(host, w.set, DataPart::Always);
        auto at = [this](int item) {
            const QRect r = host->menuBar()->actionGeometry(TopLevelItem(item));
            const QPoint p = host->menuBar()->mapTo(host, r.center());
            return "a,1," + std::to_string(p.x()) + "," + std::to_string(p.y()) + ";kML,0;n,2;";
        };
        std::string script = "n,4\r\n" + at(2) + w.keys;
        WriteFileAtomic(folder + "walk.mac", script + "n,4\r\n");
        WriteFileAtomic(folder + "kalvo.ini", "[QEV other]\r\n");
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QEVW_DEBUG", "1");
        env.insert("QEVW_REPORT_WINDOWS", "1");
        env.insert("NODALCFG", QString::fromStdString(folder + "kalvo.ini"));
        env.insert("HOME", QString::fromStdString(folder));
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(folder));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(QEVW_PROGRAM_DIR "/qevw"),
                      {QStringLiteral("/d=" QEVW_DEMO_DATA_DIR "/"), QStringLiteral("/nw"),
                       QString::fromLatin1(w.option), QString::fromStdString("/j=" + folder + "walk.mac")});
        ASSERT_TRUE(program.waitForStarted(10000));
        std::string out;
        std::string err;
        const std::string last = std::string("data window: ") + w.last;
        for (int i = 0; i < 200 && out.find(last) == std::string::npos; ++i) {
            program.waitForReadyRead(100);
            out += program.readAllStandardOutput().toStdString();
            err += program.readAllStandardError().toStdString();
        }
        program.kill();
        program.waitForFinished(5000);
        out += program.readAllStandardOutput().toStdString();
        err += program.readAllStandardError().toStdString();
        for (const char* handler : {"OpenGoods", "OpenDevice", "OpenLekHlavList"})
            EXPECT_EQ(err.find(handler), std::string::npos) << err;
        EXPECT_NE(out.find(std::string("data window: ") + w.first), std::string::npos)
            << w.option << out << err;
        EXPECT_NE(out.find(last), std::string::npos) << w.option << out << err;
    }
}

} // namespace
