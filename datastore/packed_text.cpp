#include "datastore/packed_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "datastore/db_status.h"
#include "datastore/huff_table_decoder.h"
#include "platform/coding.h"

namespace {

constexpr uint8_t kProgramTableBytes[kHuffTableBytes] = {
#include "datastore/huffman_tables.inc"
};

} // namespace

// ---------------------------------------------------------------- code tables

HuffTables HuffTables::FromBytes(const uint8_t* bytes)
{
    HuffTables t;
    std::memcpy(t.selector.data(), bytes, 256);
    std::memcpy(t.trees.data(), bytes + 256, t.trees.size());
    std::memcpy(t.map.data(), bytes + 256 + t.trees.size(), 256);
    return t;
}

const HuffTables& ProgramHuffTables()
{
    static const HuffTables tables = HuffTables::FromBytes(kProgramTableBytes);
    return tables;
}

bool CheckHuffTables(const HuffTables& tables, std::string* why)
{
    auto fail = [why](std::string text) {
        if (why)
            *why = std::move(text);
        return false;
    };
    for (int c = 0; c < 256; ++c)
        if (tables.selector[c] >= kHuffTrees)
            return fail("selector entry " + std::to_string(c) + " names tree " +
                        std::to_string(tables.selector[c]));
    std::array<bool, 256> seen{};
    for (int i = 0; i < 256; ++i) {
        if (seen[tables.map[i]])
            return fail("the symbol map holds byte " + std::to_string(tables.map[i]) + " twice");
        seen[tables.map[i]] = true;
    }
    for (int t = 0; t < kHuffTrees; ++t) {
        const uint8_t* tree = tables.trees.data() + t * kHuffTreeBytes;
        const std::string where = "tree " + std::to_string(t) + ": ";
        std::array<int, 256> reached{};
        std::vector<int> stack{0};
        reached[0] = 1;
        while (!stack.empty()) {
            const int node = stack.back();
            stack.pop_back();
            for (int bit = 0; bit < 2; ++bit) {
                const int child = tree[2 * node + bit];
                if (child >= kHuffTreeNodes && child < kHuffEscapeLeaf)
                    return fail(where + "reserved leaf " + std::to_string(child));
                if (child == 0)
                    return fail(where + "the root is a child");
                if (++reached[child] > 1)
                    return fail(where + (child < kHuffTreeNodes ? "node " : "leaf ") + std::to_string(child) +
                                " is reached twice");
                if (child < kHuffTreeNodes)
                    stack.push_back(child);
            }
        }
        for (int n = 1; n < 256; ++n) {
            const bool wanted = n < kHuffTreeNodes || n >= kHuffEscapeLeaf;
            if (wanted && reached[n] == 0)
                return fail(where + (n < kHuffTreeNodes ? "node " : "leaf ") + std::to_string(n) +
                            " is not reached");
        }
    }
    return true;
}

// ------------------------------------------------------------------- decoding

int HuffDecode(uint8_t* buffer, int end, int inputPos, int& pendingCode, int& bytesLeft, int& outCount,
               const HuffTables& tables)
{
    const uint8_t* const selector = tables.selector.data();
    const uint8_t* const trees = tables.trees.data();
    const uint8_t* const map = tables.map.data();

    int in = inputPos;
    int n = outCount;
    int left = bytesLeft;
    // Up to 7 bits stay buffered when a byte is appended above them.
    uint32_t bits = 0;
    int nbits = 0;
    uint8_t context = n > 0 ? buffer[n - 1] : 0;
    int result = kHuffStopped;
    pendingCode = 0;

    // Appends the next input byte above the buffered bits; false at the end.
    auto refill = [&]() {
        if (in >= end)
            return false;
        bits |= static_cast<uint32_t>(buffer[in++]) << nbits;
        nbits += 8;
        --left;
        return true;
    };
    // Takes `count` bits, the first taken becoming the value's highest bit.
    auto readBits = [&](int count, int& value) {
        if (nbits < count && !refill())
            return false;
        value = 0;
        for (int k = 0; k < count; ++k) {
            value = (value << 1) | static_cast<int>(bits & 1);
            bits >>= 1;
        }
        nbits -= count;
        return true;
    };

    for (;;) {
        const uint8_t* tree = trees + selector[context] * kHuffTreeBytes;
        int node = 0;
        do {
            if (nbits == 0 && !refill()) {
                pendingCode = node;
                goto done;
            }
            node = tree[2 * node + (bits & 1)];
            bits >>= 1;
            --nbits;
        } while (node < kHuffTreeNodes);

        uint8_t symbol;
        if (node >= kHuffFirstSymbolLeaf) {
            symbol = map[node];
        } else if (node == kHuffEscapeLeaf) {
            int v = 0;
            if (!readBits(4, v)) {
                pendingCode = kHuffEscapeLeaf;
                goto done;
            }
            if (v < 15) {
                symbol = map[128 + v];
            } else {
                if (!readBits(7, v)) {
                    pendingCode = kHuffEscapeLeaf - 1;
                    goto done;
                }
                symbol = map[v];
            }
        } else {
            pendingCode = node; // a reserved leaf
            goto done;
        }

        if (n >= in) {
            result = kHuffOverrun;
            goto done;
        }
        buffer[n++] = symbol;

        if (context == 0 && symbol == 0 && left < 5) {
            // The next block: its head gives its size, the rest of the
            // current byte is dropped.  A head that does not fit ends it all.
            if (end - in < 4)
                goto done;
            left = DecodeLE16(buffer + in) + 2;
            bits = 0;
            nbits = 0;
            in += 4;
        }
        context = symbol;
    }
done:
    outCount = n;
    bytesLeft = left;
    return result;
}

