#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "platform/fs.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"

namespace {

using index_detail::CompareKeyBytes;
using index_detail::EntryPointer;
using index_detail::SBinS;

std::string Hex(const uint8_t* p, size_t n)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        if (i)
            s += ' ';
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

// ---------------------------------------------------------------------------
// Key building

TEST(MakeKey, PacksEveryKeyType)
{
    struct Case {
        const char* what;
        std::string text;
        uint8_t typeByte;
        const char* hex; // the bytes that matter
        int32_t status;
    };
    const Case cases[] = {
        {"raw text, padded", "CZ", 0 + 3, "43 5A 20", 0},
        {"digits, odd length: last digit in a high nibble", "0012345", 32 + 7, "00 12 34 50", 0},
        {"digits, blanks pack as 0", "123", 32 + 7, "12 30 00 00", 0},
        {"registration number: '=' packs its low bits", "=07 12307  ", 32 + 11, "D0 70 12 30 70 00", 0},
        {"6-bit text", "AB", 64 + 4, "86 20 00", 0},
        {"6-bit text, character above 95", "A`", 64 + 2, "84 00", -20004},
        {"6-bit text, control character", "A\x01", 64 + 2, "86 10", -20004},
        {"folded text: case and diacritics fold",
         "\x87"
         "aj",
         192 + 10, "8E 1A 80 00 00 00 00 00", 0},
        {"folded text: hyphen folds to blank", "A-B", 192 + 3, "84 08 80", 0},
        {"integer: bytes reversed to big-endian", std::string("\x01\x02\x03\x84", 4), 160 + 4, "84 03 02 01",
         0},
    };
    for (const Case& c : cases) {
        DbStatus = 0;
        TPackedKey out{};
        MakeKey(out, c.text, c.typeByte);
        const size_t n = (std::strlen(c.hex) + 1) / 3;
        EXPECT_EQ(Hex(out.data(), n), c.hex) << c.what;
        EXPECT_EQ(DbStatus, c.status) << c.what;
    }
}

// Writes a hand-laid index as "<id>.sez" into dir and opens it.
void OpenHandLaid(TSezFile& s, const QTemporaryDir& dir, const char* id, const std::string& bytes)
{
    EXPECT_EQ(WriteFileAtomic(dir.path().toStdString() + "/" + id + ".sez", bytes), 0);
    s.id = id;
    OpenSezFile(s, dir.path().toStdString());
}

struct KeyHookCall {
    std::string id;
    int32_t status;
    int32_t position;
    uint16_t code;
    bool operator==(const KeyHookCall&) const = default;
};
thread_local std::vector<KeyHookCall> tKeyHookCalls;
void RecordKeyHook(const TFileId& id, int32_t position, uint16_t code)
{
    tKeyHookCalls.push_back({FileIdToStr(id), DbStatus, position, code});
}

TEST(MakeKey, InvalidTypeIsReportedThroughTheHookAndLeavesTheKey)
{
    ThreadDbErrorHook = &RecordKeyHook;
    for (uint8_t t : {uint8_t(96 + 4), uint8_t(128 + 4), uint8_t(224 + 4)}) {
        tKeyHookCalls.clear();
        TPackedKey out;
        out.fill(0xEE);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(MakeKey(out, "ABC", t, "mednaz"));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(tKeyHookCalls, (std::vector<KeyHookCall>{{"mednaz", 20001, 0, 104}}));
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0xEE; }));
    }
    // A search on an index whose header names such a type stops there.
    std::string sez = {'S', '6', 0, 7, 2, 0, 0x60 | 0x07, 0x02, 0};
    sez += std::string("K000   ") + '\x00' + '\x00'; // middle -> leaf 0
    sez += std::string("K000   ") + '\x01' + '\x00'; // leaf -> record 1
    QTemporaryDir dir;
    TSezFile s;
    OpenHandLaid(s, dir, "bad", sez);
    ASSERT_EQ(DbStatus, 0);
    tKeyHookCalls.clear();
    int32_t recNo = 0;
    SeekKey(s, recNo, "K000");
    EXPECT_EQ(DbStatus, 20001);
    EXPECT_EQ(tKeyHookCalls, (std::vector<KeyHookCall>{{"bad", 20001, 0, 104}}));
    ThreadDbErrorHook = nullptr;
}

