#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <random>

#include "datastore/packed_text.h"
#include "platform/fs.h"
#include "tests/support/bytes.h"
#include "tests/support/huffman_chain.h"
#include "writers/x6_writer.h"

namespace {

using test_support::ChainTables;

using test_support::Bytes;

const std::vector<std::string>& Samples()
{
    static const std::vector<std::string> texts =
        LoadHuffmanSamples(std::string(QEVW_SOURCE_DIR) + "/tools/huffman_sample");
    return texts;
}

// Random texts over all 256 byte values that the format can carry: no zero
// at the end and no two zeros in a row.
std::vector<std::string> RandomTexts(int count, size_t maxLength, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        std::string t(1 + rng() % maxLength, '\0');
        for (size_t k = 0; k < t.size(); ++k) {
            t[k] = static_cast<char>(rng() & 0xFF);
            if (t[k] == 0 && (k == 0 || t[k - 1] == 0 || k + 1 == t.size()))
                t[k] = static_cast<char>(1 + rng() % 255);
        }
        texts.push_back(std::move(t));
    }
    return texts;
}

struct Written {
    std::string path;
    std::vector<X6Record> records;
    std::vector<uint32_t> offsets;
};

} // namespace

TEST(HuffEncoder, MatchesBitsLaidOutByHand)
{
    // The decoder's hand-made stream: 02 01 02 F2 76 and the two closing zeros.
    const HuffEncoder encoder(ChainTables());
    EXPECT_EQ(encoder.Encode(Bytes({0x02, 0x01, 0x02, 0xF2, 0x76})), Bytes({0x37, 0x84, 0x1E, 0x5A}));
    // 00 00 in the chain code is 10 10, padded with zero bits.
    EXPECT_EQ(encoder.Encode(""), Bytes({0x05}));
    EXPECT_THROW(HuffEncoder([] {
                     HuffTables t = ChainTables();
                     t.map[0] = t.map[1];
                     return t;
                 }()),
                 X6Error);
}

TEST(HuffEncoder, RefusesTextsTheReaderCannotCarry)
{
    const HuffEncoder encoder;
    std::string why;
    EXPECT_TRUE(encoder.Pack("Tablety", &why)) << why;
    struct Case {
        const char* what;
        std::string text;
    } cases[] = {
        {"ends in 0", std::string("Tablety\0", 8)},
        {"empty", ""},
        {"0 0 in the last packed bytes", std::string("Tablety\0\0.", 10)},
        {"packs to more than length + 1000",
         [] {
             // Long escapes only: at least 12 bits a byte.
             std::string t;
             for (int i = 0; i < 8000; ++i)
                 t.push_back(static_cast<char>(ProgramHuffTables().map[i % 128]));
             return t;
         }()},
    };
    for (const Case& c : cases) {
        why.clear();
        EXPECT_FALSE(encoder.Pack(c.text, &why)) << c.what;
        EXPECT_FALSE(why.empty()) << c.what;
    }
    X6Writer writer;
    X6Record r;
    r.text = std::string("Paralen\0", 8);
    r.name = "letak 0012345";
    try {
        writer.Add(r);
        FAIL() << "a text ending in 0 was taken";
    } catch (const X6Error& e) {
        EXPECT_NE(std::string(e.what()).find("letak 0012345"), std::string::npos) << e.what();
    }
    EXPECT_EQ(writer.RecordCount(), 0u);
}

