#include "viewers/viewer_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/service_hooks.h"
#include "datastore/table_layouts.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/config/stored_paragraphs.h"
#include "frame/message_box.h"
#include "frame/start/command_line.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/dialog_base.h"
#include "lists/dialogs/paragraph_chooser.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/gui/html_view.h"
#include "platform/gui/print_job.h"
#include "platform/gui/shell.h"
#include "ui_viewer_window.h"
#include "viewers/record_text.h"
#include "viewers/viewer_document.h"
#include "viewers/viewer_hooks.h"
#include "viewers/viewer_page.h"
#include "viewers/viewer_rtf.h"

// --- Hooks -------------------------------------------------------------------

namespace {

ViewerWindowHooks& HookTable()
{
    static ViewerWindowHooks hooks = [] {
        ViewerWindowHooks h;
        h.chooseParagraphs = RunViewerParagraphChooser;
        return h;
    }();
    return hooks;
}

TProhlizecN::Clock& ClockSlot()
{
    static TProhlizecN::Clock clock = [] { return std::chrono::steady_clock::now(); };
    return clock;
}

std::chrono::steady_clock::time_point Now()
{
    return ClockSlot()();
}

} // namespace

bool RunViewerParagraphChooser(char kind, std::string& selection, uint8_t& requestedSection)
{
    // The chooser stores its choice in the kind's slot; the viewer takes it
    // from there.
    if (RunParagraphChooser(kind, 'V') != 1)
        return false;
    selection = StoredParagraphSelection('V', kind);
    requestedSection = StoredParagraphHighlight(kind);
    return true;
}

ViewerWindowHooks SetViewerWindowHooks(ViewerWindowHooks hooks)
{
    std::swap(HookTable(), hooks);
    return hooks;
}

const ViewerWindowHooks& ViewerHooks()
{
    return HookTable();
}

void TProhlizecN::SetClock(Clock clock)
{
    ClockSlot() = clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); };
}

// --- Helpers ------------------------------------------------------------------

namespace {

constexpr int kDrugLength = kKlLayout.Length();
constexpr int kGoodsLength = kPfaLayout.Length();
constexpr int kDeviceLength = kPztLayout.Length();
constexpr FieldPos kDrugStatus = kKlLayout.Field("SR");

std::string UiText8(std::string_view section, std::string_view key)
{
    return LookupText(UiTexts, section, key);
}

QString UiQ(std::string_view section, std::string_view key)
{
    return KamToQString(UiText8(section, key));
}

// A main-table record by its number, through one handle per table that
// stays open.
bool ReadMainRecord(LinkKind linkKind, int32_t recNo, std::string& record)
{
    static TDbTable drugs, goods, devices;
    TDbTable* t = &drugs;
    const char* id = "kl";
    uint16_t length = kDrugLength;
    if (linkKind == LinkKind::Goods) {
        t = &goods;
        id = "pfa";
        length = kGoodsLength;
    } else if (linkKind == LinkKind::Device) {
        t = &devices;
        id = "pzt";
        length = kDeviceLength;
    }
    if (!t->dat.IsOpen() || t->dat.folder != DataDir()) {
        OpenTable(*t, TFileId(id), TFileId(""), length);
        if (DbStatus != 0 || !t->dat.IsOpen()) {
            DbStatus = 0;
            return false;
        }
    }
    if (recNo < 1 || recNo >= t->dat.count)
        return false;
    ReadRecord(t->dat, recNo, record);
    const bool ok = DbStatus == 0;
    DbStatus = 0;
    return ok;
}

uint16_t Code3(std::string_view letters)
{
    return StatCodeOfText(letters);
}

// The usage key of a kind's viewing time ("" when not counted).
std::string DurationKey(char kind)
{
    switch (kind) {
    case 'A':
    case 'I': return "iD ";
    case 'B': return "iB ";
    case 'K': return "iK ";
    case 'L': return "iL ";
    case 'M': return "iM ";
    case 'P': return "iP ";
    case 'Q': return "iQ ";
    case 'S': return "iS ";
    default: return "";
    }
}

} // namespace

// --- Creation -------------------------------------------------------------------

