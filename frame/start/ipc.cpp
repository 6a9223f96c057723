#include "frame/start/ipc.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>

#include "datastore/db_table.h"
#include "datastore/run_log.h"
#include "frame/report_hook.h"
#include "platform/coding.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/gui/shell.h"
#include "platform/main_thread_call.h"
#include "platform/system.h"

namespace {

constexpr const char* kSocketPrefix = "TMainForm.";

StoredQueryHandler& QueryHandler()
{
    static StoredQueryHandler h;
    return h;
}

std::function<void()>& FrontHandler()
{
    static std::function<void()> h;
    return h;
}

std::mutex& FolderMutex()
{
    static std::mutex m;
    return m;
}

// Guarded by FolderMutex.
std::string& FolderOverride()
{
    static std::string f;
    return f;
}

std::atomic<int> g_replyTimeoutMs{kReplyTimeoutMs};

std::string Hex8(uint32_t v)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string s(8, '0');
    for (int i = 7; i >= 0; --i, v >>= 4)
        s[static_cast<size_t>(i)] = digits[v & 15];
    return s;
}

void PutU32(QByteArray& out, uint32_t v)
{
    char le[4];
    EncodeLE32(le, v);
    out.append(le, 4);
}

uint32_t GetU32(const QByteArray& in, int at)
{
    return DecodeLE32(in.constData() + at);
}

void Log(const std::string& line)
{
    AppendRunLog(line + "\r\n");
}

// A request as the run log shows it.  Requests are short option lists; a long
// one keeps its head and says how long it was, so that no sender fills the
// log with one frame.
std::string LoggedRequest(const std::string& text)
{
    if (text.size() <= kLoggedRequestMax)
        return text;
    return text.substr(0, kLoggedRequestMax) + "... (" + std::to_string(text.size()) + " bytes)";
}

// The window of the process at the other end of a connected socket.
uint32_t PeerWindow(QLocalSocket* socket)
{
    const uint32_t pid = SocketPeerProcessId(socket->socketDescriptor());
    return pid == 0 ? 0 : pid + 0x10000u;
}

// The listening side: one server, any number of short connections, each
// carrying one frame and getting one reply.
class IpcServer {
public:
    bool Listen(const QString& path)
    {
        QLocalServer::removeServer(path);
        server_ = std::make_unique<QLocalServer>();
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        if (!server_->listen(path)) {
            Log("IPC: cannot listen on " + path.toStdString() + ": " + server_->errorString().toStdString());
            server_.reset();
            return false;
        }
        path_ = path;
        QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] { Accept(); });
        return true;
    }

    ~IpcServer()
    {
        if (server_) {
            server_->close();
            QFile::remove(path_);
        }
    }

private:
    void Accept()
    {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            auto timer = new QTimer(s);
            timer->setSingleShot(true);
            QObject::connect(timer, &QTimer::timeout, s, [s] { s->abort(); });
            QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            QObject::connect(s, &QLocalSocket::readyRead, s, [s, buffer, timer] {
                buffer->append(s->readAll());
                if (buffer->size() < 8)
                    return;
                const uint32_t length = GetU32(*buffer, 4);
                if (length == 0 || length > kMaxFrameBytes - 8) {
                    s->abort(); // dropped unanswered
                    return;
                }
                if (static_cast<uint32_t>(buffer->size()) < 8 + length)
                    return;
                timer->stop();
                CopyDataMessage m;
                const uint32_t claimed = GetU32(*buffer, 0);
                // A sender field that is not the peer's own window is not
                // believed: "_hlt" must come from the real caller.
                m.sender = claimed == PeerWindow(s) ? claimed : 0;
                const QByteArray body = buffer->mid(8, static_cast<int>(length));
                const int nul = body.indexOf('\0');
                m.text.assign(body.constData(), static_cast<size_t>(nul < 0 ? body.size() : nul));
                buffer->clear();
                const ReceiveOutcome out = ReceiveQuery(m);
                QByteArray reply;
                PutU32(reply, out.reply);
                s->write(reply);
                s->flush();
                s->disconnectFromServer();
                if (out.halt)
                    QMetaObject::invokeMethod(
                        QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
            });
            timer->start(ReplyTimeoutMs());
        }
    }

    std::unique_ptr<QLocalServer> server_;
    QString path_;
};

std::unique_ptr<IpcServer>& Server()
{
    static std::unique_ptr<IpcServer> s;
    return s;
}

