// Similar spellings from the word files: word files written here as literal
// strings, and the demo set's name and ATC word files over its tables.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "datastore/bits.h"
#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/user_files.h"
#include "lists/search/similar_search.h"
#include "tests/lists/lists_test_support.h"

namespace {

// A word file as LoadWordFile gives it: a line feed, lines of a word, a
// blank and the flag character, and a closing 0.
std::string WordFile(std::initializer_list<const char*> words, char flag = 0x7F)
{
    std::string body;
    for (const char* w : words)
        body += std::string(body.empty() ? "" : "\n") + w + " " + flag;
    return "\n" + body + '\0';
}

std::string WordFileWithFlags(const std::vector<std::pair<std::string, char>>& words)
{
    std::string body;
    for (const auto& [w, f] : words)
        body += std::string(body.empty() ? "" : "\n") + w + " " + f;
    return "\n" + body + '\0';
}

// The words a search offered, each with its kind: "~" a similar writing,
// "#" a word the filter hides.
std::vector<std::string> Offered(const std::string& wordFile, const std::vector<int32_t>& entries)
{
    std::vector<std::string> out;
    for (int32_t e : entries)
        if (IsWordEntry(e))
            out.push_back(((static_cast<uint32_t>(e) & kSimilarWordEntry) ? "~" : "#") + WordAt(wordFile, e));
    return out;
}

struct SearchCase {
    const char* name;
    std::string wordFile;
    std::string prefix;
    int32_t count; // rows of the list's own range
    bool whisper;
    uint16_t filter;
    std::vector<std::string> offered;
};

TEST(SimilarName, SearchOffersTheWordsOfTheRules)
{
    liststest::EnsureApp();
    const std::string fen =
        WordFile({"PHENAZON", "PHENOBARBITAL", "PHENOL", "PHENTANYL", "PHENYLEFRIN", "PHENYTOIN"});
    std::vector<std::string> sixPhen;
    for (const char* w : {"PHENAZON", "PHENOBARBITAL", "PHENOL", "PHENTANYL", "PHENYLEFRIN", "PHENYTOIN"})
        sixPhen.push_back(std::string("~") + w);
    const SearchCase cases[] = {
        // A variant that only lengthens the prefix finds what the prefix finds.
        {"L to LL at the end", WordFile({"PALLADIN", "PALLAS"}), "PAL", 1, true, 0, {}},
        {"L to LL inside", WordFile({"PALLADIN", "PALLAS"}), "PALA", 1, true, 0, {"~PALLADIN", "~PALLAS"}},
        // A word extending the word taken before it is not offered again.
        {"PARACETAMOL after PARA",
         WordFile({"FARA", "FARACETAMOL", "FARALEN"}),
         "PHARA",
         1,
         true,
         0,
         {"~FARA"}},
        {"hidden PARACETAMOL after PARA",
         WordFile({"PARA", "PARACETAMOL", "PARALEN"}),
         "PARA",
         0,
         false,
         0,
         {"#PARA", "#PARALEN"}},
        // S and Z begin different names.
        {"S at the first letter", WordFile({"SALVIA", "ZINEK"}), "S", 1, true, 0, {}},
        {"S later on", WordFile({"ASAL", "AZALEA"}), "AS", 1, true, 0, {"~AZALEA"}},
        // Six words of one variant flood a list that has rows of its own.
        {"six words, rows of its own", fen, "FEN", 1, true, 0, {}},
        {"six words, no rows", fen, "FEN", 0, true, 0, sixPhen},
        {"five words, rows of its own",
         WordFile({"PHENAZON", "PHENOBARBITAL", "PHENOL", "PHENTANYL", "PHENYTOIN"}),
         "FEN",
         1,
         true,
         0,
         {"~PHENAZON", "~PHENOBARBITAL", "~PHENOL", "~PHENTANYL", "~PHENYTOIN"}},
        // Hidden words only when the list's range shows nothing.
        {"hidden words, empty range", WordFile({"TEST", "THEST"}), "TE", 0, false, 0, {"#TEST"}},
        {"no hidden words beside rows", WordFile({"TEST", "THEST"}), "TE", 3, false, 0, {}},
        {"both kinds", WordFile({"TEST", "THEST"}), "TE", 0, true, 0, {"#TEST", "~THEST"}},
        {"two-letter cells", WordFile({"KSYLEN", "XYLEN"}), "XY", 1, true, 0, {"~KSYLEN"}},
        {"brackets", WordFile({"[A] LEK"}), "(A", 1, true, 0, {"~[A] LEK"}},
        // The flag character against the filter word: 0x10 keeps drugs with
        // sign 12 (flag bit 1), 0x01 those without sign 10 (flag bit 6).
        {"flag fits the filter",
         WordFileWithFlags({{"THEMA", 0x03}, {"THEMB", 0x01}}),
         "TEM",
         1,
         true,
         0x10,
         {"~THEMA"}},
        {"flag of the other kind",
         WordFileWithFlags({{"THEMA", 0x43}, {"THEMB", 0x03}}),
         "TEM",
         1,
         true,
         0x01,
         {"~THEMB"}},
        // Nothing after the terminating zero counts.
        {"after the zero", WordFile({"ALFA"}) + "\nBETA x\nBETAX y", "BETA", 0, true, 0, {}},
        // The last word of the buffer.
        {"word at the end", WordFile({"ALFA", "ZETA"}), "ZE", 0, false, 0, {"#ZETA"}},
    };
    for (const SearchCase& c : cases) {
        SCOPED_TRACE(c.name);
        TypedRange range;
        range.prefix = c.prefix;
        range.count = c.count;
        range.similar = c.whisper;
        range.filter = c.filter;
        range.strict = true;
        range.rangeFirst = 0;
        range.rangeLast = -1; // no record positions: only the words
        TDbTable none;
        const std::vector<int32_t> found = SimilarNameSearch(c.wordFile, range, none);
        EXPECT_EQ(Offered(c.wordFile, found), c.offered);
        // Only words were found: nothing else joins them.
        EXPECT_EQ(found.size(), c.offered.size());
    }
}

TEST(SimilarName, TypedLettersAreFoldedAndHitsStopAtAHundred)
{
    liststest::EnsureApp();
    // The word files hold folded names: a typed "Č" is a "C".
    const std::string words = WordFile({"CAJ", "CAJOVNIK", "CESNEK"});
    const std::string typed = liststest::Kam("Čaj");
    TypedRange range;
    range.prefix = typed;
    TDbTable none;
    EXPECT_EQ(Offered(words, SimilarNameSearch(words, range, none)), (std::vector<std::string>{"#CAJ"}));
    EXPECT_FALSE(WordPrefixIsRare(words, liststest::Kam("Č"), 3));
    EXPECT_TRUE(WordPrefixIsRare(words, liststest::Kam("Čaj"), 3));

    std::string many = "\n";
    for (int i = 0; i < 150; ++i)
        many += "ABC" + std::to_string(1000 + i) + " \x7F" + (i < 149 ? "\n" : "");
    many += '\0';
    TypedRange crowded;
    crowded.prefix = "ABC";
    const std::vector<int32_t> found = SimilarNameSearch(many, crowded, none);
    EXPECT_EQ(found.size(), static_cast<size_t>(kMaxWordHits));
    EXPECT_EQ(WordAt(many, found.back()), "ABC1099");
}

TEST(SimilarName, PrefixIsRareBelowTheGivenCount)
{
    const std::string words = WordFile({"ALFA", "BETA", "BETAX", "BETAXOLOL", "GAMA"});
    struct Case {
        const char* prefix;
        int n;
        bool rare;
    } const cases[] = {
        {"BETA", 3, false}, {"BETA", 4, true}, {"BETAX", 3, true}, {"DELTA", 1, true},
        {"GAMA", 1, false}, {"ALFA", 2, true}, {"", 3, false},     {"GAMAX", 1, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WordPrefixIsRare(words, c.prefix, c.n), c.rare) << c.prefix << " " << c.n;
    // An empty or unloaded word file holds nothing.
    EXPECT_TRUE(WordPrefixIsRare("", "A", 1));
    EXPECT_TRUE(WordPrefixIsRare(std::string(1, '\0'), "A", 1));
}

TEST(SimilarName, WordAtStopsAtTheLineAndTheBuffer)
{
    const std::string words = WordFile({"ALFA", "BETA"});
    EXPECT_EQ(WordAt(words, 2), "ALFA");
    EXPECT_EQ(WordAt(words, static_cast<int32_t>(kSimilarWordEntry | 9)), "BETA");
    EXPECT_EQ(WordAt(words, 0), "");
    EXPECT_EQ(WordAt(words, static_cast<int32_t>(words.size()) + 5), "");
}

// The demo set's word files over its tables.
class SimilarNameDemo : public ::testing::Test {
protected:
    void SetUp() override
    {
        liststest::EnsureApp();
        savedDir_ = DataDir();
        SetDataDir(QEVW_DEMO_DATA_DIR "/");
    }
    void TearDown() override
    {
        OpenTable(table, TFileId(), TFileId(), 0);
        SetDataDir(savedDir_);
        DbStatus = 0;
    }

    TDbTable table;

private:
    std::string savedDir_;
};

TEST_F(SimilarNameDemo, NameListGetsWordsThenItsOwnRecords)
{
    std::string words;
    LoadWordFile(words, "klnaz.slw");
    ASSERT_GT(words.size(), 2u);
    OpenTable(table, TFileId("kl"), TFileId("klnaz"), 0);
    ASSERT_EQ(DbStatus, 0);

    // "PHUROSIX" misspells the FUROSIX names: the PH/F substitution finds
    // them, and the list's own range follows the words.
    TypedRange range;
    range.prefix = "PHUROSIX";
    range.similar = true;
    range.strict = true;
    std::string record;
    FindRecord(table, range.prefix, record);
    range.rangeFirst = table.Position();
    range.rangeLast = table.Position() + 1;
    TBits hits;
    BitsInitAll(hits, table.LeafCount());
    range.hits = &hits;
    range.count = 2;
    DbStatus = 0;
    const std::vector<int32_t> found = SimilarNameSearch(words, range, table);
    ASSERT_GE(found.size(), 3u);
    const std::vector<std::string> offered = Offered(words, found);
    ASSERT_FALSE(offered.empty());
    for (const std::string& w : offered)
        EXPECT_EQ(w.substr(0, 8), "~FUROSIX") << w;
    // The two range positions follow as record numbers.
    const size_t n = found.size();
    for (size_t i = n - 2; i < n; ++i) {
        EXPECT_FALSE(IsWordEntry(found[i]));
        int32_t recNo = 0;
        IndexEntryRecNo(table.sez, recNo, range.rangeFirst + static_cast<int32_t>(i - (n - 2)));
        EXPECT_EQ(found[i], recNo);
    }
}

TEST_F(SimilarNameDemo, AtcNamesAreFoundAsInnerWords)
{
    std::string words;
    LoadWordFile(words, "atcnaz.slw");
    ASSERT_GT(words.size(), 2u);
    OpenTable(table, TFileId("atc"), TFileId("atcnaz"), 0);
    ASSERT_EQ(DbStatus, 0);

    // "BLOKATORY" stands inside "BETA BLOKATORY" and its kin.
    TypedRange range;
    range.prefix = "BLOKATORY";
    DbStatus = -20001;
    const std::vector<int32_t> found = SimilarAtcSearch(words, range, table);
    EXPECT_EQ(DbStatus, -20001); // the caller's status is kept
    ASSERT_FALSE(found.empty());
    std::string record;
    for (int32_t e : found) {
        ASSERT_FALSE(IsWordEntry(e));
        ReadRecord(table.dat, e, record);
        ASSERT_EQ(DbStatus, 0);
        const std::string name = KamFoldUpper(GetFieldTrim(record, kAtcName.start, kAtcName.length));
        EXPECT_NE(name.find(" BLOKATORY"), std::string::npos) << name;
    }

    // A misspelling: "ANTITHROMBOTIKA" through TH to T.
    TypedRange typo;
    typo.prefix = "ANTITHROMB";
    typo.similar = true;
    EXPECT_EQ(Offered(words, SimilarAtcSearch(words, typo, table)),
              (std::vector<std::string>{"~ANTITROMBOTIKA"}));
}

} // namespace
