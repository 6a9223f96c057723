#pragma once
// Record files (".dat") and the table handle that reads them together with
// one of their key indexes (".sez", see key_index.h).
//
// Status, error hook and file identity: datastore/db_status.h.
//
// Threads: a handle (TDbTable) is used by one thread at a time; different
// threads may use different handles at once.  DataDir is guarded and may be
// read from any thread.
//
// Record numbers start at 1; record 0 is the header's last file record.
// Field positions are 1-based byte positions within the record.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "datastore/db_status.h"
#include "datastore/key_index.h"
#include "platform/fs.h"

// ---------------------------------------------------------------------------
// Data folder

// The data folder with its trailing "/", empty at start.  Set once by the
// start-up code; reading and setting are guarded, so any thread may read it.
std::string DataDir();
void SetDataDir(std::string_view folder);

// ---------------------------------------------------------------------------
// Record file

// Header bytes kept from a record file (enough for 60 fields).
constexpr int DatHeaderBytes = 185;
constexpr int DatMaxFields = 60;

struct TDatFile {
    ReadOnlyFile file;
    TFileId id;
    std::string folder;                           // folder it was opened from
    std::array<uint8_t, DatHeaderBytes> header{}; // byte 1 = 'O' while open
    int32_t count = 0;                            // file records - h: data records are 1 .. count - 1
    uint16_t length = 0;                          // L; before opening the expected length (0 = any)
    uint16_t shift = 0;                           // h: 1 when the header spills into a second record

    bool IsOpen() const { return header[1] == 'O'; }
    int FieldCount() const { return IsOpen() ? header[4] : 0; }
    // Field i (0-based): its packed three-letter name and its descriptor.
    uint16_t FieldName(int i) const;
    uint8_t FieldDescriptor(int i) const;
};

// Length of a field from its descriptor byte.
int FieldLength(uint8_t descriptor);
// Three letters of a packed field name ("KOD", "SR ").
std::string FieldNameToStr(uint16_t packed);

// Opens "<folder><id>.dat" (letter case of the name is free) and checks it
// against dat.length (0 = any length).  An empty identity leaves the part
// closed and DbStatus unchanged.
void OpenDatFile(TDatFile& dat, std::string_view folder);
void OpenDatFile(TDatFile& dat, std::string_view folder, const TFileId& id, uint16_t expectedLength);

// Reads record r (0 = the header's last record) into buf, which holds at
// least dat.length bytes.  A failed read: I/O result, hook code 11.
void ReadRecord(TDatFile& dat, int32_t recNo, char* buf);
void ReadRecord(TDatFile& dat, int32_t recNo, std::string& buf); // resized to L

// The u16 data stamp at bytes 2-3 of "<pathWithoutExtension>.dat"; 0 when
// the file cannot be opened or read.  Leaves DbStatus alone.
uint16_t ReadDatStamp(std::string_view pathWithoutExtension);

// ---------------------------------------------------------------------------
// Table handle

struct TDbTable {
    TSezFile sez;      // key index part (holds the current key-order position)
    int32_t recNo = 0; // record number reached by the last lookup
    TDatFile dat;      // record part

    int32_t Position() const { return sez.curPos; }
    int32_t LeafCount() const { return sez.LeafCount(); }
    int RecordLength() const { return dat.length; }
};

// Opens the record file and the index in DataDir().  A part already open
// under the same identity and folder stays open untouched; a part open under
// another one is closed first.  An empty index identity leaves the record
// part alone open; two empty identities close the handle.  Resets recNo.
// The index is accepted only when its leaf count equals record count - 1
// (else 20005, hook 202, index left closed).
void OpenTable(TDbTable& t, const TFileId& datId, const TFileId& sezId, uint16_t expectedLength);
// The same in an explicit folder.
void OpenTableIn(TDbTable& t, std::string_view folder, const TFileId& datId, const TFileId& sezId,
                 uint16_t expectedLength);

// Reads the record at key-order position pos (0-based).  Out of range:
// -20003 and buf[0] = 0.  Sets the current position and recNo.
void ReadByOrder(TDbTable& t, int32_t pos, char* buf);
void ReadByOrder(TDbTable& t, int32_t pos, std::string& buf);

// Reads the first record in key order whose key field is not below text
// (compared over the text's length; folded through KamUpper for folded-text
// keys).  When the field does not begin with the text: -20001, and the buffer
// holds that first record not below, or the last record.  Integer keys (type
// 160; text = the integer's 4 little-endian bytes) stop at the first entry not
// below without the -20001 test.  An empty text reads position 0; an empty
// index gives -20003.  Sets the current position and recNo.
void FindRecord(TDbTable& t, std::string_view text, char* buf);
void FindRecord(TDbTable& t, std::string_view text, std::string& buf);

// ---------------------------------------------------------------------------
// Field access on a record (positions 1-based; a field reaching past the
// record is cut at its end).

std::string GetField(std::string_view record, int start, int length);
std::string GetFieldTrim(std::string_view record, int start, int length);  // trailing blanks dropped
std::string GetFieldUpper(std::string_view record, int start, int length); // folded through KamUpper
// 0 when the field's bytes equal the first `length` bytes of text, else 1
// (also 1 when text or the record is shorter than that).
int FieldDiffers(std::string_view record, int start, int length, std::string_view text);
// The same after folding both sides through KamUpper.
int FieldDiffersUpper(std::string_view record, int start, int length, std::string_view text);