TProhlizecN::TProhlizecN(QWidget* parent)
    : QWidget(parent), TDataForm(this), ui_(std::make_unique<Ui::ViewerWindow>())
{
    ui_->setupUi(this);
    wb_ = ui_->wb;
    TabControl_ = ui_->TabControl;
    Pages_ = ui_->Pages;
    Content_ = ui_->Content;
    neni_ = ui_->neni;
    SearchPanel_ = ui_->SearchPanel;
    SearchEdit_ = ui_->SearchEdit;
    zmena_ = ui_->zmena;
    zCapt_ = ui_->zCapt;
    vata_ = ui_->vata;
    Timer1_ = new QTimer(this);
    Timer1_->setSingleShot(true);
    Timer1_->setInterval(250);

    setAttribute(Qt::WA_DeleteOnClose);
    TabControl_->setShape(QTabBar::RoundedSouth);
    TabControl_->setExpanding(false);
    TabControl_->setMouseTracking(true);
    TabControl_->setDrawBase(false);
    SearchPanel_->raise();
    zmena_->raise();

    const ConfigValues settings = Config().Snapshot();
    QFont dialog(Cp1250ToQString(settings.DialogFont.name), settings.DialogFont.size);
    setFont(dialog);
    TranslateCaptions(this);
    TranslateButtonHints();
    ui_->FnSrNext->hide();
    lastShortcut_ = Now() - std::chrono::seconds(10);
    shownAt_ = Now();

    wb_->SetPictureFetch(
        [](const std::string& url, std::string& bytes) { return FetchPicture(url, bytes) == 0; });
    wb_->SetRtfWriter([](const QTextDocument& doc) {
        const ConfigFont font = Config().Read([](const ConfigValues& v) { return v.PrintFont; });
        return DocumentToRtf(doc, RtfHead(font));
    });
    wb_->installEventFilter(this);
    wb_->viewport()->installEventFilter(this);
    Content_->installEventFilter(this);
    SearchEdit_->installEventFilter(this);
    installEventFilter(this);

    connect(wb_, &HtmlView::linkActivated, this, &TProhlizecN::LinkClicked);
    connect(TabControl_, &QTabBar::tabBarClicked, this, [this](int i) {
        if (i >= 0 && i == TabControl_->currentIndex())
            TabControlChange(i);
    });
    connect(TabControl_, &QTabBar::currentChanged, this, &TProhlizecN::TabControlChange);
    connect(Timer1_, &QTimer::timeout, this, &TProhlizecN::Timer1Timer);
    connect(ui_->FnContnt, &QToolButton::clicked, this, &TProhlizecN::FnContntClick);
    connect(ui_->FnParagr, &QToolButton::clicked, this, &TProhlizecN::FnParagrClick);
    connect(ui_->FnSearch, &QToolButton::clicked, this, &TProhlizecN::FnSearchClick);
    connect(ui_->FnSlave, &QToolButton::clicked, this, &TProhlizecN::FnSlaveClick);
    connect(ui_->FnPresc, &QToolButton::clicked, this, &TProhlizecN::FnPrescClick);
    connect(ui_->FnWCon, &QToolButton::clicked, this, [this] {
        if (ViewerHooks().openProductWebPage)
            ViewerHooks().openProductWebPage(productCode_, "");
    });
    connect(ui_->FnWPri, &QToolButton::clicked, this, [this] {
        if (ViewerHooks().openProductWebPage)
            ViewerHooks().openProductWebPage(productCode_, UiText8("WGra", "ceny"));
    });
    connect(ui_->zOK, &QPushButton::clicked, zmena_, &QWidget::hide);
    connect(ui_->SpeedButton1, &QToolButton::clicked, this, &TProhlizecN::SearchGo);
    connect(SearchEdit_, &QLineEdit::returnPressed, this, &TProhlizecN::SearchGo);
    connect(Content_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ContentChosen(Content_->row(item)); });
    connect(wb_, &HtmlView::toolTipChanged, this, [this](const QString& tip) { wb_->setToolTip(tip); });
}

TProhlizecN::~TProhlizecN()
{
    // The viewing time of the last document.
    const std::string key = DurationKey(DocumentKind);
    if (!key.empty()) {
        const double days = std::chrono::duration<double>(Now() - shownAt_).count() / 86400.0;
        StatCountDuration(Code3(key), days);
    }
    FormDestroy();
}