TEST(KeyBytes, CompareUnsignedAndReadLittleEndianPointers)
{
    const uint8_t a[] = {0x80, 0x00};
    const uint8_t b[] = {0x7F, 0xFF};
    EXPECT_GT(CompareKeyBytes(a, b, 2), 0);
    EXPECT_EQ(CompareKeyBytes(a, b, 0), 0);
    const uint8_t window[] = {0xAA, 0x01, 0x02, 0x03, 0xBB, 0x10, 0x20, 0x30};
    EXPECT_EQ(EntryPointer(window, 4, 3, 0), 0x030201u);
    EXPECT_EQ(EntryPointer(window, 4, 2, 1), 0x3020u);
    EXPECT_EQ(EntryPointer(window, 4, 0, 1), 0u);
}

TEST(UnpackKey, GivesTheStoredTextOfEachType)
{
    std::string out;
    const uint8_t digits[] = {0xD0, 0x70, 0x12};
    ASSERT_TRUE(UnpackKey(digits, 3, 32 + 6, out));
    EXPECT_EQ(out, "=07012");
    const uint8_t six[] = {0x86, 0x3E, 0x6C, 0xC3, 0x9C}; // "ACYLPY" + "R"...
    ASSERT_TRUE(UnpackKey(six, 5, 192 + 10, out));
    EXPECT_EQ(out, "ACYLPY"); // 3 bytes: 4 characters; 2 bytes: 2 more
    ASSERT_TRUE(UnpackKey(six, 4, 192 + 10, out));
    EXPECT_EQ(out, "ACYLP");
    const uint8_t i32[] = {0x84, 0x03, 0x02, 0x01};
    ASSERT_TRUE(UnpackKey(i32, 4, 160 + 4, out));
    EXPECT_EQ(out, std::string("\x01\x02\x03\x84", 4));
    const uint8_t raw[] = {'C', 'Z', ' '};
    ASSERT_TRUE(UnpackKey(raw, 3, 3, out));
    EXPECT_EQ(out, "CZ ");
    out = "kept";
    EXPECT_FALSE(UnpackKey(raw, 3, 96 + 3, out));
    EXPECT_EQ(out, "kept");
}

