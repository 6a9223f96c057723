#pragma once
// The custom-drawn pages of the main window's client area and their drawn
// elements.  A page (`TPraded`) owns a flat list of elements (`TPrvek` and
// its descendants); elements nest by naming a parent of a lower layer and then
// lie in the parent's coordinates.  The host (frame/pages/page_host.h) forwards
// events as numeric codes (frame/pages/page_events.h), calls `Tick` on odd timer
// ticks and `Paint` on even ticks when the page asked for a repaint.
//
// Texts: element texts are text-table references "Section.Key" (a leading
// lower-case "d" selects the data table) and come back in the data code page;
// they are converted for display only when drawn.

#include "frame/pages/page_events.h"
#include "platform/gui/canvas.h"
#include "platform/shared_text.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class TMyHintWindow;
class TPraded;

// The sample sentence whose width sizes page elements.
inline constexpr const char* kSampleSentence =
    "Prosta presti konyva, jednatel shudni lanove, vacemi 49 bicmyzu.";

enum class PageCursor : uint8_t { Default, Hand };

// What the host keeps and pages read: timer, mouse, font measures, hint.
struct PageState {
    static constexpr uint32_t kNoTick = 0xFFFFFFFFu; // "none" for the tick fields

    uint32_t tick = 0;           // 20 ms timer ticks; reset when a page is constructed
    Point mousePoint;            // current mouse point, page coordinates
    Point movePoint;             // point of the last real move
    uint32_t moveTick = kNoTick; // tick of the last real move
    uint8_t mouseButtons = 0;    // 1 left, 2 right, 4 middle
    Point pressPoint;
    uint32_t pressTick = kNoTick;
    uint8_t mouseShift = 0; // 1 shift, 2 alt, 4 ctrl
    Point hintPoint;        // screen point for the hover hint
    int lineHeight = 0;     // height of "Čg" in the page font
    int sampleWidth = 0;    // width of kSampleSentence in the page font
    CanvasFont pageFont;
    TMyHintWindow* hintWindow = nullptr; // the one shared hint window, or none
    bool hintShown = false;
    std::function<void(PageCursor)> setCursor; // the host's cursor hook, may be empty

    // The last real move happened within the last 2 ticks.  Compared in
    // signed 64 bits, so ticks 0 and 1 work; "none" is never recent.
    bool MovedRecently() const { return moveTick != kNoTick && int64_t(moveTick) >= int64_t(tick) - 2; }
    // Records where the pointer is.  A real move goes more than two pixels
    // from the last real move's point (smaller ones are a shaking hand) and
    // restarts the move tick; true for one.
    bool NoteMouseMove(Point point, uint8_t shift)
    {
        mousePoint = point;
        mouseShift = shift & 7;
        if (std::abs(point.x - movePoint.x) <= 2 && std::abs(point.y - movePoint.y) <= 2)
            return false;
        movePoint = point;
        moveTick = tick;
        return true;
    }
    void SetCursor(PageCursor c) const
    {
        if (setCursor)
            setCursor(c);
    }
};

// Something an element owns and frees with itself (owned1, owned2).
class OwnedObject {
public:
    virtual ~OwnedObject();
};

// A drawn element.
class TPrvek {
public:
    // kind
    static constexpr uint8_t KindPlain = 0;
    static constexpr uint8_t KindCanvas = 1;
    static constexpr uint8_t KindText = 3;
    static constexpr uint8_t KindLiveText = 4; // polled; always has data
    static constexpr uint8_t KindHover = 6;    // repainted on enter and leave
    static constexpr uint8_t KindInput = 7;
    static constexpr uint8_t KindScrollBar = 8;
    // flags (bits 4 and 5 belong to the pages: an input takes characters
    // only with bits 0, 1, 4 and 5 all set)
    static constexpr uint8_t FlagVisible = 1;
    static constexpr uint8_t FlagEnabled = 2;
    static constexpr uint8_t FlagPolled = 4;
    static constexpr uint8_t FlagDefault = 8;
    static constexpr uint8_t FlagPage4 = 16;
    static constexpr uint8_t FlagPage5 = 32;
    static constexpr uint8_t kDefaultFlags = FlagVisible | FlagEnabled | FlagDefault; // 11
    // style
    static constexpr uint32_t StyleAlignMask = 15; // 1 centred, 2 right; button: caption under
    static constexpr uint32_t StyleCentred = 1;
    static constexpr uint32_t StyleRight = 2;
    static constexpr uint32_t StylePicture = 16; // button icon is a multi-colour picture
    static constexpr uint32_t StyleBold = 32;    // bold caption
    static constexpr uint32_t StyleCaret = 1;    // input line: caret phase
    // text references
    static constexpr size_t kMaxKeyLength = 19;
    enum TextWhich : int { CaptionText = 0, HintText = 1, ShapeText = 2 };