QToolButton* TProhlizecN::Button(const char* name) const
{
    return findChild<QToolButton*>(QString::fromLatin1(name));
}

bool TProhlizecN::Following() const
{
    return ui_->FnSlave->isChecked();
}

void TProhlizecN::SetSlaveButton(bool enabled)
{
    ui_->FnSlave->setEnabled(enabled);
}

std::string TProhlizecN::DocumentFileName() const
{
    return docFile_.empty() || offset_ < 0 ? std::string() : DataDir() + docFile_;
}

char TProhlizecN::TextKindLetter() const
{
    switch (DocumentKind) {
    case 'A':
    case 'B':
    case 'K':
    case 'X':
    case 'R': return 'R';
    case 'I':
    case 'S': return 'S';
    case 'L': return 'L';
    case 'E': return 'E';
    default: return ' ';
    }
}

// --- Set-up ---------------------------------------------------------------------

void TProhlizecN::SetupViewer(const std::string& titleKey)
{
    const size_t dot = titleKey.find('.');
    SetupViewerTitle(dot == std::string::npos
                         ? titleKey
                         : LookupText(UiTexts, titleKey.substr(0, dot), titleKey.substr(dot + 1)));
}

void TProhlizecN::SetupViewerTitle(const std::string& title)
{
    titleBase_ = title;
    const char kind = DocumentKind;
    std::string stored;
    showAll_ = false;
    invert_ = false;
    requestedSection_ = kNoRequestedSection;
    if (std::string_view("BbEKkRrS").find(kind) != std::string_view::npos) {
        stored = StoredParagraphSelection('V', kind);
        requestedSection_ = StoredParagraphHighlight(kind);
    } else if (kind == '1' || kind == '2') {
        stored = std::string(1, '\x03');
    } else if (kind == 'I') {
        requestedSection_ = 0x45;
    }
    if (!stored.empty() && static_cast<uint8_t>(stored.back()) == 255) {
        showAll_ = true;
        stored.pop_back();
    }
    if (stored.empty())
        showAll_ = true;
    selection_ = EncodeParagraphSet(stored, kind);
    // The encoded form ends in "+" (the listed ones) or "-" (all others).
    if (!selection_.empty() && selection_.back() == '-') {
        invert_ = true;
        selection_.pop_back();
    } else if (!selection_.empty() && selection_.back() == '+') {
        selection_.pop_back();
    }
    if (kind == 'A') {
        selection_ = std::string{'\x15', '\x46'};
        showAll_ = false;
        invert_ = false;
    } else if (kind == 'I') {
        showAll_ = false;
        invert_ = false;
    }
    const bool letterMask = kind == '1' || kind == '2' || kind == 'I' || kind == 'P' || kind == 'S';
    visibility_ = UiText8("Prohlizec", letterMask ? std::string("VybL") : std::string("Vyb") + kind);
    if (visibility_.size() < 90)
        visibility_.clear(); // a missing mask: every section shows
    UpdateFilterButton();
    UpdateSlaveHint();
    UmistiFormular();
}

void TProhlizecN::UpdateFilterButton()
{
    QToolButton* b = ui_->FnParagr;
    QString hint = UiQ("Text", "FiltrH") + " (Shift+F4)";
    if (!showAll_) {
        hint += "\r" + UiQ("Cudl", "srtts") +
                KamToQString(ParagraphSetText(selection_ + (invert_ ? "-" : "+"), DocumentKind));
        b->setText(UiQ("Text", "Filtr_"));
        b->setStyleSheet("color: red; font-weight: bold;");
    } else {
        b->setText(UiQ("Text", "Filtr"));
        b->setStyleSheet(QString());
    }
    b->setToolTip(hint);
    b->setChecked(!showAll_);
}

void TProhlizecN::UpdateSlaveHint()
{
    ui_->FnSlave->setToolTip(UiQ("Cudl", "slat") + "\r" + UiQ("Cudl", Following() ? "slat1" : "slat0"));
}

// --- Data reset ---------------------------------------------------------------------

