#pragma once
// The state every list window shares with its three callbacks: the cached
// row (`TVybRow`), the list state (`VybRec`), the callbacks' signatures and
// the action codes that keys, the scroll bar, the wheel and the callbacks
// exchange.
//
// Texts here are bytes in the data code page.  They become display text only
// at the Qt boundary (KamToQString), and typed text comes back through
// QStringToKam.

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/bits.h"

// A text of at most 255 bytes held in place, so that a cached row is one
// fixed-size block that moves without allocating.
class ShortText {
public:
    static constexpr size_t kCapacity = 255;

    ShortText() = default;
    ShortText(std::string_view s) { Assign(s); } // NOLINT: texts convert
    ShortText& operator=(std::string_view s)
    {
        Assign(s);
        return *this;
    }

    // Cut at 255 bytes.
    void Assign(std::string_view s)
    {
        length_ = static_cast<uint8_t>(s.size() < kCapacity ? s.size() : kCapacity);
        if (length_ > 0)
            std::memcpy(data_.data(), s.data(), length_);
    }
    void Clear() { length_ = 0; }
    std::string_view View() const { return {data_.data(), length_}; }
    operator std::string_view() const { return View(); } // NOLINT
    std::string Str() const { return std::string(View()); }
    size_t size() const { return length_; }
    bool empty() const { return length_ == 0; }
    char operator[](size_t i) const { return data_[i]; }
    // The status character (the first byte), 0 for an empty text.
    uint8_t Status() const { return length_ > 0 ? static_cast<uint8_t>(data_[0]) : 0; }

private:
    uint8_t length_ = 0;
    std::array<char, kCapacity> data_{};
};

// One cached row; also the Fetch callback's output and Info's parameter block.
struct TVybRow {
    int32_t Pos = -1;   // position in the list's order; -1 = no row
    int32_t Aux = 0;    // the callback's own second value (a record number)
    int32_t Offer1 = 0; // offered to linked windows while current (LinkValues[1])
    int32_t Offer2 = 0; // LinkValues[2]
    // Status character, then the row text in the layout the geometry addresses.
    ShortText Text;
};
static_assert(sizeof(TVybRow) == 272, "a cached row is a fixed 272-byte block");

// What the next Fetch call is to deliver.
namespace FetchModeCode {
constexpr uint8_t ReadFirstShown = 1; // the row at Rows[1].Pos again
constexpr uint8_t Seek = 2;           // the first row at or after the prefix
constexpr uint8_t Before = 3;         // the row before Rows[1]
constexpr uint8_t After = 4;          // the row after Rows[RowCount]
constexpr uint8_t First = 5;          // the first row of the range
constexpr uint8_t Last = 6;           // the last row of the range
constexpr uint8_t AtTopPos = 7;       // the row at TopPos (thumb drag)
} // namespace FetchModeCode

// Action codes of list-like windows.  Their handlers get the shift flags of
// the page events (PageShift: Shift 1, Alt 2, Ctrl 4).  A handler that consumed a code sets it
// to 0; the list answers 1 for a key it carried out and wants repeated.
namespace ActionCode {
constexpr uint16_t Tab = 9;
constexpr uint16_t Enter = 13;
constexpr uint16_t ChooseAndClose = 14;
constexpr uint16_t Escape = 27;
constexpr uint16_t Refill = 296;
constexpr uint16_t RefillInPlace = 297;
constexpr uint16_t PrefixChanged = 298;
constexpr uint16_t Reposition = 299;
constexpr uint16_t RowClicked = 300;
constexpr uint16_t F1 = 359; // F1..F10 359..368
constexpr uint16_t F10 = 368;
constexpr uint16_t Home = 371;
constexpr uint16_t Up = 372;
constexpr uint16_t PageUp = 373;
constexpr uint16_t Left = 375;
constexpr uint16_t Right = 377;
constexpr uint16_t End = 379;
constexpr uint16_t Down = 380;
constexpr uint16_t PageDown = 381;
constexpr uint16_t ShiftF1 = 384; // Shift+F1..F10 384..393
constexpr uint16_t ShiftF10 = 393;
constexpr uint16_t TreeToggled = 391;
constexpr uint16_t F11 = 433;
constexpr uint16_t F12 = 434;
constexpr uint16_t WheelUp = 472;
constexpr uint16_t WheelDown = 480;
} // namespace ActionCode

constexpr int kVybRowSlots = 64; // rows 0..63; row 0 is the scratch row
constexpr int kMaxCachedRows = 63;

// The list state handed by reference to every callback.
struct VybRec {
    // Which list and index the callbacks serve ("K", "N", "E", "R", "C" ...);
    // lower case while the tree column is on.
    char Letter = ' ';
    uint8_t Options = 0;   // bit 7 strict mode; other bits the opener's
    bool Whisper = false;  // similar-spelling search
    uint8_t FetchMode = 0; // FetchModeCode
    uint16_t ButtonState = 0;
    uint16_t ButtonStateM = 0;
    int16_t Work1 = 0;
    int16_t Work2 = 0;
    uint8_t WorkFlag = 0;
    int32_t FoundPos = 0;
    int32_t TopPos = 0; // first shown row; the vertical bar shows it
    int32_t RangeFirst = 0;
    int32_t RangeLast = 0;
    int32_t Count = 0;     // records in the range (openers preset 20000 or 40000)
    int32_t LinkValue = 0; // the value received from the master
    uint16_t Command = 0;  // the action being processed
    std::string Prefix;    // the typed text, data code page
    std::array<TVybRow, kVybRowSlots> Rows{};
    uint8_t RowCount = 0;    // cached rows 1..RowCount
    uint8_t GridRows = 0;    // screen lines the grid offers, then rows shown
    uint8_t CurRow = 0;      // index in Rows of the current row
    std::string StatusText;  // shown in the caption instead of the prefix
    std::string IconCaption; // caption while minimised (empty: the prefix)
    // Owned by the list and freed with it.
    std::string SearchWords;        // words of a full-text search
    std::vector<int32_t> ResultSet; // record numbers walked instead of an index
    std::vector<uint16_t> Filter;   // bit filter over record numbers
    TBits Hits;                     // positions the callbacks keep
    std::vector<int32_t> RecArr;    // the similar-spelling search's records
    // The user sign list Hits were built with: replacing the list in use
    // must rebuild them, or a refill keeps the old list's records.
    std::shared_ptr<const void> HitsSignList;

    bool Strict() const { return (Options & 0x80) != 0; }
};

// The three callbacks of a list.  Texts are in the data code page.
//  - Command: reads and may rewrite VybRec.Command (0 = consumed).
//  - Fetch: delivers one row in the direction of FetchMode into `row` (Pos -1
//    = none) and its text (status character first) into `text`.
//  - Info: a text for (kind, sub) about `row`, `key` as the table of kinds
//    says; empty = none.
using TVybCommandProc = std::function<void(VybRec& rec)>;
using TVybFetchProc = std::function<void(VybRec& rec, TVybRow& row, std::string& text)>;
using TVybInfoProc = std::function<void(uint8_t kind, uint8_t sub, const TVybRow& row, std::string& out,
                                        std::string_view key)>;

namespace InfoKind {
constexpr uint8_t RowHint = 0;
constexpr uint8_t CellHint = 1;
constexpr uint8_t HeadingHint = 2;
constexpr uint8_t Control = 3; // sub: 0 hint, 1 caption, 2 state, 3 popup, letter: typing hint
} // namespace InfoKind