QByteArray BuildFrame(uint32_t sender, const std::string& text)
{
    QByteArray frame;
    PutU32(frame, sender);
    PutU32(frame, static_cast<uint32_t>(text.size() + 1));
    frame.append(text.data(), static_cast<qsizetype>(text.size()));
    frame.append('\0');
    return frame;
}

SendStatus StatusOfError(QLocalSocket::LocalSocketError e)
{
    switch (e) {
    case QLocalSocket::ConnectionRefusedError: return SendStatus::Refused;
    case QLocalSocket::ServerNotFoundError: return SendStatus::NotFound;
    case QLocalSocket::SocketTimeoutError: return SendStatus::TimedOut;
    default: return SendStatus::Failed;
    }
}

// Notes when the main thread's event loop ends, so that a worker waiting
// for it gives up instead of waiting forever.
void WatchShutdown()
{
    static std::mutex m;
    static QPointer<QCoreApplication> watched;
    std::lock_guard lock(m);
    QCoreApplication* app = QCoreApplication::instance();
    if (app && watched != app) {
        watched = app;
        QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] { ReleaseMainThreadCalls(); });
    }
}

void ServeStoredQuery()
{
    const std::string query = Ipc().StoredQuery;
    if (auto& h = QueryHandler())
        h(query);
}

} // namespace

int ReplyTimeoutMs()
{
    return g_replyTimeoutMs.load();
}
void SetReplyTimeoutMs(int ms)
{
    g_replyTimeoutMs = ms > 0 ? ms : kReplyTimeoutMs;
}

IpcState& Ipc()
{
    static IpcState state;
    return state;
}

uint32_t OwnWindowOfProcess()
{
    return ProcessId() + 0x10000u;
}

uint32_t HandleHash(uint32_t h)
{
    const uint32_t v = ((h >> 16) ^ (h >> 8) ^ h ^ (h << 8)) & 0xFF00u;
    return v == 0 ? 1 : v;
}

void InitCalls(const std::string& options)
{
    IpcState& s = Ipc();
    s.InstanceState = kStateNoCaller;
    s.OwnWindow = OwnWindowOfProcess();
    if (s.OwnExeName.empty())
        s.OwnExeName = ProgramStart().OwnExecutable;
    s.InstanceGroup = 15;
    s.InstanceTag = 0;
    s.CallerWindow = 0;
    s.PrivilegedSender = 0;
    bool withCaller = false;
    const int64_t h = GetOptionNumber("y", options);
    if (h >= 32 && h <= 0xFFFFFFFFll) {
        s.CallerWindow = static_cast<uint32_t>(h);
        withCaller = true;
        const uint32_t r = SendCopyData("|q=_req|", s.CallerWindow);
        if (static_cast<int32_t>(r) > 0) {
            s.InstanceGroup = r & 0xFF;
            s.InstanceTag = r & 0xFF00;
            if (((r >> 16) & 0xFF) == 1)
                s.PrivilegedSender = s.CallerWindow;
        }
    }
    if (!withCaller)
        s.InstanceTag = HandleHash(s.OwnWindow);
    s.InstanceState = withCaller ? kStateWithCaller : kStateNoCaller;
}

void SplitQuery(std::string_view text, std::string& query, std::string& rest)
{
    const size_t p = text.find("||");
    if (p == std::string_view::npos) {
        query.assign(text);
        rest.clear();
        return;
    }
    query.assign(text.substr(0, p + 1));
    rest.assign(text.substr(p + 1));
}

uint32_t CheckQuerySender(const CopyDataMessage& message, std::string& query, std::string& rest,
                          uint32_t& result)
{
    IpcState& s = Ipc();
    if (s.LaunchReplySlot) {
        *s.LaunchReplySlot = message.sender;
        s.LaunchReplySlot = nullptr;
    }
    SplitQuery(message.text, query, rest);
    result = s.InstanceState | s.InstanceGroup | s.InstanceTag;
    if (GetOption("q", query) == "_req")
        return QueryVerdict::Taken;
    const int64_t y = GetOptionNumber("y", query);
    const uint64_t groupTag = s.InstanceGroup | s.InstanceTag;
    if (y > 255 && static_cast<uint64_t>(y) != groupTag)
        return QueryVerdict::TagMismatch;
    if (y >= 1 && y <= 255 && static_cast<uint64_t>(y) != s.InstanceGroup)
        return QueryVerdict::GroupMismatch;
    return 0;
}

