// The typing edit: keys to action codes, key repeat through the pending key,
// digits-only typing and pasted registration numbers worked by hand.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTest>

#include <vector>

#include "lists/lists_test_support.h"
#include "lists/toolkit/nul_edit.h"
#include "lists/toolkit/vyb_types.h"

using namespace liststest;

namespace {

void Send(QWidget* w, QEvent::Type type, int key, bool autoRepeat,
          Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent e(type, key, mods, QString(), autoRepeat);
    QCoreApplication::sendEvent(w, &e);
}

// A key held down: the press, auto-repeat release/press pairs, the release.
void Hold(QWidget* w, int key, int repeats)
{
    Send(w, QEvent::KeyPress, key, false);
    for (int i = 0; i < repeats; ++i) {
        Send(w, QEvent::KeyRelease, key, true);
        Send(w, QEvent::KeyPress, key, true);
    }
    Send(w, QEvent::KeyRelease, key, false);
}

struct EditFixture : WithApp {
    QWidget window;
    TANulEdit* edit;
    std::vector<std::pair<uint16_t, uint8_t>> seen;

    EditFixture()
    {
        EnsureApp();
        TANulEdit::ClearPendingKey();
        edit = new TANulEdit(&window);
        edit->OnAKbd = [this](TANulEdit*, uint16_t& code, uint8_t shift) {
            seen.emplace_back(code, shift);
            // As the list does: moves hand the key back, choosing consumes it.
            code = (code == ActionCode::Enter) ? 0 : 1;
        };
    }
};

} // namespace

TEST(NulEdit, KeysBecomeActionCodes)
{
    const std::pair<int, uint16_t> table[] = {
        {Qt::Key_Tab, 9},        {Qt::Key_Backtab, 9}, {Qt::Key_Return, 13}, {Qt::Key_Enter, 13},
        {Qt::Key_Escape, 27},    {Qt::Key_Home, 371},  {Qt::Key_Up, 372},    {Qt::Key_PageUp, 373},
        {Qt::Key_Left, 375},     {Qt::Key_Right, 377}, {Qt::Key_End, 379},   {Qt::Key_Down, 380},
        {Qt::Key_PageDown, 381}, {Qt::Key_F1, 359},    {Qt::Key_F10, 368},   {Qt::Key_F11, 433},
        {Qt::Key_F12, 434},      {Qt::Key_A, 0},       {Qt::Key_Delete, 0},  {Qt::Key_Insert, 0},
    };
    for (const auto& [key, code] : table)
        EXPECT_EQ(ActionCodeOfKey(key), code) << key;

    EditFixture f;
    f.edit->setText("ab");
    Send(f.edit, QEvent::KeyPress, Qt::Key_Backtab, false, Qt::ShiftModifier);
    Send(f.edit, QEvent::KeyRelease, Qt::Key_Backtab, false, Qt::ShiftModifier);
    Send(f.edit, QEvent::KeyPress, Qt::Key_Left, false);
    Send(f.edit, QEvent::KeyRelease, Qt::Key_Left, false);
    Send(f.edit, QEvent::KeyPress, Qt::Key_Home, false);
    Send(f.edit, QEvent::KeyRelease, Qt::Key_Home, false);
    ASSERT_EQ(f.seen.size(), 3u);
    EXPECT_EQ(f.seen[0], std::make_pair(uint16_t{9}, uint8_t{1})); // Backtab: 9 with Shift
    // Keys handed back move no caret.
    EXPECT_EQ(f.edit->cursorPosition(), 2);
    EXPECT_EQ(f.edit->text(), "ab");
}

TEST(NulEdit, HeldDownRepeatsAndHeldEnterChoosesOnce)
{
    EditFixture f;
    Hold(f.edit, Qt::Key_Down, 4);
    Hold(f.edit, Qt::Key_Return, 4);
    Hold(f.edit, Qt::Key_Down, 1);
    std::vector<uint16_t> codes;
    for (const auto& s : f.seen)
        codes.push_back(s.first);
    EXPECT_EQ(codes, (std::vector<uint16_t>{380, 380, 380, 380, 380, 13, 380, 380}));
    EXPECT_EQ(TANulEdit::PendingKey(), 0);

    // An Enter swallowed by one list whose release goes elsewhere: losing the
    // focus clears it, so the next list's keys still act.
    f.window.show();
    f.edit->setFocus();
    TANulEdit* other = new TANulEdit(&f.window);
    int otherActions = 0;
    other->OnAKbd = [&](TANulEdit*, uint16_t& code, uint8_t) {
        ++otherActions;
        code = 0;
    };
    Send(f.edit, QEvent::KeyPress, Qt::Key_Return, false);
    EXPECT_EQ(TANulEdit::PendingKey(), 13);
    other->setFocus();
    QApplication::processEvents();
    if (!other->hasFocus()) {
        // Offscreen windows may refuse to become active: hand the focus event itself.
        QFocusEvent out(QEvent::FocusOut);
        QCoreApplication::sendEvent(f.edit, &out);
    }
    EXPECT_EQ(TANulEdit::PendingKey(), 0);
    Send(other, QEvent::KeyPress, Qt::Key_Escape, false);
    EXPECT_EQ(otherActions, 1);
    TANulEdit::ClearPendingKey();
}