    TPrvek();
    TPrvek(const TPrvek&) = delete;
    TPrvek& operator=(const TPrvek&) = delete;
    // Frees owned2, then owned1.
    virtual ~TPrvek();

    uint8_t parent = 0; // index of the parent element (layer > 0)
    uint8_t layer = 0;  // nesting depth, 0 = top level
    uint8_t kind = KindPlain;
    Rect rect; // page coordinates; children: the parent's coordinates
    uint8_t flags = kDefaultFlags;
    uint8_t canvasMarkBefore = 0; // set by TPlatno, read by pages
    uint8_t offsetSlot = 0;       // k: 0 none, 1 or 2 selects offsets[k - 1]
    uint8_t canvasMarkAfter = 0;  // set by TPlatno, read by pages
    std::unique_ptr<OwnedObject> owned1;
    std::unique_ptr<OwnedObject> owned2;
    std::array<Point, 2> offsets{}; // (dx, dy) pairs
    Colour colour = 0;
    uint32_t style = 0;
    uint32_t lastValue = 0;                 // the watched value at the last poll or paint
    std::string* data = nullptr;            // the element's text, data code page; not owned
    const SharedText* sharedData = nullptr; // instead of data: a text another thread writes
    int32_t hotKey = 0;                     // key code and shift that activate the element (pages)
    uint8_t hotShift = 0;

    // Text references "Section.Key" of at most 19 characters.  A longer one
    // is refused (the key stays empty): it would name another entry.
    bool SetCaptionKey(std::string_view key) { return SetKey(captionKey_, key); }
    bool SetShapeKey(std::string_view key) { return SetKey(shapeKey_, key); }
    bool SetHintKey(std::string_view key) { return SetKey(hintKey_, key); }
    const std::string& CaptionKey() const { return captionKey_; }
    const std::string& ShapeKey() const { return shapeKey_; }
    const std::string& HintKey() const { return hintKey_; }

    bool Visible() const { return (flags & FlagVisible) != 0; }
    bool Enabled() const { return (flags & FlagEnabled) != 0; }
    void SetVisible(bool on) { flags = on ? (flags | FlagVisible) : (flags & ~FlagVisible); }
    void SetEnabled(bool on) { flags = on ? (flags | FlagEnabled) : (flags & ~FlagEnabled); }

    bool HasData() const { return data != nullptr || sharedData != nullptr; }
    // A copy of the element's text (taken under the lock for a shared text).
    std::string DataText() const;

    // The text of a reference (0 caption, 1 hint, 2 shape) in the data code
    // page; empty without a reference, without ".", or for a text that starts
    // with "!" (the missing-entry marker included).
    virtual std::string GetText(int which) const;
    // 273 when the element must be repainted, else 0.
    virtual int32_t Poll(uint32_t tick);
    virtual void Paint(Canvas& canvas);
    virtual int32_t HandleEvent(int32_t code, uint8_t shift);
    // The rectangle's outline with the current pen.
    void FrameRect(Canvas& canvas, const Rect& r) const;

    TPraded* Page() const { return page_; }
    int Index() const { return index_; }

protected:
    // The page's shared state; null before the element is added to a page.
    const PageState* State() const;
    // The display text (cp1250) of a data code page text.
    static std::string ToDisplay(std::string_view dataText);

private:
    friend class TPraded;
    static bool SetKey(std::string& slot, std::string_view key);

    TPraded* page_ = nullptr;
    int index_ = -1;
    std::string captionKey_;
    std::string shapeKey_;
    std::string hintKey_;
    std::string lastText_; // a live text as last polled or painted
};

// A multi-colour picture of its shape text.
class TLogo : public TPrvek {
public:
    void Paint(Canvas& canvas) override;
};

// A rounded push button with an icon and a caption (data when set, else the
// caption text).  Kind 6 makes it hover-sensitive.
class TCudlik : public TPrvek {
public:
    TCudlik();
    void Paint(Canvas& canvas) override;
    // True when the mouse point, in the element's coordinates, lies strictly
    // inside its rectangle.
    bool Hovered() const;
    // Where the caption goes for a caption of the width (top-left corner).
    Point CaptionPoint(int captionWidth, int lineHeight) const;
    // The rounded outline, filled while the mouse is over the button.
    void PaintFace(Canvas& canvas) const;
};

