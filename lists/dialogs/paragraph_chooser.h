#pragma once
// TVybOdst: the modal paragraph chooser.  The user picks which paragraphs of
// one document kind take part in the text search's filter (mode 'F') or in a
// viewer (any other mode letter), and in viewer mode one highlighted
// paragraph.  The tree of groups and paragraphs lives in
// ParagraphChooserModel; this window shows it in a TATable1 with its tree
// column, a TAScroll and a TANulEdit that takes the keys.  OK stores the
// selection (and the highlight outside filter mode) in the pair's slot of
// frame/config/stored_paragraphs.h.
//
// Main thread only.

#include <cstdint>
#include <memory>

#include "frame/windows/dialog_base.h"
#include "lists/dialogs/paragraph_chooser_model.h"

class QEvent;
class QMouseEvent;
class QPushButton;
class QResizeEvent;
class QWheelEvent;
class TANulEdit;
class TAScroll;
class TATable1;

namespace Ui {
class VybOdst;
}

class TVybOdst : public TDlgForm {
    Q_OBJECT
public:
    // FormCreate: the entries of the kind from the text tables and the
    // stored selection of (mode, kind).
    TVybOdst(char kind, char mode, QWidget* parent = nullptr);
    ~TVybOdst() override;

    const ParagraphChooserModel& Model() const { return model_; }

    TATable1* Tb;
    TAScroll* vs;
    TANulEdit* kbd;
    QPushButton* bOK;
    QPushButton* bAll;
    QPushButton* bNone;
    QPushButton* bEsc;
    QPushButton* bHelp;

    // The keys of the edit and the scroll bar, and typed characters.
    void AKbd(uint16_t& code, uint8_t shift);
    void bOKClick();
    void bAllClick();
    void bNoneClick();
    void bEscClick();
    void bHelpClick();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormResize();
    // Scroll bar, grid rows and cursor after any change.
    void Refresh();
    void MouseD(QMouseEvent* event);
    void MouseUp(QMouseEvent* event);
    void TbDblClick(QMouseEvent* event);

    std::unique_ptr<Ui::VybOdst> ui_;
    ParagraphChooserModel model_;
    char kind_;
    char mode_;
    int pressedRow_ = 0;
    int wheelRemainder_ = 0;
};

// Runs the chooser for a document kind in a mode: 1 when the user confirmed
// (the stored selection replaced), 0 otherwise.
int RunParagraphChooser(char kind, char mode);

// Makes this chooser, in filter mode, the one the text search's filter
// button runs (SetTextSearchChooser).
void InstallTextSearchChooser();