void TProhlizecN::ResetData(int32_t value)
{
    if (value >= 0) {
        pending_ = value;
        if (Following()) {
            current_ = value;
            onResetData();
        }
        return;
    }
    if (Following()) {
        CloseWindow();
    } else {
        Master = nullptr;
        ui_->FnSlave->setEnabled(false);
    }
}

void TProhlizecN::onResetData()
{
    PaintBlocked = false;
    const char kind = DocumentKind;
    Timer1_->stop();
    ui_->FnPresc->hide();
    ui_->FnWPri->setVisible(kind == 'M');
    ui_->FnWCon->setVisible(kind == 'M');

    const std::string durationKey = DurationKey(kind);
    if (!durationKey.empty()) {
        const auto now = Now();
        StatCountDuration(Code3(durationKey),
                          std::chrono::duration<double>(now - shownAt_).count() / 86400.0);
        shownAt_ = now;
    }
    if (!laidOut_) {
        laidOut_ = true;
        FormResize();
    }
    if (kind == 'P' || kind == 'Q') {
        ui_->FnContnt->hide();
        ui_->FnParagr->hide();
        ui_->FnSearch->hide();
    }

    ViewerPageInput in;
    in.kind = kind;
    in.linkKind = LinkKinds[0] != LinkKind::None ? LinkKinds[0] : LinkKind::Drug;
    if (kind != '2' && kind != 'N' && kind != 'Y' && !ReadMainRecord(in.linkKind, current_, in.record))
        in.record.clear();
    in.recordNumber = current_;
    in.dataFolder = DataDir();
    in.programFolder = WithTrailingSlash(ProgramStart().ProgramFolder);
    in.selection = selection_;
    in.invert = invert_;
    in.showAll = showAll_;
    in.requestedSection = requestedSection_;
    in.visibility = visibility_;
    in.searchTerms = SearchTerms;
    const ConfigFont font = Config().Read([](const ConfigValues& v) { return v.TextFont; });
    in.fontName = font.name;
    in.fontSize = font.size;
    if (ViewerHooks().requestedParagraph)
        in.requestedParagraph = ViewerHooks().requestedParagraph();
    if (ViewerHooks().requestedSection)
        in.requestedTextSection = ViewerHooks().requestedSection();
    in.online = (kind == 'P' || kind == 'Q') && IsOnline() != 0;
    ViewerPageOutput out = PrepareViewerPage(in);

    productCode_ = out.productCode;
    titleSuffix_ = out.titleSuffix;
    offset_ = out.missing ? -1 : out.offset;
    docFile_ = out.docFile;
    recordName_ = out.recordName;
    spcLayout_ = out.spcLayout;
    const bool drugRecord = in.linkKind == LinkKind::Drug && !in.record.empty();
    if (drugRecord && kind != '1' && kind != 'T' && !productCode_.empty())
        StatCountProduct(productCode_);
    ui_->FnPresc->setVisible(out.prescVisible);
    ui_->FnPresc->setEnabled(out.prescEnabled);
    if (kind == 'M') {
        ui_->FnWCon->setEnabled(out.webContents);
        ui_->FnWPri->setEnabled(out.webPrices);
    }

    // Title.
    if (SubWindow() && SubWindow()->isMinimized())
        setWindowTitle(KamToQString(AsciiLower(titleSuffix_.size() > 6 ? titleSuffix_.substr(6, 8) : "")));
    else
        setWindowTitle(KamToQString(titleBase_ + titleSuffix_));
    Title = titleBase_;
    Subtitle = titleSuffix_;

    // Change notice (drug records).
    zmena_->hide();
    if (drugRecord && kind != 'T') {
        char letter = 0;
        switch (kind) {
        case 'A':
        case 'B':
        case 'K': letter = 'C'; break;
        case 'E':
        case 'X': letter = '-'; break;
        case 'I':
        case 'S': letter = 'S'; break;
        case 'L': letter = 'L'; break;
        case 'M': letter = 'H'; break;
        default: break;
        }
        const char status = FieldByte(in.record, kDrugStatus);
        if (letter && status != '-' && status != '\\' && ViewerHooks().checkZlpEntry) {
            const int r = ViewerHooks().checkZlpEntry(letter, productCode_);
            if (r != 0) {
                zCapt_->setText(
                    UiQ("Prohlizec", r < 0 ? std::string("zmen0") : "zmen" + std::string(1, letter)));
                zmena_->show();
            }
        }
    }
    if (!out.errorMessage.empty())
        ShowError(out.errorMessage);
    if (kind == 'S' && RequestedParagraph == 5 && !out.missing) {
        // The editor starts once: a reset within the tab timer's delay must
        // not start it again.
        if (ViewerHooks().openMaxDoseEditor)
            ViewerHooks().openMaxDoseEditor(productCode_, recordName_, out.documentText, out.bValue);
        RequestedParagraph = 0;
    }
    if (out.missing) {
        ShowMissing(out.noticeKey);
        return;
    }
    if (kind == 'I') {
        selection_ = out.selection;
        showAll_ = out.showAll;
        invert_ = out.invert;
    }
    if (kind == 'M' || kind == 'T') {
        ui_->FnSearch->hide();
        ui_->FnContnt->hide();
    }

    // The page.
    TabControl_->setVisible(kind != 'A');
    ui_->FnContnt->setEnabled(true);
    ui_->FnParagr->setEnabled(true);
    ui_->FnSearch->setEnabled(true);
    ShowPage(std::move(out.page));

    // Tabs and the first one.
    if (kind != 'I' && kind != 'M' && kind != 'T')
        TabControl_->setStyleSheet(
            QString("QTabBar::tab { min-width: %1px; }").arg(fontMetrics().horizontalAdvance("WW") + 10));
    ui_->FnContnt->setEnabled(!page_.contents.empty());
    firstTab_ = page_.firstTab;
    if ((kind == 'M' && RequestedParagraph > 0 && RequestedParagraph < 7) ||
        (kind == 'S' && RequestedParagraph > 0 && RequestedParagraph < 19))
        firstTab_ = RequestedParagraph;
    if (firstTab_ > 0)
        Timer1_->start();
    if (kind == 'A' || kind == 'P' || kind == 'Q') {
        TabControl_->blockSignals(true);
        while (TabControl_->count() > 0)
            TabControl_->removeTab(0);
        TabControl_->blockSignals(false);
    }
    FormResize();
    wb_->setFocus();
}