ReceiveOutcome ReceiveQuery(const CopyDataMessage& message)
{
    IpcState& s = Ipc();
    ReceiveOutcome out;
    std::string query, rest;
    uint32_t result = 0;
    const uint32_t v = CheckQuerySender(message, query, rest, result);
    Log(LoggedRequest(query + rest) + "-" + Hex8(v));
    if (v != 0) {
        out.reply = result | v;
        return out;
    }
    const std::string q = GetOption("q", query);
    if (q == "_hlt" && message.sender != 0 &&
        (message.sender == s.CallerWindow || message.sender == s.PrivilegedSender)) {
        out.reply = result;
        out.halt = true;
        return out;
    }
    const uint8_t t = QueryTypeCode(q);
    const DataSetCode d = t == ProgramKind::Normal ? DataSetOfOptions(query) : DataSetCode::Drugs;
    if (t == PublishedProgramType() && d == PublishedDataSet()) {
        if (t != ProgramKind::Installer) {
            if (auto& front = FrontHandler())
                front();
        }
        PostSelfQuery(s.OwnWindow);
        s.StoredQuery = HasOption("b", query) ? "|b=" + GetOption("b", query) + "|" : rest;
        out.reply = result | QueryVerdict::Taken;
    } else {
        out.reply = result | QueryVerdict::OtherKind;
    }
    return out;
}

void ReleaseHandOffs()
{
    ReleaseMainThreadCalls();
}
void ResumeHandOffs()
{
    ResumeMainThreadCalls();
}

void SetStoredQueryHandler(StoredQueryHandler handler)
{
    QueryHandler() = std::move(handler);
}

void SetBringToFrontHandler(std::function<void()> handler)
{
    FrontHandler() = std::move(handler);
}

void PostSelfQuery(uint32_t window)
{
    if (window != Ipc().OwnWindow)
        return;
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { ServeStoredQuery(); }, Qt::QueuedConnection);
}

uint32_t SendCopyData(const std::string& text, uint32_t window)
{
    IpcState& s = Ipc();
    if (window != 0 && window == s.OwnWindow) {
        CopyDataMessage m{s.OwnWindow, text};
        if (OnMainThread())
            return ReceiveQuery(m).reply;
        WatchShutdown();
        if (QCoreApplication::closingDown())
            return 0;
        // Handled on the main thread while this thread waits; the shut-down
        // releases the wait with 0.
        return static_cast<uint32_t>(
            CallOnMainThread([m] { return static_cast<int>(ReceiveQuery(m).reply); }));
    }
    const std::string folder = CurrentSocketFolder();
    if (folder.empty() || window == 0)
        return 0;
    uint32_t reply = 0;
    SendFrame(SocketPathOf(folder, window), s.OwnWindow, text, ReplyTimeoutMs(), reply);
    return reply;
}

uint32_t OfferQuery(const std::string& query, bool withTag)
{
    IpcState& s = Ipc();
    const std::string folder = CurrentSocketFolder();
    if (folder.empty())
        return 0;
    const uint32_t code = withTag ? (s.InstanceGroup | s.InstanceTag) : s.InstanceGroup;
    const std::string text = "|y=" + std::to_string(code) + query;
    for (const std::string& path : PeerSockets(folder, s.OwnWindow)) {
        uint32_t reply = 0;
        const SendStatus st = SendFrame(path, s.OwnWindow, text, ReplyTimeoutMs(), reply);
        if (st == SendStatus::Refused) {
            // Left behind by a copy that died: nobody listens there any more.
            QFile::remove(QString::fromStdString(path));
            Log("IPC: removed stale socket " + path);
            continue;
        }
        if (st == SendStatus::TimedOut)
            Log("IPC: no answer from " + path);
        if (st == SendStatus::Ok && ReplyTaken(reply))
            return reply;
    }
    return 0;
}

int ShellOpen(const std::string& file, const std::vector<std::string>& arguments, bool)
{
    QStringList args;
    for (const std::string& a : arguments)
        args << QString::fromStdString(a);
    return ShellOpenTarget(QString::fromStdString(file), args);
}

int LaunchWithHandshake(const std::string& program, const std::vector<std::string>& arguments,
                        uint32_t* replySlot, bool noActivate)
{
    IpcState& s = Ipc();
    std::vector<std::string> args;
    args.push_back("/y=" + std::to_string(s.OwnWindow));
    args.insert(args.end(), arguments.begin(), arguments.end());
    const int r = ShellOpen(program.empty() ? s.OwnExeName : program, args, noActivate);
    if (r > 32)
        s.LaunchReplySlot = replySlot;
    return r;
}

