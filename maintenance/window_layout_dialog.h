#pragma once
// TNastav4: how data windows are placed (one maximised window, free
// placement or one of the three stored schemes), each scheme's cascade
// offsets, storing and deleting a scheme's window rectangles, handing a
// query to a running copy, a maximised start and keeping the main window's
// size and position.
//
// Storing and deleting a scheme act at once and save the settings: they
// are not undone by Cancel.  Everything else waits for OK; checking the
// keep box captures the main window's rectangle into the dialog, and only
// OK stores it.
//
// Main thread only.

#include <QRect>

#include <memory>
#include <optional>

#include "frame/windows/dialog_base.h"

namespace Ui {
class Nastav4;
}

class TNastav4 : public TDlgForm {
    Q_OBJECT
public:
    explicit TNastav4(QWidget* parent = nullptr);
    ~TNastav4() override;

    void OKBtnClick();
    void QEVwinClick(bool checked);
    // Scheme 1..3 (stored under 2..4).
    void SchemeStoreClick(int scheme);
    void SchemeDeleteClick(int scheme);

    // The rectangle the keep box captured (left, top, width, height).
    const std::optional<QRect>& Captured() const { return captured_; }

private:
    std::unique_ptr<Ui::Nastav4> ui_;
    std::optional<QRect> captured_;
};

// The main window's normal (restored) rectangle as the settings keep it:
// the frame's top-left corner and the client size; nullopt without a main
// window.
std::optional<QRect> MainWindowNormalRect();
