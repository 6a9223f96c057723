#include "lists/toolkit/list_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>

#include "datastore/kamenici.h"
#include "datastore/service_hooks.h"
#include "frame/config/config_file.h"
#include "frame/entry_points.h"
#include "frame/pages/hint_window.h"
#include "frame/pages/hints.h"
#include "frame/pages/key_map.h"
#include "frame/pages/page_events.h"
#include "frame/start/command_line.h"
#include "frame/windows/style.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/nul_edit.h"
#include "lists/toolkit/scroll_bar.h"
#include "lists/toolkit/sign_list_button.h"
#include "ui_list_window.h"

namespace {

std::function<bool()> g_userSignLists;

constexpr int kHintHidePauseMs = 2500;
constexpr int kTimerMs = 2000;
constexpr int kBlinkMs = 500;
constexpr int kWheelStepAngle = 120;

void Count(const char* code)
{
    StatCount(StatCodeOfText(code));
}

bool LinkKindIsRecord(LinkKind kind)
{
    return kind == LinkKind::Drug || kind == LinkKind::Substance;
}

// The no-data images: an empty sheet and a magnifier.
QPixmap NoDataPicture(bool magnifier)
{
    QPixmap pixmap(32, 36);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 2));
    if (magnifier) {
        p.drawEllipse(QRectF(4, 6, 16, 16));
        p.drawLine(QPointF(18, 20), QPointF(28, 32));
    } else {
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 3, 22, 30));
        for (int y = 10; y <= 26; y += 6)
            p.drawLine(QPointF(9, y), QPointF(23, y));
    }
    return pixmap;
}

} // namespace

bool UserSignListsAvailable()
{
    return g_userSignLists && g_userSignLists();
}

void SetUserSignListsQuery(std::function<bool()> available)
{
    g_userSignLists = std::move(available);
}

void SetUserSignListsAvailable(bool available)
{
    g_userSignLists = [available] { return available; };
}

std::vector<TVyb*> ListWindows()
{
    std::vector<TVyb*> out;
    for (TDataForm* f : AllDataForms())
        if (auto* w = dynamic_cast<TVyb*>(f))
            out.push_back(w);
    return out;
}

// ------------------------------------------------------------------ Create

TVyb::TVyb(QWidget* parent) : QWidget(parent), TDataForm(this), ui_(std::make_unique<Ui::ListWindow>())
{
    ui_->setupUi(this);
    Tb = ui_->Tb;
    ScVert = ui_->ScVert;
    ScHor = ui_->ScHor;
    Edt = ui_->Edt;
    dummy = ui_->dummy;
    NoData1 = ui_->NoData1;
    NoData2 = ui_->NoData2;
    FnTips = ui_->FnTips;
    FnTree = ui_->FnTree;
    FnAllCol = ui_->FnAllCol;
    FnSlave = ui_->FnSlave;
    FnStrict = ui_->FnStrict;
    FnWhisper = ui_->FnWhisper;
    FnTabKey = ui_->FnTabKey;
    FnExsDrg = ui_->FnExsDrg;
    FnSortim = ui_->FnSortim;
    FnUhrada = ui_->FnUhrada;
    FnDrug = ui_->FnDrug;
    FnComSyn = ui_->FnComSyn;
    Fn1bal = ui_->Fn1bal;
    FnDupKik = ui_->FnDupKik;
    FnUsList = ui_->FnUsList;
    FnCompM = ui_->FnCompM;
    Pop = new QMenu(this);
    Timer = new QTimer(this);
    Blik = new QTimer(this);

    // FormCreate.
    PaintBlocked = true;
    TwoLineRows = false;
    const ConfigValues settings = Config().Snapshot();
    ApplyListSettings(*Tb, settings);
    LineHeight = Tb->RowHeight();
    CharWidth = Tb->CharWidth();
    ScHor->Large = 5 * CharWidth;
    ScHor->Small = 1;
    CurPos = CurAux = -1;
    NoData1->setPixmap(NoDataPicture(false));
    NoData2->setPixmap(NoDataPicture(true));
    dummy->hide();
    Tb->CellText = [this](uint8_t r, std::string& text) { ListCellText(r, text); };

    Edt->OnAKbd = [this](TANulEdit*, uint16_t& code, uint8_t shift) { AKbd(code, shift); };
    connect(Edt, &QLineEdit::textChanged, this, [this] { EdtChange(); });
    ScVert->OnAction = [this](TAScroll*, uint16_t& code, uint8_t shift) {
        if (code != ActionCode::Up && code != ActionCode::PageUp && code != ActionCode::Down &&
            code != ActionCode::PageDown)
            return;
        if (callbackDepth_ > 0 || Busy) {
            code = 0;
            return;
        }
        // Each arrow or track step, repeats included, is one use of the bar.
        ListCounters().scrollMoves += 1;
        Act([this, &code] { RunAction(code, 0, true); });
    };
    ScVert->OnScroll = [this](TAScroll*) { ScVertScroll(); };
    ScHor->OnScroll = [this](TAScroll*) { ScHorScroll(); };
    connect(Tb, &TATable1::mousePressed, this, [this](QMouseEvent* e) { MouseD(e); });
    connect(Tb, &TATable1::mouseReleased, this, [this](QMouseEvent* e) { MouseUp(e); });
    connect(Tb, &TATable1::mouseMoved, this, [this](QMouseEvent* e) { helptab(e); });

    connect(FnStrict, &QToolButton::clicked, this, [this] { Act([this] { FnStrictClick(); }); });
    connect(FnWhisper, &QToolButton::clicked, this, [this] { Act([this] { WhisperClick(); }); });
    connect(FnSlave, &QToolButton::clicked, this, [this] { Act([this] { SlaveClick(); }); });
    connect(FnTree, &QToolButton::clicked, this, [this] { Act([this] { FnTreeClick(); }); });
    connect(FnTips, &QToolButton::clicked, this, [this] { Act([this] { FnTipsClick(); }); });
    connect(FnAllCol, &QToolButton::clicked, this, [this] { Act([this] { AllColClick(); }); });
    for (QToolButton* b :
         {FnTabKey, FnExsDrg, FnSortim, FnUhrada, FnDrug, FnComSyn, Fn1bal, FnDupKik, FnUsList, FnCompM})
        connect(b, &QToolButton::clicked, this, [this, b] { Act([this, b] { FnXxxClick(b); }); });
    connect(Pop, &QMenu::triggered, this, [this](QAction* a) { Act([this, a] { PopClick(a); }); });

    Timer->setInterval(kTimerMs);
    connect(Timer, &QTimer::timeout, this, [this] { Timed(); });
    Timer->start();
    Blik->setInterval(kBlinkMs);
    connect(Blik, &QTimer::timeout, this, [this] { BlikTimer(); });
    PaintBlocked = false;
}

