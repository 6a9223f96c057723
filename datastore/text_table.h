#pragma once
// Text and parameter tables: every caption, message, hint and code text lives
// in a file of named sections of key/value pairs ("M6" or "V6"), loaded whole
// and looked up by section and key.  Values are byte strings in the Kamenický
// code page; show them through KamToWin.
//
// A table is immutable once loaded except for its two cached cursors (current
// and previous section, each with its last entry), which make runs of keys of
// one section and alternation between two sections cheap.  The cursors are
// guarded by a mutex per table, so lookups are safe from any thread.
// The file format is described in docs/formats/text-table.md.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

// Results of LoadTextTable.  A result of 256 or more is success: the word the
// file holds at offset 2.  Callers treat anything below 256 as failure.
namespace TextTableResult {
constexpr uint16_t BadMagic = 1;       // magic not "M6"/"V6", file of 65,501 bytes or more,
                                       // or a word below 256 at offset 2
constexpr uint16_t OpenFailed = 2;     // the file cannot be opened or its size read
constexpr uint16_t ReadFailed = 3;     // read error, or shorter than the 10-byte header
constexpr uint16_t NoMemory = 12;      // no memory for the block
constexpr uint16_t SizeMismatch = 255; // the size word at offset 4 differs from the file size
constexpr uint16_t FirstSuccess = 256;
} // namespace TextTableResult

// The largest table file; offsets inside a table are 16-bit.
constexpr size_t kTextTableMaxSize = 65500;
// Extra-byte result of FindTextEntry for plain tables.
constexpr uint16_t kPlainTableExtra = 0xFFFF;

class TTextTable {
public:
    // The file bytes as read (never modified); `word` is the word at offset 2.
    TTextTable(std::string bytes, uint16_t word);
    TTextTable(const TTextTable&) = delete;
    TTextTable& operator=(const TTextTable&) = delete;

    const std::string& Bytes() const { return bytes_; }
    uint16_t Word() const { return word_; }
    // File bytes 14 and 15 (the 2nd and 3rd characters of the first section's
    // name) are both "_".
    bool Extended() const { return extended_; }

private:
    friend struct TextTableAccess;

    std::string bytes_;
    uint16_t word_;
    bool extended_;

    // File offsets of the current section's name, of the key last found in it
    // (or its name after a move to the section), and of the previous section
    // and its entry; 0 = no section cached yet.
    mutable std::mutex cursorMutex_;
    mutable uint16_t section_ = 0;
    mutable uint16_t entry_ = 0;
    mutable uint16_t prevSection_ = 0;
    mutable uint16_t prevEntry_ = 0;
    // A damaged entry met by an enumeration has been written to the run log.
    mutable bool damageReported_ = false;
};

using TextTablePtr = std::shared_ptr<const TTextTable>;

// Loads a table file whole.  `out` is always reset first and set only on
// success.  The name is found case-insensitively in its folder.
uint16_t LoadTextTable(TextTablePtr& out, const std::string& fileName);
// The same from bytes already in memory (tests, tables inside other files).
// Never returns OpenFailed; ReadFailed for fewer than 10 bytes.
uint16_t LoadTextTableFromBytes(TextTablePtr& out, std::string bytes);
// The I/O result of this thread's last LoadTextTable file operation (0 = none failed).
int TextTableIoStatus();

// The value of section.key, or "!! " + section + "." + key (cut to 255 bytes)
// when the table is nil or the entry is missing (also when the table is
// damaged there).  An empty key or a key of one blank reads the key "_".
std::string LookupText(const TTextTable* table, std::string_view section, std::string_view key);
inline std::string LookupText(const TextTablePtr& table, std::string_view section, std::string_view key)
{
    return LookupText(table.get(), section, key);
}

// The offset of the value of section.key in the table (0 when missing; `out`
// is then untouched), and the value in `out`.  No "_" substitution, no "!! "
// text: for optional texts and parameters.
uint16_t GetTextEntry(const TTextTable* table, std::string_view section, std::string_view key,
                      std::string& out);
inline uint16_t GetTextEntry(const TextTablePtr& table, std::string_view section, std::string_view key,
                             std::string& out)
{
    return GetTextEntry(table.get(), section, key, out);
}

// The offset of the value of section.key (after the extra byte in extended
// tables), 0 when missing or the table is nil.  `extraPlus1` receives the
// extra byte plus one in extended tables and kPlainTableExtra in plain ones.
uint16_t FindTextEntry(const TTextTable* table, std::string_view section, std::string_view key,
                       uint16_t* extraPlus1 = nullptr);
inline uint16_t FindTextEntry(const TextTablePtr& table, std::string_view section, std::string_view key,
                              uint16_t* extraPlus1 = nullptr)
{
    return FindTextEntry(table.get(), section, key, extraPlus1);
}

// Enumeration of a section in table order: the entry that follows `key`
// (the first entry when `key` is empty) goes to `key` and `value`, and the
// result is its value's offset.  0 at the section's end, when the key or the
// section is missing, or when the table is damaged there; key and value are
// then untouched.
uint16_t NextTextEntry(const TTextTable* table, std::string_view section, std::string& key,
                       std::string& value);
inline uint16_t NextTextEntry(const TextTablePtr& table, std::string_view section, std::string& key,
                              std::string& value)
{
    return NextTextEntry(table.get(), section, key, value);
}

// Drops this reference (nothing for nil).  A lookup that another thread runs
// on the same table keeps the table alive until it ends.
void FreeTextTable(TextTablePtr& table);

// A process-wide table slot that one thread may replace (language change)
// while others look texts up: readers take a reference under the slot's
// mutex and finish on the table they took.
class TextTableSlot {
public:
    TextTablePtr Get() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return table_;
    }
    void Set(TextTablePtr table)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        table_.swap(table);
    } // the old table is released with `table`, after the lock
    explicit operator bool() const { return Get() != nullptr; }

private:
    mutable std::mutex mutex_;
    TextTablePtr table_;
};

// The program's texts (qevw.ces / qevw.ang beside the program) and the data
// set's texts (kalvo.ces / kalvo.ang in the data folder).
extern TextTableSlot UiTexts;
extern TextTableSlot DataTexts;

// Loads into a slot: on failure the slot is left nil.
uint16_t LoadTextTable(TextTableSlot& slot, const std::string& fileName);
void FreeTextTable(TextTableSlot& slot);

inline std::string LookupText(const TextTableSlot& slot, std::string_view section, std::string_view key)
{
    return LookupText(slot.Get().get(), section, key);
}
inline uint16_t GetTextEntry(const TextTableSlot& slot, std::string_view section, std::string_view key,
                             std::string& out)
{
    return GetTextEntry(slot.Get().get(), section, key, out);
}
inline uint16_t FindTextEntry(const TextTableSlot& slot, std::string_view section, std::string_view key,
                              uint16_t* extraPlus1 = nullptr)
{
    return FindTextEntry(slot.Get().get(), section, key, extraPlus1);
}
inline uint16_t NextTextEntry(const TextTableSlot& slot, std::string_view section, std::string& key,
                              std::string& value)
{
    return NextTextEntry(slot.Get().get(), section, key, value);
}

// The program's text section.key and the data set's, as LookupText gives
// them ("!! " + section + "." + key when missing): the one short form every
// reader uses instead of a wrapper of its own.
inline std::string ProgramText(std::string_view section, std::string_view key)
{
    return LookupText(UiTexts, section, key);
}
inline std::string DataSetText(std::string_view section, std::string_view key)
{
    return LookupText(DataTexts, section, key);
}
