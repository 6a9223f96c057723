#pragma once
// The start page of the normal program (`TPrazdno`): the update status line
// at the bottom and, at the top right, up to three news items of the cached
// feed (`TNovina`) or two welcome texts.  A click opens an item's link in the
// browser and greys it; its "x" box closes it for good ("NOT=").  The page
// also opens list windows for medication lists pasted from the clipboard
// (Ctrl+V) or handed over by another program (option "b").
//
// Texts of the items are in the display code page (code page 1250); links
// are opened only when they are plain http or https addresses.  The
// clipboard goes through StartPageServices, the browser through the frame's
// ShellOpen, boxes through the message sink, windows through the medication
// lists' RequestTarget.  Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/pages/page.h"

struct PageContext;
struct PageHooks;
struct RssItem;

struct StartPageServices {
    // The clipboard's text, code page 1250 (empty when none).
    std::function<std::string()> clipboardText;
};
StartPageServices DefaultStartPageServices();

// At most this many line ends are recorded per text.
inline constexpr size_t kMaxWrappedLines = 1040;

// How many leading characters of the word fit the width: a guess from the
// sample width, made smaller while too wide and larger while the next
// character still fits; at least 1, at most the word's length.
int CharsForWidth(Canvas& canvas, std::string_view word, int width, int sampleWidth);
// The line ends of the text wrapped to the width with the canvas's font:
// words at blanks (a run counts as one), LF a forced break, a word wider
// than a line cut by CharsForWidth.  Each end is a character position; a
// line runs from the previous end, its leading blanks and LF skipped.
std::vector<uint16_t> WrapText(Canvas& canvas, std::string_view text, int width, int sampleWidth);

// Whether a news link may go to the browser: "http://" or "https://" (any
// case) with a host, no blank or control byte, at most 2,000 bytes, a valid
// URL.
bool IsOpenableLink(std::string_view link);

// One news element.
class TNovina : public TPrvek {
public:
    std::string identifier; // the link's trailing digits, empty for welcome texts
    std::string date;
    std::string title;
    std::string description;
    std::string link;
    std::vector<uint16_t> titleEnds;
    std::vector<uint16_t> descriptionEnds;

    // Wraps the texts for the width U and sets the element's size.
    void Measure(Canvas& canvas, const PageState& state);
    // Draws the element into its own picture.
    void Render();
    void Paint(Canvas& canvas) override;
    int32_t HandleEvent(int32_t code, uint8_t shift) override;
    // The picture as last rendered (null before Render).
    const ImageCanvas* Picture() const { return picture_.get(); }
    int ElementHeight() const { return height_; }
    // The close box in page coordinates, edges outside.
    Rect CloseBox() const;

private:
    std::unique_ptr<ImageCanvas> picture_;
    int height_ = 0;
};

class TPrazdno : public TPraded {
public:
    enum Part : uint16_t { kStatus, kNews1, kNews2, kNews3, kElementCount };

    TPrazdno(PageState& state, Canvas& canvas, int width, int height, StartPageServices services);
    ~TPrazdno() override;

    void Build() override;
    int32_t HandleEvent(int32_t code, uint8_t shift) override;
    void Layout() override;
    void Tick() override;
    void Paint() override;

    // A list handed over by another program (option "b" of the query).
    void OpenPassedList(const std::string& query);
    // Ctrl+V: the clipboard's list; the code unchanged when it is no list.
    int32_t PasteList(int32_t code);
    // Hides the news for this run (a menu command was chosen).
    void HideNews();

    TNovina& News(int i) { return static_cast<TNovina&>(Element(i)); }

private:
    void FillNews(const std::string& cachePath);
    void FillWelcome();

    StartPageServices services_;
    int32_t lastHit_ = -2;
};

// The page of the normal program type, the hand-over call and the menu's
// call that hides the news.
void AddStartPageHooks(PageHooks& hooks);
