#include "viewers/notes_viewer.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/service_hooks.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/commands/product_commands.h"
#include "frame/config/config_file.h"
#include "frame/entry_points.h"
#include "frame/hooks.h"
#include "frame/message_box.h"
#include "frame/pages/vector_icons.h"
#include "frame/windows/dialog_base.h"
#include "frame/windows/style.h"
#include "platform/cp1250.h"
#include "platform/gui/canvas.h"
#include "platform/gui/print_job.h"
#include "ui_notes_viewer.h"

namespace {

constexpr uint32_t kSelectionColour = 0xC8C8C8;
constexpr int kWheelLines = 3;

std::string UiText8(std::string_view section, std::string_view key)
{
    return LookupText(UiTexts, section, key);
}

QString UiQ(std::string_view section, std::string_view key)
{
    return KamToQString(UiText8(section, key));
}

// A drug record by number through a handle that stays open.
bool ReadDrug(int32_t recNo, std::string& record)
{
    static TDbTable drugs;
    if (!drugs.dat.IsOpen() || drugs.dat.folder != DataDir()) {
        OpenTable(drugs, TFileId("kl"), TFileId(""), kKlLayout.Length());
        if (DbStatus != 0 || !drugs.dat.IsOpen()) {
            DbStatus = 0;
            return false;
        }
    }
    if (recNo < 1 || recNo >= drugs.dat.count)
        return false;
    ReadRecord(drugs.dat, recNo, record);
    const bool ok = DbStatus == 0;
    DbStatus = 0;
    return ok;
}

// The editor's text as the set stores it: lines closed by CR LF, control
// characters dropped, and what the data code page cannot carry as "?".
std::string EditorTextToData(const QString& text)
{
    std::string win = QStringToCp1250(text, '?');
    std::string out;
    out.reserve(win.size() + win.size() / 16);
    for (char c : win) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\r\n";
            continue;
        }
        if (u < 32)
            continue;
        const unsigned char kam = WinToKamTable[u];
        out.push_back(KamToWinTable[kam] == u ? static_cast<char>(kam) : '?');
    }
    return out;
}

// The note as the editor shows it: CR ends a line, other control bytes go.
QString DataToEditorText(std::string_view note)
{
    std::string win;
    win.reserve(note.size());
    for (char c : note) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r')
            win.push_back('\n');
        else if (u >= 32)
            win.push_back(static_cast<char>(KamToWinTable[u]));
    }
    if (!win.empty() && win.back() == '\n')
        win.pop_back();
    return Cp1250ToQString(win);
}

// A picture of the program's texts (section "Pict") drawn on the window's
// background: the missing-note pictures are pictures, not icons of the holder.
QPixmap NotePicture(const char* key, int size, const QColor& background)
{
    ImageCanvas canvas(size, size, ColourOfQColor(background));
    DrawPicture(canvas, LookupText(UiTexts, "Pict", key), {0, 0, size, size}, size);
    return QPixmap::fromImage(canvas.Image());
}

} // namespace

TProhlizec::TProhlizec(QWidget* parent)
    : QWidget(parent), TDataForm(this), ui_(std::make_unique<Ui::NotesViewer>())
{
    ui_->setupUi(this);
    ScrollBar1_ = ui_->ScrollBar1;
    Memo1_ = ui_->Memo1;
    neni1_ = ui_->neni1;
    neni2_ = ui_->neni2;
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);

    const ConfigValues settings = Config().Snapshot();
    QFont dialog(Cp1250ToQString(settings.DialogFont.name), settings.DialogFont.size);
    dialog.setBold(true);
    setFont(dialog);
    ui_->FnEdit->setText(UiQ("Prohlizec", "PznUpr"));
    ui_->FnCancel->setText(UiQ("Prohlizec", "PznZrus"));
    TranslateCaptions(this);
    TranslateButtonHints();
    const QColor background = palette().color(QPalette::Window);
    neni1_->setPixmap(NotePicture("NeniA", neni1_->width(), background));
    neni2_->setPixmap(NotePicture("NeniB", neni2_->width(), background));

    // The screen font: L and h over the 256 mapped bytes.
    const QFont text = FontOfSetting(settings.TextFont);
    Memo1_->setFont(text);
    const QFontMetrics fm(text);
    L_ = 1;
    h_ = fm.height();
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        const QString s = b < 32 ? QString() : Cp1250ToQString(std::string_view(&c, 1));
        widths_[static_cast<size_t>(b)] = s.isEmpty() ? 0 : fm.horizontalAdvance(s);
        L_ = std::max(L_, widths_[static_cast<size_t>(b)]);
    }
    h_ = std::max(h_, 1);

    connect(ScrollBar1_, &QScrollBar::valueChanged, this, [this](int) { update(); });
    connect(ui_->FnSlave, &QToolButton::clicked, this, &TProhlizec::FnSlaveClick);
    connect(ui_->FnEdit, &QToolButton::clicked, this, &TProhlizec::FnEditClick);
    connect(ui_->FnCancel, &QToolButton::clicked, this, &TProhlizec::FnCancelClick);
}

