#include "maintenance/filter_dialog.h"

#include <QCheckBox>
#include <QLabel>

#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "frame/windows/main_form.h"
#include "maintenance/settings_dialog_support.h"
#include "maintenance/settings_model.h"
#include "ui_nastav1.h"

namespace {

constexpr size_t kMaxFilterBoxes = 16;

// A checked box of the pair disables its partner while it is checked.
void ExcludeEachOther(QCheckBox* clicked, QCheckBox* other)
{
    other->setChecked(false);
    other->setEnabled(!clicked->isChecked());
}

} // namespace

TNastav1::TNastav1(QWidget* parent) : TNastav1(CurrentDataParts(), parent)
{}

TNastav1::TNastav1(uint16_t dataParts, QWidget* parent)
    : TDlgForm(parent), ui_(std::make_unique<Ui::Nastav1>())
{
    ui_->setupUi(this);
    PrepareDialog();
    settings_dialog::MakeBold({ui_->GroupBox0, ui_->GroupBox1, ui_->GroupBox2});
    if (ParagraphList('K').empty())
        LoadParagraphLists();

    const ConfigValues cfg = Config().Snapshot();
    for (const FilterBoxSpec& box : FilterBoxes())
        if (auto* b = findChild<QCheckBox*>(QString::fromLatin1(box.name)))
            b->setChecked(FilterBoxChecked(cfg, box));
    // A reimbursement filter only where the data has reimbursement.
    ui_->FLVZP->setVisible((dataParts & DataPart::Cvzp) != 0);
    // A hand-edited DRUG= may set both: then both stay enabled, so that
    // either can be cleared.
    if (ui_->FLpH->isChecked() != ui_->FLmH->isChecked()) {
        ui_->FLmH->setEnabled(!ui_->FLpH->isChecked());
        ui_->FLpH->setEnabled(!ui_->FLmH->isChecked());
    }
    for (const ParagraphRowSpec& row : ParagraphRows()) {
        if (auto* b = findChild<QCheckBox*>(QString::fromLatin1(row.box)))
            b->setChecked(false);
        if (auto* l = findChild<QLabel*>(QString::fromLatin1(row.label)))
            l->setText(KamToQString(ParagraphRowText(cfg.paragraphCurrent, row)));
    }

    connect(ui_->FLpH, &QCheckBox::clicked, this, &TNastav1::FLpHClick);
    connect(ui_->FLmH, &QCheckBox::clicked, this, &TNastav1::FLmHClick);
    settings_dialog::WireButtons(
        this, ui_->OKBtn, ui_->CancelBtn, ui_->HelpBtn, [this] { OKBtnClick(); }, "NasFil");
}

TNastav1::~TNastav1() = default;

void TNastav1::FLpHClick()
{
    ExcludeEachOther(ui_->FLpH, ui_->FLmH);
}

void TNastav1::FLmHClick()
{
    ExcludeEachOther(ui_->FLmH, ui_->FLpH);
}

void TNastav1::OKBtnClick()
{
    const auto boxes = FilterBoxes();
    std::array<bool, kMaxFilterBoxes> checked{};
    for (size_t i = 0; i < boxes.size() && i < checked.size(); ++i) {
        const auto* b = findChild<QCheckBox*>(QString::fromLatin1(boxes[i].name));
        // A hidden box stores "off".
        checked[i] = b != nullptr && !b->isHidden() && b->isChecked();
    }
    std::vector<const ParagraphRowSpec*> copied;
    for (const ParagraphRowSpec& row : ParagraphRows())
        if (const auto* b = findChild<QCheckBox*>(QString::fromLatin1(row.box));
            b != nullptr && b->isChecked())
            copied.push_back(&row);
    Config().Update([&](ConfigValues& v) {
        ApplyFilterBoxes(v, std::span<const bool>(checked.data(), std::min(boxes.size(), checked.size())));
        for (const ParagraphRowSpec* row : copied)
            CopyParagraphRow(v, *row);
    });
    SaveConfig(true);
    accept();
}
