#pragma once
// The drug lists: list windows over the drug table "kl", browsed whole by
// code (K), EAN (E), name (N), national (R) or EU registration number (U),
// or restricted to the value of a master window: an ATC group (A, B), a
// holder country (C), a registration holder (H) or an indication group (I).
// Each is a TVyb showing a DrugList (EanList, EuRegList); the other
// drug-based lists (substances, search results, reimbursement) reuse the
// column sets, the reaction and hint texts and the user-list texts.
//
// The filter word of a drug list is VybRec::ButtonState; DrugList::Hits()
// holds the index positions passing it (BuildDrugFilter), rebuilt when the
// word or the user sign list changes.  After a rare name the list walks the
// entries of SimilarNameSearch instead.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/bits.h"
#include "datastore/db_table.h"
#include "frame/windows/link_kind.h"
#include "lists/toolkit/list_source.h"
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

// A drug list walking the drug table "kl" by the index of its letter.
class DrugList : public ListSource {
public:
    // A list of letter `letter` (its index; A, B, C, H, I restricted).
    explicit DrugList(char letter) : letter_(letter) {}

    std::string_view CheckTables() override;
    bool Prepare(TDataForm* master) override;
    void Start(VybRec& rec) override;
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    ListAction React(VybRec& rec, ListAction action) override;
    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override;
    bool WalksOwnSet() const override { return walksSimilar_; }

    // The index positions passing the filter word the rows were built with.
    const TBits& Hits() const { return hits_; }

protected:
    // Opens the table with the index of list letter `letter`.
    bool OpenIndex(char letter);
    // "Chyby.NoData", once until a fetch works again.
    void ReportNoData();
    void FetchWorked() { noDataShown_ = false; }

    const char letter_;
    TDbTable table_;

private:
    // Rebuilds hits_ when the filter words or the user sign list changed
    // since the last build; true when they had.
    bool RefreshHits(const VybRec& rec);
    int32_t SeekPrefix(VybRec& rec, std::string& record);
    // After a seek of a rare name: the similar names and inner words walked
    // instead of the index; true when there are any.
    bool SuggestSimilar(VybRec& rec);
    void FetchSimilar(VybRec& rec, TVybRow& row, std::string& text, int32_t p);
    void DeliverRow(const VybRec& rec, int32_t pos, int32_t recNo, std::string& record, TVybRow& row,
                    std::string& text);

    TBits hits_;
    bool hitsBuilt_ = false;
    uint16_t hitsFilter_ = 0;
    uint16_t hitsFilterM_ = 0;
    std::shared_ptr<const void> hitsSignList_;
    std::vector<int32_t> similar_; // the similar-name search's entries
    bool walksSimilar_ = false;
    bool noDataShown_ = false;
    bool masterButtonM_ = false;
};

// The EAN list: the table "kle" by EAN, each code with its drug's row.
class EanList : public DrugList {
public:
    EanList() : DrugList('E') {}
    std::string_view CheckTables() override;
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;

private:
    bool EanRow(const VybRec& rec, const std::string& eanRecord, std::string& text, int32_t& drugRecNo);
};

// The EU registration numbers: the digits' part of the registration index.
class EuRegList : public DrugList {
public:
    EuRegList() : DrugList('U') {}
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
};

// Loads the sign sets of the drug table "kl" for its record count; false
// when they cannot be read ("Chyby.ErrSgn").
bool LoadDrugSigns();

// The positions of `table`'s open index whose records pass the filter word:
// the signs of "kl" by `buttonState`, then the active user list (0x200).
// Positions beyond the index stay clear.
void BuildDrugFilter(TBits& hits, uint16_t buttonState, TDbTable& table);
