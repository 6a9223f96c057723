#include "writers/x6_writer.h"

#include <QString>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <queue>

#include "datastore/kamenici.h"
#include "platform/fs.h"
#include "writers/ctrl_markup.h"

// ------------------------------------------------------------------- encoding

namespace {

// Appends bits to a byte string, each byte filled from its lowest bit.
class BitWriter {
public:
    explicit BitWriter(std::string& out) : out_(out) {}
    void Put(uint64_t value, int count) // count <= 32: the value's low bits, lowest first
    {
        acc_ |= (value & ((uint64_t{1} << count) - 1)) << nbits_;
        nbits_ += count;
        while (nbits_ >= 8) {
            out_.push_back(static_cast<char>(acc_ & 0xFF));
            acc_ >>= 8;
            nbits_ -= 8;
        }
    }
    // The value's `count` low bits, most significant first.
    void PutMsbFirst(int value, int count)
    {
        for (int k = count - 1; k >= 0; --k)
            Put(static_cast<uint64_t>((value >> k) & 1), 1);
    }
    void Flush()
    {
        if (nbits_ > 0)
            out_.push_back(static_cast<char>(acc_ & 0xFF));
        acc_ = 0;
        nbits_ = 0;
    }

private:
    std::string& out_;
    uint64_t acc_ = 0;
    int nbits_ = 0;
};

} // namespace

HuffEncoder::HuffEncoder(const HuffTables& tables) : tables_(tables)
{
    std::string why;
    if (!CheckHuffTables(tables_, &why))
        throw X6Error("unusable code tables: " + why);
    for (int i = 0; i < 256; ++i)
        mapIndex_[tables_.map[i]] = static_cast<uint8_t>(i);
    for (int t = 0; t < kHuffTrees; ++t) {
        const uint8_t* tree = tables_.trees.data() + t * kHuffTreeBytes;
        // Walk down from the root carrying each node's path.
        struct Item {
            int node;
            Code path;
        };
        std::vector<Item> stack{{0, {}}};
        while (!stack.empty()) {
            const Item it = stack.back();
            stack.pop_back();
            for (int bit = 0; bit < 2; ++bit) {
                Code path = it.path;
                if (path.length >= 128)
                    throw X6Error("a code tree deeper than 128 levels");
                if (bit)
                    path.bits[path.length / 64] |= uint64_t{1} << (path.length % 64);
                ++path.length;
                const int child = tree[2 * it.node + bit];
                if (child < kHuffTreeNodes)
                    stack.push_back({child, path});
                else
                    codes_[t][child] = path;
            }
        }
    }
}

std::string HuffEncoder::Encode(std::string_view text) const
{
    std::string out;
    out.reserve(text.size() * 3 / 4 + 8);
    BitWriter w(out);
    uint8_t context = 0;
    auto code = [&](uint8_t byte) {
        const auto& codes = codes_[tables_.selector[context]];
        const int index = mapIndex_[byte];
        const Code& c = codes[index >= kHuffFirstSymbolLeaf ? index : kHuffEscapeLeaf];
        for (int done = 0; done < c.length; done += 32) {
            const int n = std::min(32, c.length - done);
            w.Put(c.bits[done / 64] >> (done % 64), n);
        }
        if (index < kHuffFirstSymbolLeaf) {
            if (index >= 128) {
                w.PutMsbFirst(index - 128, 4);
            } else {
                w.PutMsbFirst(15, 4);
                w.PutMsbFirst(index, 7);
            }
        }
        context = byte;
    };
    for (char ch : text)
        code(static_cast<uint8_t>(ch));
    code(0);
    code(0);
    w.Flush();
    return out;
}

