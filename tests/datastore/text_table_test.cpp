#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "datastore/run_log.h"
#include "datastore/text_table.h"
#include "platform/fs.h"

namespace {

using namespace std::string_literals;

// A plain table laid out byte by byte:
//   [Sec1] A=alpha  _=under  B=beta      [Sec2] A=second
const std::string kPlain = "M6"s + "\x00\x01"s + "\x38\x00"s + "\x00\x00\x00\x00"s +
                           // offset 10: section Sec1, 30 bytes
                           "\x1E\x00"s + "\x04Sec1"s +
                           "\x01"
                           "A"
                           "\x05"
                           "alpha"s +
                           "\x01"
                           "_"
                           "\x05"
                           "under"s +
                           "\x01"
                           "B"
                           "\x04"
                           "beta"s +
                           // offset 40: section Sec2, 16 bytes
                           "\x10\x00"s + "\x04Sec2"s +
                           "\x01"
                           "A"
                           "\x06"
                           "second"s;

// An extended table (first section "X__"): X = 1 holds a 2-byte value, X = 5
// a short string of 5, X = 0 one byte, X = 3 four bytes.
//   [X__] k2=ab  k5=hello  _=u      [Y] k4=abcd
const std::string kExtended = "M6"s + "\x00\x01"s + "\x30\x00"s + "\x00\x00\x00\x00"s + "\x1A\x00"s +
                              "\x03X__"s +
                              "\x02k2\x01"
                              "ab"s +
                              "\x02k5\x05\x05hello"s + "\x01_\x00u"s + "\x0C\x00"s + "\x01Y"s +
                              "\x02k4\x03"
                              "abcd"s;

TextTablePtr Load(const std::string& bytes)
{
    TextTablePtr t;
    EXPECT_GE(LoadTextTableFromBytes(t, bytes), 256u);
    return t;
}

std::string WriteTemp(const QTemporaryDir& dir, const std::string& name, const std::string& bytes)
{
    std::string path = dir.path().toStdString() + "/" + name;
    EXPECT_EQ(WriteFileAtomic(path, bytes), 0);
    return path;
}

} // namespace

TEST(TextTable, HandLaidTablesHaveTheirDeclaredSizes)
{
    ASSERT_EQ(kPlain.size(), 0x38u);
    ASSERT_EQ(kExtended.size(), 0x30u);
}

TEST(TextTable, PlainTableLookups)
{
    TextTablePtr t = Load(kPlain);
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->Extended());
    EXPECT_EQ(t->Word(), 256);
    EXPECT_EQ(LookupText(t, "Sec1", "A"), "alpha");
    EXPECT_EQ(LookupText(t, "Sec1", "B"), "beta");
    EXPECT_EQ(LookupText(t, "Sec2", "A"), "second");
    // An empty key and a key of one blank read the key "_".
    EXPECT_EQ(LookupText(t, "Sec1", ""), "under");
    EXPECT_EQ(LookupText(t, "Sec1", " "), "under");
    // Names are compared exactly.
    EXPECT_EQ(LookupText(t, "sec1", "A"), "!! sec1.A");
    EXPECT_EQ(LookupText(t, "Sec1", "a"), "!! Sec1.a");
    EXPECT_EQ(LookupText(t, "Sec", "A"), "!! Sec.A");
    EXPECT_EQ(LookupText(t, "Sec2", "B"), "!! Sec2.B");
}

TEST(TextTable, ExtendedTableLookups)
{
    TextTablePtr t = Load(kExtended);
    ASSERT_TRUE(t);
    EXPECT_TRUE(t->Extended());
    EXPECT_EQ(LookupText(t, "X__", "k2"), "ab");
    EXPECT_EQ(LookupText(t, "X__", "k5"), "hello");
    EXPECT_EQ(LookupText(t, "X__", ""), "u");
    EXPECT_EQ(LookupText(t, "Y", "k4"), "abcd");
    uint16_t x1 = 0;
    // Offsets are file offsets of the value, after the extra byte.
    EXPECT_EQ(FindTextEntry(t, "X__", "k2", &x1), 20);
    EXPECT_EQ(x1, 2);
    EXPECT_EQ(FindTextEntry(t, "X__", "k5", &x1), 26);
    EXPECT_EQ(x1, 6);
    EXPECT_EQ(FindTextEntry(t, "X__", "nope", &x1), 0);
}

TEST(TextTable, GetAndFindReportOffsetsAndLeaveMissingUntouched)
{
    TextTablePtr t = Load(kPlain);
    std::string out = "kept";
    EXPECT_EQ(GetTextEntry(t, "Sec1", "A", out), 19);
    EXPECT_EQ(out, "alpha");
    out = "kept";
    EXPECT_EQ(GetTextEntry(t, "Sec1", "", out), 0); // no "_" substitution here
    EXPECT_EQ(GetTextEntry(t, "Nope", "A", out), 0);
    EXPECT_EQ(out, "kept");
    uint16_t x1 = 0;
    EXPECT_EQ(FindTextEntry(t, "Sec2", "A", &x1), 49);
    EXPECT_EQ(x1, kPlainTableExtra);
    EXPECT_EQ(FindTextEntry(TextTablePtr{}, "Sec2", "A"), 0);
}

