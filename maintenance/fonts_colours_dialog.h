#pragma once
// TNastav3: the program's four fonts and six of its seven colours, with a
// small mock-up of a program window painted in the chosen colours.  The
// dialog edits a working copy; OK publishes it under the settings lock and
// saves, so a save by another part of the program while the dialog is open
// never writes an unconfirmed choice.  Cancel, Escape and the close box
// change nothing.
//
// Main thread only.

#include <memory>

#include "frame/windows/dialog_base.h"
#include "maintenance/settings_model.h"

namespace Ui {
class Nastav3;
}

class TNastav3 : public TDlgForm {
    Q_OBJECT
public:
    explicit TNastav3(QWidget* parent = nullptr);
    ~TNastav3() override;

    // Font `index`: 0 dialogs, 1 lists, 2 texts, 3 printing.
    void ChooseFontOf(int index);
    // Colour `index` of the table (0, 1, 2, 4, 5, 6 have controls).
    void ChooseColourOf(int index);
    // Button1: the default colours into the working copy.
    void Button1Click();
    void OKBtnClick();

    const FontsAndColours& Working() const { return working_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowFonts();
    void PaintMockup();

    std::unique_ptr<Ui::Nastav3> ui_;
    FontsAndColours working_;
};
