#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>
#include <vector>

#include "datastore/packed_text.h"
#include "platform/fs.h"
#include "tests/support/bytes.h"
#include "tests/support/huffman_chain.h"

namespace {

using test_support::ChainTables;

using test_support::Bytes;

struct DecodeRun {
    int result;
    int outCount;
    int bytesLeft;
    int pending;
    std::string output;
};

// Decodes `packed` placed at offset `at` of a buffer that ends with it.
DecodeRun Decode(const std::string& packed, int at, int bytesLeft, const HuffTables& tables)
{
    std::string buf(static_cast<size_t>(at), '\0');
    buf += packed;
    DecodeRun run{};
    run.bytesLeft = bytesLeft;
    run.pending = 0;
    run.outCount = 0;
    run.result = HuffDecode(reinterpret_cast<uint8_t*>(buf.data()), static_cast<int>(buf.size()), at,
                            run.pending, run.bytesLeft, run.outCount, tables);
    run.output = buf.substr(0, static_cast<size_t>(run.outCount));
    return run;
}

std::string X6Header(uint8_t flags)
{
    std::string h = Bytes({'X', '6', 0, 0, flags});
    h.append(11, '\0');
    return h;
}

} // namespace

TEST(HuffTables, FixtureAndProgramTablesPassTheCheck)
{
    std::string why;
    EXPECT_TRUE(CheckHuffTables(ChainTables(), &why)) << why;
    EXPECT_TRUE(CheckHuffTables(ProgramHuffTables(), &why)) << why;
}

TEST(HuffTables, CheckRejectsIncompleteTreesAndBadMaps)
{
    struct Case {
        const char* what;
        std::function<void(HuffTables&)> damage;
    } cases[] = {
        {"selector beyond tree 15", [](HuffTables& t) { t.selector[200] = 16; }},
        {"map not a permutation", [](HuffTables& t) { t.map[7] = t.map[8]; }},
        {"reserved leaf", [](HuffTables& t) { t.trees[3 * kHuffTreeBytes + 10] = 120; }},
        {"leaf twice, another missing", [](HuffTables& t) { t.trees[5 * kHuffTreeBytes + 0] = 143; }},
        {"node twice", [](HuffTables& t) { t.trees[2 * 4 + 1] = 3; }},
        {"root as a child", [](HuffTables& t) { t.trees[kHuffTreeBytes * 15 + 1] = 0; }},
        {"cycle cut off from the root",
         [](HuffTables& t) {
             // Node 111 points back at node 110: node 112 and leaves 254, 255 vanish.
             t.trees[2 * 111 + 1] = 110;
         }},
    };
    for (const Case& c : cases) {
        HuffTables t = ChainTables();
        c.damage(t);
        std::string why;
        EXPECT_FALSE(CheckHuffTables(t, &why)) << c.what;
        EXPECT_FALSE(why.empty()) << c.what;
    }
}

TEST(HuffDecode, WalksTheContextTreesAndEscapes)
{
    // 02 (1110), 01 (110), 02 in context 1 (0001, tree 1), short escape v = 1
    // (0 0001) = F2, long escape v = 5 (0 1111 0000101) = 76, 00 (10), 00 (10):
    // 32 bits, lowest bit of each byte first.
    const std::string packed = Bytes({0x37, 0x84, 0x1E, 0x5A});
    const DecodeRun run = Decode(packed, 1000, 4, ChainTables());
    EXPECT_EQ(run.result, kHuffStopped);
    EXPECT_EQ(run.output, Bytes({0x02, 0x01, 0x02, 0xF2, 0x76, 0x00, 0x00}));
    EXPECT_EQ(run.bytesLeft, 0);

    std::string text;
    EXPECT_EQ(UnpackRecordText(packed, 5, text, ChainTables()), 0);
    EXPECT_EQ(text, run.output);
    EXPECT_EQ(UnpackRecordText(packed, 6, text, ChainTables()), PackedTextStatus::BadRecord);
    EXPECT_EQ(text, run.output) << "what was decoded is kept";
}