TEST(NulEdit, TypingFollowsTheEditKind)
{
    struct Case {
        bool onlyNum, regCse, upper;
        int maxLength;
        const char* typed; // UTF-8
        const char* text;
    };
    const Case cases[] = {
        {false, false, false, 10, "pač", "pač"},
        {false, false, true, 10, "pač", "PAČ"},
        {false, false, true, 10, "aж€b", "A€B"}, // no code-page byte: refused
        {false, false, false, 3, "abcd", "abc"},
        {false, false, false, 0, "abc", ""},               // no typing at all
        {true, false, false, 10, "12a3 4x", "123 4"},      // digits-only
        {true, true, false, 12, "1234567-C", "1234567-C"}, // more than 6: anything
        {true, true, false, 12, "123456-C", "123456"},     // not after 6 exactly
    };
    for (const Case& c : cases) {
        EditFixture f;
        f.edit->OnlyNum = c.onlyNum;
        f.edit->RegCSE = c.regCse;
        f.edit->UpperCase = c.upper;
        f.edit->SetMaxLength(c.maxLength);
        for (QChar ch : QString::fromUtf8(c.typed))
            f.edit->TypeCharacter(ch);
        EXPECT_EQ(f.edit->text().toStdString(), c.text) << c.typed;
    }
    // Backspace and Delete take the last character whatever the caret.
    EditFixture f;
    f.edit->setText("abc");
    f.edit->setCursorPosition(0);
    QTest::keyClick(f.edit, Qt::Key_Delete);
    QTest::keyClick(f.edit, Qt::Key_Backspace);
    EXPECT_EQ(f.edit->text(), "a");
    // Typed keys go in at the end.
    f.edit->setCursorPosition(0);
    QTest::keyClicks(f.edit, "xy");
    EXPECT_EQ(f.edit->text(), "axy");
}

TEST(NulEdit, PastedRegistrationNumbersWorkedByHand)
{
    struct Case {
        const char* pasted;
        bool onlyNum, regCse;
        int maxLength;
        const char* result;
    };
    const Case cases[] = {
        {"13/123/05-C", true, true, 11, "05 12313"},       // "/" 7th: blank at 4, year first
        {"13/1234/05-C", true, true, 11, "05123413"},      // "/" 8th
        {"13/1234/0", true, true, 11, "0123413"},          // 9 characters: "?" added, then dropped
        {"EU/1/00/123/001", true, true, 11, "100 123001"}, // "U" 2nd: 00 is outside 16..90
        {"8/15/123", true, true, 11, "815123"},            // 15 followed by 1 stays
        {"8/16/123", true, true, 11, "816123"},
        {"8/91/123", true, true, 11, "891 123"},
        {"8/ 1/23", true, true, 11, "8 1 23"},       // a blank among 2-3 is no number
        {"13/123/05-C", true, false, 11, "1312305"}, // digits only, no number form
        {"123\r\n456", true, true, 11, "123"},       // cut at the line break
        {"paracetamol\nx", false, false, 5, "parac"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            NormalisePastedText(QString::fromUtf8(c.pasted), c.onlyNum, c.regCse, c.maxLength).toStdString(),
            c.result)
            << c.pasted;

    // As much as fits goes in at the end; the clipboard stays as it was.
    EditFixture f;
    f.edit->OnlyNum = true;
    f.edit->RegCSE = true;
    f.edit->SetMaxLength(11);
    f.edit->setText("9");
    QApplication::clipboard()->setText(QStringLiteral("13/123/05-C"));
    QTest::keyClick(f.edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(f.edit->text(), "905 12313");
    EXPECT_EQ(QApplication::clipboard()->text(), "13/123/05-C");
    f.edit->SetMaxLength(5);
    f.edit->setText("12");
    f.edit->PasteText("3456789");
    EXPECT_EQ(f.edit->text(), "12345");
}
