#pragma once
// TNastav5: the toolbar on or off, and which speed buttons it shows.  One
// row per speed button in toolbar order: a check mark when chosen, the
// button's glyph and its hint.  Enter and Space toggle the current row; a
// click left of x = 30 toggles the clicked row, a double click further
// right toggles it too; moving with the keys toggles nothing.  OK stores
// the flag and the chosen buttons in toolbar order and saves; the
// dispatcher's step lays the toolbar out again.
//
// Main thread only.

#include <memory>
#include <string>

#include "frame/windows/dialog_base.h"

class QTableWidget;

namespace Ui {
class Nastav5;
}

class TNastav5 : public TDlgForm {
    Q_OBJECT
public:
    explicit TNastav5(QWidget* parent = nullptr);
    ~TNastav5() override;

    void OKBtnClick();
    void ToggleRow(int row);

    // The working TOOLBAR= list ("-dMA-...-").
    const std::string& Working() const { return working_; }
    QTableWidget* Tools() const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::Nastav5> ui_;
    std::string working_;
};

// Where a click toggles: left of this x in the grid's viewport.
inline constexpr int kToolbarToggleWidth = 30;