TEST(UnpackRecordText, ReadersCheckLengthsAndDecodeOnlyWhatWasRead)
{
    const std::string packed = Bytes({0x37, 0x84, 0x1E, 0x5A}); // 5 text bytes + 00 00
    const HuffTables tables = ChainTables();
    std::string text;
    EXPECT_EQ(UnpackRecordText(packed, 4, 5, text, tables), 0);
    EXPECT_EQ(text.size(), 7u);

    // Cut short in its file: two of the four bytes were read.
    EXPECT_EQ(UnpackRecordText(packed.substr(0, 2), 4, 5, text, tables), PackedTextStatus::BadRecord);
    EXPECT_LT(text.size(), 7u);
    EXPECT_EQ(text.substr(0, 2), Bytes({0x02, 0x01}));

    // A packed text longer than its text is damage for the readers of
    // P + G heads, not for documents; lengths past every head layout too.
    EXPECT_EQ(UnpackRecordText(packed, 4, 3, text, tables), PackedTextStatus::BadRecord);
    EXPECT_TRUE(text.empty()) << "nothing is decoded";
    EXPECT_EQ(UnpackRecordText(packed, 4, 3, text, tables, UnpackLengths::AnyWithinSlack),
              PackedTextStatus::BadRecord)
        << "decoded, but to another length";
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(UnpackRecordText(packed, 4, kMaxPackedTextLength + 1, text, tables),
              PackedTextStatus::BadRecord);
    EXPECT_EQ(UnpackRecordText(packed, kMaxPackedDataLength + 1, kMaxPackedTextLength, text, tables),
              PackedTextStatus::BadRecord);
    EXPECT_EQ(
        UnpackRecordText(std::string(1100, '\x37'), 1100, 99, text, tables, UnpackLengths::AnyWithinSlack),
        PackedTextStatus::BadRecord)
        << "past the slack of 1000";
}

TEST(HuffDecode, AZeroAfterAZeroNearTheBlockEndStartsTheNextBlock)
{
    // Block 1 is one byte: 00 (10) and six dropped bits.  The block head says
    // 0 + 2 bytes; block 2 holds 02 (1110) 01 (110) 00 in context 1 (01,
    // tree 1) 00 (10) and five padding bits, which the second block change
    // leaves unread.
    const std::string packed = Bytes({0xFD, 0x00, 0x00, 0xEE, 0xEE, 0x37, 0x03});
    const DecodeRun run = Decode(packed, 50, 1, ChainTables());
    EXPECT_EQ(run.result, kHuffStopped);
    EXPECT_EQ(run.output, Bytes({0x00, 0x02, 0x01, 0x00, 0x00}));
    EXPECT_EQ(run.bytesLeft, 0);

    // A head that gives the block 8 + 2 bytes keeps the last zero from ending
    // it: the padding then decodes as an escape (0 0000 = F1).
    std::string longer = packed;
    longer[1] = 8;
    const DecodeRun on = Decode(longer, 50, 1, ChainTables());
    EXPECT_EQ(on.output, Bytes({0x00, 0x02, 0x01, 0x00, 0x00, 0xF1}));
    EXPECT_EQ(on.bytesLeft, 10 - 2);

    // A block head that does not fit before the end stops without reading it.
    const DecodeRun cut = Decode(Bytes({0xFD, 0x08, 0x00, 0xEE}), 50, 1, ChainTables());
    EXPECT_EQ(cut.result, kHuffStopped);
    EXPECT_EQ(cut.output, Bytes({0x00}));
    EXPECT_EQ(cut.bytesLeft, 0);
}

TEST(HuffDecode, ReservedLeafAndOverrunStopDecoding)
{
    HuffTables reserved = ChainTables();
    reserved.trees[2 * 3 + 0] = 120; // 02's code (1110) now ends at leaf 120
    const DecodeRun stop = Decode(Bytes({0x37, 0x84, 0x1E, 0x5A}), 1000, 4, reserved);
    EXPECT_EQ(stop.result, kHuffStopped);
    EXPECT_EQ(stop.pending, 120);
    EXPECT_EQ(stop.outCount, 0);

    // Four symbols a byte with the input starting at 1: the fourth symbol
    // would overwrite the unread byte at 3.
    const DecodeRun over = Decode(Bytes({0x77, 0x77, 0x77}), 1, 3, ChainTables());
    EXPECT_EQ(over.result, kHuffOverrun);
    EXPECT_EQ(over.outCount, 3);
    EXPECT_EQ(over.output, Bytes({0x02, 0x02, 0x02}));
}