namespace {

// Decodes a record whose packed bytes were placed in buf from `start`
// (`got` of them), buf being textLength + 1000 bytes long.
int DecodeInPlace(std::string& buf, uint32_t textLength, int start, int got, uint32_t packedLength,
                  const HuffTables& tables)
{
    auto* data = reinterpret_cast<uint8_t*>(buf.data());
    int pending = 0;
    int left = static_cast<int>(packedLength);
    int count = 0;
    HuffDecode(data, start + got, start, pending, left, count, tables);
    buf.resize(static_cast<size_t>(count));
    return count == static_cast<int64_t>(textLength) + 2 ? 0 : PackedTextStatus::BadRecord;
}

constexpr uint32_t kSlack = kPackedSlack;

} // namespace

bool PackedLengthsDecodable(uint32_t packedLength, uint32_t textLength, UnpackLengths lengths)
{
    return textLength <= kMaxPackedTextLength && packedLength <= kMaxPackedDataLength &&
           !(lengths == UnpackLengths::PackedWithinText && textLength < packedLength) &&
           packedLength <= textLength + kSlack;
}

int UnpackRecordText(std::string_view packed, uint32_t packedLength, uint32_t textLength, std::string& text,
                     const HuffTables& tables, UnpackLengths lengths)
{
    return HuffTableDecoderFor(tables).Unpack(packed, packedLength, textLength, text, lengths);
}

int UnpackRecordTextByTreeWalk(std::string_view packed, uint32_t packedLength, uint32_t textLength,
                               std::string& text, const HuffTables& tables, UnpackLengths lengths)
{
    text.clear();
    // Lengths no record layout can hold, a packed text longer than its text
    // or past the slack are damage: nothing is decoded.
    if (!PackedLengthsDecodable(packedLength, textLength, lengths))
        return PackedTextStatus::BadRecord;
    const uint32_t got = std::min<uint32_t>(packedLength, static_cast<uint32_t>(packed.size()));
    const int start = static_cast<int>(textLength + kSlack - packedLength);
    text.assign(textLength + kSlack, '\0');
    std::memcpy(text.data() + start, packed.data(), got);
    // Only the bytes given are decoded: a text cut short comes out short.
    return DecodeInPlace(text, textLength, start, static_cast<int>(got), packedLength, tables);
}

int UnpackRecordText(std::string_view packed, uint32_t textLength, std::string& text,
                     const HuffTables& tables)
{
    return UnpackRecordText(packed, static_cast<uint32_t>(packed.size()), textLength, text, tables,
                            UnpackLengths::AnyWithinSlack);
}

// ------------------------------------------------------------------ the files

uint16_t PackedHeadSize(uint8_t flags)
{
    if (flags & 0x02)
        return 16;
    if (flags & 0x04)
        return 14;
    return (flags & 0x08) ? 8 : 6;
}

uint16_t PackedItemSize(uint8_t flags)
{
    return (flags & 0x08) ? 8 : 5;
}