bool ShouldOffer(uint8_t programType, std::string_view options, int positionalCount, uint8_t newWindowOption)
{
    switch (programType) {
    case ProgramKind::Normal:
    case ProgramKind::Duplicity:
        if (HasOption("nw", options))
            return false;
        if (newWindowOption == 0 && positionalCount == 0)
            return true;
        return newWindowOption < 2 && (positionalCount > 0 || HasOption("b", options));
    case ProgramKind::Calc: return false;
    default: return true;
    }
}

std::string StartRequestText(uint8_t programType, std::string_view options, std::string_view positionals)
{
    const std::string pos(positionals);
    const std::string b = HasOption("b", options) ? "b=" + GetOption("b", options) + "|" : "";
    switch (programType) {
    case ProgramKind::Installer: return "|q=inst|";
    case ProgramKind::Help: return "|q=help|" + pos;
    case ProgramKind::Diagnoses: return "|q=mkn|" + pos;
    case ProgramKind::Duplicity: return "|q=dupl|" + b + pos;
    case ProgramKind::Diagnoses2: return "|q=mkno|" + pos;
    case ProgramKind::Help2: return "|q=dopl|" + pos;
    case ProgramKind::Calc: return {};
    default: return DataSetTag(DataSetOfOptions(options)) + b + pos;
    }
}

uint32_t InstanceGroupOfDataDir(const std::string& dataDir)
{
    return (ReadDatStamp(dataDir + "kl") >> 4) & 0xFF;
}

std::string WithAbsoluteListPath(const std::string& options, const std::string& currentFolder)
{
    if (!HasOption("b", options))
        return options;
    const std::string b = GetOption("b", options);
    const bool path = b.find('/') != std::string::npos || b.find('\\') != std::string::npos;
    if (!path || b[0] == '/' || b[0] == '\\')
        return options;
    const std::string old = "|b=" + b + "|";
    const size_t at = options.find(old);
    if (at == std::string::npos)
        return options;
    std::string out = options;
    out.replace(at, old.size(), "|b=" + WithTrailingSlash(currentFolder) + b + "|");
    return out.size() <= kOptionListMax ? out : options;
}

HandOverResult StartHandOver(const StartValues& start, uint8_t newWindowOption)
{
    HandOverResult r;
    if (Ipc().OwnExeName.empty())
        Ipc().OwnExeName = start.OwnExecutable;
    InitCalls(start.Options);
    Ipc().InstanceGroup = InstanceGroupOfDataDir(DataDir());
    r.dataSet =
        start.ProgramType == ProgramKind::Normal ? DataSetOfOptions(start.Options) : DataSetCode::Drugs;
    // Listen first: while this copy waits for others it answers them, so two
    // copies starting together never wait on each other.
    r.listening = StartIpcServer();
    if (!r.listening)
        return r;
    if (!ShouldOffer(start.ProgramType, start.Options, start.PositionalCount, newWindowOption))
        return r;
    // The copy that serves the request has another working folder.
    const std::string options = WithAbsoluteListPath(start.Options, QStringToCp1250(QDir::currentPath()));
    const std::string request = StartRequestText(start.ProgramType, options, start.Positionals);
    if (request.empty())
        return r;
    r.reply = OfferQuery(request, false);
    r.taken = ReplyTaken(r.reply);
    return r;
}

std::string SocketFolder(const EnvLookup& env, std::string* problem)
{
    const std::string runtime = env("XDG_RUNTIME_DIR");
    std::string folder = !runtime.empty() ? WithTrailingSlash(runtime) + "qevw/"
                                          : "/tmp/qevw-" + std::to_string(UserId()) + "/";
    const std::string bare = folder.substr(0, folder.size() - 1);
    // Another user could plant sockets or read requests in a folder that is
    // not private.
    const int err = MakePrivateFolder(bare);
    if (err != 0) {
        if (problem)
            *problem = bare + (err == NotPrivateFolder ? ": not a folder of mode 0700 owned by this user"
                                                       : ": " + std::string(std::strerror(err)));
        return {};
    }
    return folder;
}

std::string SocketPathOf(const std::string& folder, uint32_t window)
{
    return folder + kSocketPrefix + std::to_string(window);
}

