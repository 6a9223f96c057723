#include "lists/dialogs/paragraph_chooser.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>

#include "datastore/service_hooks.h"
#include "frame/config/config_file.h"
#include "frame/config/stored_paragraphs.h"
#include "frame/pages/key_map.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/caption_keys.h"
#include "lists/dialogs/text_search_dialog.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/nul_edit.h"
#include "lists/toolkit/scroll_bar.h"
#include "lists/toolkit/vyb_types.h"
#include "ui_paragraph_chooser.h"

namespace {

constexpr std::string_view kGeometry = "2/5,7/63";
constexpr std::string_view kOrder = "1/90,0,1";
constexpr int kTreeCells = 3;
constexpr int kWheelStepAngle = 120;
constexpr int kScrollBarThickness = 17;

bool IsMoveKey(uint16_t code)
{
    return code == ActionCode::Up || code == ActionCode::Down || code == ActionCode::PageUp ||
           code == ActionCode::PageDown;
}

} // namespace

TVybOdst::TVybOdst(char kind, char mode, QWidget* parent)
    : TDlgForm(parent), ui_(std::make_unique<Ui::VybOdst>()), kind_(kind), mode_(mode)
{
    ui_->setupUi(this);
    Tb = ui_->Tb;
    vs = ui_->vs;
    kbd = ui_->kbd;
    bOK = ui_->bOK;
    bAll = ui_->bAll;
    bNone = ui_->bNone;
    bEsc = ui_->bEsc;
    bHelp = ui_->bHelp;

    // FormCreate.
    const ConfigValues settings = Config().Snapshot();
    ApplyListSettings(*Tb, settings);
    const bool filter = mode == kParagraphFilterMode;
    model_.Build(kind, mode, ParagraphSelectionSlot(settings.paragraphCurrent, mode, kind),
                 filter ? 0 : ParagraphHighlightSlot(settings.paragraphCurrent, kind));
    model_.SetWheelStep(QApplication::wheelScrollLines());
    std::string header = model_.Header();
    header.resize(255, ' ');
    Tb->Header = header;
    Tb->SetGeometry(kGeometry, kOrder);
    Tb->SetTreeWidth(kTreeCells);
    Tb->SetTreeMode(true);
    Tb->CellText = [this](uint8_t row, std::string& text) { text = model_.RowText(row); };
    Tb->installEventFilter(this);
    Tb->setMouseTracking(true);
    connect(Tb, &TATable1::mousePressed, this, [this](QMouseEvent* e) { MouseD(e); });
    connect(Tb, &TATable1::mouseReleased, this, [this](QMouseEvent* e) { MouseUp(e); });

    vs->Small = 1;
    vs->Large = 1;
    vs->OnAction = [this](TAScroll*, uint16_t& code, uint8_t shift) {
        if (IsMoveKey(code)) {
            model_.Key(code, shift);
            Refresh();
            code = 0;
        }
    };
    vs->OnScroll = [this](TAScroll* bar) {
        // vsScroll: only the thumb drag is left to the bar.
        if (bar->Pressed() && bar->Action() == 0) {
            model_.SetTop(bar->Posit());
            Refresh();
        }
    };
    kbd->SetMaxLength(1);
    kbd->OnAKbd = [this](TANulEdit*, uint16_t& code, uint8_t shift) { AKbd(code, shift); };
    kbd->installEventFilter(this);

    for (QPushButton* b : {bOK, bAll, bNone, bEsc, bHelp})
        b->setAutoDefault(false); // Enter belongs to the grid
    connect(bOK, &QPushButton::clicked, this, [this] { bOKClick(); });
    connect(bAll, &QPushButton::clicked, this, [this] { bAllClick(); });
    connect(bNone, &QPushButton::clicked, this, [this] { bNoneClick(); });
    connect(bEsc, &QPushButton::clicked, this, [this] { bEscClick(); });
    connect(bHelp, &QPushButton::clicked, this, [this] { bHelpClick(); });

    PrepareDialog();
    FormResize();
}

TVybOdst::~TVybOdst() = default;

void TVybOdst::AKbd(uint16_t& code, uint8_t shift)
{
    if (code == ActionCode::Escape) {
        code = 0;
        reject();
        return;
    }
    const uint16_t original = code;
    const uint16_t left = model_.Key(code, shift);
    if (left == 0)
        Refresh();
    // Moves hand their code back so that a held key repeats.
    code = IsMoveKey(original) ? original : left;
}

void TVybOdst::bOKClick()
{
    if (!model_.Entries().empty()) {
        const std::string selection = model_.Selection();
        const bool filter = mode_ == kParagraphFilterMode;
        StoreParagraphSelection(mode_, kind_, selection,
                                filter ? std::nullopt : std::optional<uint8_t>(model_.Highlight()));
        if (!filter && (kind_ == 'K' || kind_ == 'S')) {
            const std::string k(1, kind_);
            if (!selection.empty())
                StatCount(StatCodeOfText("oQ" + k));
            if (model_.Highlight() != 0)
                StatCount(StatCodeOfText("oP" + k));
        }
    }
    done(1);
}

