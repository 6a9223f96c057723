// The HTTP client against a loopback server: files, texts and streams, error
// statuses, cut and stalled transfers, the update-server rule, schemes,
// redirects, the proxy and its credentials, the online test, concurrency and
// the shut-down's stop.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <thread>

#include "frame/config/config_file.h"
#include "maintenance/endpoints.h"
#include "maintenance/http_client.h"
#include "platform/fs.h"
#include "platform/net_interfaces.h"
#include "support/http_test_server.h"

using testhttp::HttpTestServer;

namespace {

std::string Pattern(size_t n)
{
    std::string s(n, '\0');
    uint32_t x = 12345;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

std::string ReadFile(const std::string& path)
{
    std::string out;
    ReadWholeFile(path, out);
    return out;
}

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.path().toStdString() + "/";
        oldEndpoints_ = ReplaceEndpoints(
            {"update.kalvo.example", "update-test.kalvo.example", "www.kalvo.example", "localhost"});
        oldTimeouts_ = SetHttpTimeouts({3000, 1, 1});
        SetConnection(0);
    }
    void TearDown() override
    {
        SetConnection(0);
        ReplaceEndpoints(oldEndpoints_);
        SetHttpTimeouts(oldTimeouts_);
        ResumeNetwork();
    }

    static void SetConnection(uint16_t flags, std::string proxy = {}, std::string user = {},
                              std::string password = {})
    {
        Config().Update([&](ConfigValues& v) {
            v.ConnectionFlags = flags;
            v.ProxyAddress = proxy;
            v.ProxyUser = user;
            v.ProxyPassword = password;
        });
    }

    // The names in the folder, so that a left temporary shows.
    std::vector<std::string> FolderEntries() const
    {
        std::vector<std::string> out;
        for (const QString& n : QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden))
            out.push_back(n.toStdString());
        return out;
    }

    testhttp::ProxyEnvironmentGuard env_;
    HttpTestServer server_;
    QTemporaryDir dir_;
    std::string folder_;
    Endpoints oldEndpoints_;
    HttpTimeouts oldTimeouts_;
};

TEST_F(HttpClientTest, DownloadOutcomes)
{
    const std::string big = Pattern(1 << 20);
    server_.SetBody("/big", big);
    server_.SetBody("/empty", "");
    server_.SetError("/e404", 404);
    server_.SetError("/e500", 500);
    server_.SetCut("/cut", Pattern(100000), 30000);
    server_.SetStall("/stall");
    const std::string refused = "http://127.0.0.1:" + std::to_string(testhttp::ClosedPort()) + "/x";

    struct Case {
        std::string url;
        int code;
        const std::string* body; // expected file content; nullptr: the old one stays
    };
    const std::string none;
    const Case cases[] = {
        {server_.Url("/big"), 0, &big},
        {server_.Url("/empty"), 0, &none},
        {server_.Url("/e404"), 404, nullptr},
        {server_.Url("/e500"), 500, nullptr},
        {server_.Url("/cut"), HttpCode::ConnectionCut, nullptr},
        {server_.Url("/stall"), HttpCode::Timeout, nullptr},
        {refused, HttpCode::Refused, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const std::string target = folder_ + "target.bin";
        ASSERT_EQ(WriteFileAtomic(target, "older"), 0);
        std::vector<int64_t> totals;
        const int code = HttpDownloadToFile(c.url, target, [&](int64_t t) { totals.push_back(t); });
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(ReadFile(target), c.body ? *c.body : std::string("older"));
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"target.bin"}) << "no temporary left";
        if (c.code == 0) {
            ASSERT_GE(totals.size(), c.body->empty() ? 1u : 2u);
            const auto size = static_cast<int64_t>(c.body->size());
            EXPECT_EQ(totals.back(), size);
            if (c.body->empty())
                EXPECT_EQ(totals.size(), 1u) << "a 0-byte body: one call with 0";
            else
                EXPECT_EQ(totals[totals.size() - 2], size) << "the final total twice";
        }
    }
}

TEST_F(HttpClientTest, DownloadWithoutAnOlderTargetLeavesNoFile)
{
    server_.SetError("/e404", 404);
    server_.SetCut("/cut", Pattern(10000), 100);
    for (const char* path : {"/e404", "/cut"}) {
        EXPECT_NE(HttpDownloadToFile(server_.Url(path), folder_ + "new.bin"), 0);
        EXPECT_TRUE(FolderEntries().empty()) << path;
    }
}

