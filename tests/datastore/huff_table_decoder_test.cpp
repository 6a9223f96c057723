#include <gtest/gtest.h>

#include <random>
#include <string>

#include "datastore/huff_table_decoder.h"
#include "datastore/packed_text.h"
#include "tests/support/huffman_chain.h"
#include "writers/x6_writer.h"

// The table decoder must give HuffDecode's bytes and result on every input,
// sound or damaged, so these tests only ever compare the two.

namespace {

void ExpectSameAsTreeWalk(const HuffTables& tables, const HuffTableDecoder& fast, std::string_view packed,
                          uint32_t packedLength, uint32_t textLength, const std::string& what)
{
    for (UnpackLengths mode : {UnpackLengths::PackedWithinText, UnpackLengths::AnyWithinSlack}) {
        std::string slow, quick;
        const int a = UnpackRecordTextByTreeWalk(packed, packedLength, textLength, slow, tables, mode);
        const int b = fast.Unpack(packed, packedLength, textLength, quick, mode);
        ASSERT_EQ(a, b) << what;
        ASSERT_EQ(slow, quick) << what << " (" << slow.size() << " vs " << quick.size() << " bytes)";
    }
}

std::string SampleText(std::mt19937& rng, const std::vector<std::string>& samples, size_t length)
{
    std::string t;
    while (t.size() < length) {
        const std::string& s = samples[rng() % samples.size()];
        const size_t from = rng() % s.size();
        t += s.substr(from, 1 + rng() % 400);
    }
    // The encoder refuses a text ending in 0 or holding "0 0" near its end.
    for (char& c : t)
        if (c == 0)
            c = ' ';
    return t;
}

} // namespace

TEST(TextSearchDecoder, SoundTextsDecodeAsTheTreeWalkDoes)
{
    const std::vector<std::string> samples = LoadHuffmanSamples(QEVW_SOURCE_DIR "/tools/huffman_sample");
    ASSERT_FALSE(samples.empty());
    const HuffEncoder encoder;
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) {
        // Short texts, texts of a few KB and one beyond 64 KB (wide lengths).
        const size_t length = i == 0 ? 70000 : i % 3 == 0 ? 1 + rng() % 20 : 1 + rng() % 6000;
        const std::string text = SampleText(rng, samples, length);
        const std::string packed = encoder.Encode(text);
        ExpectSameAsTreeWalk(ProgramHuffTables(), ProgramHuffTableDecoder(), packed,
                             static_cast<uint32_t>(packed.size()), static_cast<uint32_t>(text.size()),
                             "text " + std::to_string(i));
        std::string out;
        ASSERT_EQ(ProgramHuffTableDecoder().Unpack(packed, static_cast<uint32_t>(packed.size()),
                                                   static_cast<uint32_t>(text.size()), out),
                  0);
        ASSERT_EQ(out.substr(0, text.size()), text);
    }
}

TEST(TextSearchDecoder, DamagedAndCutTextsStopWhereTheTreeWalkStops)
{
    const std::vector<std::string> samples = LoadHuffmanSamples(QEVW_SOURCE_DIR "/tools/huffman_sample");
    const HuffEncoder encoder;
    std::mt19937 rng(11);
    for (int i = 0; i < 400; ++i) {
        const std::string text = SampleText(rng, samples, 1 + rng() % 3000);
        std::string packed = encoder.Encode(text);
        uint32_t textLength = static_cast<uint32_t>(text.size());
        uint32_t packedLength = static_cast<uint32_t>(packed.size());
        switch (i % 5) {
        case 0: // flipped bits: other symbols, early block changes, escapes
            for (int k = 0; k < 3; ++k)
                packed[rng() % packed.size()] ^= static_cast<char>(1 << (rng() % 8));
            break;
        case 1: // cut short in its file
            packed.resize(rng() % packed.size());
            break;
        case 2: // a text length too small: the output runs into the input
            textLength = packedLength > 4 ? packedLength - 1 - rng() % 4 : 0;
            break;
        case 3: // pure noise
            for (char& c : packed)
                c = static_cast<char>(rng());
            break;
        default: // a packed length that claims more or fewer bytes
            packedLength = static_cast<uint32_t>(rng() % (packed.size() + 40));
            break;
        }
        ExpectSameAsTreeWalk(ProgramHuffTables(), ProgramHuffTableDecoder(), packed, packedLength, textLength,
                             "case " + std::to_string(i));
    }
}

TEST(TextSearchDecoder, APackedTextFillingTheWholeSlackKeepsItsFirstByte)
{
    // A (damaged) record whose packed length is its text length plus the
    // whole slack: its packed bytes start at the buffer's first byte, which
    // both decoders must read as stored.
    std::mt19937 rng(5);
    for (uint32_t textLength : {0u, 1u, 7u, 300u}) {
        for (int i = 0; i < 20; ++i) {
            std::string packed(textLength + kPackedSlack, '\0');
            for (char& c : packed)
                c = static_cast<char>(rng());
            packed[0] = static_cast<char>(1 + rng() % 255);
            ExpectSameAsTreeWalk(ProgramHuffTables(), ProgramHuffTableDecoder(), packed,
                                 static_cast<uint32_t>(packed.size()), textLength,
                                 "text length " + std::to_string(textLength) + ", " + std::to_string(i));
        }
    }
}

TEST(TextSearchDecoder, LongCodesEscapesAndReservedLeavesOfOtherTables)
{
    // The chain tables code leaf 142 + j with j + 1 bits: most codes are far
    // longer than the lookup table, and the long escapes are reached too.
    HuffTables chain = test_support::ChainTables();
    const HuffTableDecoder fast(chain);
    std::mt19937 rng(3);
    for (int i = 0; i < 300; ++i) {
        std::string packed(1 + rng() % 200, '\0');
        for (char& c : packed)
            c = static_cast<char>(i % 2 ? rng() : 0xFF & ~(1 << (rng() % 8)));
        ExpectSameAsTreeWalk(chain, fast, packed, static_cast<uint32_t>(packed.size()),
                             static_cast<uint32_t>(packed.size() + rng() % 3000),
                             "chain " + std::to_string(i));
    }
    // A reserved leaf ends decoding in either decoder.
    HuffTables reserved = chain;
    reserved.trees[2 * 3 + 0] = 120;
    const HuffTableDecoder fastReserved(reserved);
    for (int i = 0; i < 50; ++i) {
        std::string packed(1 + rng() % 50, '\0');
        for (char& c : packed)
            c = static_cast<char>(rng());
        ExpectSameAsTreeWalk(reserved, fastReserved, packed, static_cast<uint32_t>(packed.size()), 2000,
                             "reserved " + std::to_string(i));
    }
}

TEST(TextSearchDecoder, EveryCompressedRecordOfTheDemoSetDecodesAsTheTreeWalkDoes)
{
    const DecoderComparison c = CompareDecodersInFolder(QEVW_DEMO_DATA_DIR);
    EXPECT_EQ(c.firstDifference, "");
    // The documents, help and classification files: several files, every record.
    EXPECT_GE(c.files, 6);
    EXPECT_GE(c.records, 100);
}
