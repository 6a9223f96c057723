#pragma once
// Small helpers shared by the whole program: messages, formatting, encoders.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/start/command_line.h"

class QDate;
class QDateTime;
class TMyHintWindow;

// Two upper-case hexadecimal digits per byte, high nibble first.
std::string HexOfBytes(std::string_view bytes);

// The bytes of a hexadecimal text, two digits per byte, either letter case.
// A trailing odd digit is ignored.  A character that is not a hexadecimal
// digit makes the whole text invalid: the result is false and `out` is left
// empty, so callers can keep their previous value.
bool BytesOfHex(std::string_view hex, std::string& out);

// ---------------------------------------------------------------------------
// The rest of the shared helpers.  Texts are byte strings: display texts in
// code page 1250, data and UI-table texts in the data code page.

// Base64url (RFC 4648: "A"-"Z", "a"-"z", "0"-"9", "-", "_") without padding.
std::string Base64UrlEncode(std::string_view bytes);
// The bytes of such a text; a character outside the alphabet makes it
// invalid (false).  Bits left over after the last whole byte are dropped.
bool Base64UrlDecode(std::string_view text, std::string& out);

// Help and folders -----------------------------------------------------------

// " /d=" + the data folder when it differs from the program folder, else
// empty (the text form, for messages and logs).
std::string DataFolderOption();
// The same as launch arguments: {"/d=" + data folder} or none.
std::vector<std::string> DataFolderArguments();
// Offers "|q=help||1=" + topic + "|" to the running copies; when none takes
// it, starts this program as a help viewer on the topic.  True when a copy
// took it or the launch started.
bool RequestHelp(std::string_view topic);

// The temporary folder with a trailing "/": TEMP, TMP, TMPDIR, then "/tmp",
// skipping a variable that is unset or names a folder that cannot be created.
// Computed once per process.
std::string TempFolder();
// The same, uncached, for a given environment.
std::string TempFolderFrom(const EnvLookup& env);

// Dates ------------------------------------------------------------------

// "yyyy?mm?dd" (any separators) as "d.m.yyyy" without leading zeros of day
// and month; empty for an input shorter than 10 characters.
std::string FormatStoredDate(std::string_view stored);
// A typed "d.m.yyyy" (one- or two-digit day and month) as "yyyy/mm/dd";
// empty when the result is no valid date.
std::string StoredDateFromInput(std::string_view text);
// The date `days` from now as "yyyy/mm/dd".
std::string DateTextYmd(double days);
std::string DateTextYmdFrom(const QDateTime& now, double days);
// ((year - 2000) x 12 + month - 1) x 32 + day, for today and for a date.
uint16_t TodayCode();
uint16_t PackedDateCode(const QDate& date);

// Files ------------------------------------------------------------------

// One list of text lines shared by its callers (guarded: any thread).
std::vector<std::string> SharedTextLines();
void SetSharedTextLines(std::vector<std::string> lines);
// Reads the file whole into the shared list (lines split at CR LF, LF or CR);
// 0 or the I/O result, the list unchanged on failure.
int LoadTextList(const std::string& fileName);
// Writes the lines, each ended by CR LF, through a temporary file renamed
// over the target, so a failed write keeps the old file; 0 or the I/O result.
int SaveTextList(const std::vector<std::string>& lines, const std::string& fileName);

// Hints ------------------------------------------------------------------

// The main window's shared hint window (not owned), for HideHint.
void SetSharedHintWindow(TMyHintWindow* window);
TMyHintWindow* SharedHintWindow();
void HideHint();
// Whether the shared hint is shown; set by whoever shows it.
extern std::atomic<bool> HintShown;
// The hint of a list window's small button from section "Cudl" of the UI
// texts; two texts are joined by CR.  Data code page.
std::string ButtonHintText(char symbol, int mode, bool state);

// While set, the main window passes no key or character messages to its page.
extern std::atomic<bool> InputBusy;

// The data code page's upper-case table: "a"-"z" to "A"-"Z" and the fixed
// table for 0x80-0xAB.
extern const std::array<unsigned char, 256> UpperTable;

// Paragraph codes -----------------------------------------------------------
// A code is one byte: the paragraph in the high nibble, the subparagraph in
// the low one.  A selection is codes followed by "+" (the listed ones are
// selected) or "-" (all but the listed ones).

std::string ParagraphText(uint8_t code);
uint8_t PrevParagraph(uint8_t code);
// Labels that replace the number n of kinds other than "S"; empty (digits)
// until the text search registers them.
void SetParagraphLabelLookup(std::function<std::string(int n)> lookup);
std::string ParagraphSetText(std::string_view selection, char kind);
bool IsParagraphGroup(uint8_t code, char kind);
uint8_t ParagraphGroupEnd(uint8_t code, char kind);
// A paragraph key of the text tables: "4" (0x40), "12" (0xC0), "4.1" (0x41),
// "4.12" (0x4C, the second subparagraph digit 0-5) or "10_1" (0xA1); 0 for
// anything else.
uint8_t ParagraphKeyToCode(std::string_view key);
// The codes of kind letter `kind` from the data texts' section "Nadpis"
// (keys "Odst..") filtered by the UI mask "Prohlizec.Vyb" + kind.
std::string ParagraphListOfKind(char kind);
// The "S" list: keys "Ospc.." of the data texts' section "Nadpis".
std::string ProductSummaryParagraphList();
// Fills the lists of "S", "K", "B", "E", "R", "k", "b", "r" (at most 80 each).
void LoadParagraphLists();
// The list of a kind ("I" reads "S"; a kind without a list reads "K").
std::string ParagraphList(char kind);
// The shorter selection of the set `codes` against the kind's list.
std::string EncodeParagraphSet(std::string_view codes, char kind);
// The same against an explicit list of valid codes.
std::string EncodeParagraphSet(std::string_view codes, char kind, std::string_view list);