TVyb::~TVyb()
{
    // FormDestroy: the window's lifetime in the usage counts.
    StatCountDuration(StatCodeOfText(CursorMode ? "iQ " : "iD "), DaysSinceCreated());
    TDataForm::FormDestroy();
}

double TVyb::DaysSinceCreated() const
{
    const std::chrono::duration<double> age = std::chrono::steady_clock::now() - CreatedAt;
    return age.count() / 86400.0;
}

QToolButton* TVyb::ButtonOfLetter(char letter) const
{
    switch (letter) {
    case '?': return FnTips;
    case '<': return FnTree;
    case '=': return FnAllCol;
    case '*': return FnSlave;
    case '/': return FnStrict;
    case ')': return FnWhisper;
    case '>': return FnTabKey;
    case 'E': return FnExsDrg;
    case 'S': return FnSortim;
    case 'R': return FnUhrada;
    case 'D': return FnDrug;
    case 'N': return FnComSyn;
    case '1': return Fn1bal;
    case 'X': return FnDupKik;
    case 'U': return FnUsList;
    case 'M': return FnCompM;
    default: return nullptr;
    }
}

// ---------------------------------------------------------------- OpenList

uint32_t TVyb::OpenList(const ListWindowSpec& spec, std::shared_ptr<ListSource> source)
{
    const ConfigValues settings = Config().Snapshot();
    CurPos = CurAux = MarkFirst = MarkLast = -1;
    Rec.Whisper = settings.SeptacOption != 0;

    Title = spec.caption.substr(0, 255);
    SetCaptionText(KamToQString(Title));

    // The header, cut at a 255 followed by "-": their number is the tree
    // column's width in symbol cells.
    std::string head(spec.header.substr(0, 255));
    int treeCells = 0;
    const size_t marker = head.find('\xFF');
    if (marker != std::string::npos && marker + 1 < head.size() && head[marker + 1] == '-') {
        for (size_t i = marker + 1; i < head.size() && head[i] == '-'; ++i)
            ++treeCells;
        head.resize(marker);
    }
    head.resize(255, ' ');
    Tb->Header = head;
    const uint32_t flags = Tb->SetGeometry(spec.geometry, spec.order);
    Tb->SetTreeWidth(treeCells);

    source_ = std::move(source);
    lastHintCell_ = {0, 255};
    Tb->SetHScroll(false);

    ButtonLetters = spec.buttons.substr(0, 10);

    FnTips->setChecked(settings.tipData);
    FnStrict->setChecked(Rec.Strict());
    FnStrict->hide();
    FnWhisper->setChecked(Rec.Whisper);
    FnWhisper->hide();
    FnUsList->setEnabled(UserSignListsAvailable());

    maxLength_ = spec.maxTyped;
    editKind_ = spec.editKind;
    const bool digits = editKind_ >= '0' && editKind_ <= '9';
    Edt->OnlyNum = digits;
    Edt->RegCSE = editKind_ == '5' || editKind_ == '6';
    Edt->SetMaxLength(maxLength_);
    Edt->UpperCase = digits || (editKind_ >= 'A' && editKind_ <= 'Z');
    CursorMode = editKind_ != ' ';

    if (settings.BlinkOff == 0 && maxLength_ > 0)
        Blik->start();

    callbacksSet_ = true;
    UmistiFormular();
    ConnectSubWindow();
    PaintBlocked = false;
    onres();

    ScHor->setToolTip(KamToQString(CallInfo(InfoKind::Control, 0, TVybRow{}, "-")));
    ScVert->setToolTip(KamToQString(CallInfo(InfoKind::Control, 0, TVybRow{}, "|")));
    const bool typingHintKind = editKind_ == '9' || editKind_ == 'A' || editKind_ == 'a';
    if (settings.tipUser && typingHintKind && maxLength_ > 0) {
        TVybRow block;
        block.Offer1 = static_cast<uint8_t>(Rec.Letter);
        const std::string hint = CallInfo(InfoKind::Control, static_cast<uint8_t>(Rec.Letter), block, "&");
        TMyHintWindow* window = SharedHintWindow();
        if (!hint.empty() && window != nullptr) {
            const QPoint at(static_cast<int>(Title.size()) * LineHeight, -LineHeight * 4 / 3);
            window->ShowHint(mapToGlobal(at), KamToQString(hint));
            HintShown = true;
        }
        Timer->setInterval(kHintHidePauseMs);
    }

    RefreshMenus(ActiveDataForm());
    const bool cursorListWithoutTyping = CursorMode && maxLength_ == 0;
    if (!(cursorListWithoutTyping && !LinkKindIsRecord(LinkKinds[1])))
        StatCount(Kind);
    FirstChoice = true;
    return flags;
}