TEST(X6Writer, EveryLayoutReadsBackInSequence)
{
    std::vector<std::string> texts = Samples();
    ASSERT_GE(texts.size(), 3u);
    for (std::string& t : RandomTexts(40, 600, 11))
        texts.push_back(std::move(t));
    std::array<bool, 256> seen{};
    for (const std::string& t : texts)
        for (char c : t)
            seen[static_cast<uint8_t>(c)] = true;
    ASSERT_EQ(std::count(seen.begin(), seen.end(), true), 256) << "every byte value is carried";

    QTemporaryDir dir;
    for (const bool compressed : {true, false}) {
        for (const int headSize : {16, 14, 0}) {
            SCOPED_TRACE((compressed ? "compressed, head " : "stored, head ") + std::to_string(headSize));
            X6FileOptions options;
            options.compressed = compressed;
            options.headSize = headSize;
            X6Writer writer(options);
            std::vector<X6Record> records;
            for (size_t i = 0; i < texts.size(); ++i) {
                X6Record r;
                r.text = texts[i];
                r.type = static_cast<uint8_t>(i % 8);
                r.flag = i % 3 == 0;
                r.key = {uint8_t('A' + i % 26), '0', '0', '0', '0', uint8_t('0' + i % 10)};
                for (size_t k = 0; k < i % 3; ++k)
                    r.items.push_back(std::string(compressed ? 8 : 5, static_cast<char>('B' + k)));
                records.push_back(r);
                writer.Add(r);
            }
            const std::string path = dir.path().toStdString() + "/f" + std::to_string(compressed) +
                                     std::to_string(headSize) + ".dat";
            ASSERT_EQ(writer.WriteTo(path), 0);

            TPackedTextFile reader;
            ASSERT_TRUE(OpenPackedText(reader, path));
            EXPECT_EQ(reader.compressed, compressed);
            const int expectedHead = headSize ? headSize : (compressed ? 8 : 6);
            EXPECT_EQ(reader.headSize, expectedHead);
            int64_t offset = kPackedHeaderSize;
            for (size_t i = 0; i < records.size(); ++i) {
                ASSERT_EQ(offset, writer.Offsets()[i]);
                std::string text;
                int status = -1;
                ASSERT_TRUE(ReadNextPackedRecord(reader, text, status));
                ASSERT_EQ(status, 0) << "record " << i;
                const std::string expected = records[i].text + (compressed ? std::string(2, '\0') : "");
                ASSERT_EQ(text, expected) << "record " << i;
                EXPECT_EQ(reader.type, records[i].type);
                EXPECT_EQ(reader.flag82, records[i].flag);
                EXPECT_EQ(reader.itemCount, records[i].items.size());
                if (expectedHead >= 14)
                    EXPECT_EQ(reader.kept, records[i].key);
                else
                    EXPECT_EQ(reader.kept, (std::array<uint8_t, 6>{}));
                PackedRecordHead head;
                std::string items;
                ASSERT_EQ(ReadPackedHead(reader, offset, head, &items), 0);
                EXPECT_EQ(head.marker, 0xFFFF);
                std::string joined;
                for (const std::string& item : records[i].items)
                    joined += item;
                EXPECT_EQ(items, joined);
                offset = reader.nextOffset;
            }
            EXPECT_EQ(offset, reader.file.Size());
            EXPECT_EQ(reader.recordsRead, static_cast<int64_t>(records.size()));
            std::string rest;
            int status = -1;
            EXPECT_FALSE(ReadNextPackedRecord(reader, rest, status)) << "the end of the file";
        }
    }
}

TEST(X6Writer, WideRecordsCarryTextsOf2To18BytesAndMore)
{
    std::string big;
    while (big.size() < (1u << 18) + 1234)
        for (const std::string& t : Samples())
            big += t;
    big.resize((1u << 18) + 1234);
    if (big.back() == 0)
        big.back() = '.';

    X6Writer writer;
    X6Record small;
    small.text = "Krátký text";
    small.forceWide = true;
    writer.Add(small);
    X6Record wide;
    wide.text = big;
    const uint32_t at = writer.Add(wide);
    const std::string file = writer.Finish();
    EXPECT_TRUE(static_cast<uint8_t>(file[at + 4]) & 0x80) << "the wide layout";
    EXPECT_EQ(static_cast<uint8_t>(file[at + 4]) & 0x0F, big.size() >> 16);

    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/spc.dat";
    ASSERT_EQ(WriteFileAtomic(path, file), 0);
    TPackedTextFile reader;
    ASSERT_TRUE(OpenPackedText(reader, path));
    std::string text;
    ASSERT_EQ(ReadPackedRecord(reader, text, 16), 0);
    EXPECT_EQ(text, small.text + std::string(2, '\0'));
    EXPECT_TRUE(reader.flag82);
    ASSERT_EQ(ReadPackedRecord(reader, text, reader.nextOffset), 0);
    EXPECT_EQ(text.size(), big.size() + 2);
    EXPECT_TRUE(text.compare(0, big.size(), big) == 0);
    EXPECT_TRUE(reader.flag82);

    X6FileOptions stored;
    stored.compressed = false;
    X6Writer storedWriter(stored);
    EXPECT_THROW(storedWriter.Add(wide), X6Error) << "a stored text has 18 length bits";
}

