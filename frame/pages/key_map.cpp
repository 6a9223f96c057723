#include "frame/pages/key_map.h"

#include "platform/cp1250.h"

int32_t VirtualKeyOfQtKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Select: return 41;
    case Qt::Key_Print: return 42;
    case Qt::Key_Execute: return 43;
    case Qt::Key_SysReq: return 44;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Back: return 166;
    case Qt::Key_Forward: return 167;
    default: break;
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return 112 + (qtKey - Qt::Key_F1);
    return 0;
}

uint8_t ShiftFlagsOf(Qt::KeyboardModifiers modifiers)
{
    uint8_t s = 0;
    if (modifiers & Qt::ShiftModifier)
        s |= 1;
    if (modifiers & Qt::AltModifier)
        s |= 2;
    if (modifiers & Qt::ControlModifier)
        s |= 4;
    return s;
}

int32_t TypedCharacterOf(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text)
{
    const bool ctrl = (modifiers & Qt::ControlModifier) != 0;
    const bool alt = (modifiers & Qt::AltModifier) != 0;
    if (ctrl && qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 1 + (qtKey - Qt::Key_A);
    switch (qtKey) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    default: break;
    }
    if (alt && !ctrl)
        return 0;
    if (ctrl)
        return 0; // Ctrl with a non-letter types nothing the pages know
    if (text.size() != 1)
        return 0;
    const QChar c = text.at(0);
    if (c.unicode() < 32 || c.unicode() == 127)
        return 0;
    unsigned char byte = 0;
    if (c.isSurrogate() || !UnicodeToCp1250(c.unicode(), byte) || byte == 0)
        return 0;
    return byte;
}