TEST_F(HttpClientTest, TextAndStream)
{
    server_.SetBody("/list.txt", "a,1\r\nb,2\r\n");
    server_.SetBody("/empty", "");
    server_.SetError("/e500", 500);
    server_.SetCut("/cut", Pattern(5000), 1000);

    int code = -9;
    std::string text = "stale";
    HttpGetText(server_.Url("/list.txt"), code, text);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, "a,1\r\nb,2\r\n");
    for (const char* path : {"/e500", "/cut"}) {
        text = "stale";
        HttpGetText(server_.Url(path), code, text);
        EXPECT_NE(code, 0) << path;
        EXPECT_EQ(text, "") << "an error page or a cut body is never a text";
    }

    std::string stream = "old";
    std::string error = "x";
    EXPECT_TRUE(HttpGetStream(server_.Url("/list.txt"), stream, error));
    EXPECT_EQ(stream, "a,1\r\nb,2\r\n");
    EXPECT_EQ(error, "");

    stream = "old";
    EXPECT_FALSE(HttpGetStream(server_.Url("/e500"), stream, error));
    EXPECT_EQ(stream, "old");
    EXPECT_EQ(error, "chyba internetu 500 Internal Server Error");

    EXPECT_FALSE(HttpGetStream(server_.Url("/empty"), stream, error));
    EXPECT_EQ(stream, "old");
    EXPECT_EQ(error, "chyba internetu 0 The operation completed successfully.");

    EXPECT_FALSE(HttpGetStream(server_.Url("/cut"), stream, error));
    EXPECT_EQ(stream, "old") << "a cut-off body never replaces the stream";
}

TEST_F(HttpClientTest, TextAboveTheLimitFails)
{
    // The server copies the body before its first byte: no stall limit of 1 s.
    SetHttpTimeouts({10000, 30, 1});
    server_.SetBody("/huge", std::string(static_cast<size_t>(kMaxHttpTextBytes) + 1, 'h'));
    int code = 0;
    std::string text = "stale";
    HttpGetText(server_.Url("/huge"), code, text);
    EXPECT_EQ(code, HttpCode::CurlBase + CurlCode::FileSizeExceeded);
    EXPECT_EQ(text, "");
}

TEST_F(HttpClientTest, UpdateServerGoesToPlainHttpOthersKeepTls)
{
    server_.SetBody("/files/list.txt", "list");
    const std::string port = std::to_string(server_.Port());
    int code = -9;
    std::string text;
    // "localhost" is the update server here; the same server as 127.0.0.1 is not.
    HttpGetText("HTTPS://localhost:" + port + "/files/list.txt", code, text);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, "list");
    HttpGetText("https://127.0.0.1:" + port + "/files/list.txt", code, text);
    EXPECT_EQ(code, HttpCode::SecureChannel) << "TLS against a plain server";
    // The fragment counts in the host only.
    HttpGetText("https://127.0.0.1:" + port + "/localhost/files/list.txt", code, text);
    EXPECT_EQ(code, HttpCode::SecureChannel);

    EXPECT_EQ(ApplyUpdateServerRule("https://a.localhost.example/x", "localhost"),
              "http://a.localhost.example/x");
    EXPECT_EQ(ApplyUpdateServerRule("https://user@other:1/localhost", "localhost"),
              "https://user@other:1/localhost");
    EXPECT_EQ(ApplyUpdateServerRule("http://localhost/x", "localhost"), "http://localhost/x");
    EXPECT_EQ(ApplyUpdateServerRule("https://localhost/x", ""), "https://localhost/x");
}

TEST_F(HttpClientTest, SchemesAndRedirects)
{
    int code = 0;
    std::string text;
    for (const char* url : {"ftp://127.0.0.1/x", "file:///etc/hostname"}) {
        HttpGetText(url, code, text);
        EXPECT_EQ(code, HttpCode::OtherScheme) << url;
        EXPECT_EQ(text, "");
    }
    HttpGetText(server_.Url("/redirect/5"), code, text);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, "arrived");
    HttpGetText(server_.Url("/redirect/6"), code, text);
    EXPECT_EQ(code, HttpCode::RedirectLoop);
    EXPECT_EQ(text, "");
}

