#include "maintenance/files_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QToolButton>

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/commands/command_services.h"
#include "frame/message_box.h"
#include "maintenance/settings_dialog_support.h"
#include "maintenance/settings_model.h"
#include "platform/cp1250.h"
#include "platform/desktop_entry.h"
#include "platform/system.h"
#include "ui_nastav2.h"

namespace {

std::string UiUtf8(const char* section, const char* key)
{
    return KamToQString(LookupText(UiTexts, section, key)).toStdString();
}

std::string KamOfUtf8(const std::string& utf8)
{
    return QStringToKam(QString::fromStdString(utf8));
}

} // namespace

TNastav2::TNastav2(QWidget* parent) : TDlgForm(parent), ui_(std::make_unique<Ui::Nastav2>())
{
    ui_->setupUi(this);
    PrepareDialog();
    settings_dialog::MakeBold({ui_->Box1, ui_->Box2, ui_->Box3, ui_->Box4});

    const ConfigValues cfg = Config().Snapshot();
    const FilesChoice choice = FilesChoiceOf(cfg);
    (choice.languageIndex == 1 ? ui_->SpeedButton5 : ui_->SpeedButton4)->setChecked(true);
    ui_->CheckBox2->setChecked(choice.news);
    ui_->CheckBox1->setChecked(choice.printSaving);
    notesName_ = choice.notesName;
    notesFolder_ = cfg.NotesFolder;
    ShowNotesPath();
    ui_->Label14->setText(QString::fromStdString(Config().ConfigPath()));
    ui_->Label14->setToolTip(ui_->Label14->text());
    // The second "choose" button has nothing to choose.
    ui_->SpeedButton3->setEnabled(false);

    connect(ui_->SpeedButton1, &QToolButton::clicked, this, &TNastav2::SpeedButton1Click);
    connect(ui_->SpeedButton2, &QToolButton::clicked, this, [this] { SpeedLinkClick(1); });
    connect(ui_->SpeedButton6, &QToolButton::clicked, this, [this] { SpeedLinkClick(2); });
    settings_dialog::WireButtons(
        this, ui_->OKBtn, ui_->CancelBtn, ui_->HelpBtn, [this] { OKBtnClick(); }, "NaSoJa");
}

TNastav2::~TNastav2() = default;

void TNastav2::ShowNotesPath()
{
    // A long folder does not fit the label: the hint shows it whole.
    const QString path = QString::fromStdString(notesFolder_) + Cp1250ToQString(notesName_);
    ui_->Label5->setText(path);
    ui_->Label5->setToolTip(path);
}

void TNastav2::SpeedButton1Click()
{
    FileDialogRequest r;
    r.parent = this;
    r.existing = false;
    r.folder = notesFolder_;
    r.defaultSuffix = UiUtf8("Nastaveni", "NotesZkr");
    r.proposed = notesFolder_ + Cp1250ToUtf8(notesName_) + "." + r.defaultSuffix;
    r.filter = UiUtf8("Nastaveni", "Notes");
    const std::string path = RunFileDialog(r);
    if (path.empty())
        return;
    std::string name;
    if (!NotesNameOfFile(path, notesFolder_, name)) {
        ShowError(LookupText(UiTexts, "Chyby", "NotNotes") + KamOfUtf8(notesFolder_));
        return;
    }
    notesName_ = name;
    ShowNotesPath();
}

void TNastav2::SpeedLinkClick(int tag, FileSystemOps& ops)
{
    const ShortcutPlan plan = PlanShortcut(ExecutablePath());
    const DesktopEntryResult r = tag == 1 ? CreateStartMenuLink(plan.link, plan.name, plan.subfolder, ops)
                                          : CreateDesktopLink(plan.link, plan.name, ops);
    if (!r.ok)
        ShowError(LookupText(UiTexts, "Chyby", "FileSave") + KamOfUtf8(r.path + " (" + r.reason + ")"));
}

void TNastav2::OKBtnClick()
{
    FilesChoice choice;
    choice.languageIndex = ui_->SpeedButton5->isChecked() ? 1 : 0;
    choice.news = ui_->CheckBox2->isChecked();
    choice.printSaving = ui_->CheckBox1->isChecked();
    choice.notesName = notesName_;
    bool signListEmpty = false;
    const bool notesChanged = Config().Update([&](ConfigValues& v) {
        signListEmpty = v.SignListName.empty();
        return ApplyFilesChoice(choice, v);
    });
    if (signListEmpty)
        SwitchSignList();
    SaveConfig(true);
    if (notesChanged) {
        // No list may show the old file's marks.
        RequestNoteMarksReload();
        LoadNoteMarks();
    }
    accept();
}