TEST(PackedTextFile, RecordLaidOutByHandWithTheProgramTables)
{
    const HuffTables& t = ProgramHuffTables();
    // The path of each leaf of a tree, written as bits.
    auto pathOf = [&](int tree, int leaf) {
        std::string found;
        std::function<bool(int, std::string)> walk = [&](int node, std::string path) {
            for (int bit = 0; bit < 2; ++bit) {
                const int child = t.trees[tree * kHuffTreeBytes + 2 * node + bit];
                const std::string p = path + char('0' + bit);
                if (child == leaf) {
                    found = p;
                    return true;
                }
                if (child < kHuffTreeNodes && walk(child, p))
                    return true;
            }
            return false;
        };
        walk(0, "");
        return found;
    };
    auto leafOf = [&](uint8_t byte) {
        for (int i = 0; i < 256; ++i)
            if (t.map[i] == byte)
                return i;
        return -1;
    };
    auto msbFirst = [](int v, int n) {
        std::string b;
        for (int k = n - 1; k >= 0; --k)
            b += char('0' + ((v >> k) & 1));
        return b;
    };
    const std::string text = "ea";
    std::string bits;
    uint8_t context = 0;
    for (uint8_t c : std::string(text + std::string(2, '\0'))) {
        const int leaf = leafOf(c);
        if (leaf >= kHuffFirstSymbolLeaf) {
            bits += pathOf(t.selector[context], leaf);
        } else {
            bits += pathOf(t.selector[context], kHuffEscapeLeaf);
            bits += leaf >= 128 ? msbFirst(leaf - 128, 4) : "1111" + msbFirst(leaf, 7);
        }
        context = c;
    }
    std::string packed((bits.size() + 7) / 8, '\0');
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i] == '1')
            packed[i / 8] = static_cast<char>(packed[i / 8] | (1 << (i % 8)));

    std::string file = X6Header(0x0A);
    file += Bytes(
        {0xFF, 0xFF, 2, 0, 0x30, 1, static_cast<int>(packed.size()), 0, 'K', 'E', 'Y', '0', '0', '1', 0, 0});
    file += Bytes({'B', 0, 0, 7, 0, 0, 0, 0});
    file += packed;
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/letak.dat";
    ASSERT_EQ(WriteFileAtomic(path, file), 0);

    TPackedTextFile reader;
    ASSERT_TRUE(OpenPackedText(reader, dir.path().toStdString() + "/LETAK.DAT"));
    EXPECT_EQ(reader.headSize, 16);
    EXPECT_EQ(reader.itemSize, 8);
    std::string out;
    ASSERT_EQ(ReadPackedRecord(reader, out, 16), 0);
    EXPECT_EQ(out, std::string("ea\0\0", 4));
    EXPECT_EQ(reader.type, 3);
    EXPECT_FALSE(reader.flag82);
    EXPECT_EQ(reader.itemCount, 1);
    EXPECT_EQ(std::string(reader.kept.begin(), reader.kept.end()), "KEY001");
    EXPECT_EQ(reader.nextOffset, static_cast<int64_t>(file.size()));
    EXPECT_EQ(reader.recordsRead, 1);

    PackedRecordHead head;
    std::string items;
    ASSERT_EQ(ReadPackedHead(reader, 16, head, &items), 0);
    EXPECT_EQ(items, Bytes({'B', 0, 0, 7, 0, 0, 0, 0}));
    EXPECT_EQ(head.marker, 0xFFFF);
    EXPECT_EQ(head.dataLength, packed.size());
}

TEST(PackedTextFile, HeadLayoutsAndLengthBits)
{
    struct Case {
        const char* what;
        uint8_t fileFlags;
        std::string head;
        uint16_t headSize, itemSize;
        uint32_t text, data;
        bool flag82;
        uint8_t type;
    } cases[] = {
        {"stored, 6-byte heads", 0x00, Bytes({0xFF, 0xFF, 0x34, 0x12, 0x0C | 0x01, 0}), 6, 5, 0x31234,
         0x31234, false, 0},
        {"stored, 14-byte heads, flag", 0x04, Bytes({0xFF, 0xFF, 3, 0, 0x02, 0, 3, 0, 1, 2, 3, 4, 5, 6}), 14,
         5, 3, 3, true, 0},
        {"compressed narrow, 8-byte heads", 0x08,
         Bytes({0xFF, 0xFF, 0x10, 0x00, 0x04 | 0x01 | 0x50, 0, 0x20, 0x00}), 8, 8, 0x10010, 0x10020, false,
         5},
        {"compressed wide", 0x0A,
         Bytes({0xFF, 0xFF, 0x00, 0x00, 0x80 | 0x30 | 0x05, 0, 0x05, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}), 16, 8,
         0x50000, 0x30005, true, 0x0B},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string file = X6Header(c.fileFlags) + c.head;
        file.append(c.data, 'x');
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/t.dat";
        ASSERT_EQ(WriteFileAtomic(path, file), 0);
        TPackedTextFile reader;
        ASSERT_TRUE(OpenPackedText(reader, path));
        EXPECT_EQ(reader.headSize, c.headSize);
        EXPECT_EQ(reader.itemSize, c.itemSize);
        PackedRecordHead head;
        ASSERT_EQ(ReadPackedHead(reader, 16, head), 0);
        EXPECT_EQ(head.textLength, c.text);
        EXPECT_EQ(head.dataLength, c.data);
        EXPECT_EQ(head.flag82, c.flag82);
        EXPECT_EQ(head.type, c.type);
        EXPECT_EQ(head.nextOffset, static_cast<int64_t>(file.size()));
        // One byte less and the data runs past the end.
        file.pop_back();
        ASSERT_EQ(WriteFileAtomic(path, file), 0);
        ASSERT_TRUE(OpenPackedText(reader, path));
        EXPECT_EQ(ReadPackedHead(reader, 16, head), PackedTextStatus::BadRecord);
    }
}

