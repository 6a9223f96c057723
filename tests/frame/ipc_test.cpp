// Handing queries between copies: the receiving checks and decisions, the
// handshake, the offer over local sockets, and two real copies of the
// program.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "datastore/run_log.h"
#include "fake_peer.h"
#include "frame/start/ipc.h"
#include "frame/start/placeholder_window.h"
#include "start_fixtures.h"

using start_test::FakePeer;
using start_test::SilentPeer;
using start_test::StartFolders;

namespace {

// The protocol state of a copy of group 15, tag 0x1200, started without a
// caller, serving drugs in the normal program type.
class Protocol : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_test::EnsureApp();
        saved = Ipc();
        Ipc() = IpcState{};
        Ipc().OwnWindow = OwnWindowOfProcess();
        Ipc().InstanceGroup = 15;
        Ipc().InstanceTag = 0x1200;
        Ipc().InstanceState = kStateNoCaller;
        PublishProgramType(ProgramKind::Normal);
        PublishDataSet(DataSetCode::Drugs);
        SetBringToFrontHandler([this] { ++fronted; });
        SetStoredQueryHandler([this](const std::string& q) { served.push_back(q); });
        ClearRunLog();
    }
    void TearDown() override
    {
        SetBringToFrontHandler({});
        SetStoredQueryHandler({});
        PublishProgramType(0);
        PublishDataSet(DataSetCode::None);
        Ipc() = saved;
    }

    IpcState saved;
    int fronted = 0;
    std::vector<std::string> served;
};

TEST_F(Protocol, SenderVerdicts)
{
    struct Case {
        const char* text;
        uint32_t verdict;
    };
    const Case cases[] = {
        {"|y=15|q=help|", 0},
        {"|q=help|", 0}, // no "y": never refused
        {"|y=0|q=help|", 0},
        {"|y=16|q=help|", QueryVerdict::GroupMismatch},
        {"|y=255|", QueryVerdict::GroupMismatch},
        {"|y=4623|", 0}, // 15 OR 0x1200
        {"|y=4624|", QueryVerdict::TagMismatch},
        {"|y=256|", QueryVerdict::TagMismatch},
        {"|y=16|q=_req|", QueryVerdict::Taken}, // "_req" is answered whatever "y" says
        {"|y=abc|", 0},
    };
    for (const Case& c : cases) {
        std::string query, rest;
        uint32_t result = 0;
        EXPECT_EQ(CheckQuerySender({1, c.text}, query, rest, result), c.verdict) << c.text;
        EXPECT_EQ(result, kStateNoCaller | 15u | 0x1200u);
    }
}

TEST_F(Protocol, SplitsAtTheFirstDoubleBar)
{
    std::string query, rest;
    SplitQuery("|y=15|q=help||1=Obsah_|", query, rest);
    EXPECT_EQ(query, "|y=15|q=help|");
    EXPECT_EQ(rest, "|1=Obsah_|");
    SplitQuery("|y=15|q=help|", query, rest);
    EXPECT_EQ(query, "|y=15|q=help|");
    EXPECT_EQ(rest, "");
    SplitQuery("|pfa||1=a||2=b|", query, rest);
    EXPECT_EQ(query, "|pfa|");
    EXPECT_EQ(rest, "|1=a||2=b|");
}

TEST_F(Protocol, HandleHash)
{
    // Bits 8-15 of 0x1234, 0x123456, 0x12345678 and 0x34567800: 12^34^56^78.
    EXPECT_EQ(HandleHash(0x12345678), 0x0800u);
    EXPECT_EQ(HandleHash(0x00010000), 0x0100u);
    EXPECT_EQ(HandleHash(0), 1u);
    EXPECT_EQ(HandleHash(0x0101), 1u); // 0x0100 ^ 0x0100
}