std::optional<std::string> HuffEncoder::Pack(std::string_view text, std::string* why) const
{
    std::string packed = Encode(text);
    std::string back;
    const int r = UnpackRecordText(packed, static_cast<uint32_t>(text.size()), back, tables_);
    if (r == 0 && std::string_view(back).substr(0, text.size()) == text && back[text.size()] == 0 &&
        back[text.size() + 1] == 0)
        return packed;
    if (why) {
        if (text.empty())
            *why = "an empty text cannot be compressed";
        else if (text.back() == 0)
            *why = "the text ends in a zero byte";
        else if (packed.size() > text.size() + 1000)
            *why =
                "the text packs to " + std::to_string(packed.size()) + " bytes, more than its length + 1000";
        else
            *why = "the text does not decode back (a zero after a zero near its end)";
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- the writer

namespace {

void Put16(std::string& out, uint32_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

std::string RecordName(const X6Record& r, size_t index)
{
    return r.name.empty() ? "record " + std::to_string(index + 1) : r.name;
}

} // namespace

X6Writer::X6Writer(X6FileOptions options)
    : options_(options), encoder_(options.tables ? *options.tables : ProgramHuffTables())
{
    if (options_.headSize != 0 && options_.headSize != 14 && options_.headSize != 16)
        throw X6Error("X6 heads are 16, 14 or the short 8/6 bytes");
    uint8_t flags = options_.compressed ? 0x08 : 0x00;
    if (options_.headSize == 16)
        flags |= 0x02;
    else if (options_.headSize == 14)
        flags |= 0x04;
    bytes_ = "X6";
    Put16(bytes_, 0);
    bytes_.push_back(static_cast<char>(flags));
    bytes_.append(11, '\0');
}

uint32_t X6Writer::Add(const X6Record& record)
{
    const std::string name = RecordName(record, offsets_.size());
    const size_t itemSize = options_.compressed ? 8 : 5;
    if (record.items.size() > 255)
        throw X6Error(name + ": more than 255 items");
    for (const std::string& item : record.items)
        if (item.size() != itemSize)
            throw X6Error(name + ": an item is not " + std::to_string(itemSize) + " bytes");
    if (record.type > 7)
        throw X6Error(name + ": type above 7");

    const uint32_t t = static_cast<uint32_t>(record.text.size());
    std::string data;
    uint32_t s = 0;
    uint8_t e = 0;
    if (!options_.compressed) {
        if (t >= (1u << 18))
            throw X6Error(name + ": a stored text of 2^18 bytes or more");
        data = record.text;
        s = t;
        e = static_cast<uint8_t>(((t >> 16) & 1) | (record.flag ? 0x02 : 0) | (((t >> 16) & 3) << 2) |
                                 (record.type << 4));
    } else {
        std::string why;
        auto packed = encoder_.Pack(record.text, &why);
        if (!packed)
            throw X6Error(name + ": " + why);
        data = std::move(*packed);
        s = static_cast<uint32_t>(data.size());
        if (!record.forceWide && t < (1u << 18) && s < (1u << 17)) {
            e = static_cast<uint8_t>(((s >> 16) & 1) | (record.flag ? 0x02 : 0) | (((t >> 16) & 3) << 2) |
                                     (record.type << 4));
        } else {
            if (t >= (1u << 20) || s >= (1u << 19))
                throw X6Error(name + ": a text of 2^20 bytes or more, or packed to 2^19 or more");
            e = static_cast<uint8_t>(0x80 | (((s >> 16) & 7) << 4) | ((t >> 16) & 0x0F));
        }
    }

    const size_t headSize = options_.headSize ? options_.headSize : (options_.compressed ? 8 : 6);
    const uint64_t offset = bytes_.size();
    if (offset + headSize + record.items.size() * itemSize + data.size() > 0xFFFFFFFFu)
        throw X6Error(name + ": the file would pass 4 GiB");
    Put16(bytes_, 0xFFFF);
    Put16(bytes_, t & 0xFFFF);
    bytes_.push_back(static_cast<char>(e));
    bytes_.push_back(static_cast<char>(record.items.size()));
    if (headSize >= 8)
        Put16(bytes_, s & 0xFFFF); // stored files repeat the text length
    if (headSize >= 14)
        bytes_.append(reinterpret_cast<const char*>(record.key.data()), record.key.size());
    if (headSize == 16)
        Put16(bytes_, 0);
    for (const std::string& item : record.items)
        bytes_ += item;
    bytes_ += data;
    offsets_.push_back(static_cast<uint32_t>(offset));
    return static_cast<uint32_t>(offset);
}

std::string X6Writer::Finish() const
{
    std::string out = bytes_;
    if (options_.lastRecordMarker && !offsets_.empty()) {
        const size_t at = offsets_.back();
        out[at] = static_cast<char>(*options_.lastRecordMarker & 0xFF);
        out[at + 1] = static_cast<char>(*options_.lastRecordMarker >> 8);
    }
    return out;
}

int X6Writer::WriteTo(const std::string& path) const
{
    return WriteFileAtomic(path, Finish());
}

// ------------------------------------------------------ making the code tables

const std::array<uint8_t, 256> kFormatContextSelector = {
    2,  11, 11, 11, 1,  1,  2,  11, 11, 11, 11, 11, 11, 0,  0,  1,  2,  0, 1,  10, 1,  1,  1,  2,  1, 1,
    2,  0,  2,  2,  2,  1,  0,  1,  0,  1,  2,  4,  4,  0,  0,  2,  2,  2, 1,  0,  1,  0,  2,  2,  2, 2,
    2,  2,  2,  2,  2,  2,  1,  1,  2,  1,  2,  1,  0,  0,  11, 0,  0,  0, 0,  0,  0,  0,  11, 0,  0, 0,
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  2,  4,  1,  0, 0,  3,  7,  15, 7,  3,  7, 11,
    11, 5,  15, 12, 10, 11, 13, 6,  8,  12, 10, 14, 7,  4,  9,  10, 11, 4, 10, 0,  1,  2,  1,  0,  0, 15,
    4,  11, 6,  0,  2,  15, 3,  0,  12, 1,  2,  11, 0,  0,  0,  15, 0,  4, 3,  0,  4,  0,  3,  0,  6, 0,
    10, 0,  0,  11, 5,  4,  6,  4,  14, 0,  1,  0,  13, 15, 15, 0,  1,  1, 0,  11, 0,  1,  0,  0,  2, 1,
    1,  0,  1,  1,  11, 0,  2,  1,  1,  1,  1,  0,  0,  0,  1,  0,  0,  0, 1,  0,  0,  11, 11, 11, 0, 11,
    1,  11, 0,  0,  2,  0,  0,  0,  0,  0,  0,  11, 11, 0,  0,  0,  0,  1, 1,  0,  11, 0,  6,  0,  0, 0,
    0,  0,  0,  0,  0,  0,  0,  1,  0,  0,  1,  0,  0,  0,  2,  1,  0,  3, 0,  0,  0,  0,
};

HuffTables BuildHuffTables(const std::vector<std::string>& texts)
{
    HuffTables tables;
    tables.selector = kFormatContextSelector;

    // Each text is coded with its two closing zeros.
    std::array<uint64_t, 256> frequency{};
    for (const std::string& text : texts) {
        for (char c : text)
            ++frequency[static_cast<uint8_t>(c)];
        frequency[0] += 2;
    }
    std::array<int, 256> order;
    for (int b = 0; b < 256; ++b)
        order[b] = b;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return frequency[a] > frequency[b]; });
    for (int i = 0; i < 113; ++i)
        tables.map[143 + i] = static_cast<uint8_t>(order[i]);
    for (int i = 0; i < 15; ++i)
        tables.map[128 + i] = static_cast<uint8_t>(order[113 + i]);
    for (int i = 0; i < 128; ++i)
        tables.map[i] = static_cast<uint8_t>(order[128 + i]);
    std::array<int, 256> leafOf{};
    for (int i = 0; i < 256; ++i)
        leafOf[tables.map[i]] = i >= kHuffFirstSymbolLeaf ? i : kHuffEscapeLeaf;

    std::array<std::array<uint64_t, 256>, kHuffTrees> counts{};
    for (const std::string& text : texts) {
        uint8_t context = 0;
        auto count = [&](uint8_t byte) {
            ++counts[tables.selector[context]][leafOf[byte]];
            context = byte;
        };
        for (char c : text)
            count(static_cast<uint8_t>(c));
        count(0);
        count(0);
    }

    for (int t = 0; t < kHuffTrees; ++t) {
        // Ids: leaves by their code, merged nodes from 256 on in order of making.
        using Entry = std::pair<uint64_t, int>; // weight, id
        std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> heap;
        for (int leaf = kHuffEscapeLeaf; leaf < 256; ++leaf)
            heap.push({std::max<uint64_t>(counts[t][leaf], 1), leaf});
        std::vector<std::array<int, 2>> made; // children of node id 256 + k
        while (heap.size() > 1) {
            const Entry a = heap.top();
            heap.pop();
            const Entry b = heap.top();
            heap.pop();
            made.push_back({a.second, b.second});
            heap.push({a.first + b.first, 256 + static_cast<int>(made.size()) - 1});
        }
        // Number the merged nodes breadth-first from the root.
        std::vector<int> number(made.size(), -1);
        std::deque<int> queue{heap.top().second};
        int next = 0;
        number[static_cast<size_t>(heap.top().second - 256)] = next++;
        uint8_t* tree = tables.trees.data() + t * kHuffTreeBytes;
        while (!queue.empty()) {
            const int id = queue.front();
            queue.pop_front();
            const int self = number[static_cast<size_t>(id - 256)];
            for (int bit = 0; bit < 2; ++bit) {
                const int child = made[static_cast<size_t>(id - 256)][bit];
                if (child >= 256) {
                    number[static_cast<size_t>(child - 256)] = next++;
                    queue.push_back(child);
                    tree[2 * self + bit] = static_cast<uint8_t>(number[static_cast<size_t>(child - 256)]);
                } else {
                    tree[2 * self + bit] = static_cast<uint8_t>(child);
                }
            }
        }
    }
    return tables;
}

std::string FormatHuffTablesInc(const HuffTables& tables)
{
    std::string out = "// The code tables of the compressed text files: context selector (256\n"
                      "// bytes), 16 code trees (226 bytes each: node i = child for bit 0, child\n"
                      "// for bit 1) and symbol map (256 bytes), 4,128 bytes in all.\n"
                      "// Made by tools/huffman_table_gen from tools/huffman_sample; the\n"
                      "// decoder, the encoder and the data-set builder all read this file.\n";
    auto hexLines = [&out](const uint8_t* p, size_t n) {
        char buf[8];
        for (size_t i = 0; i < n; ++i) {
            std::snprintf(buf, sizeof buf, "0x%02X,", p[i]);
            out += buf;
            out += (i % 16 == 15 || i + 1 == n) ? "\n" : " ";
        }
    };
    out += "// context selector\n";
    hexLines(tables.selector.data(), 256);
    for (int t = 0; t < kHuffTrees; ++t) {
        out += "// tree " + std::to_string(t) + "\n";
        hexLines(tables.trees.data() + t * kHuffTreeBytes, kHuffTreeBytes);
    }
    out += "// symbol map\n";
    hexLines(tables.map.data(), 256);
    return out;
}

std::string SampleMarkupToRichText(std::string_view utf8)
{
    std::string out;
    std::string first;
    const bool ok = CtrlMarkupToText(utf8, out, [&](int line, const std::string& reason) {
        if (first.empty())
            first = "sample markup line " + std::to_string(line) + ": " + reason;
    });
    if (!ok)
        throw X6Error(first);
    return out;
}

std::vector<std::string> LoadHuffmanSamples(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.is_regular_file() && entry.path().extension() == ".txt")
            names.push_back(entry.path().string());
    if (ec)
        throw X6Error("cannot list " + folder + ": " + ec.message());
    std::sort(names.begin(), names.end());
    std::vector<std::string> texts;
    for (const std::string& name : names) {
        std::string content;
        if (int r = ReadWholeFile(name, content))
            throw X6Error("cannot read " + name + ": I/O result " + std::to_string(r));
        try {
            texts.push_back(SampleMarkupToRichText(content));
        } catch (const X6Error& e) {
            throw X6Error(name + ": " + e.what());
        }
    }
    return texts;
}

