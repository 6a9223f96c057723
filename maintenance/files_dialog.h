#pragma once
// TNastav2: the language, the news at start, the notes file and the
// saving of paper when printing; it also makes a menu entry or a desktop
// entry that starts the program.  OK stores the language (the dispatcher's
// step then switches the text tables when it changed), the options and the
// notes file, and saves the settings; a new notes file's marks are loaded at
// once.  Cancel changes nothing.
//
// Main thread only.

#include <memory>
#include <string>

#include "frame/windows/dialog_base.h"
#include "platform/file_saver.h"

namespace Ui {
class Nastav2;
}

class TNastav2 : public TDlgForm {
    Q_OBJECT
public:
    explicit TNastav2(QWidget* parent = nullptr);
    ~TNastav2() override;

    void OKBtnClick();
    // Chooses the notes file; the name is kept until OK.
    void SpeedButton1Click();
    // Tag 1 the menu entry, tag 2 the desktop entry; a failure shows the
    // file and the system's reason.
    void SpeedLinkClick(int tag, FileSystemOps& ops = RealFileSystem());

    // The notes name OK would store (code page 1250).
    const std::string& ChosenNotesName() const { return notesName_; }

private:
    void ShowNotesPath();

    std::unique_ptr<Ui::Nastav2> ui_;
    std::string notesName_;
    std::string notesFolder_;
};
