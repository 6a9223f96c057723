#include "lists/dialogs/text_search_dialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <mutex>

#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/config/config_file.h"
#include "frame/config/stored_paragraphs.h"
#include "frame/message_box.h"
#include "frame/start/shared_helpers.h"
#include "platform/cp1250.h"
#include "ui_text_set.h"

namespace {

std::mutex& ChooserMutex()
{
    static std::mutex m;
    return m;
}

TextSearchChooser& Chooser()
{
    static TextSearchChooser chooser;
    return chooser;
}

QString UiText(const char* key)
{
    return KamToQString(LookupText(UiTexts, "Text", key));
}

constexpr int kTickMs = 100;

} // namespace

TextSearchChooser SetTextSearchChooser(TextSearchChooser chooser)
{
    std::lock_guard lock(ChooserMutex());
    std::swap(Chooser(), chooser);
    return chooser;
}

TTextSet::TTextSet(bool goods, TextSearchResult* out, QWidget* parent)
    : TDlgForm(parent), ui_(std::make_unique<Ui::TTextSet>()), goods_(goods), out_(out)
{
    ui_->setupUi(this);
    PrepareDialog();
    ui_->Vysledky->hide();
    ui_->Slova->installEventFilter(this);

    if (goods_) {
        letter_ = 'r';
        ui_->KdeA->hide();
        ui_->KdeL->hide();
        ui_->KdeS->hide();
        ui_->KdeC->setChecked(true);
        ui_->KdeC->setEnabled(false);
    } else {
        const int32_t target = Config().Read([](const ConfigValues& v) { return v.TextTarget; });
        QRadioButton* const radios[] = {ui_->KdeC, ui_->KdeA, ui_->KdeL, ui_->KdeS};
        const int t = target >= 0 && target <= 3 ? target : 0;
        radios[t]->setChecked(true);
        letter_ = "kELS"[t];
    }
    if (ParagraphList(letter_).empty())
        LoadParagraphLists();
    if (letter_ == 'L')
        KdeClick('L');
    else
        LoadFilter();

    connect(ui_->OKBtn, &QPushButton::clicked, this, &TTextSet::OKBtnClick);
    connect(ui_->CancelBtn, &QPushButton::clicked, this, &TTextSet::CancelBtnClick);
    connect(ui_->HelpBtn, &QPushButton::clicked, this, &TTextSet::HelpBtnClick);
    connect(ui_->FiltrBtn, &QToolButton::clicked, this, &TTextSet::FiltrBtnClick);
    connect(ui_->KdeC, &QRadioButton::clicked, this, [this] { KdeClick(goods_ ? 'r' : 'k'); });
    connect(ui_->KdeA, &QRadioButton::clicked, this, [this] { KdeClick('E'); });
    connect(ui_->KdeL, &QRadioButton::clicked, this, [this] { KdeClick('L'); });
    connect(ui_->KdeS, &QRadioButton::clicked, this, [this] { KdeClick('S'); });
    connect(ui_->Slova, &QPlainTextEdit::textChanged, this, &TTextSet::SlovaChanged);
    connect(&timer_, &QTimer::timeout, this, &TTextSet::Tick);
    ui_->Slova->setFocus();
    adjustSize();
}

TTextSet::~TTextSet()
{
    if (engine_)
        engine_->Cancel();
}

int TTextSet::GetResult(TextSearchResult& out, bool goods)
{
    out = TextSearchResult{};
    TextSearchResult got;
    if (RunDialog<TTextSet>(goods, &got) != QDialog::Accepted || got.words.count == 0)
        return 0;
    out = std::move(got);
    return static_cast<int>(out.entries.size());
}

// ------------------------------------------------------------------ filter

void TTextSet::LoadFilter()
{
    const std::string selection =
        EncodeParagraphSet(StoredParagraphSelection(kParagraphFilterMode, letter_), letter_);
    QFont font = ui_->FiltrBtn->font();
    if (!selection.empty()) {
        ui_->FiltrBtn->setChecked(true);
        ui_->FiltrBtn->setToolTip(KamToQString(ParagraphSetText(selection, letter_)));
        font.setBold(true);
        ui_->FiltrBtn->setStyleSheet("color: red");
        exclusion_ = selection.back() == '-';
        filter_ = selection.substr(0, selection.size() - 1);
    } else {
        ui_->FiltrBtn->setChecked(false);
        ui_->FiltrBtn->setToolTip(UiText("FiltrH"));
        font.setBold(false);
        ui_->FiltrBtn->setStyleSheet(QString());
        exclusion_ = false;
        filter_.clear();
    }
    ui_->FiltrBtn->setFont(font);
}

