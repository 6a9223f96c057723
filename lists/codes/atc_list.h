#pragma once
// The ATC classification as a list window: by code ("C") or by name ("N"),
// flat or as a tree ("c", "n": the tree column is on; the tree itself acts
// only in code order).  Button E keeps the groups of sign "noEmpty" of
// "atc.sgn" (ButtonState bit 0).  In name order a rare prefix brings word
// rows of similar writings and inner words (SimilarAtcSearch).  Enter on a
// group opens the drugs of the group, following the list.
//
// The tree state is AtcList::Tree(): bit i set = position i of the code index
// is shown.  It starts with the top level (one-letter codes).  Tree keys
// arrive as typed characters ("," "<" up, "." ">" into, "=" "+" show the next
// level, "_" "-" hide the subtree) or as the Left/Right keys, and act on the
// current row; a code typed without a key is made visible.
//
// AtcList::Hits() holds the positions of the open index (code or name) that
// pass button E; it is rebuilt when it is empty, when bit 0 of ButtonState
// changed or when the other index is open.
//
// The reimbursement lists open the same window with their own columns and
// their own action on a group (AtcListWindowSpec).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/bits.h"
#include "datastore/db_table.h"
#include "datastore/table_layouts.h"
#include "lists/codes/atc_tree.h"
#include "lists/toolkit/list_source.h"
#include "lists/toolkit/vyb_types.h"

class TVyb;

// ---------------------------------------------------------------- the list

// Positions of the open index whose records pass button E (`buttonState`
// bit 0: sign "noEmpty" of "atc.sgn"; else all).  False when the signs
// cannot be loaded.
bool BuildAtcFilter(TBits& hits, uint16_t buttonState, TDbTable& table);

// What the reimbursement lists change in the ATC list window.
struct AtcListWindowSpec {
    uint16_t code = 0;
    std::string prefix;
    const char* rowLayout = "ATC=08ActNaz=?2Rez.";
    const char* columnNames = "ATC,Act,Naz,Rez";
    const char* columnOrder = "2/90,0,1,3,2";
    const char* buttons = ">?E<=)";
    const char* helpKeyword = "VyATKl";
    std::string searchWords; // the reimbursement kinds chosen (button R)
    // Enter (or a click) on a group row, with the list standing on it; the
    // ATC list opens the drugs of the group.
    std::function<void()> openGroup;
};

// One ATC list window's list: its table, the codes of the code index, the
// tree, the positions passing button E and the walk over similar names.
class AtcList : public ListSource {
public:
    explicit AtcList(std::function<void()> openGroup, std::string searchWords = {});

    // Opens the table of the current language with the index of `letter`.
    bool Open(char letter);
    // The codes of the code index and the top-level filter; false on a
    // data-store failure.
    bool LoadCodes();
    const std::vector<std::string>& Codes() const { return codes_; }
    // The tree: bit i set = position i of the code index is shown.
    const std::vector<uint16_t>& Tree() const { return tree_; }
    // The positions of the open index passing button E.
    const TBits& Hits() const { return hits_; }
    TDbTable& Table() { return table_; }

    std::string_view CheckTables() override;
    void Start(VybRec& rec) override;
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    ListAction React(VybRec& rec, ListAction action) override;
    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override;
    bool WalksOwnSet() const override { return walksSimilar_; }
    std::string SearchWords() const override { return searchWords_; }

    // The row text of an ATC record, status character first; with a filter
    // the tree column of its code-index position is filled in.
    std::string RowText(std::string_view record, const std::vector<uint16_t>* filter,
                        int32_t codePosition) const;
    // The text of a word row.
    static std::string WordRowText(std::string_view wordFile, int32_t entry);
    // The word Enter on a word row types.
    static std::string WordOfRow(std::string_view rowText);

protected:
    std::string searchWords_;

private:
    bool EnsureHits(VybRec& rec);
    const TBits& Shown(const VybRec& rec);
    void Recount(VybRec& rec);
    // After a seek of a rare name: similar names and inner words walked
    // instead of the index; true when there are any.
    bool SuggestSimilar(VybRec& rec);
    void DeliverSimilar(VybRec& rec, TVybRow& row, std::string& text, int32_t p, int step);
    ListAction PrefixChanged(VybRec& rec);
    void RevealTyped(VybRec& rec);
    // RefillInPlace after a key that showed or hid a level, else `action`.
    ListAction TreeKeyOnCurrentRow(VybRec& rec, char key, ListAction action);
    int32_t CurrentCodePosition(const VybRec& rec) const;

    std::function<void()> openGroup_;
    TDbTable table_;
    std::vector<std::string> codes_;
    std::string codesTable_; // the table the codes were read from
    std::vector<uint16_t> tree_;
    TBits hits_;
    int16_t hitsKey_ = 0; // what hits_ were built for (kHitsBuilt ...)
    TBits shown_;         // hits_ and tree_, for "c"
    bool shownValid_ = false;
    bool seeded_ = false;          // a seek has set the range
    std::vector<int32_t> similar_; // the similar-name search's entries
    bool walksSimilar_ = false;
    std::string record_;
};

// The window of an ATC list.
ListWindowSpec AtcListSpecOf(const AtcListWindowSpec& spec);
// Opens (or raises) an ATC list window; nullptr when none was made (an open
// one raised, or a message shown).
TVyb* OpenAtcListWindow(const AtcListWindowSpec& spec);
// The ATC list: Enter on a group opens the drug list "DAT" (link kind 2).
void OpenAtcList(uint16_t code, std::string_view prefix);
