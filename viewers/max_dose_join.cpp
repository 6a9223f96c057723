#include "viewers/max_dose_join.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/service_hooks.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/commands/product_commands.h"
#include "frame/commands/viewer_windows.h"
#include "frame/config/config_file.h"
#include "frame/hooks.h"
#include "frame/message_box.h"
#include "frame/windows/data_form.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/gui/shell.h"
#include "ui_tviz.h"
#include "viewers/max_dose.h"
#include "viewers/viewer_hooks.h"

namespace {

constexpr int kTickMs = 200;

// The progress of the batch goes into the join's log.
class JoinProgress : public MaxDoseProgress {
public:
    explicit JoinProgress(MaxJoin& join) : join_(join) {}
    void Append(const std::string& text) override { join_.Append(text); }
    bool StopRequested() override { return join_.StopRequested(); }

private:
    MaxJoin& join_;
};

QPointer<Tviz>& WindowSlot()
{
    static QPointer<Tviz> window;
    return window;
}

std::string MaxDoseFolder()
{
    return Config().Read([](const ConfigValues& v) { return v.MaximDir; });
}

std::string EditorProgram()
{
    return Config().Read([](const ConfigValues& v) { return v.maximEditor; });
}

} // namespace

// --- The join ----------------------------------------------------------------------

MaxJoin::~MaxJoin()
{
    Stop();
}

bool MaxJoin::Start(const std::string& dataFolder, const std::string& prefix)
{
    if (busy_.exchange(true))
        return false;
    if (worker_.joinable())
        worker_.join();
    stop_ = false;
    SetLog(prefix);
    worker_ = std::thread([this, dataFolder, prefix] {
        std::string result;
        try {
            JoinProgress progress(*this);
            result = RunMaxDoseBatch(dataFolder, prefix, progress);
        } catch (const std::exception& e) {
            result = std::string("fatal: ") + e.what();
        } catch (...) {
            result = "fatal";
        }
        SetLog("Výsledek propojení maximálek:\r" + result);
        busy_ = false; // last: the window may close from here on
    });
    return true;
}

std::string MaxJoin::Log() const
{
    std::lock_guard lock(mutex_);
    return log_;
}

void MaxJoin::SetLog(std::string text)
{
    std::lock_guard lock(mutex_);
    log_ = std::move(text);
}

void MaxJoin::Append(const std::string& text)
{
    std::lock_guard lock(mutex_);
    log_ += text;
    // The log keeps its last lines only.
    constexpr size_t kLimit = 150;
    if (log_.size() > kLimit) {
        const size_t cr = log_.find('\r');
        log_.erase(0, cr == std::string::npos ? 20 : cr + 1);
    }
}

void MaxJoin::Stop()
{
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
}

MaxJoin& TheMaxJoin()
{
    static MaxJoin join;
    return join;
}

// --- The log window ------------------------------------------------------------------

Tviz::Tviz(MaxJoin& join, QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::Tviz>()), join_(join)
{
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    Tikal_ = new QTimer(this);
    Tikal_->setInterval(kTickMs);
    connect(Tikal_, &QTimer::timeout, this, &Tviz::TikalTimer);
    Tikal_->start();
}

Tviz::~Tviz() = default;

QPlainTextEdit* Tviz::Memo() const
{
    return ui_->mm;
}

void Tviz::TikalTimer()
{
    QString text = QString::fromUtf8(join_.Log());
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (ui_->mm->toPlainText() != text)
        ui_->mm->setPlainText(text);
    QWidget* vp = ui_->mm->viewport();
    const bool busy = join_.Busy();
    if (busy && vp->cursor().shape() != Qt::WaitCursor)
        vp->setCursor(Qt::WaitCursor);
    else if (!busy && vp->cursor().shape() == Qt::WaitCursor)
        vp->unsetCursor();
}

void Tviz::closeEvent(QCloseEvent* event)
{
    if (join_.Busy()) {
        event->ignore();
        return;
    }
    Tikal_->stop();
    ui_->mm->clear();
    QDialog::closeEvent(event);
}

void Tviz::reject()
{
    if (!join_.Busy())
        QDialog::reject();
}

Tviz* MaxJoinWindow()
{
    return WindowSlot().data();
}

// --- Commands ------------------------------------------------------------------------

