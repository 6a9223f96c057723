// Two real copies of the program on the demo data: the second hands its
// request to the first and ends without a window; and the refused starts.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <string>

#include <signal.h>

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "start_fixtures.h"
#include "tests/support/wait_for.h"

namespace {

const QString kProgram = QStringLiteral(QEVW_PROGRAM_DIR "/qevw");
const QString kDemo = QStringLiteral(QEVW_DEMO_DATA_DIR "/");

class MainFormProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_test::EnsureApp();
        if (!QFile::exists(kProgram) || !QFile::exists(kDemo + "kalvo.ces"))
            GTEST_SKIP() << "program or demo data not built";
        ASSERT_TRUE(tmp_.isValid());
        runtime = tmp_.path() + "/run";
        home = tmp_.path() + "/home";
        QDir().mkpath(runtime);
        QDir().mkpath(home);
        QFile::setPermissions(runtime,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    QProcessEnvironment Env() const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("XDG_RUNTIME_DIR", runtime);
        e.insert("HOME", home);
        e.insert("QT_QPA_PLATFORM", "offscreen");
        e.insert("QEVW_DEBUG", "1");
        e.remove("NODALCFG");
        e.remove("APPDATA");
        e.remove("USERPROFILE");
        e.insert("XDG_CONFIG_HOME", home + "/.config");
        return e;
    }

    QString tmpPath(const char* name) const { return tmp_.path() + "/" + name; }

    QString runtime, home;

private:
    QTemporaryDir tmp_;
};

using test_support::WaitFor;

TEST_F(MainFormProcessTest, SecondStartHandsOverAndEndsWithoutAWindow)
{
    QProcess first;
    first.setProcessEnvironment(Env());
    first.start(kProgram, {"-d=" + kDemo});
    ASSERT_TRUE(first.waitForStarted(5000));
    const QString socketDir = runtime + "/qevw";
    ASSERT_TRUE(
        WaitFor([&] { return !QDir(socketDir).entryList(QDir::System | QDir::Files).isEmpty(); }, 8000))
        << "the first copy never listened";

    QProcess second;
    QProcessEnvironment e2 = Env();
    e2.insert("QEVW_GRAB", tmpPath("second.png"));
    e2.insert("QEVW_GRAB_QUIT", "1");
    second.setProcessEnvironment(e2);
    second.start(kProgram, {"-d=" + kDemo, "0012345"});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_FALSE(QFile::exists(tmpPath("second.png"))) << "no window was ever painted";

    QByteArray log;
    const bool served = WaitFor(
        [&] {
            first.waitForReadyRead(50);
            log += first.readAllStandardError();
            return log.contains("Served: ");
        },
        5000);
    first.kill();
    first.waitForFinished(3000);
    EXPECT_TRUE(served) << log.toStdString();
    EXPECT_TRUE(log.contains("1=0012345")) << log.toStdString();
    EXPECT_TRUE(log.contains("-00000000")) << "taken: the check's verdict 0\n" << log.toStdString();
}

TEST_F(MainFormProcessTest, RefusedStartsStillExitWithTwo)
{
    QProcess p;
    p.setProcessEnvironment(Env());
    p.start(kProgram, {"-d=" + tmpPath("nowhere")});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("Fatal Error:  Folder  "));

    QDir().mkpath(tmpPath("empty"));
    p.start(kProgram, {"-d=" + tmpPath("empty")});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("isn't folder with data for KALVO"));
}

TEST_F(MainFormProcessTest, GrabSwitchSavesTheFirstFrame)
{
    QProcess p;
    QProcessEnvironment e = Env();
    const QString grab = QStringLiteral(QEVW_BINARY_DIR "/qevw_offscreen_grab.png");
    QFile::remove(grab);
    e.insert("QEVW_GRAB", grab);
    e.insert("QEVW_GRAB_QUIT", "1");
    p.setProcessEnvironment(e);
    p.start(kProgram, {"-d=" + kDemo});
    ASSERT_TRUE(p.waitForFinished(10000));
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(QFile::exists(grab));
    // Titled by the data texts' caption, diacritics intact.
    TextTablePtr texts;
    ASSERT_GE(LoadTextTable(texts, (kDemo + "kalvo.ces").toStdString()), TextTableResult::FirstSuccess);
    std::string caption;
    ASSERT_NE(GetTextEntry(texts, "Verze", "Nadpis", caption), 0);
    const QByteArray title = "title \"" + KamToQString(caption).toUtf8() + "\"";
    EXPECT_TRUE(err.contains(title)) << err.toStdString();
}

TEST_F(MainFormProcessTest, SettingsChangedInTheRunAreSavedAtItsEndAlsoOnSigterm)
{
    // The start clears the session-only drug filters (+V) in memory: the
    // saved file shows whether the run's settings were written at its end.
    const QString config = home + "/.config/kalvo.ini";
    const struct {
        const char* name;
        bool signal; // else the program ends by itself after its first frame
    } cases[] = {{"SIGTERM", true}, {"the program's own end", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir().mkpath(home + "/.config");
        {
            QFile f(config);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            // The quarterly notice saves the settings mid-run when the data
            // set's quarter letter ("2025.4" gives U) or its date is new, and
            // the news would save after a fetch: settled here, so that a
            // save before the end can only be a fault.
            f.write("[QEV filter]\r\nDRUG=+V-H\r\n[QEV news]\r\nBASE=0\r\nUBASE=U\r\nUDATE=2026/12/11\r\n");
        }
        QProcess p;
        QProcessEnvironment e = Env();
        if (!c.signal) {
            e.insert("QEVW_GRAB", tmpPath("end.png"));
            e.insert("QEVW_GRAB_QUIT", "1");
        }
        p.setProcessEnvironment(e);
        p.start(kProgram, {"-d=" + kDemo});
        ASSERT_TRUE(p.waitForStarted(5000));
        if (c.signal) {
            QByteArray out;
            ASSERT_TRUE(WaitFor(
                [&] {
                    p.waitForReadyRead(50);
                    out += p.readAllStandardOutput();
                    return out.contains("window: type 3");
                },
                8000))
                << out.toStdString();
            QFile before(config);
            ASSERT_TRUE(before.open(QIODevice::ReadOnly));
            EXPECT_TRUE(before.readAll().contains("DRUG=+V-H")) << "nothing saved while it runs";
            ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        }
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        QFile after(config);
        ASSERT_TRUE(after.open(QIODevice::ReadOnly));
        const QByteArray saved = after.readAll();
        EXPECT_TRUE(saved.contains("[QEV filter]\r\nDRUG=-H\r\n")) << saved.toStdString();
        EXPECT_TRUE(saved.contains("[QEVW win]")) << "the whole file as the program writes it";
    }
}

} // namespace