TEST(PackedTextFile, DamagedRecordsAndFilesAreReported)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/x.dat";
    TPackedTextFile reader;
    reader.tables = nullptr;

    EXPECT_FALSE(OpenPackedText(reader, path));
    EXPECT_EQ(reader.status, IoResult::NotFound);
    ASSERT_EQ(WriteFileAtomic(path, "D6 not a packed text"), 0);
    EXPECT_FALSE(OpenPackedText(reader, path));
    EXPECT_EQ(reader.status, PackedTextStatus::BadMagic);
    EXPECT_FALSE(reader.file.IsOpen());

    const HuffTables chain = ChainTables();
    reader.tables = &chain;
    const std::string good = Bytes({0x37, 0x84, 0x1E, 0x5A}); // decodes to 5 bytes + 00 00
    struct Case {
        const char* what;
        std::string record;
        int status;
    } cases[] = {
        {"sound record", Bytes({0xFF, 0xFF, 5, 0, 0, 0, 4, 0}) + good, 0},
        {"text length one too many", Bytes({0xFF, 0xFF, 6, 0, 0, 0, 4, 0}) + good,
         PackedTextStatus::BadRecord},
        {"packed beyond text + 1000", Bytes({0xFF, 0xFF, 0, 0, 0, 0, 0xEA, 0x03}) + std::string(1002, '\x37'),
         PackedTextStatus::BadRecord},
        {"data past the end", Bytes({0xFF, 0xFF, 5, 0, 0, 0, 5, 0}) + good, PackedTextStatus::BadRecord},
        {"items past the end", Bytes({0xFF, 0xFF, 5, 0, 0, 1, 4, 0}) + good, PackedTextStatus::BadRecord},
        {"head past the end", Bytes({0xFF, 0xFF, 5, 0, 0}), PackedTextStatus::BadRecord},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(WriteFileAtomic(path, X6Header(0x08) + c.record), 0);
        ASSERT_TRUE(OpenPackedText(reader, path));
        std::string text;
        EXPECT_EQ(ReadPackedRecord(reader, text, 16), c.status);
        EXPECT_EQ(reader.status, c.status);
        if (c.status == 0)
            EXPECT_EQ(text, Bytes({0x02, 0x01, 0x02, 0xF2, 0x76, 0x00, 0x00}));
        EXPECT_EQ(ReadPackedRecord(reader, text, 99999), PackedTextStatus::BadRecord);
    }
}

TEST(PackedTextFile, AWalkEndsAtADamagedHead)
{
    // A sound record, then a head the file cannot hold: the walk reports the
    // damage once and ends, since nothing after it can be located.
    const HuffTables chain = ChainTables();
    const std::string packed = Bytes({0xFF, 0xFF, 5, 0, 0, 0, 4, 0, 0x37, 0x84, 0x1E, 0x5A});
    const std::string stored = Bytes({0xFF, 0xFF, 5, 0, 0, 0}) + "abcde";
    struct Case {
        const char* what;
        uint8_t flags;
        std::string file;
    } cases[] = {
        {"compressed, 200 bytes claimed, 5 left", 0x08,
         packed + Bytes({0xFF, 0xFF, 200, 0, 0, 0, 200, 0}) + "12345"},
        {"stored, 200 bytes claimed, 5 left", 0x00, stored + Bytes({0xFF, 0xFF, 200, 0, 0, 0}) + "12345"},
        {"head cut short", 0x08, packed + Bytes({0xFF, 0xFF, 5})},
    };
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/x.dat";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(WriteFileAtomic(path, X6Header(c.flags) + c.file), 0);
        TPackedTextFile reader;
        reader.tables = &chain;
        ASSERT_TRUE(OpenPackedText(reader, path));
        std::vector<int> statuses;
        std::string text;
        int status = 0;
        while (statuses.size() < 10 && ReadNextPackedRecord(reader, text, status))
            statuses.push_back(status);
        EXPECT_EQ(statuses, (std::vector<int>{0, PackedTextStatus::BadRecord}));
        EXPECT_EQ(reader.recordsRead, 1);
    }
}

