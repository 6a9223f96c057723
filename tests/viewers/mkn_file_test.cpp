// The disease classification files: the writer against bytes laid out by
// hand, the entry table and entry texts across the file layouts, how a code
// chooses its entry, the word search and its hit list, the code under a text
// position, the line colours, and damaged files and word lists.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <string>
#include <vector>

#include "datastore/db_status.h"
#include "datastore/kamenici.h"
#include "platform/cp1250.h"
#include "platform/file_saver.h"
#include "platform/fs.h"
#include "tests/support/bytes.h"
#include "viewers/mkn_file.h"
#include "writers/mkn_writer.h"

namespace {

using test_support::Bytes;

std::string Kam(const char* utf8)
{
    std::string s;
    EXPECT_TRUE(Utf8ToCp1250(utf8, s)) << utf8;
    WinToKamS(s);
    return s;
}

std::string Header(int flags)
{
    return Bytes({'X', '6', 0, 0, flags, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}

// The word list as LoadWordFile gives it.
std::string Loaded(const std::string& file)
{
    return "\n" + file + std::string(1, '\0');
}

// Collects what reaches the data-store error hook.
struct HookCalls {
    static inline std::vector<int32_t> positions;
    static void Hook(const TFileId&, int32_t position, uint16_t) { positions.push_back(position); }
};

class MknFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildKamTables(); }
    void SetUp() override
    {
        old_ = DbErrorHook.exchange(&HookCalls::Hook);
        HookCalls::positions.clear();
    }
    void TearDown() override { DbErrorHook = old_; }

    std::string Put(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir_.path().toStdString() + "/" + name;
        EXPECT_EQ(WriteFileAtomic(path, bytes), 0);
        return path;
    }

    // A small classification: entry 0, the start entry, a chapter, a group,
    // categories and two morphology groups.
    static std::vector<MknSourceEntry> Entries()
    {
        return {
            {"MKN10", "\x0eMezinarodni klasifikace nemoci", "e0"},
            {"A01",
             "\x12\x0b\x10"
             "A01 Tyfus\x0e"
             "A01.0 Brisni tyfus",
             "a01"},
            {"ZaDTCa", "\x0eStart of the classification", "start"},
            {"A00",
             "\x12\x0b\x10"
             "A00 Cholera\x0e"
             "A00.1 Cholera eltor",
             "a00"},
            {"A00A09", "\x0eGroup A00-A09 of the intestinal diseases", "group"},
            {"814A",
             "\x0e"
             "8140/3 Adenocarcinoma",
             "m814"},
            {"800A",
             "\x0e"
             "8000/3 Neoplasm",
             "m800"},
        };
    }

    QTemporaryDir dir_;
    TDbErrorHook old_ = nullptr;
};

// ------------------------------------------------------------------ writer

TEST_F(MknFileTest, WriterMatchesHeadsLaidOutByHand)
{
    // Packed, 16-byte heads: T, the packed length P, the code padded with blanks.
    const std::string text = "\x0eMezinarodni klasifikace nemoci";
    const std::string packed = HuffEncoder().Encode(text);
    const int p = static_cast<int>(packed.size());
    const int t = static_cast<int>(text.size());
    std::string expected =
        Header(0x0A) + Bytes({0xFF, 0xFF, t, 0, 0, 0, p & 0xFF, p >> 8, 'M', 'K', 'N', '1', '0', ' ', 0, 0}) +
        packed;
    EXPECT_EQ(BuildMknFile({{"MKN10", text, "e0"}}), expected);

    // Stored, 14-byte heads, the last record marked 0: bytes 6-7 repeat T.
    X6FileOptions stored;
    stored.compressed = false;
    stored.headSize = 14;
    stored.lastRecordMarker = 0;
    expected = Header(0x04) + Bytes({0xFF, 0xFF, 2, 0, 0, 0, 2, 0, 'B', '0', '1', ' ', ' ', ' '}) + "bb" +
               Bytes({0, 0, 2, 0, 0, 0, 2, 0, 'A', '0', '1', ' ', ' ', ' '}) + "aa";
    EXPECT_EQ(BuildMknFile({{"B01", "bb"}, {"A01", "aa"}}, stored), expected)
        << "entry 0 stays first, the rest follow by key";
}

TEST_F(MknFileTest, WriterRefusesWhatTheReaderCannotTake)
{
    const std::string big(1u << 18, 'x');
    const std::vector<std::vector<MknSourceEntry>> refused = {
        {{"ABCDEFG", "x"}}, // more than six characters
        {{"A00", "\x0e"
                 "a"},
         {"a00", "\x0e"
                 "b"}},                                                  // the same key in another case
        {{"MKN10", "\x0eMezinarodni klasifikace nemoci"}, {"A00", big}}, // the wide layout
    };
    for (const auto& entries : refused)
        EXPECT_THROW(BuildMknFile(entries), X6Error) << entries.back().code;
    EXPECT_EQ(BuildMknWordList({"A00 Cholera", "cholera"}), "A00 Cholera\ncholera\n");
    EXPECT_THROW(BuildMknWordList({"A00\rCholera"}), X6Error);
}

// ------------------------------------------------------------- the table

TEST_F(MknFileTest, ScansAndReadsEveryLayout)
{
    struct Layout {
        bool compressed;
        int head;
        std::optional<uint16_t> lastMarker;
    };
    const Layout layouts[] = {{true, 16, {}},  {true, 14, {}},     {false, 16, {}},
                              {false, 14, {}}, {true, 16, 0x0000}, {false, 14, 0x1234}};
    for (const Layout& l : layouts) {
        SCOPED_TRACE(std::to_string(l.compressed) + " " + std::to_string(l.head));
        X6FileOptions o;
        o.compressed = l.compressed;
        o.headSize = l.head;
        o.lastRecordMarker = l.lastMarker;
        MknClassification f;
        ASSERT_EQ(f.ScanFile(Put("mkn.dat", BuildMknFile(Entries(), o))), 0);
        ASSERT_EQ(f.Count(), 7);
        // Entry 0 first, then ascending keys: 800A, 814A, A00, A00A09, A01, ZaDTCa.
        const std::vector<std::string> order = {"MKN10", "800A", "814A", "A00", "A00A09", "A01", "ZaDTCa"};
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(f.Entries()[static_cast<size_t>(i)].key, PackTopicKey(order[static_cast<size_t>(i)]))
                << i;
        EXPECT_EQ(f.DefaultEntry(), 6);
        const MknEntryText t = f.ReadEntryText(3);
        EXPECT_EQ(t.status, 0);
        EXPECT_FALSE(t.lengthDiffers);
        const std::string want = "\x12\x0b\x10"
                                 "A00 Cholera\x0e"
                                 "A00.1 Cholera eltor";
        EXPECT_EQ(t.text.substr(0, want.size()), want);
        EXPECT_EQ(t.text.back(), '\0');
    }
}

TEST_F(MknFileTest, RecordAfterAnotherLastMarkerIsNotTaken)
{
    X6FileOptions o;
    o.lastRecordMarker = 0;
    const std::string tail = " a text long enough to be packed";
    std::string bytes = BuildMknFile({{"MKN10", "\x0eT" + tail}, {"A00", "\x0eA" + tail}}, o);
    // A record after the marked one is not the classification's.
    bytes += BuildMknFile({{"B00", "\x0eB" + tail}}).substr(16);
    MknClassification f;
    EXPECT_EQ(f.ScanFile(Put("mkn.dat", bytes)), 0);
    EXPECT_EQ(f.Count(), 2);
}

TEST_F(MknFileTest, CodesChooseTheirEntries)
{
    MknClassification f;
    ASSERT_EQ(f.ScanFile(Put("mkn.dat", BuildMknFile(Entries()))), 0);
    const auto codeOf = [&](int entry) {
        const std::vector<std::string> order = {"MKN10", "800A", "814A", "A00", "A00A09", "A01", "ZaDTCa"};
        return entry < 0 ? std::string("none") : order[static_cast<size_t>(entry)];
    };
    struct Case {
        const char* code;
        const char* entry;
        bool hitList;
    };
    const Case cases[] = {
        {"A00.1", "A00", false},    {"A00-A09", "A00A09", false}, {"A01", "A01", false},
        {"8140/3", "814A", false},  {"8141", "814A", false},      {"8000/3", "800A", false},
        {"8139", "800A", false},    {"8999", "814A", false},      {"#", "ZaDTCa", true},
        {"UZISCR", "MKN10", false}, {"MKN10", "MKN10", false},    {"SVZO20", "MKN10", false},
        {"MKNO-", "MKN10", false},  {"X99", "ZaDTCa", false},     {"ZaDTCa", "ZaDTCa", false},
        {"7000", "ZaDTCa", false}, // no floor below a code that is not morphology
    };
    for (const Case& c : cases) {
        const MknCodeChoice choice = NormaliseMknCode(c.code);
        EXPECT_EQ(codeOf(ChooseMknEntry(f, choice)), c.entry) << c.code;
        EXPECT_EQ(choice.hitList, c.hitList) << c.code;
    }
    EXPECT_EQ(NormaliseMknCode("#").current, "ZaDTCa");
    EXPECT_EQ(NormaliseMknCode("A00.1").current, "A00.1") << "the current code stays as given";
    EXPECT_EQ(ChooseMknEntry(MknClassification(), NormaliseMknCode("A00")), -1);
}

// ---------------------------------------------------------------- search

TEST_F(MknFileTest, WordSearchFindsWordStarts)
{
    const std::string list = Loaded(BuildMknWordList({
        Kam("MKN-10 Klasifikace"),
        Kam("A01 Tyfus a paratyfus"),
        Kam("A01.0 Břišní tyfus (tyfová horečka)"),
        Kam("břisní [tyfus] a -tyfus"),
        Kam("cholera"),
    }));
    const std::string folded = KamFoldUpper(list);
    struct Case {
        std::string typed;
        size_t hits;
        std::vector<std::string> terms;
    };
    const Case cases[] = {
        {"ty", 0, {}},                                      // two characters: nothing
        {"", 0, {}},                                        // empty
        {"tyfus", 4, {"Tyfus", "tyfus"}},                   // not inside "paratyfus"; after [ and -
        {"TYFOV", 1, {"tyfov"}},                            // after "("
        {Kam("BRISNI"), 2, {Kam("Břišní"), Kam("břisní")}}, // diacritics and case folded
        {"MKN", 0, {}},                                     // the list's first six bytes
        {"rafik", 0, {}},
    };
    for (const Case& c : cases) {
        const MknSearchResult r = SearchMknWords(list, folded, c.typed);
        EXPECT_EQ(r.hits.size(), c.hits) << c.typed;
        EXPECT_EQ(r.terms, c.terms) << c.typed;
        for (int32_t h : r.hits)
            EXPECT_GE(h, kMknFirstHitByte);
    }
}

TEST_F(MknFileTest, SearchKeepsFiveHundredHitsAndFiveSpellings)
{
    std::vector<std::string> lines = {"Title line"};
    for (int i = 0; i < 600; ++i)
        lines.push_back("A" + std::to_string(10 + i % 90) + " word" + std::to_string(i));
    const std::string list = Loaded(BuildMknWordList(lines));
    const MknSearchResult r = SearchMknWords(list, KamFoldUpper(list), "WORD");
    ASSERT_EQ(r.hits.size(), 500u);
    EXPECT_TRUE(std::is_sorted(r.hits.begin(), r.hits.end()));
    EXPECT_EQ(list.substr(static_cast<size_t>(r.hits.back()), 7), "word499");

    const std::string six =
        Loaded(BuildMknWordList({"Title line", "abc", "Abc", "aBc", "abC", "ABc", "ABC", "abc"}));
    const MknSearchResult s = SearchMknWords(six, KamFoldUpper(six), "abc");
    EXPECT_EQ(s.hits.size(), 7u);
    EXPECT_EQ(s.terms, (std::vector<std::string>{"abc", "Abc", "aBc", "abC", "ABc"}));
}

TEST_F(MknFileTest, HitListNamesCodeAndHeading)
{
    const std::string list = Loaded(BuildMknWordList({
        "orphan line on top",
        "A01 Tyfus a paratyfus",
        "Zahrnuje:",
        "Also:",
        "salmonella typhi",
        "Upper continuation",
    }));
    const auto hitAt = [&](const char* word) { return static_cast<int32_t>(list.find(word)); };
    const std::string emphasis = Bytes({20, 1, 16});
    EXPECT_EQ(BuildMknHitList(list, {hitAt("Tyfus")}), "\x0e" + emphasis + "A01 Tyfus a paratyfus" + '\0');
    EXPECT_EQ(BuildMknHitList(list, {hitAt("typhi")}), "\x0e"
                                                       "A01: Zahrnuje: salmonella typhi" +
                                                           std::string(1, '\0'))
        << "the highest heading above a small-letter line";
    EXPECT_EQ(BuildMknHitList(list, {hitAt("Upper")}), "\x0e"
                                                       "A01: Upper continuation" +
                                                           std::string(1, '\0'));
    EXPECT_EQ(BuildMknHitList(list, {hitAt("orphan")}), "\x0e" + emphasis + "orphan line on top" + '\0')
        << "no code line above: the walk stops at the list's start";
}

TEST_F(MknFileTest, HitListGrowsForFiveHundredLongLines)
{
    std::vector<std::string> lines = {"Title line"};
    for (int i = 0; i < 500; ++i) {
        std::string l = "A" + std::to_string(10 + i % 90) + " long";
        l.resize(300, 'x');
        lines.push_back(l);
    }
    const std::string list = Loaded(BuildMknWordList(lines));
    const MknSearchResult r = SearchMknWords(list, KamFoldUpper(list), "long");
    ASSERT_EQ(r.hits.size(), 500u);
    const std::string text = BuildMknHitList(list, r.hits);
    // Each paragraph: code 14, the emphasis, 255 characters of its line.
    EXPECT_EQ(text.size(), 500u * (1 + 3 + 255) + 1);
}

// ------------------------------------------------------- code positions

TEST_F(MknFileTest, CodeAtPositionTable)
{
    const std::string viz = Kam("[viz Úvodní pokyny]");
    struct Case {
        std::string line;
        int position;
        std::string code; // "" none
        int result;
    };
    const Case cases[] = {
        {"\x0e"
         "A00.1 Cholera",
         3, "A00.1", 1},
        {"\x0e"
         "A00.1 Cholera",
         5, "A00.1", 1},
        {"\x0e"
         "x A02.2+ Salm",
         5, "A02.2+", 3},
        {"\x0e"
         "J17.0* Pneu",
         1, "J17.0*", 1},
        {"\x0e"
         "G01* Meningitis",
         2, "G01", 1},
        {"\x0e"
         "A00-A09 Group",
         2, "A00-A09", 1},
        {"\x0e"
         "A00-A09 Group",
         6, "A00-A09", 1},
        {"\x0e"
         "8140/3 Adeno",
         4, "8140/3", 1},
        {"\x0e"
         "8140/3 Adeno",
         6, "8140/3", 1},
        {"\x0e"
         "8980/3 Carcino",
         3, "8980/3", 1},
        {"\x0e"
         "8980/3 Carcino",
         2, "8980/3", 1},
        {"\x0e"
         "8140 Adeno",
         3, "8140", 1},
        {"\x0e" + viz, 8, AbbreviateTopic(Kam("Úvodní pokyny")), 30},
        {"\x0eSee the guide\x07", 4, AbbreviateTopic("See the guide"), 1},
        {"\x0e"
         "A00 and then far away",
         11, "", 0}, // 10 places away
        {"\x0e"
         "B01 x A02",
         4, "A02", 7}, // equal distance: the right one
        {"\x0e"
         "A01\x0d"
         "tyfus",
         6, "", 0},              // across a code 13
        {"A01", 0, "A01", 0},    // the text's first byte
        {"xx A01", 5, "A01", 3}, // the text's last byte
    };
    for (const Case& c : cases) {
        const MknFoundCode f = MknCodeAt(c.line, 0, static_cast<int>(c.line.size()), c.position);
        EXPECT_EQ(f.code, c.code) << c.line << " @" << c.position;
        if (!c.code.empty())
            EXPECT_EQ(f.result, c.result) << c.line << " @" << c.position;
    }
    EXPECT_EQ(MknCodeAtPosition(viz, 0, static_cast<int>(viz.size()), 0, MknCodeMode::Line).result, 2);
    EXPECT_EQ(MknPlainText("\x0e"
                           "A00.1\x0d"
                           "a\x09"
                           "b\x7f"
                           "c \x14\x02\x10"
                           "d  "),
              "A00.1 a b c d");
}

TEST_F(MknFileTest, LineColours)
{
    const uint32_t engine = 0x000000;
    struct Case {
        std::string text;
        bool second;
        uint32_t colour;
    };
    const Case cases[] = {
        {"\x0e"
         "A00.1 Cholera",
         false, MknColour::Code},
        {"\x12\x0b\x10"
         "A00 Cholera",
         false, MknColour::CodeOfDaggerEntry},
        {"\x0eSkupina A00-A09", false, MknColour::Deep},
        {"\x0eSkupina A00-A09", true, engine},
        {"\x0e\x14\x02\x10"
         "Behaviour",
         true, MknColour::Deep},
        {"\x0eNo code here", false, engine},
        {"\x0e\x14\x02\x10"
         "Behaviour",
         false, engine},
        {"\x0e   A00 four", false, engine}, // line 1 with result 4
    };
    for (const Case& c : cases)
        EXPECT_EQ(MknLineColourOf(c.text, 1, 0, static_cast<int>(c.text.size()), c.second, engine), c.colour)
            << c.text;
    EXPECT_EQ(MknLineColourOf("\x0e   A00 four", 2, 0, 11, false, engine), MknColour::Code);
}

// ------------------------------------------------------------ bad input

TEST_F(MknFileTest, DamagedFilesKeepWhatCanBeShown)
{
    const std::string broken = std::string(QEVW_FIXTURES_DIR) + "/broken/";
    struct Case {
        const char* file;
        int entries;
        bool hook;
        bool fails;
    };
    const Case cases[] = {
        {"mkn_header_only.dat", 0, false, false},   {"mkn_ten_bytes.dat", 0, false, true},
        {"mkn_record_past_end.dat", 1, true, true}, {"mkn_packed_longer.dat", 1, false, false},
        {"mkn_short_heads.dat", 0, true, true},     {"mkn_random.dat", 0, false, true},
        {"mkn_missing.dat", 0, false, true},
    };
    for (const Case& c : cases) {
        HookCalls::positions.clear();
        MknClassification f;
        const int status = f.ScanFile(broken + c.file);
        EXPECT_EQ(f.Count(), c.entries) << c.file;
        EXPECT_EQ(HookCalls::positions.size(), c.hook ? 1u : 0u) << c.file;
        EXPECT_EQ(status != 0, c.fails) << c.file;
    }
    // The record past the end: the one before it is read; the hook named its offset.
    MknClassification past;
    past.ScanFile(broken + "mkn_record_past_end.dat");
    EXPECT_EQ(past.ReadEntryText(0).text, std::string("\x0eStart") + '\0');
    // A packed text longer than its text: damaged, nothing read outside a buffer.
    MknClassification longer;
    longer.ScanFile(broken + "mkn_packed_longer.dat");
    const MknEntryText t = longer.ReadEntryText(0);
    EXPECT_TRUE(t.lengthDiffers);
    EXPECT_EQ(t.text.back(), '\0');
    EXPECT_EQ(longer.ReadEntryText(5).status, -15);
}

TEST_F(MknFileTest, DamagedFileIsCheckedAgainOnRead)
{
    const std::string path = Put("mkn.dat", BuildMknFile(Entries()));
    MknClassification f;
    ASSERT_EQ(f.ScanFile(path), 0);
    // The file is cut after the scan: the last entry's text now passes the end.
    std::string bytes;
    ASSERT_EQ(ReadWholeFile(path, bytes), 0);
    const int64_t last = f.Entries().back().offset;
    Put("mkn.dat", bytes.substr(0, static_cast<size_t>(last) + 18));
    const MknEntryText t = f.ReadEntryText(f.Count() - 1);
    EXPECT_NE(t.status, 0);
    EXPECT_TRUE(t.lengthDiffers);
    Put("mkn.dat", bytes.substr(0, static_cast<size_t>(last) + 4));
    EXPECT_NE(f.ReadEntryText(f.Count() - 1).status, 0) << "a head cut short";
    EXPECT_EQ(f.ReadEntryText(0).status, 0);
}

TEST_F(MknFileTest, DamagedWordListsSearchSafely)
{
    const std::string broken = std::string(QEVW_FIXTURES_DIR) + "/broken/";
    struct Case {
        const char* file;
        const char* typed;
        size_t hits;
    };
    const Case cases[] = {
        {"mkn_words_empty.slw", "cholera", 0},
        {"mkn_words_no_lf.slw", "cholera", 2}, // "Cholera" and "cholerae"
        {"mkn_words_nul.slw", "cholera", 1},   // "Cho\0lera" is no match; after a 0 is a word start
        {"mkn_words_nul.slw", "tyfus", 1},
    };
    for (const Case& c : cases) {
        std::string bytes;
        ASSERT_EQ(ReadWholeFile(broken + c.file, bytes), 0);
        const std::string list = Loaded(bytes);
        const MknSearchResult r = SearchMknWords(list, KamFoldUpper(list), c.typed);
        EXPECT_EQ(r.hits.size(), c.hits) << c.file << " " << c.typed;
        const std::string text = BuildMknHitList(list, r.hits);
        EXPECT_EQ(text.back(), '\0');
    }
}

} // namespace

