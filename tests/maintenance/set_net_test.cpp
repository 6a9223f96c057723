// The network settings dialog: what its boxes and edits do to the connection
// settings, what OK saves and Cancel puts back, and the two tests against a
// loopback server and a temporary installation base.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "datastore/service_hooks.h"
#include "maintenance/connection_editor.h"
#include "maintenance/connection_test.h"
#include "maintenance/endpoints.h"
#include "maintenance/http_client.h"
#include "maintenance/net_settings_dialog.h"
#include "tests/maintenance/settings_test_support.h"
#include "tests/maintenance/update_test_support.h"

using namespace settingstest;

namespace {

const char* const kBoxNames[] = {"c4http", "c4proxy", "c4name", "c4off"};

ConnectionBoxes BoxesIn(TSetNet& d)
{
    return {Child<QCheckBox>(&d, "c4http")->isChecked(), Child<QCheckBox>(&d, "c4proxy")->isChecked(),
            Child<QCheckBox>(&d, "c4name")->isChecked(), Child<QCheckBox>(&d, "c4off")->isChecked()};
}

// Makes every box enabled so a test can click it whatever the state.
void ClickBox(TSetNet& d, const char* name)
{
    QCheckBox* b = Child<QCheckBox>(&d, name);
    const bool was = b->isEnabled();
    b->setEnabled(true);
    Click(b);
    b->setEnabled(was && b->isEnabled());
    d.Editor().EnableControls();
}

class SetNetDialog : public SettingsTest {
protected:
    void StoreConnection(uint16_t flags, std::string proxy = {}, std::string user = {}, std::string pass = {})
    {
        Stored([&](ConfigValues& v) {
            v.ConnectionFlags = flags;
            v.ProxyAddress = proxy;
            v.ProxyUser = user;
            v.ProxyPassword = pass;
        });
    }
    StoredConnection Current() const { return StoredConnection::Current(); }
};

TEST(ProxyAddress, SplitsAtTheLastColonAndJoinsCut)
{
    struct Case {
        const char* address;
        ProxyParts parts;
    } cases[] = {{"h:p", {"h", "p"}}, {"a:b:c", {"a:b", "c"}},           {":p", {"", "p"}},
                 {"p", {"", "p"}},    {"[::1]:3128", {"[::1]", "3128"}}, {"", {"", ""}}};
    for (const Case& c : cases)
        EXPECT_EQ(SplitProxyAddress(c.address), c.parts) << c.address;
    EXPECT_EQ(SplitProxyAddress("h:" + std::string(150, '9')).port.size(), 99u);
    EXPECT_EQ(JoinProxyAddress("proxy.lan", "3128"), "proxy.lan:3128");
    EXPECT_EQ(JoinProxyAddress("", ""), ":");
    EXPECT_EQ(JoinProxyAddress(std::string(70, 'h'), "1"), std::string(65, 'h'));
}

TEST_F(SetNetDialog, OpeningFlagsGiveBoxesAndOkFlags)
{
    struct Case {
        uint16_t opened;
        std::vector<const char*> clicks;
        uint16_t stored;
    } cases[] = {
        {0x0B, {}, 0x03},                                       // 0x08 cleared, 0x01 0x02 kept
        {0x00, {"c4http"}, 0x10},                               // plain http
        {0xF3, {}, 0xF3},                                       // all boxes stay
        {0xF0, {"c4http", "c4proxy", "c4name", "c4off"}, 0x00}, // all cleared
        {0x02, {"c4proxy", "c4name"}, 0x62},                    // proxy with credentials
        {0x01, {"c4off"}, 0x81},                                // offline
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.opened);
        StoreConnection(c.opened);
        TSetNet d;
        Show(&d);
        EXPECT_EQ(BoxesIn(d), BoxesOfFlags(c.opened));
        for (const char* name : c.clicks)
            ClickBox(d, name);
        Click(Child<QPushButton>(&d, "OKBtn"));
        EXPECT_EQ(Config().Snapshot().ConnectionFlags, c.stored);
        EXPECT_EQ(Config().Snapshot().UrlScheme(), (c.stored & 0x10) ? "http://" : "https://");
        Reload();
        EXPECT_EQ(Config().Snapshot().ConnectionFlags, c.stored & ~0x08) << "as saved";
    }
}