bool OpenPackedText(TPackedTextFile& reader, const std::string& path,
                    std::array<uint8_t, kPackedHeaderSize>* header)
{
    ClosePackedText(reader);
    reader.name = ResolvePath(path);
    reader.status = reader.file.Open(reader.name);
    if (reader.status != 0) {
        DbStatus = reader.status;
        return false;
    }
    std::array<uint8_t, kPackedHeaderSize> h{};
    size_t got = 0;
    const int r = reader.file.ReadAt(0, h.data(), h.size(), &got);
    if (r != 0 && r != IoResult::ShortRead) {
        reader.file.Close();
        DbStatus = reader.status = r;
        return false;
    }
    if (got < 5 || h[0] != 'X' || h[1] != '6') {
        reader.file.Close();
        DbStatus = reader.status = PackedTextStatus::BadMagic;
        return false;
    }
    if (header)
        *header = h;
    reader.headSize = PackedHeadSize(h[4]);
    reader.itemSize = PackedItemSize(h[4]);
    reader.compressed = (h[4] & 0x08) != 0;
    reader.nextOffset = kPackedHeaderSize;
    reader.recordsRead = 0;
    DbStatus = reader.status = 0;
    return true;
}

void ClosePackedText(TPackedTextFile& reader)
{
    reader.file.Close();
    reader.headSize = reader.itemSize = 0;
    reader.compressed = false;
}

void ParsePackedHead(const uint8_t* h, uint16_t headSize, uint16_t itemSize, bool compressed,
                     PackedRecordHead& head)
{
    const uint8_t b = h[4];
    head.marker = DecodeLE16(h);
    head.lengthFlags = b;
    head.itemCount = h[5];
    if (!compressed) {
        head.textLength = DecodeLE16(h + 2) + (static_cast<uint32_t>(b & 0x0C) << 14);
        head.dataLength = head.textLength;
    } else if (b & 0x80) {
        head.wide = true;
        head.dataLength = DecodeLE16(h + 6) + (static_cast<uint32_t>(b & 0x70) << 12);
        head.textLength = DecodeLE16(h + 2) + (static_cast<uint32_t>(b & 0x0F) << 16);
    } else {
        head.dataLength = DecodeLE16(h + 6) + (static_cast<uint32_t>(b & 0x01) << 16);
        head.textLength = DecodeLE16(h + 2) + (static_cast<uint32_t>(b & 0x0C) << 14);
    }
    head.flag82 = (b & 0x82) != 0;
    head.type = static_cast<uint8_t>(b >> 4);
    head.kept = {};
    if (headSize >= 14)
        std::memcpy(head.kept.data(), h + 8, 6);
    head.dataOffset = head.offset + headSize + int64_t{head.itemCount} * itemSize;
    head.nextOffset = head.dataOffset + head.dataLength;
}

int ReadPackedHead(const TPackedTextFile& reader, int64_t offset, PackedRecordHead& head, std::string* items)
{
    head = PackedRecordHead{};
    head.offset = offset;
    if (items)
        items->clear();
    if (!reader.file.IsOpen())
        return IoResult::NotFound;
    const int64_t size = reader.file.Size();
    if (offset < 0 || offset + reader.headSize > size)
        return PackedTextStatus::BadRecord;
    uint8_t h[16] = {};
    if (int r = reader.file.ReadAt(offset, h, reader.headSize))
        return r == IoResult::ShortRead ? PackedTextStatus::BadRecord : r;

    ParsePackedHead(h, reader.headSize, reader.itemSize, reader.compressed, head);
    const int64_t itemsOffset = offset + reader.headSize;
    if (head.nextOffset > size)
        return PackedTextStatus::BadRecord;
    if (items && head.itemCount > 0) {
        items->resize(static_cast<size_t>(head.dataOffset - itemsOffset));
        if (int r = reader.file.ReadAt(itemsOffset, items->data(), items->size()))
            return r == IoResult::ShortRead ? PackedTextStatus::BadRecord : r;
    }
    return 0;
}