void TVyb::ConnectSubWindow()
{
    QMdiSubWindow* sub = SubWindow();
    if (sub == nullptr || subWindowConnected_)
        return;
    subWindowConnected_ = true;
    connect(sub, &QMdiSubWindow::windowStateChanged, this,
            [this](Qt::WindowStates before, Qt::WindowStates now) {
                if ((before & Qt::WindowActive) && !(now & Qt::WindowActive)) {
                    // FormDeactivate.
                    HideHint();
                    QToolTip::hideText();
                }
                if ((before ^ now) & Qt::WindowMinimized)
                    SetCaption((now & Qt::WindowMinimized)
                                   ? std::string()
                                   : (Rec.StatusText.empty() ? Rec.Prefix : Rec.StatusText));
            });
}

// -------------------------------------------------------------- Callbacks

void TVyb::Act(std::function<void()> action)
{
    if (callbackDepth_ > 0 || Busy) {
        pending_.push_back(std::move(action));
        return;
    }
    ++actionDepth_;
    action();
    --actionDepth_;
    if (actionDepth_ == 0)
        DrainPending();
}

void TVyb::DrainPending()
{
    while (!pending_.empty() && callbackDepth_ == 0 && actionDepth_ == 0 && !Busy) {
        std::function<void()> next = std::move(pending_.front());
        pending_.pop_front();
        ++actionDepth_;
        next();
        --actionDepth_;
    }
}

void TVyb::CallCommand()
{
    if (!source_)
        return;
    ++callbackDepth_;
    Rec.Command = ActionCodeOf(source_->React(Rec, ListActionOf(Rec.Command)));
    --callbackDepth_;
    Rec.Prefix.resize(std::min<size_t>(Rec.Prefix.size(), 255));
    NoteWalkChange();
}

void TVyb::NoteWalkChange()
{
    const bool recArr = source_ != nullptr && source_->WalksOwnSet();
    if (recArr == walksRecArr_)
        return;
    walksRecArr_ = recArr;
    // The refill that follows paints the rows without the old marks.
    MarkFirst = MarkLast = -1;
}

