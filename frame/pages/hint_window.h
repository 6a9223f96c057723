#pragma once
// The program's hint window: a frameless tool-tip window that shows one text,
// word-wrapped, in the program's hint font.  The main window owns the one
// shared instance; pages and windows show and hide it.

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

class TMyHintWindow : public QWidget {
    Q_OBJECT
public:
    // Hints are never wider than this, nor than the screen.
    static constexpr int kMaxHintWidth = 1400;

    explicit TMyHintWindow(QWidget* parent = nullptr);

    // The hint font; takes effect at the next hint shown.
    void SetHintFont(const QFont& font);
    QFont HintFont() const { return font_; }
    // The window rectangle (at the origin) the text needs when wrapped at
    // maxWidth pixels of text.
    QRect CalcHintRect(int maxWidth, const QString& text) const;
    // Shows the text with the window's top-left corner at `topLeft` (screen
    // coordinates), moved as little as needed to stay on the screen.  An
    // empty text hides the window and shows nothing.
    void ShowHint(const QPoint& topLeft, const QString& text);
    void HideHint();
    const QString& Text() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect ScreenArea(const QPoint& near) const;

    QFont font_;
    QString text_;
};
