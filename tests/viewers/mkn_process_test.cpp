// The program itself on the demo data in the classification modes: a copy
// started on a code shows it, a later start hands its code over and ends,
// and no page hook of the classification is left unregistered.  Also the
// hooks as the main window calls them, in process.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <string>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/windows/main_form.h"
#include "support/gui_app.h"
#include "support/wait_for.h"
#include "viewers/mkn_page.h"

namespace {

const QString kProgram = QStringLiteral(QEVW_PROGRAM_DIR "/qevw");
const QString kDemo = QStringLiteral(QEVW_DEMO_DATA_DIR "/");

using test_support::WaitFor;

class MknProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_support::EnsureGuiApp();
        if (!QFile::exists(kProgram) || !QFile::exists(kDemo + "mkn.dat"))
            GTEST_SKIP() << "program or demo data not built";
        for (const char* d : {"/temp", "/run", "/home"})
            QDir().mkpath(tmp_.path() + d);
        QFile::setPermissions(tmp_.path() + "/run",
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QProcessEnvironment Env() const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("TEMP", tmp_.path() + "/temp");
        e.insert("XDG_RUNTIME_DIR", tmp_.path() + "/run");
        e.insert("HOME", tmp_.path() + "/home");
        e.insert("XDG_CONFIG_HOME", tmp_.path() + "/home/.config");
        e.insert("QT_QPA_PLATFORM", "offscreen");
        e.insert("QEVW_DEBUG", "1");
        e.remove("DISPLAY");
        e.remove("WAYLAND_DISPLAY");
        return e;
    }

private:
    QTemporaryDir tmp_;
};

TEST_F(MknProcess, ALaterStartHandsItsCodeOver)
{
    QProcess first;
    first.setProcessEnvironment(Env());
    first.start(kProgram, {"/q=mkn", "-d=" + kDemo, "A00"});
    ASSERT_TRUE(first.waitForStarted(5000));
    QString out, err;
    const auto pump = [&] {
        first.waitForReadyRead(50);
        out += QString::fromUtf8(first.readAllStandardOutput());
        err += QString::fromUtf8(first.readAllStandardError());
    };
    ASSERT_TRUE(WaitFor(
        [&] {
            pump();
            return out.contains("window: type 4");
        },
        15000))
        << err.toStdString();

    QProcess second;
    second.setProcessEnvironment(Env());
    second.start(kProgram, {"/q=mkn", "-d=" + kDemo, "I21"});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(QString::fromUtf8(second.readAllStandardOutput()).contains("window:")) << "no second window";
    EXPECT_TRUE(WaitFor(
        [&] {
            pump();
            return out.contains("served: ") && out.contains("1=I21");
        },
        10000))
        << out.toStdString();
    first.terminate();
    if (!first.waitForFinished(5000))
        first.kill();
    pump();
    EXPECT_FALSE(err.contains("nothing registered")) << err.toStdString();
}

// What the main window calls: GoToCode with the code of a served request; a
// request without one keeps the entry and the history.
TEST(MknHooks, GoToCodeAsTheMainWindowCallsIt)
{
    test_support::EnsureGuiApp();
    BuildKamTables();
    LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw.ces");
    const std::string previous = DataDir();
    SetDataDir(WithTrailingSlash(QEVW_DEMO_DATA_DIR));
    PageHooks hooks;
    AddMknPageHooks(hooks);
    ASSERT_TRUE(hooks.makeMknWin && hooks.goToCode);
    PageState state;
    state.pageFont.size = 10;
    ImageCanvas back(800, 600);
    back.SetFont(state.pageFont);
    MknPageServices s;
    s.textFont = state.pageFont;
    TMknWin page(state, back, 800, 600, false, s);
    page.Build();
    page.Layout();
    hooks.goToCode(&page, "ZaDTCa");
    hooks.goToCode(&page, "A00");
    EXPECT_EQ(page.CurrentCode(), "A00");
    page.HandleEvent(PageKey::End, PageShift::None);
    const int line = page.Pager().Line();
    hooks.goToCode(&page, ""); // "|q=mkn||" without "1"
    EXPECT_EQ(page.CurrentCode(), "A00");
    EXPECT_EQ(page.Pager().Line(), line);
    hooks.goToCode(&page, "I21");
    EXPECT_EQ(page.CurrentCode(), "I21");
    EXPECT_NE(page.Pager().view.text.find("I21.0"), std::string::npos);
    EXPECT_TRUE(MknHistory().Empty());
    SetDataDir(previous);
}

// The dump tool: an entry, a search, and the clear failures.
TEST(MknDump, EntriesSearchesAndFailures)
{
    const QString tool = QStringLiteral(QEVW_BINARY_DIR "/tools/mkn_dump");
    if (!QFile::exists(tool) || !QFile::exists(kDemo + "mkn.dat"))
        GTEST_SKIP() << "tool or demo data not built";
    struct Run {
        int code;
        QString out;
    };
    const auto run = [&](const QStringList& args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(tool, args);
        EXPECT_TRUE(p.waitForFinished(20000));
        return Run{p.exitCode(), QString::fromUtf8(p.readAll())};
    };
    Run r = run({"-d", kDemo, "A00.1"});
    EXPECT_EQ(r.code, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QString::fromUtf8("A00.1 Cholera vyvolaná"))) << r.out.toStdString();
    r = run({"-d", kDemo, "--second", "8141"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains("-> 814A")) << r.out.toStdString();
    r = run({"-d", kDemo, "--search", QString::fromUtf8("BŘIŠNÍ")});
    EXPECT_EQ(r.code, 0);
    // "Břišní", "břisní" and "břišním", which starts with it too.
    EXPECT_TRUE(r.out.startsWith("3 hits")) << r.out.toStdString();

    r = run({"-d", "/nonexistent/folder", "A00"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.contains("no data folder")) << r.out.toStdString();
    QTemporaryDir dir;
    r = run({"-d", dir.path(), "A00"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.contains("no classification")) << r.out.toStdString();
    ASSERT_TRUE(QFile::copy(QStringLiteral(QEVW_FIXTURES_DIR "/broken/mkn_record_past_end.dat"),
                            dir.path() + "/mkn.dat"));
    r = run({"-d", dir.path(), "ZaDTCa"});
    EXPECT_EQ(r.code, 1) << "a damaged file is no success";
    EXPECT_TRUE(r.out.contains("damaged at offset 38")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Start")) << "what can be shown is shown";
    EXPECT_EQ(run({"-d", kDemo}).code, 2);
}

} // namespace
