// The update server's list, its parsers, package descriptions and the
// free-space test.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "datastore/kamenici.h"
#include "maintenance/server_list.h"
#include "platform/cp1250.h"
#include "update_test_support.h"

using namespace updatetest;

namespace {

std::vector<std::pair<std::string, int64_t>> Pairs(std::string_view raw)
{
    std::vector<std::pair<std::string, int64_t>> out;
    for (const ServerListEntry& e : ReadServerList(NormaliseServerList(raw)))
        out.emplace_back(e.name, e.size);
    return out;
}

using PairList = std::vector<std::pair<std::string, int64_t>>;

} // namespace

TEST(ServerListText, NormalFormAndReadingRule)
{
    EXPECT_EQ(NormaliseServerList("a,1\r\n\r\nb 2"), "\na,1\nb 2\n");
    EXPECT_EQ(NormaliseServerList(""), "\n");
    EXPECT_EQ(NormaliseServerList("\r\n\t\x01"), "\n");
    const PairList expected = {{"kalvo261.zip", 10}, {"kalvo262a.zip", 20}};
    EXPECT_EQ(Pairs("kalvo261.zip,10\r\nkalvo262a.zip 20\r\n"), expected);
    EXPECT_EQ(Pairs("kalvo261.zip,10\r\nkalvo262a.zip 20"), expected) << "no line end after the last entry";

    // Names become paths: only short plain names count; sizes that are no
    // numbers read 0.
    const std::string hostile = ReadBytes(std::string(QEVW_FIXTURES_DIR) + "/broken/update_list_hostile.txt");
    EXPECT_EQ(Pairs(hostile), (PairList{{"kalvo999.zip", 7},
                                        {"kalvo263b.zip", -5},
                                        {"kalvo263c.zip", 0},
                                        {"kalvo263d.zip", 0},
                                        {"kalvo263g.zip", 8},
                                        {"win26.01.ini", 5},
                                        {"kalvo263i.zip", 14}}));
    for (const auto& [name, size] :
         Pairs(ReadBytes(std::string(QEVW_FIXTURES_DIR) + "/broken/update_list_binary.txt")))
        EXPECT_TRUE(IsListName(name)) << name;
    // A 64 MiB line and a 40-character name give nothing.
    std::string longLine = "kalvo263a.zip," + std::string(64 << 20, '9');
    EXPECT_EQ(Pairs(longLine), (PairList{{"kalvo263a.zip", 0}}));
    EXPECT_EQ(Pairs(std::string(36, 'a') + ".zip,5\n"), PairList{});
    EXPECT_TRUE(IsListName(std::string(27, 'a') + ".zip"));
    EXPECT_FALSE(IsListName(std::string(28, 'a') + ".zip"));
    for (const char* bad : {"../x.zip", "a/b.zip", "a..zip", "A.zip", "", "a b.zip", "x\\y.zip"})
        EXPECT_FALSE(IsListName(bad)) << bad;
}

TEST(ServerListText, DescriptionsAndTheirRules)
{
    struct Case {
        std::string text;
        bool matches;
    };
    const Case cases[] = {
        {"EXE=25.01\r\nLAB=Nova\r\n", true},
        {"EXE=24.04|25.01\nLAB=Nova", true},
        {"EXE=25.00\r\nLAB=Nova\r\n", false},
        {"LAB=Nova\r\n", false},
        {"EXE=25.01\r\n", false},
        {"EXE=25.01\r\nLAB=\r\n", false},
        {"EXE=25.01\r\nDAT=KALVO261C|KALVO263\r\nLAB=x\r\n", true},
        {"EXE=25.01\r\nDAT=KALVO261B|KALVO261C\r\nLAB=x\r\n", true},
        {"EXE=25.01\r\nDAT=KALVO261\r\nLAB=x\r\n", false},
        {"EXE=25.01\r\nICO=1234|5678\r\nLAB=x\r\n", true},
        {"EXE=25.01\r\nICO=12345\r\nLAB=x\r\n", false},
        {"EXE=25.01\r\nSGN=0123\r\nLAB=x\r\n", true},
        {"EXE=25.01\r\nSGN=45\r\nLAB=x\r\n", false},
        {"EXE=25.01\r\nLAB=see ICO=9 and DAT=X\r\n", true}, // keys inside a label are no keys
        {"XEXE=25.01\r\nLAB=x\r\n", false},
        {std::string("EXE=25.01\r\nLAB=\x00x\r\n", 20), false},
    };
    for (const Case& c : cases) {
        std::string label;
        EXPECT_EQ(DescriptionMatches(c.text, "win25.01.zip", "KALVO261C", 3, 1234, label), c.matches)
            << c.text;
        EXPECT_EQ(label.empty(), !c.matches) << c.text;
    }
    std::string label;
    ASSERT_TRUE(DescriptionMatches("EXE=25.01\r\nLAB=Nov\xE1 verze", "win25.01.zip", "", 0, 0, label));
    EXPECT_EQ(KamToWin(label), "Nov\xE1 verze") << "held in the data code page";
    EXPECT_FALSE(DescriptionMatches("EXE=25.01\r\nDAT=KALVO261C\r\nLAB=x", "win25.01.zip", "", 0, 0, label))
        << "a program outside a version folder matches no DAT= list";

    std::string v;
    EXPECT_EQ(IniValueAt("A=1\r\nKEY=value\r\n", "KEY=", v), 5);
    EXPECT_EQ(v, "value");
    EXPECT_EQ(IniValueAt("XKEY=1\r\nKEY=2", "KEY=", v), 1);
    EXPECT_EQ(v, "2");
    EXPECT_EQ(IniValueAt("KEY=" + std::string(300, 'x'), "KEY=", v), 254);
    EXPECT_EQ(IniValueAt("KEYS=1", "KEY=", v), -1);
}

