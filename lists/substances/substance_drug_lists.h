#pragma once
// Two drug lists with one column more than the drug lists: the drugs that
// hold one active substance, with its amount (Mn), following a substance
// window; and the drugs a full-text search found, with the words found in
// each (Tx).  Both show the drug lists' columns, hints and filter.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "lists/dialogs/text_search_dialog.h"
#include "lists/drugs/drug_lists.h"

class TVyb;

// The amount text of a composition entry, 10 characters: its state letter
// (blank for "C" and "X"), the amount, a blank and the unit.
std::string SubstanceAmountText(std::string_view entry);
// The words a result entry found (word i: bit 1 << (i - 1) of `words`),
// each followed by a blank, cut or padded to 16 characters.
std::string FoundWordsText(const text_search::SearchWords& words, uint8_t foundBits);

// The drugs holding the substance their master offers (list letter X).
class SubstanceDrugList : public DrugList {
public:
    SubstanceDrugList() : DrugList('X') {}
    std::string_view CheckTables() override;
    // SubstanceDrugFetch.
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    // SubstanceDrugCommand.
    ListAction React(VybRec& rec, ListAction action) override;
};

// The drugs of a full-text search result (list letter "0".."3": the text
// family searched).
class TextFoundList : public DrugList {
public:
    explicit TextFoundList(TextSearchResult result);
    std::string_view CheckTables() override;
    // The result's count, the words as status and short caption.
    void Start(VybRec& rec) override;
    // The drug lists' hints; the words' column answers its cell.
    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override;
    // TextFoundFetch.
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    std::string SearchWords() const override;

    // The list letter of a text family ("k" 0, "E" 1, "L" 2, "S" 3).
    static char LetterOf(char family);
    // The search words joined by ", ", at most 80 characters.
    std::string WordsLine() const;

private:
    TextSearchResult result_;
};

// Opens the drugs of the substance the master offers.  Returns the window,
// nullptr when none was made.
TVyb* OpenSubstanceDrugList(uint16_t code);

// Where the text-found list gets its search: the dialog, or a test's
// result.  Returns the number of records found (0: the user found nothing
// or cancelled).
using TextSearchRunner = std::function<int(TextSearchResult&)>;
TextSearchRunner SetTextSearchRunner(TextSearchRunner runner);
// Runs the search (the drug texts' dialog unless a runner is set) and opens
// the list of what it found; nothing when it found nothing.
TVyb* OpenTextFoundList(uint16_t code);