void TProhlizecN::ShowMissing(const std::string& noticeKey)
{
    neni_->setText(noticeKey.empty() ? QString() : UiQ("Prohlizec", noticeKey));
    zmena_->hide();
    ui_->FnContnt->setEnabled(false);
    ui_->FnParagr->setEnabled(false);
    ui_->FnSearch->setEnabled(false);
    TabControl_->hide();
    Pages_->setCurrentIndex(2);
    wb_->ClearPage();
    page_ = HtmlPage{};
    FormResize();
}

void TProhlizecN::ShowPage(HtmlPage page)
{
    page_ = std::move(page);
    wb_->LoadPage(page_.bytes, page_.tableColumns);
    if (!QFontInfo(wb_->document()->defaultFont()).exactMatch()) {
        // The page's body font may be one Qt does not have: the text font.
        const ConfigFont font = Config().Read([](const ConfigValues& v) { return v.TextFont; });
        QFont f(Cp1250ToQString(font.name), font.size);
        if (QFontInfo(f).exactMatch())
            wb_->document()->setDefaultFont(f);
    }
    TabControl_->blockSignals(true);
    while (TabControl_->count() > 0)
        TabControl_->removeTab(0);
    for (const HtmlTab& t : page_.tabs)
        TabControl_->addTab(Cp1250ToQString(t.label));
    TabControl_->blockSignals(false);
    Content_->clear();
    for (const HtmlContentsEntry& e : page_.contents)
        Content_->addItem(Cp1250ToQString(e.label));
    Pages_->setCurrentIndex(0);
    ui_->FnContnt->setChecked(false);
}

void TProhlizecN::Timer1Timer()
{
    Timer1_->stop();
    if (firstTab_ >= 0 && firstTab_ < TabControl_->count()) {
        TabControl_->blockSignals(true);
        TabControl_->setCurrentIndex(firstTab_);
        TabControl_->blockSignals(false);
    }
    if (DocumentKind == 'S')
        RequestedParagraph = 0;
    TabControlChange(TabControl_->currentIndex());
}