TEST(SBinS, FindsTheFirstEntryNotBelowOrTheLast)
{
    // Entries of E = 3: one key byte, two pointer bytes.
    const uint8_t keys[] = {10, 20, 20, 30, 40};
    uint8_t window[15] = {};
    for (int i = 0; i < 5; ++i)
        window[i * 3] = keys[i];
    struct Case {
        uint8_t key;
        int32_t first, last, expected;
    };
    const Case cases[] = {
        {5, 0, 4, 0},  {10, 0, 4, 0}, {15, 0, 4, 1}, {20, 0, 4, 1}, {25, 0, 4, 3},
        {40, 0, 4, 4}, {99, 0, 4, 4}, {25, 1, 2, 2}, {5, 2, 3, 2},  {99, 3, 3, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SBinS(window, 3, 1, &c.key, c.last, c.first), c.expected)
            << int(c.key) << " in " << c.first << ".." << c.last;
}

// ---------------------------------------------------------------------------
// Hand-built structures the writer does not make

// Entries of E = 9: a raw 7-byte key "K" + 3 digits + blanks, 2 pointer bytes.
std::string RawKey(int i)
{
    char k[8];
    std::snprintf(k, sizeof k, "K%03d   ", i);
    return std::string(k, 7);
}

void PutEntry(std::string& out, const std::string& key, uint32_t ptr)
{
    out += key;
    out.push_back(static_cast<char>(ptr & 0xFF));
    out.push_back(static_cast<char>(ptr >> 8));
}

TEST(SeekKey, TwoUpperBlocksAreSwitchedBothWays)
{
    const int W = 71;
    const int N = 2 * W - 1; // one entry per level per key
    std::string sez = {'S', '6', 0, 7, 0, 0, 0x07, 0x0E, 0};
    const int F = 1 + (2 * W - 1) + N;
    sez[4] = static_cast<char>(F & 0xFF);
    sez[5] = static_cast<char>(F >> 8);
    for (int i = 0; i < 2 * W - 1; ++i)
        PutEntry(sez, RawKey(i), static_cast<uint32_t>(i)); // upper -> middle i
    for (int i = 0; i < N; ++i)
        PutEntry(sez, RawKey(i), static_cast<uint32_t>(i)); // middle -> leaf i
    for (int i = 0; i < N; ++i)
        PutEntry(sez, RawKey(i), static_cast<uint32_t>(i + 1)); // leaf -> record i + 1

    QTemporaryDir dir;
    TSezFile s;
    OpenHandLaid(s, dir, "two", sez);
    ASSERT_EQ(DbStatus, 0);
    ASSERT_EQ(s.win.W, W);
    EXPECT_EQ(s.win.M, 1 + 2 * W - 1);
    EXPECT_EQ(s.LeafCount(), N);

    int32_t recNo = 0;
    SeekKey(s, recNo, RawKey(100));
    EXPECT_EQ(recNo, 101);
    EXPECT_EQ(s.win.upperBlock, W - 1);
    SeekKey(s, recNo, RawKey(5));
    EXPECT_EQ(recNo, 6);
    EXPECT_EQ(s.win.upperBlock, 0);
    SeekKey(s, recNo, "ZZZ"); // above every key: the last entry
    EXPECT_EQ(recNo, N);
    EXPECT_EQ(s.curPos, N - 1);
    SeekKey(s, recNo, ""); // below every key
    EXPECT_EQ(recNo, 1);

    std::mt19937 rng(7);
    std::vector<int> order(N);
    for (int i = 0; i < N; ++i)
        order[static_cast<size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), rng);
    for (int i : order) {
        SeekKey(s, recNo, RawKey(i));
        ASSERT_EQ(DbStatus, 0);
        ASSERT_EQ(recNo, i + 1) << i;
        ASSERT_EQ(s.curPos, i);
        SeekKey(s, recNo, RawKey(i).substr(0, 4) + "\x7F"); // just above key i
        ASSERT_EQ(recNo, std::min(i + 2, N)) << i;
    }
}

TEST(SeekKey, MiddleLevelMappedOneToOneNamesTheLeafDirectly)
{
    const int N = 5;
    std::string sez = {'S', '6', 0, 7, static_cast<char>(1 + N), 0, 0x0F, 0x02, 0};
    for (int i = 0; i < N; ++i)
        PutEntry(sez, RawKey(i * 10), static_cast<uint32_t>(i)); // middle i -> leaf position i
    for (int i = 0; i < N; ++i)
        PutEntry(sez, RawKey(i * 10), static_cast<uint32_t>(N - i)); // records in reverse
    QTemporaryDir dir;
    TSezFile s;
    OpenHandLaid(s, dir, "one", sez);
    ASSERT_EQ(DbStatus, 0);
    int32_t recNo = 0;
    SeekKey(s, recNo, RawKey(25));
    EXPECT_EQ(DbStatus, 0);
    EXPECT_EQ(recNo, 2); // leaf 3 (K030) holds record 5 - 3
    EXPECT_EQ(s.curPos, 3);
}

// ---------------------------------------------------------------------------
// 100,000 records: FindRecord against std::lower_bound

constexpr int kRecords = 100000;
constexpr int kNameWidth = 20;

