#pragma once
// The reimbursement and price lists: drugs together with their first price
// record ("cvzp"), restricted to the reimbursement kinds the user chose in
// TUhrada.  Four windows:
//  - "XRN" all such drugs by name (list letter N);
//  - "RAT" and "RRA" the same under one ATC group (A) or one ATC reference
//    group (R), dependent windows of the list the group was chosen in;
//  - "XRA" the ATC list to choose a group in;
//  - "XRR" the ATC reference groups by code (C) or name (N).
// Every window keeps its own choice of kinds in VybRec::SearchWords; the
// openers start the chooser with the saved choice and save what the user
// picked.  VybRec::Hits holds the index positions of drugs that have a price
// record, a chosen kind and pass the filter word (button U).

#include <cstdint>
#include <string>
#include <string_view>

#include "frame/windows/link_kind.h"
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

void ReimbursementFetch(VybRec& rec, TVybRow& row, std::string& text);
void ReimbursementCommand(VybRec& rec);
void ReimbursementInfo(uint8_t kind, uint8_t sub, const TVybRow& row, std::string& out, std::string_view key);

// Enter (13 or 300) on a group row of the reimbursement ATC list: the
// reimbursed drugs of the group.  Every other action of that list, word rows
// included, is the ATC list's own.
void ReimbursementAtcCommand(VybRec& rec);

void AtcReferenceFetch(VybRec& rec, TVybRow& row, std::string& text);
void AtcReferenceCommand(VybRec& rec);
void AtcReferenceInfo(uint8_t kind, uint8_t sub, const TVybRow& row, std::string& out, std::string_view key);

// Registers the openers with the dispatcher.
void RegisterReimbursementCommands();
