// The list window's layout and its row of buttons: ArrangeControls, the
// buttons' state from the Info callback, and the mode buttons that act on the
// window itself (strict, similar spelling, follow the master, tree, tips,
// all columns).

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

#include "datastore/kamenici.h"
#include "datastore/service_hooks.h"
#include "frame/pages/hints.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"
#include "lists/toolkit/scroll_bar.h"

namespace {

void Count(const char* code)
{
    StatCount(StatCodeOfText(code));
}

// Buttons whose state the Info callback gives (kind 3, sub 2).
constexpr std::string_view kStateLetters = "1DEMNRSU";
// Buttons UpdateButtons refreshes.
constexpr std::string_view kRefreshedLetters = "1DEMNSU";

// The letter by which the Info callback knows a button.
char LetterOfButton(const QToolButton* button)
{
    const QString letter = button->property("letter").toString();
    return letter.isEmpty() ? ' ' : letter.at(0).toLatin1();
}

} // namespace

void TVyb::ArrangeControls()
{
    const int m = Margin;
    const int lh = LineHeight;
    const int s = lh + 3; // the scroll bars' and buttons' thickness
    if (!UserSignListsAvailable())
        ButtonLetters.erase(std::remove(ButtonLetters.begin(), ButtonLetters.end(), 'U'),
                            ButtonLetters.end());
    const int letters = static_cast<int>(ButtonLetters.size());

    // The smallest client that still shows four lines and every button.
    const QSize minimum((letters + 5) * s + 2 * m, 3 * m + s + 4 * lh + 4);
    ApplyMinimumSize(minimum);
    const int cw = std::max(width(), minimum.width());
    const int ch = std::max(height(), minimum.height());

    const int y = ch - s - m + 1;
    dummy->setGeometry(0, -3 * s / 2, cw, 2 * s);
    const int gridWidth = cw - 2 * m - 1 - (m + s);
    Tb->SetBounds(m, m, gridWidth, ch - s - 3 * m + 1);
    Rec.GridRows = static_cast<uint8_t>(Tb->VisibleLines());
    const int imagesLeft = m + gridWidth / 2 - 32;
    const int imagesTop = m + Tb->height() / 2 - 18;
    NoData1->setGeometry(imagesLeft, imagesTop, 32, 36);
    NoData2->setGeometry(imagesLeft + 32, imagesTop, 32, 36);
    ScVert->setGeometry(m + gridWidth + m, m, s, Tb->height());
    ScVert->show();

    const bool scrolling = Tb->HScroll();
    const int barWidth = scrolling ? 4 * s : 0;
    int w = 0;
    if (scrolling)
        w = letters > 1 ? std::min(5 * s, (cw - 5 * s - 2 * m) / (letters - 1)) : 5 * s;
    else if (letters > 0)
        w = letters > 1 ? std::min(5 * s, (cw - 2 * m) / letters) : 5 * s;
    int x = scrolling ? cw - m - std::max(0, letters - 1) * w - s - barWidth : cw - m - letters * w;

    for (QToolButton* b : findChildren<QToolButton*>())
        b->hide();
    bool barPlaced = false;
    for (char letter : ButtonLetters) {
        QToolButton* b = ButtonOfLetter(letter);
        if (b == nullptr)
            continue;
        const bool narrow = scrolling && b == FnAllCol;
        const int bw = narrow ? s : w;
        b->setGeometry(x, y, bw, s);
        b->show();
        x += bw;
        if (narrow) {
            ScHor->setGeometry(x, y, barWidth, s);
            x += barWidth;
            barPlaced = true;
        }
        UpdateButton(b, letter);
    }
    if (scrolling && !barPlaced)
        ScHor->setGeometry(x, y, barWidth, s);
    ScHor->setVisible(scrolling);
    FnAllCol->setChecked(scrolling);
}

QSize TVyb::DesignSize() const
{
    constexpr int kDesignRows = 20;
    const int m = Margin;
    const int s = LineHeight + 3;
    // ArrangeControls' arithmetic turned round: the grid's width and the
    // height that gives it kDesignRows lines.
    const int frame = Tb->Layout().Ctl3D ? 2 : 0;
    const int gridHeight = (kDesignRows + 1) * Tb->RowHeight() + frame + 1;
    const QSize design(Tb->NaturalWidth() + 3 * m + 1 + s, gridHeight + s + 3 * m - 1);
    return design.expandedTo(minimum_);
}

void TVyb::ApplyMinimumSize(QSize size)
{
    if (size == minimum_)
        return;
    minimum_ = size;
    // Never resize from inside a resize event: the window grows afterwards.
    QTimer::singleShot(0, this, [this, size] { setMinimumSize(size); });
}

void TVyb::UpdateButton(QToolButton* button, char letter)
{
    if (button == nullptr)
        return;
    TVybRow block;
    block.Offer1 = static_cast<uint8_t>(Rec.Letter);
    int32_t value = 0;
    switch (letter) {
    case '1':
    case 'D':
    case 'E':
    case 'N':
    case 'S':
    case 'U': value = Rec.ButtonState; break;
    case 'M': value = Rec.ButtonStateM; break;
    case '>':
        // The tab key is down exactly while the list is a code list.
        button->setChecked(Rec.Letter == 'C' || Rec.Letter == 'c');
        value = button->isChecked() ? 1 : 0;
        break;
    case 'R':
        block.Text = source_ != nullptr ? source_->SearchWords() : std::string();
        value = button->isChecked() ? 1 : 0;
        break;
    default: value = button->isChecked() ? 1 : 0; break;
    }
    block.Pos = value;
    const std::string key(1, letter);
    if (kStateLetters.find(letter) != std::string_view::npos) {
        const std::string state = CallInfo(InfoKind::Control, 2, block, key);
        button->setChecked(!state.empty());
        QFont font = button->font();
        font.setBold(state == "D");
        button->setFont(font);
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText,
                         state == "D" ? QColor(0xFF, 0, 0) : this->palette().color(QPalette::ButtonText));
        button->setPalette(palette);
    }
    button->setToolTip(KamToQString(CallInfo(InfoKind::Control, 0, block, key)));
    const std::string caption = CallInfo(InfoKind::Control, 1, block, key);
    button->setText(caption.empty() ? QString(QLatin1Char(letter)) : KamToQString(caption));
}

