#pragma once
// The record viewer's document kinds as data: one row per kind letter with
// everything the opener and the viewer decide by it (the command that opens
// it, the record it follows, its icon and title, the file it reads, its
// buttons, tabs, paragraph filter and usage counting).  The command table's
// counterpart for the viewer; a kind is looked up once and its row asked.
//
// The letter stays the kind's name where other parts keep it (the stored
// paragraph selections, the document readers, the HTML conversion).

#include <cstdint>
#include <span>
#include <string_view>

#include "frame/windows/link_kind.h"

// What a kind shows.
enum class DocumentSource : uint8_t {
    Article,             // the drug's article, kodex.dat (K, B)
    ArticleInteractions, // the interactions of the article (A)
    Contraindications,   // the article's contraindications, rewritten (X)
    EnglishArticle,      // kodexa.dat (E)
    Spc,                 // the product summary, spc.dat (S)
    SpcInteractions,     // the interactions of the summary (I)
    Leaflet,             // the patient leaflet, letak.dat (L)
    GoodsArticle,        // the article of a non-drug good, pfakodex.dat (R)
    DeviceMethod,        // the device type's text, pztmet.dat (1, 2)
    DrugRecord,          // composed from the drug's record (M)
    DeviceRecord,        // composed from the device's record (T)
    Photo,               // the product's photo page (P, Q)
    Synonyms,            // a substance's synonyms (N, Y): nothing read yet
};

// The paragraph filter a viewer of the kind starts with.
enum class InitialFilter : uint8_t {
    All,          // every paragraph
    Stored,       // the kind's stored selection and highlight
    MethodText,   // only the device method's text section
    Interactions, // the article's interaction paragraphs, fixed
    SpcSection,   // the summary's interaction section, rebuilt from the text
};

// The section tabs below the page.
enum class TabStyle : uint8_t {
    Short, // paragraph numbers: at least two letters wide
    Named, // the composed texts' and interaction headings
    Empty, // the bar stays, without tabs (photo pages)
    Hidden,
};

// What a change of tab counts in the usage statistics.
enum class TabUsage : uint8_t {
    None,
    Chapter,   // "k" + the first two letters of the label
    Main,      // "oM" + the first letter
    Paragraph, // "m" + the paragraph code
};

// The viewer's optional parts.
enum DocumentFeature : uint8_t {
    kContentsButton = 1,
    kFilterButton = 2,
    kPrescriptionButton = 4, // and the reimbursement lines in the text
    kWebButtons = 8,         // the product's web contents and prices
    kMaxDoseRequest = 16,    // requested paragraph 5 opens the maximal-dose editor
};

struct DocumentKindRow {
    char letter;
    std::string_view command; // the letters of the command that opens it ("dSP")
    LinkKind link;            // the record it follows
    DocumentSource source;
    std::string_view icon;         // TIkona name
    std::string_view titleKey;     // key of section "Prohlizec"
    std::string_view documentFile; // the document file without ".dat"; "" none
    bool openerChecksFile;         // the opener refuses when the file is missing
    bool readsRecord;              // the main-table record is read
    char textKind;                 // the external program's text kind; ' ' none
    char changeLetter;             // the document change table's letter; 0 none
    std::string_view usageKey;     // the viewing time's usage key; "" not counted
    InitialFilter filter;
    std::string_view visibilityKey; // key of section "Prohlizec": the sections shown
    TabStyle tabs;
    TabUsage tabUsage;
    uint8_t requestedTabLimit; // a requested paragraph below it opens its tab; 0 never
    uint8_t barButtons;        // the buttons the bar's width is shared by
    uint8_t features;          // DocumentFeature bits

    constexpr bool Has(DocumentFeature f) const { return (features & f) != 0; }
    constexpr bool Composed() const
    {
        return source == DocumentSource::DrugRecord || source == DocumentSource::DeviceRecord;
    }
    constexpr bool IsPhoto() const { return source == DocumentSource::Photo; }
};

// Every kind, in the order of their letters.
std::span<const DocumentKindRow> DocumentKinds();
// The row of a letter; an unknown letter has the row of a drug document
// without a file.
const DocumentKindRow& DocumentKindOf(char letter);
// The row of a viewer command code; nullptr for a code no viewer shows.
const DocumentKindRow* DocumentKindOfCommand(uint16_t code);
