#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdio>
#include <thread>

#include "datastore/sign_sets.h"
#include "platform/fs.h"
#include "tests/support/bytes.h"

namespace {

using test_support::Bytes;

// "kl.sgn" laid out by hand: three sets of "kl" and one of "atc" in between.
std::string HandMadeFile()
{
    std::string f = Bytes({'B', '6', 0, 0});
    // kl / Actual: 10 bits (records 1, 3, 6, 10), texts "abc" and "Z", flags 0x03.
    f += Bytes({'k', 'l', 0, 0, 0, 0, 0, 0, 'A', 'c', 't',  'u',  'a',  'l', 0,   0,   10,
                0,   0,   0, 0, 0, 0, 0, 3, 0,   1,   0x03, 0x25, 0x02, 'a', 'b', 'c', 'Z'});
    // kl / WrongSz: 12 bits, no texts, flags 0x05.
    f += Bytes({'k', 'l', 0, 0, 0, 0, 0, 0, 'W', 'r', 'o', 'n', 'g',  'S',  'z',
                0,   12,  0, 0, 0, 0, 0, 0, 0,   0,   0,   0,   0x05, 0xFF, 0x0F});
    // atc / Actual: another table's set of the same name; skipped.
    f += Bytes({'a', 't', 'c', 0, 0, 0, 0, 0, 'A', 'c', 't', 'u', 'a',  'l',  0,
                0,   10,  0,   0, 0, 0, 0, 0, 0,   0,   0,   0,   0x01, 0xFF, 0x03});
    // kl / Extra: not declared; skipped with its texts.
    f += Bytes({'k', 'l', 0, 0, 0, 0, 0, 0, 'E', 'x', 't', 'r',  'a',  0,    0,   0,
                10,  0,   0, 0, 0, 0, 0, 0, 2,   0,   0,   0x01, 0x00, 0x00, 'x', 'y'});
    return f;
}

class SignSetsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path().toStdString() + "/";
        first = AddSignSet(sets, "kl", "Actual  WrongSz Missing");
        AddSignSet(sets, "atc", "noEmpty");
    }
    void Write(const std::string& content) { ASSERT_EQ(WriteFileAtomic(folder + "kl.sgn", content), 0); }
    TSignSet Entry(int k) const { return sets.Copy(static_cast<size_t>(first + k)); }

    QTemporaryDir dir;
    std::string folder;
    TSignSetArray sets;
    int first = 0;
};

} // namespace

TEST_F(SignSetsTest, DeclaringSplitsTheNamesIntoSlots)
{
    ASSERT_EQ(sets.Count(), 4u);
    EXPECT_EQ(Entry(0).NameText(), "Actual");
    EXPECT_EQ(Entry(1).NameText(), "WrongSz");
    EXPECT_EQ(Entry(2).NameText(), "Missing");
    EXPECT_EQ(Entry(2).group, "kl");
    EXPECT_EQ(Entry(2).flags, SignSetFlags::Declared);
    EXPECT_EQ(AddSignSet(sets, "kk", ""), 4);
    EXPECT_EQ(sets.Count(), 5u);
    EXPECT_EQ(sets.Find("kl", "Missing"), first + 2);
    EXPECT_EQ(sets.Find("atc", "Missing"), -1);
}

TEST_F(SignSetsTest, LoadFillsDeclaredSetsAndFlagsTheRest)
{
    Write(HandMadeFile());
    ASSERT_EQ(LoadSignSets(sets, folder, "kl", 10), 0);

    const TSignSet actual = Entry(0);
    EXPECT_EQ(actual.flags, 0x03);
    EXPECT_EQ(actual.bitCount, 10);
    EXPECT_EQ(actual.bits, (TBits{0x25, 0x02}));
    EXPECT_EQ(actual.text1, "abc");
    EXPECT_EQ(actual.text2, "Z");
    EXPECT_TRUE(BitTest(actual.bits, 10 - 1));

    const TSignSet wrong = Entry(1);
    EXPECT_EQ(wrong.flags, 0x05 | SignSetFlags::WrongSize);
    EXPECT_EQ(wrong.bits, (TBits{0xFF, 0x0F}));

    const TSignSet missing = Entry(2);
    EXPECT_EQ(missing.flags, SignSetFlags::Absent);
    EXPECT_TRUE(missing.bits.empty());

    // The atc group was not touched.
    EXPECT_EQ(sets.Copy(static_cast<size_t>(first + 3)).flags, SignSetFlags::Declared);
}