std::vector<std::string> PeerSockets(const std::string& folder, uint32_t ownWindow)
{
    const QString own = QString::fromStdString(kSocketPrefix + std::to_string(ownWindow));
    QDir dir(QString::fromStdString(folder));
    const QFileInfoList entries = dir.entryInfoList({QString::fromLatin1(kSocketPrefix) + "*"},
                                                    QDir::System | QDir::Files, QDir::NoSort);
    std::vector<QFileInfo> found;
    for (const QFileInfo& e : entries) {
        if (e.fileName() == own)
            continue;
        bool ok = false;
        e.fileName().mid(static_cast<qsizetype>(std::strlen(kSocketPrefix))).toUInt(&ok);
        if (ok)
            found.push_back(e);
    }
    std::stable_sort(found.begin(), found.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return a.lastModified() > b.lastModified();
    });
    std::vector<std::string> paths;
    for (const QFileInfo& e : found)
        paths.push_back(e.absoluteFilePath().toStdString());
    return paths;
}

SendStatus SendFrame(const std::string& socketPath, uint32_t sender, const std::string& text, int timeoutMs,
                     uint32_t& reply)
{
    reply = 0;
    const QByteArray frame = BuildFrame(sender, text);
    if (static_cast<size_t>(frame.size()) > kMaxFrameBytes)
        return SendStatus::Failed;
    QLocalSocket socket;
    QByteArray in;
    const QString path = QString::fromStdString(socketPath);

    if (!OnMainThread() || !QCoreApplication::instance()) {
        // No event loop to keep: plain blocking calls.
        QElapsedTimer clock;
        clock.start();
        socket.connectToServer(path);
        if (!socket.waitForConnected(timeoutMs))
            return StatusOfError(socket.error());
        socket.write(frame);
        while (in.size() < 4) {
            const int left = timeoutMs - static_cast<int>(clock.elapsed());
            if (left <= 0 || !socket.waitForReadyRead(left))
                return in.size() < 4 && left <= 0 ? SendStatus::TimedOut : SendStatus::Failed;
            in += socket.readAll();
        }
        reply = GetU32(in, 0);
        return SendStatus::Ok;
    }

    // On the main thread: wait in a local loop that keeps serving this
    // copy's own socket (and timers), but no user input.
    bool done = false;
    bool failed = false;
    QLocalSocket::LocalSocketError error = QLocalSocket::UnknownSocketError;
    QObject::connect(&socket, &QLocalSocket::connected, &socket, [&] { socket.write(frame); });
    QObject::connect(&socket, &QLocalSocket::errorOccurred, &socket, [&](QLocalSocket::LocalSocketError e) {
        if (in.size() >= 4)
            return;
        error = e;
        failed = true;
        done = true;
    });
    QObject::connect(&socket, &QLocalSocket::readyRead, &socket, [&] {
        in += socket.readAll();
        if (in.size() >= 4)
            done = true;
    });
    QObject::connect(&socket, &QLocalSocket::disconnected, &socket, [&] { done = true; });
    // The loop ends on the timer's own event: a coarse timer may fire a
    // little early, and waiting for more events after it would never end.
    bool timedOut = false;
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wake, &QTimer::timeout, &wake, [&] { timedOut = true; });
    wake.start(timeoutMs);
    socket.connectToServer(path);
    while (!done && !timedOut)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
    if (in.size() >= 4) {
        reply = GetU32(in, 0);
        return SendStatus::Ok;
    }
    if (failed)
        return StatusOfError(error);
    return done ? SendStatus::Failed : SendStatus::TimedOut;
}

bool StartIpcServer()
{
    if (Server())
        return true;
    WatchShutdown();
    const std::string folder = CurrentSocketFolder();
    if (folder.empty())
        return false;
    if (Ipc().OwnWindow == 0)
        Ipc().OwnWindow = OwnWindowOfProcess();
    auto server = std::make_unique<IpcServer>();
    if (!server->Listen(QString::fromStdString(SocketPathOf(folder, Ipc().OwnWindow))))
        return false;
    Server() = std::move(server);
    return true;
}

void StopIpcServer()
{
    Server().reset();
}

void SetSocketFolderOverride(std::string folder)
{
    std::lock_guard lock(FolderMutex());
    FolderOverride() = std::move(folder);
}

std::string CurrentSocketFolder()
{
    std::lock_guard lock(FolderMutex());
    if (!FolderOverride().empty())
        return WithTrailingSlash(FolderOverride());
    std::string problem;
    std::string folder = SocketFolder(RealEnvironment, &problem);
    if (folder.empty()) {
        // Once per distinct problem, not once per offer.
        static std::string reported;
        if (reported != problem) {
            Log("IPC: no hand-over: " + problem);
            reported = problem;
        }
    }
    return folder;
}