TEST(ServerListText, FreeSpaceAndItsMessage)
{
    struct Case {
        int64_t size, download, base;
        bool same;
        int problem;
    };
    const Case cases[] = {
        {100, 100, 1000, false, 1}, {100, 101, 1000, false, 0}, {100, 1000, 199, false, 2},
        {100, 1000, 200, false, 0}, {100, 299, 10000, true, 2}, {100, 300, 10000, true, 0},
        {100, -1, -1, false, 0},    {100, 50, 150, false, 2},   {0, 0, 0, true, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LowSpaceFolder(c.size, c.download, c.base, c.same), c.problem)
            << c.size << " " << c.download << " " << c.base << " " << c.same;
    EXPECT_EQ(LowSpaceText("Little space for  on ", "kalvo263a.zip", "/mnt/"),
              "Little space for kalvo263a on /mnt/");
    EXPECT_EQ(LowSpaceText("No room: ", "kalvo263a.zip", "/"), "No room: /");
}

TEST(ServerListText, HostOfTheInstallation)
{
    const Endpoints saved = ReplaceEndpoints(Endpoints{"prod", "test", "web", "update", "s", "st"});
    struct Case {
        const char* variant;
        uint32_t customer;
        const char* host;
    };
    const Case cases[] = {{"", 0, "prod"},         {"t", 0, "test"},       {"v", 1234, "test"},
                          {"s", 0, "prod"},        {"", 99999999, "test"}, {"l", 99999990, "test"},
                          {"s", 99999999, "prod"}, {"", 12345678, "prod"}};
    for (const Case& c : cases)
        EXPECT_EQ(UpdateHostName(c.variant, c.customer), c.host) << c.variant << " " << c.customer;
    ReplaceEndpoints(saved);
}

class ServerListTest : public UpdateFixture {
protected:
    void SetList(const std::string& raw)
    {
        UpdateShared().SetServerList(NormaliseServerList(raw), "");
        UpdateShared().serverListReady = true;
    }
};

TEST_F(ServerListTest, NewestDataPackage)
{
    struct Case {
        bool anyVersion, strict;
        std::string pattern, best, list;
        bool found;
        std::string chosen;
        int64_t size;
    };
    const std::string part = "kalvo261.zip,10\r\nkalvo262a.zip 20\r\n";
    const Case cases[] = {
        {false, true, "kalvo*.zip", "KALVO_26.1", part, true, "kalvo262a.zip", 20},
        {false, true, "kalvo*.zip", "KALVO_26.1", "kalvo261.zip,10\r\nkalvo262a.zip 20", true,
         "kalvo262a.zip", 20},
        {false, true, "kalvo*.zip", "KALVO_26.2a", part, false, "", 0},
        {false, true, "KALVO*.ZIP", "KALVO_26.1", part + "kalvo263.ini,4\r\nwin25.zip,3\r\n", true,
         "kalvo262a.zip", 20},
        {false, true, "kalvo262a.zip", "KALVO_26.1", part, true, "kalvo262a.zip", 20},
        {false, true, "kalvo261.zip", "KALVO_26.1", part, false, "kalvo261.zip", 0},
        {false, false, "kalvo261.zip", "KALVO_26.1", part, true, "kalvo261.zip", 10},
        {true, true, "kalvo*.zip", "KALVO_26.3", part, true, "kalvo262a.zip", 20},
        {false, true, "kalvo*.zip", "KALVO_26.1", "kalvo262a.zip,0\r\n", true, "kalvo262a.zip", 0},
        {false, true, "kalvo*.zip", "", "kalvo261d.zip,5\r\nkalvo261b.zip,5\r\n", true, "kalvo261d.zip", 5},
        {false, true, "kal", "KALVO_26.1", part, false, "kal", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern + " over " + c.best + (c.anyVersion ? " any" : ""));
        SetList(c.list);
        UpdateShared().SetBestVersionFolder(c.best);
        UpdateShared().SetChosenPackage(c.pattern);
        EXPECT_EQ(ParseUpdateList(c.anyVersion, c.strict), c.found);
        EXPECT_EQ(UpdateShared().ChosenPackage(), c.chosen);
        EXPECT_EQ(UpdateShared().ExpectedPackageSize(), c.size);
    }
    ClearRunLog();
    SetList(part);
    UpdateShared().SetBestVersionFolder("KALVO_26.1");
    UpdateShared().SetChosenPackage("kalvo*.zip");
    ParseUpdateList(false, true);
    EXPECT_EQ(RunLogText(), "zip4upd: dp=kalvo261.zip zn=kalvo*.zip\r\nzipName=kalvo262a.zip\r\n");

    // Not ready yet: nothing.
    UpdateShared().serverListReady = false;
    UpdateShared().SetChosenPackage("kalvo*.zip");
    EXPECT_FALSE(ParseUpdateList(false, true));
}

TEST_F(ServerListTest, TooLittleSpaceRefusesThePackage)
{
    const DiskSpaceProbe saved = SetDiskSpaceProbe(DiskSpaceProbe{
        [this](const std::string& f) -> int64_t { return f == base ? 1500 : 5000; },
        [this](const std::string& f) { return f == base ? std::string("/base/") : std::string("/tmp/"); }});
    SetList("kalvo263a.zip,1000\r\n");
    UpdateShared().SetChosenPackage("kalvo*.zip");
    EXPECT_FALSE(ParseUpdateList(false, true));
    EXPECT_EQ(UpdateShared().ChosenPackage(), "");
    const std::string message = LowSpaceText(Ui("Inst", "loSp"), "kalvo263a.zip", "/base/");
    EXPECT_EQ(UpdateStatusText().Get(), message);
    EXPECT_EQ(UpdateShared().PendingServerMessage(), message);
    EXPECT_NE(message.find("kalvo263a "), std::string::npos) << message;

    SetDiskSpaceProbe(DiskSpaceProbe{[](const std::string&) -> int64_t { return -1; }, {}});
    UpdateShared().SetChosenPackage("kalvo*.zip");
    EXPECT_TRUE(ParseUpdateList(false, true)) << "unknown free space is enough";
    SetDiskSpaceProbe(saved);
}

TEST_F(ServerListTest, FetchingTheList)
{
    server.SetBody("/files/list.txt", "kalvo263a.zip,5\r\n");
    updates::LoadServerList();
    EXPECT_TRUE(UpdateShared().serverListReady);
    EXPECT_TRUE(UpdateShared().serverListFetchStarted);
    EXPECT_EQ(UpdateShared().ServerListText(), "\nkalvo263a.zip,5\n");
    EXPECT_EQ(UpdateShared().ServerListError(), "");
    EXPECT_EQ(Targets(), (std::vector<std::string>{"/files/list.txt"}));

    server.SetError("/files/list.txt", 404);
    updates::LoadServerList();
    EXPECT_TRUE(UpdateShared().serverListReady);
    EXPECT_EQ(UpdateShared().ServerListText(), "\n");
    EXPECT_NE(UpdateShared().ServerListError().find("404"), std::string::npos);
    EXPECT_NE(RunLogText().find("GetList: chyba internetu 404"), std::string::npos) << RunLogText();
    EXPECT_EQ(UpdateShared().PendingServerMessage(), UpdateShared().ServerListError());

    // Offline: no request, no flag changes.
    ResetUpdateState();
    online = 0;
    updates::LoadServerList();
    EXPECT_FALSE(UpdateShared().serverListReady);
    EXPECT_FALSE(UpdateShared().serverListFetchStarted);
    EXPECT_EQ(Targets().size(), 2u);

    // The worker: once, and its end awaited.
    online = 2;
    server.SetBody("/files/list.txt", "a.zip,1\r\n");
    StartGetList();
    EXPECT_TRUE(WaitGetList(10000));
    EXPECT_EQ(UpdateShared().ServerListText(), "\na.zip,1\n");
}

TEST_F(ServerListTest, ProgramPackageForThisInstallation)
{
    // The running program is "win25.01.zip" (UI text Uvod.Ver).
    ASSERT_EQ(RunningProgramPackage(), "win25.01.zip");
    server.SetBody("/files/win25.03.ini", "EXE=25.00\r\nLAB=Too new\r\n");
    server.SetBody("/files/win25.02.ini", "EXE=25.01\r\nDAT=KALVO261C\r\nLAB=Nova verze\r\n");
    server.SetBody("/files/win25.04.ini", "EXE=25.01\r\nLAB=Unlisted\r\n");
    SetList("win25.01.zip,7\r\nwin25.02.zip,100\r\nwin25.02.ini,40\r\nwin25.03.zip,100\r\nwin25.03.ini,30\r\n"
            "win25.04.zip,100\r\nwin24.09.zip,100\r\nwin24.09.ini,5\r\nwin26.01.zip,9\r\nwin26.01.ini,9\r\n");
    std::string label;
    EXPECT_TRUE(updates::FindProgramPackage(0, 0, true, label));
    EXPECT_EQ(label, "Nova verze");
    EXPECT_EQ(UpdateShared().ChosenPackage(), "win25.02.zip");
    EXPECT_EQ(UpdateShared().ExpectedPackageSize(), 100);
    // The newest first; an unlisted description is never fetched; another
    // version line ("win26") is no candidate.
    EXPECT_EQ(Targets(), (std::vector<std::string>{"/files/win25.03.ini", "/files/win25.02.ini"}));
    EXPECT_NE(RunLogText().find("zipOpr=win25.02.zip\r\n"), std::string::npos);

    // Fetched once per run.
    EXPECT_TRUE(updates::FindProgramPackage(0, 0, true, label));
    EXPECT_EQ(Targets().size(), 2u);

    // Declined (UPD=): skipped.
    Config().Update([](ConfigValues& v) { v.DeclinedPackage = "25.02|Nova verze"; });
    EXPECT_FALSE(updates::FindProgramPackage(0, 0, true, label));
    EXPECT_EQ(UpdateShared().ChosenPackage(), "");
    EXPECT_TRUE(updates::FindProgramPackage(0, 0, false, label));

    // The program folder does not fit on the base's file system.
    const DiskSpaceProbe saved = SetDiskSpaceProbe(DiskSpaceProbe{
        [](const std::string&) -> int64_t { return 1000; }, [](const std::string&) { return "/b/"; }});
    EXPECT_FALSE(updates::FindProgramPackage(0, 0, false, label));
    EXPECT_EQ(UpdateShared().ChosenPackage(), "");
    EXPECT_EQ(UpdateStatusText().Get(), LowSpaceText(Ui("Inst", "loSp"), "win25.02.zip", "/b/"));
    SetDiskSpaceProbe(saved);

    FindNewestProgramZip();
    EXPECT_EQ(UpdateShared().ChosenPackage(), "win26.01.zip");
}

TEST_F(ServerListTest, ParsingWhileTheListIsFetched)
{
    // Run under the thread sanitizer: the parser reads what the fetch writes.
    std::string list;
    for (int i = 0; i < 2000; ++i)
        list += "kalvo26" + std::to_string(i) + ".zip," + std::to_string(i) + "\r\n";
    server.SetSlow("/files/list.txt", list, 50);
    std::atomic<bool> done{false};
    std::thread fetch([&done] {
        for (int i = 0; i < 5; ++i) {
            UpdateShared().serverListReady = false;
            updates::LoadServerList();
        }
        done = true;
    });
    int parsed = 0;
    while (!done) {
        UpdateShared().SetChosenPackage("kalvo*.zip");
        parsed += ParseUpdateList(true, false) ? 1 : 0;
    }
    fetch.join();
    UpdateShared().SetChosenPackage("kalvo*.zip");
    EXPECT_TRUE(ParseUpdateList(true, false));
    EXPECT_EQ(UpdateShared().ChosenPackage(), "kalvo26999.zip");
}
