#pragma once
// Compressed text files ("X6") and the items inside their rich texts.
//
// An X6 file is a 16-byte header and records addressed by byte offset.  Each
// record is a head, k items and its data: the text itself (stored files) or
// the text packed with an order-1 context Huffman code (compressed files):
// the previous output byte selects one of 16 code trees through a context
// selector, and a symbol map turns leaves and escapes into bytes.  The three
// tables are constants shared with the writer (datastore/huffman_tables.inc).
//
// The readers (UnpackRecordText, ReadPackedRecord) decode with the table
// decoder of datastore/huff_table_decoder.h; HuffDecode, the walk of the
// trees bit by bit, stays as the reference the table decoder must match.
//
// Nothing here is static state: every decode keeps its state in the caller's
// variables, so several threads may decode at once.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/fs.h"

// ---------------------------------------------------------------- code tables

constexpr int kHuffTreeNodes = 113; // nodes 0..112, node 0 the root
constexpr int kHuffTreeBytes = 2 * kHuffTreeNodes;
constexpr int kHuffTrees = 16;
constexpr int kHuffEscapeLeaf = 142; // followed by 4 (or 4 + 7) literal bits
constexpr int kHuffFirstSymbolLeaf = 143;
constexpr int kHuffTableBytes = 256 + kHuffTrees * kHuffTreeBytes + 256; // 4,128

struct HuffTables {
    // Entry c: the tree (0..15) that decodes the byte after output byte c.
    std::array<uint8_t, 256> selector{};
    // Tree t, node i: trees[t * 226 + 2 * i + bit] is the child for that
    // bit; a child of 113 or more is a leaf.
    std::array<uint8_t, kHuffTrees * kHuffTreeBytes> trees{};
    // A permutation of 0..255: 143..255 the bytes of the direct leaves,
    // 128..142 those of the 15 short escapes, 0..127 the long escapes.
    std::array<uint8_t, 256> map{};

    // The 4,128 bytes in file order: selector, trees, map.
    static HuffTables FromBytes(const uint8_t* bytes);
};

// The program's tables, compiled in from datastore/huffman_tables.inc.
const HuffTables& ProgramHuffTables();

// True when the tables can code every byte: selector entries 0..15, a map
// that is a permutation, and every tree complete (from the root, each node
// 1..112 reached exactly once and each leaf 142..255 exactly once, no
// reserved leaf 113..141).  `why` receives the first fault.
bool CheckHuffTables(const HuffTables& tables, std::string* why = nullptr);

// ------------------------------------------------------------------- decoding

// HuffDecode results.
constexpr int kHuffStopped = -1; // input exhausted, a reserved leaf or a block head past the end
constexpr int kHuffOverrun = -2; // the output would overwrite unread input

// Decodes the packed bytes buffer[inputPos, end) into the same buffer from
// position outCount on (0 before the first byte; the byte before it is the
// first context).  bytesLeft counts the bytes of the current block: a 0
// decoded in context 0 (after a 0, or first) while fewer than 5 are left
// starts the next block (a u16 + 2 gives its size, 4 bytes are skipped; with
// fewer than 4 bytes before the end decoding stops instead).  Returns kHuffStopped when
// decoding ended (pendingCode then holds the leaf or node it ended on) or
// kHuffOverrun.  Resumption is not supported: pendingCode is only reported.
int HuffDecode(uint8_t* buffer, int end, int inputPos, int& pendingCode, int& bytesLeft, int& outCount,
               const HuffTables& tables = ProgramHuffTables());

// The widest lengths a record head can hold (wide layout: T 20 bits, S 19).
constexpr uint32_t kMaxPackedTextLength = (1u << 20) - 1;
constexpr uint32_t kMaxPackedDataLength = (1u << 19) - 1;

// The room in front of the packed bytes when a text is decoded in place.
constexpr uint32_t kPackedSlack = 1000;

// Whether a packed text may be longer than its decoded text.  The notes and
// classification readers hold T = P + G with a growth G of 0 or more, so a
// packed text longer than its text is damage there; a document record (and
// the writer's own check) may pack a short text into more bytes.
enum class UnpackLengths { PackedWithinText, AnyWithinSlack };

// The readers' decoding of one packed text of P = packedLength bytes that
// decodes to T + 2 bytes (T = textLength), in a buffer of T + 1000 bytes
// with the packed bytes at its end.  `packed` holds the bytes that could be
// read: fewer than P (a text cut short in its file) are decoded as far as
// they go.  Returns 0 when the output is exactly T + 2 bytes, else -15;
// also -15 without decoding for P > T + 1000, lengths wider than any head
// holds, and (PackedWithinText) T < P.  `text` gets what was decoded (T + 2
// bytes on success, the two closing zeros included).
// Whether lengths of a packed text can be decoded at all: within what a
// record head holds, the packed text within the slack (and, with
// PackedWithinText, not longer than the text).
bool PackedLengthsDecodable(uint32_t packedLength, uint32_t textLength, UnpackLengths lengths);

int UnpackRecordText(std::string_view packed, uint32_t packedLength, uint32_t textLength, std::string& text,
                     const HuffTables& tables = ProgramHuffTables(),
                     UnpackLengths lengths = UnpackLengths::PackedWithinText);
