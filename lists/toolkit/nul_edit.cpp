#include "lists/toolkit/nul_edit.h"

#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QRegularExpression>

#include <algorithm>

#include "frame/pages/key_map.h"
#include "frame/pages/page_events.h"
#include "lists/toolkit/vyb_types.h"
#include "platform/cp1250.h"
#include "platform/gui/clipboard.h"

namespace {

uint16_t g_pendingKey = 0;
const TANulEdit* g_pendingOwner = nullptr;

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

uint16_t ActionCodeOfKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return ActionCode::Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return ActionCode::Enter;
    case Qt::Key_Escape: return ActionCode::Escape;
    case Qt::Key_PageUp: return ActionCode::PageUp;
    case Qt::Key_PageDown: return ActionCode::PageDown;
    case Qt::Key_End: return ActionCode::End;
    case Qt::Key_Home: return ActionCode::Home;
    case Qt::Key_Left: return ActionCode::Left;
    case Qt::Key_Up: return ActionCode::Up;
    case Qt::Key_Right: return ActionCode::Right;
    case Qt::Key_Down: return ActionCode::Down;
    case Qt::Key_F11: return ActionCode::F11;
    case Qt::Key_F12: return ActionCode::F12;
    default: break;
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F10)
        return static_cast<uint16_t>(ActionCode::F1 + (qtKey - Qt::Key_F1));
    return 0;
}

QString NormalisePastedText(QString s, bool onlyNum, bool regCse, int maxLength)
{
    const qsizetype lineBreak = s.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (lineBreak >= 0)
        s.truncate(lineBreak);
    if (onlyNum) {
        // Positions below are 1-based, as registration numbers are read.
        auto at = [&](int pos) { return pos >= 1 && pos <= s.size() ? s[pos - 1] : QChar(); };
        const QChar slash = QLatin1Char('/');
        const bool a = regCse && s.size() > 4 && (at(2) == slash || at(2) == QLatin1Char('U'));
        const bool b = regCse && !a && s.size() > 8 && at(3) == slash && (at(7) == slash || at(8) == slash);
        if (b) {
            if (at(7) == slash)
                s.insert(3, QLatin1Char(' '));
            else if (s.size() == 9)
                s += QLatin1Char('?');
            std::swap(s[0], s[8]);
            std::swap(s[1], s[9]);
        }
        QString kept;
        for (QChar c : s)
            if (c == QLatin1Char(' ') || IsDigit(c))
                kept += c;
        s = kept;
        if (a && s.size() > 3 && s[3] != QLatin1Char(' ')) {
            // A blank among characters 2-3 is no number in 16..90.
            const bool digits = IsDigit(s[1]) && IsDigit(s[2]);
            const int n = digits ? (s[1].unicode() - '0') * 10 + (s[2].unicode() - '0') : -1;
            const bool keep = (n >= 16 && n <= 90) || (n == 15 && s[3] == QLatin1Char('1'));
            if (!keep)
                s.insert(3, QLatin1Char(' '));
        }
    }
    if (s.size() > maxLength)
        s.truncate(std::max(0, maxLength));
    return s;
}

// ------------------------------------------------------------------ The edit

TANulEdit::TANulEdit(QWidget* parent) : QLineEdit(parent)
{
    setFrame(false);
    setGeometry(-1, -1, 0, 0);
    QLineEdit::setMaxLength(255);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAttribute(Qt::WA_InputMethodEnabled);
}

uint16_t TANulEdit::PendingKey()
{
    return g_pendingKey;
}

void TANulEdit::ClearPendingKey()
{
    g_pendingKey = 0;
    g_pendingOwner = nullptr;
}

void TANulEdit::SetMaxLength(int n)
{
    maxLength_ = std::clamp(n, 0, 255);
}

void TANulEdit::SetTextKeepCaret(const QString& text)
{
    if (maxLength_ <= 0)
        return;
    setting_ = true;
    setText(text);
    deselect();
    setCursorPosition(static_cast<int>(this->text().size()));
    setting_ = false;
}

void TANulEdit::AppendText(const QString& added)
{
    if (added.isEmpty())
        return;
    setText(text() + added);
    setCursorPosition(static_cast<int>(text().size()));
}

