#pragma once
// The state every list window shares with its list: the cached row
// (`TVybRow`), the window's state (`VybRec`) and the actions that keys, the
// scroll bar, the wheel and the list exchange (`ListAction`).
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

// The actions a list window sends to its list and carries out.  Keys arrive
// with the shift flags of the page events (PageShift: Shift 1, Alt 2, Ctrl
// 4); a list's reaction is the action the window carries out next (None:
// consumed).  The buttons send their Shift+F key; a popup item sends its
// button letter and item character (PopupItemAction).
enum class ListAction : uint16_t {
    None = 0,
    Tab = 9,
    Enter = 13,
    ChooseAndClose = 14,
    Escape = 27,
    TreeShowLevel = '+', // a click on a tree symbol of a closed entry
    TreeHideLevel = '-', // ... of an open one
    Refill = 296,
    RefillInPlace = 297,
    PrefixChanged = 298,
    Reposition = 299,
    RowClicked = 300,
    F1 = 359, // F1..F10 359..368
    F10 = 368,
    Home = 371,
    Up = 372,
    PageUp = 373,
    Left = 375,
    Right = 377,
    End = 379,
    Down = 380,
    PageDown = 381,
    ShiftF1 = 384, // tips on and off
    ShiftF2 = 385, // buttons E, S, R
    ShiftF3 = 386, // buttons D, N
    ShiftF4 = 387, // buttons 1, X
    ShiftF5 = 388, // button U
    ShiftF6 = 389, // button M
    ShiftF7 = 390,
    ShiftF8 = 391, // the tree column on and off
    TreeToggled = ShiftF8,
    ShiftF9 = 392,  // all columns
    ShiftF10 = 393, // follow, strict, similar spelling
    F11 = 433,
    F12 = 434,
    WheelUp = 472,
    WheelDown = 480,
};

constexpr uint16_t ActionCodeOf(ListAction action)
{
    return static_cast<uint16_t>(action);
}
constexpr ListAction ListActionOf(uint16_t code)
{
    return static_cast<ListAction>(code);
}
// The action of item `item` ("0".."9", "A" ...) of button `button`'s popup.
constexpr ListAction PopupItemAction(char button, char item)
{
    return static_cast<ListAction>((static_cast<uint8_t>(button) << 8) + static_cast<uint8_t>(item));
}
// The item character when `action` is an item of button `button`'s popup,
// else 0.
constexpr char PopupItemOf(ListAction action, char button)
{
    const auto code = static_cast<uint16_t>(action);
    return (code >> 8) == static_cast<uint8_t>(button) ? static_cast<char>(code & 0xFF) : '\0';
}

// The same codes as numbers, for the key plumbing that passes them on.
namespace ActionCode {
constexpr uint16_t Tab = ActionCodeOf(ListAction::Tab);
constexpr uint16_t Enter = ActionCodeOf(ListAction::Enter);
constexpr uint16_t ChooseAndClose = ActionCodeOf(ListAction::ChooseAndClose);
constexpr uint16_t Escape = ActionCodeOf(ListAction::Escape);
constexpr uint16_t Refill = ActionCodeOf(ListAction::Refill);
constexpr uint16_t RefillInPlace = ActionCodeOf(ListAction::RefillInPlace);
constexpr uint16_t PrefixChanged = ActionCodeOf(ListAction::PrefixChanged);
constexpr uint16_t Reposition = ActionCodeOf(ListAction::Reposition);
constexpr uint16_t RowClicked = ActionCodeOf(ListAction::RowClicked);
constexpr uint16_t F1 = ActionCodeOf(ListAction::F1);
constexpr uint16_t F10 = ActionCodeOf(ListAction::F10);
constexpr uint16_t Home = ActionCodeOf(ListAction::Home);
constexpr uint16_t Up = ActionCodeOf(ListAction::Up);
constexpr uint16_t PageUp = ActionCodeOf(ListAction::PageUp);
constexpr uint16_t Left = ActionCodeOf(ListAction::Left);
constexpr uint16_t Right = ActionCodeOf(ListAction::Right);
constexpr uint16_t End = ActionCodeOf(ListAction::End);
constexpr uint16_t Down = ActionCodeOf(ListAction::Down);
constexpr uint16_t PageDown = ActionCodeOf(ListAction::PageDown);
constexpr uint16_t ShiftF1 = ActionCodeOf(ListAction::ShiftF1);
constexpr uint16_t ShiftF10 = ActionCodeOf(ListAction::ShiftF10);
constexpr uint16_t TreeToggled = ActionCodeOf(ListAction::TreeToggled);
constexpr uint16_t F11 = ActionCodeOf(ListAction::F11);
constexpr uint16_t F12 = ActionCodeOf(ListAction::F12);
constexpr uint16_t WheelUp = ActionCodeOf(ListAction::WheelUp);
constexpr uint16_t WheelDown = ActionCodeOf(ListAction::WheelDown);
} // namespace ActionCode

constexpr int kVybRowSlots = 64; // rows 0..63; row 0 is the scratch row
constexpr int kMaxCachedRows = 63;

// The window's own state, handed by reference to its list.
struct VybRec {
    // Which list and index the list serves ("K", "N", "E", "R", "C" ...);
    // lower case while the tree column is on.
    char Letter = ' ';
    uint8_t Options = 0;   // bit 7 strict mode; other bits the opener's
    bool Whisper = false;  // similar-spelling search
    uint8_t FetchMode = 0; // FetchModeCode
    uint16_t ButtonState = 0;
    uint16_t ButtonStateM = 0;
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
    bool Strict() const { return (Options & 0x80) != 0; }
};

namespace InfoKind {
constexpr uint8_t RowHint = 0;
constexpr uint8_t CellHint = 1;
constexpr uint8_t HeadingHint = 2;
constexpr uint8_t Control = 3; // sub: 0 hint, 1 caption, 2 state, 3 popup, letter: typing hint
} // namespace InfoKind