namespace {

// The writer's order lets the searches halve the table; their answers are
// those of the walk from the end that any record order gets.
TEST_F(MknFileTest, SearchesAnswerAsTheWalkFromTheEnd)
{
    const std::vector<MknSourceEntry> entries = Entries();
    std::string reversed = BuildMknFile({entries[0]}).substr(0, 16);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        reversed += BuildMknFile({*it}).substr(16);
    for (const std::string& bytes : {BuildMknFile(entries), reversed}) {
        MknClassification f;
        ASSERT_EQ(f.ScanFile(Put("f.dat", bytes)), 0);
        const auto walk = [&](TopicKey key, bool floor) {
            for (int i = f.Count() - 1; i >= 0; --i) {
                const TopicKey k = f.Entries()[static_cast<size_t>(i)].key;
                if (floor ? k <= key : k == key)
                    return i;
            }
            return f.DefaultEntry();
        };
        for (const char* code : {"A00", "A01", "A00A09", "A00A0", "814A", "8149", "800A", "MKN10", "MKN11",
                                 "ZaDTCa", "B00", "0000", "zzzzzz", "!"}) {
            const TopicKey key = PackTopicKey(code);
            EXPECT_EQ(f.FindCode(key), walk(key, false)) << code;
            EXPECT_EQ(f.FindCodeFloor(key), walk(key, true)) << code;
        }
    }
}

} // namespace
