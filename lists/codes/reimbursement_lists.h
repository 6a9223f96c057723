#pragma once
// The reimbursement and price lists: drugs together with their first price
// record ("cvzp"), restricted to the reimbursement kinds the user chose in
// TUhrada.  Four windows:
//  - "XRN" all such drugs by name (list letter N);
//  - "RAT" and "RRA" the same under one ATC group (A) or one ATC reference
//    group (R), dependent windows of the list the group was chosen in;
//  - "XRA" the ATC list to choose a group in;
//  - "XRR" the ATC reference groups by code (C) or name (N).
// Every list keeps its own choice of kinds (ListSource::SearchWords); the
// openers start the chooser with the saved choice and save what the user
// picked.  A list's hits are the index positions of drugs that have a price
// record, a chosen kind and pass the filter word (button U).

#include <cstdint>
#include <string>
#include <string_view>

#include <memory>

#include "datastore/bits.h"
#include "datastore/db_table.h"
#include "frame/windows/link_kind.h"
#include "lists/toolkit/list_source.h"
#include "lists/toolkit/vyb_types.h"

class TVyb;

// Opens the list of all reimbursed drugs by name ("XRN"); an open one is
// brought to the front without asking for kinds.
void OpenReimbursementList(uint16_t code);
// The list of all reimbursed drugs with these kinds, as OK in the chooser
// opens it (the caller has checked for an open one).
TVyb* ShowReimbursementList(std::string_view choice);
// Drops what the lists keep of the drug table between openings (the kind of
// every drug and the records in index order); the next list reads it again.
void ForgetReimbursementCaches();

// Opens (or updates) the list of the group the master window offers under
// `linkKind` (2 an ATC group, code "RAT"; 3 an ATC reference group, "RRA").
void OpenReimbursementSubList(uint16_t code, LinkKind linkKind);
// The ATC list to choose a group in ("XRA").
void OpenReimbursementAtcList(uint16_t code);
// The ATC reference groups ("XRR").
void OpenAtcReferenceList(uint16_t code);

// The reimbursed drugs of the chosen kinds by name (N), of an ATC group
// (A) or of an ATC reference group (R).
class ReimbursementList : public ListSource {
public:
    // Without a choice the full list asks for one, a group's list takes its
    // master's (or the saved one).
    explicit ReimbursementList(char letter, std::string choice = {});

    std::string_view CheckTables() override;
    bool Prepare(TDataForm* master) override;
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    ListAction React(VybRec& rec, ListAction action) override;
    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override;
    std::string SearchWords() const override { return choice_; }

private:
    bool BuildHits(const VybRec& rec);

    char letter_;
    std::string choice_;
    TDbTable drugs_;
    TDbTable prices_;
    TBits hits_;
    bool hitsValid_ = false;
    uint16_t hitsFilter_ = 0;
    std::shared_ptr<const void> hitsSignList_;
};

// The ATC reference groups by code (C) or name (N).
class AtcReferenceList : public ListSource {
public:
    std::string_view CheckTables() override;
    bool Prepare(TDataForm* master) override;
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    ListAction React(VybRec& rec, ListAction action) override;
    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override;
    std::string SearchWords() const override { return choice_; }

private:
    std::string choice_;
    TDbTable table_;
};
