#pragma once
// What the HTML viewer calls in parts of the program built elsewhere: the
// paragraph chooser, the maximal-dose editor, the document change table, the
// record viewer and web-page openers, and another program's one-shot
// paragraph request.  Each is a function object registered at start-up; an
// empty one does nothing and answers its neutral value.  Replacing the table
// returns the old one, so tests install fakes and put the old table back.
//
// Main thread only.

#include <cstdint>
#include <functional>
#include <string>

struct ViewerWindowHooks {
    // TVybOdst: the paragraph chooser, run modally for a document kind.  In:
    // the current selection (one-byte codes and its "+" or "-"); out: the
    // chosen set as EncodeParagraphSet takes it, and its requested section
    // code.  False when cancelled.  The table starts with the real chooser
    // (lists/paragraph_chooser.h), which shows the kind's stored selection
    // and answers what it stored there.
    std::function<bool(char kind, std::string& selection, uint8_t& requestedSection)> chooseParagraphs;
    // The maximal-dose editor for a product: code, document record name,
    // document text, the document's "B" value.
    std::function<void(const std::string& code, const std::string& recordName, const std::string& text,
                       uint16_t bValue)>
        openMaxDoseEditor;
    // The change check of the document change table for a letter ("C", "S",
    // "L", "H", "-") and a product code: below 0, 0 unchanged, above 0.
    std::function<int(char letter, const std::string& code)> checkZlpEntry;
    // OpenRecordViewer: a viewer of command `code` for the record, at a
    // paragraph (`extra`).
    std::function<void(uint16_t code, int32_t record, int16_t extra)> openRecordViewer;
    // The product's web page with a page key (empty: the main page).
    std::function<void(const std::string& code, const std::string& pageKey)> openProductWebPage;
    // Another program's request: a paragraph code and a text section
    // (0: none).
    std::function<uint8_t()> requestedParagraph;
    std::function<uint8_t()> requestedSection;
};

ViewerWindowHooks SetViewerWindowHooks(ViewerWindowHooks hooks);
ViewerWindowHooks ViewerHooks();