// An input line over `data` (data code page, at most 255 bytes).
class TVstup : public TPrvek {
public:
    static constexpr size_t kMaxLength = 255;
    TVstup();
    int32_t Poll(uint32_t tick) override; // caret blink
    void Paint(Canvas& canvas) override;
    int32_t HandleEvent(int32_t code, uint8_t shift) override;
};

// A vertical scroll bar.  The page sets range, page size and position; Paint
// stores button size, thumb length and thumb offset.
class TPosuv : public TPrvek {
public:
    TPosuv();
    int32_t range = 0;
    int32_t pageSize = 0;
    int32_t position = 0;
    int32_t buttonSize = 0;
    int32_t thumbLength = 0; // 0 when no thumb is drawn
    int32_t thumbOffset = 0;
    void Paint(Canvas& canvas) override;
    // The thumb rectangle as last painted (empty when none).
    Rect ThumbRect() const;
};

// A grid of cells drawn by the page's cell painter.
class TTabule : public TPrvek {
public:
    static constexpr int kMaxColumns = 34;
    using CellPainter = std::function<void(Canvas& canvas, const Rect& cell, int row, int zero, int column)>;
    uint16_t rows = 0;
    uint16_t columns = 0;
    std::array<uint16_t, kMaxColumns> widths{};
    CellPainter cellPainter;
    void Paint(Canvas& canvas) override;
    int32_t HandleEvent(int32_t code, uint8_t shift) override;
    // The cell rectangle of (row, column) for the line height.
    Rect CellRect(int row, int column, int lineHeight) const;
};

// An off-screen canvas: its bitmap is owned1, its scroll offset is the first
// offset pair (offset slot 1).  Pages draw its children into the bitmap.
class TPlatno : public TPrvek {
public:
    TPlatno();
    ImageCanvas& Bitmap();
    Point& ScrollOffset() { return offsets[0]; }
    void Paint(Canvas& canvas) override;
};

// A page.
class TPraded {
public:
    static constexpr uint16_t kNone = 0xFFFF;

    // Resets the shared tick counter (and the move and press ticks to none).
    TPraded(PageState& state, Canvas& canvas, int width, int height);
    TPraded(const TPraded&) = delete;
    TPraded& operator=(const TPraded&) = delete;
    // Done: the page's own state (the descendants' destructors), then the
    // elements from the last to the first.
    virtual ~TPraded();

    uint16_t count() const { return static_cast<uint16_t>(elements_.size()); }
    uint16_t topLayer = 0;
    uint16_t focus = kNone;   // element that receives typed characters
    uint16_t hovered = kNone; // element under the mouse at the last hover check
    bool repaint = false;
    Canvas* canvas; // the back-buffer canvas; not owned
    int width;
    int height;
    PageState& state;

    // Appends an element; it belongs to the page from now on.
    template <class T>
    T& Add(std::unique_ptr<T> element)
    {
        T& ref = *element;
        AddElement(std::move(element));
        return ref;
    }
    template <class T, class... Args>
    T& Create(Args&&... args)
    {
        return Add(std::make_unique<T>(std::forward<Args>(args)...));
    }
    TPrvek& Element(int index) { return *elements_[static_cast<size_t>(index)]; }
    const TPrvek& Element(int index) const { return *elements_[static_cast<size_t>(index)]; }

    // After the descendant created its elements: topLayer.
    virtual void Build();
    // The code unchanged when not handled, 0, 272 or 273.
    virtual int32_t HandleEvent(int32_t code, uint8_t shift);
    virtual void Layout();
    // Polls the polled elements and tracks the hovered one.
    virtual void Tick();
    // Every visible element in list order.
    virtual void Paint();

    // The element under the point, or -1: higher layers first, within a layer
    // the first in list order.
    int32_t HitTest(Point point) const;
    // The point in the coordinates of the element's rectangle: per ancestor,
    // its top-left subtracted and its selected offset pair added.  False for
    // a broken parent chain (a parent that is not an element of a lower layer).
    bool MapToElement(int index, Point point, Point& out) const;
    // Shows the shared hint window with a data code page text at the offset
    // point (screen coordinates).  An empty text shows nothing.
    void ShowHintAt(Point offset, std::string_view text);

protected:
    // Paints the visible elements the predicate selects, in list order.
    void PaintElements(Canvas& on, const std::function<bool(const TPrvek&)>& which);

private:
    void AddElement(std::unique_ptr<TPrvek> element);

    std::vector<std::unique_ptr<TPrvek>> elements_;
};
