#pragma once
// Sign sets: named bit sets over the records of one table, shipped in
// "<group>.sgn" files (magic "B6") and declared by name at start-up.
//
// One process-wide array holds every declared set.  Sets are declared on the
// start-up loader's thread and loaded and read on the main thread, so the
// array is guarded by a mutex; entries live at stable addresses (a deque
// that only grows) until the array is emptied at shut-down.

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "datastore/bits.h"

// Flags of an entry in memory.
namespace SignSetFlags {
constexpr uint8_t Absent = 0x01;    // declared, but the file did not carry it
constexpr uint8_t Declared = 0x40;  // declared, not loaded yet
constexpr uint8_t WrongSize = 0x80; // loaded, but its bit count is not the expected one
} // namespace SignSetFlags

// Status results of LoadSignSets besides 0 and the I/O results.
namespace SignSetStatus {
constexpr int BadMagic = -8; // no "B6" magic, or a negative bit count
constexpr int NoGroup = -9;  // no declared set belongs to the group
} // namespace SignSetStatus

struct TSignSet {
    // The 28 descriptor bytes of the file, field by field.
    std::array<char, 8> identity{}; // table identity, zero-padded
    std::array<char, 8> name{};     // set name, zero-padded
    int32_t bitCount = 0;
    uint32_t unread = 0;
    uint16_t text1Length = 0;
    uint8_t text2Length = 0;
    uint8_t flags = SignSetFlags::Declared;

    TBits bits;
    std::string text1;
    std::string text2;
    std::string group; // the identity as text

    // The name without its zero padding.
    std::string NameText() const;
};

class TSignSetArray {
public:
    // Guards every entry and the array itself.  Hold it while reading an
    // entry obtained through At() when another thread may load or declare.
    std::mutex& Mutex() const { return mutex_; }

    size_t Count() const;
    // A copy of entry i taken under the lock; an empty declared entry when
    // i is out of range.
    TSignSet Copy(size_t i) const;
    // Entry i (stable address until the array is emptied), nullptr when out
    // of range.  Call with Mutex() held.
    TSignSet* At(size_t i);
    // Index of the set of that group and name, -1 when not declared.
    int Find(std::string_view group, std::string_view name) const;

private:
    friend int AddSignSet(TSignSetArray&, std::string_view, std::string_view);
    friend void ClearSignSets(TSignSetArray&, int, int);
    friend int LoadSignSets(TSignSetArray&, const std::string&, std::string_view, int32_t);

    mutable std::mutex mutex_;
    std::deque<TSignSet> entries_;
    std::set<std::string, std::less<>> loadedGroups_;
};

// The process-wide array of declared sets.
TSignSetArray& SignSets();

// Declares sets of one table.  `names` holds 8-character slots (blanks and
// the part beyond the text become zero bytes); (length - 1) div 8 + 1
// entries are added, one for an empty text.  Returns the first new index.
int AddSignSet(TSignSetArray& array, std::string_view identity, std::string_view names);

// Returns entries a..b to their declared, unloaded state (b below 0 or
// beyond the end: up to the last entry); their groups will be read again on
// the next load.  b below -1 also empties the array.
void ClearSignSets(TSignSetArray& array, int a, int b);

// Loads the declared sets of `group` from folder + group + ".sgn".  Returns
// 0; NoGroup when nothing is declared for the group; the I/O result when the
// file cannot be read (ShortRead when it ends inside a set); BadMagic for a
// file without "B6" or with a negative bit count.  A group loaded once is not
// read again; a load that ends in any error leaves it unloaded, so a later
// call retries.  Sets the file lacks get flags Absent; a set whose bit count
// differs from `expectedBits` is loaded and flagged WrongSize.
int LoadSignSets(TSignSetArray& array, const std::string& folder, std::string_view group,
                 int32_t expectedBits);
