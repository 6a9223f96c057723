#pragma once
// The user's notes set as the notes window reads and edits it: ".PNT" (one
// 16-bit entry per drug record, 0xFFFF none, else the note's first block),
// ".NOT" (256-byte blocks; a note starts with two zero bytes and "01"/"02")
// and the edit lock ".SMF".  The page: docs/formats/user-files.md.
//
// A save never overwrites a live block.  Under exclusive locks on ".NOT" and
// ".PNT" it records its intent in ".NJ$" (with the entries it changes),
// appends the note at the end of ".NOT", writes those entries where they
// stand (a short ".PNT" is replaced whole), then zeroes the old blocks and
// drops the intent.  A kill at any point leaves either the old or the new note, and the
// next save, edit start or notes import finishes what the intent says (the
// old blocks must go, or the import would bring the old text back).
//
// Everything runs under the user-files mutex; the file calls go through
// FileSystemOps so that tests can fail any step.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_saver.h"

struct TDbTable;

constexpr uint16_t kNoNoteEntry = 0xFFFF;
constexpr size_t kNoteBlockSize = 256;
// The most of a note the window shows.
constexpr size_t kShownNoteLimit = 99700;

// The configured set: the notes folder + the notes name, no extension.
std::string NotesSetBase();

// ------------------------------------------------------------- showing

struct ShownNote {
    enum class State {
        None, // no entry, no files, or an entry past the end
        Text, // `text` holds the note (Kamenický, up to its first zero)
        Busy, // the set is locked by a save or an import for longer than the wait
    };
    State state = State::None;
    std::string text;
    bool packed = false;    // read from a packed set
    bool badLength = false; // a packed note whose length does not check: the decoded part
};
ShownNote ReadShownNote(const std::string& base, int32_t record);

// ------------------------------------------------------------- editing

// One "01" line of a note's header that names a drug of the table.
struct NoteLink {
    std::string code; // 7 digits
    int32_t record = 0;
};
// The drugs a note's header names: the run of "01"/"02" lines from its start
// ("02" links nothing; "01" + 7 digits, or 5 digits and a non-digit read as
// "00" + them); a code counts only when "kl" holds exactly it.
std::vector<NoteLink> NoteRecordList(std::string_view text, TDbTable& kl);
std::vector<NoteLink> NoteRecordList(std::string_view text);

// What an edit read; the save checks that the set still holds it.
struct NoteEditBase {
    int32_t record = 0;
    uint16_t entry = kNoNoteEntry; // the record's entry as read
    bool hasNote = false;          // the entry is at a note start
    int64_t blockCount = 0;        // its extent
    std::string extent;            // the extent's bytes
    std::string text;              // the note's text (Kamenický, to its first zero)
};

enum class NoteStatus {
    Ok,
    Busy,     // a lock was not granted within the wait
    Packed,   // a packed set: it is read, never written
    Stale,    // the note or the record's entry changed since the edit read it
    NoLink,   // every listed drug has another note: nothing written
    TooLarge, // the note would start past the last block an entry can name
    IoError,
};

struct NoteResult {
    NoteStatus status = NoteStatus::Ok;
    int error = 0;                 // errno of an IoError
    std::string path;              // the file it concerns
    std::vector<std::string> kept; // codes that keep their other note
    bool removed = false;          // the save linked no drug: the note is gone
};

// Reads the record's note for an edit, finishing an interrupted save first.
NoteResult ReadNoteForEdit(const std::string& base, int32_t record, NoteEditBase* out,
                           FileSystemOps& ops = RealFileSystem());

// Writes the edited text (Kamenický, lines closed by CR LF) for the drugs its
// header names; a header naming none removes the note from every record.
NoteResult SaveNoteText(const std::string& base, const NoteEditBase& edit, std::string text,
                        FileSystemOps& ops = RealFileSystem());

// Finishes a save that ".NJ$" records; the caller holds the exclusive locks
// of ".NOT" and ".PNT".  0 or an errno.
int FinishInterruptedNoteSave(const std::string& base, FileSystemOps& ops = RealFileSystem());

// The path that stops an edit: ".PNT" or ".NOT" present and read-only, or a
// folder in which no file can be made (tried with a uniquely named temporary
// file, never ".PNT" itself); empty when editing may go on.
std::string UnwritableNotesFile(const std::string& base, FileSystemOps& ops = RealFileSystem());

// The edit lock ".SMF": made only when none exists, and removed only by the
// window that made it (checked by inode), so a foreign lock outlives us.
class NoteEditLock {
public:
    enum class Result { Taken, Foreign, Failed };
    NoteEditLock() = default;
    ~NoteEditLock();
    NoteEditLock(const NoteEditLock&) = delete;
    NoteEditLock& operator=(const NoteEditLock&) = delete;
    Result Take(const std::string& base);
    void Drop();
    bool Owned() const { return inode_ != 0; }

private:
    std::string path_;
    uint64_t inode_ = 0;
};