bool TVyb::FetchRow(TVybRow& row)
{
    row = TVybRow{};
    if (!source_)
        return false;
    std::string text;
    ++callbackDepth_;
    source_->Fetch(Rec, row, text);
    --callbackDepth_;
    row.Text = text;
    NoteWalkChange();
    return row.Pos != -1;
}

std::string TVyb::CallInfo(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key)
{
    std::string out;
    if (!source_)
        return out;
    ++callbackDepth_;
    out = source_->Info(kind, sub, row, key);
    --callbackDepth_;
    if (callbackDepth_ == 0 && actionDepth_ == 0)
        DrainPending();
    return out;
}

void TVyb::ListCellText(uint8_t r, std::string& text) const
{
    if (r < 1 || r > Rec.RowCount) {
        text = std::string(kEndOfRows);
        return;
    }
    const TVybRow& row = Rec.Rows[r];
    text.assign(row.Text.View());
    if (text.empty())
        text = " ";
    // A marked row shows the other look of its status bit 7.
    if (MarkFirst != -1 && row.Pos >= MarkFirst && row.Pos <= MarkLast)
        text[0] = static_cast<char>(static_cast<uint8_t>(text[0]) - 128);
}

// --------------------------------------------------------------- The cache

void TVyb::ShiftRowCache(int n)
{
    auto& rows = Rec.Rows;
    if (n == 1)
        std::move_backward(rows.begin() + 1, rows.begin() + kMaxCachedRows,
                           rows.begin() + kMaxCachedRows + 1);
    else if (n == -1)
        std::move(rows.begin() + 2, rows.begin() + kMaxCachedRows + 1, rows.begin() + 1);
}

void TVyb::FillListRows(int mode)
{
    Tb->show();
    ScVert->show();
    Rec.FetchMode = static_cast<uint8_t>(mode == 0 ? FetchModeCode::ReadFirstShown : mode);
    TVybRow row;
    const bool found = FetchRow(row);
    Rec.RowCount = 0;
    if (!found) {
        Tb->hide();
        ScVert->SetMax(0);
        NoCurrentRow();
        return;
    }
    Rec.Rows[1] = row;
    Rec.FetchMode = FetchModeCode::After;
    Rec.RowCount = 1;
    int lines = 1;
    const int gridRows = Tb->VisibleLines();
    Rec.GridRows = static_cast<uint8_t>(gridRows);
    while (lines < gridRows && Rec.RowCount < kMaxCachedRows && FetchRow(row)) {
        Rec.RowCount += 1;
        Rec.Rows[Rec.RowCount] = row;
        lines += TwoLineRows ? 2 : 1;
    }

    // Rows above the first: the rest of the window, and with a full window
    // one row of context above a found row.
    Rec.FetchMode = FetchModeCode::Before;
    int before = 0;
    int e = gridRows - lines;
    if (e < 1 && mode > 0)
        e = 1;
    while (e > 0) {
        const bool got = FetchRow(row);
        e -= TwoLineRows ? 2 : 1;
        if (!got)
            break;
        ShiftRowCache(1);
        Rec.Rows[1] = row;
        ++before;
        if (Rec.RowCount < gridRows && Rec.RowCount < kMaxCachedRows)
            Rec.RowCount += 1;
    }

    Rec.GridRows = static_cast<uint8_t>(std::min<int>(gridRows, Rec.RowCount));
    const int keptCursor = Tb->CursorRow();
    Tb->Paint();
    const int drawn = std::max(0, Tb->NextRow() - 1);
    Rec.RowCount = Rec.GridRows = static_cast<uint8_t>(drawn);

    const int32_t count = Rec.Count;
    const int32_t shown = Rec.GridRows;
    ScVert->SetMax(shown + 2 < count ? count - shown + 2 : count - shown);
    ScVert->SetPosit(Rec.TopPos);

    int cursor = mode == 0 ? keptCursor : 1 + before;
    cursor = std::min(cursor, drawn);
    if (CursorMode)
        Tb->SetCursor(std::max(cursor, mode == 0 ? 0 : 1));
    TakeCurrentRow();
}

int TVyb::CursorRowOrFirst() const
{
    const int c = Tb->CursorRow();
    return c > 0 ? c : 1;
}

void TVyb::TakeCurrentRow()
{
    if (Rec.RowCount == 0) {
        NoCurrentRow();
        return;
    }
    const int o = std::min<int>(CursorRowOrFirst(), Rec.RowCount);
    const TVybRow& row = Rec.Rows[static_cast<size_t>(o)];
    LinkValues[1] = row.Offer1;
    LinkValues[2] = row.Offer2;
    CurPos = row.Pos;
    CurAux = row.Aux;
    Rec.CurRow = static_cast<uint8_t>(o);
}

