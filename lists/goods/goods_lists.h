#pragma once
// The non-drug goods lists: list windows over the goods table "pfa", browsed
// whole by code (K), EAN (E), name (N) or further code (R); restricted to a
// category (A, through "pfapk"), a country (C) or a maker (F) chosen in a
// goods code list; and the goods a full-text search found (T).  Each is a
// TVyb showing a GoodsList.  After a rare name the name list walks the
// similar spellings and inner-word hits of SimilarGoodsSearch instead of
// its index.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/db_table.h"
#include "frame/windows/link_kind.h"
#include "lists/dialogs/text_search_dialog.h"
#include "lists/toolkit/list_source.h"
#include "lists/toolkit/vyb_types.h"

// The characters of a goods row after its status character.
constexpr size_t kGoodsRowLength = 192;

// The row of a goods record (192 characters): code, further code, name,
// supplement, package, maker, country, the EAN (its first character lowered
// by 32 when the code fails its check digit), the price in whole units with
// ",00" (blank without a price) and the two flag letters (the text letter,
// the photo letter).  The goods result lists reuse it.
std::string GoodsRowText(std::string_view record);
// The 7-character price cell of a 9-character price field.
std::string GoodsPriceCell(std::string_view price);

// The goods country name of a code ("pfazemv"), whatever data set the
// program's country cache was loaded for.
std::string LookupGoodsCountry(std::string_view code);

// The column geometry, order and heading of the goods lists of a letter
// (K, E, N, R; others: the restricted lists' order).
std::string GoodsListGeometry();
std::string GoodsListOrder(char letter);
std::string GoodsListHeader();

// Opens (or raises) the full list of a window code whose middle letter
// value is 3 (K), 5 (E), 14 (N) or 18 (R); `prefix` is typed into it.
void OpenGoodsList(uint16_t code, std::string_view prefix = {});
// Opens the list restricted to the value the master offers under
// `linkKind`: middle letter A (category), C (country) or F (maker).
void OpenDependentGoodsList(uint16_t code, LinkKind linkKind);
// Runs the full-text search on the goods texts and lists the goods found.
void OpenGoodsTextFoundList(uint16_t code);

// How the text-found list runs its search: the number of records found
// into `out` (0: nothing opens).  The program's runs the search dialog on
// the goods texts; tests install a fixed result.  Returns the previous one.
using GoodsTextSearch = std::function<int(TextSearchResult& out)>;
GoodsTextSearch SetGoodsTextSearch(GoodsTextSearch search);

// A goods list of one letter.
class GoodsList : public ListSource {
public:
    explicit GoodsList(char letter) : letter_(letter) {}

    std::string_view CheckTables() override;
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    ListAction React(VybRec& rec, ListAction action) override;
    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override;
    bool WalksOwnSet() const override { return walksSimilar_; }

    // The row of a word of the goods word file (similar spelling): the
    // marker, then the word from the name column on, "?" after it.
    static std::string WordRowText(std::string_view wordFile, int32_t entry);

protected:
    // Opens the table of the list's letter; false on a data-store failure.
    bool OpenIndex();
    void ReportNoData();
    // The walk's position for the fetch mode over first..last, after a seek
    // for mode 2; false when there is no row.
    bool SeekPrefix(VybRec& rec, int32_t& found);

    const char letter_;
    TDbTable table_;
    bool noDataShown_ = false;

private:
    bool SuggestSimilar(VybRec& rec);
    void FetchSimilar(VybRec& rec, TVybRow& row, std::string& text);
    // The row of the category list's entry: the goods of its code.
    void CategoryRow(std::string_view entry, int32_t pos, TVybRow& row, std::string& text);

    TDbTable names_; // the similar-spelling search's own name index
    TDbTable goods_; // the category list's goods by code
    std::vector<int32_t> similar_;
    bool walksSimilar_ = false;
};

// The goods a full-text search found: positions 1..hits.
class GoodsTextFoundList : public GoodsList {
public:
    explicit GoodsTextFoundList(TextSearchResult result);

    std::string_view CheckTables() override;
    void Start(VybRec& rec) override;
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override;
    std::string SearchWords() const override;

    // The 40-character text of the words of a word mask (bit 0 word 1).
    std::string WordsOfMask(uint8_t mask) const;

private:
    TextSearchResult result_;
};