int ReadPackedRecord(TPackedTextFile& reader, std::string& text, int64_t offset)
{
    text.clear();
    PackedRecordHead head;
    int r = ReadPackedHead(reader, offset, head);
    if (r == 0 || r == PackedTextStatus::BadRecord) {
        // The caller fields follow the head even when its record is damaged.
        reader.flag82 = head.flag82;
        reader.type = head.type;
        reader.itemCount = head.itemCount;
        reader.kept = head.kept;
    }
    if (r != 0) {
        // Without a sound head the record after it cannot be located: a walk
        // ends here instead of reading the same head again.
        if (reader.file.IsOpen())
            reader.nextOffset = reader.file.Size();
        return reader.status = r;
    }

    if (!reader.compressed) {
        text.resize(head.textLength);
        size_t got = 0;
        r = reader.file.ReadAt(head.dataOffset, text.data(), text.size(), &got);
        text.resize(got);
        if (r == IoResult::ShortRead)
            r = PackedTextStatus::BadRecord;
    } else if (head.dataLength > head.textLength + kSlack) {
        r = PackedTextStatus::BadRecord;
    } else {
        std::string packed(head.dataLength, '\0');
        size_t got = 0;
        r = reader.file.ReadAt(head.dataOffset, packed.data(), packed.size(), &got);
        if (r == 0 || r == IoResult::ShortRead) {
            // Only the bytes actually read are decoded.
            packed.resize(got);
            r = HuffTableDecoderFor(reader.tables ? *reader.tables : ProgramHuffTables())
                    .Unpack(packed, head.dataLength, head.textLength, text, UnpackLengths::AnyWithinSlack);
        }
    }
    reader.nextOffset = head.nextOffset;
    ++reader.recordsRead;
    return reader.status = r;
}

bool ReadNextPackedRecord(TPackedTextFile& reader, std::string& text, int& status)
{
    text.clear();
    if (!reader.file.IsOpen() || reader.nextOffset >= reader.file.Size()) {
        status = 0;
        return false;
    }
    status = ReadPackedRecord(reader, text, reader.nextOffset);
    return true;
}

// --------------------------------------------------------- items of rich text

namespace {

int ByteAt(std::string_view text, int pos)
{
    return pos >= 0 && pos < static_cast<int>(text.size()) ? static_cast<uint8_t>(text[pos]) : 0;
}

} // namespace

int ControlItemLength(std::string_view text, int pos)
{
    const int size = static_cast<int>(text.size());
    if (pos < 0 || pos >= size)
        return 0;
    const int code = static_cast<uint8_t>(text[pos]);
    if (code >= 32)
        return 0;
    if (code < 16)
        return 1;
    int length = 3;
    // Another pair follows while the high byte of the one before is below 16.
    while (pos + length - 1 < size && static_cast<uint8_t>(text[pos + length - 1]) < 16)
        length += 2;
    return std::min(length, size - pos);
}

int Read12(std::string_view text, int& pos)
{
    const int value = ByteAt(text, pos + 1) | ((ByteAt(text, pos + 2) & 0x0F) << 8);
    pos += 2;
    return value;
}

int Peek12(std::string_view text, int pos)
{
    return ByteAt(text, pos) | ((ByteAt(text, pos + 1) & 0x0F) << 8);
}

void Unpack6(std::string_view text, int& pos, std::string& out)
{
    out.clear();
    const int size = static_cast<int>(text.size());
    int p = pos;
    while (p + 2 < size && out.size() < 255) {
        const int b1 = static_cast<uint8_t>(text[p + 1]);
        const int b2 = static_cast<uint8_t>(text[p + 2]);
        p += 2;
        const int c1 = b1 & 0x3F;
        const int c2 = ((b2 & 0x0F) << 2) | (b1 >> 6);
        // A pair whose low byte is 0 carries no first character; a blank
        // first character with a second one beside it has a non-zero low
        // byte and so survives, a leading blank included.
        if (b1 != 0)
            out.push_back(static_cast<char>(c1 + 32));
        if (c2 == 0 || out.size() >= 255)
            break;
        out.push_back(static_cast<char>(c2 + 32));
        if (b2 >= 16)
            break;
    }
    pos = p;
}

void Unpack6B(std::string_view text, uint8_t& pos, std::string& out)
{
    int p = pos;
    Unpack6(text.substr(0, 255), p, out);
    pos = static_cast<uint8_t>(p);
}

void Pack6(std::string_view text, bool last, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        const int c1 = (static_cast<uint8_t>(text[i]) - 32) & 0x3F;
        const int c2 = i + 1 < text.size() ? (static_cast<uint8_t>(text[i + 1]) - 32) & 0x3F : 0;
        out.push_back(static_cast<char>(c1 | ((c2 & 3) << 6)));
        out.push_back(static_cast<char>(c2 >> 2));
    }
    if (last && !out.empty())
        out.back() = static_cast<char>(static_cast<uint8_t>(out.back()) + 0x10);
}
