#include "viewers/viewer_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
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
#include "frame/commands/document_kinds.h"
#include "frame/config/config_file.h"
#include "frame/config/stored_paragraphs.h"
#include "frame/message_box.h"
#include "frame/start/command_line.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/dialog_base.h"
#include "frame/windows/style.h"
#include "lists/dialogs/paragraph_chooser.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/guarded_value.h"
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

// The table starts with the real paragraph chooser.
HookTable<ViewerWindowHooks>& Hooks()
{
    static HookTable<ViewerWindowHooks> table;
    static const bool seeded = [] {
        ViewerWindowHooks h;
        h.chooseParagraphs = RunViewerParagraphChooser;
        table.Set(std::move(h));
        return true;
    }();
    (void)seeded;
    return table;
}

TProhlizecN::Clock& ClockSlot()
{
    static TProhlizecN::Clock clock = [] { return std::chrono::steady_clock::now(); };
    return clock;
}

} // namespace

std::chrono::steady_clock::time_point TProhlizecN::Now()
{
    return ClockSlot()();
}

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
    return Hooks().Set(std::move(hooks));
}

ViewerWindowHooks ViewerHooks()
{
    return Hooks().Get();
}

void TProhlizecN::SetClock(Clock clock)
{
    ClockSlot() = clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); };
}

// --- Helpers ------------------------------------------------------------------