TEST_F(SetNetDialog, BoxesEnableTheirControls)
{
    StoreConnection(0);
    TSetNet d;
    Show(&d);
    const char* const fields[] = {"t4proxy", "v4proxy", "t4port", "v4port", "c4name"};
    const char* const credentials[] = {"v4name", "t4pass", "v4pass", "c4pass"};
    for (int bits = 0; bits < 16; ++bits) {
        const ConnectionBoxes boxes{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0};
        SCOPED_TRACE(bits);
        Child<QCheckBox>(&d, "c4http")->setChecked(boxes.plainHttp);
        Child<QCheckBox>(&d, "c4proxy")->setChecked(boxes.proxy);
        Child<QCheckBox>(&d, "c4name")->setChecked(boxes.credentials);
        Child<QCheckBox>(&d, "c4off")->setChecked(boxes.offline);
        d.Editor().EnableControls();
        const bool online = !boxes.offline;
        EXPECT_EQ(Child<QWidget>(&d, "c4http")->isEnabled(), online);
        EXPECT_EQ(Child<QWidget>(&d, "c4proxy")->isEnabled(), online);
        for (const char* f : fields)
            EXPECT_EQ(Child<QWidget>(&d, f)->isEnabled(), online && boxes.proxy) << f;
        for (const char* f : credentials)
            EXPECT_EQ(Child<QWidget>(&d, f)->isEnabled(), online && boxes.proxy && boxes.credentials) << f;
    }
}

TEST_F(SetNetDialog, OpensWithTheStoredTextsAndShowsThePasswordOnRequest)
{
    StoreConnection(0x60, "a:b:c", "user", "secret");
    TSetNet d;
    Show(&d);
    EXPECT_EQ(Child<QLineEdit>(&d, "v4proxy")->text(), "a:b");
    EXPECT_EQ(Child<QLineEdit>(&d, "v4port")->text(), "c");
    EXPECT_EQ(Child<QLineEdit>(&d, "v4name")->text(), "user");
    QLineEdit* pass = Child<QLineEdit>(&d, "v4pass");
    EXPECT_EQ(pass->text(), "secret");
    EXPECT_EQ(pass->echoMode(), QLineEdit::Password);
    Click(Child<QCheckBox>(&d, "c4pass"));
    EXPECT_EQ(pass->echoMode(), QLineEdit::Normal);
    Click(Child<QCheckBox>(&d, "c4pass"));
    EXPECT_EQ(pass->echoMode(), QLineEdit::Password);
}

TEST_F(SetNetDialog, CancelEscapeAndCloseBoxPutEveryValueBack)
{
    StoreConnection(0x23, "proxy.lan:3128", "user", "secret");
    const std::string bytes = File();
    const FileStamp stamp = Stamp();
    const StoredConnection before = Current();
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        TSetNet d;
        Show(&d);
        for (const char* name : kBoxNames)
            ClickBox(d, name);
        for (const char* edit : {"v4proxy", "v4port", "v4name", "v4pass"}) {
            QLineEdit* e = Child<QLineEdit>(&d, edit);
            e->setEnabled(true);
            e->setText("changed");
            emit e->editingFinished();
        }
        const StoredConnection changed = Current();
        EXPECT_NE(changed.flags, before.flags) << "the boxes act at once";
        EXPECT_EQ(changed.proxyAddress, "changed:changed") << "the edits act when left";
        EXPECT_EQ(Config().Snapshot().UrlScheme(), "http://");
        if (way == 0)
            Click(Child<QPushButton>(&d, "CancelBtn"));
        else if (way == 1)
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            d.close();
        EXPECT_EQ(d.result(), QDialog::Rejected);
        const StoredConnection after = Current();
        EXPECT_EQ(after.flags, before.flags);
        EXPECT_EQ(after.proxyAddress, before.proxyAddress);
        EXPECT_EQ(after.proxyUser, before.proxyUser);
        EXPECT_EQ(after.proxyPassword, before.proxyPassword);
        EXPECT_EQ(Config().Snapshot().UrlScheme(), "https://");
        EXPECT_EQ(File(), bytes);
        EXPECT_EQ(Stamp(), stamp);
    }
}

