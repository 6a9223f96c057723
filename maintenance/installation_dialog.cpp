#include "maintenance/installation_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QFile>
#include <QFontInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTableWidget>

#include <functional>

#include "datastore/kamenici.h"
#include "datastore/manifest.h"
#include "datastore/service_hooks.h"
#include "datastore/tagged_record.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/start/command_line.h"
#include "frame/start/ipc.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/caption_keys.h"
#include "frame/windows/main_form.h"
#include "maintenance/connection_editor.h"
#include "maintenance/data_update.h"
#include "maintenance/net_settings_dialog.h"
#include "maintenance/server_list.h"
#include "maintenance/settings_dialog_support.h"
#include "maintenance/update_lock.h"
#include "maintenance/version_folders.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/gui/clipboard.h"
#include "ui_nastav6.h"

namespace {

constexpr const char* kHelpKeyword = "NaVeKl";
// At most this much of an installer log goes into the memo: its end.
constexpr int64_t kMaxLogBytes = 1 << 20;

std::string WithoutSlash(std::string s)
{
    while (!s.empty() && s.back() == '/')
        s.pop_back();
    return s;
}

// A message in the data code page from a key and a path (UTF-8).
std::string Message(std::string_view section, std::string_view key)
{
    return ProgramText(section, key);
}

// A path (UTF-8) as message text.
std::string KamOfUtf8(const std::string& utf8)
{
    return QStringToKam(QFile::decodeName(QByteArray::fromStdString(utf8)));
}

// A display text (code page 1250) as message text.
std::string KamOfDisplay(std::string text)
{
    WinToKamS(text);
    return text;
}

uint32_t LittleEndian32(const std::string& bytes)
{
    if (bytes.size() < 4)
        return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[static_cast<size_t>(i)]);
    return v;
}

// Paints the grid's cells from their items: buttons, check boxes, bold and
// plain lines.
class CellPainter : public QStyledItemDelegate {
public:
    CellPainter(std::function<std::string(int row, int column)> text, const int* lineHeight,
                const int* buttonHeight, QObject* parent)
        : QStyledItemDelegate(parent), text_(std::move(text)), lineHeight_(lineHeight),
          buttonHeight_(buttonHeight)
    {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (QCoreApplication::closingDown())
            return;
        const QPalette& pal = option.palette;
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        const QRect cell = option.rect;
        painter->save();
        painter->fillRect(cell, selected ? pal.highlight() : pal.base());
        const QColor textColour = selected ? pal.highlightedText().color() : pal.text().color();
        const int lh = *lineHeight_;
        int top = cell.top() + 4;
        const int left = cell.left() + 4;
        bool first = true;
        for (const CellItem& item : CellItems(text_(index.row(), index.column()))) {
            const QString text = Cp1250ToQString(item.text);
            painter->setPen(textColour);
            QFont font = option.font;
            switch (item.form) {
            case CellForm::Button: {
                const int buttonTop = first ? top : top + 3;
                QRect r(QPoint(left, buttonTop), QPoint(cell.right() - 3, cell.bottom() - 3));
                if (r.height() < *buttonHeight_)
                    r.setCoords(r.left(), r.top() - 2, r.right() + 2, cell.bottom() - 1);
                painter->fillRect(r, pal.button());
                painter->setPen(QColor(0xC0, 0xC0, 0xC0));
                painter->drawRect(r.adjusted(0, 0, -1, -1));
                painter->setPen(pal.dark().color());
                painter->drawLine(r.bottomLeft(), r.bottomRight());
                painter->drawLine(r.topRight(), r.bottomRight());
                painter->setPen(QColor(0x01, 0x01, 0x01));
                painter->setFont(font);
                painter->drawText(r, Qt::AlignCenter, text);
                if (selected && !text.isEmpty()) {
                    // The key letter of the action.
                    const QFontMetrics fm(font);
                    const int x = r.center().x() - fm.horizontalAdvance(text) / 2;
                    const int y = r.center().y() + fm.ascent() / 2 + 1;
                    painter->drawLine(x, y, x + fm.horizontalAdvance(text.left(1)), y);
                    painter->drawLine(x, y + 1, x + fm.horizontalAdvance(text.left(1)), y + 1);
                    (void)lh;
                }
                break;
            }
            case CellForm::Box:
            case CellForm::TickedBox: {
                const int side = cell.bottom() - 3 - top;
                const QRect r(left, top, side, side);
                painter->fillRect(r, Qt::white);
                painter->setPen(Qt::black);
                painter->drawRect(r);
                if (item.form == CellForm::TickedBox) {
                    painter->setPen(QPen(Qt::black, 2));
                    const QPoint a(r.left() + 3, r.center().y() + 1);
                    const QPoint b(r.center().x() - 1, r.bottom() - 3);
                    const QPoint c(r.right() - 3, r.top() + 3);
                    painter->drawLine(a, b);
                    painter->drawLine(b, c);
                }
                break;
            }
            case CellForm::Bold:
                font.setBold(true);
                painter->setFont(font);
                painter->drawText(QRect(left + lh, top, cell.right() - left - lh, lh),
                                  Qt::AlignLeft | Qt::AlignTop, text);
                break;
            case CellForm::Plain:
                painter->setFont(font);
                painter->drawText(QRect(left, top, cell.right() - left, lh), Qt::AlignLeft | Qt::AlignTop,
                                  text);
                break;
            }
            top += lh;
            first = false;
        }
        painter->restore();
    }

private:
    std::function<std::string(int, int)> text_;
    const int* lineHeight_;
    const int* buttonHeight_;
};