TProhlizec::~TProhlizec()
{
    // Our own edit lock goes; a foreign one we went past stays.
    lock_.Drop();
    FormDestroy();
}

QToolButton* TProhlizec::Button(const char* name) const
{
    return findChild<QToolButton*>(QString::fromLatin1(name));
}

bool TProhlizec::Following() const
{
    return ui_->FnSlave->isChecked();
}

void TProhlizec::SetSlaveButton(bool enabled)
{
    ui_->FnSlave->setEnabled(enabled);
}

void TProhlizec::SetTitle(const std::string& title)
{
    title_ = title;
    Title = title;
    UmistiFormular();
}

std::string TProhlizec::NotesBase() const
{
    return base_.empty() ? NotesSetBase() : base_;
}

std::string TProhlizec::NotesName() const
{
    const std::string base = NotesBase();
    const size_t slash = base.find_last_of('/');
    return QStringToKam(QString::fromStdString(base.substr(slash == std::string::npos ? 0 : slash + 1)));
}

bool TProhlizec::IsEmpty()
{
    return note_.state != ShownNote::State::Text;
}

// --- Data ---------------------------------------------------------------------------

void TProhlizec::ResetData(int32_t value)
{
    if (value >= 0) {
        master_ = value;
        // During an edit the new record shows when the edit ends.
        if (Following() && !editing_) {
            record_ = value;
            LoadRecordText();
        }
        return;
    }
    if (Following() && !(editing_ && Memo1_->document()->isModified())) {
        CloseWindow();
        return;
    }
    // An editor holding changes keeps the window: it detaches.
    Master = nullptr;
    ui_->FnSlave->setChecked(false);
    ui_->FnSlave->setEnabled(false);
}

void TProhlizec::FnSlaveClick()
{
    if (Following() && master_ >= 0 && master_ != record_ && !editing_) {
        record_ = master_;
        LoadRecordText();
    }
}

void TProhlizec::SetCaption()
{
    QString caption;
    if (isMinimized())
        caption = KamToQString(recordLine_.substr(std::min<size_t>(6, recordLine_.size()), 8)).toLower();
    else
        caption = KamToQString(title_) + QStringLiteral(" ") + KamToQString(recordLine_);
    setWindowTitle(caption);
}

void TProhlizec::LoadRecordText()
{
    PaintBlocked = false;
    selStart_ = selEnd_ = 0;
    dragging_ = false;
    std::string rec;
    recordLine_ = ReadDrug(record_, rec) ? FormatDrugLine(rec) : std::string();
    SetCaption();
    note_ = ReadShownNote(NotesBase(), record_);
    if (note_.state == ShownNote::State::Busy) {
        // The set is being written: say so in place of the note.
        note_.state = ShownNote::State::Text;
        note_.text = "\r\n" + NotesName() + UiText8("Hlasky", "PznEdt");
    } else if (note_.badLength) {
        note_.text = UiText8("Prohlizec", "BadLen") + "\r\n" + note_.text;
    }
    ui_->FnEdit->show();
    const bool has = note_.state == ShownNote::State::Text;
    neni1_->setVisible(!has);
    neni2_->setVisible(!has);
    ScrollBar1_->setVisible(has);
    // With no note there is nothing to scroll past, and the window keeps
    // following all the same.
    ui_->FnSlave->setVisible(has);
    display_ = has ? BuildNoteDisplay(note_.text) : NoteDisplay{};
    lines_.clear();
    FormResize();
    if (has && display_.firstSection >= 0) {
        const size_t start = display_.sectionStarts[static_cast<size_t>(display_.firstSection)];
        const auto it = std::lower_bound(lines_.begin(), lines_.end(), start);
        ScrollBar1_->setValue(static_cast<int>(it - lines_.begin()));
    } else {
        ScrollBar1_->setValue(0);
    }
    update();
}

