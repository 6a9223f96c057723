// The program itself on the demo data: the batch check as a process (no
// display, TEMP a test folder), and a running duplicity window that takes
// the lists of later starts.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "duplicity_fixture.h"
#include "platform/shared_memory.h"
#include "support/gui_app.h"
#include "support/wait_for.h"

namespace {

const QString kProgram = QStringLiteral(QEVW_PROGRAM_DIR "/qevw");
const QString kShmList = QStringLiteral(QEVW_BINARY_DIR "/tools/shm_list");
const QString kDemo = QStringLiteral(QEVW_DEMO_DATA_DIR "/");
const QString kLists = QStringLiteral(QEVW_SOURCE_DIR "/demo/lists/");

using test_support::WaitFor;

std::string UniqueName(const char* prefix)
{
    return prefix + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

class DuplicityProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_support::EnsureGuiApp();
        if (!QFile::exists(kProgram) || !QFile::exists(kDemo + "kalvo.ces"))
            GTEST_SKIP() << "program or demo data not built";
        ASSERT_TRUE(tmp_.isValid());
        temp = tmp_.path() + "/temp";
        runtime = tmp_.path() + "/run";
        home = tmp_.path() + "/home";
        for (const QString& d : {temp, runtime, home})
            QDir().mkpath(d);
        QFile::setPermissions(runtime,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    QProcessEnvironment Env(bool gui) const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("TEMP", temp);
        e.insert("XDG_RUNTIME_DIR", runtime);
        e.insert("HOME", home);
        e.insert("XDG_CONFIG_HOME", home + "/.config");
        e.remove("NODALCFG");
        e.remove("APPDATA");
        e.remove("USERPROFILE");
        e.remove("DISPLAY");
        e.remove("WAYLAND_DISPLAY");
        if (gui) {
            e.insert("QT_QPA_PLATFORM", "offscreen");
            e.insert("QEVW_DEBUG", "1");
        } else {
            e.remove("QT_QPA_PLATFORM");
        }
        return e;
    }

    struct Run {
        int code = -1;
        QString out, err;
    };
    Run Batch(const QStringList& args, const QString& data = kDemo)
    {
        QProcess p;
        p.setProcessEnvironment(Env(false));
        QStringList all = {"/q=dupl", "/z", "-d=" + data};
        all += args;
        p.start(kProgram, all);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QString Result() const
    {
        QFile f(temp + "/qevw_rez.txt");
        if (!f.open(QIODevice::ReadOnly))
            return "(none)";
        return QString::fromUtf8(f.readAll());
    }

    QString temp, runtime, home;

private:
    QTemporaryDir tmp_;
};

TEST_F(DuplicityProcess, BatchExitCodesAndTheResultFile)
{
    struct Case {
        const char* what;
        QStringList args;
        int code;
        QString result;
        const char* stderrHas;
    };
    const QString alertTrue = "{ \"alert\":true }\n", alertFalse = "{ \"alert\":false }\n";
    const Case cases[] = {
        {"a list with findings", {"/b=" + kLists + "erecept_vsechny_urovne.xml"}, 1, alertTrue, ""},
        {"a list without", {"/b=" + kLists + "bez_nalezu_cp1250.txt"}, 0, alertFalse, ""},
        {"codes as the plain argument", {"0000113,0000129"}, 1, alertTrue, ""},
        {"one code", {"0000113"}, 200, "(none)", "line feed"},
        {"codes that are not there", {"0012345,0023456"}, 200, "(none)", "was found"},
        {"a missing file", {"/b=" + temp + "/none.xml"}, 200, "(none)", "none.xml"},
        {"a missing block", {"/b=qevw-no-such-block"}, 200, "(none)", "qevw-no-such-block"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(temp + "/qevw_rez.txt");
        const Run r = Batch(c.args);
        EXPECT_EQ(r.code, c.code) << r.err.toStdString();
        EXPECT_EQ(Result(), c.result);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.stderrHas))) << r.err.toStdString();
    }
}

