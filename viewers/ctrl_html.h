#pragma once
// CtrlText to HTML: one product document (a CtrlText in the data code page)
// becomes one complete HTML page in code page 1250, together with what the
// HTML viewer shows around it: the section tabs, the contents list, the tab
// to select first and the column widths of every table.
//
// The page is valid HTML: every element is closed exactly once and in order,
// closing texts are written only for elements whose opening was written, a
// paragraph or heading is closed before a block opens inside it, content met
// between a table and its first cell opens a row and a cell, and every text
// and attribute value is escaped.  Any byte string gives a page.
//
// No Qt and no global state: the caller hands every viewer value in; the
// section titles come from a callback (by default the data texts' "Odst").

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The host of the maker's picture and photo server, used when the data set
// names no base of its own ("Verze.picts", "Verze.photos").
inline constexpr std::string_view kDefaultMediaHost = "media.kalvo.example";

// A section tab: its label (code page 1250) and the name of the anchor it
// scrolls to ("" when none).
struct HtmlTab {
    std::string label;
    std::string anchor;
};

// An entry of the contents list: its label (code page 1250; an h4 heading's
// label starts with five blanks) and its anchor.
struct HtmlContentsEntry {
    std::string label;
    std::string anchor;
};

// No requested section (the viewer's requested section code).
inline constexpr uint8_t kNoRequestedSection = 255;

// The paragraph filter of a viewer: what the viewer window keeps, hands to
// the page and gets back from it.
struct ParagraphFilter {
    // The paragraph selection: one-byte section codes, its invert and
    // show-all flags, and the viewer's requested section code.
    std::string selection;
    bool invert = false;
    bool showAll = true;
    uint8_t requestedSection = kNoRequestedSection;
    // Character n is "-" when section n is hidden; a shorter text leaves the
    // sections past its end visible.
    std::string visibility;
};

struct HtmlConversionInput {
    char kind = 'K';        // DocumentKind
    bool spcLayout = false; // numbered headings
    ParagraphFilter filter;
    // Highlighted in every text run (code page 1250; empty ones are skipped).
    std::array<std::string, 5> searchTerms;
    std::string recordName; // up to 8 characters (base64url)
    // The style sheets (full paths), joined in order: the viewer's base sheet
    // and the kind's own; none readable: no style element.
    std::vector<std::string> styleFiles;
    std::string pictureBase; // URL ending in "/", see PictureBaseOf
    std::string fontName;    // the text font (code page 1250)
    int fontSize = 9;
    // Another program's request (0 = none): a paragraph code that selects
    // the tab of its heading, and a text section number.
    uint8_t requestedParagraph = 0;
    uint8_t requestedTextSection = 0;
    // "Prohlizec.Zkr1" and "Prohlizec.Zkr2": character n of both is the
    // abbreviation of section n (data code page).
    std::string zkr1;
    std::string zkr2;
    // The title of section n (data code page); empty: the data texts'
    // section "Odst", key n right-aligned in two characters.
    std::function<std::string(int n)> sectionTitle;
    // The tabs of the kinds "M" and "T", set by the caller.
    std::vector<HtmlTab> presetTabs;
};

struct HtmlPage {
    std::string bytes; // the page, code page 1250
    std::vector<HtmlTab> tabs;
    int firstTab = 0; // the tab to select first
    std::vector<HtmlContentsEntry> contents;
    // Per table written, in document order: its column widths in percent
    // (empty when it defines none or they sum to 0).
    std::vector<std::vector<int>> tableColumns;
};

HtmlPage CtrlTextToHtml(std::string_view text, const HtmlConversionInput& input);

// A text run (data code page) as page text: runs of blanks alternate with
// hard blanks, '"', '&', '<', '>' and hard blanks become entities, every
// other byte goes through KamToWinTable.
std::string EscapeHtml(std::string_view text);
// Appends a code page 1250 text as an attribute value or element text:
// '"', '&', '<', '>' become entities, bytes below 32 become "?".
void AppendHtmlEscaped(std::string& out, std::string_view text);

// The picture base of a document kind: the data set's "Verze.picts" (an
// entry that begins with "!" is missing: the maker's server), a base without
// a scheme taken as a subfolder of `dataFolder` (a file URL), then
// "LET_PICT/" for "L" and "SPC_PICT/" for "S" and "I".
std::string PictureBaseOf(char kind, std::string_view verzePicts, std::string_view dataFolder);
// A media base: `entry` when it has a scheme; a folder below `dataFolder`
// as a file URL when it has none; the maker's server with `serverPath`
// ("/files/pictures/") when it is missing.
std::string MediaBase(std::string_view entry, std::string_view dataFolder, std::string_view serverPath);

// Upper case of code page 1250 letters, diacritics kept.
unsigned char Cp1250Upper(unsigned char c);