void TVyb::NoCurrentRow()
{
    Rec.RowCount = 0;
    CurPos = CurAux = -1;
    Rec.CurRow = 0;
    LinkValues[1] = LinkValues[2] = 0;
    Tb->SetCursor(0);
}

// ------------------------------------------------------------------ Keys

void TVyb::SendAction(uint16_t code)
{
    AKbd(code, 0);
}

void TVyb::Reposition()
{
    Rec.Command = ActionCode::Reposition;
    onres();
}

void TVyb::AKbd(uint16_t& code, uint8_t shift)
{
    // Escape during a print goes back to the edit; the run watches the key.
    if (Busy && code == ActionCode::Escape)
        return;
    if (callbackDepth_ > 0 || Busy) {
        const uint16_t queued = code;
        code = 0;
        pending_.push_back([this, queued, shift] {
            uint16_t c = queued;
            RunAction(c, shift, false);
        });
        return;
    }
    Act([&] { RunAction(code, shift, false); });
}

bool TVyb::Minimised() const
{
    const QMdiSubWindow* sub = SubWindow();
    return sub != nullptr && sub->isMinimized();
}

void TVyb::RunAction(uint16_t& code, uint8_t shift, bool fromScrollBar)
{
    if (Minimised() || (shift & ~PageShift::ShiftKey) != 0)
        return;
    const bool withShift = (shift & PageShift::ShiftKey) != 0;
    const bool functionKey = code >= ActionCode::F1 && code <= ActionCode::F10;
    Rec.Command = code;
    code = 0;
    if (!withShift || functionKey)
        HideHint();
    if (!withShift) {
        CallCommand();
        if (Rec.Command == ActionCode::PrefixChanged)
            SyncEditAndCaption();
    } else if (functionKey) {
        Rec.Command = static_cast<uint16_t>(Rec.Command + 25);
        const uint16_t shifted = Rec.Command;
        if (shifted >= ActionCode::ShiftF1 + 1 && shifted <= ActionCode::ShiftF1 + 5) {
            ShiftFunctionKey(shifted);
            return; // these end here, uncounted
        }
        ShiftFunctionKey(shifted);
    }

    const uint16_t command = Rec.Command;
    if (command >= ActionCode::Home && command <= ActionCode::PageDown && !fromScrollBar)
        ListCounters().navigationKeys += 1;
    if (command == ActionCode::WheelUp || command == ActionCode::WheelDown)
        ListCounters().wheelKeys += 1;
    RunKeyAction(code, withShift);
}

void TVyb::RunOwnKeyAction(uint16_t command)
{
    Rec.Command = command;
    uint16_t code = 0;
    RunKeyAction(code, false);
}

void TVyb::RunKeyAction(uint16_t& code, bool withShift)
{
    const uint16_t command = Rec.Command;
    switch (command) {
    case ActionCode::Enter:
        if (withShift)
            MarkByKey();
        else
            ChooseRow();
        break;
    case ActionCode::ChooseAndClose:
        if (Rec.RowCount > 0)
            PropagateLinks();
        if (!Busy)
            CloseWindow();
        break;
    case ActionCode::Escape:
        if (Busy)
            code = ActionCode::Escape;
        else
            CloseWindow();
        break;
    case ActionCode::Refill:
        FillListRows(FetchModeCode::Seek);
        ShowRowHint(Tb->CursorRow());
        UpdateButtons();
        break;
    case ActionCode::RefillInPlace:
        FillListRows(0);
        ShowRowHint(Tb->CursorRow());
        break;
    case ActionCode::PrefixChanged:
        FillListRows(FetchModeCode::Seek);
        ShowRowHint(Tb->CursorRow());
        UpdateButton(FnTabKey, '>');
        break;
    case ActionCode::Home:
    case ActionCode::End:
    case ActionCode::Up:
    case ActionCode::PageUp:
    case ActionCode::Down:
    case ActionCode::PageDown:
    case ActionCode::WheelUp:
    case ActionCode::WheelDown:
    case ActionCode::Left:
    case ActionCode::Right: MoveByKey(command, code); break;
    default: break;
    }
}

