#pragma once
// Qt keys as the page events know them: the virtual-key code a page gets for
// a key, the shift flags, and the typed character in code page 1250.

#include <cstdint>

#include <QString>

// The virtual-key code of a Qt key that pages receive as a key event (Tab 9,
// Page Up .. Delete 33-46, F1-F12 112-123, Back and Forward 166, 167); 0 for
// every other key.
int32_t VirtualKeyOfQtKey(int qtKey);

// Shift 1, Alt 2, Ctrl 4 from Qt's keyboard modifiers.
uint8_t ShiftFlagsOf(Qt::KeyboardModifiers modifiers);

// The character a key press types, in code page 1250, or 0 for none:
// Ctrl+A..Z 1-26, Backspace 8, Tab 9, Enter 13, Escape 27, nothing with Alt
// alone, else the event text when it is one character the code page has.
int32_t TypedCharacterOf(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text);
