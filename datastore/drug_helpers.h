#pragma once
// Shared drug-data helpers: display formatters of amounts and registration
// numbers, and the look-ups that turn codes of a drug record into names
// (ISV and country names from in-memory caches, ATC and holder names from
// their tables).
//
// Texts are bytes in the data code page.  The caches and the currency text
// are set by LoadCodeTables at start-up (and again after a language switch)
// and read by any thread: a reader takes a snapshot under a mutex.  The
// table handles of the look-ups are per thread.

#include <cstdint>
#include <string>
#include <string_view>

#include "datastore/data_set.h"
#include "datastore/db_table.h"

struct TableLayout;

// The table handles of the lists and look-ups, one set per thread: the main
// table of a list, the code tables the look-ups reopen, the ATC table.
extern thread_local TDbTable MainTable;
extern thread_local TDbTable CodeTable;

// Reads record `recNo` of a code table on CodeTable (opened by `index`);
// false when the table or the record cannot be read.
bool ReadCodeRecord(const TableLayout& layout, const char* index, int32_t recNo, std::string& record);
extern thread_local TDbTable AtcTable;

// ------------------------------------------------------------- formatters
// Records are main drug records ("kl", 346 bytes).

// Code, name, supplement, strength and the package field, each without its
// trailing blanks, joined by single blanks.
std::string FormatDrugLine(std::string_view record);
// Supplement, strength and package field, trimmed, the non-empty ones
// joined by blanks; with width > 0 padded or cut to exactly that width.
std::string FormatDrugDetails(std::string_view record, int width);
// Whether the active user sign list holds the record (false without one).
bool IsSigned(int64_t record);
// Whether a drug-list filter drops the record: each set flag that matches
// excludes it (0x008 ISV "93", 0x004 not "93", 0x002 code "9...", 0x001 not,
// 0x010 not registered 'R', 0x020 category neither '1' nor '2', 0x040 no
// reimbursement kind, 0x080 cancelled, 0x100 blank position 256, 0x200 not on
// the active sign list).
bool RecordExcluded(std::string_view record, int64_t recordNumber, uint16_t flags);
// The same against a sign list the caller took once for a whole list fill.
struct SignListState;
bool RecordExcluded(std::string_view record, int64_t recordNumber, uint16_t flags,
                    const SignListState& signList);
// The 245-byte row of the drug lists (status, code, name, details, the
// code columns, registration, texts of the data, EANs, reimbursement and
// the flag letters).  Writes '_' into blank dispensing letters of the
// record.  An empty row for a record shorter than a drug record.
void FormatRecordLine(std::string& record, int64_t recordNumber, bool keepSecondVp, std::string& out,
                      bool replaceCancelled, bool compact);

// A 9-character amount field: the first 7 characters without blanks, and
// when anything remains, "." and characters 8-9 ("     1234" -> "12.34").
// Empty for a blank field.
std::string FormatCode7(std::string_view field);
// The same on a 10-character field with 8 integer characters.
std::string FormatCode8(std::string_view field);

// The registration number field (11 characters) as 17 characters: blanks for
// a blank field; a national number ("=" or ">" first) as prefix "/" number
// "/" year with "-" + letter and "/" + letter when present; otherwise an EU
// number "EU/c1/c2c3/c4-c6/c7-c9".
std::string FormatCodeField17(std::string_view field);
// The parallel-import field (5 characters): 10 blanks when blank, else
// "/PD/ccc/cc" when the registration number starts with "1" or "2", else
// "/PI/ccc/cc".
std::string FormatImportSuffix(std::string_view field, char firstOfRegistration);
// Both of the above, every blank removed (at most 31 characters).
std::string FormatTwoCodes(std::string_view registration, std::string_view import);

// --------------------------------------------------------------- look-ups
// A missing code gives: code + UI text "Chyby.NotFndIn" + the table name in
// double quotes.  An empty code or one beginning with a blank gives "".

// The ISV (indication group) name, 56 characters, from the cache.
std::string LookupIsv(std::string_view code);
// The country name, 30 characters, from the cache of the data set's country
// table.
std::string LookupCountry(std::string_view code);
// The ATC group name (name and its continuation, 152 characters).  When the
// context code's second character is a digit (a drug code) the table of the
// current language is opened ("atca" in English, else "atc"); otherwise the
// ATC table already open on this thread is used, if any.
std::string LookupAtc(std::string_view code, std::string_view context);
// The registration holder name (99 characters) of a holder code and its
// country code (6 characters, "drzvkod").
std::string LookupHolder(std::string_view code);

// The EAN codes of a drug ("kle" records of kind above '6'), blank
// separated; collecting stops once the text reaches 242 characters.
std::string LookupCodeTexts(std::string_view code);
// The goods maker name (74 characters); "" for a blank-led code or one whose
// fourth character is blank.
std::string LookupGoodsMaker(std::string_view code);
// The data text of section "Dop" keyed by the trimmed code padded with '_'
// to 3 characters, at most 80 characters.
std::string LookupCopText(std::string_view code);

// -------------------------------------------------------- the code tables

struct CodeTablesResult {
    int isvStatus = 0;     // DbStatus of the ISV cache (0 = loaded)
    int countryStatus = 0; // DbStatus of the country cache
};

// Sets the currency text from the data texts and (re)loads the ISV cache
// and the country cache of the data set (goods "pfazemv", devices
// "pztzemv", else "zemva" in English or "zemv") from DataDir().  A cache
// that cannot be read is left empty and its status returned: the caller
// shows "Chyby.WrongZem" (countries) or "Chyby.WrongIS" (ISV, drug data set
// only) to the user.  languageIndex: 0 Czech, 1 English.
CodeTablesResult LoadCodeTables(DataSetCode dataSet = DataSetCode::Drugs, int languageIndex = 0);
// Drops both caches and the currency text.
void FreeCodeTables();

// UI texts "Prohlizec.Zkr1"/"Zkr2" (at most 100 characters), "Hlasky.CLSPO"
// (exactly 6 letters), and the low 4 bits of "VybLek.v9"'s first character
// (the category column's control character), as LoadCodeTables set them.
std::string ViewerAbbrev1();
std::string ViewerAbbrev2();
std::string FlagLetters();
char CategoryMark();

// A blank and the data text "Hlav.czk", at most 5 characters; it follows
// every amount of money.  Empty before LoadCodeTables.
std::string CurrencyText();
inline std::string CurrencySuffix()
{
    return CurrencyText();
}
// Entries in the caches (tests, statistics).
int IsvCacheCount();
int CountryCacheCount();
