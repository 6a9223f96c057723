// Handing a start over to a running copy: the wall time of a second start
// that hands its argument to the first and ends, and of one request round
// trip over the first copy's socket.  Needs the built program
// (build/program/qevw, or the path in $QEVW_BIN).

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench_support.h"
#include "datastore/text_table.h"
#include "frame/start/ipc.h"
#include "platform/fs.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"
#include "writers/text_table_writer.h"

namespace {

std::string ProgramPath()
{
    if (const char* p = std::getenv("QEVW_BIN"))
        return p;
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string self(buf, n > 0 ? static_cast<size_t>(n) : 0);
    self = self.substr(0, self.rfind('/')); // build/tools
    return self.substr(0, self.rfind('/')) + "/program/qevw";
}

// A data folder, a private socket folder and configuration, and the first
// copy of the program running on them.
struct Setup {
    QTemporaryDir tmp;
    std::string data, runtime, sockets;
    QProcessEnvironment env;
    std::unique_ptr<QProcess> first;
    std::string firstSocket;

    Setup()
    {
        const std::string root = tmp.path().toStdString();
        data = root + "/data/";
        runtime = root + "/rt";
        QDir().mkpath(QString::fromStdString(data));
        QDir().mkpath(QString::fromStdString(runtime));
        DatLayout kl({{"KOD", 0x96}, {"NAZ", 0x45}, {"FA", 0x7F}, {"FB", 0x7F}, {"FC", 0x0C}});
        std::vector<std::string> recs;
        for (const char* code : {"0012345", "0054321"}) {
            std::string r = kl.BlankRecord();
            kl.PutText(r, "KOD", code);
            recs.push_back(r);
        }
        WriteDatFile(data + "kl.dat", kl, recs, 0x0150);
        WriteSezFile(data + "klkod.sez", recs, SezKeySpec{0, 7, 32, 7});
        std::string table;
        textsrc::Error err;
        textsrc::CompileSource("[Verze]\nCislo=1\n", "kalvo.ini", textsrc::kDefaultStamp, table, err);
        WriteFileAtomic(data + "kalvo.ces", table);

        env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
        env.insert("NODALCFG", QString::fromStdString(root + "/nodal.cfg"));
        sockets = runtime + "/qevw/";

        first = std::make_unique<QProcess>();
        first->setProcessEnvironment(env);
        first->setStandardOutputFile(QProcess::nullDevice());
        first->setStandardErrorFile(QProcess::nullDevice());
        first->start(QString::fromStdString(ProgramPath()), {QString::fromStdString("-d=" + data)});
        first->waitForStarted(5000);
        firstSocket = SocketPathOf(sockets, static_cast<uint32_t>(first->processId()) + 0x10000u);
        for (int i = 0; i < 500 && !QFileInfo::exists(QString::fromStdString(firstSocket)); ++i)
            QThread::msleep(10);
        QThread::msleep(200); // let it finish showing its window
    }

    ~Setup()
    {
        first->kill();
        first->waitForFinished(3000);
    }
};

Setup& TheSetup()
{
    static Setup s;
    return s;
}

void BM_SecondStartHandsOver(benchmark::State& state)
{
    Setup& s = TheSetup();
    int failures = 0;
    for (auto _ : state) {
        QProcess second;
        second.setProcessEnvironment(s.env);
        second.start(QString::fromStdString(ProgramPath()),
                     {QString::fromStdString("-d=" + s.data), "0012345"});
        if (!second.waitForFinished(10000) || second.exitCode() != 0)
            ++failures;
    }
    state.counters["failures"] = failures;
}
BENCHMARK(BM_SecondStartHandsOver)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);

void RoundTrip(benchmark::State& state, const std::string& text)
{
    Setup& s = TheSetup();
    const uint32_t sender = OwnWindowOfProcess();
    int failures = 0;
    for (auto _ : state) {
        uint32_t reply = 0;
        if (SendFrame(s.firstSocket, sender, text, kReplyTimeoutMs, reply) != SendStatus::Ok ||
            !ReplyTaken(reply))
            ++failures;
    }
    state.counters["failures"] = failures;
}

// A request the first copy takes and serves.
void BM_RequestRoundTrip(benchmark::State& state)
{
    RoundTrip(state, "||1=0012345|");
}
BENCHMARK(BM_RequestRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The handshake question, answered without serving anything.
void BM_HandshakeRoundTrip(benchmark::State& state)
{
    RoundTrip(state, "|q=_req|");
}
BENCHMARK(BM_HandshakeRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return bench::RunBenchmarks<QCoreApplication>(argc, argv);
}