TEST_F(HttpClientTest, MalformedReplyAndAgent)
{
    testhttp::RawServer raw("garbage that is no HTTP at all\r\n\r\n");
    int code = 0;
    std::string text;
    HttpGetText(raw.Url("/x"), code, text);
    EXPECT_EQ(code, HttpCode::BadReply);

    SetAgentSuffix(std::string("-inst\x01\x7F"
                               "42\r\n"));
    server_.SetBody("/a", "ok");
    HttpGetText(server_.Url("/a"), code, text);
    SetAgentSuffix({});
    ASSERT_EQ(code, 0);
    EXPECT_EQ(server_.Log().back().userAgent, "qevw.exe-inst42");
}

TEST_F(HttpClientTest, ProxyProbeThenTransfer)
{
    server_.EnableProxy();
    server_.SetBody("/files/pkg.ini", "EXE=1");
    const std::string url = "http://packages.kalvo.example/files/pkg.ini";
    // The probe's list answers 404, then 200: both let the transfer go on.
    for (bool listed : {false, true}) {
        if (listed)
            server_.SetBody("/files/list.txt", "list");
        SetConnection(0x70, server_.Address(), "u", "p");
        int code = -9;
        std::string text;
        HttpGetText(url, code, text);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(text, "EXE=1");
    }
    const auto log = server_.Log();
    ASSERT_GE(log.size(), 2u);
    // The URL's port, written out by us and dropped again by libcurl as the
    // scheme's default.
    EXPECT_EQ(log[0].target, "http://packages.kalvo.example/files/list.txt");
    EXPECT_EQ(log[0].proxyAuthorization, "") << "the probe asks without credentials";
    EXPECT_EQ(log.back().target, url);
}

TEST_F(HttpClientTest, ProxyCredentials)
{
    server_.EnableProxy("anna", "secret");
    server_.SetBody("/files/data.bin", "payload");
    const std::string url = "http://packages.kalvo.example/files/data.bin";
    const std::string basic = "Basic " + testhttp::Base64("anna:secret");

    SetConnection(0x70, server_.Address(), "anna", "secret");
    int code = -9;
    std::string text;
    HttpGetText(url, code, text);
    EXPECT_EQ(code, 0) << "407, then the credentials (plain http: 0x10)";
    EXPECT_EQ(text, "payload");
    auto log = server_.Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0].proxyAuthorization, "");
    EXPECT_EQ(log.back().proxyAuthorization, basic);

    SetConnection(0x70, server_.Address(), "anna", "wrong");
    HttpGetText(url, code, text);
    EXPECT_EQ(code, 407);
    EXPECT_EQ(text, "");

    // Without bit 0x40 the credentials never leave.
    const size_t before = server_.Log().size();
    SetConnection(0x30, server_.Address(), "anna", "secret");
    HttpGetText(url, code, text);
    EXPECT_EQ(code, 407);
    log = server_.Log();
    for (size_t i = before; i < log.size(); ++i)
        EXPECT_EQ(log[i].proxyAuthorization, "");
}

TEST_F(HttpClientTest, ProxyRefusal)
{
    server_.EnableProxy();
    server_.SetProxyStatus(403);
    // https by the settings: the probe asks for a tunnel, and its answer counts.
    SetConnection(0x60, server_.Address(), "u", "p");
    const std::string target = folder_ + "f.bin";
    const int code = HttpDownloadToFile("http://x.example/files/f.bin", target);
    EXPECT_EQ(code, 403);
    EXPECT_EQ(HttpErrorText(code), "chyba internetu 403 Forbidden");
    EXPECT_TRUE(FolderEntries().empty());
    EXPECT_EQ(server_.Log().size(), 1u) << "the probe's answer ends the call";

    // A proxy address without a host fails before any request.
    SetConnection(0x20, ":8080");
    std::string text;
    int c = 0;
    HttpGetText("http://x.example/a", c, text);
    EXPECT_EQ(c, HttpCode::ProxyFailure);
    EXPECT_EQ(server_.Log().size(), 1u);
}

TEST_F(HttpClientTest, EnvironmentProxyWithoutTheProxyBit)
{
    server_.EnableProxy();
    server_.SetBody("/files/n.txt", "via env");
    setenv("http_proxy", server_.Origin().c_str(), 1);
    int code = -9;
    std::string text;
    HttpGetText("http://news.kalvo.example/files/n.txt", code, text);
    unsetenv("http_proxy");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, "via env");
    EXPECT_EQ(server_.Log().back().target, "http://news.kalvo.example/files/n.txt");
}