TEST_F(SignSetsTest, AGroupIsReadOnceUntilCleared)
{
    Write(HandMadeFile());
    ASSERT_EQ(LoadSignSets(sets, folder, "kl", 10), 0);
    ASSERT_EQ(std::remove((folder + "kl.sgn").c_str()), 0);
    EXPECT_EQ(LoadSignSets(sets, folder, "kl", 10), 0) << "loaded already: the file is not read";
    EXPECT_EQ(Entry(0).bits, (TBits{0x25, 0x02}));

    ClearSignSets(sets, first, first + 2);
    EXPECT_EQ(Entry(0).flags, SignSetFlags::Declared);
    EXPECT_TRUE(Entry(0).bits.empty());
    EXPECT_EQ(LoadSignSets(sets, folder, "kl", 10), IoResult::NotFound) << "cleared: read again";

    ClearSignSets(sets, 0, -2);
    EXPECT_EQ(sets.Count(), 0u);
    EXPECT_EQ(LoadSignSets(sets, folder, "kl", 10), SignSetStatus::NoGroup);
}

TEST_F(SignSetsTest, DamagedFilesReportTheirStatusAndAreRetried)
{
    const std::string good = HandMadeFile();
    std::string negative = good;
    negative[4 + 34 + 16 + 3] = static_cast<char>(0x80); // WrongSz: bit count below 0
    std::string huge = good.substr(0, 4 + 34);
    huge += good.substr(4 + 34, 16) + Bytes({0xFF, 0xFF, 0xFF, 0x7F}) + good.substr(4 + 34 + 20, 8);
    std::string badMagic = good;
    badMagic[1] = '5';

    struct Case {
        const char* what;
        std::string content;
        int status;
        bool actualRead;
    } cases[] = {
        {"cut inside the second bitmap", good.substr(0, 4 + 34 + 29), IoResult::ShortRead, true},
        {"cut inside a descriptor", good.substr(0, 4 + 34 + 10), IoResult::ShortRead, true},
        {"cut inside a text", good.substr(0, 4 + 31), IoResult::ShortRead, false},
        {"negative bit count", negative, SignSetStatus::BadMagic, true},
        {"bit count far beyond the file", huge, IoResult::ShortRead, true},
        {"wrong magic", badMagic, SignSetStatus::BadMagic, false},
        {"shorter than the magic", "B6", IoResult::ShortRead, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearSignSets(sets, 0, -1);
        Write(c.content);
        EXPECT_EQ(LoadSignSets(sets, folder, "kl", 10), c.status);
        if (c.actualRead) {
            EXPECT_EQ(Entry(0).flags, 0x03);
            EXPECT_EQ(Entry(0).bits, (TBits{0x25, 0x02}));
            EXPECT_EQ(Entry(1).flags, SignSetFlags::Absent);
            EXPECT_EQ(Entry(2).flags, SignSetFlags::Absent);
        }
        // The failed load left the group unloaded: a mended file is read.
        Write(good);
        EXPECT_EQ(LoadSignSets(sets, folder, "kl", 10), 0);
        EXPECT_EQ(Entry(1).flags, 0x05 | SignSetFlags::WrongSize);
    }
    EXPECT_EQ(LoadSignSets(sets, folder, "zz", 10), SignSetStatus::NoGroup);
}

TEST_F(SignSetsTest, DeclaringWhileLoadingKeepsEntriesInPlace)
{
    Write(HandMadeFile());
    TSignSet* actual = nullptr;
    {
        std::lock_guard lock(sets.Mutex());
        actual = sets.At(static_cast<size_t>(first));
    }
    std::thread declarer([this] {
        for (int i = 0; i < 200; ++i)
            AddSignSet(sets, "kk", "MainRec PreferN ");
    });
    for (int i = 0; i < 20; ++i) {
        ClearSignSets(sets, first, first + 2);
        ASSERT_EQ(LoadSignSets(sets, folder, "kl", 10), 0);
    }
    declarer.join();
    EXPECT_EQ(sets.Count(), 4u + 400u);
    std::lock_guard lock(sets.Mutex());
    EXPECT_EQ(actual, sets.At(static_cast<size_t>(first)));
    EXPECT_EQ(actual->bits, (TBits{0x25, 0x02}));
}