// The keys and wheel steps that move the cursor or the columns; `code` 1 when
// the window moved.
void TVyb::MoveByKey(uint16_t command, uint16_t& code)
{
    const int gridRows = Rec.GridRows;
    const int step = gridRows < 4 ? gridRows - 1 : gridRows - 2;
    switch (command) {
    case ActionCode::Home:
    case ActionCode::End: {
        const bool home = command == ActionCode::Home;
        FillListRows(home ? FetchModeCode::First : FetchModeCode::Last);
        ScVert->SetPosit(home ? 0 : ScVert->Max());
        Rec.TopPos = ScVert->Posit();
        ShowRowHint(Tb->CursorRow());
        break;
    }
    case ActionCode::Up:
    case ActionCode::PageUp:
    case ActionCode::Down:
    case ActionCode::PageDown:
        if (Rec.RowCount > 0) {
            const int n = (command == ActionCode::Up || command == ActionCode::Down) ? 1 : std::max(1, step);
            if (command == ActionCode::Up || command == ActionCode::PageUp)
                MoveUp(n);
            else
                MoveDown(n);
            code = 1;
        }
        break;
    case ActionCode::WheelUp:
    case ActionCode::WheelDown:
        if (Rec.RowCount > 0) {
            const int lines = std::max(1, QApplication::wheelScrollLines());
            if (command == ActionCode::WheelUp)
                MoveUp(lines);
            else
                MoveDown(lines);
            code = 1;
        }
        break;
    case ActionCode::Left:
        if (ScHor->isEnabled() && ScHor->Posit() > 0) {
            ScHor->SetPosit(ScHor->Posit() - ScHor->Large);
            ScHorScroll();
            code = 1;
        }
        break;
    case ActionCode::Right:
        if (ScHor->isEnabled() && ScHor->Posit() < ScHor->Max()) {
            ScHor->SetPosit(ScHor->Posit() + ScHor->Large);
            ScHorScroll();
            code = 1;
        }
        break;
    default: break;
    }
}

void TVyb::ClickIfVisible(QToolButton* button)
{
    if (button != nullptr && !button->isHidden())
        button->click();
}

void TVyb::ShiftFunctionKey(uint16_t code)
{
    switch (code) {
    case ActionCode::ShiftF1:
        FnTips->setChecked(!FnTips->isChecked());
        FnTipsClick();
        Rec.Command = 0;
        break;
    case ActionCode::ShiftF1 + 1:
        for (QToolButton* b : {FnExsDrg, FnSortim, FnUhrada})
            ClickIfVisible(b);
        break;
    case ActionCode::ShiftF1 + 2:
        for (QToolButton* b : {FnDrug, FnComSyn})
            ClickIfVisible(b);
        break;
    case ActionCode::ShiftF1 + 3: ClickIfVisible(Fn1bal); break;
    case ActionCode::ShiftF1 + 4: ClickIfVisible(FnUsList); break;
    case ActionCode::ShiftF1 + 5: ClickIfVisible(FnCompM); break;
    case ActionCode::ShiftF1 + 7:
        FnTreeClick();
        Rec.Command = 0;
        break;
    case ActionCode::ShiftF1 + 8:
        AllColClick();
        Rec.Command = 0;
        break;
    case ActionCode::ShiftF10:
        for (QToolButton* b : {FnSlave, FnStrict, FnWhisper}) {
            ClickIfVisible(b);
            Rec.Command = 0;
        }
        break;
    default: break;
    }
}

void TVyb::MoveUp(int n)
{
    ScVert->SetPosit(ScVert->Posit() - n);
    int cursor = Tb->CursorRow();
    if (CursorMode) {
        if (n + 2 < cursor) {
            cursor -= n;
            n = 0;
        } else {
            n = n - cursor + 2;
            cursor = 2;
        }
    }
    bool moved = false;
    TVybRow row;
    while (n > 0) {
        Rec.FetchMode = FetchModeCode::Before;
        const bool got = FetchRow(row);
        if (got) {
            ShiftRowCache(1);
            Rec.Rows[1] = row;
            moved = true;
        } else if (CursorMode) {
            cursor = 1;
        }
        n -= 1;
        if (!got)
            break;
    }
    FinishMove(moved, cursor);
}

void TVyb::MoveDown(int n)
{
    ScVert->SetPosit(ScVert->Posit() + n);
    int cursor = Tb->CursorRow();
    const int drawn = Tb->NextRow() - 1;
    if (CursorMode) {
        if (cursor + n < drawn) {
            cursor += n;
            n = 0;
        } else {
            n = n - drawn + cursor + 1;
            cursor = drawn - 1;
        }
    }
    bool moved = false;
    TVybRow row;
    while (n > 0) {
        Rec.FetchMode = FetchModeCode::After;
        const bool got = FetchRow(row);
        if (got) {
            ShiftRowCache(-1);
            Rec.Rows[Rec.RowCount] = row;
            moved = true;
        } else if (CursorMode) {
            cursor = drawn;
        }
        n -= 1;
        if (!got)
            break;
    }
    FinishMove(moved, cursor);
}

