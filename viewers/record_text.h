#pragma once
// The record text of a product: every field of its record and of the tables
// that hang on it, as labelled two-column tables under section headings, in
// the CtrlText format (datastore/ctrl_text.h).  Each composer gives the text
// (ending in one code 0) and the tab captions, one per heading, joined by
// CR LF.
//
// Texts stay in the data code page.  Record fields are copied with bytes
// below 32 turned into blanks; text-table values are copied unchanged.
// Tables are read through the composers' own handles in DataDir(); the two
// raw files "ind_ome.dat" and "symbol.dat" are read there when they exist.
// A raw file that exists but cannot be read leaves its paragraph out (the
// indication paragraph says "Chyby.InOmNo"), sets DbStatus to the I/O
// result and calls the data store's error hook with the file's identity;
// the rest of the text is composed.
//
// Needs the text tables (UiTexts, DataTexts), LoadCodeTables (currency and
// the ISV and country caches) and the device mark letter set up.  No Qt.

#include <cstdint>
#include <string>
#include <string_view>

#include "datastore/ctrl_text.h"

// A composed record text and its tab captions.
struct RecordText {
    std::string text;     // CtrlText, ending in one code 0
    std::string captions; // one per heading, separated by CR LF
};

// The drug record text of a main-table ("kl") record of 346 bytes.
RecordText ComposeDrugText(std::string_view record);

// The device record text of a device-table ("pzt") record of 290 bytes and
// its record number.  `documentText` is the device group's document text
// (CtrlText) whose marked paragraphs are borrowed; `group` the record of the
// device's reimbursement group: its 4-character compact code, then 128 and
// 52 characters of name.  The reimbursement variants are the records of
// the same code after the given one in key order, read through an own
// handle; the caller's record and handles are untouched.
RecordText ComposeDeviceText(std::string_view record, int32_t recordNumber, std::string_view documentText,
                             std::string_view group);

// The reimbursement-group record a viewer passes for a device: the first
// 184 bytes of the "pztuhs" record of its group code (field UHS): the code,
// 128 and 52 characters of name; when the table has no such group, the
// code with blank names.  Empty for a device without a group.
std::string DeviceGroupRecord(std::string_view device);

// Appends one price block of a "cvzp" record (124 bytes): heading, caption
// and rows, then the indication and limitation paragraphs when they apply.
// `single`: no record in slots 2-13; `pairedCodes`: the limitation code of an
// equal twin record shown in the same block ("" when none).
void ComposePriceBlock(CtrlTextWriter& text, std::string& captions, std::string_view price, bool single,
                       std::string_view pairedCodes);

// ---------------------------------------------------------------- helpers

// Label cells: 0B, the label of section "Hlav" / "tHla" with one leading "+"
// removed, the hint of "HlavH" / "tHlaH" when there is one, then 06.  A
// device label may carry a prefix (bytes) right after the 0B.
void DrugLabelCell(CtrlTextWriter& w, std::string_view key);
void DeviceLabelCell(CtrlTextWriter& w, std::string_view key, std::string_view prefix = {});

// A compact date "yymd" as "m/20yy" (month 1-12 from "1"-"9", "A"-"C"); empty
// for any other month character.
std::string MonthYearText(std::string_view code);
// As "dd.mm.20yy" (day "1"-"9", "A"-"U" = 1-30, "V"-"Z" = 31); empty for
// any other day or month.
std::string DayMonthYearText(std::string_view code);
// Removes "<" ... ">" spans.
std::string StripAngleTags(std::string_view text);
// Whether two price records of one pair have the same terms and so show as
// one block.
bool SamePriceTerms(std::string_view upper, std::string_view lower);
// Keeps the paragraphs of a limitation legend (symbol.dat) that belong to
// the limitation codes, and turns their markers into code 18.  In place.
void FilterLimitParagraphs(std::string& text, std::string_view codes);
