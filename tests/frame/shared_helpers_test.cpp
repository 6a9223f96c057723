// The shared helpers: encoders, dates, the text list file, button hints,
// paragraph codes, the data-store error box and the help request.

#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>

#include <map>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/pages/hint_window.h"
#include "frame/start/ipc.h"
#include "frame/windows/message_box.h"
#include "frame/shared_helpers.h"
#include "platform/fs.h"
#include "platform/message_sink.h"
#include "platform/shell.h"
#include "fake_peer.h"
#include "start_fixtures.h"
#include "tests/support/bytes.h"

using start_test::CompileTable;
using start_test::ReadText;
using start_test::WriteText;

namespace {

constexpr auto Codes = test_support::Bytes;

// Installs UI and data texts for one test.
class Texts {
public:
    Texts(const std::string& ui, const std::string& data)
    {
        UiTexts.Set(CompileTable(ui));
        DataTexts.Set(CompileTable(data));
    }
    ~Texts()
    {
        UiTexts.Set(nullptr);
        DataTexts.Set(nullptr);
    }
};

TEST(Encoders, HexAndBase64Url)
{
    EXPECT_EQ(HexOfBytes(Codes({0x01, 0xAB, 0xFF})), "01ABFF");
    std::string out;
    EXPECT_TRUE(BytesOfHex("01abFF", out));
    EXPECT_EQ(out, Codes({0x01, 0xAB, 0xFF}));
    EXPECT_TRUE(BytesOfHex("01a", out));
    EXPECT_EQ(out, Codes({0x01}));
    EXPECT_FALSE(BytesOfHex("0g", out));

    const std::map<std::string, std::string> b64 = {
        {"", ""}, {"a", "YQ"}, {"ab", "YWI"}, {"abc", "YWJj"}, {"abcdef", "YWJjZGVm"},
        {Codes({0xFB, 0xFF}), "-_8"}, {Codes({0xFB, 0xEF, 0xBE}), "----"}, {Codes({0xFF, 0xFF, 0xFF}), "____"},
    };
    for (const auto& [in, expected] : b64) {
        EXPECT_EQ(Base64UrlEncode(in), expected);
        // ((length + 2) x 4 div 3) - 2 characters.
        EXPECT_EQ(expected.size(), (in.size() + 2) * 4 / 3 - 2);
    }
}

TEST(Dates, StoredAndDisplayForms)
{
    const std::map<std::string, std::string> shown = {
        {"2024-10-10", "10.10.2024"}, {"2024-01-01", "1.1.2024"}, {"2024/03/05", "5.3.2024"},
        {"2024-10-01", "1.10.2024"},  {"", ""},                    {"2024-1", ""},
    };
    for (const auto& [in, expected] : shown)
        EXPECT_EQ(FormatStoredDate(in), expected) << in;

    const std::map<std::string, std::string> typed = {
        {"5.3.2024", "2024/03/05"},  {"15.10.2024", "2024/10/15"}, {"05.3.2024", "2024/03/05"},
        {"5.03.2024", "2024/03/05"}, {" 5.3.2024 ", "2024/03/05"}, {"29.2.2024", "2024/02/29"},
        {"5.3.24", ""},              {"31.2.2024", ""},            {"29.2.2023", ""},
        {"5.13.2024", ""},           {"", ""},                     {"ab.cd.efgh", ""},
        {"5/3/2024", ""},            {"5.3.20245", ""},
    };
    for (const auto& [in, expected] : typed)
        EXPECT_EQ(StoredDateFromInput(in), expected) << in;

    const QDateTime evening(QDate(2024, 12, 31), QTime(18, 0));
    EXPECT_EQ(DateTextYmdFrom(evening, 0), "2024/12/31");
    EXPECT_EQ(DateTextYmdFrom(evening, 0.5), "2025/01/01");
    EXPECT_EQ(DateTextYmdFrom(evening, -365), "2024/01/01");
    EXPECT_EQ(PackedDateCode(QDate(2024, 3, 5)), ((24 * 12 + 2) * 32 + 5));
    EXPECT_EQ(PackedDateCode(QDate(2000, 1, 1)), 1);
}

TEST(Files, TextListRoundTripAndFailures)
{
    QTemporaryDir tmp;
    const std::string path = tmp.path().toStdString() + "/list.txt";
    ASSERT_EQ(SaveTextList({"a", "b \x9A"}, path), 0);
    EXPECT_EQ(ReadText(path), "a\r\nb \x9A\r\n");
    ASSERT_EQ(LoadTextList(path), 0);
    EXPECT_EQ(SharedTextLines(), (std::vector<std::string>{"a", "b \x9A"}));

    WriteText(path, "x\r\ny\nz\rw");
    ASSERT_EQ(LoadTextList(path), 0);
    EXPECT_EQ(SharedTextLines(), (std::vector<std::string>{"x", "y", "z", "w"}));

    // A failed read leaves the list as it was.
    EXPECT_EQ(LoadTextList(path + ".missing"), IoResult::NotFound);
    EXPECT_EQ(SharedTextLines().size(), 4u);
    EXPECT_NE(SaveTextList({"a"}, tmp.path().toStdString() + "/list.txt/inside"), 0);
    EXPECT_EQ(ReadText(path), "x\r\ny\nz\rw");
}

TEST(Files, TempFolderSkipsWhatCannotBeAFolder)
{
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    WriteText(root + "/plainfile", "");
    std::map<std::string, std::string> vars = {{"TEMP", root + "/plainfile"}, {"TMP", root + "/t2"}};
    EnvLookup env = [&](const char* n) { return vars.count(n) ? vars[n] : std::string(); };
    EXPECT_EQ(TempFolderFrom(env), root + "/t2/");
    EXPECT_TRUE(FolderExists(root + "/t2"));
    vars = {{"TMPDIR", root + "/t3/"}};
    EXPECT_EQ(TempFolderFrom(env), root + "/t3/");
    vars.clear();
    EXPECT_EQ(TempFolderFrom(env), "/tmp/");
}

TEST(Hints, ButtonHintTexts)
{
    Texts t("[Cudl]\nkbd=K\nwhit=W\nwhit1=on\nwhit0=off\nwhi=N\ncolt=C\ncolt1=c1\ncolt0=c0\ncol0==\n"
            "tabt=Tab\ntab1=T1\ntab0=T0\nhor=H\nver=V\n",
            "[X]\na=b\n");
    struct Case {
        char symbol;
        int mode;
        bool state;
        std::string text;
    };
    const Case cases[] = {
        {')', 0, true, "W\ron"}, {')', 0, false, "W\roff"}, {')', 1, true, "N"},
        {'=', 0, true, "C\rc1"}, {'=', 1, false, "="},      {'=', 1, true, ""},
        {'>', 0, true, "Tab"},   {'>', 1, true, "T1"},      {'>', 1, false, "T0"},
        {'-', 0, false, "H"},    {'-', 1, false, ""},       {'|', 0, false, "V"},
        {'&', 1, false, "K"},    {'x', 0, false, ""},       {')', 2, false, ""},
        {'*', 1, false, "!! Cudl.sla"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ButtonHintText(c.symbol, c.mode, c.state), c.text) << c.symbol << c.mode << c.state;
}

TEST(Hints, ScreenshotOfTheHintWindow)
{
    start_test::EnsureApp();
    TMyHintWindow hint;
    SetSharedHintWindow(&hint);
    hint.ShowHint(QPoint(20, 20), QStringLiteral("Našeptávač\nzapnut: nabízí podobně psané názvy"));
    HintShown = true;
    EXPECT_TRUE(hint.isVisible());
    QDir().mkpath(QStringLiteral(QEVW_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(hint.grab().save(QStringLiteral(QEVW_BINARY_DIR "/screenshots/hint_window.png")));
    HideHint();
    EXPECT_FALSE(hint.isVisible());
    EXPECT_FALSE(HintShown);
    SetSharedHintWindow(nullptr);
}

TEST(UpperCase, DataCodePageTable)
{
    EXPECT_EQ(UpperTable['a'], 'A');
    EXPECT_EQ(UpperTable['z'], 'Z');
    EXPECT_EQ(UpperTable['1'], '1');
    EXPECT_EQ(UpperTable[0x80], 0x80);
    EXPECT_EQ(UpperTable[0x81], 0x9A); // ü
    EXPECT_EQ(UpperTable[0xA0], 0x8F); // á
    EXPECT_EQ(UpperTable[0xA9], 0x9E); // ř
    EXPECT_EQ(UpperTable[0xAB], 0xC0);
    EXPECT_EQ(UpperTable[0xAC], 0xAC);
}

TEST(Paragraphs, TextAndPredecessor)
{
    EXPECT_EQ(ParagraphText(0x40), "4");
    EXPECT_EQ(ParagraphText(0x41), "4.1");
    EXPECT_EQ(ParagraphText(0x4C), "4.12");
    EXPECT_EQ(ParagraphText(0xA1), "10.1");
    const std::map<int, int> prev = {{0x41, 0x40}, {0x50, 0x49}, {0x60, 0x53}, {0x70, 0x66},
                                     {0x40, 0x30}, {0x80, 0x70}, {0x4C, 0x4B}};
    for (const auto& [code, before] : prev)
        EXPECT_EQ(PrevParagraph(static_cast<uint8_t>(code)), before) << code;
}

TEST(Paragraphs, KeysToCodes)
{
    const std::map<std::string, int> keys = {
        {"4", 0x40},    {"12", 0xC0}, {"16", 0},     {"09", 0},     {"4.1", 0x41}, {"4_1", 0x41},
        {"4.12", 0x4C}, {"4.15", 0x4F}, {"4.16", 0}, {"4.21", 0},   {"10_1", 0xA1}, {"15_9", 0xF9},
        {"16_1", 0},    {"4x", 0},    {"a.1", 0},    {"", 0},       {"4.1.2", 0},  {"x", 0},
        {"4..1", 0},    {"1a_1", 0},
    };
    for (const auto& [key, code] : keys)
        EXPECT_EQ(ParagraphKeyToCode(key), code) << key;
}

TEST(Paragraphs, SelectionsAsText)
{
    Texts t("[Text]\nbez=vše kromě\\x20\n", "[X]\na=b\n");
    EXPECT_EQ(ParagraphSetText(Codes({0x41, 0x42, 0x43, 0x51, '+'}), 'S'), "4.1-4.3,5.1");
    EXPECT_EQ(ParagraphSetText(Codes({0x41, 0x42, 0x43, 0x51, '+'}), 'I'), "4.1-4.3,5.1");
    // 4.9 and 5 are consecutive in the summary's numbering.
    EXPECT_EQ(KamToQString(ParagraphSetText(Codes({0x40, 0x49, 0x50, '-'}), 'S')).toStdString(),
              "vše kromě 4,4.9-5");
    EXPECT_EQ(ParagraphSetText("+", 'S'), "");
    // Other kinds: the hexadecimal digits read as a decimal number.
    EXPECT_EQ(ParagraphSetText(Codes({0x12, 0x01, 0x20, '+'}), 'K'), "12,1,20");
    SetParagraphLabelLookup([](int n) { return n == 12 ? std::string("Ab") : std::string(); });
    EXPECT_EQ(ParagraphSetText(Codes({0x12, 0x01, '+'}), 'K'), "Ab,1");
    SetParagraphLabelLookup({});
}

TEST(Paragraphs, GroupsOfEachKind)
{
    for (int c : {0x00, 0x0F, 0x40, 0x4F, 0x50, 0x5F, 0x60, 0x6F})
        EXPECT_TRUE(IsParagraphGroup(static_cast<uint8_t>(c), 'S')) << c;
    EXPECT_FALSE(IsParagraphGroup(0x30, 'S'));
    EXPECT_FALSE(IsParagraphGroup(0xC0, 'S'));
    EXPECT_TRUE(IsParagraphGroup(191, 'K'));
    EXPECT_FALSE(IsParagraphGroup(190, 'K'));
    EXPECT_EQ(ParagraphGroupEnd(0x40, 'S'), 0x4F);
    EXPECT_EQ(ParagraphGroupEnd(0xC0, 'K'), 0xD0);
}

TEST(Paragraphs, EncodeSelectionsWorkedByHand)
{
    // Summary list: group 4 (0x40) with 4.1-4.3, group 5 with 5.1, 5.2,
    // group 6 with 6.1.
    const std::string S = Codes({0x40, 0x41, 0x42, 0x43, 0x50, 0x51, 0x52, 0x60, 0x61});
    struct Case {
        std::string set;
        std::string expected;
    };
    const Case summary[] = {
        // 4.2 off: "all but 4.2" is shorter than listing the other five.
        {Codes({0x42}), Codes({0x42, '-'})},
        // Group 4 whole (its end code), the rest by membership: all selected.
        {Codes({0x4F}), ""},
        // Group 4 off (its head): 4.1-4.3 excluded, 5.1, 5.2, 6.1 listed.
        {Codes({0x40}), Codes({0x51, 0x52, 0x61, '+'})},
        // A set ending in 0xFF counts as empty.
        {Codes({0x42, 0xFF}), ""},
    };
    for (const Case& c : summary)
        EXPECT_EQ(EncodeParagraphSet(c.set, 'S', S), c.expected) << HexOfBytes(c.set);

    // Other kinds: heads above 190, group end = head + 16.
    const std::string K = Codes({0xC0, 0x01, 0x02, 0xC1, 0x11, 0x12});
    const Case other[] = {
        {Codes({0xD0, 0x12}), Codes({0x12, '-'})},
        {Codes({0xC1}), Codes({0x01, 0x02, '+'})},
    };
    for (const Case& c : other)
        EXPECT_EQ(EncodeParagraphSet(c.set, 'K', K), c.expected) << HexOfBytes(c.set);
}

TEST(Paragraphs, ListsFromTheTextTables)
{
    std::string mask(100, '-');
    for (int i = 10; i < 50; ++i)
        mask[static_cast<size_t>(i)] = '+';
    Texts t("[Prohlizec]\nVybK=" + mask + "\n",
            "[Nadpis]\nOdst0=Skupina\nOdst12=Dvanact\nOdst00=Nula\nOdst13=Trinact\n"
            "Ospc4=Ctyri\nOspc4.1=a\nOspc4.12=b\nOspc10_1=c\nOspcxx=d\n");
    EXPECT_EQ(ParagraphListOfKind('K'), Codes({0xC0, 0x12, 0x13}));
    // Without a mask nothing of two digits passes; "0" still gives 192.
    EXPECT_EQ(ParagraphListOfKind('B'), Codes({0xC0}));
    EXPECT_EQ(ProductSummaryParagraphList(), Codes({0x40, 0x41, 0x4C, 0xA1, 0x00}));
    LoadParagraphLists();
    EXPECT_EQ(ParagraphList('I'), ParagraphList('S'));
    EXPECT_EQ(ParagraphList('X'), Codes({0xC0, 0x12, 0x13})); // the "K" list
    EXPECT_EQ(EncodeParagraphSet(Codes({0x13}), 'K'), Codes({0x12, '+'}));
}

TEST(Messages, DataStoreErrorBox)
{
    RecordingMessageSink sink;
    ScopedMessageSink scoped(&sink);
    const int before = DbFailureCount();
    DbStatus = DbCode::BadFormat;
    ShowDbError(TFileId("kl"), 5, 3);
    DbStatus = DbCode::NotExact;
    ShowDbError(TFileId("klnaz"), 0, 121);
    const auto r = sink.Requests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].text.toStdString(), "DB Error: 20001 (loc.3)  File \"kl\":  record 5");
    EXPECT_EQ(r[0].icon, MessageIcon::Error);
    EXPECT_EQ(r[1].text.toStdString(), "DB Error: -20001 (loc.121)  File \"klnaz\":  record 0");
    EXPECT_EQ(r[1].icon, MessageIcon::Warning);
    EXPECT_EQ(DbFailureCount(), before + 1);
    DbStatus = 0;
}

TEST(Messages, QuestionsAndErrors)
{
    RecordingMessageSink sink(MessageAnswer::Yes);
    ScopedMessageSink scoped(&sink);
    EXPECT_EQ(AskYesNoCancel("Smazat?"), MessageAnswer::Yes);
    sink.SetAnswer(MessageAnswer::Cancel);
    EXPECT_EQ(AskOkCancel("Pokra\x9Fovat?"), MessageAnswer::Cancel);
    ShowError("Chyba \xA9"); // data code page: ř
    const auto r = sink.Requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(r[0].icon, MessageIcon::Question);
    EXPECT_EQ(r[0].caption.toStdString(), "KALVO");
    EXPECT_EQ(r[1].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(r[2].text.toStdString(), "Chyba ř");
    EXPECT_EQ(r[2].icon, MessageIcon::Error);
}

class HelpRequest : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_test::EnsureApp();
        saved = Ipc();
        savedStart = Start();
        Ipc() = IpcState{};
        Ipc().OwnWindow = OwnWindowOfProcess();
        Ipc().OwnExeName = QEVW_PROGRAM_DIR "/qevw"; // a real program to launch
        folder = tmp.path().toStdString() + "/";
        SetSocketFolderOverride(folder);
        Start().ProgramFolder = "/opt/kalvo/";
        Start().DataDir = "/srv/kalvo data/";
    }
    void TearDown() override
    {
        SetSocketFolderOverride("");
        Ipc() = saved;
        Start() = savedStart;
    }
    IpcState saved;
    StartValues savedStart;
    QTemporaryDir tmp;
    std::string folder;
};

TEST_F(HelpRequest, TakenByARunningCopyLaunchesNothing)
{
    RecordingShell shell;
    ScopedShell scoped(&shell);
    start_test::FakePeer peer(SocketPathOf(folder, 0x20001), QueryVerdict::Taken);
    EXPECT_TRUE(RequestHelp("MeKlNe"));
    ASSERT_EQ(peer.texts.size(), 1u);
    EXPECT_EQ(peer.texts[0], "|y=15|q=help||1=MeKlNe|");
    EXPECT_TRUE(shell.Calls().empty());
}

TEST_F(HelpRequest, NotTakenLaunchesAHelpCopy)
{
    RecordingShell shell;
    ScopedShell scoped(&shell);
    start_test::FakePeer peer(SocketPathOf(folder, 0x20001), QueryVerdict::OtherKind);
    EXPECT_TRUE(RequestHelp("Obsah_"));
    const auto calls = shell.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].url);
    EXPECT_EQ(calls[0].target.toStdString(), QEVW_PROGRAM_DIR "/qevw");
    const QStringList expected = {QString::fromStdString("/y=" + std::to_string(Ipc().OwnWindow)),
                                  "/q=help", "Obsah_", "/d=/srv/kalvo data/"};
    EXPECT_EQ(calls[0].arguments, expected);
    EXPECT_EQ(DataFolderOption(), " /d=/srv/kalvo data/");

    // With the data in the program folder no "/d=" is passed.
    Start().DataDir = Start().ProgramFolder;
    EXPECT_TRUE(RequestHelp("Obsah_"));
    ASSERT_EQ(shell.Calls().size(), 2u);
    EXPECT_EQ(shell.Calls()[1].arguments.size(), 3);
    EXPECT_EQ(DataFolderOption(), "");
}

} // namespace
