#pragma once
// The user's own files beside the data: the sign list (".SGN", one bit per
// drug record, imported from a list of codes), the notes set (".NOT" texts,
// ".PNT" pointers per record, ".SMF" lock; imported here, marked in the
// lists), the maximal-dose marks and the word files.  The page:
// docs/formats/user-files.md.
//
// Threads: the loader thread loads, the main thread reads while it paints.
// Every loaded state is built aside and published whole as an immutable
// snapshot; a reader takes one per call (or per list fill) and never sees a
// half-built one.  One mutex serializes the work on the user's files.  Before
// the first load a reader sees the empty state.
//
// The settings, the boxes and the maximal-dose timer belong to the frame;
// they come in through UserFileHooks, which the program's entry fills.  An
// empty hook gives an empty setting, and a box becomes a run-log line.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/bits.h"
#include "platform/file_saver.h"

struct UserFileHooks {
    // SIGN= and NOTES= (code page 1250; NOTES= empty means "NOTES").
    std::function<std::string()> signListName;
    std::function<std::string()> notesName;
    // QEVNOTES with "/", else the data folder; the maximal-dose list's path
    // prefix (the list is it + ".maxim.stx").
    std::function<std::string()> notesFolder;
    std::function<std::string()> maximDir;
    // Clears SIGN= and saves the settings without messages.
    std::function<void()> clearSignList;
    // Boxes in the display code page; callable from any thread (the frame
    // queues them to the main thread).
    std::function<void(const std::string& text)> showError;
    std::function<void(const std::string& text)> showMessage;
    std::function<void()> enableMaximTimer;
    // VZPCR= (the reimbursement columns; "-XY" drops X and Y from the data's
    // default) and whether the maximal-dose feature is on.
    std::function<std::string()> reimbColumns;
    std::function<bool()> maximOn;
};

// Replaces the hooks and returns the ones they replace.
UserFileHooks SetUserFileHooks(UserFileHooks hooks);
UserFileHooks CurrentUserFileHooks();

// Where the imports report.  The first character of a message selects:
// 'E'/'W' an error, 'M' a message, 'p' progress, '!' a text missing from the
// UI table (shown as an error so it is never lost).
class NoteMessageSink {
public:
    virtual ~NoteMessageSink() = default;
    virtual void Message(std::string_view message) = 0;
};

// The program's sink: the first character becomes a blank and the message
// goes to the error or message box hook; progress is dropped.
class NotesMessageSink : public NoteMessageSink {
public:
    void Message(std::string_view message) override;
};

// ------------------------------------------------------------- sign list

struct SignListState {
    std::vector<uint16_t> words; // bit r mod 16 of word r div 16: record r
    bool active = false;
};
std::shared_ptr<const SignListState> SignListSnapshot();
bool SignListHas(const SignListState& list, int64_t record);

// Words of a sign list over a table of n records (record 0 the header).
inline size_t SignWordCount(int64_t n)
{
    return n > 0 ? static_cast<size_t>((n - 1) / 16 + 1) : 1;
}

// Loads the list SIGN= names, or rebuilds it from its source when its size
// does not fit the drug table.
void LoadSignList();
// Rebuilds the list from its source and reports the count in a box.
void RebuildSignList();
// A name the sign-list import may write: not one of the data's own lists
// ("KL", "ATC", "KK", "VIDUD", any case), no folder separator.
bool SignListNameWritable(std::string_view name);

// Reads base + ".TXT" (else ".CSV"), sets the bit of every listed drug found
// in "kl" (words sized by the caller) and replaces base + ".SGN" and the
// report base + ".OTH".  The count of drugs set; -2 no source (nothing
// touched), -3 a file could not be written (the old files stay as they were).
int ImportSignList(const std::string& base, NoteMessageSink& sink, std::vector<uint16_t>& words,
                   FileSystemOps& ops = RealFileSystem());

// ----------------------------------------------------------------- notes

struct NoteMarksState {
    std::vector<uint16_t> words; // bit j of word g: record 16g + j has a note
};
std::shared_ptr<const NoteMarksState> NoteMarksSnapshot();
bool NoteMarksHas(const NoteMarksState& marks, int64_t record);
// No ".SMF" lock at the last LoadNoteMarks.
bool NotesEnabled();
bool NoteMarksOn();
// Asks the next LoadNoteMarks to read ".PNT" again, whatever its age.
void RequestNoteMarksReload();
// (Re)loads the marks when ".PNT" changed.
void LoadNoteMarks();

// Counts of one notes import.
struct NoteImportResult {
    bool imported = false; // the new set replaced the old one
    int written = 0;       // notes in the new set
    int withoutDrug = 0;   // notes linking no drug of the table
    int linked = 0;        // drugs linked
};

// The notes import of the set base + ".NOT" (option letters "-A "): every
// note is re-indexed against "kl" into a new ".NOT" and ".PNT", the old
// texts are kept as ".BAK", a report goes to ".OTH".  The ".SMF" lock keeps
// other copies (and the notes program) out meanwhile; a set in use, or of
// another form, is left as it is.
NoteImportResult NoteFiles(const std::string& base, std::string_view options, NoteMessageSink& sink,
                           FileSystemOps& ops = RealFileSystem());
// The import of the configured set, then LoadNoteMarks; an error box when
// notes are off.
void ImportNotes();

// ------------------------------------------------------ maximal-dose marks

// Bit r - 1 for record r.
std::shared_ptr<const TBits> MaximMarksSnapshot();
// The maximal-dose feature's switch as SetupEdition read it.
bool MaximFeatureOn();
// Fills the marks from MaximDir + ".maxim.stx": 0, the I/O result of the
// list or the data-store status of "kl"; a failure keeps the old marks.
int LoadMaximList();

// -------------------------------------------------------------- word files

// LF + the bytes of DataDir() + name + a 0 byte; empty when it is missing.
void LoadWordFile(std::string& out, const std::string& fileName);

// ------------------------------------------------------------ the edition

// The columns of the reimbursement lists, as SetupEdition set them.
std::string ReimbColumnLetters();
// The letters a VZPCR= value stands for: itself, or when it is empty or
// "-XY", the data's default `init` without X and Y; at most 31.
std::string ExpandReimbColumnLetters(std::string_view held, std::string_view init);
// The reimbursement columns, note marks and sign list (drugs), the sign-set
// declarations, the data month and the maximal-dose timer of a data set.
void SetupEdition(uint8_t dataSet);
// The sign-set declarations of SetupEdition ("kk", "atc", "kl"), unless an
// earlier call made them.
void DeclareEditionSignSets();

// Drops the sign list, note marks and maximal-dose marks (end of a run).
void FreeUserFileState();