TEST_F(SetNetDialog, OkSavesOnlyAChangeAndRefetchesTheList)
{
    StoreConnection(0x20, "proxy.lan:3128");
    UpdateSharedValues& shared = UpdateShared();
    {
        shared.serverListReady = true;
        shared.serverListFetchStarted = true;
        shared.SetServerList("\nkalvo1.zip 5\n", "chyba");
        const FileStamp stamp = Stamp();
        TSetNet d;
        Show(&d);
        Click(Child<QPushButton>(&d, "OKBtn"));
        EXPECT_EQ(Stamp(), stamp) << "nothing changed, nothing written";
        EXPECT_FALSE(shared.serverListReady);
        EXPECT_FALSE(shared.serverListFetchStarted);
        EXPECT_EQ(shared.ServerListError(), "");
    }
    {
        // The port typed and OK pressed with the focus still in it.
        TSetNet d;
        Show(&d);
        QLineEdit* port = Child<QLineEdit>(&d, "v4port");
        port->setFocus();
        port->selectAll();
        QTest::keyClicks(port, "8080");
        ASSERT_TRUE(port->hasFocus());
        d.OKBtnClick(); // as the default button's Enter: the edit is not left

        EXPECT_EQ(Current().proxyAddress, "proxy.lan:8080");
        EXPECT_TRUE(HasLine(File(), "IFL=32"));
        Reload();
        EXPECT_EQ(Current().proxyAddress, "proxy.lan:8080") << "saved";
    }
    shared.SetServerList("", "");
}

TEST_F(SetNetDialog, TestsFillTheMemoInBothLanguages)
{
    StoreConnection(0x20, ":3128");
    for (const char* language : {"ces", "ang"}) {
        SCOPED_TRACE(language);
        ScopedUiTexts texts{ProgramTable(language)};
        TSetNet d;
        ConnectionTestCalls calls;
        calls.installBase = root_;
        calls.programFolder = root_;
        calls.isOnline = [] { return 2; };
        d.SetTestCalls(calls);
        Show(&d);
        Click(Child<QPushButton>(&d, "b4test1"));
        const QString memo = Child<QPlainTextEdit>(&d, "m4test")->toPlainText();
        EXPECT_TRUE(memo.contains(QString::fromStdString(HttpErrorText(HttpCode::ProxyFailure))))
            << memo.toStdString();
        int passed = 0;
        for (const QString& line : memo.split(QLatin1Char('\n')))
            passed += line.endsWith(QStringLiteral(": OK")) ? 1 : 0;
        EXPECT_EQ(passed, 7) << memo.toStdString();
        Shot(&d, std::string("set_net_") + language);
        d.reject();
    }
}

// --- The tests' engine ----------------------------------------------------

class ConnectionTestEngine : public updatetest::UpdateFixture {
protected:
    void SetUp() override
    {
        test_support::EnsureGuiApp();
        UpdateFixture::SetUp();
        calls.installBase = base;
        calls.programFolder = running;
        calls.isOnline = [this] { return online; };
    }
    void TearDown() override
    {
        Config().Update([](ConfigValues& v) {
            v.ConnectionFlags = 0;
            v.ProxyAddress.clear();
            v.ProxyUser.clear();
            v.ProxyPassword.clear();
        });
        UpdateFixture::TearDown();
    }
    std::string Head() const { return updatetest::Ui("iTest", "webH"); }
    // The update server's URLs go to plain http (the endpoints' rule).
    void SetFlags(uint16_t flags)
    {
        Config().Update([flags](ConfigValues& v) { v.ConnectionFlags = flags; });
    }