TEST_F(Protocol, ReceivingDecisionByTypeAndDataSet)
{
    struct Case {
        uint8_t type, dataSet;
        const char* text;
        bool taken;
        const char* stored;
    };
    const Case cases[] = {
        {3, 1, "|y=15||1=0012345|", true, "|1=0012345|"},
        {3, 1, "|y=15|b=/srv/l.xml||1=x|", true, "|b=/srv/l.xml|"},
        {3, 2, "|y=15||1=x|", false, nullptr},        // a goods copy refuses drugs
        {3, 2, "|y=15|pzt|pfa||1=x|", true, "|1=x|"}, // "pfa" wins
        {3, 4, "|y=15|pfa|pzt|", false, nullptr},
        {3, 7, "|y=15|all|", true, ""},
        {3, 1, "|y=15|q=help||1=Obsah_|", false, nullptr},
        {2, 1, "|y=15|q=help||1=Obsah_|", true, "|1=Obsah_|"},
        {2, 1, "|y=15|q=help|pfa|", true, ""}, // data sets only count in type 3
        {5, 1, "|y=15|q=dupl|b=list||1=x|", true, "|b=list|"},
        {0, 0, "|y=15||1=x|", false, nullptr}, // not yet published
    };
    for (const Case& c : cases) {
        PublishProgramType(c.type);
        PublishDataSet(static_cast<DataSetCode>(c.dataSet));
        Ipc().StoredQuery = "unchanged";
        const ReceiveOutcome out = ReceiveQuery({1, c.text});
        const uint32_t base = kStateNoCaller | 15u | 0x1200u;
        EXPECT_EQ(out.reply, base | (c.taken ? QueryVerdict::Taken : QueryVerdict::OtherKind)) << c.text;
        EXPECT_FALSE(out.halt);
        EXPECT_EQ(Ipc().StoredQuery, c.stored ? c.stored : "unchanged") << c.text;
    }
    // Served later, from the event loop, once per taken request.
    EXPECT_TRUE(served.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(served.size(), 7u);
    EXPECT_EQ(fronted, 7);
}

TEST_F(Protocol, InstallerIsNotBroughtToTheFront)
{
    PublishProgramType(ProgramKind::Installer);
    EXPECT_TRUE(ReplyTaken(ReceiveQuery({1, "|y=15|q=inst|"}).reply));
    EXPECT_EQ(fronted, 0);
}

TEST_F(Protocol, HaltOnlyFromTheCallerOrThePrivilegedSender)
{
    Ipc().CallerWindow = 0x30001;
    Ipc().PrivilegedSender = 0x30002;
    EXPECT_TRUE(ReceiveQuery({0x30001, "|y=15|q=_hlt|"}).halt);
    EXPECT_TRUE(ReceiveQuery({0x30002, "|y=15|q=_hlt|"}).halt);
    // From a stranger it is an ordinary normal request, taken by a normal copy.
    ReceiveOutcome out = ReceiveQuery({0x30003, "|y=15|q=_hlt|"});
    EXPECT_FALSE(out.halt);
    EXPECT_TRUE(ReplyTaken(out.reply));
    // An unverified sender (0) is nobody, even when the caller is unknown.
    Ipc().CallerWindow = 0;
    Ipc().PrivilegedSender = 0;
    EXPECT_FALSE(ReceiveQuery({0, "|y=15|q=_hlt|"}).halt);
    // A refused "y" is refused before "_hlt" is looked at.
    Ipc().CallerWindow = 0x30001;
    out = ReceiveQuery({0x30001, "|y=16|q=_hlt|"});
    EXPECT_FALSE(out.halt);
    EXPECT_EQ(out.reply & 0xFF000000u, QueryVerdict::GroupMismatch);
}

TEST_F(Protocol, RunLogLines)
{
    PublishProgramType(ProgramKind::Help);
    ReceiveQuery({1, "|y=15|q=help||1=Obsah_|"});
    ReceiveQuery({1, "|y=16|q=help|"});
    EXPECT_EQ(RunLogText(), "|y=15|q=help||1=Obsah_|-00000000\r\n|y=16|q=help|-03000000\r\n");
}

// Any process of the user can send frames; what they make the run log keep
// must stay bounded, and the newest lines must survive.
TEST_F(Protocol, RequestsFromPeersCannotGrowTheRunLogWithoutBound)
{
    PublishProgramType(ProgramKind::Help);
    const std::string big = "|y=16|q=help|" + std::string(kMaxFrameBytes - 100, 'x') + "|";
    for (int i = 0; i < 100; ++i)
        ReceiveQuery({1, big});
    std::string log = RunLogText();
    EXPECT_LE(log.size(), 1u << 20) << "a hundred frames of 64 KiB";
    const std::string logged =
        big.substr(0, 1024) + "... (" + std::to_string(big.size()) + " bytes)-03000000\r\n";
    EXPECT_EQ(log.substr(log.size() - logged.size()), logged) << "a long request is logged cut short";

    for (int i = 0; i < 10000; ++i)
        ReceiveQuery({1, "|y=16|q=help||1=" + std::to_string(i) + "|"});
    log = RunLogText();
    EXPECT_LE(log.size(), 1u << 20);
    const std::string newest = "|y=16|q=help||1=9999|-03000000\r\n";
    EXPECT_EQ(log.substr(log.size() - newest.size()), newest) << "the newest line is kept";
    EXPECT_EQ(log.find("|y=16|q=help||1="), 0u) << "the log starts with a whole line";
}

TEST_F(Protocol, LaunchReplySlotTakesTheNextSender)
{
    uint32_t slot = 0;
    Ipc().LaunchReplySlot = &slot;
    ReceiveQuery({0x40000, "|y=99|"}); // refused, still the next message
    EXPECT_EQ(slot, 0x40000u);
    EXPECT_EQ(Ipc().LaunchReplySlot, nullptr);
}

TEST(StartRequest, RequestTextOfEachType)
{
    const std::string pos = "|1=A|2=B|";
    EXPECT_EQ(StartRequestText(1, "|q=inst|", pos), "|q=inst|");
    EXPECT_EQ(StartRequestText(2, "|q=help|", pos), "|q=help||1=A|2=B|");
    EXPECT_EQ(StartRequestText(3, "|", pos), "||1=A|2=B|");
    EXPECT_EQ(StartRequestText(3, "|pzt|b=l.txt|", pos), "|pzt|b=l.txt||1=A|2=B|");
    EXPECT_EQ(StartRequestText(3, "|all|pfa|", "|"), "|pfa||");
    EXPECT_EQ(StartRequestText(4, "|q=mkn|", pos), "|q=mkn||1=A|2=B|");
    EXPECT_EQ(StartRequestText(5, "|q=dupl|b=x|", pos), "|q=dupl|b=x||1=A|2=B|");
    EXPECT_EQ(StartRequestText(7, "|", pos), "|q=mkno||1=A|2=B|");
    EXPECT_EQ(StartRequestText(8, "|", pos), "|q=dopl||1=A|2=B|");
    EXPECT_EQ(StartRequestText(6, "|q=calc|", pos), "");
}

TEST(StartRequest, OfferRule)
{
    struct Case {
        uint8_t type;
        const char* options;
        int positionals;
        uint8_t newWin;
        bool offers;
    };
    const Case cases[] = {
        {3, "|", 0, 0, true},     {3, "|", 0, 1, false}, {3, "|", 1, 1, true},
        {3, "|b=x|", 0, 1, true}, {3, "|", 1, 2, false}, {3, "|nw|", 1, 0, false},
        {3, "|nw|", 0, 0, false}, {5, "|", 2, 0, true},  {5, "|nw|b=x|", 0, 0, false},
        {2, "|nw|", 0, 2, true},  {1, "|", 0, 2, true},  {4, "|", 0, 9, true},
        {6, "|", 1, 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShouldOffer(c.type, c.options, c.positionals, c.newWin), c.offers)
            << int(c.type) << c.options << c.positionals << int(c.newWin);
}

// --- Over real sockets, in this process ------------------------------------

// A socket file nobody listens on: what a killed copy leaves behind.
void MakeStaleSocket(const std::string& path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
}

// Sets a socket file's modification time (sockets cannot be opened as files).
void Touch(const std::string& path, int secondsAgo)
{
    timespec times[2];
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= secondsAgo;
    times[1] = times[0];
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

class Sockets : public Protocol {
protected:
    void SetUp() override
    {
        Protocol::SetUp();
        folder = tmp.path().toStdString() + "/sock/";
        QDir().mkpath(QString::fromStdString(folder));
        SetSocketFolderOverride(folder);
    }
    void TearDown() override
    {
        StopIpcServer();
        SetSocketFolderOverride("");
        SetReplyTimeoutMs(kReplyTimeoutMs);
        Protocol::TearDown();
    }
    std::string Peer(uint32_t window) const { return SocketPathOf(folder, window); }

    QTemporaryDir tmp;
    std::string folder;
};

TEST_F(Sockets, OfferGoesNewestFirstAndStopsAtTheTaker)
{
    FakePeer older(Peer(0x20001), QueryVerdict::Taken | 0x10000);
    FakePeer newer(Peer(0x20002), QueryVerdict::OtherKind | 0x10000);
    MakeStaleSocket(Peer(0x20003));
    Touch(Peer(0x20001), 30);
    Touch(Peer(0x20002), 20);
    Touch(Peer(0x20003), 10);
    const uint32_t reply = OfferQuery("||1=0012345|", false);
    EXPECT_TRUE(ReplyTaken(reply));
    ASSERT_EQ(newer.texts.size(), 1u);
    ASSERT_EQ(older.texts.size(), 1u);
    EXPECT_EQ(older.texts[0], "|y=15||1=0012345|");
    EXPECT_EQ(older.senders[0], Ipc().OwnWindow & 0xFFFFFF);
    // The stale socket was found refusing and removed.
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Peer(0x20003))));
    EXPECT_NE(RunLogText().find("removed stale socket"), std::string::npos);
}

