#pragma once
// The active-substance lists over the substance table "kk": all substances
// by code (C) or by name (N), the substances of one base (B) and the
// synonyms of one substance (S, Y).  Each is a TVyb showing a ComponentList
// (SynonymList for the dependent ones); the composition lists and the drugs
// of a substance use the substance texts below.
//
// A substance has one main record (kind " 0"), stored first among the
// records of its code in "kkkod", and any number of synonym records.  Texts
// are bytes in the data code page.

#include <cstdint>
#include <string>
#include <string_view>

#include "datastore/db_table.h"
#include "lists/toolkit/list_source.h"
#include "lists/toolkit/vyb_types.h"

class TVyb;

// The substance table of the lists: a main-thread handle that every fetch,
// command and hint reopens with the index it needs.
TDbTable& SubstanceTable();
// Opens "kk" with `index` ("kkkod", "kknaz", "kkbas"); false on a failure.
bool OpenSubstanceTable(const char* index);

// The 77-character name of a substance record: NAZ and 13 blanks, or for a
// long-name record the 77 characters it holds from offset 9.
std::string SubstanceName(std::string_view record);
// The substance part of a row, 91 characters: source, blank, name, base,
// dependence and the three-character doping text; for a long-name record
// five blanks, its name and nine blanks.
std::string SubstanceRowText(std::string_view record);
// The short doping text ("DopZ" + DPG), blank for none, cut or padded to
// `width` characters (0: as it is).
std::string DopingShortText(std::string_view record, size_t width);

// The key of data text section "KSyn" for a record kind ("50" -> "CA");
// `forRow` gives the row's form ("65" -> "AP1", "67" -> three blanks).  A
// kind without a key comes back unchanged and `isKey` false; three blanks
// are no key either.
std::string SynonymKindText(std::string_view kind, bool forRow, bool* isKey = nullptr);
// The text shown for a record kind: the "KSyn" text of its key, else the
// kind as SynonymKindText gives it.
std::string SynonymKindLabel(std::string_view kind, bool forRow);

// The name of a substance record with its continuation records joined as
// the lists show it: every part after the first follows right after the
// last non-blank character of what went before.  `record` is at position
// `position` of "kkkod"; when its layout flag is "0" the parts are the
// records after it of the same code while their layout flag is "0"-"3".
// Reopens "kkkod".
std::string ContinuedSubstanceName(std::string_view record, int32_t position);

// The row text of a substance record in list `letter` (status character
// first): code, kind, the substance part and the tail (the kind's text in
// S and Y, the kind again in the others).
std::string SubstanceListRow(std::string_view record, char letter, std::string_view kindText);

// Why a record is left out of the rows of a list.
enum class SubstanceStep : uint8_t {
    Show,     // the row is shown
    StepOver, // the walk goes on
    EndRows,  // no row past this one
};

// The all-substance lists (C, N) and, through SynonymList, the base and
// synonym lists (B, S, Y).
class ComponentList : public ListSource {
public:
    explicit ComponentList(char letter) : letter_(letter) {}

    std::string_view CheckTables() override;
    // ComponentListFetch.
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    // ComponentListCommand.
    ListAction React(VybRec& rec, ListAction action) override;
    // ComponentListInfo.
    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override;

    // What the list does with a record it reaches; `kindText` gets the
    // kind's text of the S and Y lists.
    static SubstanceStep Test(const VybRec& rec, std::string_view record, std::string& kindText);
    // The typed code of the C list after a change: a last "0" becomes a
    // blank, then a last blank after a non-blank becomes "0".
    static std::string CodePrefix(std::string prefix);

protected:
    void ReportNoData();
    const char letter_;

private:
    bool noDataShown_ = false;
};

// The base (B) and synonym (S, Y) lists of the substance their master offers.
class SynonymList : public ComponentList {
public:
    using ComponentList::ComponentList;
    // SynonymListCommand.
    ListAction React(VybRec& rec, ListAction action) override;
    // SynonymListInfo in S; ComponentListInfo in B and Y.
    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override;
};

// The hints the substance lists share: the source name of a source code
// ("zdrv"), the main name of a substance code; empty for a code the table
// lacks or a blank one.
std::string SourceNameHint(std::string_view code);
std::string SubstanceCodeHint(std::string_view code);

// Opens the all-substance list of a window code: middle letter C the code
// list, N the name list, `prefix` (data code page) typed into it; other
// codes open nothing.  Returns the window, nullptr when none was made.
TVyb* OpenComponentList(uint16_t code, std::string_view prefix = {});
// Opens the base list (middle letter B) or a synonym list (middle letter S;
// last letter Y: the list Y) of the substance the master offers.
TVyb* OpenComponentSynonymList(uint16_t code);

// The dispatcher's handlers of the substance, composition and
// substance-drug lists.
void RegisterSubstanceListCommands();