void TProhlizecN::TabControlChange(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= page_.tabs.size())
        return;
    const HtmlTab& tab = page_.tabs[static_cast<size_t>(index)];
    wb_->ScrollToAnchorName(Cp1250ToQString(tab.anchor));
    std::string label = tab.label;
    WinToKamS(label);
    switch (DocumentKind) {
    case 'A':
    case 'B':
    case 'K': {
        std::string key = "k" + KamFoldUpper(label.substr(0, 2));
        StatCount(Code3(key));
        break;
    }
    case 'M':
        if (!label.empty())
            StatCount(Code3(std::string("oM") + label[0]));
        break;
    case 'S': {
        std::string k = label;
        if (!k.empty() && k.back() == '.')
            k.pop_back();
        const uint8_t code = ParagraphKeyToCode(k);
        StatCount(Code3(std::string{'m', static_cast<char>(code >> 4), static_cast<char>(code & 15)}));
        break;
    }
    default: break;
    }
}

// --- Contents, filter, search, follow ------------------------------------------------

bool TProhlizecN::ShowsPage() const
{
    return Pages_->currentIndex() == 0;
}

bool TProhlizecN::ShowsContents() const
{
    return Pages_->currentIndex() == 1;
}

QString TProhlizecN::NoticeText() const
{
    return Pages_->currentIndex() == 2 ? neni_->text() : QString();
}

void TProhlizecN::FnContntClick()
{
    if (!ShowsContents()) {
        if (Content_->count() == 0) {
            ui_->FnContnt->setChecked(false);
            return;
        }
        Pages_->setCurrentIndex(1);
        ui_->FnContnt->setChecked(true);
        ui_->FnSearch->setEnabled(false);
        Content_->setFocus();
        if (Content_->currentRow() < 0)
            Content_->setCurrentRow(0);
    } else {
        Pages_->setCurrentIndex(0);
        ui_->FnContnt->setChecked(false);
        ui_->FnSearch->setEnabled(true);
        wb_->setFocus();
    }
}

void TProhlizecN::ContentChosen(int row)
{
    if (row >= 0 && static_cast<size_t>(row) < page_.contents.size())
        wb_->ScrollToAnchorName(Cp1250ToQString(page_.contents[static_cast<size_t>(row)].anchor));
    Pages_->setCurrentIndex(0);
    ui_->FnContnt->setChecked(false);
    ui_->FnSearch->setEnabled(true);
    wb_->setFocus();
}

void TProhlizecN::FnParagrClick()
{
    const char kind = DocumentKind;
    if (showAll_) {
        std::string chosen = selection_ + (invert_ ? "-" : "+");
        uint8_t requested = requestedSection_;
        const bool ok =
            ViewerHooks().chooseParagraphs && ViewerHooks().chooseParagraphs(kind, chosen, requested);
        if (!ok) {
            UpdateFilterButton();
            return;
        }
        lastChooserResult_ = chosen;
        std::string encoded = EncodeParagraphSet(chosen, kind);
        invert_ = false;
        if (!encoded.empty() && encoded.back() == '-') {
            invert_ = true;
            encoded.pop_back();
        } else if (!encoded.empty() && encoded.back() == '+') {
            encoded.pop_back();
        }
        selection_ = encoded;
        requestedSection_ = requested;
        showAll_ = selection_.empty();
    } else {
        showAll_ = true;
        if (!lastChooserResult_.empty()) {
            // The next viewer of the group opens showing all, the selection kept.
            SwitchOffParagraphSelection('V', kind);
        }
    }
    UpdateFilterButton();
    onResetData();
}

void TProhlizecN::FnSearchClick()
{
    if (SearchPanel_->isVisible()) {
        SearchPanel_->hide();
        wb_->setFocus();
        return;
    }
    SearchPanel_->move(0, 0);
    SearchPanel_->show();
    SearchPanel_->raise();
    SearchEdit_->setFocus();
    SearchEdit_->selectAll();
}

void TProhlizecN::SearchGo()
{
    SearchPanel_->hide();
    wb_->HighlightAll(SearchEdit_->text());
    wb_->setFocus();
}

void TProhlizecN::FnSlaveClick()
{
    if (!Following()) {
        StatCount(Code3("oWF"));
    } else if (pending_ >= 0 && pending_ != current_) {
        current_ = pending_;
        onResetData();
    }
    UpdateSlaveHint();
}