TEST_F(Sockets, OfferWithTagAndNoTaker)
{
    FakePeer peer(Peer(0x20001), QueryVerdict::OtherKind);
    EXPECT_EQ(OfferQuery("|q=help||1=X|", true), 0u);
    ASSERT_EQ(peer.texts.size(), 1u);
    EXPECT_EQ(peer.texts[0], "|y=4623|q=help||1=X|");
}

TEST_F(Sockets, SilentPeerDelaysTheOfferByTheTimeoutOnly)
{
    SetReplyTimeoutMs(300);
    FakePeer taker(Peer(0x20001), QueryVerdict::Taken);
    SilentPeer silent(Peer(0x20002));
    Touch(Peer(0x20001), 20);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(ReplyTaken(OfferQuery("||1=x|", false)));
    const qint64 ms = clock.elapsed();
    EXPECT_GE(ms, 290);
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(taker.texts.size(), 1u);
}

TEST_F(Sockets, ServerAnswersFramesAndDropsOversizedOnes)
{
    ASSERT_TRUE(StartIpcServer());
    // A plain request through the socket: the same decision as in process.
    uint32_t reply = 0;
    ASSERT_EQ(SendFrame(Peer(Ipc().OwnWindow), 0x20009, "|y=15||1=abc|", 2000, reply), SendStatus::Ok);
    EXPECT_TRUE(ReplyTaken(reply));
    EXPECT_EQ(Ipc().StoredQuery, "|1=abc|");

    // A frame over 64 KiB is dropped unanswered.
    QLocalSocket s;
    s.connectToServer(QString::fromStdString(Peer(Ipc().OwnWindow)));
    ASSERT_TRUE(s.waitForConnected(1000));
    QByteArray head(8, 0);
    head[5] = 0x00;
    head[6] = 0x01; // length 0x10000
    s.write(head);
    s.write(QByteArray(1000, 'x'));
    QElapsedTimer clock;
    clock.start();
    while (s.state() == QLocalSocket::ConnectedState && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(s.state(), QLocalSocket::UnconnectedState);
    EXPECT_EQ(s.bytesAvailable(), 0);
}

TEST_F(Sockets, SenderFieldMustBeThePeersOwnWindow)
{
    ASSERT_TRUE(StartIpcServer());
    Ipc().CallerWindow = 0x7777;
    // A frame claiming to come from the caller, sent by this process: the
    // claim is not believed, so "_hlt" is an ordinary (taken) request.
    uint32_t slot = 1;
    Ipc().LaunchReplySlot = &slot;
    uint32_t reply = 0;
    ASSERT_EQ(SendFrame(Peer(Ipc().OwnWindow), 0x7777, "|q=_hlt|", 2000, reply), SendStatus::Ok);
    EXPECT_EQ(slot, 0u);
    EXPECT_TRUE(ReplyTaken(reply));
    // The true window is believed.
    Ipc().LaunchReplySlot = &slot;
    ASSERT_EQ(SendFrame(Peer(Ipc().OwnWindow), Ipc().OwnWindow, "|y=99|", 2000, reply), SendStatus::Ok);
    EXPECT_EQ(slot, Ipc().OwnWindow);
}

TEST_F(Sockets, HandshakeWithTheCaller)
{
    // A caller started without a caller of its own (bits 16-23 = 1).
    FakePeer caller(Peer(0x20001), QueryVerdict::Taken | kStateNoCaller | 0x3400 | 0x2A);
    InitCalls("|y=131073|");
    ASSERT_EQ(caller.texts.size(), 1u);
    EXPECT_EQ(caller.texts[0], "|q=_req|");
    EXPECT_EQ(Ipc().CallerWindow, 0x20001u);
    EXPECT_EQ(Ipc().InstanceGroup, 0x2Au);
    EXPECT_EQ(Ipc().InstanceTag, 0x3400u);
    EXPECT_EQ(Ipc().PrivilegedSender, 0x20001u);
    EXPECT_EQ(Ipc().InstanceState, kStateWithCaller);

    // A caller that was itself started by a caller is not privileged.
    FakePeer second(Peer(0x20002), QueryVerdict::Taken | kStateWithCaller | 0x3400 | 0x2A);
    InitCalls("|y=131074|");
    EXPECT_EQ(Ipc().PrivilegedSender, 0u);
    EXPECT_EQ(Ipc().InstanceState, kStateWithCaller);

    // A caller that is gone leaves group 15, tag 0, still "with caller".
    InitCalls("|y=131075|");
    EXPECT_EQ(Ipc().InstanceGroup, 15u);
    EXPECT_EQ(Ipc().InstanceTag, 0u);
    EXPECT_EQ(Ipc().InstanceState, kStateWithCaller);

    // Without a caller: the tag is the hash of the own window.
    InitCalls("|");
    EXPECT_EQ(Ipc().InstanceTag, HandleHash(Ipc().OwnWindow));
    EXPECT_EQ(Ipc().InstanceState, kStateNoCaller);
    EXPECT_EQ(Ipc().CallerWindow, 0u);
}

TEST_F(Sockets, SendToTheOwnWindowFromAWorker)
{
    PublishProgramType(ProgramKind::Normal);
    std::atomic<uint32_t> reply{0};
    std::thread worker([&] { reply = SendCopyData("|y=15||1=w|", Ipc().OwnWindow); });
    // The worker waits until the main thread runs the handler.
    QElapsedTimer clock;
    clock.start();
    while (reply == 0 && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    EXPECT_TRUE(ReplyTaken(reply));
    EXPECT_EQ(Ipc().StoredQuery, "|1=w|");
}

TEST(SocketFolder, MustBePrivate)
{
    QTemporaryDir tmp;
    const std::string runtime = tmp.path().toStdString();
    EnvLookup env = [&](const char* n) { return std::string(n) == "XDG_RUNTIME_DIR" ? runtime : ""; };
    std::string problem;
    EXPECT_EQ(SocketFolder(env, &problem), runtime + "/qevw/");
    struct stat st {};
    ASSERT_EQ(stat((runtime + "/qevw").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    chmod((runtime + "/qevw").c_str(), 0755);
    EXPECT_EQ(SocketFolder(env, &problem), "");
    EXPECT_NE(problem.find("0700"), std::string::npos);

    // A symbolic link is not the folder itself.
    QDir().mkpath(tmp.path() + "/real");
    chmod((runtime + "/real").c_str(), 0700);
    QFile::remove(tmp.path() + "/qevw");
    rmdir((runtime + "/qevw").c_str());
    ASSERT_EQ(symlink((runtime + "/real").c_str(), (runtime + "/qevw").c_str()), 0);
    EXPECT_EQ(SocketFolder(env, &problem), "");
}

// --- Two real copies of the program ----------------------------------------

class TwoCopies : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_test::EnsureApp();
        runtime = rt.path().toStdString();
        env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
        env.insert("NODALCFG", QString::fromStdString(f.root + "nodal.cfg"));
        sockets = runtime + "/qevw/";
    }
    void TearDown() override
    {
        for (auto& p : running) {
            p->kill();
            p->waitForFinished(3000);
        }
    }

    QProcess* Launch(QStringList args)
    {
        running.push_back(std::make_unique<QProcess>());
        QProcess* p = running.back().get();
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(QEVW_PROGRAM_DIR "/qevw"), args);
        EXPECT_TRUE(p->waitForStarted(5000));
        return p;
    }

    // Waits until the process printed `text` on standard output.
    static bool WaitForOutput(QProcess* p, std::string& out, const std::string& text, int ms = 8000)
    {
        QElapsedTimer clock;
        clock.start();
        while (out.find(text) == std::string::npos && clock.elapsed() < ms) {
            p->waitForReadyRead(50);
            out += p->readAllStandardOutput().toStdString();
            if (p->state() == QProcess::NotRunning) {
                out += p->readAllStandardOutput().toStdString();
                break;
            }
        }
        return out.find(text) != std::string::npos;
    }

    std::string SocketOf(QProcess* p) const
    {
        return SocketPathOf(sockets, static_cast<uint32_t>(p->processId()) + 0x10000u);
    }

    QProcess* StartFirst(std::string& out)
    {
        QProcess* first = Launch({QString::fromStdString("-d=" + f.dataA)});
        EXPECT_TRUE(WaitForOutput(first, out, "window: type 3, data set 1"));
        EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(SocketOf(first))));
        return first;
    }

    StartFolders f;
    QTemporaryDir rt;
    std::string runtime, sockets;
    QProcessEnvironment env;
    std::vector<std::unique_ptr<QProcess>> running;
};