// --- Layout and painting -------------------------------------------------------------

int TProhlizec::TextWidth() const
{
    return std::max(1, width() - L_ - ScrollBar1_->width());
}

int TProhlizec::Rows() const
{
    return std::max(1, (height() - ui_->FnSlave->height()) / h_);
}

int TProhlizec::TopLine() const
{
    return ScrollBar1_->value();
}

void TProhlizec::FormResize()
{
    const int buttonH = ui_->FnEdit->height();
    const int areaH = height() - buttonH - 1;
    neni2_->move((width() + neni2_->width() - neni1_->width()) / 2, (height() - neni2_->height()) / 2);
    neni1_->move(neni2_->x() - neni1_->width(), neni2_->y() + 4);
    Memo1_->setGeometry(0, 0, width(), std::max(0, areaH));
    ui_->FnSlave->move(0, height() - buttonH);
    ui_->FnEdit->move(ui_->FnSlave->width() + 2, height() - buttonH);
    ui_->FnCancel->move(ui_->FnEdit->x() + ui_->FnEdit->width() + 2, height() - buttonH);
    ScrollBar1_->setGeometry(width() - ScrollBar1_->width(), 0, ScrollBar1_->width(), std::max(0, areaH));
    if (note_.state != ShownNote::State::Text)
        return;
    // The line at the top stays at the top.
    const size_t topStart =
        lines_.empty()
            ? 0
            : lines_[static_cast<size_t>(std::clamp(TopLine(), 0, static_cast<int>(lines_.size()) - 1))];
    lines_ = WrapDisplayLines(display_.text, TextWidth(), widths_);
    const int range = static_cast<int>(lines_.size()) - Rows() + 2;
    ScrollBar1_->setRange(0, std::max(0, range));
    ScrollBar1_->setPageStep(std::max(1, Rows() - 3));
    if (topStart > 0) {
        const auto it = std::upper_bound(lines_.begin(), lines_.end(), topStart);
        ScrollBar1_->setValue(std::max(0, static_cast<int>(it - lines_.begin()) - 1));
    }
    SetCaption();
}

void TProhlizec::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void TProhlizec::paintEvent(QPaintEvent*)
{
    if (editing_ || note_.state != ShownNote::State::Text)
        return;
    QPainter p(this);
    const QFont font = Memo1_->font();
    p.setFont(font);
    const QFontMetrics fm(font);
    const NoteRange sel = Selection();
    const QColor background = ProgramColour(0);
    const QColor selected(0xC8, 0xC8, 0xC8);
    (void)kSelectionColour;
    const int rows = Rows();
    for (int row = 0; row < rows; ++row) {
        const size_t line = static_cast<size_t>(TopLine() + row);
        if (line >= lines_.size())
            break;
        const size_t start = lines_[line];
        const bool in = HasSelection() && start >= sel.start && start < sel.end;
        const QRect band(0, row * h_, width() - ScrollBar1_->width(), h_);
        p.fillRect(band, in ? selected : background);
        const std::string_view text = DisplayLineText(display_.text, start, TextWidth(), widths_);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(L_, row * h_ + fm.ascent(), Cp1250ToQString(text));
    }
}

// --- Mouse and keys ------------------------------------------------------------------

void TProhlizec::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || editing_ || note_.state != ShownNote::State::Text)
        return;
    const int row = static_cast<int>(event->position().y()) / h_ + TopLine();
    if (row < 0 || row >= static_cast<int>(lines_.size()))
        return;
    selStart_ = selEnd_ = lines_[static_cast<size_t>(row)];
    dragging_ = true;
    SelectTo(static_cast<int>(event->position().y()));
}

void TProhlizec::SelectTo(int y)
{
    const int areaH = Rows() * h_;
    if (y >= areaH)
        ScrollBar1_->setValue(ScrollBar1_->value() + 1);
    else if (y < 0)
        ScrollBar1_->setValue(ScrollBar1_->value() - 1);
    const int row = std::clamp(y, 0, std::max(0, areaH - 1)) / h_ + TopLine();
    const size_t after = static_cast<size_t>(row) + 1;
    selEnd_ = after < lines_.size() ? lines_[after] : display_.text.size();
    update();
}

