#pragma once
// The host side of a page, without a widget: the shared page state, the back
// buffer and the page's lifecycle.  The main window embeds one host, maps Qt
// input to page event codes and drives TimerTick from its 20 ms timer; tests
// and the demonstration drive it directly, without real time.
//
// Lifecycle: a page is constructed on State() and BackBuffer(), handed over
// with SetPage (which builds it and lays it out for the client size), then
// receives events (SendEvent), its Tick on odd timer ticks and its Paint on
// even ticks when it asked for a repaint.  A painted frame goes to the
// frame-ready callback.

#include "frame/pages/page.h"

#include <functional>
#include <memory>

class PageHost {
public:
    explicit PageHost(const CanvasFont& pageFont = CanvasFont{});
    ~PageHost();
    PageHost(const PageHost&) = delete;
    PageHost& operator=(const PageHost&) = delete;

    PageState& State() { return state_; }
    ImageCanvas& BackBuffer() { return backBuffer_; }
    TPraded* Page() { return page_.get(); }
    int ClientWidth() const { return width_; }
    int ClientHeight() const { return height_; }

    // The font pages draw with; LineHeight and SampleWidth are measured anew.
    void SetPageFont(const CanvasFont& font);
    // The colour the back buffer is filled with when it is resized.
    void SetBackground(Colour colour) { background_ = colour; }
    // A new client size: the back buffer is remade, the page gets the size
    // and is laid out, and a repaint is due.
    void Resize(int width, int height);

    // Takes over a page constructed on this host's state and back buffer:
    // gives it the client size, builds it and lays it out.  A previous page
    // is destroyed first.
    void SetPage(std::unique_ptr<TPraded> page);
    // Destroys the page.
    void ClearPage();

    // An event for the page.  272 lays the page out and becomes 273; 273
    // marks the page for repainting.  Without a page the code comes back.
    int32_t SendEvent(int32_t code, uint8_t shift);
    // One timer tick: the counter grows; odd ticks run the page's Tick, even
    // ticks paint when a repaint is due.
    void TimerTick();
    // Paints the page into the back buffer now and reports the frame.
    void PaintNow();
    // How many frames have been painted (for tests and the demonstration).
    uint64_t FramesPainted() const { return framesPainted_; }

    // The mouse point in page coordinates.  A real move (more than 2 pixels
    // horizontally or 3 or more vertically from the last real move) also
    // records the move point and tick, which hover tracking reads.
    void MouseMove(Point point, uint8_t shift = 0);
    // Hides the shared hint window, if one is shown.
    void HideHint();

    // Called with the back buffer after every paint.
    std::function<void(const QImage& frame)> onFrameReady;

private:
    PageState state_;
    ImageCanvas backBuffer_;
    std::unique_ptr<TPraded> page_;
    int width_ = 0;
    int height_ = 0;
    Colour background_ = 0xFFFFFF;
    bool paintDeferred_ = false;
    uint64_t framesPainted_ = 0;
};
