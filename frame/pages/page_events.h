#pragma once
// The event protocol between the main window and its page: 32-bit codes
// passed to TPraded::HandleEvent with a shift byte, and the codes a page
// answers with.
//
// Keys come as their virtual-key codes with the shift state (ShiftKey, Alt,
// Ctrl).  Every typed character 1-255 (display code page) comes with the shift
// value Typed (8), before the same code with the real shift state; Ctrl+letter
// types the letter's number (Ctrl+C 3, Ctrl+V 22).  Only shift 8 marks a typed
// character: 15 with shift 8 is Ctrl+O, never the wheel.

#include <cstdint>

namespace PageEvent {

// Mouse and timer events.
constexpr int32_t LeftClick = 1;  // left button released without a move since the press
constexpr int32_t OtherClick = 2; // released click of another button combination
constexpr int32_t WheelUp = 14;
constexpr int32_t WheelDown = 15;
constexpr int32_t LongPressLeft = 257;
constexpr int32_t LongPressOther = 258;
constexpr int32_t ButtonChange = 270; // a mouse button went down or up (after any click code)
constexpr int32_t HintRequest = 271;  // the mouse has rested: show a hint

// Results of HandleEvent and Poll.  Any other result is the code unchanged:
// not handled.
constexpr int32_t Consumed = 0;
constexpr int32_t Relayout = 272; // lay the page out again and repaint
constexpr int32_t Repaint = 273;

} // namespace PageEvent

// Shift bits.  Typed is a value of its own, never combined with the others.
namespace PageShift {
constexpr uint8_t None = 0;
constexpr uint8_t ShiftKey = 1;
constexpr uint8_t Alt = 2;
constexpr uint8_t Ctrl = 4;
constexpr uint8_t Typed = 8;
} // namespace PageShift

// Virtual keys forwarded to pages (with the real shift state).
namespace PageKey {
constexpr int32_t Tab = 9;
constexpr int32_t PageUp = 33;
constexpr int32_t PageDown = 34;
constexpr int32_t End = 35;
constexpr int32_t Home = 36;
constexpr int32_t Left = 37;
constexpr int32_t Up = 38;
constexpr int32_t Right = 39;
constexpr int32_t Down = 40;
constexpr int32_t Select = 41;
constexpr int32_t Print = 42;
constexpr int32_t Execute = 43;
constexpr int32_t Snapshot = 44;
constexpr int32_t Insert = 45;
constexpr int32_t Delete = 46;
constexpr int32_t F1 = 112;
constexpr int32_t F12 = 123;
constexpr int32_t BrowserBack = 166;
constexpr int32_t BrowserForward = 167;
constexpr int32_t F(int n)
{
    return F1 + n - 1;
}
// True for the keys the main window forwards as key events.
constexpr bool IsForwarded(int32_t vk)
{
    return vk == Tab || (vk >= PageUp && vk <= Delete) || (vk >= F1 && vk <= F12) || vk == BrowserBack ||
           vk == BrowserForward;
}
} // namespace PageKey

// Typed characters pages react to (shift Typed).
namespace PageChar {
constexpr int32_t CtrlC = 3;
constexpr int32_t Backspace = 8;
constexpr int32_t Enter = 13;
constexpr int32_t CtrlO = 15;
constexpr int32_t CtrlP = 16;
constexpr int32_t CtrlV = 22;
constexpr int32_t CtrlW = 23;
constexpr int32_t Escape = 27;
constexpr int32_t Ctrl(char letter)
{
    return (letter >= 'a' && letter <= 'z')   ? letter - 'a' + 1
           : (letter >= 'A' && letter <= 'Z') ? letter - 'A' + 1
                                              : 0;
}
} // namespace PageChar

constexpr bool IsTypedCharacter(int32_t code, uint8_t shift)
{
    return shift == PageShift::Typed && code >= 1 && code <= 255;
}