void TProhlizec::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging_)
        SelectTo(static_cast<int>(event->position().y()));
}

void TProhlizec::mouseReleaseEvent(QMouseEvent* event)
{
    if (!dragging_)
        return;
    SelectTo(static_cast<int>(event->position().y()));
    dragging_ = false;
    if (selStart_ == selEnd_)
        selStart_ = selEnd_ = 0;
}

void TProhlizec::wheelEvent(QWheelEvent* event)
{
    const int notches = event->angleDelta().y() / 120;
    ScrollBar1_->setValue(ScrollBar1_->value() - notches * kWheelLines * ScrollBar1_->singleStep());
}

void TProhlizec::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && !editing_) {
        close();
        return;
    }
    if (!editing_) {
        if (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up || event->key() == Qt::Key_PageDown ||
            event->key() == Qt::Key_PageUp) {
            const int step =
                event->key() == Qt::Key_Down || event->key() == Qt::Key_Up ? 1 : ScrollBar1_->pageStep();
            const int sign = event->key() == Qt::Key_Down || event->key() == Qt::Key_PageDown ? 1 : -1;
            ScrollBar1_->setValue(ScrollBar1_->value() + sign * step);
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void TProhlizec::closeEvent(QCloseEvent* event)
{
    if (editing_ && Memo1_->document()->isModified()) {
        const int answer = AskYesNoCancel(UiText8("Prohlizec", "PznUloz"));
        if (answer == 2 || (answer == 6 && !SaveNote())) {
            event->ignore();
            return;
        }
    }
    lock_.Drop();
    QWidget::closeEvent(event);
}

// --- Output ------------------------------------------------------------------------

void TProhlizec::Tisk()
{
    TDataForm::Tisk();
    PrintJob& job = CurrentPrintJob();
    Canvas& c = job.Surface();
    const ConfigFont font = Config().Read([](const ConfigValues& v) { return v.PrintFont; });
    c.SetFont(CanvasFontOfSetting(font));
    CharWidths widths{};
    for (int b = 32; b < 256; ++b) {
        const char ch = static_cast<char>(b);
        widths[static_cast<size_t>(b)] = c.TextWidth(std::string_view(&ch, 1));
    }
    const int lineH = std::max(1, c.TextHeight("0"));
    for (const PrintLine& line : NotePrintLines(display_, Selection(), job.PageWidth(), widths)) {
        if (PrintY + lineH > job.PageHeight()) {
            job.NewPage();
            PrintY = 0;
        }
        c.TextOut(0, PrintY, line.text);
        PrintY += lineH + (line.gapAfter ? lineH : 0);
    }
}

void TProhlizec::Exportuj()
{
    TDataForm::Exportuj();
    if (!ExportFile.IsOpen())
        return;
    if (ExportFormat == ExportFormatCode::Rtf) {
        ExportFile.Write(NoteRtfBody(display_, Selection()));
        ExportFile.Write("}");
    } else {
        ExportFile.Write(NotePlainText(display_, Selection()));
    }
}

void TProhlizec::Schrankuj()
{
    if (IsEmpty())
        return;
    const ConfigFont font = Config().Read([](const ConfigValues& v) { return v.PrintFont; });
    ClipStart(1);
    ClipCopy(RtfHead(font));
    ClipCopy(NoteRtfBody(display_, Selection()));
    ClipReleaseReserve();
    ClipCopy("}");
    ClipHandOver(NotePlainText(display_, Selection()));
}

// --- Editing -----------------------------------------------------------------------

void TProhlizec::FnEditClick()
{
    if (!editing_) {
        const std::string blocked = UnwritableNotesFile(NotesBase(), ops_ ? *ops_ : RealFileSystem());
        if (!blocked.empty()) {
            ShowError(UiText8("Chyby", "FileSave") + QStringToKam(QString::fromStdString(blocked)));
            ui_->FnEdit->setChecked(false);
            return;
        }
        if (!BeginNoteEdit())
            ui_->FnEdit->setChecked(false);
        return;
    }
    if (!SaveNote())
        ui_->FnEdit->setChecked(true);
}

bool TProhlizec::BeginNoteEdit()
{
    if (record_ < 1)
        return false;
    const std::string base = NotesBase();
    foreignLock_ = false;
    switch (lock_.Take(base)) {
    case NoteEditLock::Result::Taken: break;
    case NoteEditLock::Result::Foreign:
        foreignLock_ = true;
        // OK gives the edit up; Cancel goes on past the other lock.
        if (AskOkCancel(NotesName() + ".NOT" + UiText8("Hlasky", "PznEdt")) == 1)
            return false;
        break;
    case NoteEditLock::Result::Failed:
        ShowError(UiText8("Chyby", "FileSave") + QStringToKam(QString::fromStdString(base + ".SMF")));
        return false;
    }
    const NoteResult r = ReadNoteForEdit(base, record_, &edit_);
    if (r.status != NoteStatus::Ok) {
        lock_.Drop();
        if (r.status == NoteStatus::Busy)
            ShowError(NotesName() + UiText8("Hlasky", "PznEdt"));
        else
            ShowError(UiText8("Chyby", "FileSave") + QStringToKam(QString::fromStdString(r.path)));
        return false;
    }
    if (!edit_.hasNote && AskYesNo(UiText8("Hlasky", "PznExt")) != MessageAnswer::Yes) {
        lock_.Drop();
        return false;
    }
    if (edit_.hasNote)
        Memo1_->setPlainText(DataToEditorText(edit_.text));
    else
        Memo1_->setPlainText(KamToQString("01" + recordLine_));
    Memo1_->document()->setModified(false);
    editing_ = true;
    ui_->FnEdit->setChecked(true);
    Memo1_->show();
    Memo1_->setFocus();
    ui_->FnCancel->show();
    ScrollBar1_->hide();
    neni1_->hide();
    neni2_->hide();
    FormResize();
    return true;
}

bool TProhlizec::SaveNote()
{
    if (!editing_)
        return true;
    if (!Memo1_->document()->isModified()) {
        EndEdit();
        return true;
    }
    const NoteResult r = SaveNoteText(NotesBase(), edit_, EditorTextToData(Memo1_->toPlainText()),
                                      ops_ ? *ops_ : RealFileSystem());
    std::string kept;
    for (const std::string& code : r.kept)
        kept += "\r\n" + UiText8("NotUpNot", "Obs") + code;
    switch (r.status) {
    case NoteStatus::Ok:
        if (!kept.empty())
            ShowMessage(kept.substr(2));
        // Our lock goes first: the marks are not read while a lock exists,
        // and every list would lose its note letters.
        lock_.Drop();
        RequestNoteMarksReload();
        LoadNoteMarks();
        RefreshListMarks();
        EndEdit();
        return true;
    case NoteStatus::NoLink: ShowError(kept.empty() ? UiText8("Hlasky", "PznChg") : kept.substr(2)); break;
    case NoteStatus::Stale: ShowError(UiText8("Hlasky", "PznChg")); break;
    case NoteStatus::Busy: ShowError(NotesName() + UiText8("Hlasky", "PznEdt")); break;
    default: {
        std::string text = UiText8("Chyby", "FileSave") + QStringToKam(QString::fromStdString(r.path));
        if (r.error > 0 && r.error < 1000)
            text += " (" + QStringToKam(QString::fromStdString(SystemErrorText(r.error))) + ")";
        ShowError(text);
        break;
    }
    }
    return false;
}

void TProhlizec::FnCancelClick()
{
    EndEdit();
    RequestNoteMarksReload();
    LoadNoteMarks();
}

void TProhlizec::EndEdit()
{
    editing_ = false;
    ui_->FnEdit->setChecked(false);
    Memo1_->hide();
    Memo1_->clear();
    ui_->FnCancel->hide();
    lock_.Drop();
    foreignLock_ = false;
    edit_ = NoteEditBase{};
    if (Following() && master_ >= 0)
        record_ = master_;
    LoadRecordText();
    setFocus();
}

// --- Registration -------------------------------------------------------------------

void RegisterNotesViewerFactory()
{
    ViewerServices services = SetViewerServices({});
    services.makeNotesViewer = []() -> NotesViewerWindow* { return new TProhlizec; };
    SetViewerServices(std::move(services));
}
