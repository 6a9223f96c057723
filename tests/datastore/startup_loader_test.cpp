// The start-up loader over fake services and fake update hooks: the order
// of its steps, the start query, the update check and its answers, the zlp,
// news and statistics steps, missing hooks, the gate, the stop and a step
// that throws.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/startup_loader.h"
#include "datastore/tagged_record.h"
#include "datastore/zlp_table.h"
#include "platform/fs.h"
#include "platform/shared_text.h"
#include "writers/zlp_writer.h"

namespace {

// One log of every call, services and hooks alike, in order.
struct CallLog {
    std::mutex mutex;
    std::vector<std::string> calls;
    void Add(std::string c)
    {
        std::lock_guard lock(mutex);
        calls.push_back(std::move(c));
    }
    std::vector<std::string> Get()
    {
        std::lock_guard lock(mutex);
        return calls;
    }
    bool Has(const std::string& c)
    {
        for (const auto& x : Get())
            if (x == c)
                return true;
        return false;
    }
};

class FakeServices : public LoaderServices {
public:
    explicit FakeServices(CallLog& log) : log_(log) {}

    LoaderInputs in;
    LoaderSettings settings;
    std::string today = "2026/03/10";
    uint16_t todayCode = 0;
    int dataMonth = 310;
    int answer = LoaderAnswer::Ok;
    std::function<void()> onCodeTables;
    std::function<int()> onAsk;
    SharedText status;