TEST(X6Writer, RefusesRecordsOutsideTheLayout)
{
    X6Writer writer;
    X6Record r;
    r.text = "abc";
    r.items = {"12345"};
    EXPECT_THROW(writer.Add(r), X6Error) << "a compressed file has 8-byte items";
    r.items = std::vector<std::string>(256, std::string(8, 'x'));
    EXPECT_THROW(writer.Add(r), X6Error);
    r.items.clear();
    r.type = 8;
    EXPECT_THROW(writer.Add(r), X6Error);
    X6FileOptions bad;
    bad.headSize = 12;
    EXPECT_THROW(X6Writer{bad}, X6Error);
}

TEST(X6Writer, HeaderFlagsAndTheLastRecordMarker)
{
    struct Case {
        bool compressed;
        int headSize;
        uint8_t flags;
    } cases[] = {{true, 16, 0x0A},  {true, 14, 0x0C},  {true, 0, 0x08},
                 {false, 16, 0x02}, {false, 14, 0x04}, {false, 0, 0x00}};
    for (const Case& c : cases) {
        X6FileOptions o;
        o.compressed = c.compressed;
        o.headSize = c.headSize;
        o.lastRecordMarker = 0x1234;
        X6Writer w(o);
        X6Record r;
        r.text = "A00";
        w.Add(r);
        w.Add(r);
        const std::string f = w.Finish();
        EXPECT_EQ(f.substr(0, 5), Bytes({'X', '6', 0, 0, c.flags}));
        EXPECT_EQ(f.substr(5, 11), std::string(11, '\0'));
        EXPECT_EQ(f.substr(w.Offsets()[0], 2), Bytes({0xFF, 0xFF}));
        EXPECT_EQ(f.substr(w.Offsets()[1], 2), Bytes({0x34, 0x12}));
    }
    // A stored record's head by hand: marker, T, E (flag, type 2), k, T again.
    X6FileOptions o;
    o.compressed = false;
    o.headSize = 14;
    X6Writer w(o);
    X6Record r;
    r.text = "xyz";
    r.flag = true;
    r.type = 2;
    r.key = {'T', 'I', 'T', 'U', 'L', '_'};
    r.items = {"B\0\0\x07\0"};
    r.items[0].resize(5);
    w.Add(r);
    EXPECT_EQ(w.Finish().substr(16),
              Bytes({0xFF, 0xFF, 3, 0, 0x22, 1, 3, 0, 'T', 'I', 'T', 'U', 'L', '_'}) + r.items[0] + "xyz");
}

TEST(HuffmanTables, TheGeneratorRemakesTheCommittedTables)
{
    const HuffTables made = BuildHuffTables(Samples());
    std::string committed;
    ASSERT_EQ(ReadWholeFile(std::string(QEVW_SOURCE_DIR) + "/datastore/huffman_tables.inc", committed), 0);
    EXPECT_EQ(FormatHuffTablesInc(made), committed)
        << "run huffman_table_gen tools/huffman_sample datastore/huffman_tables.inc";
    EXPECT_EQ(made.selector, ProgramHuffTables().selector);
    EXPECT_EQ(made.trees, ProgramHuffTables().trees);
    EXPECT_EQ(made.map, ProgramHuffTables().map);
    std::string why;
    EXPECT_TRUE(CheckHuffTables(made, &why)) << why;
    // The most frequent byte of Czech text gets the first direct leaf.
    EXPECT_EQ(made.map[143], ' ');
}

TEST(HuffmanTables, SampleMarkupBecomesRichText)
{
    EXPECT_EQ(SampleMarkupToRichText("// comment\n{14}Ab\n{18:11}čí{20:1,300}\n"),
              Bytes({14, 'A', 'b', 18, 11, 16, 0x87, 0xA1, 20, 1, 0, 44, 17}));
    std::string name;
    Pack6("PAR1", true, name);
    EXPECT_EQ(SampleMarkupToRichText("{25:300,200,\"PAR1\"}"), Bytes({25, 44, 1, 200, 0}) + name);
    for (const char* bad : {"{14", "{x}", "{40}", "{14:1}", "{18}", "{18:5000}", "{18:1,}", "{26:\"AB}"})
        EXPECT_THROW(SampleMarkupToRichText(bad), X6Error) << bad;
}
