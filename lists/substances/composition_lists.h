#pragma once
// The composition lists: the active substances of the drug a master window
// offers, one row per entry of "klc" (by "klclek"), with the entry's state,
// amount and unit and the substance's name.  D shows the names as stored, N
// the preferred-language synonym of each substance, S each substance
// followed by all its synonyms.  A row offers its substance (link kind 7)
// to the substance windows that follow the list.

#include <cstdint>
#include <string>
#include <string_view>

#include "lists/toolkit/list_source.h"
#include "lists/toolkit/vyb_types.h"

class TVyb;

// The record kind the N list prefers ("60" at start).
std::string& PreferredSynonymKind();

// The name column of a composition row, 77 characters, from the substance
// record at `position` of "kkkod": the continued name cut to 77 characters,
// ending in "->" when more of it remains.
std::string CompositionRowName(std::string_view substance, int32_t position);

// The composition lists D and N.
class CompositionList : public ListSource {
public:
    explicit CompositionList(char letter) : letter_(letter) {}

    std::string_view CheckTables() override;
    // CompositionListFetch.
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    // CompositionListCommand.
    ListAction React(VybRec& rec, ListAction action) override;
    // CompositionListInfo.
    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override;

protected:
    void ReportNoData();
    void FetchWorked() { noDataShown_ = false; }
    const char letter_;

private:
    bool noDataShown_ = false;
};

// The composition list S: each entry's main row, then a row per further
// record of its substance.
class CompositionSynonymList : public CompositionList {
public:
    CompositionSynonymList() : CompositionList('S') {}
    // CompositionSynonymFetch.
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
};

// Opens the composition list of a window code (CXD, CXN, CXS: the last
// letter) following the drug its master offers.  Returns the window, nullptr
// when none was made.
TVyb* OpenCompositionList(uint16_t code);