void TTextSet::FiltrBtnClick()
{
    if (ui_->FiltrBtn->isChecked()) {
        TextSearchChooser chooser;
        {
            std::lock_guard lock(ChooserMutex());
            chooser = Chooser();
        }
        if (chooser)
            chooser(letter_);
    } else if (!filter_.empty()) {
        // Switched off, kept for the next time.
        SwitchOffParagraphSelection(kParagraphFilterMode, letter_);
    }
    LoadFilter();
}

void TTextSet::KdeClick(char letter)
{
    letter_ = letter;
    if (letter == 'L') {
        ui_->FiltrBtn->setText(UiText("Filtr"));
        ui_->FiltrBtn->setEnabled(false);
        ui_->FiltrBtn->setChecked(false);
        ui_->FiltrBtn->setStyleSheet(QString());
        QFont font = ui_->FiltrBtn->font();
        font.setBold(false);
        ui_->FiltrBtn->setFont(font);
        filter_.clear();
        exclusion_ = false;
        return;
    }
    ui_->FiltrBtn->setEnabled(true);
    LoadFilter();
}

// -------------------------------------------------------------- the words

void TTextSet::SlovaChanged()
{
    if (editing_)
        return;
    // Only characters the data can hold: typed or pasted, the others go.
    const QString text = ui_->Slova->toPlainText();
    QString kept;
    for (QChar c : text) {
        unsigned char b = 0;
        if (c == QChar('\n') || UnicodeToCp1250(c.unicode(), b))
            kept.append(c);
    }
    if (kept == text)
        return;
    editing_ = true;
    QTextCursor cursor = ui_->Slova->textCursor();
    const int position = cursor.position() - static_cast<int>(text.size() - kept.size());
    ui_->Slova->setPlainText(kept);
    cursor = ui_->Slova->textCursor();
    cursor.setPosition(std::max(0, std::min(position, static_cast<int>(kept.size()))));
    ui_->Slova->setTextCursor(cursor);
    editing_ = false;
}

// Enter in the word memo: true when it is swallowed.
bool TTextSet::SlovaEnter()
{
    QStringList lines = ui_->Slova->toPlainText().split('\n');
    const bool emptyLast = !lines.isEmpty() && lines.back().isEmpty();
    if (emptyLast)
        lines.removeLast();
    bool deleted = false;
    for (qsizetype i = lines.size() - 1; i >= 0; --i)
        if (lines[i].size() < 2) {
            lines.removeAt(i);
            deleted = true;
        }
    if (deleted) {
        editing_ = true;
        ui_->Slova->setPlainText(lines.join('\n') + (lines.isEmpty() ? "" : "\n"));
        ui_->Slova->moveCursor(QTextCursor::End);
        editing_ = false;
        previousKey_ = 0;
        return true;
    }
    if (lines.size() >= text_search::kMaxWords || previousKey_ == Qt::Key_Return) {
        ui_->OKBtn->setFocus();
        previousKey_ = 0;
        return true;
    }
    previousKey_ = Qt::Key_Return;
    return false;
}

bool TTextSet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->Slova && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            return SlovaEnter();
        if (key->key() != Qt::Key_Escape)
            previousKey_ = key->key();
    }
    return TDlgForm::eventFilter(watched, event);
}

// ------------------------------------------------------------- the search

void TTextSet::OKBtnClick()
{
    if (expanded_) {
        if (engine_)
            return;
        if (out_) {
            out_->entries = entries_;
            out_->words = words_;
            out_->letter = letter_;
        }
        accept();
        return;
    }
    StartSearch();
}