class LargeTable : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(dir_->isValid());
        std::mt19937 rng(20240611);
        // Names share prefixes heavily (so that stored keys tie and the
        // step over records matters) and mix case, diacritics and hyphens.
        const char* stems[] = {"PARA",
                               "Para",
                               "IBU",
                               "ibu",
                               "ACY",
                               "\x80"
                               "IS",
                               "\x9B"
                               "AL",
                               "ZAL",
                               "AMO",
                               "AMOX"};
        const std::string letters = "ABCEILMNORT abcilnort-0123456789\x87\xA0\xA1\x82\x88\xA9\x91";
        std::uniform_int_distribution<int> pickStem(0, 9),
            pickLetter(0, static_cast<int>(letters.size()) - 1), pickLen(0, 16),
            pickNum(INT32_MIN, INT32_MAX), coin(0, 9);
        std::vector<std::string> recs;
        recs.reserve(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            std::string name = stems[pickStem(rng)];
            const int extra = pickLen(rng);
            for (int j = 0; j < extra; ++j)
                name += letters[static_cast<size_t>(pickLetter(rng))];
            if (coin(rng) == 0 && !recs.empty()) // duplicates of an earlier name
                name = recs[static_cast<size_t>(rng() % recs.size())].substr(4);
            name.resize(kNameWidth, ' ');
            int32_t num = coin(rng) == 0 && !recs.empty() ? numbers_[rng() % numbers_.size()] : pickNum(rng);
            if (i == 0)
                num = -1; // sorts last as unsigned
            numbers_.push_back(num);
            std::string rec(4, '\0');
            std::memcpy(rec.data(), &num, 4);
            recs.push_back(rec + name);
        }
        DatLayout layout({{"NUM", 0xF3}, {"NAZ", 0x13}});
        const std::string d = dir_->path().toStdString();
        ASSERT_EQ(WriteDatFile(d + "/big.dat", layout, recs), 0);
        ASSERT_EQ(WriteSezFile(d + "/bignaz.sez", recs, {4, kNameWidth, 192, 10}), 0);
        ASSERT_EQ(WriteSezFile(d + "/bignum.sez", recs, {0, 4, 160, 4}), 0);
        names_.clear();
        for (int i = 0; i < kRecords; ++i)
            names_.push_back({KamFoldUpper(recs[static_cast<size_t>(i)].substr(4)), i + 1});
        std::sort(names_.begin(), names_.end());
        records_ = std::move(recs);
    }
    static void TearDownTestSuite()
    {
        dir_.reset();
        records_.clear();
        names_.clear();
        numbers_.clear();
    }
    std::string Dir() const { return dir_->path().toStdString(); }

    static std::unique_ptr<QTemporaryDir> dir_;
    static std::vector<std::string> records_;
    static std::vector<std::pair<std::string, int>> names_; // (folded name, record) in key order
    static std::vector<int32_t> numbers_;                   // NUM of record i + 1
};

std::unique_ptr<QTemporaryDir> LargeTable::dir_;
std::vector<std::string> LargeTable::records_;
std::vector<std::pair<std::string, int>> LargeTable::names_;
std::vector<int32_t> LargeTable::numbers_;

TEST_F(LargeTable, FindRecordMatchesLowerBoundOnFoldedNames)
{
    TDbTable t;
    OpenTableIn(t, Dir(), "big", "bignaz", 24);
    ASSERT_EQ(DbStatus, 0);
    ASSERT_EQ(t.LeafCount(), kRecords);
    EXPECT_TRUE(t.sez.HasUpper()); // three levels at this size
    EXPECT_EQ(t.sez.win.P, 3);

    std::mt19937 rng(99);
    std::vector<std::string> queries = {"",
                                        "_",
                                        "___________________________",
                                        "A",
                                        "ZZZZZZ",
                                        "para",
                                        "PARA ",
                                        "\x80"
                                        "is",
                                        "ibu-",
                                        std::string(kNameWidth + 5, 'P')};
    for (int i = 0; i < 3000; ++i) {
        const std::string& rec = records_[rng() % records_.size()];
        std::string q = rec.substr(4, 1 + rng() % (kNameWidth + 4)); // up to 24: past the field
        switch (rng() % 4) {
        case 0: // a prefix that exists
            break;
        case 1: // a near miss: last character raised
            q.back() = static_cast<char>(q.back() + 1);
            break;
        case 2: // longer than the field
            q = rec.substr(4) + "XY";
            break;
        default: // lower case of the same
            for (char& c : q)
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c - 'A' + 'a');
        }
        queries.push_back(q);
    }
    std::string buf;
    for (const std::string& q : queries) {
        if (q.empty())
            continue;
        const std::string fq = KamFoldUpper(q);
        const auto it = std::lower_bound(names_.begin(), names_.end(), fq,
                                         [&](const std::pair<std::string, int>& e, const std::string& text) {
                                             return e.first.compare(0, text.size(), text) < 0;
                                         });
        const bool above = it == names_.end();
        const auto& want = above ? names_.back() : *it;
        const int32_t wantStatus = !above && want.first.compare(0, fq.size(), fq) == 0 ? 0 : -20001;
        FindRecord(t, q, buf);
        ASSERT_EQ(DbStatus, wantStatus) << q;
        ASSERT_EQ(t.recNo, want.second) << q;
        ASSERT_EQ(t.Position(), above ? kRecords - 1 : static_cast<int32_t>(it - names_.begin())) << q;
        ASSERT_EQ(buf, records_[static_cast<size_t>(want.second - 1)]) << q;
    }
    FindRecord(t, "", buf);
    EXPECT_EQ(DbStatus, 0);
    EXPECT_EQ(t.recNo, names_.front().second);
    EXPECT_EQ(t.Position(), 0);
}