// Holds back the user's input while a started installer runs.
class InputHold : public QObject {
public:
    InputHold() { QCoreApplication::instance()->installEventFilter(this); }
    ~InputHold() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::Close: return true;
        default: return QObject::eventFilter(watched, event);
        }
    }
};

} // namespace

TNastav6::TNastav6(QWidget* parent)
    : TDlgForm(parent), ui_(std::make_unique<Ui::Nastav6>()), calls_(DefaultConnectionTestCalls())
{
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    for (const char* key : {"tab0", "tab1", "tab2"})
        ui_->Tabs->addTab(UiText(QStringLiteral("vKey"), QString::fromLatin1(key)));
    PrepareDialog();
    settings_dialog::MakeBold({ui_->v0ver, ui_->v2dat, ui_->v2ver});
    const int pixels = std::abs(QFontInfo(font()).pixelSize());
    lineHeight_ = pixels * 7 / 6;
    buttonHeight_ = pixels * 3 / 2;

    editor_ = new ConnectionEditor(ConnectionControlsOf(*ui_), this);

    autoAtOpen_ = Config().Read([](const ConfigValues& v) { return v.AutoUpdateSetting; });
    ui_->c2aut->setChecked((autoAtOpen_ & 1) != 0);
    const std::string base = Base();
    if (!base.empty()) {
        const std::string program = ProgramStart().ProgramFolder;
        if (program.size() > base.size())
            runningFolder_ = WithoutSlash(program.substr(base.size()));
    }

    QTableWidget* t = ui_->Table;
    t->setColumnCount(6);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->hide();
    t->setShowGrid(true);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    t->setItemDelegate(new CellPainter(
        [this](int row, int column) {
            const size_t shown = static_cast<size_t>(row) + 1;
            if (shown >= order_.size())
                return std::string();
            return rows_[static_cast<size_t>(order_[shown])][static_cast<size_t>(column)];
        },
        &lineHeight_, &buttonHeight_, t));
    t->installEventFilter(this);
    connect(t, &QTableWidget::cellClicked, this, &TNastav6::TableClick);
    connect(t, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { savedRows_[CurrentTab()] = row + 1; });

    connect(ui_->Tabs, &QTabBar::currentChanged, this, &TNastav6::TabsChange);
    connect(ui_->b0ver, &QPushButton::clicked, this, &TNastav6::b0verClick);
    connect(ui_->b2act, &QPushButton::clicked, this, &TNastav6::b2actClick);
    connect(ui_->b4test, &QPushButton::clicked, this, &TNastav6::b4testClick);
    connect(ui_->b4mail, &QPushButton::clicked, this, &TNastav6::b4mailClick);
    connect(ui_->c2aut, &QCheckBox::clicked, this, [this] { FillTab(); });
    settings_dialog::WireButtons(
        this, ui_->OKBtn, ui_->CancelBtn, ui_->HelpBtn, [this] { OKBtnClick(); }, kHelpKeyword);
    ui_->Tabs->setCurrentIndex(0);
    FillTab();
}