void TVyb::UpdateButtons()
{
    for (char letter : kRefreshedLetters)
        if (ButtonLetters.find(letter) != std::string::npos)
            UpdateButton(ButtonOfLetter(letter), letter);
}

// ----------------------------------------------------------- Mode buttons

void TVyb::FnStrictClick()
{
    Rec.Options ^= 0x80;
    FnStrict->setChecked(Rec.Strict());
    UpdateButton(FnStrict, '/');
    FillListRows(FetchModeCode::Seek);
}

void TVyb::WhisperClick()
{
    Rec.Whisper = !Rec.Whisper;
    FnWhisper->setChecked(Rec.Whisper);
    if (Rec.Whisper)
        Count("oHW");
    UpdateButton(FnWhisper, ')');
    FillListRows(FetchModeCode::Seek);
}

void TVyb::SlaveClick()
{
    Dependent = !Dependent;
    FnSlave->setChecked(Dependent);
    if (!Dependent)
        Count("oWF");
    UpdateButton(FnSlave, '*');
    if (Dependent && Rec.LinkValue != LinkValues[0]) {
        LinkValues[0] = Rec.LinkValue;
        Rec.Command = ActionCode::Reposition;
        onres();
        PropagateLinks();
    }
}

void TVyb::FnTreeClick()
{
    HideHint();
    Tb->SetTreeMode(!Tb->TreeOn());
    FnTree->setChecked(Tb->TreeOn());
    UpdateButton(FnTree, '<');
    const char l = Rec.Letter;
    if (Tb->TreeOn() && l >= 'A' && l <= 'Z')
        Rec.Letter = static_cast<char>(l - 'A' + 'a');
    else if (!Tb->TreeOn() && l >= 'a' && l <= 'z')
        Rec.Letter = static_cast<char>(l - 'a' + 'A');
    Rec.Command = ActionCode::TreeToggled;
    CallCommand();
    FillListRows(FetchModeCode::Seek);
}

void TVyb::FnTipsClick()
{
    HideHint();
    Count("oHV");
    UpdateButton(FnTips, '?');
}

void TVyb::AllColClick()
{
    Tb->SetHScroll(!Tb->HScroll());
    if (Tb->HScroll())
        Count("oRC");
    ArrangeControls();
    ApplyHScrollBar();
    UpdateButton(FnAllCol, '=');
    Tb->Paint();
}

void TVyb::FnXxxClick(QToolButton* button)
{
    HideHint();
    const char letter = LetterOfButton(button);
    if (letter == 'X') {
        NoData1->hide();
        NoData2->hide();
        const bool show = Tb->isHidden();
        Tb->setVisible(show);
        ScVert->setVisible(show);
        return;
    }
    TVybRow block;
    block.Offer1 = static_cast<uint8_t>(Rec.Letter);
    block.Pos = (letter == 'D' || letter == 'S') ? Rec.ButtonState : 0;
    const std::string popup = CallInfo(InfoKind::Control, 3, block, std::string(1, letter));
    if (!popup.empty()) {
        // The menu decides; the button keeps the state it had.
        button->setChecked(!button->isChecked());
        Pop->clear();
        for (const PopupItem& item : ParsePopupText(popup, letter)) {
            QAction* action = Pop->addAction(KamToQString(item.caption));
            action->setObjectName(
                QString::fromLatin1(item.name.data(), static_cast<qsizetype>(item.name.size())));
            action->setCheckable(true);
            action->setChecked(item.checked);
        }
        Pop->popup(button->mapToGlobal(QPoint(button->width() - 2, 2)));
        return;
    }
    Rec.Command = static_cast<uint16_t>(button->property("helpContext").toInt());
    CallCommand();
    RunOwnKeyAction(Rec.Command);
    UpdateButton(button, letter);
}

void TVyb::PopClick(QAction* item)
{
    const QByteArray name = item->objectName().toLatin1();
    if (name.size() < 2)
        return;
    const char letter = name[0];
    Rec.Command = static_cast<uint16_t>((static_cast<uint8_t>(letter) << 8) + static_cast<uint8_t>(name[1]));
    CallCommand();
    if (letter == 'D')
        UpdateButton(FnDrug, 'D');
    else if (letter == 'S')
        UpdateButton(FnSortim, 'S');
    if (Rec.Command != 0)
        RunOwnKeyAction(Rec.Command);
}

std::vector<PopupItem> ParsePopupText(std::string_view text, char letter)
{
    std::vector<PopupItem> items;
    size_t at = 0;
    while (at < text.size()) {
        const size_t bar = text.find('|', at);
        const std::string_view item =
            text.substr(at, bar == std::string_view::npos ? std::string_view::npos : bar - at);
        if (!item.empty()) {
            const size_t k = items.size();
            const char suffix = k < 10 ? static_cast<char>('0' + k) : static_cast<char>('A' + (k - 10));
            items.push_back({std::string{letter, suffix}, std::string(item.substr(1)), item[0] == '^'});
        }
        if (bar == std::string_view::npos)
            break;
        at = bar + 1;
    }
    return items;
}
