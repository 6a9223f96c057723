#pragma once
// The status word, the error hook and the file identity shared by every
// data-store reader (record files, key indexes, their table handle).
//
// Every call reports through DbStatus, never through exceptions:
//   0          success
//   > 0        failure: an I/O result code (platform/fs.h IoResult) or
//              20001 bad magic or format, 20002 record length differs from
//              the expected one, 20003 index range wider than a window (or
//              pointing outside its level or the records), 20005 index and
//              record file disagree in size.  Every such failure also reaches
//              DbErrorHook, except the silent open failures 1..5 and 32.
//   < 0        ordinary results: -20001 key not found exactly, -20003
//              position out of range, -20004 key character outside the
//              6-bit alphabet.
// The caller reads DbStatus directly after the call it reports on.
//
// Threads: DbStatus is per thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

// Status values besides 0 and the I/O result codes.
namespace DbCode {
constexpr int32_t BadFormat = 20001;      // bad magic, impossible header
constexpr int32_t LengthDiffers = 20002;  // record length != expected
constexpr int32_t WindowOverflow = 20003; // index range wider than a window
constexpr int32_t CountsDiffer = 20005;   // leaf entries != record count - 1
constexpr int32_t NotExact = -20001;      // key not found exactly
constexpr int32_t OutOfRange = -20003;    // position out of range
constexpr int32_t BadKeyChar = -20004;    // key character outside 32..95
} // namespace DbCode

// The status of the last data-store call made on this thread.
extern thread_local int32_t DbStatus;

// ---------------------------------------------------------------------------
// File identity

// The identity of a data table's files: the file name without folder and
// extension, lower-case ASCII, padded with zero bytes ("klnaz").  The record
// file is "<folder><id>.dat", the index "<folder><id>.sez".
struct TFileId {
    std::array<char, 8> b{};

    TFileId() = default;
    // Takes at most 8 bytes of name, folding ASCII capitals to lower case.
    TFileId(std::string_view name);
    TFileId(const char* name) : TFileId(std::string_view(name)) {}

    bool IsEmpty() const { return b[0] == 0; }
};

// True when any of the eight bytes differ.
bool FileIdDiffers(const TFileId& a, const TFileId& b);
// The bytes up to the last non-zero one ("" for an all-zero identity).
std::string FileIdToStr(const TFileId& id);

// ---------------------------------------------------------------------------
// Error hook
//
// Called after DbStatus is set, with the identity of the file, a position
// (0, a file record number or an entry number) and a location code:
//   1 .dat open failed (I/O result other than 1..5, 32)   2 .dat header short
//   3 .dat bad magic or field count (20001)               4 length differs
//  11 record read failed (file record number)
// 101 .sez open failed (I/O result above 5)               102 .sez header short
// 103 .sez bad magic or impossible layout (20001)
// 104 .sez key type that has no key packing, met by a search (20001)
// 111 index window read failed (first entry number)
// 121 leaf window read failed in a position lookup (first entry number)
// 131 middle range wider than a window or outside the level (20003)
// 132 leaf range wider than a window or outside the level (20003)
// 133 leaf pointing outside records 1 .. count - 1 (20003, leaf entry number)
// 200 closing a .dat failed   201 closing a .sez failed
// 202 leaf entries differ from record count - 1 (20005)
// (Codes 6 and 106, "reopen with the record size failed", cannot occur: files
// are read at byte offsets and never reopened.)
using TDbErrorHook = void (*)(const TFileId& id, int32_t position, uint16_t code);

// The process-wide hook; DefaultDbErrorHook at start.  Assign to replace it,
// keep the old value to restore it.
extern std::atomic<TDbErrorHook> DbErrorHook;
// A per-thread override: when not null it is called instead of DbErrorHook on
// this thread (a worker that collects errors while the main thread keeps the
// program's hook).
extern thread_local TDbErrorHook ThreadDbErrorHook;

// Calls the hook in effect on this thread.
void CallDbErrorHook(const TFileId& id, int32_t position, uint16_t code);

// The default: shows "Program aborted" with the text of DbErrorText (through
// the presenter below, or on standard error when none is installed) and ends
// the program at once with exit code 3.
[[noreturn]] void DefaultDbErrorHook(const TFileId& id, int32_t position, uint16_t code);

// The message of the default hook, with its double quotes:
// "Error in DB 20001 (loc.3) File kl  Record 0"
std::string DbErrorText(const TFileId& id, int32_t status, int32_t position, uint16_t code);

// How the default hook shows its message.  The windowing layer installs one
// that shows a system-modal box; without one the text goes to standard error.
using TDbFatalPresenter = void (*)(const std::string& caption, const std::string& text);
extern std::atomic<TDbFatalPresenter> DbFatalPresenter;