TNastav6::~TNastav6() = default;

std::string TNastav6::Base() const
{
    return calls_.installBase;
}

std::string TNastav6::DisplayText(const char* section, const char* key) const
{
    return KamToWin(ProgramText(section, key));
}

int TNastav6::CurrentTab() const
{
    return std::clamp(ui_->Tabs->currentIndex(), 0, 2);
}

QTableWidget* TNastav6::Table() const
{
    return ui_->Table;
}

QPlainTextEdit* TNastav6::Memo() const
{
    return ui_->m4test;
}

QLabel* TNastav6::WarningLabel() const
{
    return ui_->t0war;
}

QLabel* TNastav6::CheckResultLabel() const
{
    return ui_->v2ver;
}

std::vector<VersionRow> TNastav6::ShownRows() const
{
    std::vector<VersionRow> out;
    for (int i : order_)
        out.push_back(rows_[static_cast<size_t>(i)]);
    return out;
}

void TNastav6::TabsChange(int)
{
    FillTab();
    if (CurrentTab() == 2)
        ui_->Table->setFocus();
}

void TNastav6::FillTab()
{
    const int tab = CurrentTab();
    const std::string base = Base();
    // Check-now, a finished installer or a deletion may have changed both.
    launcherFolder_ = base.empty() ? std::string() : WithoutSlash(ReadLauncherTarget(base + kLauncherName));
    bestFolder_ = base.empty() ? std::string()
                               : WithoutSlash(FindBestVersionFolderIn(base, ProgramStart().ProgramFolder));
    ui_->Panel0->setVisible(tab == 0);
    ui_->Panel1->setVisible(tab == 1);
    ui_->Table->setVisible(tab == 2);
    if (tab == 0) {
        ui_->v0ver->setText(
            Cp1250ToQString(RunningVersionText(runningFolder_, DisplayText("Klic", "stavK"))));
        const bool older =
            !base.empty() && !bestFolder_.empty() && LauncherIsOlder(launcherFolder_, bestFolder_);
        ui_->t0war->setVisible(older);
        ui_->b0ver->setVisible(older);
        const std::string next = Config().Read([](const ConfigValues& v) { return v.NextCheckDate; });
        ui_->v2dat->setText(QString::fromStdString(NextCheckText(next, ui_->c2aut->isChecked())));
        ui_->v2ver->setText(Cp1250ToQString(updateText_));
    } else if (tab == 2) {
        FillGrid();
    }
}

