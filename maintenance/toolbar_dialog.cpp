#include "maintenance/toolbar_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>

#include "frame/commands/kind_code.h"
#include "frame/commands/toolbar.h"
#include "frame/windows/caption_keys.h"
#include "maintenance/settings_dialog_support.h"
#include "maintenance/settings_model.h"
#include "ui_nastav5.h"

namespace {

constexpr int kRowHeight = 28;
constexpr int kInset = 2;

// The dialog's OK mark, drawn at 14 x 14.
void DrawOkMark(QPainter& p, const QRect& cell)
{
    const QRectF box(cell.left() + kInset + 1, cell.top() + (cell.height() - 14) / 2.0, 14, 14);
    QPainterPath tick;
    tick.moveTo(box.left() + 2, box.top() + 7.5);
    tick.lineTo(box.left() + 5.5, box.top() + 11);
    tick.lineTo(box.left() + 12, box.top() + 3);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x00, 0x80, 0x00), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
    p.restore();
}

class ToolsDelegate : public QStyledItemDelegate {
public:
    ToolsDelegate(const std::string& working, QObject* parent)
        : QStyledItemDelegate(parent), working_(working)
    {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto buttons = SpeedButtons();
        const int row = index.row();
        if (row < 0 || static_cast<size_t>(row) >= buttons.size() || index.column() == 2) {
            QStyledItemDelegate::paint(p, option, index);
            return;
        }
        // The cell's background and selection, then the mark or the glyph.
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        cell.text.clear();
        const QWidget* view = option.widget;
        QStyle* style = view != nullptr ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, p, view);
        const SpeedButtonSpec& b = buttons[static_cast<size_t>(row)];
        if (index.column() == 0) {
            if (ToolbarChoiceHas(working_, b.letters))
                DrawOkMark(*p, option.rect);
        } else {
            const QPixmap glyph = SpeedButtonGlyph(KindOf(b.letters));
            p->drawPixmap(option.rect.left() + kInset, option.rect.top() + (option.rect.height() - 24) / 2,
                          glyph);
        }
    }

private:
    const std::string& working_;
};

} // namespace

TNastav5::TNastav5(QWidget* parent) : TDlgForm(parent), ui_(std::make_unique<Ui::Nastav5>())
{
    ui_->setupUi(this);
    PrepareDialog();
    const ConfigValues cfg = Config().Snapshot();
    working_ = ToolbarWorkingList(cfg.ToolbarSelection);
    ui_->sToolbar->setChecked(cfg.ToolbarVisible);

    QTableWidget* t = ui_->Tools;
    const auto buttons = SpeedButtons();
    t->setColumnCount(3);
    t->setRowCount(static_cast<int>(buttons.size()));
    t->setHorizontalHeaderLabels({UiText(QStringLiteral("Nastaveni"), QStringLiteral("toolHd1")), QString(),
                                  UiText(QStringLiteral("Nastaveni"), QStringLiteral("toolHd3"))});
    t->verticalHeader()->hide();
    t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    t->verticalHeader()->setDefaultSectionSize(kRowHeight);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    t->setColumnWidth(0, kToolbarToggleWidth);
    t->setColumnWidth(1, kToolbarToggleWidth);
    t->setShowGrid(false);
    t->setTabKeyNavigation(false);
    for (int row = 0; row < t->rowCount(); ++row) {
        const SpeedButtonSpec& b = buttons[static_cast<size_t>(row)];
        auto* hint = new QTableWidgetItem(UiText(QStringLiteral("Pruh"), QString::fromLatin1(b.name)));
        hint->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        t->setItem(row, 2, hint);
    }
    t->setItemDelegate(new ToolsDelegate(working_, t));
    t->installEventFilter(this);
    t->viewport()->installEventFilter(this);
    t->setCurrentCell(0, 2);

    settings_dialog::WireButtons(
        this, ui_->OKBtn, ui_->CancelBtn, ui_->HelpBtn, [this] { OKBtnClick(); }, "NasLis");
}

TNastav5::~TNastav5() = default;

QTableWidget* TNastav5::Tools() const
{
    return ui_->Tools;
}

void TNastav5::showEvent(QShowEvent* event)
{
    TDlgForm::showEvent(event);
    ui_->Tools->setFocus();
}

void TNastav5::resizeEvent(QResizeEvent* event)
{
    TDlgForm::resizeEvent(event);
    QTableWidget* t = ui_->Tools;
    t->setColumnWidth(2, std::max(40, t->width() - 2 * t->columnWidth(0) - 25));
}

void TNastav5::ToggleRow(int row)
{
    const auto buttons = SpeedButtons();
    if (row < 0 || static_cast<size_t>(row) >= buttons.size())
        return;
    working_ = ToggleToolbarChoice(working_, buttons[static_cast<size_t>(row)].letters);
    ui_->Tools->viewport()->update();
}

bool TNastav5::eventFilter(QObject* watched, QEvent* event)
{
    QTableWidget* t = ui_->Tools;
    if (watched == t && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            // Taken here, so that Enter never reaches the default button.
            ToggleRow(t->currentRow());
            return true;
        }
    }
    if (watched == t->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        const auto* m = static_cast<QMouseEvent*>(event);
        const QPoint at = m->position().toPoint();
        const int row = t->rowAt(at.y());
        if (m->button() == Qt::LeftButton && row >= 0) {
            // Left of the mark's edge every press toggles, and a double
            // click (press, press, double click) toggles once: its event
            // takes back its second press.  Further right only a double
            // click toggles.
            if (event->type() == QEvent::MouseButtonDblClick || at.x() < kToolbarToggleWidth)
                ToggleRow(row);
        }
    }
    return TDlgForm::eventFilter(watched, event);
}

void TNastav5::OKBtnClick()
{
    const bool visible = ui_->sToolbar->isChecked();
    const std::string list = RebuildToolbarList(working_);
    Config().Update([&](ConfigValues& v) {
        v.ToolbarVisible = visible;
        v.ToolbarSelection = list;
    });
    SaveConfig(true);
    accept();
}