TEST(RichTextItems, ControlItemLengthCountsParameterPairs)
{
    struct Case {
        std::string text;
        int pos, length;
    } cases[] = {
        {"A", 0, 0},
        {Bytes({14, 'x'}), 0, 1},
        {Bytes({18, 11, 16, 'x'}), 0, 3},
        {Bytes({24, 160, 0, 145, 0, 60, 0, 40, 16, 'x'}), 0, 9},
        {Bytes({'a', 19, 3, 17}), 1, 3},
        {Bytes({25, 1, 2, 3}), 0, 4}, // the second pair is cut at the end
        {Bytes({20, 1}), 0, 2},       // cut inside the first pair
        {Bytes({20, 1, 16}), 3, 0},   // beyond the end
    };
    for (const Case& c : cases)
        EXPECT_EQ(ControlItemLength(c.text, c.pos), c.length) << "pos " << c.pos;
}

TEST(RichTextItems, TwelveBitValues)
{
    const std::string t = Bytes({18, 0x34, 0xF2, 0x99});
    int pos = 0;
    EXPECT_EQ(Read12(t, pos), 0x234);
    EXPECT_EQ(pos, 2);
    EXPECT_EQ(Peek12(t, 1), 0x234);
    EXPECT_EQ(Peek12(t, 3), 0x099) << "the byte past the end counts as 0";
    pos = 2;
    EXPECT_EQ(Read12(t, pos), 0x099) << "bytes 3 and the missing 4";
    EXPECT_EQ(pos, 4);
}

TEST(RichTextItems, SixBitStrings)
{
    std::string packed;
    Pack6("ABC", true, packed);
    // A=33, B=34, C=35, pad blank=0: (33 | (34 & 3) << 6, 34 >> 2), (35, 0 + 16).
    EXPECT_EQ(packed, Bytes({33 | (2 << 6), 8, 35, 16}));
    int pos = 0;
    std::string out;
    Unpack6(std::string(1, '\x1A') + packed + "tail", pos, out);
    EXPECT_EQ(out, "ABC");
    EXPECT_EQ(pos, 4) << "left on the last pair's high byte";

    // An even text ends at the pair whose high byte carries the 16.
    Pack6("OBSAH_", true, packed);
    pos = 0;
    Unpack6(std::string(1, '\x1C') + packed + Bytes({1, 2}), pos, out);
    EXPECT_EQ(out, "OBSAH_");
    EXPECT_EQ(pos, 6);

    // Without the end mark the string runs on to the text's end.
    Pack6("AB", false, packed);
    pos = 0;
    Unpack6(std::string(1, '\x1C') + packed + packed, pos, out);
    EXPECT_EQ(out, "ABAB");
    EXPECT_EQ(pos, 4);

    // A blank first character is kept unless its pair's low byte is 0;
    // a blank second one ends the string.
    Pack6(" ABC", true, packed);
    pos = 0;
    Unpack6(std::string(1, '\x1C') + packed, pos, out);
    EXPECT_EQ(out, " ABC");
    Pack6(" 0", true, packed); // '0' - 32 = 16: the low byte is 0
    pos = 0;
    Unpack6(std::string(1, '\x1C') + packed, pos, out);
    EXPECT_EQ(out, "0");
    Pack6("A  B", true, packed);
    pos = 0;
    Unpack6(std::string(1, '\x1C') + packed, pos, out);
    EXPECT_EQ(out, "A");
    EXPECT_EQ(pos, 2);

    // At most 255 characters.
    Pack6(std::string(300, 'X'), false, packed);
    pos = 0;
    Unpack6(std::string(1, '\x1C') + packed, pos, out);
    EXPECT_EQ(out.size(), 255u);

    uint8_t bpos = 0;
    Pack6("KL", true, packed);
    Unpack6B(std::string(1, '\x1A') + packed, bpos, out);
    EXPECT_EQ(out, "KL");
    EXPECT_EQ(bpos, 2);
}