void TNastav6::FillGrid()
{
    QTableWidget* t = ui_->Table;
    const VersionRowTexts texts{DisplayText("vKey", "verErr"), DisplayText("vKey", "verRun"),
                                DisplayText("vKey", "verNow"), DisplayText("vKey", "verAct"),
                                DisplayText("vKey", "verDel")};
    rows_.assign(1, VersionRow{});
    for (int c = 0; c < 6; ++c)
        rows_[0][static_cast<size_t>(c)] = DisplayText("vKey", ("th2" + std::to_string(c)).c_str());
    for (const VersionFolderInfo& f : ListVersionFolders(Base()))
        rows_.push_back(VersionRowOf(f, runningFolder_, launcherFolder_, texts));
    order_ = SortRows(rows_, 2, true);

    QStringList titles;
    for (const std::string& title : rows_[0])
        titles << Cp1250ToQString(title);
    t->setHorizontalHeaderLabels(titles);
    const int w = t->width() - 25;
    const int c = w / 6;
    for (int col = 0; col < 6; ++col)
        t->setColumnWidth(col, col < 2 ? c - c / 12 : col == 2 ? c + 2 * (c / 12) : c);
    t->verticalHeader()->setDefaultSectionSize(buttonHeight_ + 4);
    const QSignalBlocker quiet(t);
    t->clearContents();
    const int n = static_cast<int>(rows_.size()) - 1;
    t->setRowCount(n);
    for (int r = 0; r < n; ++r) {
        for (int col = 0; col < 6; ++col) {
            const std::string& text =
                rows_[static_cast<size_t>(order_[static_cast<size_t>(r + 1)])][static_cast<size_t>(col)];
            t->setItem(r, col, new QTableWidgetItem(Cp1250ToQString(text)));
        }
    }
    int& saved = savedRows_[2];
    if (saved > n)
        saved = n;
    if (saved < 1)
        saved = 1;
    if (n > 0)
        t->setCurrentCell(saved - 1, 0);
    t->viewport()->update();
}

bool TNastav6::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->Table && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() == 1 && text[0].isLetter() && key->modifiers() == Qt::NoModifier)
            return TableKeyPress(static_cast<char>(text[0].toLatin1()));
    }
    return TDlgForm::eventFilter(watched, event);
}

void TNastav6::TableClick(int row, int column)
{
    savedRows_[CurrentTab()] = row + 1;
    if (CurrentTab() != 2)
        return;
    const size_t shown = static_cast<size_t>(row) + 1;
    if (row < 0 || shown >= order_.size() || column < 0 || column > 5)
        return;
    const VersionRow& cells = rows_[static_cast<size_t>(order_[shown])];
    const GridAction action = ClickAction(column, cells[static_cast<size_t>(column)]);
    if (action == GridAction::None)
        return;
    const std::string name = cells[2];
    if (!FolderExists(Base() + name + "/")) {
        FillTab();
        return;
    }
    switch (action) {
    case GridAction::Start: StartVersion(name); break;
    case GridAction::Delete: DeleteVersion(name, true); break;
    case GridAction::Install: FinishInstallation(name); break;
    case GridAction::None: break;
    }
}

bool TNastav6::TableKeyPress(char key)
{
    if (CurrentTab() != 2)
        return false;
    const int row = ui_->Table->currentRow();
    const size_t shown = static_cast<size_t>(row) + 1;
    if (row < 0 || shown >= order_.size())
        return true;
    const VersionRow cells = rows_[static_cast<size_t>(order_[shown])];
    bool consumed = false;
    const GridAction action = KeyAction(key, cells, &consumed);
    if (action == GridAction::None)
        return consumed;
    if (!FolderExists(Base() + cells[2] + "/")) {
        FillTab();
        return true;
    }
    if (action == GridAction::Start)
        StartVersion(cells[2]);
    else
        DeleteVersion(cells[2], false);
    return true;
}

void TNastav6::StartVersion(const std::string& name)
{
    const int r = ShellOpen(Base() + name + "/" + kProgramFileName, StartArguments(name), false);
    if (r <= 32)
        ShowError(Message("Chyby", "Exec") + std::to_string(r));
}

void TNastav6::DeleteVersion(const std::string& name, bool refillAfterCancel)
{
    if (AskOkCancel(Message("vKey", "qDelV") + name + " ?") == 1) {
        DeleteGuards guards;
        guards.runningFolder = runningFolder_;
        guards.dataFolder = DataDir();
        guards.notesFolder = Config().Read([](const ConfigValues& v) { return v.NotesFolder; });
        const DeleteResult result = DeleteVersionFolder(Base(), name, guards);
        if (result.busy)
            ShowError(Message("Chyby", "eWTime"));
        else if (!result.stayed.empty())
            ShowError(Message("Chyby", "FileDel") + KamOfUtf8(result.stayed));
    } else if (!refillAfterCancel) {
        return;
    }
    FillTab();
}