void TVyb::FinishMove(bool moved, int cursor)
{
    if (moved)
        Tb->Paint();
    if (CursorMode)
        Tb->SetCursor(std::clamp(cursor, 1, std::max(1, Tb->NextRow() - 1)));
    TakeCurrentRow();
    // The thumb stays where the move put it through a refill in place.
    Rec.TopPos = ScVert->Posit();
    ShowRowHint(Tb->CursorRow());
}

void TVyb::ChooseRow()
{
    if (Rec.RowCount == 0)
        return;
    if (PropagateLinks() == 0)
        DropDownMenu(PublishedDataSet() == DataSetCode::Devices ? 6 : 4);
    if (CursorMode)
        CountChoice();
}

void TVyb::CountChoice()
{
    const bool typing = maxLength_ >= 1;
    const bool recordKind = LinkKindIsRecord(LinkKinds[1]);
    const uint16_t kindKey = static_cast<uint16_t>(StatCodeOfText("iG ") + (Kind & 0x1F));
    if (FirstChoice) {
        if (typing)
            StatCountDuration(StatCodeOfText("iF "), DaysSinceCreated());
        else if (!recordKind)
            Count("oX ");
        if (recordKind)
            StatCount(kindKey);
        FirstChoice = false;
        return;
    }
    if (typing || !recordKind)
        Count("oOR");
    else
        StatCount(kindKey);
}

// ------------------------------------------------------------------ Typing

void TVyb::SetCaptionText(const QString& caption)
{
    setWindowTitle(caption);
}

void TVyb::SetCaption(const std::string& tail)
{
    if (Minimised()) {
        const std::string& icon = Rec.IconCaption.empty() ? Rec.Prefix : Rec.IconCaption;
        SetCaptionText(KamToQString(icon));
        return;
    }
    SetCaptionText(KamToQString(Title + tail));
}

QString TVyb::Caption() const
{
    return windowTitle();
}

void TVyb::SyncEditAndCaption()
{
    const std::string shown = Rec.Prefix.substr(0, 80);
    if (KamToQString(shown) != Edt->text())
        Edt->SetTextKeepCaret(KamToQString(shown));
    Subtitle = Rec.StatusText.empty() ? Rec.Prefix : Rec.StatusText;
    SetCaption(Rec.StatusText.empty() ? Rec.Prefix : Rec.StatusText.substr(0, 57));
}

void TVyb::EdtChange()
{
    HideHint();
    if (Edt->Setting() || !callbacksSet_)
        return;
    Act([this] {
        Rec.Prefix = QStringToKam(Edt->text()).substr(0, 255);
        Rec.Command = ActionCode::PrefixChanged;
        CallCommand();
        SyncEditAndCaption();
        LinkValues[0] = 0;
        MarkFirst = MarkLast = -1;
        FillListRows(Rec.Command == ActionCode::RefillInPlace ? 0 : FetchModeCode::Seek);
        FnStrict->setEnabled(!Rec.Prefix.empty());
        // Typing detaches the list from its master.
        Dependent = false;
        FnSlave->setChecked(false);
        UpdateButton(FnTabKey, '>');
    });
}

void TVyb::BlikTimer()
{
    if (Config().Read([](const ConfigValues& v) { return v.BlinkOff; }) != 0 || Minimised() ||
        ActiveDataForm() != this || !Rec.StatusText.empty())
        return;
    BlinkPhase = !BlinkPhase;
    SetCaptionText(KamToQString(Title + Rec.Prefix) +
                   (BlinkPhase ? QStringLiteral("_") : QStringLiteral("  ")));
}

void TVyb::Timed()
{
    HideHint();
    Timer->setInterval(kTimerMs);
}

// ------------------------------------------------------------------ Resize

void TVyb::myResize()
{
    onres();
}

