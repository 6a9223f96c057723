#pragma once
// The duplicity check of a medication list: every set of two or more
// products that share the full ATC code (level 7), an active-substance group
// (6), the 5- or 4-character ATC level (5, 4) or the 3-character group (3).
// Which levels count for a product is the flag byte of its full code's ATC
// record.  Each product takes the level of the first finding that names it.
//
// Calling order: ResetDuplicityCheck, FillLekRec for every product, then
// CheckDuplicities.  Texts and labels stay in the data code page.
//
// Main thread only (or one batch thread): the table handles and the pair
// table are process-wide.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct BatchDuplicityRequest;
struct BatchDuplicityResult;
struct ViewerServices;

// One product of the list.
struct LekRec {
    int32_t position = 0;        // record number in "kl"; 0 = unresolved
    std::string code;            // 7 characters
    std::string name;            // 70, trailing blanks kept
    std::string text27;          // form text, capitals A-Z lowered
    std::string text24;          // strength text, characters 2-24 lowered except "U"
    std::string atc;             // 7
    std::string dosage;          // 70, set by the window
    std::string atcName;         // name of the full-code group, trimmed
    std::string fullSlot;        // the full code when it counts, else 7 blanks
    std::string middleSlot;      // the 5- or 4-character code padded to 7, else blanks
    std::string middleName;      // name of the level whose code the middle slot holds
    std::string groupSlot;       // the 3-character code padded to 7, else blanks
    std::string groupName;       // name of the 3-character group
    std::vector<int32_t> groups; // substance groups, at most 31
    std::string groupTexts;      // one 8-character item per group
    uint8_t level = 0;
};

// One finding.
struct DupRec {
    std::vector<uint16_t> members; // product indexes, ascending
    std::string text;              // the products' item texts joined by " x "
    std::string label;             // what they share
    uint8_t level = 0;             // 7 .. 3
    uint8_t textLines = 0;         // set by the window's layout
    uint8_t labelLines = 0;
    std::string textMarks; // as long as the text: bit 0 switches colour, bit 6 starts a line
    std::string labelMarks;
};

constexpr int kMaxProductGroups = 31;
constexpr int32_t kIgnoredGroupFrom = 90000;

// Labels without the text table (the batch run).
extern std::atomic<bool> DuplicityBatchMode;

// The (substance, group) pairs of "kab.dat", sorted by substance; loaded by
// ResetDuplicityCheck when empty or when the data folder changed.  Empty when
// the file is missing.
struct SubstancePair {
    int32_t substance;
    int32_t group;
};
const std::vector<SubstancePair>& PairTable();
void LoadPairTable();

// Loads the pair table and opens the four tables; the name of the first
// table that cannot be opened, empty when all are open.
std::string ResetDuplicityCheck();

// Fills a product from its position: 0, -1 when the drug record cannot be
// read (position 0 included), -2 when its ATC code is blank or not in
// "atckod".
int FillLekRec(LekRec& lek);

// The findings; sets every product's level (count >= 2).
int CheckDuplicities(std::vector<LekRec>& leks, int count, std::vector<DupRec>& dups);

// Name, strength text and form text without trailing blanks, joined by
// single blanks.
std::string DuplicityItemText(const LekRec& lek);

// The label marks of a label (the grave accent becomes a blank); exposed for
// the window, which builds labels the same way.
std::string LabelMarks(std::string& label);

// Fills one product per position (dosage i padded to 70 characters) and
// runs the check: the number of findings.
int FillAndCheck(const std::vector<int32_t>& positions, int count, const std::vector<std::string>& dosages,
                 std::vector<LekRec>& leks, std::vector<DupRec>& dups);

// The check of one list as the batch run does it.
struct DuplicityRun {
    std::vector<LekRec> leks;
    std::vector<DupRec> dups;
    std::string patient; // code page 1250, empty when the list has none
    std::string report;  // the parser's report (code page 1250)
    int resolved = 0;    // products with a position
};

// The batch check: the list of option "b" or plain argument "1", checked in
// batch mode.  Findings, NoFindings, NoList (no readable list, no line feed,
// nothing resolved) or Failed (a table cannot be opened).  The parser's
// report goes to standard error.  `run`, when given, receives the products
// and findings.
BatchDuplicityResult BatchDuplicityCheck(const BatchDuplicityRequest& request, DuplicityRun* run = nullptr);

// Fills the viewer services' batch check (the frame's RunBatchDuplicityCheck).
void AddDuplicityServices(ViewerServices& services);