TEST(TextTable, NilTableAndLongNamesGiveTheMissingText)
{
    EXPECT_EQ(LookupText(TextTablePtr{}, "S", "K"), "!! S.K");
    EXPECT_EQ(LookupText(TextTablePtr{}, "S", ""), "!! S._");
    std::string longKey(300, 'k');
    std::string missing = LookupText(Load(kPlain), "Sec1", longKey);
    EXPECT_EQ(missing.size(), 255u);
    EXPECT_EQ(missing.substr(0, 9), "!! Sec1.k");
}

TEST(TextTable, AlternatingSectionsAndRunsOfKeysGiveRightValues)
{
    TextTablePtr t = Load(kPlain);
    // Current/previous cursor exchange in every order.
    const struct {
        const char* s;
        const char* k;
        const char* v;
    } steps[] = {
        {"Sec1", "B", "beta"},      {"Sec2", "A", "second"}, {"Sec1", "A", "alpha"},
        {"Sec1", "A", "alpha"},     {"Sec2", "A", "second"}, {"Sec1", "B", "beta"},
        {"Sec2", "X", "!! Sec2.X"}, {"Sec1", "_", "under"},  {"Nope", "A", "!! Nope.A"},
        {"Sec2", "A", "second"},    {"Sec1", "B", "beta"},
    };
    for (const auto& s : steps)
        EXPECT_EQ(LookupText(t, s.s, s.k), s.v) << s.s << "." << s.k;
}

TEST(TextTable, SectionNameIsNeverReadAsAKey)
{
    // After a move to a section its entry cursor rests on the section's name;
    // a key spelled like the section must not match that name.
    TextTablePtr t = Load(kPlain);
    EXPECT_EQ(LookupText(t, "Sec2", "Sec2"), "!! Sec2.Sec2");
    EXPECT_EQ(LookupText(t, "Sec1", "A"), "alpha");
    EXPECT_EQ(LookupText(t, "Sec2", "Sec2"), "!! Sec2.Sec2");
}

TEST(TextTable, EnumerationStopsAtItsSectionsEnd)
{
    for (const std::string* bytes : {&kPlain, &kExtended}) {
        TextTablePtr t = Load(*bytes);
        const bool ext = bytes == &kExtended;
        const char* sec = ext ? "X__" : "Sec1";
        std::vector<std::pair<std::string, std::string>> got;
        std::string key, value;
        while (NextTextEntry(t, sec, key, value))
            got.emplace_back(key, value);
        std::vector<std::pair<std::string, std::string>> want =
            ext ? std::vector<std::pair<std::string, std::string>>{{"k2", "ab"}, {"k5", "hello"}, {"_", "u"}}
                : std::vector<std::pair<std::string, std::string>>{
                      {"A", "alpha"}, {"_", "under"}, {"B", "beta"}};
        EXPECT_EQ(got, want);
        // From a known first key, and past the last one.
        key = want[0].first;
        ASSERT_NE(NextTextEntry(t, sec, key, value), 0);
        EXPECT_EQ(key, want[1].first);
        EXPECT_EQ(value, want[1].second);
        // A lookup between two steps does not disturb the walk.
        EXPECT_EQ(LookupText(t, ext ? "Y" : "Sec2", ext ? "k4" : "A"), ext ? "abcd" : "second");
        ASSERT_NE(NextTextEntry(t, sec, key, value), 0);
        EXPECT_EQ(value, want[2].second);
        key = want[2].first;
        value = "untouched";
        EXPECT_EQ(NextTextEntry(t, sec, key, value), 0);
        EXPECT_EQ(key, want[2].first);
        EXPECT_EQ(value, "untouched");
        key = "missing";
        EXPECT_EQ(NextTextEntry(t, sec, key, value), 0);
    }
}