TEST_F(LargeTable, FindRecordMatchesLowerBoundOnIntegerKeys)
{
    TDbTable t;
    OpenTableIn(t, Dir(), "big", "bignum", 24);
    ASSERT_EQ(DbStatus, 0);
    std::vector<std::pair<uint32_t, int>> sorted;
    for (int i = 0; i < kRecords; ++i)
        sorted.push_back({static_cast<uint32_t>(numbers_[static_cast<size_t>(i)]), i + 1});
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(sorted.back().first, 0xFFFFFFFFu); // -1 sorts last

    std::mt19937 rng(5);
    std::vector<uint32_t> queries = {0, 1, 0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu};
    for (int i = 0; i < 3000; ++i) {
        const uint32_t v = sorted[rng() % sorted.size()].first;
        queries.push_back(i % 2 ? v : v + 1);
    }
    std::string buf;
    for (uint32_t q : queries) {
        std::string text(4, '\0');
        std::memcpy(text.data(), &q, 4); // little-endian bytes
        auto it = std::lower_bound(sorted.begin(), sorted.end(), std::make_pair(q, 0));
        const bool above = it == sorted.end();
        const auto& want = above ? sorted.back() : *it;
        FindRecord(t, text, buf);
        ASSERT_EQ(DbStatus, 0) << q; // integer keys stop at the first entry not below
        ASSERT_EQ(t.recNo, want.second) << q;
        ASSERT_EQ(t.Position(), above ? kRecords - 1 : static_cast<int32_t>(it - sorted.begin())) << q;
        ASSERT_EQ(buf, records_[static_cast<size_t>(want.second - 1)]);
    }
    std::string key;
    IndexEntryKey(t.sez, key, kRecords - 1);
    EXPECT_EQ(key, std::string("\xFF\xFF\xFF\xFF", 4));
}