TEST_F(DuplicityProcess, BatchReadsBlocks)
{
    const std::string name = UniqueName("qevw-batch-");
    {
        ScopedSharedBlock falseLength(name, "0000113\n0000129\n", 1u << 20);
        const Run r = Batch({"/b=" + QString::fromStdString(name)});
        EXPECT_EQ(r.code, 200);
        EXPECT_TRUE(r.err.contains("past the block")) << r.err.toStdString();
        EXPECT_EQ(Result(), "(none)");
    }
    // The block of the tool that plays the other program.
    if (!QFile::exists(kShmList))
        GTEST_SKIP() << "shm_list not built";
    QProcess tool;
    tool.start(kShmList, {QString::fromStdString(name), kLists + "vsechny_urovne_cp1250.txt"});
    ASSERT_TRUE(tool.waitForStarted(5000));
    ASSERT_TRUE(WaitFor([&] { return tool.canReadLine() || tool.waitForReadyRead(50); }, 5000));
    EXPECT_TRUE(tool.readLine().startsWith("ready"));
    const Run r = Batch({"/b=" + QString::fromStdString(name)});
    EXPECT_EQ(r.code, 1) << r.err.toStdString();
    EXPECT_EQ(Result(), "{ \"alert\":true }\n");
    tool.closeWriteChannel();
    ASSERT_TRUE(tool.waitForFinished(5000));
    EXPECT_EQ(tool.exitCode(), 0);
    std::string text;
    EXPECT_NE(ReadSharedBlock(name, text), 0); // removed with its input
}

TEST_F(DuplicityProcess, ADataFolderWithoutAtcRefusesTheBatch)
{
    const std::string dir = dupfix::WriteDuplicityFolder("process-no-atc");
    std::filesystem::remove(dir + "atc.dat");
    const Run r = Batch({"0000011,0000012"}, QString::fromStdString(dir));
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("atc")) << r.err.toStdString();
    EXPECT_EQ(Result(), "(none)");
}

TEST_F(DuplicityProcess, ARunningWindowTakesListsByFileAndByBlock)
{
    QProcess first;
    first.setProcessEnvironment(Env(true));
    first.start(kProgram, {"/q=dupl", "-d=" + kDemo});
    ASSERT_TRUE(first.waitForStarted(5000));
    QString out, err;
    auto pump = [&] {
        out += QString::fromUtf8(first.readAllStandardOutput());
        err += QString::fromUtf8(first.readAllStandardError());
    };
    ASSERT_TRUE(WaitFor(
        [&] {
            first.waitForReadyRead(50);
            pump();
            return out.contains("window:");
        },
        15000))
        << err.toStdString();

    auto second = [&](const QString& b) {
        QProcess p;
        p.setProcessEnvironment(Env(true));
        p.start(kProgram, {"/q=dupl", "-d=" + kDemo, "/b=" + b});
        EXPECT_TRUE(p.waitForFinished(20000));
        return p.exitCode();
    };
    EXPECT_EQ(second(kLists + "erecept_vsechny_urovne.xml"), 0);
    EXPECT_TRUE(WaitFor(
        [&] {
            first.waitForReadyRead(50);
            pump();
            return err.contains("Dupl: 11 products, 5 findings");
        },
        10000))
        << err.toStdString();

    const std::string name = UniqueName("qevw-window-");
    {
        ScopedSharedBlock block(name, "0000268\n0000845\n");
        EXPECT_EQ(second(QString::fromStdString(name)), 0);
        EXPECT_TRUE(WaitFor(
            [&] {
                first.waitForReadyRead(50);
                pump();
                return err.contains("Dupl: 2 products, 1 findings");
            },
            10000))
            << err.toStdString();
    }
    first.terminate();
    if (!first.waitForFinished(5000))
        first.kill();
}

} // namespace
