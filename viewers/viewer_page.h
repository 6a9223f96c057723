#pragma once
// What the HTML viewer shows for one record, without the window: the
// document it reads (or the record text it composes, or the photo page),
// the kind's additions to the text, and the page with its tabs and contents;
// or, when there is no document, the notice to show instead.  The viewer's
// data reset and tools/doc_page both use it.
//
// Reads the data folder's tables and document files; no Qt.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "frame/windows/link_kind.h"
#include "viewers/ctrl_html.h"

// The sections the article's interactions show (InitialFilter::Interactions).
inline constexpr std::string_view kArticleInteractionSections = "\x15\x46";

struct ViewerPageInput {
    char kind = 'K';
    LinkKind linkKind = LinkKind::Drug; // Drug "kl", Goods "pfa", Device "pzt"
    std::string record;                 // the main-table record; empty when none was read
    int32_t recordNumber = 0;
    std::string dataFolder;    // with "/"
    std::string programFolder; // with "/": the style sheets
    ParagraphFilter filter;    // the viewer's
    std::array<std::string, 5> searchTerms;
    std::string fontName;
    int fontSize = 9;
    uint8_t requestedParagraph = 0;
    uint8_t requestedTextSection = 0;
    bool online = false;
};

struct ViewerPageOutput {
    bool missing = false;
    std::string noticeKey;    // key of section "Prohlizec" for the notice ("" none)
    std::string errorMessage; // for an error box (data code page), "" none
    std::string productCode;
    std::string titleSuffix; // data code page
    int64_t offset = -1;
    std::string docFile; // "kodex", "" without a file
    std::string recordName;
    uint16_t bValue = 0;
    std::string documentText; // the document as read (kind "S": the editor's)
    bool spcLayout = false;
    // The filter the page was made with: the summary's interactions rebuild
    // the selection from the text.
    ParagraphFilter filter;
    bool prescVisible = false; // FnPresc
    bool prescEnabled = false;
    bool webContents = false; // FnWCon, FnWPri (kind "M")
    bool webPrices = false;
    HtmlPage page;
};

ViewerPageOutput PrepareViewerPage(const ViewerPageInput& in);
