#pragma once
// Medication lists handed over by the user or another program, and requests
// for one item, turned into record positions of the product tables.
//
// A list comes as a file, a named shared-memory block, the clipboard or the
// command line; its text is e-prescription XML or plain lines of product
// codes or names (code page 1250).  The readers replace the text they were
// given by a report of what they could not resolve: lines "nenalezen " +
// text, or "parafarm. " + a plain line found among the non-drug goods,
// joined by CR LF.
//
// A request for one item ("1=...", "a=...") opens the matching window
// through the command dispatcher; the dispatcher, the main window's request
// fields and the window registry are reached through a RequestTarget, which
// tests replace by a recording one.
//
// Main thread only (the lookups share one table handle).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/data_set.h"
#include "frame/windows/link_kind.h"

// The bound of a list text: files and blocks are read up to it.
inline constexpr size_t kMaxListBytes = 65530;

// Limits of the readers: positions kept per kind of list.
inline constexpr int kMaxXmlItems = 50;
inline constexpr int kMaxPlainProducts = 500;
inline constexpr int kMaxGoodsPositions = 5000;

// --- Reading a list ---------------------------------------------------------

// Reads a file (path in code page 1250), at most `max` bytes when max > 0.  A
// longer file ends at its last line feed within the bound: a cut line could
// name another product by prefix.  The byte count, -2 when the file does not
// exist, or minus the I/O result when it cannot be opened or read.
int ReadListFile(const std::string& path, std::string& text, int max);

// The text of a named shared-memory block (name in code page 1250), bounded
// like a file.  "!" when the block cannot be opened or its length word is
// false (it holds no line feed, so every caller treats it as no list).
void ReadSharedListBlock(const std::string& name, std::string& text);

// Whether a value of option "b" names a file: it holds "/" or "\".
bool IsListFilePath(std::string_view value);

// A list text from option "b": a file path ("\" read as "/") or a block name.
// `readable` is false for a file that cannot be read or a block that cannot
// be opened; `reason` then says why (UTF-8, one line).  A readable text that
// is not XML and is UTF-8 with multi-byte characters is brought to code page
// 1250 (editors on this platform write UTF-8).
struct ListSourceText {
    bool readable = false;
    std::string text;
    std::string reason;
};
ListSourceText ReadListSource(const std::string& value);

// The same conversion for a text from elsewhere (the clipboard file).
std::string DecodeListText(std::string text);

// Whether the text is e-prescription XML: after an optional UTF-8 byte-order
// mark and leading blanks and line ends it begins with "<erp:", "<medi" or
// "<?xml".
bool IsXmlList(std::string_view text);

// --- Parsing ----------------------------------------------------------------

// Lines "name=value"; the only name produced is "pacos.jmeno".
using ListValues = std::vector<std::string>;
// The value of a name, empty when absent.
std::string ListValue(const ListValues& values, std::string_view name);

// Parses a list (code page 1250, except XML element texts, which are UTF-8).
// `positions` gets the record positions in "kl" (0 = unresolved),
// `dosageLines` one dosage per XML item or one empty entry per plain product,
// `values` the patient's name.  Returns the XML item count or the number of
// resolved plain products; `text` becomes the report.
int ParseMedicationList(std::string& text, std::vector<int32_t>& positions,
                        std::vector<std::string>& dosageLines, ListValues& values);

// The plain-list reader.
int ResolveDrugCodeList(std::string& text, std::vector<int32_t>& positions, ListValues& values);

// The goods code list reader: positions in "pfa".  0 with the text unchanged
// when the goods table cannot be opened.
int ResolvePfaCodeList(std::string& text, std::vector<int32_t>& positions);

// --- Requests ---------------------------------------------------------------

bool IsAllDigits(std::string_view s); // true for an empty string
// Characters from..to (1-based) are all digits; a position past the end is
// not a digit.
bool IsDigitRun(std::string_view text, int from, int to);

// A text section's index: a number 1-98 as itself, else the index of the
// two letters in the section letter lists ("Prohlizec.Zkr1"/"Zkr2"), else 0.
uint8_t SectionCodeIndex(std::string_view code);

// The two request calls live in this namespace: the frame's forwarders
// (frame/hooks.h) carry the same names and reach them through the viewer
// services.
namespace medication {
// The command code of the request's item ("a" of the query): kind 'c' or
// 'd'.  Sets the requested paragraph or section when "a" carries "#".
uint16_t RequestCommandCode(char kind, const std::string& query);
// Opens the windows for a request ("1=", "2=" ... joined by blanks, in the
// data code page).
void OpenRequestedItem(const std::string& query);
} // namespace medication

// What OpenRequestedItem drives: the main window's request fields, the
// dispatcher and the window registry.
class RequestTarget {
public:
    virtual ~RequestTarget();
    virtual DataSetCode ActiveDataSet() = 0;
    virtual void CloseDataWindowsButMain() = 0;
    virtual void ShowDrugResultList(const std::vector<int32_t>& positions, const std::string& title) = 0;
    // Positions in "pfa"; the main window's goes to the goods list the lists
    // register.
    virtual void ShowGoodsResultList(const std::vector<int32_t>& positions, const std::string& title);
    virtual void ExecuteCommand(uint16_t code, int32_t value) = 0;
    virtual void TileWindows() = 0;
    virtual void SetRequestMode(uint8_t mode) = 0;
    virtual void SetRequestPosition(int32_t position) = 0;
    virtual void SetRequestTableKind(LinkKind kind) = 0;
    virtual void SetRequestCommand(uint16_t code) = 0;
    virtual void SetRequestText(const std::string& text) = 0;
    virtual void SetRequestedParagraph(uint8_t paragraph) = 0;
    virtual void SetRequestedSection(uint8_t section) = 0;
};
// The target in use (the main window's unless replaced); returns the old one
// (nullptr meant the main window's).
RequestTarget* SetRequestTarget(RequestTarget* target);
RequestTarget& CurrentRequestTarget();

// The drug result list the lists register ("Medikace", "Seznam"); without
// one the request only logs that it could not show it.
using DrugResultListOpener = void (*)(const std::vector<int32_t>& positions, const std::string& title);
void SetDrugResultListOpener(DrugResultListOpener opener);
DrugResultListOpener CurrentDrugResultListOpener();
// The same for the non-drug goods ("pfa" positions).
void SetGoodsResultListOpener(DrugResultListOpener opener);
DrugResultListOpener CurrentGoodsResultListOpener();

// The report a list reader left (code page 1250, lines joined by CR LF) in a
// box; one of 800 characters or more is cut after a whole line and marked
// "...".  Nothing for an empty report.
void ShowListReport(const std::string& report);

// The paragraph and the text section a request asked for, until the text
// viewers read them from the dispatcher's own fields.

// Fills the viewer services with OpenRequestedItem and RequestCommandCode.
struct ViewerServices;
void AddRequestServices(ViewerServices& services);