void TTextSet::StartSearch()
{
    if (!goods_) {
        const int target = ui_->KdeA->isChecked()   ? 1
                           : ui_->KdeL->isChecked() ? 2
                           : ui_->KdeS->isChecked() ? 3
                                                    : 0;
        letter_ = "kELS"[target];
        Config().Update([target](ConfigValues& v) { v.TextTarget = target; });
    }
    filterInUse_ = ui_->FiltrBtn->isChecked() && !filter_.empty();
    words_ = text_search::ParseSearchWords(QStringToCp1250(ui_->Slova->toPlainText()));
    if (words_.count == 0) {
        reject();
        return;
    }
    const text_search::TextSource& source = *text_search::FindTextSource(letter_);
    if (!text_search::OpenTextIndex(table_, DataDir(), source)) {
        ShowError(LookupText(UiTexts, "Chyby", "NoData"));
        reject();
        return;
    }
    text_search::Options options;
    options.path = DataDir() + std::string(source.file) + ".dat";
    options.letter = letter_;
    options.words = words_;
    if (filterInUse_)
        options.filter = text_search::ParagraphFilter::FromSelection(filter_ + (exclusion_ ? "-" : "+"));
    options.labels = text_search::ParagraphLabels(LookupText(UiTexts, "Prohlizec", "Zkr1"),
                                                  LookupText(UiTexts, "Prohlizec", "Zkr2"));
    options.workers = workers_;
    engine_ = std::make_unique<text_search::Engine>(options);
    if (engine_->Start() != 0) {
        engine_.reset();
        ShowError(LookupText(UiTexts, "Chyby", "NoData"));
        reject();
        return;
    }

    expanded_ = true;
    ui_->Vstup->setEnabled(false);
    ui_->OKBtn->hide();
    QStringList counts;
    for (int w = 0; w < words_.count; ++w)
        counts << "   0x";
    ui_->Poc->setPlainText(counts.join('\n'));
    ui_->Ukazky->setPlainText(QString(text_search::kSampleRows - 1, '\n'));
    ui_->Progres->setValue(0);
    ui_->Vysledky->show();
    adjustSize();
    messagesShown_ = 0;
    timer_.start(kTickMs);
}

void TTextSet::Tick()
{
    if (!engine_)
        return;
    const text_search::Progress p = engine_->Snapshot();
    ShowProgress(p);
    if (p.finished)
        FinishSearch();
}

void TTextSet::ShowProgress(const text_search::Progress& p)
{
    ui_->Progres->setValue(p.gauge);
    QStringList counts;
    for (int w = 0; w < words_.count; ++w)
        counts << QString::number(p.counts[static_cast<size_t>(w)]).rightJustified(4) + "x";
    ui_->Poc->setPlainText(counts.join('\n'));
    QStringList samples;
    for (const std::string& s : p.samples)
        samples << KamToQString(s);
    ui_->Ukazky->setPlainText(samples.join('\n'));
    for (; messagesShown_ < p.messages.size(); ++messagesShown_)
        ShowError(p.messages[messagesShown_]);
}

void TTextSet::FinishSearch()
{
    timer_.stop();
    engine_->Wait();
    const text_search::Progress p = engine_->Snapshot();
    ShowProgress(p);
    if (p.tooManyHits)
        ShowMessage(LookupText(UiTexts, "Chyby", "TooMany"));
    std::shared_ptr<const SignListState> signs = SignListSnapshot();
    std::function<bool(int32_t)> marked;
    if (signs && signs->active)
        marked = [signs](int32_t record) { return SignListHas(*signs, record); };
    const text_search::MapResult mapped = text_search::MapHitsToRecords(
        table_, *text_search::FindTextSource(letter_), engine_->Hits(), engine_->Plain(), marked);
    if (mapped.tooMany)
        ShowMessage(LookupText(UiTexts, "Chyby", "TooMany"));
    entries_ = mapped.entries;
    engine_.reset();
    ui_->Progres->setValue(100);
    ui_->OKBtn->show();
    ui_->OKBtn->setFocus();
}

void TTextSet::StopOrClose()
{
    if (engine_) {
        // The workers stop after their current text; what was merged is mapped.
        engine_->Cancel();
        FinishSearch();
        return;
    }
    reject();
}

void TTextSet::CancelBtnClick()
{
    StopOrClose();
}

void TTextSet::HelpBtnClick()
{
    RequestHelp("HleTex");
}

void TTextSet::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (!event->isAutoRepeat())
            StopOrClose();
        event->accept();
        return;
    }
    TDlgForm::keyPressEvent(event);
}

void TTextSet::closeEvent(QCloseEvent* event)
{
    if (engine_) {
        event->ignore();
        StopOrClose();
        return;
    }
    TDlgForm::closeEvent(event);
}
