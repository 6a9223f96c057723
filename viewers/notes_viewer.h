#pragma once
// TProhlizec in its notes view: a data window that shows the user's note of
// the drug current in the list it follows, lets the user select whole lines,
// print, export and copy them, and edit the note in place (datastore's notes
// store writes it).  The text, its wrapping and its output are the pure
// functions of viewers/notes_text.h; this class measures, paints and asks.
//
// Main thread only.

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "datastore/notes_store.h"
#include "frame/commands/viewer_windows.h"
#include "frame/windows/data_form.h"
#include "viewers/notes_text.h"

class QLabel;
class QPlainTextEdit;
class QScrollBar;
class QToolButton;

namespace Ui {
class NotesViewer;
}

class TProhlizec : public QWidget, public TDataForm, public NotesViewerWindow {
    Q_OBJECT
public:
    explicit TProhlizec(QWidget* parent = nullptr);
    ~TProhlizec() override;

    // NotesViewerWindow.
    TDataForm& Form() override { return *this; }
    void SetDocumentLetter(char letter) override { viewKind_ = letter; }
    void SetTitle(const std::string& title) override;
    void SetSlaveButton(bool enabled) override;

    // TDataForm.
    void ResetData(int32_t value) override;
    void Tisk() override;
    void Exportuj() override;
    void Schrankuj() override;
    bool IsEmpty() override;

    // (Re)builds everything for the shown record.
    void LoadRecordText();
    // Handlers, public as the form binds them (and the tests press them).
    void FnSlaveClick();
    void FnEditClick();
    void FnCancelClick();
    bool BeginNoteEdit();
    // True when the edit ended (saved, or nothing to save).
    bool SaveNote();

    // The set's base path (tests point it elsewhere) and the file calls of
    // the writability check.
    void SetNotesBase(std::string base) { base_ = std::move(base); }
    void SetFileSystem(FileSystemOps* ops) { ops_ = ops; }

    // --- State the tests look at ----------------------------------------------
    bool Following() const;
    bool Editing() const { return editing_; }
    int32_t ShownRecord() const { return record_; }
    const NoteDisplay& Display() const { return display_; }
    const std::vector<size_t>& Lines() const { return lines_; }
    int TopLine() const;
    NoteRange Selection() const { return OrderedSelection(selStart_, selEnd_, display_.text.size()); }
    bool HasSelection() const { return selStart_ != selEnd_; }
    QPlainTextEdit* Editor() const { return Memo1_; }
    QToolButton* Button(const char* name) const;
    QLabel* Picture(int which) const { return which == 1 ? neni1_ : neni2_; }
    int LineHeight() const { return h_; }
    int LabelWidth() const { return L_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormResize();
    void SetCaption();
    int TextWidth() const;
    int Rows() const;
    void SelectTo(int y);
    void EndEdit();
    std::string NotesBase() const;
    std::string NotesName() const;

    std::unique_ptr<Ui::NotesViewer> ui_;
    QScrollBar* ScrollBar1_;
    QPlainTextEdit* Memo1_;
    QLabel* neni1_;
    QLabel* neni2_;

    char viewKind_ = 'N';
    std::string title_;      // data code page
    std::string recordLine_; // data code page
    int32_t record_ = -1;    // shown
    int32_t master_ = -1;    // the master's current record
    ShownNote note_;
    NoteDisplay display_;
    std::vector<size_t> lines_;
    CharWidths widths_{};
    int L_ = 8, h_ = 16;
    size_t selStart_ = 0, selEnd_ = 0;
    bool dragging_ = false;

    // The edit.
    bool editing_ = false;
    bool foreignLock_ = false;
    NoteEditBase edit_;
    NoteEditLock lock_;
    std::string base_;
    FileSystemOps* ops_ = nullptr;
};

// Registers the notes window's factory in the frame's viewer services.
void RegisterNotesViewerFactory();