TEST(TextTable, LoaderResults)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto withWord = [](std::string b, size_t at, unsigned v) {
        b[at] = static_cast<char>(v & 0xFF);
        b[at + 1] = static_cast<char>(v >> 8);
        return b;
    };
    std::string big = kPlain;
    big.resize(65501, '\0');
    big = withWord(big, 4, 65501);
    const struct Case {
        const char* name;
        std::string bytes;
        uint16_t result;
    } cases[] = {
        {"ok", kPlain, 256},
        {"stamp", withWord(kPlain, 2, 0x0641), 0x0641},
        {"V6", "V" + kPlain.substr(1), 256},
        {"size word wrong", withWord(kPlain, 4, 0x39), 255},
        {"truncated", kPlain.substr(0, 40), 255},
        {"bad magic", "M7" + kPlain.substr(2), 1},
        {"65501 bytes", big, 1},
        {"word 255", withWord(kPlain, 2, 255), 1},
        {"word 0", withWord(kPlain, 2, 0), 1},
        {"shorter than the header", "M6\x00\x01\x08\x00\x00\x00"s, 3},
        {"empty file", "", 3},
    };
    for (const Case& c : cases) {
        std::string path = WriteTemp(dir, "t.ces", c.bytes);
        TextTablePtr t = Load(kPlain); // a failed load must not leave this in place
        uint16_t r = LoadTextTable(t, path);
        EXPECT_EQ(r, c.result) << c.name;
        EXPECT_EQ(t != nullptr, r >= 256) << c.name;
        TextTablePtr m;
        EXPECT_EQ(LoadTextTableFromBytes(m, c.bytes), c.result) << c.name;
    }
    TextTablePtr t;
    EXPECT_EQ(LoadTextTable(t, dir.path().toStdString() + "/none.ces"), TextTableResult::OpenFailed);
    EXPECT_EQ(TextTableIoStatus(), IoResult::NotFound);
    EXPECT_FALSE(t);
}

TEST(TextTable, HeaderOnlyAndLargestTablesAreValid)
{
    TextTablePtr t;
    ASSERT_EQ(LoadTextTableFromBytes(t, "M6\x00\x01\x0A\x00\x00\x00\x00\x00"s), 256);
    EXPECT_EQ(LookupText(t, "S", "K"), "!! S.K");
    std::string k, v;
    EXPECT_EQ(NextTextEntry(t, "S", k, v), 0);

    // 65,500 bytes: one section of 255-byte values, then shorter ones to fill.
    std::string b = "M6\x00\x01\x00\x00\x00\x00\x00\x00"s;
    std::string sec = "\x00\x00\x01S"s;
    int n = 0;
    auto remaining = [&] { return 65500 - b.size() - sec.size(); };
    while (remaining() >= 300) {
        std::string key = std::to_string(n++);
        sec += static_cast<char>(key.size()) + key + "\xFF"s + std::string(255, 'v');
    }
    char last = 'a';
    std::string lastValue;
    while (remaining() > 0) {
        size_t v = std::min<size_t>(255, remaining() - 3);
        if (remaining() - 3 - v > 0 && remaining() - 3 - v < 3)
            v -= 3;
        lastValue = std::string(v, last);
        sec += "\x01"s + last++ + static_cast<char>(v) + lastValue;
    }
    sec[0] = static_cast<char>(sec.size() & 0xFF);
    sec[1] = static_cast<char>(sec.size() >> 8);
    b += sec;
    ASSERT_EQ(b.size(), 65500u);
    b[4] = static_cast<char>(65500 & 0xFF);
    b[5] = static_cast<char>(65500 >> 8);
    ASSERT_EQ(LoadTextTableFromBytes(t, b), 256);
    EXPECT_EQ(LookupText(t, "S", std::string(1, last - 1)), lastValue);
    EXPECT_EQ(LookupText(t, "S", "0"), std::string(255, 'v'));
}

TEST(TextTable, NameIsFoundInAnyLetterCase)
{
    QTemporaryDir dir;
    WriteTemp(dir, "QEVW.CES", kPlain);
    TextTablePtr t;
    EXPECT_EQ(LoadTextTable(t, dir.path().toStdString() + "/qevw.ces"), 256);
    EXPECT_EQ(LookupText(t, "Sec2", "A"), "second");
}

TEST(TextTable, DamagedTablesReadAsMissingWithoutLeavingTheBlock)
{
    auto patched = [](size_t at, std::string bytes) {
        std::string b = kPlain;
        b.replace(at, bytes.size(), bytes);
        return b;
    };
    const struct Case {
        const char* name;
        std::string bytes;
        bool sec1Readable; // the first section comes before the damage
    } cases[] = {
        {"first section length 0", patched(10, "\x00\x00"s), false},
        {"first section length 2", patched(10, "\x02\x00"s), false},
        {"first section past the end", patched(10, "\xFF\x00"s), false},
        {"second section length 0", patched(40, "\x00\x00"s), true},
        {"second section past the end", patched(40, "\x11\x00"s), true},
        {"second section name past its end", patched(42, "\x20"s), true},
        {"key past its section", patched(47, "\x30"s), true},
        {"value past its section", patched(49, "\x07"s), true},
    };
    for (const Case& c : cases) {
        TextTablePtr t;
        ASSERT_EQ(LoadTextTableFromBytes(t, c.bytes), 256) << c.name;
        EXPECT_EQ(LookupText(t, "Sec2", "A"), "!! Sec2.A") << c.name;
        EXPECT_EQ(LookupText(t, "Nope", "A"), "!! Nope.A") << c.name;
        EXPECT_EQ(LookupText(t, "Sec1", "B"), c.sec1Readable ? "beta" : "!! Sec1.B") << c.name;
        std::string k, v;
        EXPECT_EQ(NextTextEntry(t, "Sec2", k, v), 0) << c.name;
        k.clear();
        int n = 0;
        while (NextTextEntry(t, "Sec1", k, v) && n < 10)
            ++n;
        EXPECT_EQ(n, c.sec1Readable ? 3 : 0) << c.name;
    }
}

