#pragma once
// Static key indexes (".sez"): sorted arrays of packed keys with pointers in
// up to three levels (upper, middle, leaf), read through fixed windows of
// 640 bytes.  The upper and middle levels are read when the index is opened,
// so a key search reads one leaf window and never allocates.  Status and
// error reporting are those of db_status.h (DbStatus, DbErrorHook); the
// format is described in docs/formats/sez.md.
//
// Key types (the key type byte is type + k):
//   0   raw text, k <= 8          32  decimal digits, k <= 16 (2 per byte)
//   64  6-bit text, k <= 10       160 32-bit integer (big-endian bytes)
//   192 folded 6-bit text, k <= 10 (folded through KamUpper, then 6-bit)

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/db_status.h"
#include "platform/fs.h"

constexpr int IndexWindowBytes = 640;

// Caps of k by key type.
int KeyTypeCap(uint8_t type);

// The search's window machinery: level bounds, entry geometry, the windows
// and their lookups.  Only key_index.cpp and white-box tests reach into it;
// the one-letter names are those of docs/formats/sez.md.
namespace index_detail {

struct TIndexWindows {
    int32_t M = 0; // entry number of the first middle entry
    int32_t F = 0; // entry number of the first leaf entry
    int32_t E = 0; // entry size in bytes
    uint8_t P = 0; // pointer bytes per entry
    int32_t W = 0; // entries per window
    // Windows are inline: a search never allocates.
    std::array<uint8_t, IndexWindowBytes> upper{};
    std::array<uint8_t, IndexWindowBytes> middle{};
    std::array<uint8_t, IndexWindowBytes> leaf{};
    // The whole middle level, read once when the index is opened (at most
    // 16,383 entries): a key search then reads only its leaf window and the
    // record.  Middle windows are filled from it.
    std::vector<uint8_t> middleLevel;
    int32_t upperBlock = 0;         // 0 first block loaded, W - 1 second
    int32_t middleStart = -1;       // middle position of middle[0]; -1 = none
    int32_t middleLoaded = 0;       // entries valid in middle
    int32_t leafStart = 0x7FFFFFFF; // leaf position of leaf[0]; 0x7FFFFFFF = none
    int32_t leafLoaded = 0;         // entries valid in leaf
};

// Lower bound over window entries first..last (inclusive) comparing their
// first n bytes with key: the first entry not below key, or last when every
// entry is below it.
int32_t SBinS(const uint8_t* window, int32_t E, int32_t n, const uint8_t* key, int32_t last, int32_t first);

// Unsigned byte comparison of n bytes: <0, 0, >0.
int CompareKeyBytes(const uint8_t* a, const uint8_t* b, int32_t n);

// The P-byte little-endian pointer of entry i of a window.
uint32_t EntryPointer(const uint8_t* window, int32_t E, int32_t P, int32_t i);

} // namespace index_detail

// The index part of a table handle.
struct TSezFile {
    ReadOnlyFile file;
    TFileId id;
    std::string folder;              // folder it was opened from
    std::array<uint8_t, 8> header{}; // byte 1 = 'O' while open, 0 when closed
    uint8_t keyType = 0;             // key type byte: type + k
    uint8_t keyBytes = 0;            // packed key bytes per entry
    int32_t entryCount = 0;          // whole entries in the file
    int32_t curPos = 0;              // key-order position of the last record reached
    index_detail::TIndexWindows win;

    bool IsOpen() const { return header[1] == 'O'; }
    bool HasUpper() const { return (header[7] & 0x04) != 0; }
    bool HasTwoUpperBlocks() const { return (header[7] & 0x08) != 0; }
    bool MiddleMapsLeaves() const { return (header[6] & 0x08) != 0; }
    int32_t EntrySize() const { return win.E; }
    int32_t MiddleCount() const { return win.F - win.M; }
    int32_t LeafCount() const { return IsOpen() ? entryCount - win.F : 0; }
    // 0-based offset of the key field in the record.
    int KeyFieldOffset() const { return ((header[7] >> 6) << 8) | header[2]; }
};

// Opens the index named by s.id in folder (letter case of the name is free).
// An empty identity leaves the part closed and DbStatus unchanged.  Silent
// failures: open results 1..5.  Others go to the hook (101, 102, 103).
void OpenSezFile(TSezFile& s, std::string_view folder);
// Closes the index and frees its middle level; the close result (0 when it
// was not open).  Leaves DbStatus alone.
int CloseSezFile(TSezFile& s);

namespace index_detail {
// Reads min(count, entry count - first) entries from entry `first` into
// window (count <= W); returns the number of entries read.  A failed read
// sets DbStatus and calls the hook with (first, 111).
int32_t ReadIndexWindow(TSezFile& s, int32_t first, uint8_t* window, int32_t count);
} // namespace index_detail

// Packed key buffer; longer than any stored key, zero-filled beyond it.
using TPackedKey = std::array<uint8_t, 16>;

// Packs text by the key type byte t (see the format page).  A character
// outside 32..95 in 6-bit mode sets DbStatus to -20004 and is packed anyway.
void PackKey(std::string_view text, TPackedKey& out, uint8_t t);
// Builds the search key of text for an index with key type byte t: pads to 16
// characters with blanks, folds for type 192, reverses the 4 bytes for 160.
// An invalid type (96, 128, 224) leaves out unchanged, sets DbStatus to 20001
// and calls the hook with (id, 0, 104); false then.
bool MakeKey(TPackedKey& out, std::string_view text, uint8_t t, const TFileId& id = TFileId());

// The lower-bound search: the record number of the first leaf entry not below
// text (or of the last entry), and s.curPos its position.  DbStatus 0; a
// positive status when a read failed or the index is damaged (20003, hooks
// 131/132/133; 20001, hook 104 for a key type without packing); -20003 with
// recNo 0 on an empty leaf level.
void SeekKey(TSezFile& s, int32_t& recNo, std::string_view text);

// Record number and key text of the leaf at position pos (clamped to the last
// leaf; s.curPos := it).  A negative position or an empty leaf level gives
// -20003 and leaves the outputs alone.  A leaf pointing outside records
// 1 .. leaf count (an open table's 1 .. record count - 1) is a damaged index:
// 20003 and the hook with (leaf entry number, 133), recNo left alone.
void IndexEntryRecNo(TSezFile& s, int32_t& recNo, int32_t pos);
void IndexEntryKey(TSezFile& s, std::string& out, int32_t pos);
// The record number of the leaf at pos when the loaded leaf window holds it,
// else 0; nothing is read and no state changes (a look ahead for prefetching).
int32_t PeekLeafRecNo(const TSezFile& s, int32_t pos);

// Unpacks n stored key bytes by the key type byte t as IndexEntryKey does.
// False for a type that has no unpacking (out unchanged).
bool UnpackKey(const uint8_t* bytes, int32_t n, uint8_t t, std::string& out);