// ------------------------------------------------------ checking the decoders

DecoderComparison CompareDecodersInFolder(const std::string& folder)
{
    DecoderComparison result;
    for (const FolderEntry& entry : ListFolder(folder)) {
        if (entry.kind != FolderEntry::Kind::File)
            continue;
        TPackedTextFile reader;
        if (!OpenPackedText(reader, WithTrailingSlash(folder) + entry.name))
            continue;
        if (!reader.compressed) {
            ClosePackedText(reader);
            continue;
        }
        ++result.files;
        const int64_t size = reader.file.Size();
        int64_t offset = kPackedHeaderSize;
        std::string packed, fast, reference;
        while (offset < size) {
            PackedRecordHead head;
            if (ReadPackedHead(reader, offset, head) != 0)
                break;
            packed.assign(head.dataLength, '\0');
            if (reader.file.ReadAt(head.dataOffset, packed.data(), packed.size()) != 0)
                break;
            for (UnpackLengths lengths : {UnpackLengths::AnyWithinSlack, UnpackLengths::PackedWithinText}) {
                const int a = UnpackRecordText(packed, head.dataLength, head.textLength, fast,
                                               ProgramHuffTables(), lengths);
                const int b = UnpackRecordTextByTreeWalk(packed, head.dataLength, head.textLength, reference,
                                                         ProgramHuffTables(), lengths);
                if ((a != b || fast != reference) && result.firstDifference.empty())
                    result.firstDifference = entry.name + " record at " + std::to_string(offset) + ": " +
                                             std::to_string(a) + "/" + std::to_string(fast.size()) +
                                             " bytes against the tree walk's " + std::to_string(b) + "/" +
                                             std::to_string(reference.size());
            }
            ++result.records;
            result.textBytes += static_cast<int64_t>(reference.size());
            offset = head.nextOffset;
        }
        ClosePackedText(reader);
    }
    return result;
}