void TProhlizecN::FnPrescClick()
{
    if (ViewerHooks().openRecordViewer)
        ViewerHooks().openRecordViewer(37281, current_, 4);
}

// --- Links and keys ---------------------------------------------------------------

void TProhlizecN::LinkClicked(const QString& url)
{
    if (url.startsWith('#')) {
        wb_->ScrollToAnchorName(url.mid(1));
        return;
    }
    const QString lower = url.toLower();
    if (lower.startsWith("https://") || lower.startsWith("http://") || lower.startsWith("mailto:"))
        ShellOpenTarget(url, {});
    // Anything else would replace the page: ignored.
}

bool TProhlizecN::ShortcutKey(int key, Qt::KeyboardModifiers modifiers)
{
    if ((modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) != Qt::ShiftModifier)
        return false;
    if (key == Qt::Key_F3 || key == Qt::Key_F10) {
        // A second press within about a quarter second is a bounce.
        const auto now = Now();
        const bool tooSoon = now - lastShortcut_ < std::chrono::milliseconds(260);
        lastShortcut_ = now;
        if (tooSoon)
            return true;
    }
    switch (key) {
    case Qt::Key_F2:
        if (ui_->FnPresc->isVisible() && ui_->FnPresc->isEnabled())
            FnPrescClick();
        return true;
    case Qt::Key_F3:
        if (ui_->FnContnt->isEnabled() && ui_->FnContnt->isVisible())
            FnContntClick();
        return true;
    case Qt::Key_F4:
        if (ui_->FnParagr->isEnabled() && ui_->FnParagr->isVisible())
            FnParagrClick();
        return true;
    case Qt::Key_F9:
        if (ui_->FnSearch->isEnabled() && ui_->FnSearch->isVisible())
            FnSearchClick();
        return true;
    case Qt::Key_F10:
        if (ui_->FnSlave->isEnabled()) {
            ui_->FnSlave->toggle();
            FnSlaveClick();
        }
        return true;
    default: return false;
    }
}

bool TProhlizecN::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::ShortcutOverride) {
        if (key->matches(QKeySequence::Copy) && watched != SearchEdit_) {
            event->accept();
            return false;
        }
        return QWidget::eventFilter(watched, event);
    }
    const bool first = !firstKeySeen_;
    firstKeySeen_ = true;
    if (watched == SearchEdit_) {
        if (key->key() == Qt::Key_Escape) {
            SearchPanel_->hide();
            wb_->setFocus();
            return true;
        }
        return false;
    }
    if (watched == Content_ && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        ContentChosen(Content_->currentRow());
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        // Not the first key after activation: it may be the one that closed
        // a dialog over the window.
        if (!first || watched == Content_)
            QTimer::singleShot(0, this, [this] { CloseWindow(); });
        return true;
    }
    if (key->matches(QKeySequence::Copy)) {
        Schrankuj();
        return true;
    }
    if (key->key() == Qt::Key_F5 && key->modifiers() == Qt::NoModifier) {
        // The browser's refresh goes to the main window instead.
        if (TDataForm* main = MainDataForm()) {
            QApplication::postEvent(main->Widget(),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier));
            QApplication::postEvent(main->Widget(),
                                    new QKeyEvent(QEvent::KeyRelease, Qt::Key_F5, Qt::NoModifier));
        }
        return true;
    }
    if (ShortcutKey(key->key(), key->modifiers()))
        return true;
    return QWidget::eventFilter(watched, event);
}

void TProhlizecN::FormActivate()
{
    TDataForm::FormActivate();
    firstKeySeen_ = false;
    wb_->SetInputEnabled(true);
    wb_->setFocus();
}

// --- Layout ---------------------------------------------------------------------

void TProhlizecN::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void TProhlizecN::closeEvent(QCloseEvent* event)
{
    event->accept();
}