    LoaderInputs Inputs() override { return in; }
    void LoadParagraphLists() override { log_.Add("LoadParagraphLists"); }
    void SetupEdition() override
    {
        log_.Add("SetupEdition");
        SetDataMonth(dataMonth);
    }
    void LoadCodeTables() override
    {
        log_.Add("LoadCodeTables");
        if (onCodeTables)
            onCodeTables();
    }
    uint32_t SendStartQuery(const std::string& q) override
    {
        log_.Add("SendStartQuery " + q + (LoaderGateOpen() ? "" : " (gate closed)"));
        return 0x10000000;
    }
    void DropDownMenu(int tag) override { log_.Add("DropDownMenu " + std::to_string(tag)); }
    int AskOkCancel(const std::string& text) override
    {
        log_.Add("AskOkCancel " + text);
        return onAsk ? onAsk() : answer;
    }
    LoaderSettings ReadSettings() override { return settings; }
    void SaveDeclinedPackage(const std::string& text) override { log_.Add("UPD=" + text); }
    void ClearZlpSettings() override
    {
        log_.Add("ClearZlpSettings");
        settings.zlpDate.clear();
        settings.zlpSize.clear();
    }
    std::string TodayYmd() override { return today; }
    uint16_t TodayCode() override { return todayCode; }
    SharedText& StatusLine() override { return status; }
    std::string UiText(const std::string& s, const std::string& k) override
    {
        return "[" + s + "." + k + "]";
    }
    void StopNetwork() override { log_.Add("StopNetwork"); }

private:
    CallLog& log_;
};

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        root_ = dir_.path().toStdString() + "/";
        MakeFolder(root_ + "KALVO_26.1A/");
        MakeFolder(root_ + "data/");
        SetDataDir(root_ + "data/");
        old_ = SetUpdateServices(AllHooks());
        Reset();
    }
    // A fresh fake, fresh hooks and an empty log, the files kept.
    void Reset()
    {
        log_.calls.clear();
        ClearRunLog();
        ForgetZlpTable();
        SetUpdateServices(AllHooks());
        fake_ = std::make_shared<FakeServices>(log_);
        auto& in = fake_->in;
        in.programType = 3;
        in.dataSet = DataSetCode::Drugs;
        in.dataDir = root_ + "data/";
        in.installRoot = root_;
        in.programFolder = root_ + "KALVO_26.1A/";
        in.stationName = "PC7";
        // Data of month 310; today is far enough on for every dated step.
        fake_->todayCode = static_cast<uint16_t>(310 * 32 + 60);
        fake_->settings.autoUpdate = 1;
        fake_->settings.nextCheckDate = "2026/03/01";
        fake_->settings.newsOption = '3';
        fake_->settings.newsDate = "2026/03/01";
        fake_->settings.zlpDate = "2026/03/01";
        std::string record;
        PutTaggedField(record, 8, std::string("\x2A\x00\x00\x00", 4));
        UpdateShared().SetInstallationRecord(record);
        UpdateShared().SetInstallationList("");
        UpdateShared().SetChosenPackage("");
        UpdateShared().SetPendingServerMessage("");
        UpdateShared().serverListReady = false;
    }
    void TearDown() override
    {
        SetUpdateServices(old_);
        SetDataDir("");
        SetDataMonth(0);
        ForgetZlpTable();
        UpdateShared().SetInstallationRecord("");
        UpdateShared().SetChosenPackage("");
    }

    static void MakeFolder(const std::string& f) { ASSERT_TRUE(QDir().mkpath(QString::fromStdString(f))); }

    // Every hook, logging its call; the answers below.
    UpdateServices AllHooks()
    {
        UpdateServices h;
        h.isOnline = [this] {
            log_.Add("IsOnline");
            return online_;
        };
        h.fetchNewXml = [this] { log_.Add("FetchNewXml"); };
        h.loadServerList = [this] { log_.Add("LoadServerList"); };
        h.findProgramPackage = [this](int mode, uint32_t inst, int one, std::string& text) {
            log_.Add("FindProgramPackage " + std::to_string(mode) + " " + std::to_string(inst) + " " +
                     std::to_string(one));
            text = package_;
            // The search leaves the program package it chose.
            if (!package_.empty())
                UpdateShared().SetChosenPackage("win26123.zip", 100);
            return !package_.empty();
        };
        h.prepareDataUpdate = [this] {
            log_.Add("PrepareDataUpdate");
            if (prepare_)
                UpdateShared().SetChosenPackage("kalvo263a.zip", 100);
            return prepare_;
        };
        h.runDataUpdate = [this](std::string& m) {
            log_.Add("RunDataUpdate");
            m = updateMessage_;
        };
        h.updateZlpPackage = [this] { log_.Add("UpdateZlpPackage"); };
        h.newsCachePath = [this](std::string& p) {
            log_.Add("NewsCachePath");
            p = newsPath_;
        };
        h.fetchNews = [this] { log_.Add("FetchNews"); };
        h.statShouldSend = [this](const std::string& f) {
            log_.Add("StatShouldSend " + f);
            return true;
        };
        h.statSend = [this](const std::string& f, const std::string& l) { log_.Add("StatSend " + l); };
        h.statShouldSendProducts = [this](const std::string&) {
            log_.Add("StatShouldSendProducts");
            return true;
        };
        h.statSendProducts = [this](const std::string&, const std::string& l) {
            log_.Add("StatSendProducts " + l);
        };
        h.serverVariant = [] { return std::string("t"); };
        return h;
    }

    std::vector<std::string> Run()
    {
        TPomalyStart loader(fake_);
        EXPECT_TRUE(loader.WaitEnd(5000));
        EXPECT_TRUE(LoaderGateOpen());
        return log_.Get();
    }

    // The calls from `first` on, up to the end.
    std::vector<std::string> From(const std::vector<std::string>& calls, const std::string& first)
    {
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i] == first)
                return {calls.begin() + static_cast<long>(i), calls.end()};
        return {};
    }

    QTemporaryDir dir_;
    std::string root_;
    CallLog log_;
    std::shared_ptr<FakeServices> fake_;
    UpdateServices old_;
    int32_t online_ = 2;
    std::string package_;
    bool prepare_ = false;
    std::string updateMessage_;
    std::string newsPath_ = "/nonexistent/KALVO.rss";
};

using Calls = std::vector<std::string>;

TEST_F(LoaderTest, OfflineRunsTheFirstStepsOnly)
{
    online_ = 0;
    EXPECT_EQ(Run(),
              (Calls{"LoadParagraphLists", "SetupEdition", "LoadCodeTables", "DropDownMenu 2", "IsOnline"}));
    EXPECT_EQ(RunLogText(), "");
    EXPECT_EQ(fake_->status.Get(), "");

    // Set offline: not even asked.
    log_.calls.clear();
    online_ = 2;
    fake_->settings.connectionFlags = 0x80;
    EXPECT_EQ(Run().back(), "DropDownMenu 2");
}

