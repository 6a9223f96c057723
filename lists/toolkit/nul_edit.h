#pragma once
// TANulEdit: the invisible edit of a list window that holds the window's
// focus and collects the typed prefix.  Navigation and function keys become
// action codes handed to OnAKbd; typed characters and pasted text are always
// appended at the end; digits-only lists refuse other characters; pasted
// registration numbers are put in their stored form.
//
// Key repeat: a key whose action the handler consumed (code set to 0) is
// swallowed until it is released, so holding Enter chooses once; a key the
// handler hands back (any other code) repeats, so holding Down scrolls.  The
// pending key is shared by all lists.

#include <QLineEdit>
#include <QString>

#include <cstdint>
#include <functional>

// The action code of a key (Tab 9, Enter 13, Escape 27, Home 371 ... F12
// 434); 0 for keys that type or do nothing.
uint16_t ActionCodeOfKey(int qtKey);

// Pasted text as it goes into an edit: cut at its first line break; in a
// digits-only edit blanks and digits only, and with the registration-number
// form a number written "13/123/05-C" or "EU/1/00/123" turned into its stored
// form; then cut to maxLength.
QString NormalisePastedText(QString text, bool onlyNum, bool regCse, int maxLength);

class TANulEdit : public QLineEdit {
    Q_OBJECT
public:
    // (edit, code, shift flags): the handler may rewrite the code.
    using ActionHandler = std::function<void(TANulEdit* edit, uint16_t& code, uint8_t shift)>;

    explicit TANulEdit(QWidget* parent = nullptr);

    bool OnlyNum = false;
    bool RegCSE = false;
    bool UpperCase = false; // typed letters go in as capitals
    ActionHandler OnAKbd;

    // The longest prefix; 0 refuses every character.
    void SetMaxLength(int n);
    int MaxLength() const { return maxLength_; }
    // Sets the text with the caret after it, without a change notification
    // counting as typing (Setting() is true meanwhile).
    void SetTextKeepCaret(const QString& text);
    bool Setting() const { return setting_; }

    // Types one character as a key press would (false: refused).
    bool TypeCharacter(QChar ch);
    // Appends pasted text as Ctrl+V does, without touching the clipboard.
    void PasteText(const QString& text);

    // The action of a consumed key not yet released (0 = none).
    static uint16_t PendingKey();
    static void ClearPendingKey();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void AppendText(const QString& text);

    int maxLength_ = 255;
    bool setting_ = false;
};