    ConnectionTestCalls calls;
};

TEST_F(ConnectionTestEngine, ListRepliesGiveTheirLines)
{
    SetFlags(0x10);
    const std::string url = "http://" + server.Address() + "/files/list.txt";
    server.SetBody("/files/list.txt", "kalvo263a.zip,100\r\n");
    EXPECT_EQ(RunConnectionTest(calls, true), std::vector<std::string>{Head() + "OK"});

    server.SetError("/files/list.txt", 404);
    std::vector<std::string> lines = RunConnectionTest(calls, true);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], Head() + url);
    EXPECT_EQ(lines[1].rfind("!  chyba internetu 404 ", 0), 0u) << lines[1];

    server.SetBody("/files/list.txt", "");
    EXPECT_EQ(RunConnectionTest(calls, true),
              (std::vector<std::string>{Head() + url, "!  " + HttpErrorText(HttpCode::ProxyFailure)}));

    // A portal's page instead of the list: its text, line by line.
    server.SetBody("/files/list.txt",
                   "<html><body>\n  P\xc5\x99ihl\xc3\xa1\xc5\xa1te se\r\n\n<b>Wi-Fi</b>\n</body></html>");
    lines = RunConnectionTest(calls, true);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "     P\xf8ihl\xe1\x9ate se");
    EXPECT_EQ(lines[2], "   Wi-Fi");
}

TEST_F(ConnectionTestEngine, OfflineSettingOrNoNetworkMakeNoRequest)
{
    server.SetBody("/files/list.txt", "kalvo263a.zip,100\r\n");
    SetFlags(0x80);
    EXPECT_EQ(RunConnectionTest(calls, true),
              std::vector<std::string>{Head() + updatetest::Ui("iTest", "webS")});
    SetFlags(0x10);
    online = 0;
    EXPECT_EQ(RunConnectionTest(calls, true), std::vector<std::string>{kNoNetworkLine});
    EXPECT_TRUE(server.Log().empty());
    // The folder test has no online check.
    EXPECT_EQ(RunInstallFolderTest(calls)[0], Head() + "OK");
}

TEST_F(ConnectionTestEngine, ThroughAProxy)
{
    testhttp::HttpTestServer proxy;
    proxy.EnableProxy("user", "secret");
    proxy.SetBody("/files/list.txt", "kalvo263a.zip,100\r\n");
    Config().Update([&](ConfigValues& v) {
        v.ConnectionFlags = 0x70;
        v.ProxyAddress = proxy.Address();
        v.ProxyUser = "user";
        v.ProxyPassword = "secret";
    });
    EXPECT_EQ(RunConnectionTest(calls, true), std::vector<std::string>{Head() + "OK"});
    EXPECT_FALSE(proxy.Log().empty());

    // The proxy box with no host: the proxy error, no request anywhere.
    Config().Update([](ConfigValues& v) { v.ProxyAddress = ":3128"; });
    const size_t seen = proxy.Log().size();
    const std::vector<std::string> lines = RunConnectionTest(calls, true);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "!  " + HttpErrorText(HttpCode::ProxyFailure));
    EXPECT_EQ(proxy.Log().size(), seen);
    EXPECT_TRUE(server.Log().empty());
}

TEST_F(ConnectionTestEngine, FolderTestLeavesNothing)
{
    SetFlags(0x80);
    const auto before = updatetest::Snapshot(base);
    const std::vector<std::string> lines = RunInstallFolderTest(calls);
    const char* const checks[] = {"upSc", "upFc", "upFr", "upFd", "upSd", "upAc", "upAd"};
    ASSERT_EQ(lines.size(), 1u + std::size(checks));
    for (size_t i = 0; i < std::size(checks); ++i)
        EXPECT_EQ(lines[i + 1], updatetest::Ui("iTest", checks[i]) + "OK");
    EXPECT_EQ(updatetest::Snapshot(base), before);
    EXPECT_FALSE(FolderExists(base + "testInst.0"));
}