void TVyb::onres()
{
    if (!callbacksSet_ || closed_)
        return;
    Act([this] {
        HideHint();
        if (Rec.Command == ActionCode::Reposition)
            CallCommand();
        Rec.Prefix = TrimRightShort(Rec.Prefix);
        Rec.StatusText = TrimRightShort(Rec.StatusText);
        Rec.IconCaption = TrimRightShort(Rec.IconCaption);
        if (!Rec.Prefix.empty())
            Edt->SetTextKeepCaret(KamToQString(Rec.Prefix));
        Subtitle = Rec.StatusText.empty() ? Rec.Prefix : Rec.StatusText;
        SetCaption(Subtitle);
        if (!Minimised()) {
            const int oldGridRows = Rec.GridRows;
            ArrangeControls();
            if (Rec.GridRows != oldGridRows) {
                if (CurPos != -1 && oldGridRows != 0) {
                    if (CursorMode) {
                        Rec.Rows[1].Pos = CurPos;
                        Rec.Rows[1].Aux = CurAux;
                    }
                    FillListRows(FetchModeCode::ReadFirstShown);
                } else {
                    FillListRows(FetchModeCode::Seek);
                }
            } else if (Rec.RowCount > 0) {
                Tb->Paint(); // the same rows at the new width
            }
            ApplyHScrollBar();
        }
        if (CursorMode && Tb->CursorRow() == 0 && Rec.RowCount > 0)
            Tb->SetCursor(1);
    });
}

void TVyb::ApplyHScrollBar()
{
    ScHor->setEnabled(Tb->Overflows());
    ScHor->SetMax(Tb->OverflowWidth());
}

// ------------------------------------------------------------------ Scroll

void TVyb::ScVertScroll()
{
    if (!ScVert->isEnabled() || !ScVert->Pressed() || ScVert->Action() != 0)
        return;
    ListCounters().scrollMoves += 1;
    Act([this] {
        Rec.TopPos = ScVert->Posit();
        FillListRows(ScVert->Posit() < Tb->VisibleLines() ? FetchModeCode::First : FetchModeCode::AtTopPos);
    });
}

void TVyb::ScHorScroll()
{
    Tb->SetHOffset(ScHor->Posit());
}

void TVyb::wheelEvent(QWheelEvent* event)
{
    wheelRemainder_ += event->angleDelta().y();
    const uint8_t shift = ShiftFlagsOf(event->modifiers());
    while (wheelRemainder_ >= kWheelStepAngle) {
        wheelRemainder_ -= kWheelStepAngle;
        uint16_t code = ActionCode::WheelUp;
        AKbd(code, shift);
    }
    while (wheelRemainder_ <= -kWheelStepAngle) {
        wheelRemainder_ += kWheelStepAngle;
        uint16_t code = ActionCode::WheelDown;
        AKbd(code, shift);
    }
    event->accept();
}

// ------------------------------------------------------------------ Hints

void TVyb::ShowRowHint(int row)
{
    TMyHintWindow* window = SharedHintWindow();
    if (window == nullptr)
        return;
    if (ActiveDataForm() != this || row <= 0 || row > Tb->VisibleLines() || row > Rec.RowCount) {
        HideHint();
        return;
    }
    const TVybRow& r = Rec.Rows[static_cast<size_t>(row)];
    const std::string_view text = r.Text.View();
    const std::string out =
        CallInfo(InfoKind::RowHint, 1, r, text.size() > 1 ? text.substr(1) : std::string_view());
    if (out.empty()) {
        HideHint();
        return;
    }
    // Over the row's line, from the grid's left edge.
    const QRect line = Tb->RowRect(row);
    window->ShowHint(Tb->mapToGlobal(QPoint(0, line.top())), KamToQString(out));
    HintShown = true;
}

// ---------------------------------------------------------------- Links

void TVyb::ResetData(int32_t value)
{
    if (Busy && value < 0) {
        // The run reads the window: it closes or detaches afterwards.
        pending_.push_back([this, value] { ResetData(value); });
        return;
    }
    PaintBlocked = false;
    if (value < 0) {
        if (Dependent) {
            CloseWindow();
            return;
        }
        Master = nullptr;
        FnSlave->setEnabled(false);
        return;
    }
    Rec.LinkValue = value;
    // A 0 would position on record 0, the table's header.
    if (!Dependent || value == 0)
        return;
    Act([this, value] {
        MarkFirst = MarkLast = -1;
        LinkValues[0] = value;
        Rec.Command = ActionCode::Reposition;
        onres();
        PropagateLinks();
    });
}

bool TVyb::IsEmpty()
{
    return Rec.RowCount == 0;
}

void TVyb::FormActivate()
{
    TDataForm::FormActivate();
    Edt->setFocus(Qt::ActiveWindowFocusReason);
}

// ------------------------------------------------------------------ Close

void TVyb::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    PaintBlocked = true;
    HideHint();
    QToolTip::hideText();
    LinkValues[1] = LinkValues[2] = -1;
    CurPos = CurAux = -1;
    PropagateLinks();
    Timer->stop();
    Blik->stop();
}

void TVyb::closeEvent(QCloseEvent* event)
{
    if (Busy) {
        // Closed once the print run has ended.
        pending_.push_back([this] { CloseWindow(); });
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}
