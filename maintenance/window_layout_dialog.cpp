#include "maintenance/window_layout_dialog.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "frame/windows/caption_keys.h"
#include "frame/windows/data_form.h"
#include "frame/windows/placement.h"
#include "maintenance/settings_dialog_support.h"
#include "maintenance/settings_model.h"
#include "ui_nastav4.h"

namespace {

QString KeepCaption(bool on)
{
    return UiText(QStringLiteral("Nastaveni"), on ? QStringLiteral("QEVwin1") : QStringLiteral("QEVwin0"));
}

} // namespace

std::optional<QRect> MainWindowNormalRect()
{
    TDataForm* main = MainDataForm();
    const QWidget* w = main != nullptr ? main->Widget() : nullptr;
    if (w == nullptr)
        return std::nullopt;
    QRect normal = w->normalGeometry();
    if (!normal.isValid())
        normal = w->geometry();
    // The window is placed by its frame's corner and sized by its client.
    const QPoint frame = w->geometry().topLeft() - w->frameGeometry().topLeft();
    return QRect(normal.topLeft() - frame, normal.size());
}

TNastav4::TNastav4(QWidget* parent) : TDlgForm(parent), ui_(std::make_unique<Ui::Nastav4>())
{
    ui_->setupUi(this);
    PrepareDialog();
    settings_dialog::MakeBold({ui_->Box1, ui_->Box2, ui_->Box3, ui_->Box4});

    const WindowLayoutChoice c = WindowLayoutOf(Config().Snapshot());
    ui_->QEV1->setChecked(c.handOver);
    ui_->QEVmax->setChecked(c.maximize);
    ui_->QEVwin->setChecked(c.keepMainWindow);
    ui_->QEVwin->setText(KeepCaption(c.keepMainWindow));
    QRadioButton* const modes[] = {ui_->QEV1w, ui_->QEVnw, ui_->QEV1sch, ui_->QEV2sch, ui_->QEV3sch};
    modes[c.mode <= 4 ? c.mode : 1]->setChecked(true);
    QSpinBox* const right[] = {ui_->SEsch1p, ui_->SEsch2p, ui_->SEsch3p};
    QSpinBox* const down[] = {ui_->SEsch1d, ui_->SEsch2d, ui_->SEsch3d};
    for (size_t i = 0; i < 3; ++i) {
        right[i]->setRange(0, kMaxSchemeOffset);
        down[i]->setRange(0, kMaxSchemeOffset);
        right[i]->setValue(c.right[i]);
        down[i]->setValue(c.down[i]);
    }

    connect(ui_->QEVwin, &QCheckBox::clicked, this, &TNastav4::QEVwinClick);
    QPushButton* const store[] = {ui_->sch1Ulo, ui_->sch2Ulo, ui_->sch3Ulo};
    QPushButton* const remove[] = {ui_->sch1Maz, ui_->sch2Maz, ui_->sch3Maz};
    for (int i = 0; i < 3; ++i) {
        connect(store[i], &QPushButton::clicked, this, [this, i] { SchemeStoreClick(i + 1); });
        connect(remove[i], &QPushButton::clicked, this, [this, i] { SchemeDeleteClick(i + 1); });
    }
    settings_dialog::WireButtons(
        this, ui_->OKBtn, ui_->CancelBtn, ui_->HelpBtn, [this] { OKBtnClick(); }, "NasOkn");
}

TNastav4::~TNastav4() = default;

void TNastav4::QEVwinClick(bool checked)
{
    if (checked)
        captured_ = MainWindowNormalRect();
    ui_->QEVwin->setText(KeepCaption(checked));
}

void TNastav4::SchemeStoreClick(int scheme)
{
    SaveWindowScheme(static_cast<uint8_t>(scheme + 1));
    SaveConfig(true);
}

void TNastav4::SchemeDeleteClick(int scheme)
{
    Config().Update([scheme](ConfigValues& v) { DeleteScheme(v.schemes, scheme + 1); });
    SaveConfig(true);
}

void TNastav4::OKBtnClick()
{
    WindowLayoutChoice c;
    c.handOver = ui_->QEV1->isChecked();
    c.maximize = ui_->QEVmax->isChecked();
    c.keepMainWindow = ui_->QEVwin->isChecked();
    QRadioButton* const modes[] = {ui_->QEV1w, ui_->QEVnw, ui_->QEV1sch, ui_->QEV2sch, ui_->QEV3sch};
    for (uint8_t m = 0; m < 5; ++m)
        if (modes[m]->isChecked())
            c.mode = m;
    c.right = {ui_->SEsch1p->value(), ui_->SEsch2p->value(), ui_->SEsch3p->value()};
    c.down = {ui_->SEsch1d->value(), ui_->SEsch2d->value(), ui_->SEsch3d->value()};
    Config().Update([&](ConfigValues& v) { ApplyWindowLayout(c, captured_, v); });
    SaveConfig(true);
    accept();
}
