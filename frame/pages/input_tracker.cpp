#include "frame/pages/input_tracker.h"

InputTracker::InputTracker(PageState& state, Calls calls) : state_(state), calls_(std::move(calls))
{}

void InputTracker::Reset()
{
    hintExpiry_ = kNoTick;
    gesture_ = false;
    gestureMoved_ = false;
    gestureClicked_ = false;
    longPressFired_ = false;
    longPressHandled_ = false;
    wheelRest_ = 0;
    state_.pressTick = kNoTick;
    state_.moveTick = kNoTick;
    state_.mouseButtons = 0;
}

int32_t InputTracker::Send(int32_t code, uint8_t shift)
{
    return calls_.send ? calls_.send(code, shift) : code;
}

void InputTracker::HideHint()
{
    if (calls_.hideHint)
        calls_.hideHint();
}

void InputTracker::MouseDown(uint8_t button, Point point, uint8_t shift)
{
    if (!gesture_) {
        gesture_ = true;
        gestureStart_ = state_.tick;
        gestureMoved_ = false;
        gestureClicked_ = false;
        longPressFired_ = false;
        longPressHandled_ = false;
    }
    state_.mouseButtons |= button;
    if (state_.mouseButtons == Left || state_.mouseButtons == Right) {
        state_.pressPoint = point;
        state_.pressTick = state_.tick;
    } else {
        state_.pressTick = kNoTick;
    }
    state_.mousePoint = point;
    state_.mouseShift = shift & 7;
    Send(PageEvent::ButtonChange, state_.mouseShift);
    HideHint();
}

void InputTracker::MouseUp(uint8_t button, Point point, uint8_t shift)
{
    const uint8_t before = state_.mouseButtons;
    state_.mouseButtons &= static_cast<uint8_t>(~button);
    state_.mousePoint = point;
    state_.mouseShift = shift & 7;
    if ((before & button) == 0) {
        // A release whose press we never saw (pressed outside the window).
        if (state_.mouseButtons == 0)
            gesture_ = false;
        return;
    }
    const bool clickDue = gesture_ && !gestureClicked_ && !gestureMoved_ && !longPressHandled_;
    gestureClicked_ = true;
    if (state_.mouseButtons == 0)
        gesture_ = false;
    if (clickDue) {
        const int32_t code = before == Left ? PageEvent::LeftClick : PageEvent::OtherClick;
        if (Send(code, state_.mouseShift) != code) {
            state_.pressTick = kNoTick;
            HideHint();
            return;
        }
    }
    state_.pressTick = kNoTick;
    Send(PageEvent::ButtonChange, state_.mouseShift);
    HideHint();
}

void InputTracker::MouseMove(Point point, uint8_t shift)
{
    if (state_.NoteMouseMove(point, shift) && gesture_)
        gestureMoved_ = true;
}

bool InputTracker::Wheel(int angleDelta, uint8_t shift)
{
    if ((wheelRest_ > 0 && angleDelta < 0) || (wheelRest_ < 0 && angleDelta > 0))
        wheelRest_ = 0;
    wheelRest_ += angleDelta;
    bool handled = false;
    while (wheelRest_ >= kWheelStep) {
        wheelRest_ -= kWheelStep;
        handled = (Send(PageEvent::WheelUp, shift & 7) != PageEvent::WheelUp) || handled;
    }
    while (wheelRest_ <= -kWheelStep) {
        wheelRest_ += kWheelStep;
        handled = (Send(PageEvent::WheelDown, shift & 7) != PageEvent::WheelDown) || handled;
    }
    return handled;
}

void InputTracker::Tick()
{
    const bool shown = calls_.hintShown ? calls_.hintShown() : false;
    if (hintExpiry_ != kNoTick && static_cast<int32_t>(state_.tick - hintExpiry_) > 0 && shown) {
        HideHint();
        hintExpiry_ = state_.tick;
    }

    if (gesture_ && !longPressFired_ && !gestureMoved_ && state_.mouseButtons != 0 &&
        Elapsed(gestureStart_) >= kLongPressTicks) {
        longPressFired_ = true;
        const int32_t code =
            state_.mouseButtons == Left ? PageEvent::LongPressLeft : PageEvent::LongPressOther;
        if (Send(code, state_.mouseShift) != code) {
            longPressHandled_ = true;
            state_.moveTick = kNoTick;
        }
    }

    const bool rested = state_.moveTick != kNoTick && Elapsed(state_.moveTick) > kHoverTicks;
    const bool movedSinceHint =
        hintExpiry_ == kNoTick || static_cast<int32_t>(state_.moveTick - hintExpiry_) > 0;
    if (rested && movedSinceHint) {
        Point p = calls_.toScreen ? calls_.toScreen(state_.movePoint) : state_.movePoint;
        p.y += kHintDrop;
        state_.hintPoint = p;
        Send(PageEvent::HintRequest, state_.mouseShift);
        hintExpiry_ = state_.tick + kHintTicks;
    }
}