TEST_F(ConnectionTestEngine, FolderTestReportsTheFailingStep)
{
    using Step = test_support::FailingFileSystem::Step;
    SetFlags(0x80);
    const std::string folder = base + "testInst.0/";
    const std::string log = folder + "_InstLog.txt";
    const std::string batch = base + "__test__.bat";
    auto ui = [](const char* s, const char* k) { return updatetest::Ui(s, k); };
    struct Case {
        Step step;
        // The lines after the connection line.
        std::vector<std::string> lines;
    } cases[] = {
        {Step::Open,
         {ui("iTest", "upSc") + "OK", ui("iTest", "upFc") + log, "   " + ui("iTest", "logO") + "1005",
          ui("iTest", "upSd") + "OK", ui("iTest", "upAc") + batch, "   " + ui("iTest", "logO") + "1005"}},
        {Step::Write,
         {ui("iTest", "upSc") + "OK", ui("iTest", "upFc") + log, "   " + ui("iTest", "logW") + "1005",
          ui("iTest", "upFr") + log, "   " + ui("iTest", "logW") + "1005", ui("iTest", "upFd") + "OK",
          ui("iTest", "upSd") + "OK", ui("iTest", "upAc") + batch, "   " + ui("iTest", "logW") + "1005",
          ui("iTest", "upAd") + "OK"}},
        {Step::Close,
         {ui("iTest", "upSc") + "OK", ui("iTest", "upFc") + log, "   " + ui("iTest", "logC") + "1005",
          ui("iTest", "upFr") + log, "   " + ui("iTest", "logC") + "1005", ui("iTest", "upFd") + "OK",
          ui("iTest", "upSd") + "OK", ui("iTest", "upAc") + batch, "   " + ui("iTest", "logC") + "1005",
          ui("iTest", "upAd") + "OK"}},
        {Step::RemoveFolder,
         {ui("iTest", "upSc") + "OK", ui("iTest", "upFc") + "OK", ui("iTest", "upFr") + "OK",
          ui("iTest", "upFd") + "OK", ui("iTest", "upSd") + folder, "   " + ui("Chyby", "DirDel") + "5",
          ui("iTest", "upAc") + "OK", ui("iTest", "upAd") + "OK"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step));
        test_support::FailingFileSystem fs;
        fs.sync = false;
        fs.failAt = c.step;
        fs.error = EIO;
        if (c.step == Step::RemoveFolder)
            fs.error = 5;
        calls.files = &fs;
        std::vector<std::string> lines = RunInstallFolderTest(calls);
        lines.erase(lines.begin());
        EXPECT_EQ(lines, c.lines);
        QDir(QString::fromStdString(folder)).removeRecursively();
    }
}

TEST_F(ConnectionTestEngine, FailedFolderCreationSkipsToTheBatchFile)
{
    SetFlags(0x80);
    updatetest::WriteBytes(base + "testInst.0", "a file in the way");
    const std::vector<std::string> lines = RunInstallFolderTest(calls);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], updatetest::Ui("iTest", "upSc") + base + "testInst.0/");
    EXPECT_EQ(lines[2].rfind("   " + updatetest::Ui("Chyby", "PathNew"), 0), 0u);
    EXPECT_EQ(lines[3], updatetest::Ui("iTest", "upAc") + "OK");
    EXPECT_EQ(lines[4], updatetest::Ui("iTest", "upAd") + "OK");
}

TEST_F(ConnectionTestEngine, WithoutABaseNothingIsWritten)
{
    SetFlags(0x80);
    calls.installBase.clear();
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(root));
    const auto before = updatetest::Snapshot(root);
    const std::vector<std::string> lines = RunInstallFolderTest(calls);
    QDir::setCurrent(cwd);
    EXPECT_EQ(lines, (std::vector<std::string>{Head() + updatetest::Ui("iTest", "webS"),
                                               updatetest::Ui("iTest", "upSc") + running,
                                               "   " + updatetest::Ui("Chyby", "WrPath")}));
    EXPECT_EQ(updatetest::Snapshot(root), before);
}

} // namespace
