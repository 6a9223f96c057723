#pragma once
// What the settings dialogs show and store, without their widgets: for each
// dialog the settings-to-controls mapping both ways over ConfigValues, and
// the texts and rules they derive.  The dialogs (TNastav1 .. TNastav5) read
// a snapshot into their controls, and on OK apply the controls to the
// values under the settings lock.
//
// Texts are in the program's data code page, as the text tables give them.

#include <QRect>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "frame/config/config_file.h"
#include "platform/desktop_entry.h"

// ---------------------------------------------------------------- filters

// Which value a filter box edits.
enum class FilterTarget : uint8_t { Drug, Synonym, Composition, Atc, Septac, KeySelect, Dop3, Blink };

struct FilterBoxSpec {
    const char* name; // the check box
    FilterTarget target;
    uint16_t bits; // the bits it sets when on
    bool inverted; // on when the box is NOT checked
};
// The boxes of the filter dialog in form order.
std::span<const FilterBoxSpec> FilterBoxes();
bool FilterBoxChecked(const ConfigValues& v, const FilterBoxSpec& box);
// Sets the bits of each box from `checked` (in FilterBoxes() order); bits no
// box owns keep their values.
void ApplyFilterBoxes(ConfigValues& v, std::span<const bool> checked);

// The nine paragraph rows: a check box that copies a current selection over
// its default, and the label that shows the current one.
struct ParagraphRowSpec {
    const char* box;
    const char* label;
    char mode;  // kParagraphFilterMode for the text search's selections
    char kind;  // the kind letter of the slot (frame/stored_paragraphs.h)
    bool start; // the kind's start paragraph goes with it
};
std::span<const ParagraphRowSpec> ParagraphRows();

// The two section letters of a paragraph code ("Prohlizec.Zkr1"/"Zkr2" at
// 10 x high nibble + low nibble), trimmed; its two hexadecimal digits when
// there are none.
std::string ParagraphCodeText(uint8_t code);
// A selection as the viewers' readable text; "Nastaveni.fvse" when it is
// empty or switched off (a trailing 255).
std::string ParagraphSelectionText(std::string_view selection, char kind);
// A row's label: the selection text, then for a start paragraph
// "Nastaveni.frst" and its text ("S": its hexadecimal digits).
std::string ParagraphRowText(const ParagraphSelections& current, const ParagraphRowSpec& row);
// Copies a row's current selection (at most 80 codes, a trailing 255 kept)
// and start paragraph over its default.
void CopyParagraphRow(ConfigValues& v, const ParagraphRowSpec& row);

// ------------------------------------------------------------------ files

struct FilesChoice {
    uint8_t languageIndex = 0; // 1 English, 0 Czech
    bool news = false;
    bool printSaving = false;
    std::string notesName; // code page 1250
};
FilesChoice FilesChoiceOf(const ConfigValues& v);
// The values of OK; true when the notes file changed.
bool ApplyFilesChoice(const FilesChoice& choice, ConfigValues& v);
// BASE= after OK: "0" when off; a value above "0" kept when on, else "3".
char NewsOptionAfter(char stored, bool checked);
// The NOTES= name of a chosen notes file: its name without folder and
// extension, in upper case, cut to 8 characters, in code page 1250.  False
// when the file lies outside `notesFolder` or the name has no such form.
bool NotesNameOfFile(const std::string& path, const std::string& notesFolder, std::string& name);

// Where a menu or desktop entry goes and what it starts.
struct ShortcutPlan {
    std::string name;      // "Corvana" or "KALVO Win"
    std::string subfolder; // of the menu; empty for "Corvana"
    ShellLink link;        // described by the name
};
// The plan for the program at `executablePath`: its launcher (program name +
// ".sh" in the folder above, the installation base) with the base's
// "qev.ico" when they exist, else the program itself.
ShortcutPlan PlanShortcut(const std::string& executablePath);

// ------------------------------------------------------ fonts and colours

struct FontsAndColours {
    std::array<uint32_t, 7> colours{};
    std::array<ConfigFont, 4> fonts; // dialog, list, text, print
    bool operator==(const FontsAndColours&) const = default;
};
FontsAndColours FontsAndColoursOf(const ConfigValues& v);
void ApplyFontsAndColours(const FontsAndColours& fc, ConfigValues& v);
// A chosen size as the configuration keeps it: whole points in 6..30.
int ConfigFontSize(double points);
// "name, size" as the dialog's labels show it (code page 1250).
std::string FontLabelText(const ConfigFont& font);

// ---------------------------------------------------------------- toolbar

// Whether a working TOOLBAR= list holds the letters.
bool ToolbarChoiceHas(std::string_view working, std::string_view letters);
// Removes "-" + letters when held, else appends letters + "-".
std::string ToggleToolbarChoice(std::string_view working, std::string_view letters);
// The list OK stores: "-" and, for every speed button in toolbar order that
// the working list holds, its letters and "-".
std::string RebuildToolbarList(std::string_view working);
// The working list a dialog starts from: the stored one with a "-" at both
// ends.
std::string ToolbarWorkingList(std::string_view stored);

// ---------------------------------------------------------- window layout

struct WindowLayoutChoice {
    bool handOver = true; // NEWWIN= 0
    bool maximize = false;
    bool keepMainWindow = false;
    uint8_t mode = WindowMode::Free;
    std::array<int32_t, 3> right{};
    std::array<int32_t, 3> down{};
};
constexpr int32_t kMaxSchemeOffset = 100;
WindowLayoutChoice WindowLayoutOf(const ConfigValues& v);
// The values of OK; `kept` is the main window's rectangle captured while
// the dialog was open (left, top, width, height), stored when keeping is on.
void ApplyWindowLayout(const WindowLayoutChoice& choice, const std::optional<QRect>& kept, ConfigValues& v);
// Frees every record of a scheme (2..4).
void DeleteScheme(PlacementSchemes& schemes, int scheme);