void TProhlizecN::FormResize()
{
    const int w = width();
    const int h = height();
    int textHeight = fontMetrics().height();
    int bh = textHeight < 12 ? 17 : textHeight + 5;
    const int bar = bh + 2;
    const char kind = DocumentKind;
    int count = 3;
    if (kind == 'B' || kind == 'K' || kind == 'L')
        count = 4;
    else if (kind == 'S')
        count = 5;
    int bw = 5 * bh;
    if (bw * count > w && count > 0)
        bw = w / count;
    vata_->setGeometry(0, h - bar, w, bar);
    const int tabHeight = TabControl_->isHidden() ? 0 : TabControl_->sizeHint().height();
    TabControl_->setGeometry(0, h - bar - tabHeight, w, tabHeight);
    Pages_->setGeometry(0, 0, w, h - bar - tabHeight);
    const std::string_view noParagr = "12AILMPT";
    const std::string_view contents = "12LPST";
    const std::string_view presc = "BKLS";
    if (kind != 0) {
        if (noParagr.find(kind) != std::string_view::npos)
            ui_->FnParagr->hide();
        if (contents.find(kind) == std::string_view::npos)
            ui_->FnContnt->hide();
        if (presc.find(kind) == std::string_view::npos)
            ui_->FnPresc->hide();
    }
    int x = w;
    for (QToolButton* b : {ui_->FnSlave, ui_->FnSearch, ui_->FnParagr, ui_->FnContnt, ui_->FnPresc,
                           ui_->FnWCon, ui_->FnWPri}) {
        if (b->isHidden())
            continue;
        x -= bw;
        b->setGeometry(x, 1, bw, bh);
    }
    zmena_->setGeometry(14, std::max(0, Pages_->height() - 40), std::max(40, w - 28), 28);
    ui_->zOK->move(zmena_->width() - ui_->zOK->width() - 2, 2);
    zCapt_->resize(zmena_->width() - ui_->zOK->width() - 10, 20);
    ui_->neni1->move(w / 2 - 36, std::max(0, Pages_->height() / 2 - 50));
    ui_->neni2->move(w / 2 + 4, std::max(0, Pages_->height() / 2 - 50));
    neni_->setGeometry(10, Pages_->height() / 2, std::max(10, w - 20), 60);
}

// --- Output ---------------------------------------------------------------------

void TProhlizecN::CountUsage()
{
    StatCount(Kind);
}

bool TProhlizecN::IsEmpty()
{
    if (DocumentKind == 'M' || DocumentKind == 'T')
        return false;
    return TDataForm::IsEmpty() && offset_ < 0;
}

void TProhlizecN::Tisk()
{
    StatCount(Code3("oCP"));
    CountUsage();
    TDataForm::Tisk();
    PrintJob& job = CurrentPrintJob();
    PrintY = wb_->Print(job.Surface(), job.PageWidth(), job.PageHeight(), PrintY, [&job] { job.NewPage(); });
}

void TProhlizecN::Schrankuj()
{
    StatCount(Code3("oCC"));
    CountUsage();
    CopyToClipboard();
}

void TProhlizecN::CopyToClipboard()
{
    QApplication::clipboard()->setMimeData(wb_->SelectionMimeData(true));
}

void TProhlizecN::Exportuj()
{
    StatCount(Code3("oCF"));
    CountUsage();
    TDataForm::Exportuj();
    if (!ExportFile.IsOpen())
        return;
    if (ExportFormat == ExportFormatCode::Text || ExportFormat == ExportFormatCode::Csv) {
        QString text = wb_->PageText();
        text.replace(QChar::Nbsp, QChar(' '));
        text.replace(QChar::LineSeparator, QChar('\n'));
        text.replace(QChar::ObjectReplacementCharacter, QString());
        std::string bytes = QStringToCp1250(text);
        std::string crlf;
        crlf.reserve(bytes.size() + bytes.size() / 20);
        for (char c : bytes) {
            if (c == '\n')
                crlf += "\r\n";
            else
                crlf.push_back(c);
        }
        ExportFile.Write(crlf + "\r\n");
    } else {
        ExportFile.Write(DocumentToRtf(*wb_->document(), ""));
    }
}

// --- Registration -------------------------------------------------------------------

void RegisterRecordViewerFactory()
{
    ViewerServices services = SetViewerServices({});
    services.makeRecordViewer = []() -> RecordViewerWindow* { return new TProhlizecN; };
    SetViewerServices(std::move(services));
}
