#pragma once
// TNastav1: the list filters and display options, and the paragraph
// selections of the viewers and the text search taken over as defaults.
// OK stores them (FilterFlags and the option bytes, the checked rows'
// defaults) and saves the settings; Cancel, Escape and the close box change
// nothing.
//
// Main thread only.

#include <cstdint>
#include <memory>

#include "frame/windows/dialog_base.h"

namespace Ui {
class Nastav1;
}

class TNastav1 : public TDlgForm {
    Q_OBJECT
public:
    // The reimbursement filter shows when `dataParts` (the main window's
    // data parts by default) has reimbursement data.
    explicit TNastav1(QWidget* parent = nullptr);
    TNastav1(uint16_t dataParts, QWidget* parent);
    ~TNastav1() override;

    void OKBtnClick();
    // The two homeopathics boxes exclude each other.
    void FLpHClick();
    void FLmHClick();

private:
    std::unique_ptr<Ui::Nastav1> ui_;
};