TEST(TextTable, AnEntryWithoutAKeyEndsTheWalkAndIsReportedOnce)
{
    // One damaged length byte can leave a well-formed entry with an empty
    // key; an empty key is also how a walk starts.  Sec1's "_" entry becomes
    // such an entry: [Sec1] A=alpha  ""=xunder  B=beta.
    std::string b = kPlain;
    b.replace(25, 8, "\x00\x06xunder"s);
    ASSERT_EQ(b.size(), kPlain.size());
    TextTablePtr t = Load(b);
    ClearRunLog();
    for (int round = 0; round < 2; ++round) {
        std::vector<std::string> keys;
        std::string k, v;
        while (NextTextEntry(t, "Sec1", k, v) && keys.size() < 10)
            keys.push_back(k);
        EXPECT_EQ(keys, std::vector<std::string>{"A"}) << round;
    }
    // Lookups around the damage still work.
    EXPECT_EQ(LookupText(t, "Sec1", "B"), "beta");
    EXPECT_EQ(LookupText(t, "Sec2", "A"), "second");
    const std::string log = RunLogText();
    EXPECT_NE(log.find("Sec1"), std::string::npos) << log;
    EXPECT_EQ(log.find("Sec1"), log.rfind("Sec1")) << "reported more than once:\n" << log;
    ClearRunLog();
}

TEST(TextTable, RandomlyDamagedTablesNeverHangOrReadOutside)
{
    std::mt19937 rng(12345);
    const std::string* sources[] = {&kPlain, &kExtended};
    const char* sections[] = {"Sec1", "Sec2", "X__", "Y", ""};
    const char* keys[] = {"A", "B", "_", "k2", "k5", "k4", ""};
    for (int round = 0; round < 3000; ++round) {
        std::string b = *sources[round % 2];
        int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i)
            b[6 + rng() % (b.size() - 6)] = static_cast<char>(rng());
        TextTablePtr t;
        if (LoadTextTableFromBytes(t, b) < 256)
            continue;
        for (const char* s : sections) {
            for (const char* k : keys)
                LookupText(t, s, k);
            std::string k, v;
            int n = 0;
            while (NextTextEntry(t, s, k, v))
                ASSERT_LT(++n, 100) << "enumeration does not end";
        }
    }
}

TEST(TextTable, TwoThreadsOnAlternatingSectionsGetOnlyRightValues)
{
    TextTablePtr t = Load(kPlain);
    std::atomic<int> wrong{0};
    auto worker = [&](bool firstSec1) {
        for (int i = 0; i < 20000; ++i) {
            bool sec1 = ((i & 1) == 0) == firstSec1;
            std::string v = sec1 ? LookupText(t, "Sec1", (i & 2) ? "A" : "B") : LookupText(t, "Sec2", "A");
            const char* want = sec1 ? ((i & 2) ? "alpha" : "beta") : "second";
            if (v != want)
                ++wrong;
            if (i % 97 == 0) {
                std::string k, val;
                int n = 0;
                while (NextTextEntry(t, "Sec1", k, val))
                    ++n;
                if (n != 3)
                    ++wrong;
            }
        }
    };
    std::thread a(worker, true);
    std::thread b(worker, false);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(TextTable, ReplacingASlotWhileAnotherThreadReadsIsSafe)
{
    TextTableSlot slot;
    TextTablePtr first = Load(kPlain);
    std::string second = kPlain;
    second.replace(50, 6, "SECOND");
    TextTablePtr other = Load(second);
    slot.Set(first);
    first.reset();
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::thread reader([&] {
        while (!stop.load()) {
            std::string v = LookupText(slot, "Sec2", "A");
            if (v != "second" && v != "SECOND" && v != "!! Sec2.A")
                ++wrong;
        }
    });
    for (int i = 0; i < 2000; ++i) {
        if (i % 3 == 2)
            FreeTextTable(slot);
        else
            slot.Set(i % 3 ? other : Load(kPlain));
    }
    stop = true;
    reader.join();
    EXPECT_EQ(wrong.load(), 0);
    FreeTextTable(slot);
    EXPECT_FALSE(slot);
    EXPECT_EQ(LookupText(slot, "Sec2", "A"), "!! Sec2.A");
}