namespace {

QString UiQ(std::string_view section, std::string_view key)
{
    return KamToQString(ProgramText(section, key));
}

// A main-table record by its number, through one handle per table that
// stays open.
bool ReadMainRecord(LinkKind linkKind, int32_t recNo, std::string& record)
{
    static TDbTable drugs, goods, devices;
    TDbTable* t = &drugs;
    const char* id = "kl";
    uint16_t length = kKlLayout.Length();
    if (linkKind == LinkKind::Goods) {
        t = &goods;
        id = "pfa";
        length = kPfaLayout.Length();
    } else if (linkKind == LinkKind::Device) {
        t = &devices;
        id = "pzt";
        length = kPztLayout.Length();
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
    connect(ui_->FnWCon, &QToolButton::clicked, this,
            [this] { Hooks().Call(&ViewerWindowHooks::openProductWebPage, productCode_, std::string()); });
    connect(ui_->FnWPri, &QToolButton::clicked, this, [this] {
        Hooks().Call(&ViewerWindowHooks::openProductWebPage, productCode_, ProgramText("WGra", "ceny"));
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
    const std::string key(DocumentKindOf(DocumentKind).usageKey);
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
    return DocumentKindOf(DocumentKind).textKind;
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
    const InitialFilter initial = DocumentKindOf(kind).filter;
    std::string stored;
    filter_.showAll = false;
    filter_.invert = false;
    filter_.requestedSection = kNoRequestedSection;
    if (initial == InitialFilter::Stored) {
        stored = StoredParagraphSelection('V', kind);
        filter_.requestedSection = StoredParagraphHighlight(kind);
    } else if (initial == InitialFilter::MethodText) {
        stored = std::string(1, '\x03');
    } else if (initial == InitialFilter::SpcSection) {
        filter_.requestedSection = 0x45;
    }
    if (!stored.empty() && static_cast<uint8_t>(stored.back()) == 255) {
        filter_.showAll = true;
        stored.pop_back();
    }
    if (stored.empty())
        filter_.showAll = true;
    filter_.selection = EncodeParagraphSet(stored, kind);
    // The encoded form ends in "+" (the listed ones) or "-" (all others).
    if (!filter_.selection.empty() && filter_.selection.back() == '-') {
        filter_.invert = true;
        filter_.selection.pop_back();
    } else if (!filter_.selection.empty() && filter_.selection.back() == '+') {
        filter_.selection.pop_back();
    }
    if (initial == InitialFilter::Interactions) {
        filter_.selection = kArticleInteractionSections;
        filter_.showAll = false;
        filter_.invert = false;
    } else if (initial == InitialFilter::SpcSection) {
        filter_.showAll = false;
        filter_.invert = false;
    }
    filter_.visibility = ProgramText("Prohlizec", DocumentKindOf(kind).visibilityKey);
    if (filter_.visibility.size() < 90)
        filter_.visibility.clear(); // a missing mask: every section shows
    UpdateFilterButton();
    UpdateSlaveHint();
    UmistiFormular();
}

void TProhlizecN::UpdateFilterButton()
{
    QToolButton* b = ui_->FnParagr;
    QString hint = UiQ("Text", "FiltrH") + " (Shift+F4)";
    if (!filter_.showAll) {
        hint +=
            "\r" + UiQ("Cudl", "srtts") +
            KamToQString(ParagraphSetText(filter_.selection + (filter_.invert ? "-" : "+"), DocumentKind));
        b->setText(UiQ("Text", "Filtr_"));
        b->setStyleSheet("color: red; font-weight: bold;");
    } else {
        b->setText(UiQ("Text", "Filtr"));
        b->setStyleSheet(QString());
    }
    b->setToolTip(hint);
    b->setChecked(!filter_.showAll);
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

void TProhlizecN::CountViewingTime()
{
    const std::string key(DocumentKindOf(DocumentKind).usageKey);
    if (key.empty())
        return;
    const auto now = Now();
    StatCountDuration(Code3(key), std::chrono::duration<double>(now - shownAt_).count() / 86400.0);
    shownAt_ = now;
}

ViewerPageInput TProhlizecN::PageInput() const
{
    const DocumentKindRow& kind = DocumentKindOf(DocumentKind);
    ViewerPageInput in;
    in.kind = DocumentKind;
    in.linkKind = LinkKinds[0] != LinkKind::None ? LinkKinds[0] : LinkKind::Drug;
    if (kind.readsRecord && !ReadMainRecord(in.linkKind, current_, in.record))
        in.record.clear();
    in.recordNumber = current_;
    in.dataFolder = DataDir();
    in.programFolder = WithTrailingSlash(ProgramStart().ProgramFolder);
    in.filter = filter_;
    in.searchTerms = SearchTerms;
    const ConfigFont font = Config().Read([](const ConfigValues& v) { return v.TextFont; });
    in.fontName = font.name;
    in.fontSize = font.size;
    in.requestedParagraph = Hooks().Call(&ViewerWindowHooks::requestedParagraph);
    in.requestedTextSection = Hooks().Call(&ViewerWindowHooks::requestedSection);
    in.online = kind.IsPhoto() && IsOnline() != 0;
    return in;
}

void TProhlizecN::ShowChangeNotice(const std::string& record)
{
    const char letter = DocumentKindOf(DocumentKind).changeLetter;
    const char status = FieldByte(record, kDrugState);
    if (letter == 0 || status == '-' || status == '\\')
        return;
    const int r = Hooks().Call(&ViewerWindowHooks::checkZlpEntry, letter, productCode_);
    if (r != 0) {
        zCapt_->setText(UiQ("Prohlizec", r < 0 ? std::string("zmen0") : "zmen" + std::string(1, letter)));
        zmena_->show();
    }
}

void TProhlizecN::onResetData()
{
    PaintBlocked = false;
    const DocumentKindRow& kind = DocumentKindOf(DocumentKind);
    Timer1_->stop();
    ui_->FnPresc->hide();
    ui_->FnWPri->setVisible(kind.Has(kWebButtons));
    ui_->FnWCon->setVisible(kind.Has(kWebButtons));
    CountViewingTime();
    if (!laidOut_) {
        laidOut_ = true;
        FormResize();
    }
    if (kind.IsPhoto()) {
        ui_->FnContnt->hide();
        ui_->FnParagr->hide();
        ui_->FnSearch->hide();
    }

    const ViewerPageInput in = PageInput();
    ViewerPageOutput out = PrepareViewerPage(in);
    productCode_ = out.productCode;
    titleSuffix_ = out.titleSuffix;
    offset_ = out.missing ? -1 : out.offset;
    docFile_ = out.docFile;
    recordName_ = out.recordName;
    spcLayout_ = out.spcLayout;
    const bool drugRecord = in.linkKind == LinkKind::Drug && !in.record.empty();
    if (drugRecord && kind.link != LinkKind::Device && !productCode_.empty())
        StatCountProduct(productCode_);
    ui_->FnPresc->setVisible(out.prescVisible);
    ui_->FnPresc->setEnabled(out.prescEnabled);
    if (kind.Has(kWebButtons)) {
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
    if (drugRecord)
        ShowChangeNotice(in.record);
    if (!out.errorMessage.empty())
        ShowError(out.errorMessage);
    if (kind.Has(kMaxDoseRequest) && RequestedParagraph == 5 && !out.missing) {
        // The editor starts once: a reset within the tab timer's delay must
        // not start it again.
        Hooks().Call(&ViewerWindowHooks::openMaxDoseEditor, productCode_, recordName_, out.documentText,
                     out.bValue);
        RequestedParagraph = 0;
    }
    if (out.missing) {
        ShowMissing(out.noticeKey);
        return;
    }
    if (kind.filter == InitialFilter::SpcSection)
        filter_ = out.filter;
    if (kind.Composed()) {
        ui_->FnSearch->hide();
        ui_->FnContnt->hide();
    }
    ShowPageAndTabs(std::move(out.page), kind);
}

void TProhlizecN::ShowPageAndTabs(HtmlPage page, const DocumentKindRow& kind)
{
    TabControl_->setVisible(kind.tabs != TabStyle::Hidden);
    ui_->FnContnt->setEnabled(true);
    ui_->FnParagr->setEnabled(true);
    ui_->FnSearch->setEnabled(true);
    ShowPage(std::move(page));

    // Tabs and the first one.
    if (kind.tabs != TabStyle::Named)
        TabControl_->setStyleSheet(
            QString("QTabBar::tab { min-width: %1px; }").arg(fontMetrics().horizontalAdvance("WW") + 10));
    ui_->FnContnt->setEnabled(!page_.contents.empty());
    firstTab_ = page_.firstTab;
    if (RequestedParagraph > 0 && RequestedParagraph < kind.requestedTabLimit)
        firstTab_ = RequestedParagraph;
    if (firstTab_ > 0)
        Timer1_->start();
    if (kind.tabs == TabStyle::Hidden || kind.tabs == TabStyle::Empty) {
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
    if (DocumentKindOf(DocumentKind).Has(kMaxDoseRequest))
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
    switch (DocumentKindOf(DocumentKind).tabUsage) {
    case TabUsage::Chapter: {
        std::string key = "k" + KamFoldUpper(label.substr(0, 2));
        StatCount(Code3(key));
        break;
    }
    case TabUsage::Main:
        if (!label.empty())
            StatCount(Code3(std::string("oM") + label[0]));
        break;
    case TabUsage::Paragraph: {
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
    if (filter_.showAll) {
        std::string chosen = filter_.selection + (filter_.invert ? "-" : "+");
        uint8_t requested = filter_.requestedSection;
        const bool ok = Hooks().Call(&ViewerWindowHooks::chooseParagraphs, kind, chosen, requested);
        if (!ok) {
            UpdateFilterButton();
            return;
        }
        lastChooserResult_ = chosen;
        std::string encoded = EncodeParagraphSet(chosen, kind);
        filter_.invert = false;
        if (!encoded.empty() && encoded.back() == '-') {
            filter_.invert = true;
            encoded.pop_back();
        } else if (!encoded.empty() && encoded.back() == '+') {
            encoded.pop_back();
        }
        filter_.selection = encoded;
        filter_.requestedSection = requested;
        filter_.showAll = filter_.selection.empty();
    } else {
        filter_.showAll = true;
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
    Hooks().Call(&ViewerWindowHooks::openRecordViewer, uint16_t{37281}, current_, int16_t{4});
}

// --- Registration -------------------------------------------------------------------

void RegisterRecordViewerFactory()
{
    ViewerServices services = SetViewerServices({});
    services.makeRecordViewer = []() -> RecordViewerWindow* { return new TProhlizecN; };
    SetViewerServices(std::move(services));
}