void TVybOdst::bAllClick()
{
    model_.SetAllVisible('Y');
    Refresh();
}

void TVybOdst::bNoneClick()
{
    model_.SetAllVisible('N');
    Refresh();
}

void TVybOdst::bEscClick()
{
    reject();
}

void TVybOdst::bHelpClick()
{
    RequestHelp("FilOds");
}

void TVybOdst::FormResize()
{
    const int w = std::max(width(), 220);
    const int h = std::max(height(), 260);
    const int buttonHeight = fontMetrics().height() + 10;
    const int buttonTop = h - 2 - buttonHeight;
    const int buttonWidth = (w - 12) / 5;
    int x = 2;
    for (QPushButton* b : {bOK, bAll, bNone, bEsc, bHelp}) {
        b->setGeometry(x, buttonTop, buttonWidth, buttonHeight);
        x += buttonWidth + 2;
    }
    const int listHeight = buttonTop - 4 - 2;
    vs->setGeometry(w - 2 - kScrollBarThickness, 2, kScrollBarThickness, listHeight);
    Tb->SetBounds(2, 2, vs->x() - 4 - 2, listHeight);
    model_.SetRowsShown(Tb->VisibleLines());
    Refresh();
}

void TVybOdst::Refresh()
{
    vs->SetMax(model_.ScrollMax());
    vs->SetPosit(model_.Top());
    // FormPaint: a cursor on row 1 when there is none.
    if (model_.CursorRow() == 0)
        model_.SetCursorRow(1);
    bAll->setChecked(model_.AllDown());
    Tb->Paint();
    Tb->SetCursor(model_.CursorRow());
}

void TVybOdst::MouseD(QMouseEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        TbDblClick(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    pressedRow_ = event->button() == Qt::LeftButton ? Tb->RowAt(at.x(), at.y()) : 0;
}

void TVybOdst::MouseUp(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    const int row = Tb->RowAt(at.x(), at.y());
    const int pressed = pressedRow_;
    pressedRow_ = 0;
    if (event->button() != Qt::LeftButton || row != pressed || row < 1 || row > Tb->VisibleLines())
        return;
    int cellWidth = 0, cellLeft = 0;
    if (Tb->CellAt(at.x(), at.y(), cellWidth, cellLeft) == 255)
        model_.ClickTree(row, cellLeft);
    else
        model_.SetCursorRow(row);
    Refresh();
}

void TVybOdst::TbDblClick(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    const int row = Tb->RowAt(at.x(), at.y());
    if (row < 1 || row > Tb->VisibleLines() || model_.RowText(row) == kEndOfRows)
        return;
    model_.SetCursorRow(row);
    model_.ToggleHighlight();
    Refresh();
}

void TVybOdst::resizeEvent(QResizeEvent* event)
{
    TDlgForm::resizeEvent(event);
    FormResize();
}

void TVybOdst::showEvent(QShowEvent* event)
{
    TDlgForm::showEvent(event);
    kbd->setFocus();
}

void TVybOdst::wheelEvent(QWheelEvent* event)
{
    wheelRemainder_ += event->angleDelta().y();
    while (wheelRemainder_ >= kWheelStepAngle) {
        wheelRemainder_ -= kWheelStepAngle;
        model_.Key(ActionCode::WheelUp);
    }
    while (wheelRemainder_ <= -kWheelStepAngle) {
        wheelRemainder_ += kWheelStepAngle;
        model_.Key(ActionCode::WheelDown);
    }
    Refresh();
    event->accept();
}

bool TVybOdst::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == kbd && event->type() == QEvent::KeyPress) {
        // kbdKeyPress: typed characters other than Enter are keys of the
        // chooser, never text of the edit.
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() == 1 && text[0].unicode() >= 32 && text[0].unicode() < 127 &&
            ActionCodeOfKey(key->key()) == 0) {
            uint16_t code = text[0].unicode();
            AKbd(code, ShiftFlagsOf(key->modifiers()));
            return true;
        }
    } else if (watched == Tb && event->type() == QEvent::ToolTip) {
        // The tree column explains its symbols.
        auto* help = static_cast<QHelpEvent*>(event);
        if (help->pos().x() <= Tb->Layout().TreeWidth + 2)
            QToolTip::showText(help->globalPos(), UiText("VOdst", "selH"), Tb);
        else
            QToolTip::hideText();
        return true;
    }
    return TDlgForm::eventFilter(watched, event);
}

int RunParagraphChooser(char kind, char mode)
{
    return RunDialog<TVybOdst>(kind, mode) == 1 ? 1 : 0;
}

void InstallTextSearchChooser()
{
    SetTextSearchChooser([](char letter) { return RunParagraphChooser(letter, kParagraphFilterMode) == 1; });
}
