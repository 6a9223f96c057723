#pragma once
// The dialog base and the translation of captions written as text keys.
//
// Forms in forms/*.ui write their captions and hints either as plain text or
// as a key "Section.Key" of the program's text table.  TranslateCaptions
// replaces the keys by the texts of the current language; ObarviFormular gives
// a form and its controls the dialog font and the program's colours.
//
// Every dialog derives from TDlgForm, builds its controls (setupUi) and calls
// PrepareDialog.  Construction never blocks: RunDialog creates a dialog,
// shows it modally and returns its result.  The dialog is centred over the
// main window when it is first shown (with its final size) and kept on the
// screen.
//
// What counts as a caption: the window title of a window (or of a data
// window's widget), the text of labels, buttons and actions, group box and
// menu titles, tab texts and tool box item texts.  A hint is a tool tip.  A
// speed button's help keyword is its "helpKeyword" property.
//
// Main thread only.

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <utility>

#include "frame/windows/caption_keys.h"

class QObject;
class QShowEvent;
class QWidget;

// Translates the captions and hints of the object and of every object below
// it, in order.  Each replaced key is kept on its control, so a later call
// translates from the key again (a language switch) and never takes a
// translated text for a key.
void TranslateCaptions(QObject* component);

// The dialog font and colours for a form and every control in it.  The form's
// background is colour 0 for a data window in the MDI area, colour 2 for the
// main window and colour 6 for anything else; controls get the colours of
// their class.  Every control shows the dialog font, keeping bold, italic,
// underline and strike-out set in its form description.
void ObarviFormular(QWidget* form);

// Where a dialog of `size` goes: centred over `over` (halves rounded toward
// zero), then moved so that its right and bottom edges are on `screen`, and
// never left of or above the screen.
QPoint DialogPosition(const QRect& over, const QSize& size, const QRect& screen);

class TDlgForm : public QDialog {
    Q_OBJECT
public:
    // A dialog owned by `parent`, by default the main window.
    explicit TDlgForm(QWidget* parent = nullptr);
    ~TDlgForm() override;

    // The creation steps after the controls exist: captions and hints
    // translated, font and colours applied.
    void PrepareDialog();
    void ObarviFormular();
    // Centres the dialog over the main window (its current frame when it is
    // shown and not minimised, else the saved SIZEPOS rectangle) and keeps it
    // on the screen holding that rectangle.
    void UmistiDialog();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool placed_ = false;
};

// Creates the dialog, shows it modally and returns its result.
template <class Dialog, class... Args>
int RunDialog(Args&&... args)
{
    Dialog dialog(std::forward<Args>(args)...);
    return dialog.exec();
}
