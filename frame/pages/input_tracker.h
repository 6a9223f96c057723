#pragma once
// Mouse gestures of the main window as page events: clicks, long presses,
// hover and the wheel.  A plain object fed with events and timer ticks; it
// reads no clock, so tests drive it tick by tick.
//
// The mouse fields live in the page's shared state (pages read them); the
// tracker adds the gesture and hint bookkeeping.  Ticks are compared as
// elapsed counts (unsigned differences), so a counter that wraps or is reset
// for a new page never blocks hover or long presses.
//
// Rules:
//  - A gesture runs from the first button down to the last button up.  Its
//    first release sends one click (1 when only the left button was down,
//    else 2) unless a real move happened since the gesture began or a long
//    press was handled; later releases of the same gesture send none.  When
//    the page handles the click, no 270 follows; else 270 is sent.  Every
//    press sends 270.
//  - Long press: once per gesture, after kLongPressTicks ticks with buttons
//    down and no real move: 257 for the left button alone, else 258.  When
//    the page handles it, the move tick becomes "none" (no hover until the
//    next move) and the gesture sends no click.
//  - Hover: once the mouse has rested more than kHoverTicks ticks after a
//    real move that came after the last hint expired, the hint point is the
//    move point 24 pixels lower (screen coordinates), 271 goes to the page,
//    and the hint expires kHintTicks later.  When the timer hides an expired
//    hint, the expiry becomes that tick, so the next real move re-arms hover.
//  - A real move differs from the last real move point by more than 2 pixels
//    horizontally or by 3 or more vertically.
//  - Wheel: angle deltas are summed to steps of 120 (one notch); each step
//    up sends 14, down 15.  A change of direction drops the remainder.

#include <cstdint>
#include <functional>

#include "frame/pages/page.h"

class InputTracker {
public:
    static constexpr uint32_t kNoTick = PageState::kNoTick;
    static constexpr uint32_t kHoverTicks = 40;
    static constexpr uint32_t kHintTicks = 125;
    static constexpr uint32_t kLongPressTicks = 60;
    static constexpr int kHintDrop = 24;
    static constexpr int kWheelStep = 120;

    // Buttons as the state keeps them.
    static constexpr uint8_t Left = 1, Right = 2, Middle = 4;

    struct Calls {
        // Sends an event to the page; returns the page's answer (the code
        // unchanged when not handled).  Empty: nothing is handled.
        std::function<int32_t(int32_t code, uint8_t shift)> send;
        // Hides the shared hint window.
        std::function<void()> hideHint;
        // Whether a hint is shown now.
        std::function<bool()> hintShown;
        // Page point to screen point.
        std::function<Point(Point)> toScreen;
    };

    InputTracker(PageState& state, Calls calls);

    // Gesture and hint bookkeeping back to the start (a new page resets the
    // shared counters; the tracker follows).
    void Reset();

    void MouseDown(uint8_t button, Point point, uint8_t shift);
    void MouseUp(uint8_t button, Point point, uint8_t shift);
    void MouseMove(Point point, uint8_t shift);
    // True when the page handled at least one of the steps.
    bool Wheel(int angleDelta, uint8_t shift);
    // The tracker's part of one timer tick, after the tick counter grew:
    // hint expiry, long press, hover.
    void Tick();

    uint32_t HintExpiry() const { return hintExpiry_; }
    bool GestureActive() const { return gesture_; }

private:
    int32_t Send(int32_t code, uint8_t shift);
    void HideHint();
    uint32_t Elapsed(uint32_t since) const { return state_.tick - since; }

    PageState& state_;
    Calls calls_;
    uint32_t hintExpiry_ = kNoTick; // none: no hint yet since the reset
    bool gesture_ = false;
    uint32_t gestureStart_ = 0;
    bool gestureMoved_ = false;
    bool gestureClicked_ = false; // the first release happened
    bool longPressFired_ = false;
    bool longPressHandled_ = false;
    int wheelRest_ = 0;
};