bool TANulEdit::TypeCharacter(QChar ch)
{
    if (maxLength_ <= 0)
        return false;
    const bool backspace = ch == QChar(8);
    if (OnlyNum && !(RegCSE && text().size() > 6)) {
        const bool passes = backspace || ch == QChar(22) || ch == QLatin1Char(' ') || IsDigit(ch);
        if (!passes)
            return false;
    }
    if (backspace) {
        // Backspace always works at the end, wherever the caret was.
        if (!text().isEmpty()) {
            QString t = text();
            t.chop(1);
            setText(t);
            setCursorPosition(static_cast<int>(t.size()));
        }
        return true;
    }
    if (ch == QChar(22)) {
        PasteText(ClipboardText());
        return true;
    }
    if (ch.unicode() < 32)
        return false;
    if (UpperCase)
        ch = ch.toUpper();
    unsigned char byte = 0;
    if (!UnicodeToCp1250(ch.unicode(), byte))
        return false;
    if (text().size() >= maxLength_)
        return false;
    AppendText(QString(ch));
    return true;
}

void TANulEdit::PasteText(const QString& pasted)
{
    if (maxLength_ <= 0)
        return;
    const QString normal = NormalisePastedText(pasted, OnlyNum, RegCSE, maxLength_);
    QString added;
    for (QChar ch : normal) {
        if (UpperCase)
            ch = ch.toUpper();
        unsigned char byte = 0;
        if (ch.unicode() < 32 || !UnicodeToCp1250(ch.unicode(), byte))
            continue;
        if (text().size() + added.size() >= maxLength_)
            break;
        added += ch;
    }
    AppendText(added);
}

bool TANulEdit::event(QEvent* e)
{
    // Tab and Backtab would move the focus before keyPressEvent sees them.
    if (e->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(e);
        if (ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) {
            keyPressEvent(ke);
            return true;
        }
    }
    return QLineEdit::event(e);
}

void TANulEdit::keyPressEvent(QKeyEvent* e)
{
    const uint16_t action = ActionCodeOfKey(e->key());
    if (action != 0) {
        uint8_t shift = ShiftFlagsOf(e->modifiers());
        if (e->key() == Qt::Key_Backtab)
            shift |= PageShift::ShiftKey;
        if (g_pendingKey == 0) {
            g_pendingKey = action;
            g_pendingOwner = this;
            uint16_t code = action;
            if (OnAKbd)
                OnAKbd(this, code, shift);
            if (code != 0)
                ClearPendingKey();
        }
        // Keys handed back change neither the text nor the caret.
        e->accept();
        return;
    }
    const Qt::KeyboardModifiers mods = e->modifiers();
    if (e->key() == Qt::Key_Delete || e->key() == Qt::Key_Backspace) {
        TypeCharacter(QChar(8));
        e->accept();
        return;
    }
    if ((e->key() == Qt::Key_V && (mods & Qt::ControlModifier)) ||
        (e->key() == Qt::Key_Insert && (mods & Qt::ShiftModifier))) {
        TypeCharacter(QChar(22));
        e->accept();
        return;
    }
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        e->ignore();
        return;
    }
    const QString typed = e->text();
    if (typed.isEmpty()) {
        e->ignore();
        return;
    }
    for (QChar ch : typed)
        TypeCharacter(ch);
    e->accept();
}

void TANulEdit::keyReleaseEvent(QKeyEvent* e)
{
    if (!e->isAutoRepeat())
        ClearPendingKey();
    e->accept();
}

void TANulEdit::inputMethodEvent(QInputMethodEvent* e)
{
    // Committed text counts as typed; composition in progress shows nowhere.
    for (QChar ch : e->commitString())
        TypeCharacter(ch);
    e->accept();
}

void TANulEdit::focusOutEvent(QFocusEvent* e)
{
    // The release of a key swallowed here would go elsewhere and block the
    // next action key of every list.
    if (g_pendingOwner == this)
        ClearPendingKey();
    QLineEdit::focusOutEvent(e);
}

void TANulEdit::contextMenuEvent(QContextMenuEvent* e)
{
    e->ignore();
}

void TANulEdit::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    QWidget::mousePressEvent(e);
}