TEST(HttpErrorText, Texts)
{
    const std::pair<int, std::string> cases[] = {
        {-3, "chyba internetu / proxy"},
        {-2, "chyba internetu"},
        {-1, "chyba serveru KALVO"},
        {12029, "chyba pokusu o pripojeni k serveru KALVO (12029)"},
        {403, "chyba internetu 403 Forbidden"},
        {404, "chyba internetu 404 Not Found"},
        {2, "chyba internetu 2 The system cannot find the file specified."},
        {12002, "chyba internetu 12002 The operation timed out."},
        {13000 + 27, "chyba internetu 13027 Out of memory"},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(HttpErrorText(code), text) << code;
}

TEST(HttpIsOnline, InterfaceLists)
{
    auto iface = [](bool up, bool running, bool loopback, int family, std::string address) {
        NetInterface n;
        n.name = "if";
        n.up = up;
        n.running = running;
        n.loopback = loopback;
        n.family = family;
        n.address = std::move(address);
        return n;
    };
    const std::vector<std::string> remote = {"update.kalvo.example", "www.kalvo.example"};
    struct Case {
        std::vector<NetInterface> list;
        std::vector<std::string> hosts;
        bool online;
    };
    const Case cases[] = {
        {{}, remote, false},
        {{iface(true, true, true, 4, "127.0.0.1")}, remote, false},
        {{iface(true, true, false, 4, "192.0.2.7")}, remote, true},
        {{iface(true, false, false, 4, "192.0.2.7")}, remote, false},
        {{iface(false, true, false, 4, "192.0.2.7")}, remote, false},
        {{iface(true, true, false, 6, "fe80::1")}, remote, false},
        {{iface(true, true, false, 6, "2001:db8::5")}, remote, true},
        {{iface(true, true, false, 0, "")}, remote, false},
        {{iface(true, true, true, 4, "127.0.0.1")}, {"localhost"}, true},
        {{}, {"127.0.0.9"}, true},
        {{}, {"[::1]"}, true},
        {{}, {"127.example"}, false},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(NetworkLooksOnline(cases[i].list, cases[i].hosts), cases[i].online) << i;
}

TEST_F(HttpClientTest, EightThreadsWhileTheSettingsChange)
{
    SetHttpTimeouts({10000, 30, 1}); // a busy machine may starve a thread for a while
    const std::string body = Pattern(200000);
    server_.SetBody("/d", body);
    std::atomic<bool> done{false};
    std::thread changer([&] {
        for (int i = 0; !done; ++i) {
            // Plain http and back; the proxy settings change but stay unused.
            SetConnection(i % 2 ? 0x10 : 0, "", "user" + std::to_string(i), "pw");
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    std::vector<std::thread> workers;
    std::atomic<int> failures{0};
    for (int t = 0; t < 8; ++t) {
        workers.emplace_back([&, t] {
            for (int k = 0; k < 4; ++k) {
                const std::string target = folder_ + "w" + std::to_string(t) + ".bin";
                if (HttpDownloadToFile(server_.Url("/d"), target) != 0 || ReadFile(target) != body)
                    ++failures;
            }
        });
    }
    for (auto& w : workers)
        w.join();
    done = true;
    changer.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(HttpClientTest, StopEndsAStalledTransfer)
{
    SetHttpTimeouts({3000, 60, 1});
    server_.SetStall("/stall");
    std::atomic<int> code{-9};
    const auto t0 = std::chrono::steady_clock::now();
    std::thread worker([&] { code = HttpDownloadToFile(server_.Url("/stall"), folder_ + "s.bin"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto stopAt = std::chrono::steady_clock::now();
    StopNetwork();
    worker.join();
    const auto took = std::chrono::steady_clock::now() - stopAt;
    EXPECT_EQ(code.load(), HttpCode::Stopped);
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_GT(stopAt - t0, std::chrono::milliseconds(250)) << "it was really stalled";
    EXPECT_TRUE(FolderEntries().empty());
    // A later call stops at once until the network is resumed.
    int c = 0;
    std::string text;
    HttpGetText(server_.Url("/stall"), c, text);
    EXPECT_EQ(c, HttpCode::Stopped);
    ResumeNetwork();
}

} // namespace
