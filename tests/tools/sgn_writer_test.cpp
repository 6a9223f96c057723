#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "datastore/sign_sets.h"
#include "platform/fs.h"
#include "tests/support/bytes.h"
#include "writers/sgn_writer.h"

namespace {

using test_support::Bytes;

} // namespace

TEST(SignSetWriter, MatchesAFileLaidOutByHand)
{
    const std::vector<SignSetSpec> specs = {
        {"kl", "Actual", 10, {0x25, 0x02}, "abc", "Z", 0x01},
        // Bits beyond the count are dropped, a short bitmap is padded.
        {"kl", "Stocked", 12, {0xFF, 0xFF, 0xFF}, "", "", 0x01},
        {"kl", "OnePack", 9, {0x80}, std::string(300, 'd'), "", 0x01},
    };
    std::string expected = Bytes({'B', '6', 0, 0});
    expected += Bytes({'k', 'l', 0, 0, 0, 0, 0, 0, 'A', 'c', 't',  'u',  'a',  'l', 0,   0,   10,
                       0,   0,   0, 0, 0, 0, 0, 3, 0,   1,   0x01, 0x25, 0x02, 'a', 'b', 'c', 'Z'});
    expected += Bytes({'k', 'l', 0, 0, 0, 0, 0, 0, 'S', 't', 'o', 'c', 'k',  'e',  'd',
                       0,   12,  0, 0, 0, 0, 0, 0, 0,   0,   0,   0,   0x01, 0xFF, 0x0F});
    expected += Bytes({'k', 'l', 0, 0, 0, 0, 0, 0, 'O', 'n',  'e',  'P', 'a',  'c',  'k',
                       0,   9,   0, 0, 0, 0, 0, 0, 0,   0x2C, 0x01, 0,   0x01, 0x80, 0x00});
    expected += std::string(300, 'd');
    EXPECT_EQ(BuildSignSetFile(specs), expected);
}

TEST(SignSetWriter, RefusesWhatTheFormatCannotCarry)
{
    EXPECT_THROW(BuildSignSetFile({}), std::invalid_argument);
    EXPECT_THROW(BuildSignSetFile({{"kl", "TooLongName", 1, {}, "", "", 1}}), std::invalid_argument);
    EXPECT_THROW(BuildSignSetFile({{"kl", "A", -1, {}, "", "", 1}}), std::invalid_argument);
    EXPECT_THROW(BuildSignSetFile({{"kl", "A", 1, {}, "", std::string(256, 'x'), 1}}), std::invalid_argument);
    EXPECT_THROW(BuildSignSetFile({{"kl", "A", 1, {}, "", "", 0x40}}), std::invalid_argument);
    // A bit count of 0 still has a one-byte bitmap.
    EXPECT_EQ(BuildSignSetFile({{"kl", "A", 0, {0xFF}, "", "", 1}}).size(), 4u + 28u + 1u);
}

TEST(SignSetWriter, WrittenSetsLoadBack)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    TBits actual;
    BitsInitAll(actual, 1000);
    BitClear(actual, 17);
    ASSERT_EQ(WriteSignSetFile(folder + "atc.sgn", {{"atc", "noEmpty", 1000, actual, "ATC", "", 1},
                                                    {"atc", "Level1", 1000, {0x01}, "", "", 1}}),
              0);
    TSignSetArray sets;
    AddSignSet(sets, "atc", "noEmpty Level1");
    ASSERT_EQ(LoadSignSets(sets, folder, "atc", 1000), 0);
    EXPECT_EQ(sets.Copy(0).bits, actual);
    EXPECT_EQ(sets.Copy(0).text1, "ATC");
    EXPECT_EQ(sets.Copy(1).bits.size(), 125u);
    EXPECT_EQ(BitsCount(sets.Copy(1).bits, 0, 999), 1);
}
