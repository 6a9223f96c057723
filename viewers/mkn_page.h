#pragma once
// The classification page of the main window (program types "mkn" 4 and
// "mkno" 7): one entry of a disease classification at a time in the
// rich-text engine, codes followed by a click, a history to go back, the
// word search with its hit list, a code line taken for the clipboard, and
// printing.  Scrolling, the scroll bar and the history class are the help
// page's (viewers/ctrl_pager.h); the files are viewers/mkn_file.h.
//
// The clipboard, help, titles, boxes and the print dialog come in through
// MknPageServices, which tests replace.  Main thread only.

#include <functional>
#include <memory>
#include <string>

#include "frame/pages/page.h"
#include "viewers/ctrl_pager.h"
#include "viewers/mkn_file.h"

struct PageContext;
struct PageHooks;
class TMainForm;

struct MknPageServices {
    CanvasFont textFont; // FONTTXT= as set
    bool textFontIsTarel = true;
    CanvasFont printFont; // FONTPRN=
    // Plain text for the clipboard, code page 1250.
    std::function<void(const std::string& cp1250)> setClipboardText;
    std::function<void(const std::string& topic)> requestHelp;
    // The application title and the main window's caption (code page 1250).
    std::function<void(const std::string& appTitle, const std::string& caption)> setTitles;
    // An error box (data code page).
    std::function<void(const std::string& text)> showError;
    // The print dialog; true when confirmed.
    std::function<bool()> printSetup;
};

// The services of the real program: the fonts of the settings, the system
// clipboard, RequestHelp, the application's and the main window's titles,
// the message sink, the shared print job's dialog.
MknPageServices DefaultMknPageServices(TMainForm* owner);

// The history of the classification pages, one for the whole run.
TopicHistory& MknHistory();

class TMknWin : public TPraded {
public:
    enum Part : uint16_t { kText, kBar, kInput, kStart, kBack, kCopy, kLabel, kHelp, kElementCount };

    // `second`: the oncology classification "mkno".
    TMknWin(PageState& state, Canvas& canvas, int width, int height, bool second, MknPageServices services);
    ~TMknWin() override;

    void Build() override;
    int32_t HandleEvent(int32_t code, uint8_t shift) override;
    void Layout() override;
    void Tick() override;
    void Paint() override;

    // Shows the code's entry with an empty history, search text, label and
    // copy text.  An empty code changes nothing.
    void GoToCode(const std::string& code);

    // State, for the main window and tests.
    bool Second() const { return second_; }
    bool FileMissing() const { return missing_; }
    const MknClassification& File() const { return file_; }
    int CurrentEntry() const { return entry_; }
    const std::string& CurrentCode() const { return code_; }
    const std::string& Typed() const { return typed_; }
    const std::string& Label() const { return label_; }
    const std::string& CopyText() const { return copy_; }
    CtrlTextPager& Pager() { return pager_; }
    int LineHeight() const { return lh_; }

    // The text's line and offset under a page point (the engine's hit test).
    bool LineAtPoint(Point p, int& line, int& offset);
    // The code at an offset of a line of the shown text: code mode, then line mode.
    MknFoundCode CodeAtPosition(int line, int offset) const;
    // A line's text without codes; a link line gives its topic abbreviation.
    std::string LinePlainText(int line) const;

private:
    void PlaceElements();
    void Relayout();
    void ShowCode(const std::string& code);
    void ReadEntryText();
    void SearchWords();
    void ShowText(std::string text);
    void UpdateElements();
    bool FollowCodeAtMouse(Point p);
    bool Back();
    void CopyCodeLine();
    void Print();
    void DrawScrollBar(Canvas& c);
    Colour MknLineColour(const CtrlTextView& view, int line, Colour colour) const;
    // Bounds of a line in the view's text: [start, end).
    bool LineBounds(int line, int& start, int& end) const;

    bool second_;
    MknPageServices services_;
    std::string path_;
    bool missing_ = false;
    bool scanned_ = false;
    MknClassification file_;
    CtrlTextPager pager_;
    int entry_ = -1;
    std::string code_;
    std::string typed_; // the search field's buffer, data code page
    std::string label_;
    std::string copy_;    // data code page
    std::string folded_;  // the word list folded for matching
    size_t foldedOf_ = 0; // the size of the list folded_ was made from
    std::string noCaption_;
    int lh_ = 0;
    int u_ = 0;
};

// Fills the page hooks: the page of types 4 and 7, and GoToCode.
void AddMknPageHooks(PageHooks& hooks);