TEST_F(LargeTable, ReadByOrderWalksTheKeyOrderBothWays)
{
    TDbTable t;
    OpenTableIn(t, Dir(), "big", "bignaz", 0);
    ASSERT_EQ(DbStatus, 0);
    std::string buf;
    for (int32_t pos = 0; pos < kRecords; pos += 7) {
        ReadByOrder(t, pos, buf);
        ASSERT_EQ(DbStatus, 0);
        ASSERT_EQ(t.recNo, names_[static_cast<size_t>(pos)].second) << pos;
    }
    for (int32_t pos = kRecords - 1; pos >= kRecords - 500; --pos) {
        ReadByOrder(t, pos, buf);
        ASSERT_EQ(t.recNo, names_[static_cast<size_t>(pos)].second) << pos;
    }
    // One step at a time (the walk that fetches ahead): the same records,
    // and the look-ahead names the index's record or nothing.
    int32_t peeked = 0;
    for (int32_t pos = 1000; pos < 1300; ++pos) {
        ReadByOrder(t, pos, buf);
        ASSERT_EQ(DbStatus, 0);
        ASSERT_EQ(t.recNo, names_[static_cast<size_t>(pos)].second) << pos;
        std::string direct;
        ReadRecord(t.dat, t.recNo, direct);
        ASSERT_EQ(buf, direct) << pos;
        if (const int32_t ahead = PeekLeafRecNo(t.sez, pos + 3); ahead != 0) {
            ASSERT_EQ(ahead, names_[static_cast<size_t>(pos + 3)].second) << pos;
            ++peeked;
        }
    }
    EXPECT_GT(peeked, 200);
    EXPECT_EQ(PeekLeafRecNo(t.sez, -1), 0);
    EXPECT_EQ(PeekLeafRecNo(t.sez, kRecords + 5), 0);
    for (int32_t pos : {-1, kRecords}) {
        ReadByOrder(t, pos, buf);
        EXPECT_EQ(DbStatus, -20003);
        EXPECT_EQ(buf[0], '\0');
    }
    std::string key;
    IndexEntryKey(t.sez, key, 12345);
    EXPECT_EQ(key, names_[12345].first.substr(0, 8)); // 6 stored bytes: 8 characters
}

} // namespace

namespace {

// ---------------------------------------------------------------------------
// Damaged indexes: whatever the bytes, no read past a buffer, and every
// failure is reported through the hook.

int tHookCalls = 0;
void CountingHook(const TFileId&, int32_t, uint16_t)
{
    ++tHookCalls;
}

TEST(DamagedIndex, RandomCorruptionIsRejectedCleanly)
{
    std::mt19937 rng(11);
    std::vector<std::string> recs;
    for (int i = 0; i < 6000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%c%c%cNAME %05u", 'A' + int(rng() % 26), 'A' + int(rng() % 26),
                      'A' + int(rng() % 26), unsigned(rng() % 100000));
        std::string rec = name;
        rec.resize(20, ' ');
        recs.push_back(rec);
    }
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    DatLayout layout({{"NAZ", 0x13}});
    ASSERT_EQ(WriteDatFile(d + "/t.dat", layout, recs), 0);
    const std::string good = BuildSezFile(recs, {0, 20, 192, 10});
    ASSERT_NE(good[7] & 0x04, 0); // has an upper level
    const size_t levelsEnd = static_cast<size_t>(((good[4] & 0xFF) | ((good[5] & 0x3F) << 8)) * 9);

    ThreadDbErrorHook = &CountingHook;
    for (int round = 0; round < 150; ++round) {
        std::string bad = good;
        const int damage = static_cast<int>(rng() % 4);
        if (damage == 0) {
            bad.resize(rng() % bad.size());
        } else {
            // Mostly the header, upper and middle levels, where pointers steer the search.
            const int flips = 1 + static_cast<int>(rng() % 4);
            for (int f = 0; f < flips; ++f) {
                const size_t at = damage == 1   ? rng() % 8
                                  : damage == 2 ? rng() % levelsEnd
                                                : rng() % bad.size();
                bad[at] = static_cast<char>(rng());
            }
        }
        std::ofstream(d + "/tnaz.sez", std::ios::binary | std::ios::trunc) << bad; // no fsync: fast
        TDbTable t;
        tHookCalls = 0;
        OpenTableIn(t, d, "t", "tnaz", 20);
        if (DbStatus > 5) {
            EXPECT_GT(tHookCalls, 0) << round;
        }
        std::string buf;
        for (int q = 0; q < 20; ++q) {
            tHookCalls = 0;
            const std::string text = recs[rng() % recs.size()].substr(0, 1 + rng() % 12);
            FindRecord(t, text, buf);
            if (DbStatus > 0) {
                EXPECT_GT(tHookCalls, 0) << round << " " << text;
            }
            tHookCalls = 0;
            ReadByOrder(t, static_cast<int32_t>(rng() % 7000) - 500, buf);
            if (DbStatus > 0) {
                EXPECT_GT(tHookCalls, 0) << round;
            }
        }
    }
    ThreadDbErrorHook = nullptr;
}

} // namespace
