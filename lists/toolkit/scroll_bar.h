#pragma once
// TAScroll: the list windows' own scroll bar.  It reports arrow and track
// presses as the same action codes the keyboard gives (372 first arrow, 373
// track before the thumb, 380 last arrow, 381 track after it), so one handler
// serves keys and mouse, and it repaints only when the thumb's pixel moves.
//
// Wiring with an action handler: OnAction gets a copy of the press's action.
// A handler that carried the action out (and set the bar's position itself)
// answers 1 or 0: the bar then neither moves nor fires OnScroll.  A handler
// that leaves the code moves the bar by Small or Large and OnScroll fires.
// Repeats (after 400 ms, then every 100 ms) use the bar's own Action again;
// a page repeat asks OnAction only while the thumb has not reached the
// mouse.  A thumb drag moves the bar and fires OnScroll with Pressed set.

#include <QWidget>

#include <cstdint>
#include <functional>

class QTimer;

// The bar's arithmetic along its long side: length L, thickness w.  One thumb
// rule for everything: a thumb of length w exists when L >= 4w and Max > 0.
struct ScrollGeometry {
    int length = 0;
    int thickness = 0;
    int32_t max = 0;
    int32_t posit = 0;

    // L - 3w + 2, the span the thumb's start covers; 0 or less: no track.
    int Track() const { return length - 3 * thickness + 2; }
    bool HasThumb() const { return max > 0 && length >= 4 * thickness && Track() > 0; }
    // The thumb's first pixel for a position.
    int ThumbStartAt(int32_t position) const;
    int ThumbStart() const { return ThumbStartAt(posit); }
    // The action under coordinate c (1 with Max 0), and the position under it.
    int HitTest(int c, int32_t& hitPos) const;
    // The position a thumb dragged to c stands for.
    int32_t DragPosition(int c) const;
};

class TAScroll : public QWidget {
    Q_OBJECT
public:
    // (bar, code, shift flags): the handler may rewrite the code.
    using ActionHandler = std::function<void(TAScroll* bar, uint16_t& code, uint8_t shift)>;

    explicit TAScroll(QWidget* parent = nullptr);

    bool Horizontal() const { return width() > height(); }
    ScrollGeometry Geometry() const;

    void SetMax(int32_t m);
    void SetPosit(int32_t p);
    void SetWidth(int w);
    void SetHeight(int h);
    int32_t Max() const { return max_; }
    int32_t Posit() const { return posit_; }
    int32_t HitPos() const { return hitPos_; }
    bool Pressed() const { return pressed_; }
    int16_t Action() const { return action_; }
    uint8_t ShiftState() const { return shiftState_; }

    bool Ctl3D = true;
    int32_t Large = 1;
    int32_t Small = 1;
    std::function<void(TAScroll* bar)> OnScroll;
    ActionHandler OnAction;

    // The repeat timer's step (its slot; public so that tests drive it).
    void RepeatTick();
    bool Repeating() const;
    // Repaints asked for so far (tests).
    uint64_t RepaintRequests() const { return repaints_; }

    // The mouse in bar coordinates (the events call these).
    void MouseDown(Qt::MouseButton button, QPoint at, uint8_t shift);
    void MouseMove(QPoint at);
    void MouseUp();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int Along(QPoint at) const { return Horizontal() ? at.x() : at.y(); }
    // Moves by the action (372, 373, 380, 381); false for any other code.
    bool MoveBy(uint16_t code);
    void Repaint();

    int32_t max_ = 0;
    int32_t posit_ = 0;
    int32_t hitPos_ = 0;
    bool pressed_ = false;
    uint8_t shiftState_ = 0;
    int16_t action_ = 0;
    QTimer* repeatTimer_;
    uint64_t repaints_ = 0;
};
