#pragma once
// Writing compressed text files ("X6"): the Huffman encoder, the file writer,
// and the making of the code tables themselves from sample texts.
//
// The encoder packs a text and two closing zero bytes, each byte coded in the
// context of the byte before it (0 before the first): a direct leaf as its
// path from the root, an escape as the escape leaf's path and 4 (then 7)
// literal bits, most significant first.  Stream bits fill each byte from its
// lowest bit; the last byte is padded with zero bits.
//
// Not every text can be carried: the reader stops at a 0 decoded after a 0
// near the end of a record and decodes in place with 1000 bytes of slack.
// So every packed record is decoded again as the reader will, and a text
// that does not come back byte for byte is refused with an X6Error naming
// the record (a text ending in 0, an empty text, "0 0" in the last packed
// bytes, a text that packs to more than its length + 1000 bytes).

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/packed_text.h"

class X6Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ------------------------------------------------------------------- encoding

class HuffEncoder {
public:
    explicit HuffEncoder(const HuffTables& tables = ProgramHuffTables());

    // The packed bytes of text + two zero bytes, without any check.
    std::string Encode(std::string_view text) const;
    // Encode() followed by the reader's decoding; nullopt (with the reason in
    // `why`) when the text would not come back byte for byte.
    std::optional<std::string> Pack(std::string_view text, std::string* why = nullptr) const;

    const HuffTables& Tables() const { return tables_; }

private:
    struct Code {
        std::array<uint64_t, 2> bits{}; // path bits, the first in bit 0
        int length = 0;
    };
    HuffTables tables_;
    std::array<std::array<Code, 256>, kHuffTrees> codes_{}; // [tree][leaf]
    std::array<uint8_t, 256> mapIndex_{};                   // byte -> map entry
};

// ---------------------------------------------------------------- the writer

struct X6FileOptions {
    bool compressed = true;
    // 16 or 14; 0 for the short heads (8 bytes compressed, 6 stored).
    int headSize = 16;
    // A marker other than 0xFFFF on the last record (classification files).
    std::optional<uint16_t> lastRecordMarker;
    const HuffTables* tables = nullptr; // nullptr: the program's
};

struct X6Record {
    std::string text;               // rich text, data code page
    std::vector<std::string> items; // each of the item size: 8 bytes compressed, 5 stored
    std::array<uint8_t, 6> key{};   // head bytes 8-13 (14- and 16-byte heads only)
    uint8_t type = 0;               // 0..7, head byte 4 bits 4-6 (narrow records only)
    bool flag = false;              // head byte 4 bit 1: numbered-heading layout
    bool forceWide = false;         // compressed: the wide layout even when not needed
    std::string name;               // names the record in error messages
};

class X6Writer {
public:
    explicit X6Writer(X6FileOptions options = {});

    // Appends a record and returns the offset of its head.  Throws X6Error
    // for a text that cannot be carried, items of the wrong size or count,
    // or lengths beyond the layout (stored 2^18 - 1; compressed narrow text
    // 2^18 - 1 and packed 2^17 - 1, wide 2^20 - 1 and 2^19 - 1).  A wide
    // record always carries the 0x82 flag; its type is set by the layout.
    uint32_t Add(const X6Record& record);

    size_t RecordCount() const { return offsets_.size(); }
    const std::vector<uint32_t>& Offsets() const { return offsets_; }

    // The whole file, with the last record's marker applied.
    std::string Finish() const;
    // Finish() written atomically; 0 or the I/O result.
    int WriteTo(const std::string& path) const;

private:
    X6FileOptions options_;
    HuffEncoder encoder_;
    std::string bytes_;
    std::vector<uint32_t> offsets_;
};

// ------------------------------------------------------ making the code tables

// The context selector of the format (the same in every table set).
extern const std::array<uint8_t, 256> kFormatContextSelector;

// The program's table set made from texts (data code page, rich text):
// the selector above; a map whose entries 143..255 hold the 113 bytes most
// frequent in the texts (each with its two closing zeros), 128..142 the next
// 15, 0..127 the rest (ties broken by byte value); per tree a Huffman code
// over the 113 direct leaves and the escape leaf, counted over the contexts
// the selector gives that tree, every leaf counted at least once.  Merges
// take the two lightest (ties: leaves by code before nodes by age); the first
// taken becomes the bit-0 child; nodes are numbered breadth-first from the root.
HuffTables BuildHuffTables(const std::vector<std::string>& texts);

// The committed form: the 4,128 bytes as C hex lines with section comments.
std::string FormatHuffTablesInc(const HuffTables& tables);

// Sample markup (tools/huffman_sample/README.md) in UTF-8 -> rich text in the
// data code page.  Throws X6Error for malformed markup.
std::string SampleMarkupToRichText(std::string_view utf8);

// The texts of every *.txt file of a folder, in name order, converted.
std::vector<std::string> LoadHuffmanSamples(const std::string& folder);

// ------------------------------------------------------ checking the decoders

// Every compressed record of the X6 files in a folder, decoded by the
// readers' table decoder and by the reference tree walk, with both length
// rules.  `firstDifference` names the first record where the two differ in
// result or bytes (empty when they agree on all).
struct DecoderComparison {
    int files = 0;
    int64_t records = 0;
    int64_t textBytes = 0;
    std::string firstDifference;
};
DecoderComparison CompareDecodersInFolder(const std::string& folder);
