#pragma once
// The documents of the HTML viewer: reading one record of a document file
// ("kodex.dat", "letak.dat", "spc.dat" ...; an X6 file or a plain text file
// of numbered lines), the plain-text conversion, the photo page, and the
// kind-specific changes the viewer makes to a text before it converts it.
//
// No Qt, no message boxes: results say what went wrong and the viewer shows
// it.  Texts are CtrlText in the data code page.

#include <cstdint>
#include <string>
#include <string_view>

#include "datastore/ctrl_text.h"

// A plain text document is read up to this many bytes from its offset.
inline constexpr int64_t kPlainDocumentLimit = 199999;
// Documents of the article kinds with fewer items count as missing.
inline constexpr int kArticleMinItems = 10;

struct ViewerDocument {
    enum class Result {
        Ok,
        TooFewItems,    // an article record of fewer than 10 items: missing
        Damaged,        // head, items or text past the end, S > T + 1000, no 0xFFFF
        LengthMismatch, // decoded to another length: the text is what was decoded
        IoError,        // the file cannot be opened or read
    };
    Result result = Result::Ok;
    std::string text; // CtrlText
    int items = 0;
    bool spcLayout = false;
    std::string recordName; // base64url of the record key, trailing "_" removed
    uint16_t bValue = 0;    // the first non-zero value of a "B" item
    int ioStatus = 0;       // for IoError: the I/O result
    std::string path;       // the file read
};

// Reads the document at `offset` of `dataFolder` + `fileName` (".dat" added
// when missing; letter case resolved).  `kind` is the viewer's document kind.
ViewerDocument ReadViewerDocument(char kind, std::string_view fileName, int64_t offset,
                                  std::string_view dataFolder);

// A readable reason of an I/O result (English, for the error box).
std::string IoResultText(int status);

// Numbered lines to CtrlText: a line beginning with one or two digits opens
// paragraph (code 19) of that number ("4" alone is 40, "11" is 10) or, with
// the number of the paragraph before, continues it (a CR for paragraphs 1-11
// and 99, else a blank; a line ending in "#" ends in a CR).  Reads up to the
// end or a byte 0.
std::string PlainTextToCtrlText(std::string_view text);

// The photo page of a product: its picture from `photoBase` when online,
// else the heading `noWebText` (data code page).  Code page 1250.
std::string BuildPhotoPage(std::string_view code, bool online, std::string_view photoBase,
                           std::string_view noWebText);

// --- Changes to a text before conversion -------------------------------------

// Whether the text holds a code 19 with the value.
bool HasSection(std::string_view text, int value);
// Inserts `insertion` before the first code 19 with `value`, else before the
// first with `fallback` (-1: none), else at the end before a closing 0.
void InsertBeforeSection(std::string& text, int value, int fallback, std::string_view insertion);
// Kind "X": line breaks (code 13) become paragraphs (code 14) and every part
// from "{" to the next "}" is removed (an unclosed "{" removes nothing).
void RewriteContraText(std::string& text);
// Kind "I": the sections 4.2 and 4.3 named in the text of section 4.5, then
// 4.5 (one-byte codes).
std::string InteractionSelection(std::string_view text);