TEST_F(LoaderTest, StartQuery)
{
    online_ = 0;
    struct Case {
        uint8_t type, dataSet;
        std::string options, positionals;
        int count;
        std::string expected; // the call after step 1 ("" : none)
    };
    const Case cases[] = {
        {3, 1, "|", "|1=0012345|", 1, "SendStartQuery |q=____||1=0012345|"},
        {3, 7, "|all|", "|1=0012345|", 1, "SendStartQuery |all|q=____||1=0012345|"},
        {3, 2, "|pfa|", "|1=x|", 1, "SendStartQuery |pfa|q=____||1=x|"},
        {3, 4, "|pzt|b=list.txt|", "|", 0, "SendStartQuery |pzt|b=list.txt|q=____||"},
        {3, 4, "|pzt|", "|", 0, "DropDownMenu 3"},
        {3, 2, "|pfa|", "|", 0, "DropDownMenu 2"},
        {5, 1, "|q=dupl|", "|1=0012345,0054321|", 1, "SendStartQuery |q=dupl||1=0012345,0054321|"},
        {5, 1, "|q=dupl|", "|", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        log_.calls.clear();
        fake_->in.programType = c.type;
        fake_->in.dataSet = static_cast<DataSetCode>(c.dataSet);
        fake_->in.options = c.options;
        fake_->in.positionals = c.positionals;
        fake_->in.positionalCount = c.count;
        const Calls calls = Run();
        const Calls step1 = c.type == 3 ? Calls{"LoadParagraphLists", "SetupEdition", "LoadCodeTables"}
                                        : Calls{"SetupEdition"};
        ASSERT_GE(calls.size(), step1.size() + 1);
        EXPECT_EQ(Calls(calls.begin(), calls.begin() + static_cast<long>(step1.size())), step1);
        EXPECT_EQ(calls[step1.size()], c.expected.empty() ? "IsOnline" : c.expected);
    }
}

TEST_F(LoaderTest, FullOnlineRun)
{
    std::string zlp = BuildZlpFile({0, 0, "C", {{5, {0}}}});
    zlp.resize(300, '\0');
    ASSERT_EQ(WriteFileAtomic(root_ + "data/zlp.dat", zlp), 0);
    const Calls calls = Run();
    EXPECT_EQ(
        From(calls, "IsOnline"),
        (Calls{"IsOnline", "FetchNewXml", "LoadServerList", "FindProgramPackage 0 42 1", "PrepareDataUpdate",
               "UpdateZlpPackage", "NewsCachePath", "FetchNews", "StatShouldSend " + root_ + "KALVO_26.1A/",
               "StatSend t", "StatShouldSendProducts", "StatSendProducts t"}));
    EXPECT_EQ(RunLogText(), "2026/03/10 2026/03/01\r\n");
    EXPECT_EQ(ZlpLetters(), "C") << "step 5 loaded the zlp table";
}

TEST_F(LoaderTest, UpdateAnswers)
{
    package_ = "KV_26201.zip";
    struct Case {
        int answer;
        std::string message;
        Calls tail;         // from AskOkCancel on
        std::string status; // the status line at the end
        std::string log;
    };
    const std::string ask = "AskOkCancel [vKey.qInstExe]KV_26201.zip";
    const Case cases[] = {
        {LoaderAnswer::Ok,
         "",
         {ask, "RunDataUpdate"},
         "[Inst.staU]",
         "update Start\r\nupdate SuccKV_26201.zip\r\n"},
        {LoaderAnswer::Ok,
         "Chyba stahovani",
         {ask, "RunDataUpdate"},
         "Chyba stahovani",
         "update Start\r\nChyba stahovani\r\n"},
        // Cancel declines this package (characters 4-8 of the program package)
        // and skips the data-update notice.
        {LoaderAnswer::Cancel,
         "",
         {ask, "UPD=26123|KV_26201.zip", "ClearZlpSettings", "UpdateZlpPackage"},
         "[Inst.stUp]KV_26201.zip",
         "EndUp/ KV_26201.zip\r\n"},
        // Released by the stop: nothing recorded, the loader ends.
        {LoaderAnswer::Released, "", {ask}, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        log_.calls.clear();
        ClearRunLog();
        fake_->status.Set("");
        fake_->answer = c.answer;
        updateMessage_ = c.message;
        fake_->settings.newsOption = '0';
        Calls tail = From(Run(), ask);
        tail.resize(std::min(tail.size(), c.tail.size()));
        EXPECT_EQ(tail, c.tail);
        EXPECT_EQ(fake_->status.Get(), c.status);
        EXPECT_EQ(RunLogText(), c.log);
        if (c.answer != LoaderAnswer::Cancel)
            EXPECT_FALSE(log_.Has("UpdateZlpPackage")) << "the loader ended";
    }
}

TEST_F(LoaderTest, NoticeAndPendingServerMessage)
{
    package_ = "";
    prepare_ = true;
    fake_->settings.newsOption = '0';
    Run();
    EXPECT_EQ(fake_->status.Get(), "[vKey.iNewAct]  KALVO - 2026.3a");
    // A package that this station may not take: no question; the text and a
    // pending server message still reach the status line.
    log_.calls.clear();
    package_ = "KV_26201.zip";
    prepare_ = false;
    UpdateShared().SetPendingServerMessage("Server: maintenance");
    std::string record;
    PutTaggedField(record, 8, std::string("\x2A\x00\x00\x00", 4));
    PutTaggedField(record, 1, std::string("\x00\x00\x01\x00", 4)); // mode 1
    UpdateShared().SetInstallationRecord(record);
    Run();
    EXPECT_FALSE(log_.Has("AskOkCancel [vKey.qInstExe]KV_26201.zip"));
    EXPECT_TRUE(log_.Has("FindProgramPackage 1 42 1"));
    EXPECT_EQ(fake_->status.Get(), "Server: maintenance");
    EXPECT_NE(RunLogText().find("EndUp/ KV_26201.zip\r\n"), std::string::npos);
}

TEST_F(LoaderTest, NoUpdateFileAndStationLists)
{
    package_ = "KV_26201.zip";
    fake_->settings.newsOption = '0';
    fake_->answer = LoaderAnswer::Cancel;
    ASSERT_EQ(WriteFileAtomic(root_ + "noUpdate.txt", ""), 0);
    struct Case {
        std::string list;
        bool asked;
    };
    const Case cases[] = {
        {"", false},
        {"?admin=PC1|PC2\r\n?downldr=PC9\r\n", false},
        {"?admin=PC1|PC7\r\n", true},
        {"?admin=PC1\r\n?downldr=PC7|PC8\r\n", true},
        {"?admin=PC77\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        log_.calls.clear();
        UpdateShared().SetInstallationList(c.list);
        Run();
        EXPECT_EQ(log_.Has("AskOkCancel [vKey.qInstExe]KV_26201.zip"), c.asked);
        EXPECT_EQ(log_.Has("PrepareDataUpdate"), !c.asked) << "not asked: on to the notice";
    }
}

TEST_F(LoaderTest, ConditionsOfTheUpdateCheck)
{
    fake_->settings.newsOption = '0';
    struct Case {
        const char* what;
        std::function<void(FakeServices&)> change;
    };
    const Case cases[] = {
        {"VDATE= today", [](FakeServices& f) { f.settings.nextCheckDate = "2026/03/10"; }},
        {"VBASE= bit 0 clear", [](FakeServices& f) { f.settings.autoUpdate = 14; }},
        {"no InstallRoot", [](FakeServices& f) { f.in.installRoot.clear(); }},
        {"program folder deeper", [](FakeServices& f) { f.in.programFolder += "sub/"; }},
        {"program folder elsewhere", [](FakeServices& f) { f.in.programFolder = "/opt/other/"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        fake_->settings.newsOption = '0';
        c.change(*fake_);
        Run();
        EXPECT_FALSE(log_.Has("LoadServerList"));
        EXPECT_FALSE(log_.Has("FindProgramPackage 0 42 1"));
        EXPECT_TRUE(log_.Has("StatSend t")) << "the rest of the run goes on";
    }
    // The server list loads only when it is not there yet.
    Reset();
    UpdateShared().serverListReady = true;
    Run();
    EXPECT_FALSE(log_.Has("LoadServerList"));
    EXPECT_TRUE(log_.Has("FindProgramPackage 0 42 1"));
    UpdateShared().serverListReady = false;
}

TEST_F(LoaderTest, ZlpNewsAndStatistics)
{
    // No zlp file: ZLDATE= and ZLSIZE= are cleared, the package is fetched.
    fake_->settings.zlpSize = "1234";
    fake_->settings.zlpDate = "2027/01/01";
    Run();
    EXPECT_TRUE(log_.Has("ClearZlpSettings"));
    EXPECT_TRUE(log_.Has("UpdateZlpPackage"));

    // BASE= "0": no news, statistics still run.
    Reset();
    fake_->settings.newsOption = '0';
    Run();
    EXPECT_FALSE(log_.Has("NewsCachePath"));
    EXPECT_TRUE(log_.Has("StatSendProducts t"));

    // News on, but no cache path: the run ends before the statistics.
    Reset();
    newsPath_.clear();
    Run();
    EXPECT_TRUE(log_.Has("NewsCachePath"));
    EXPECT_FALSE(log_.Has("FetchNews"));
    EXPECT_FALSE(log_.Has("StatShouldSend " + root_ + "KALVO_26.1A/"));

    // A cached feed not older than BDATE= is kept.
    Reset();
    newsPath_ = root_ + "KALVO.rss";
    ASSERT_EQ(WriteFileAtomic(newsPath_, "<rss/>"), 0);
    fake_->settings.newsDate = "2026/03/10";
    Run();
    EXPECT_FALSE(log_.Has("FetchNews"));

    // Type 5 (duplicity): no zlp, news or statistics.
    Reset();
    fake_->in.programType = 5;
    Run();
    EXPECT_FALSE(log_.Has("UpdateZlpPackage"));
    EXPECT_FALSE(log_.Has("NewsCachePath"));
    EXPECT_TRUE(log_.Has("FindProgramPackage 0 42 1"));
}

TEST_F(LoaderTest, MissingHooksLogALineEach)
{
    UpdateServices only;
    only.isOnline = [] { return 2; };
    SetUpdateServices(only);
    fake_->settings.newsOption = '0';
    const Calls calls = Run();
    for (const char* name : {"FetchNewXml", "LoadServerList", "FindProgramPackage", "PrepareDataUpdate",
                             "UpdateZlpPackage", "ServerVariant", "StatShouldSend", "StatShouldSendProducts"})
        EXPECT_NE(RunLogText().find(std::string("Loader: no ") + name + "\r\n"), std::string::npos) << name;
    EXPECT_EQ(RunLogText().find("Loader: no StatSend\r\n"), std::string::npos)
        << "StatSend is not due without StatShouldSend";

    ClearRunLog();
    SetUpdateServices({});
    Run();
    EXPECT_EQ(RunLogText(), "Loader: no IsOnline\r\n") << "without IsOnline the run is offline";
}

TEST_F(LoaderTest, GateOpensAfterStepOne)
{
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    fake_->in.positionals = "|1=0012345|";
    fake_->in.positionalCount = 1;
    online_ = 0;
    fake_->onCodeTables = [&] {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return release; });
    };
    TPomalyStart loader(fake_);
    EXPECT_FALSE(LoaderGateOpen()) << "closed while the code tables load";
    {
        std::lock_guard lock(m);
        release = true;
    }
    cv.notify_all();
    WaitLoaderGate();
    ASSERT_TRUE(loader.WaitEnd(5000));
    EXPECT_TRUE(log_.Has("SendStartQuery |q=____||1=0012345|")) << "sent with the gate open";
}

TEST_F(LoaderTest, StopDuringTheQuestion)
{
    package_ = "KV_26201.zip";
    std::mutex m;
    std::condition_variable cv;
    bool asked = false, stopped = false;
    fake_->onAsk = [&] {
        std::unique_lock lock(m);
        asked = true;
        cv.notify_all();
        cv.wait(lock, [&] { return stopped; });
        return LoaderAnswer::Released;
    };
    TPomalyStart loader(fake_);
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return asked; });
    }
    loader.RequestStop();
    {
        std::lock_guard lock(m);
        stopped = true;
    }
    cv.notify_all();
    ASSERT_TRUE(loader.WaitEnd(2000));
    EXPECT_TRUE(log_.Has("StopNetwork"));
    for (const auto& c : log_.Get())
        EXPECT_NE(c.rfind("UPD=", 0), 0u) << "no UPD= for a released question";
    EXPECT_FALSE(log_.Has("PrepareDataUpdate"));
}

TEST_F(LoaderTest, AStepThatThrowsEndsTheLoader)
{
    fake_->onCodeTables = [] { throw std::runtime_error("table broken"); };
    const Calls calls = Run();
    EXPECT_EQ(calls.back(), "LoadCodeTables");
    EXPECT_EQ(RunLogText(), "Loader failed: table broken\r\n");
}

TEST_F(LoaderTest, ProgramLoaderHandle)
{
    online_ = 0;
    StartPomalyStart(fake_);
    EXPECT_TRUE(WaitPomalyStartEnd(5000));
    EXPECT_FALSE(PomalyStartRunning());
    EXPECT_TRUE(WaitPomalyStartEnd(0)) << "without a loader: ended";
    RequestPomalyStartStop(); // nothing to stop
}

} // namespace