// UnpackRecordText by the tree walk (HuffDecode in place): the reference
// the table decoder that every reader uses must match byte for byte, kept
// for the tests and benchmarks that compare the two.
int UnpackRecordTextByTreeWalk(std::string_view packed, uint32_t packedLength, uint32_t textLength,
                               std::string& text, const HuffTables& tables = ProgramHuffTables(),
                               UnpackLengths lengths = UnpackLengths::PackedWithinText);
// The same with P = packed.size() and any packed length within the slack.
int UnpackRecordText(std::string_view packed, uint32_t textLength, std::string& text,
                     const HuffTables& tables = ProgramHuffTables());

// ------------------------------------------------------------------ the files

namespace PackedTextStatus {
constexpr int BadMagic = 20001;
constexpr int BadRecord = -15; // wrong decoded length, or head, items or data past the end
} // namespace PackedTextStatus

constexpr int kPackedHeaderSize = 16;

// One record head, parsed.
struct PackedRecordHead {
    int64_t offset = 0;      // of the head
    uint16_t marker = 0;     // 0xFFFF on every record of a sound file
    uint8_t lengthFlags = 0; // head byte 4
    uint8_t itemCount = 0;
    bool wide = false; // compressed record with 20-bit text length
    uint32_t textLength = 0;
    uint32_t dataLength = 0;       // stored: the text length; compressed: the packed length
    bool flag82 = false;           // lengthFlags and 0x82 not 0
    uint8_t type = 0;              // lengthFlags shr 4
    std::array<uint8_t, 6> kept{}; // head bytes 8-13 (zero for shorter heads)
    int64_t dataOffset = 0;
    int64_t nextOffset = 0; // of the record that follows
};

struct TPackedTextFile {
    ReadOnlyFile file;
    std::string name;
    uint16_t headSize = 0;
    uint16_t itemSize = 0;
    bool compressed = false;
    // Of the last record read.
    bool flag82 = false;
    uint8_t type = 0;
    uint8_t itemCount = 0;
    std::array<uint8_t, 6> kept{};
    int64_t nextOffset = kPackedHeaderSize; // the record after the last one read
    int64_t recordsRead = 0;
    int status = 0;                     // of the last call
    const HuffTables* tables = nullptr; // nullptr: the program's
};

// Opens an X6 file (the name is found case-insensitively in its folder) and
// takes the head and item sizes from its header.  False with `status` (and
// DbStatus) set to the I/O result, or to BadMagic (file closed) for a file
// that is not X6.
bool OpenPackedText(TPackedTextFile& reader, const std::string& path,
                    std::array<uint8_t, kPackedHeaderSize>* header = nullptr);
void ClosePackedText(TPackedTextFile& reader);

// Head and item sizes of an X6 header flags byte.
uint16_t PackedHeadSize(uint8_t flags);
uint16_t PackedItemSize(uint8_t flags);

// Parses the head bytes h (headSize of them) of the record at head.offset:
// lengths, caller fields, and where its data and the next record begin.
// Nothing is checked against a file.
void ParsePackedHead(const uint8_t* h, uint16_t headSize, uint16_t itemSize, bool compressed,
                     PackedRecordHead& head);

// Reads and parses the head at `offset`; `items` (when given) receives the
// k items' bytes.  0; BadRecord when the head, the items or the data lie past
// the end of the file; or the I/O result.
int ReadPackedHead(const TPackedTextFile& reader, int64_t offset, PackedRecordHead& head,
                   std::string* items = nullptr);

// Reads the record at `offset` (the first is at 16) into `text`: a stored
// record's text, or a compressed record's decoded text with its two closing
// zero bytes.  Sets the caller fields and nextOffset and counts the record.
// 0; BadRecord (text holds what could be decoded); or the I/O result.  When
// the head itself cannot be read, nothing is counted and nextOffset goes to
// the end of the file: the records after it cannot be located.
int ReadPackedRecord(TPackedTextFile& reader, std::string& text, int64_t offset);
// The record after the last one read (the first after opening); false at
// the end of the file, where nothing is read.
bool ReadNextPackedRecord(TPackedTextFile& reader, std::string& text, int& status);

// --------------------------------------------------------- items of rich text
// Positions are 0-based byte positions in the text.  None of these reads
// beyond the text's end.

// Length of the item at pos: 0 for a character (32 or more), 1 for a code
// below 16, else 3 + 2 for every further parameter pair (a pair whose high
// byte is below 16 is followed by another); cut at the text's end.
int ControlItemLength(std::string_view text, int pos);

// The 12-bit value of the pair after pos (low byte, low 4 bits of the high
// byte); pos advances by 2, onto the pair's high byte.  Bytes past the end
// count as 0.
int Read12(std::string_view text, int& pos);
// The same value from the bytes at pos and pos + 1, without advancing.
int Peek12(std::string_view text, int pos);

// Unpacks the 6-bit string parameter whose pairs start after pos: a pair
// whose low byte is 0 adds no first character, a zero second character ends the string, so
// does a pair whose high byte is 16 or more.  pos is left on the last pair's
// high byte.  At most 255 characters.
void Unpack6(std::string_view text, int& pos, std::string& out);
// The same on a short string (at most 255 bytes) with an 8-bit position.
void Unpack6B(std::string_view text, uint8_t& pos, std::string& out);
// Packs characters 32..95 into pairs (an odd text gets a closing blank);
// with `last`, 16 is added to the final byte, which ends the string.
void Pack6(std::string_view text, bool last, std::string& out);
