#pragma once
// The duplicity page of the main window (program type "dupl"): the products
// of a medication list with their level marks on a list page, and the
// findings on a summary page.  A list comes from a request of another
// program (plain argument "1" or option "b"), the clipboard (Ctrl+V or the
// paste button), the open dialog or a dropped file.
//
// The list page and the summary page each live in a canvas element whose
// bitmap holds the visible part of the page, painted at the scroll offset;
// the content heights drive the scrolling.
//
// The clipboard, the open dialog, the window title and the help request go
// through DuplicityPageServices, which tests replace; boxes go through the
// message sink.  Main thread only.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frame/pages/page.h"
#include "viewers/duplicity_check.h"

struct PageContext;
struct PageHooks;
class TMainForm;

struct DuplicityPageServices {
    // The clipboard's text, code page 1250 (empty when none).
    std::function<std::string()> clipboardText;
    // The first existing local file of the clipboard's file list (UTF-8),
    // empty when none.
    std::function<std::string()> clipboardFile;
    // The open dialog: the chosen file (UTF-8), empty when cancelled.
    std::function<std::string(const std::string& title, const std::vector<std::string>& filters)> chooseFile;
    // The application title and the page caption (display text).
    std::function<void(const std::string& cp1250Title)> setTitle;
    std::function<void(const std::string& topic)> requestHelp;
};

// The services of the real program (Qt clipboard, QFileDialog, the main
// window's title).
DuplicityPageServices DefaultDuplicityPageServices(TMainForm* owner);

// "%A2" colour words (red in the low byte) of the level classes.
Colour LevelColour(int level);
// Each channel becomes (3c + 510) / 5.
Colour LightenColour(Colour c);

// Marks drawn text: a mark byte with bit 0 switches between the normal and
// the highlight colour, one with bit 6 starts a new line.  Texts are in the
// data code page.
struct MarkedLayout {
    int lines = 0;
    int height = 0;
};
// Sets bit 6 in the marks at the wrap points for the width and gives the
// line count (measured with the canvas's current font).
int WrapMarkedText(Canvas& canvas, const std::string& text, std::string& marks, int width);
// Draws the text from (x, y), one line per lineHeight; the height used.
int DrawMarkedText(Canvas& canvas, const std::string& text, const std::string& marks, int x, int y,
                   int lineHeight, Colour normal, Colour highlight);

class TDuplicity : public TPraded {
public:
    enum Part : uint16_t {
        kListCanvas,
        kBar,
        kPatientLabel,
        kPatientName,
        kHelp,
        kOpen,
        kPaste,
        kKvo,
        kGrid,
        kInput,
        kToSummary,
        kSummaryCanvas,
        kBanner,
        kBack,
        kElementCount
    };

    TDuplicity(PageState& state, Canvas& canvas, int width, int height, DuplicityPageServices services);
    ~TDuplicity() override;

    void Build() override;
    int32_t HandleEvent(int32_t code, uint8_t shift) override;
    void Layout() override;
    void Tick() override;
    void Paint() override;

    // Loading a list (the main window's hand-over and the user's actions).
    void LoadListFromText(const std::string& query);
    void LoadListFromSource(const std::string& value);
    int32_t PasteList();
    int32_t ChooseListFile();
    // A file dropped on the page (UTF-8 path).
    void DropFile(const std::string& path);

    // State, for the main window and tests.
    bool SummaryShown() const;
    void ShowSummary(bool on);
    int ProductCount() const { return count_; }
    const std::vector<LekRec>& Products() const { return leks_; }
    const std::vector<DupRec>& Findings() const { return dups_; }
    const std::string& PatientName() const { return patient_; } // data code page
    int ScrollY() const;
    int ContentHeight() const;

private:
    int Unit() const;
    void LoadText(std::string text, bool needsLineFeed, bool fromList, bool setTitle);
    void ShowReport(const std::string& report);
    void Scroll(int dy);
    void ScrollTo(int y);
    void ClampScroll();
    void LayoutSummary(Canvas& measure);
    // Paints a canvas's visible part at its scroll offset.
    void PaintPage(uint16_t canvasIndex);
    void PaintSummary(Canvas& c, int scroll);
    void DrawDuplicityCell(Canvas& c, const Rect& cell, int row, int column);
    void DrawMark(Canvas& c, const Rect& box, int level, int fontSize);
    void PaintChildren(Canvas& on, uint16_t parent, int scroll);

    DuplicityPageServices services_;
    std::vector<LekRec> leks_;
    std::vector<DupRec> dups_;
    std::vector<int32_t> positions_;
    int count_ = 0;
    std::string patient_;    // data code page
    std::string input_;      // the hidden input field's buffer
    std::string tableError_; // a table the check could not open
    int listHeight_ = 0;
    int summaryHeight_ = 0;
    std::vector<int> findingTop_; // y of each finding on the summary page
    int summaryTextTop_ = 0;
    int findingsTop_ = 0;
};

// Fills the page hooks: the page of type 5 and the two hand-over calls.
void AddDuplicityPageHooks(PageHooks& hooks);