TEST_F(TwoCopies, SecondStartHandsItsArgumentOver)
{
    std::string firstOut;
    QProcess* first = StartFirst(firstOut);
    QProcess* second = Launch({QString::fromStdString("-d=" + f.dataA), "0012345"});
    ASSERT_TRUE(second->waitForFinished(8000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(second->readAllStandardOutput().toStdString().find("window:"), std::string::npos);
    EXPECT_TRUE(WaitForOutput(first, firstOut, "served: |1=0012345|"));
}

TEST_F(TwoCopies, OtherDataSetNoHandOverOrOtherStampStartsItsOwnWindow)
{
    std::string firstOut;
    QProcess* first = StartFirst(firstOut);
    const QString a = QString::fromStdString("-d=" + f.dataA);
    const QString b = QString::fromStdString("-d=" + f.dataB);
    const QStringList starts[] = {{a, "/pfa", "x1"}, {a, "/nw", "x2"}, {b, "x3"}};
    const char* windows[] = {"window: type 3, data set 2", "window: type 3, data set 1",
                             "window: type 3, data set 1"};
    for (int i = 0; i < 3; ++i) {
        QProcess* second = Launch(starts[i]);
        std::string out;
        EXPECT_TRUE(WaitForOutput(second, out, windows[i])) << i << out;
        second->kill();
        second->waitForFinished(3000);
    }
    first->waitForReadyRead(200);
    firstOut += first->readAllStandardOutput().toStdString();
    EXPECT_EQ(firstOut.find("served:"), std::string::npos);
}

TEST_F(TwoCopies, KilledCopyLeavesAStaleSocketThatTheNextStartRemoves)
{
    std::string firstOut;
    QProcess* first = StartFirst(firstOut);
    const std::string stale = SocketOf(first);
    first->kill(); // SIGKILL: no clean-up
    first->waitForFinished(3000);
    ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(stale)));
    QProcess* next = Launch({QString::fromStdString("-d=" + f.dataA), "0012345"});
    std::string out;
    EXPECT_TRUE(WaitForOutput(next, out, "window: type 3"));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(stale)));
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(SocketOf(next))));
}

TEST(Placeholder, ScreenshotOfAServedRequest)
{
    start_test::EnsureApp();
    PlaceholderWindow w(ProgramKind::Normal, DataSetCode::Drugs);
    w.show();
    w.ShowServed("|1=0012345|");
    w.ShowServed("|b=/srv/lists/medikace.xml|");
    EXPECT_EQ(w.ServedCount(), 2);
    QDir().mkpath(QStringLiteral(QEVW_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(w.grab().save(QStringLiteral(QEVW_BINARY_DIR "/screenshots/placeholder_served.png")));
}

} // namespace