void TNastav6::LoadInstallerLog(const std::string& path)
{
    // A missing or unreadable log leaves the memo empty; a long one shows its end.
    std::string bytes;
    ReadOnlyFile file;
    if (!IsSymbolicLink(path) && file.Open(path) == 0) {
        const int64_t size = file.Size();
        const int64_t from = size > kMaxLogBytes ? size - kMaxLogBytes : 0;
        bytes.resize(static_cast<size_t>(size - from));
        size_t got = 0;
        if (file.ReadAt(from, bytes.data(), bytes.size(), &got) != 0)
            got = 0;
        bytes.resize(got);
    }
    for (char& ch : bytes) {
        if (ch == '\0')
            ch = ' ';
    }
    ui_->m4test->setPlainText(Cp1250ToQString(bytes));
}

void TNastav6::FinishInstallation(const std::string& name)
{
    const std::string folder = Base() + name + "/";
    const std::string logPath = folder + kInstallerLogName;
    const std::string details = "\r\n\r\n" + Message("vKey", "vrDet") + "\r\n" + KamOfUtf8(logPath);
    LoadInstallerLog(logPath);
    if (!FileExists(ResolveInFolder(folder, kManifestName))) {
        ShowMessage(Message("vKey", "vrEbd") + details);
        return;
    }
    std::string diffs;
    ManifestDiffs(folder, diffs);
    if (!diffs.empty()) {
        ShowMessage(Message("vKey", "vrEai") + "\r\n\r\n" + KamOfUtf8(diffs));
        return;
    }
    if (CanFinishInstallation(name) &&
        AskYesNoCancel(Message("vKey", "vrQs1") + "\r\n" + Message("vKey", "vrQs2")) == 6) {
        const int code = RunAndWait(folder + kProgramFileName, {"/q=inst", "/z", "/y"});
        if (code == 0) {
            FillTab();
            return;
        }
        LoadInstallerLog(logPath);
        ShowMessage(Message("vKey", "vrEsg") + std::to_string(code) + details);
        return;
    }
    ShowMessage(Message("vKey", "vrEbs") + details);
}

int TNastav6::RunAndWait(const std::string& program, const std::vector<std::string>& arguments)
{
    QProcess process;
    QStringList args;
    for (const std::string& a : arguments)
        args << QString::fromStdString(a);
    process.setProgram(QFile::decodeName(QByteArray::fromStdString(program)));
    process.setArguments(args);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QEventLoop loop;
    bool failed = false;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            failed = true;
            loop.quit();
        }
    });
    std::unique_ptr<InputHold> hold;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        hold = std::make_unique<InputHold>();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    process.start();
    if (!failed && process.state() != QProcess::NotRunning)
        loop.exec();
    else if (!failed && process.state() == QProcess::NotRunning && process.error() == QProcess::FailedToStart)
        failed = true;
    if (hold)
        QApplication::restoreOverrideCursor();
    if (failed) {
        std::string line = "\"" + program + "\"";
        for (const std::string& a : arguments)
            line += " " + a;
        ShowError(Message("Chyby", "Exec") + KamOfUtf8(line));
        return 300;
    }
    if (process.exitStatus() == QProcess::CrashExit)
        return 128 + process.exitCode();
    return process.exitCode();
}

void TNastav6::b0verClick()
{
    const std::string base = Base();
    if (base.empty())
        return;
    UpdateLockHold lock;
    if (!lock.Take(base, 0)) {
        ShowError(Message("Chyby", "eWTime"));
        return;
    }
    const std::string best = FindBestVersionFolderIn(base, ProgramStart().ProgramFolder);
    int result = 0;
    if (!best.empty() && IsCompleteVersionFolder(base + WithoutSlash(best) + "/"))
        result = WriteLauncher(base, best);
    lock.Release();
    updates::FindBestVersionFolder();
    FillTab();
    if (result != 0)
        ShowError(Message("Chyby", "FileSave") + KamOfUtf8(base + kLauncherName) + " " +
                  std::to_string(result));
}