namespace MaxDoseCommands {

void StartMaximJoin()
{
    QPointer<Tviz>& window = WindowSlot();
    MaxJoin& join = TheMaxJoin();
    if (window && join.Busy()) {
        window->raise();
        window->activateWindow();
        return;
    }
    if (!window)
        window = new Tviz(join, MainDataForm() ? MainDataForm()->Widget() : nullptr);
    std::string prefix = MaxDoseFolder();
    const size_t start = prefix.find_first_not_of(' ');
    prefix = start == std::string::npos ? std::string() : prefix.substr(start);
    prefix = prefix.substr(0, prefix.find(' '));
    if (prefix.empty())
        return;
    window->setWindowTitle(QStringLiteral("Maxim propojeni"));
    join.Start(DataDir(), prefix);
    window->TikalTimer();
    window->exec();
}

namespace {

// The drug a window offers: its links of kind 6, the offered ones first.
int32_t WindowDrug(const TDataForm* w)
{
    if (w == nullptr)
        return 0;
    for (int i : {2, 1, 0})
        if (w->LinkKinds[static_cast<size_t>(i)] == LinkKind::Drug &&
            w->LinkValues[static_cast<size_t>(i)] > 0)
            return w->LinkValues[static_cast<size_t>(i)];
    return 0;
}

} // namespace

void ShowMaximalDoses()
{
    TDataForm* active = ActiveDataForm();
    if (active == nullptr || active->IsEmpty())
        return;
    if (!FileExists(MaxDoseFolder() + ".maxim.stx"))
        MaxDoseCommands::StartMaximJoin();
    const int32_t record = WindowDrug(active);
    if (record < 1)
        return;
    TDbTable kl;
    OpenTable(kl, TFileId("kl"), TFileId("klrc"), static_cast<uint16_t>(kKlLayout.Length()));
    const MaxDoseProduct product = DbStatus == 0 ? MaxDoseProductOf(record, kl) : MaxDoseProduct{};
    DbStatus = 0;
    OpenTable(kl, TFileId(), TFileId(), 0);
    // A product of a specific treatment programme: the current product
    // registered under the same number carries the file.
    if (product.counterpart) {
        ShowMessage(LookupText(UiTexts, "Hlasky", "neSoub"));
        for (int i : {2, 1, 0})
            if (active->LinkKinds[static_cast<size_t>(i)] == LinkKind::Drug) {
                active->LinkValues[static_cast<size_t>(i)] = product.record;
                break;
            }
    }
    // Without an SPC there is no document to give the outside editor.
    if (!product.hasDocument)
        return;
    const uint16_t spc = StatCodeOfText("dSP");
    TDataForm* viewer = nullptr;
    if (FindMasterWindow(spc, LinkKind::Drug, viewer) == 0 && viewer != nullptr) {
        if (auto* w = dynamic_cast<RecordViewerWindow*>(viewer))
            w->SetDocument('S', 5);
    }
    OpenRecordViewer(spc, false, 5);
}

void OpenMaxDoseEditor(const std::string& code, const std::string& documentName, const std::string& text,
                       uint16_t documentNumber)
{
    std::string program = EditorProgram();
    program = program.substr(0, program.find('|'));
    if (program.empty() || !FileExists(program))
        return;
    const std::string folder = MaxDoseFolder();
    std::string target;
    const std::string name = FindMaxDoseFileName(folder, code);
    if (!name.empty()) {
        target = MaxDoseFilePath(folder, name);
    } else {
        if (!HasProductCodeMarker(text))
            return;
        MaxDoseRequest request;
        request.codes = DocumentProductCodes(text);
        TDbTable klrc;
        OpenTable(klrc, TFileId("kl"), TFileId("klrc"), static_cast<uint16_t>(kKlLayout.Length()));
        if (DbStatus == 0)
            for (std::string& c : CollectRegCodes(text, klrc))
                request.codes.push_back(std::move(c));
        DbStatus = 0;
        OpenTable(klrc, TFileId(), TFileId(), 0);
        ReadSection10(text, request);
        request.documentNumber = documentNumber;
        target = folder + documentName + ".spx";
        if (int r = WriteFileAtomic(target, RvxmlExport(request))) {
            ShowError(LookupText(UiTexts, "Chyby", "FileSave") +
                      QStringToKam(QString::fromStdString(target)) + " (" + std::to_string(r) + ")");
            return;
        }
    }
    const int started =
        CurrentShell().StartDetached(QString::fromStdString(program), {QString::fromStdString(target)});
    if (started <= 32)
        ShowError(QStringToKam(QString::fromStdString(program)) + ": " + std::to_string(started));
}

} // namespace MaxDoseCommands

void RegisterMaxDoseServices()
{
    using namespace MaxDoseCommands;
    ViewerServices services = SetViewerServices({});
    services.startMaximJoin = [] { MaxDoseCommands::StartMaximJoin(); };
    services.showMaximalDoses = [] { MaxDoseCommands::ShowMaximalDoses(); };
    SetViewerServices(std::move(services));
    ViewerWindowHooks hooks = SetViewerWindowHooks({});
    hooks.openMaxDoseEditor = [](const std::string& code, const std::string& name, const std::string& text,
                                 uint16_t number) {
        MaxDoseCommands::OpenMaxDoseEditor(code, name, text, number);
    };
    SetViewerWindowHooks(std::move(hooks));
}
