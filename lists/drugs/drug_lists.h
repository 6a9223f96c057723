#pragma once
// The drug lists: list windows over the drug table "kl", browsed whole by
// code (K), EAN (E), name (N), national (R) or EU registration number (U),
// or restricted to the value of a master window: an ATC group (A, B), a
// holder country (C), a registration holder (H) or an indication group (I).
// Each is a TVyb served by the callbacks below; the other drug-based lists
// (substances, search results, reimbursement) reuse the column sets, the
// command and info callbacks and the user-list texts.
//
// The filter word of a drug list is VybRec::ButtonState; VybRec::Hits holds
// the index positions passing it (BuildDrugFilter).  In RecArr mode (WorkFlag
// set, filled by SimilarNameSearch) the list walks RecArr instead.

#include <cstdint>
#include <string>
#include <string_view>

#include "datastore/bits.h"
#include "frame/windows/link_kind.h"
#include "lists/toolkit/vyb_types.h"

// ------------------------------------------------------------ column sets

// One of the two column sets of the drug lists: the combined set with one
// details column `Dop`, the split set with `Sil`, `LFo` and `Bal` at the same
// places of the row text.  Layouts are without their closing ".".
struct DrugColumnSet {
    bool split;
    std::string_view rowLayout; // RowLayoutSpec
    std::string_view names;     // ColumnNameList
    std::string_view orderK;    // ColumnOrderSpec by codes, per list letter
    std::string_view orderN;
    std::string_view orderR; // R and U
    std::string_view orderE;
    std::string_view orderSub; // the restricted lists
};
extern const DrugColumnSet kCombinedDrugColumns;
extern const DrugColumnSet kSplitDrugColumns;
// The set ADDCOL= selects (the split set when it is given).
const DrugColumnSet& ActiveDrugColumns();

// The ColumnWidthTable of the drug lists (52 codes with their row-text
// lengths as field descriptors), as CompileColumnLayout takes it.
const std::string& DrugColumnWidthTable();

// The order spec of a list letter, by codes (restricted letters: orderSub).
std::string_view DrugColumnOrder(const DrugColumnSet& set, char letter);
// The column geometry of a list letter (the EAN list with its wider EAN
// column) and its order in column numbers.
std::string DrugListGeometry(const DrugColumnSet& set, char letter);
std::string DrugListOrder(const DrugColumnSet& set, char letter);
// A NUL character and the text "VybLek.hdr" (+ `extra`), with the split set
// the text "VybLek.hdr3" written over it from character 79 on, its length
// kept; for the EAN list ten blanks inserted at character 236.
std::string DrugListHeader(const DrugColumnSet& set, char letter, std::string_view extra = {});

// --------------------------------------------------------- user-list texts

// The line a code hint adds for a drug on the active user sign list: a line
// break and the list's text ("Cudl.usr" + its name; the data's own list
// "VIDUD" as "Cudl.usrSZP").  Empty when no list is loaded or the record is
// not on it.
std::string UserListHintLine(int64_t recordNumber);
// The texts of button "U" for a filter word (sub 0 hint, 1 caption, 2 the
// pressed state "D" or empty).
std::string UserListButtonText(uint8_t sub, uint16_t buttonState);

// ------------------------------------------------------------- the lists

// Opens (or brings to the front) the full list of a window code whose middle
// letter is K, E, N or R (R with last letter E: the EU list U); `prefix`
// (data code page) is typed into it.  Other codes open nothing.
void OpenDrugList(uint16_t code, std::string_view prefix = {});
// Opens the list restricted to the value the master window offers under
// `linkKind` (middle letter A, B, C, H or I), as a dependent window of it.
void OpenDrugSubList(uint16_t code, LinkKind linkKind);

// The three callbacks of the drug lists.
void DrugListFetch(VybRec& rec, TVybRow& row, std::string& text);
void EanListFetch(VybRec& rec, TVybRow& row, std::string& text);
void EuRegListFetch(VybRec& rec, TVybRow& row, std::string& text);
void DrugListCommand(VybRec& rec);
void DrugListInfo(uint8_t kind, uint8_t sub, const TVybRow& row, std::string& out, std::string_view key);

// The positions of the list's open index (MainTable) whose records pass the
// filter words: the signs of "kl" by ButtonState, then the active user list
// (0x200).  Positions beyond the index stay clear.
void BuildDrugFilter(TBits& hits, uint16_t buttonState, uint16_t buttonStateM);

// Registers the openers with the dispatcher ("OpenDrugList",
// "OpenDrugSubList").
void RegisterDrugListCommands();