void TNastav6::b2actClick()
{
    UpdateSharedValues& u = UpdateShared();
    auto show = [this](std::string text) {
        updateText_ = std::move(text);
        ui_->v2ver->setText(Cp1250ToQString(updateText_));
    };
    int32_t online = 0;
    RunBlockingWork([&] { online = IsOnline(); });
    if (online == 0) {
        show(DisplayText("Chyby", "NetNo"));
        return;
    }
    if (u.serverListFetchStarted.load() && !u.serverListReady.load()) {
        show(DisplayText("Chyby", "eWTime"));
        return;
    }
    u.serverListReady = false;
    u.serverListFetchStarted = false;
    // A message left by the start-up or an earlier check is not this check's.
    u.SetPendingServerMessage(std::string());
    const std::string record = u.InstallationRecord();
    const int edition = static_cast<int>((LittleEndian32(GetTaggedField(record, 1)) >> 16) & 7);
    const uint32_t customer = u.CustomerNumber();
    bool dataNew = false;
    bool programNew = false;
    std::string label;
    std::string freeSpace;
    RunBlockingWork([&] {
        updates::LoadServerList();
        dataNew = updates::PrepareDataUpdate();
        freeSpace = UpdateShared().PendingServerMessage();
        if (!dataNew && freeSpace.empty())
            programNew = updates::FindProgramPackage(edition, customer, false, label);
    });
    if (!freeSpace.empty()) {
        show(freeSpace);
        return;
    }
    if (dataNew) {
        updateText_ = DataPackageText(u.ChosenPackage());
    } else if (programNew) {
        updateText_ = label;
    } else {
        updateText_ = DisplayText("vKey", "kvoAct");
        const std::string pending = u.PendingServerMessage();
        if (!pending.empty())
            updateText_ = pending;
        const std::string status = UpdateStatusText().Get();
        if (!status.empty() && status.back() == '!')
            updateText_ = status;
    }
    FillTab();
    ui_->v2ver->setText(Cp1250ToQString(updateText_));
    std::string message;
    if (dataNew) {
        if (AskOkCancel(Message("vKey", "qInstVer") + KamOfDisplay(updateText_) + " ?") != 1)
            return;
        RunBlockingWork([&] { InstallProgramPackage(message); });
    } else if (programNew) {
        if (AskOkCancel(Message("vKey", "qInstExe") + KamOfDisplay(label) + " ?") != 1)
            return;
        show(DisplayText("vKey", "iInstExe"));
        RunBlockingWork([&] { updates::RunDataUpdate(message); });
        if (message.empty())
            show(DisplayText("Inst", "staU"));
    } else {
        return;
    }
    if (!message.empty())
        ShowError(KamOfDisplay(message));
}

void TNastav6::b4testClick()
{
    editor_->ApplyChangedEdits();
    ui_->m4test->clear();
    ui_->m4test->repaint();
    ConnectionTestCalls calls = calls_;
    calls.logSteps = true;
    if (calls.logFolder.empty() && !calls.installBase.empty())
        calls.logFolder = calls.installBase + "Logs/";
    std::vector<std::string> lines;
    RunBlockingWork([&] { lines = RunInstallFolderTest(calls); });
    ShowMemoLines(ui_->m4test, lines);
}

void TNastav6::b4mailClick()
{
    SetClipboardText(ui_->m4test->toPlainText());
}

void TNastav6::OKBtnClick()
{
    const uint8_t autoNow = AutoUpdateValue(ui_->c2aut->isChecked());
    if (autoNow != autoAtOpen_)
        Config().Update([autoNow](ConfigValues& v) { v.AutoUpdateSetting = autoNow; });
    // The editor saves when the connection changed; a changed automatic
    // check alone is saved here.
    if (!editor_->Confirm(false) && autoNow != autoAtOpen_)
        SaveConfig(true);
    accept();
}

void TNastav6::reject()
{
    editor_->Restore();
    TDlgForm::reject();
}
