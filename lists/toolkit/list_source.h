#pragma once
// What a list window shows, and how it is opened.
//
// A list is a class implementing ListSource: it owns its table handles and
// its own state (the filter its hits were built with, a walk of its own),
// delivers rows one at a time, answers every action the window sends with
// the action the window is to carry out, and gives the hint and button
// texts.  The window (TVyb) keeps only what every list shares: the typed
// prefix, the order letter, the cached rows and the scroll position (VybRec).
//
// A window is opened by OpenListWindow with a ListWindowSpec: the caption,
// the columns, typing, buttons, header, icon, help keyword and link kinds.
//
//   class MyList : public ListSource {
//       std::string_view CheckTables() override;          // "NoData" ...
//       void Fetch(VybRec&, TVybRow&, std::string&) override;
//       ListAction React(VybRec&, ListAction) override;
//       std::string Info(uint8_t, uint8_t, const TVybRow&, std::string_view) const override;
//   };
//   OpenListWindow(spec, std::make_shared<MyList>());

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "frame/windows/link_kind.h"
#include "lists/toolkit/vyb_types.h"

class TDataForm;
class TVyb;

class ListSource {
public:
    virtual ~ListSource() = default;

    // Whether the list's tables (and sign sets) can be read: empty when they
    // can, else the key of the error text in section "Chyby" ("NoData",
    // "ErrSgn").  Called before any window is looked for or made.
    virtual std::string_view CheckTables() { return {}; }
    // The last step before the window is made, `master` the window it will
    // follow (the main window for one that follows nothing); false opens
    // nothing (a question the user cancelled).
    virtual bool Prepare(TDataForm* /*master*/) { return true; }
    // The list's own start values in the new window's state, after the
    // spec's (a count known only once the tables are read).
    virtual void Start(VybRec& /*rec*/) {}

    // One row in the direction of rec.FetchMode into `row` (Pos -1: none)
    // and its text, status character first, in the data code page.
    virtual void Fetch(VybRec& rec, TVybRow& row, std::string& text) = 0;
    // The list's reaction to an action of the window: the action the window
    // carries out next (ListAction::None: the list consumed it).
    virtual ListAction React(VybRec& /*rec*/, ListAction action) { return action; }
    // A hint, caption, button state or popup for (kind, sub) about `row`,
    // `key` as InfoKind says; empty = none.
    virtual std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const = 0;

    // True while the list walks a set of its own (similar spellings) instead
    // of its index: its rows are numbered differently, so marks are dropped
    // when this changes.
    virtual bool WalksOwnSet() const { return false; }
    // The words of a full-text search or the choice of kinds the rows were
    // built with (empty: none); button R shows them and the viewer opened
    // from the list highlights them.
    virtual std::string SearchWords() const { return {}; }
};

// How the opened window is placed.
enum class ListPlacement : uint8_t {
    Placed,             // by the layout mode only
    Maximised,          // placed, then maximised
    MaximisedUnderMain, // maximised when its master is the main window
};

struct ListWindowSpec {
    uint16_t code = 0;    // the window's kind code
    std::string caption;  // data code page
    std::string geometry; // the compiled column layout (CompileColumnLayout)
    std::string order;    // ColumnOrderSpec
    std::string header;   // NUL, then the heading line
    // Typing: the longest prefix (0: none) and the edit kind (" " no typing
    // and no cursor, "0".."9" digits only, "5" and "6" with the registration
    // number paste, "A".."Z" capitals, other letters free typing).
    uint8_t maxTyped = 0;
    char editKind = ' ';
    // The button letters in the order they are placed (list_window.h).
    std::string buttons;
    const char* icon = nullptr;        // IkonaImage name; nullptr: none
    const char* helpKeyword = nullptr; // nullptr: none
    // LinkKinds: [0] the kind the window follows (None: it follows no
    // master), [1] and [2] the kinds it offers.
    std::array<LinkKind, 3> links{LinkKind::None, LinkKind::None, LinkKind::None};
    // A dependent window without a value from its master opens nothing.
    bool needsValue = false;
    // The window follows its master even where a new window would start
    // independent (the restricted drug lists); else as FindDataWindow says.
    bool alwaysFollows = false;
    // An open window of the code is made the active one, not only raised
    // (the reimbursement lists, whose openers would ask for kinds).
    bool activateOpen = false;
    // A new window even when one of the code is open (result lists and the
    // choosers of the condition window, which follow nothing).
    bool alwaysNew = false;
    bool twoLineRows = false;
    ListPlacement placement = ListPlacement::Placed;
    // The state the window starts with.
    char letter = ' ';
    int32_t count = 0;
    uint8_t options = 0; // bit 7 strict
    uint16_t buttonState = 0;
    uint16_t buttonStateM = 0;
    std::string prefix;
    bool reposition = false; // take the master's value at the first fill
    std::string statusText;  // shown in the caption instead of the prefix
    std::string iconCaption;
};

// Opens a list window: checks the tables (an error text when they cannot be
// read), finds an open window of the code and brings it to the front, asks
// the source to prepare, creates the window, places and shows it.  Returns
// the new window, nullptr when none was made.
TVyb* OpenListWindow(const ListWindowSpec& spec, std::shared_ptr<ListSource> source);
