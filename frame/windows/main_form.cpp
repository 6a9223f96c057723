#include "frame/windows/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cassert>
#include <chrono>

#include "datastore/db_table.h"
#include "datastore/device_mark.h"
#include "datastore/kamenici.h"
#include "datastore/language.h"
#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/startup_loader.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/config/placement_scheme.h"
#include "frame/entry_points.h"
#include "frame/hooks.h"
#include "frame/message_box.h"
#include "frame/pages/hint_window.h"
#include "frame/pages/hints.h"
#include "frame/pages/key_map.h"
#include "frame/start/ipc.h"
#include "frame/start/prestart.h"
#include "frame/windows/icon_holder.h"
#include "frame/windows/placement.h"
#include "frame/windows/style.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/guarded_value.h"
#include "platform/gui/http_transfer.h"
#include "platform/main_thread_call.h"
#include "platform/message_sink.h"

namespace {

HookTable<PageHooks>& Hooks()
{
    static HookTable<PageHooks> t;
    return t;
}
PageHooks CurrentHooks()
{
    return Hooks().Get();
}

struct MainValues {
    std::atomic<DataSetCode> dataSet{DataSetCode::Drugs};
    std::atomic<uint16_t> dataParts{DataPart::Always};
    std::mutex mutex;
    std::string versionText;
    std::string fontFolder;
    std::string appDataFolder;
};
MainValues& Values()
{
    static MainValues v;
    return v;
}

std::function<void(int)>& ExitRoutine()
{
    static std::function<void(int)> r;
    return r;
}

void MissingHook(const char* name)
{
    AppendRunLog(std::string(name) + ": nothing registered\r\n");
}

// The display text (code page 1250) of a data code page text.
std::string LastFolderName(std::string path)
{
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ExistsInFolder(const std::string& folder, const char* name)
{
    return FileExists(ResolveInFolder(folder, name));
}

uint8_t MouseButtonBit(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return InputTracker::Left;
    case Qt::RightButton: return InputTracker::Right;
    case Qt::MiddleButton: return InputTracker::Middle;
    default: return 0;
    }
}

// Mouse input on a page surface's bare background goes to the page.
template <class Base>
class PageInput : public Base {
public:
    PageInput(TMainForm* form, QWidget* parent) : Base(parent), form_(form) {}

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        form_->SurfaceMouseDown(e->button(), e->position().toPoint(), e->modifiers());
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        form_->SurfaceMouseUp(e->button(), e->position().toPoint(), e->modifiers());
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        form_->SurfaceMouseMove(e->position().toPoint(), e->modifiers());
    }
    void wheelEvent(QWheelEvent* e) override
    {
        if (form_->SurfaceWheel(e->angleDelta().y(), e->modifiers()))
            e->accept();
        else
            e->ignore();
    }

    TMainForm* form_;
};

// The surface of the program types without MDI: one widget showing the page.
// The first local file of dragged data that exists, empty when none.
QString FirstLocalFile(const QMimeData* mime)
{
    if (mime == nullptr)
        return {};
    for (const QUrl& u : mime->urls())
        if (u.isLocalFile() && QFileInfo(u.toLocalFile()).isFile())
            return u.toLocalFile();
    return {};
}

class PageSurface : public PageInput<QWidget> {
public:
    PageSurface(TMainForm* form, QWidget* parent) : PageInput<QWidget>(form, parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setFocusPolicy(Qt::NoFocus);
        // The duplicity page takes a medication list dropped as a file.
        setAcceptDrops(form->ProgramType == ProgramKind::Duplicity);
    }

protected:
    void paintEvent(QPaintEvent*) override { form_->SurfacePaint(this); }
    void dragEnterEvent(QDragEnterEvent* e) override
    {
        if (FirstLocalFile(e->mimeData()).isEmpty())
            e->ignore();
        else
            e->acceptProposedAction();
    }
    void dropEvent(QDropEvent* e) override
    {
        const QString file = FirstLocalFile(e->mimeData());
        if (file.isEmpty())
            return;
        e->acceptProposedAction();
        form_->SurfaceDropFile(file);
    }
    void resizeEvent(QResizeEvent*) override { form_->FormResize(); }
};

// The MDI client of the normal type: no scroll bars; its bare background is
// the page.
class PageMdiArea : public PageInput<QMdiArea> {
public:
    PageMdiArea(TMainForm* form, QWidget* parent) : PageInput<QMdiArea>(form, parent)
    {
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
        viewport()->setMouseTracking(true);
    }

protected:
    void paintEvent(QPaintEvent*) override { form_->SurfacePaint(viewport()); }
    void resizeEvent(QResizeEvent* e) override
    {
        QMdiArea::resizeEvent(e);
        form_->FormResize();
    }
};

// A colour as the canvas takes it (0x00BBGGRR), resolved the way every
// window of the program resolves its colours.
Colour RgbColour(const QColor& c)
{
    return static_cast<Colour>(c.red()) | (static_cast<Colour>(c.green()) << 8) |
           (static_cast<Colour>(c.blue()) << 16);
}

enum class PageKind { None, Installer, Help, Diagnoses, Duplicity, Start };
// The kind of page the window made (for activation and served requests).
std::atomic<int> g_pageKind{0};

} // namespace

// --- Process-wide values ------------------------------------------------

PageHooks SetPageHooks(PageHooks hooks)
{
    return Hooks().Set(std::move(hooks));
}

uint16_t DataPartsOf(const std::string& dataDir)
{
    static const std::pair<const char*, uint16_t> parts[] = {
        {"kodex.dat", DataPart::Kodex},    {"spc.dat", DataPart::Spc},   {"cvzp.dat", DataPart::Cvzp},
        {"pfa.dat", DataPart::Pfa},        {"pzt.dat", DataPart::Pzt},   {"mkn.dat", DataPart::Mkn},
        {"klnaz.txt", DataPart::KlnazTxt}, {"mkno.dat", DataPart::Mkno},
    };
    uint16_t p = DataPart::Always;
    for (const auto& [name, bit] : parts)
        if (ExistsInFolder(dataDir, name))
            p |= bit;
    return p;
}

DataSetCode CurrentDataSet()
{
    return Values().dataSet;
}
void SetCurrentDataSet(DataSetCode dataSet)
{
    Values().dataSet = dataSet;
}
uint16_t CurrentDataParts()
{
    return Values().dataParts;
}
std::string CurrentVersionText()
{
    std::lock_guard lock(Values().mutex);
    return Values().versionText;
}
std::string FontFolder()
{
    std::lock_guard lock(Values().mutex);
    return Values().fontFolder;
}
std::string AppDataFolder()
{
    std::lock_guard lock(Values().mutex);
    return Values().appDataFolder;
}
char DeviceBlankClassLetter()
{
    return DeviceMarkLetter();
}
SharedText& UpdateStatusText()
{
    static SharedText t;
    return t;
}

bool VersionFolderIsNewer(const std::string& best, const std::string& running)
{
    if (best.empty())
        return false;
    auto part = [](const std::string& s) { return s.size() > 6 ? s.substr(6, 6) : std::string(); };
    return part(best) > part(running);
}

bool NoticeIsNewer(const std::string& notice, const std::string& programVersion)
{
    return notice.substr(0, 5) > programVersion;
}

// --- The window -----------------------------------------------------------

namespace {
std::atomic<int> g_loaderStopBoundMs{2000};
std::atomic<bool> g_timerMaxRequested{false};
} // namespace

void TMainForm::SetLoaderStopBoundMs(int ms)
{
    g_loaderStopBoundMs = ms > 0 ? ms : 2000;
}

void TMainForm::SetExitRoutine(std::function<void(int)> routine)
{
    ExitRoutine() = std::move(routine);
}

TMainForm::TMainForm(MainFormOptions options)
    : QMainWindow(nullptr), TDataForm(this, Role::MainWindow), options_(std::move(options)),
      tracker_(host_.State(), MakeTrackerCalls())
{
    FormCreate();
}

InputTracker::Calls TMainForm::MakeTrackerCalls()
{
    InputTracker::Calls calls;
    calls.send = [this](int32_t code, uint8_t shift) { return Send(code, shift); };
    calls.hideHint = [this] {
        host_.HideHint();
        ::HideHint();
        if (plainHint_)
            plainHint_->hide();
    };
    calls.hintShown = [this] { return host_.State().hintShown; };
    calls.toScreen = [this](Point p) {
        QWidget* surface = Surface();
        const QPoint g = surface ? surface->mapToGlobal(QPoint(p.x, p.y)) : QPoint(p.x, p.y);
        return Point{g.x(), g.y()};
    };
    return calls;
}

TMainForm::~TMainForm()
{
    ShutDown();
}

void TMainForm::FormCreate()
{
    ResumeHandOffs();
    ResumeHttpTransfers();
    const StartValues& s = ProgramStart();
    const EnvLookup env = options_.environment ? options_.environment : EnvLookup(RealEnvironment);
    ProgramType = s.ProgramType;
    setAcceptDrops(false);
    setAttribute(Qt::WA_DeleteOnClose, false);

    // The icons come before the page that copies them.
    ikona_ = std::make_unique<TIkona>();

    FontFolderPath = !s.SharedRoot.empty() && ExistsInFolder(s.SharedRoot, "VEDAVIZO.DID") ? s.SharedRoot
                                                                                           : s.ProgramFolder;
    {
        std::lock_guard lock(Values().mutex);
        Values().fontFolder = FontFolderPath;
    }
    RegisterFonts();
    MarkFilesInUse(s.OwnExecutable);

    LoadStartConfiguration(s, env, options_.screen ? &*options_.screen : nullptr);
    const ConfigValues cfg = Config().Snapshot();
    host_.SetPageFont(CanvasFontOfSetting(cfg.TextFont));

    MessageSink* sink = options_.sink ? options_.sink : &CurrentMessageSink();
    if (!LoadUiTextTable(s, sink)) {
        Terminate(ExitCode::Refused);
        return;
    }
    VersionText = "qevw.exe-" + LookupText(UiTexts, "Uvod", "Ver");

    if (ProgramType != ProgramKind::Help && !ExistsInFolder(DataDir(), ("kalvo." + cfg.LanguageCode).c_str()))
        ProgramType = ProgramKind::Installer;

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setMovable(false);
    addToolBar(toolBar_);
    toolBar_->hide();

    if (ProgramType == ProgramKind::Normal) {
        mdi_ = new PageMdiArea(this, this);
        setCentralWidget(mdi_);
        formColour_ = ColourOfSetting(cfg.ColourTable[ColourIndex::MainBackground]);
        SetMainDataForm(this, mdi_);
    } else {
        plainSurface_ = new PageSurface(this, this);
        setCentralWidget(plainSurface_);
        formColour_ = palette().color(QPalette::Window);
        SetMainDataForm(this, nullptr);
    }

    host_.SetBackground(RgbColour(formColour_));

    timerTik_ = new QTimer(this);
    timerTik_->setTimerType(Qt::PreciseTimer);
    timerTik_->setInterval(20);
    connect(timerTik_, &QTimer::timeout, this, [this] { TimerTikTimer(); });
    timerTik_->start();
    timerMax_ = new QTimer(this);
    timerMax_->setInterval(3000);
    connect(timerMax_, &QTimer::timeout, this, [this] { TimerMaxTimer(); });

    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState st) {
        if (st != Qt::ApplicationActive)
            AppDeactivate();
    });
}

void TMainForm::RegisterFonts()
{
    for (const char* name : {"VEDAVIZO.DID", "TARELFIX.FON"}) {
        const std::string path = ResolveInFolder(FontFolderPath, name);
        if (!FileExists(path)) {
            AppendRunLog(std::string("Font ") + FontFolderPath + name + " missing\r\n");
            continue;
        }
        const int id = QFontDatabase::addApplicationFont(QString::fromStdString(path));
        if (id < 0) {
            AppendRunLog("Font " + path + " not loadable, skipped\r\n");
            continue;
        }
        fontIds_.push_back(id);
        fontPaths_.push_back(path);
    }
    // The configured families name fonts of another platform; map them to
    // one font every installation has, so measures stay the same.
    for (const char* family : {"Tarel Pro CE", "Tarel Pro", "Arial CE"})
        QFont::insertSubstitution(QString::fromLatin1(family), QStringLiteral("DejaVu Sans"));
}

void TMainForm::MarkFilesInUse(const std::string& program)
{
    std::vector<std::string> paths = fontPaths_;
    if (!program.empty())
        paths.push_back(program);
    if (!DataDir().empty())
        paths.push_back(ResolveInFolder(DataDir(), "kl.dat"));
    for (const std::string& path : paths) {
        auto lock = std::make_unique<FileLock>();
        if (lock->Take(path, false, 0) == 0)
            inUseMarks_.push_back(std::move(lock));
    }
}

QWidget* TMainForm::Surface() const
{
    if (mdi_)
        return mdi_->viewport();
    return plainSurface_;
}

void TMainForm::Terminate(int code)
{
    terminated_ = true;
    exitCode_ = code;
    if (inEventLoop_) {
        if (ExitRoutine())
            ExitRoutine()(code);
        else
            QCoreApplication::exit(code);
    }
}

void TMainForm::Start()
{
    if (!terminated_)
        FormStart();
    inEventLoop_ = true;
}

void TMainForm::FormStart()
{
    if (started_ || terminated_)
        return;
    started_ = true;
    const StartValues& s = ProgramStart();

    // 2: the key hook, then the base (clears Starting).
    qApp->installEventFilter(this);
    TDataForm::FormStart();

    // 3-5: the hand-over.
    DataParts = DataPart::Always;
    if (options_.handOver) {
        const uint8_t newWindow = Config().Read([](const ConfigValues& v) { return v.newWindowOption; });
        StartValues copy = s;
        copy.ProgramType = ProgramType;
        const HandOverResult h = StartHandOver(copy, newWindow);
        if (h.taken) {
            Terminate(ExitCode::Normal);
            return;
        }
        DataSet = h.dataSet;
    } else {
        DataSet = ProgramType == ProgramKind::Normal ? DataSetOfOptions(s.Options) : DataSetCode::Drugs;
    }

    // 6: the main table and its format.
    if (ProgramType == ProgramKind::Normal || ProgramType == ProgramKind::Diagnoses ||
        ProgramType == ProgramKind::Duplicity || ProgramType == ProgramKind::Diagnoses2 ||
        ProgramType == ProgramKind::Help2)
        CheckMainTable();

    // 7: the newest version folder.
    if (ProgramType == ProgramKind::Installer || ProgramType == ProgramKind::Normal ||
        ProgramType == ProgramKind::Duplicity) {
        FindBestVersionFolder();
        const std::string best = UpdateShared().BestVersionFolder();
        if (VersionFolderIsNewer(best, LastFolderName(s.ProgramFolder)))
            UpdateStatusText().Set(KamToWin(LookupText(UiTexts, "Inst", "newVer")) + best);
    }

    // 8: the data texts and the caption.
    if (ProgramType != ProgramKind::Installer && !LoadDataTexts())
        return;
    std::string caption;
    if (GetTextEntry(DataTexts, "Verze", "Nadpis", caption) != 0)
        setWindowTitle(KamToQString(caption));
    else
        setWindowTitle(QString::fromLatin1(kProgramCaption));

    // 9: the data parts and the filter flags.
    if (DataSet != DataSetCode::None) {
        DataParts = DataPartsOf(DataDir());
        Config().Update([](ConfigValues& v) { v.FilterFlags &= 0xFFC; });
    }
    Values().dataSet = DataSet;
    Values().dataParts = DataParts;
    {
        std::lock_guard lock(Values().mutex);
        Values().versionText = VersionText;
    }

    // 10: placement.
    const QRect r = MainWindowRect(ProgramType, this, SampleWidth());
    if (r.isValid()) {
        move(r.topLeft());
        resize(r.size());
    }

    // 11: menu and toolbar of the normal type.
    const ConfigValues cfg = Config().Snapshot();
    if (ProgramType == ProgramKind::Normal) {
        if (cfg.maximize)
            setWindowState(windowState() | Qt::WindowMaximized);
        TranslateButtonHints();
        BuildMainMenu(this, DataSet);
        LayoutToolbar(toolBar_, DataSet);
        toolBar_->setVisible(cfg.ToolbarVisible);
    }

    // 12: the hint windows.
    hint_ = new TMyHintWindow(this);
    hint_->SetHintFont(FontOfSetting(cfg.DialogFont));
    SetSharedHintWindow(hint_);
    host_.State().hintWindow = hint_;
    plainHint_ = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
    plainHint_->setAutoFillBackground(true);
    plainHint_->setBackgroundRole(QPalette::ToolTipBase);
    plainHint_->setForegroundRole(QPalette::ToolTipText);

    // 13: publish.
    PublishProgramType(ProgramType);
    PublishDataSet(DataSet);
    SetStoredQueryHandler([this](const std::string& q) { ServeStoredQuery(q); });
    SetBringToFrontHandler([this] { BringToFront(); });
    {
        LanguageHooks language = CurrentLanguageHooks();
        language.refreshWindow = [this] { LanguageChanged(); };
        SetLanguageHooks(std::move(language));
    }

    // 14: a pending notice (a declined program package: its version, "|",
    // its label) older than this program is dropped.
    UpdateShared().SetStartPageNotice(Config().Read([](const ConfigValues& v) { return v.DeclinedPackage; }));
    const std::string notice = UpdateShared().StartPageNotice();
    if (!notice.empty() && !NoticeIsNewer(notice, LookupText(UiTexts, "Uvod", "Ver")))
        UpdateShared().SetStartPageNotice(std::string());

    // 15: the application-data folder.
    const EnvLookup env = options_.environment ? options_.environment : EnvLookup(RealEnvironment);
    std::string appData = env("APPDATA");
    if (appData.empty()) {
        appData = env("XDG_CONFIG_HOME");
        if (appData.empty())
            appData = env("HOME").empty() ? std::string() : WithTrailingSlash(env("HOME")) + ".config";
    }
    AppDataFolderPath = appData.empty() ? std::string() : WithTrailingSlash(appData);
    {
        std::lock_guard lock(Values().mutex);
        Values().appDataFolder = AppDataFolderPath;
    }

    // 16: the page.
    CreatePage();
    if (terminated_)
        return;

    // 17: painting may start; lay the page out for the real client size.
    StatusText = "startuji";
    PaintBlocked = false;
    FormResize();

    // 18: a macro file.
    if (HasOption("j", s.Options))
        LoadMacroFile(GetOption("j", s.Options));
}

void TMainForm::CheckMainTable()
{
    // The record length tells a data folder of another version.
    const TableLayout* table = &kKlLayout;
    const char* key = "klkod";
    if (DataSet == DataSetCode::Goods) {
        table = &kPfaLayout, key = "pfakod";
    } else if (DataSet == DataSetCode::Devices) {
        table = &kPztLayout, key = "pztkod";
    }
    const int format = table->Length();
    // A missing or damaged table is no "DB Error" here: the start goes on in
    // installer mode.
    const TDbErrorHook previous = ThreadDbErrorHook;
    ThreadDbErrorHook = +[](const TFileId&, int32_t, uint16_t) {};
    TDbTable t;
    DbStatus = 0;
    OpenTable(t, TFileId(table->id), TFileId(key), 0);
    const int32_t status = DbStatus;
    const int length = t.RecordLength();
    OpenTable(t, TFileId(), TFileId(), 0);
    ThreadDbErrorHook = previous;
    DbStatus = 0;
    bool installer = status != 0;
    if (!installer && length != format) {
        ShowMessage(LookupText(UiTexts, "Chyby", "DbVer"));
        installer = true;
    }
    if (installer) {
        DataSet = DataSetCode::None;
        DataParts = 0;
        ProgramType = ProgramKind::Installer;
    }
}

bool TMainForm::LoadDataTexts()
{
    const std::string lang = Config().Read([](const ConfigValues& v) { return v.LanguageCode; });
    const std::string file = DataDir() + "kalvo." + lang;
    const uint16_t r = LoadTextTable(DataTexts, file);
    if (r < TextTableResult::FirstSuccess) {
        if (ProgramType == ProgramKind::Help)
            return true;
        const std::string text = "Unable to read \"" + file + "\":" + std::to_string(r);
        std::fprintf(stderr, "%s\n", text.c_str());
        MessageRequest m;
        m.icon = MessageIcon::Error;
        m.buttons = MessageButtons::Ok;
        m.caption = QString::fromLatin1(kProgramCaption);
        m.text = QString::fromStdString(text);
        (options_.sink ? *options_.sink : CurrentMessageSink()).Show(m);
        Terminate(ExitCode::Refused);
        return false;
    }
    VersionText += "-" + LookupText(DataTexts, "Verze", "Cislo");
    if (VersionText.size() > 127)
        VersionText.resize(127);
    LoadDeviceMarkLetter();
    return true;
}

void TMainForm::CreatePage()
{
    const PageHooks hooks = CurrentHooks();
    QWidget* surface = Surface();
    const int w = surface ? surface->width() : 0;
    const int h = surface ? surface->height() : 0;
    const PageContext ctx{host_.State(), host_.BackBuffer(), w, h, this};
    auto base = [&](const char* name) {
        MissingHook(name);
        return std::make_unique<TPraded>(host_.State(), host_.BackBuffer(), w, h);
    };
    std::unique_ptr<TPraded> page;
    PageKind kind = PageKind::None;
    switch (ProgramType) {
    case ProgramKind::Installer:
        if (HasStartInstallerMode() && !StartInstallerMode()) {
            Terminate(ExitCode::Refused);
            return;
        }
        if (!HasStartInstallerMode())
            MissingHook("StartInstallerMode");
        page = hooks.makeInstWin ? hooks.makeInstWin(ctx) : base("TInstWin");
        kind = PageKind::Installer;
        break;
    case ProgramKind::Help:
    case ProgramKind::Help2: {
        const char mode = ProgramType == ProgramKind::Help ? '?' : 'D';
        page = hooks.makeHlpWin ? hooks.makeHlpWin(ctx, mode) : base("THlpWin");
        kind = PageKind::Help;
        break;
    }
    case ProgramKind::Diagnoses:
    case ProgramKind::Diagnoses2: {
        const int variant = ProgramType == ProgramKind::Diagnoses ? 0 : 1;
        page = hooks.makeMknWin ? hooks.makeMknWin(ctx, variant) : base("TMknWin");
        kind = PageKind::Diagnoses;
        break;
    }
    case ProgramKind::Duplicity:
        page = hooks.makeDuplicity ? hooks.makeDuplicity(ctx) : base("TDuplicity");
        kind = PageKind::Duplicity;
        break;
    case ProgramKind::Normal:
        RefreshMenus(ActiveDataForm());
        ComposeStartPageNotice();
        page = hooks.makePrazdno ? hooks.makePrazdno(ctx) : base("TPrazdno");
        kind = PageKind::Start;
        break;
    default: break; // the calculator mode has no page
    }
    g_pageKind = static_cast<int>(kind);
    if (page)
        SetPage(std::move(page));
    if (ProgramType == ProgramKind::Normal || ProgramType == ProgramKind::Duplicity) {
        StartBackgroundLoader();
        loaderStarted_ = true;
    }
}

void TMainForm::SetPage(std::unique_ptr<TPraded> page)
{
    std::lock_guard lock(canvasLock_);
    host_.SetPage(std::move(page));
    tracker_.Reset();
}

int32_t TMainForm::Send(int32_t code, uint8_t shift)
{
    if (!host_.Page())
        return code;
    return host_.SendEvent(code, shift);
}

// --- Painting ---------------------------------------------------------------

void TMainForm::FormResize()
{
    QWidget* surface = Surface();
    if (PaintBlocked || surface == nullptr)
        return;
    if (!canvasLock_.try_lock())
        return;
    host_.Resize(surface->width(), surface->height());
    canvasLock_.unlock();
    PaintDeferred = true;
    surface->update();
}

void TMainForm::FormPaint()
{
    if (PaintBlocked) {
        PaintDeferred = true;
        return;
    }
    QWidget* surface = Surface();
    if (host_.Page() != nullptr) {
        if (!canvasLock_.try_lock())
            return;
        host_.PaintNow();
        canvasLock_.unlock();
    }
    PaintDeferred = false;
    if (surface == nullptr)
        return;
    if (isVisible())
        surface->repaint();
    if (!firstFrameReported_ && isVisible() && onFirstFrame) {
        firstFrameReported_ = true;
        QTimer::singleShot(0, this, [this] {
            if (onFirstFrame)
                onFirstFrame();
        });
    }
}

void TMainForm::SurfacePaint(QWidget* surface)
{
    QPainter p(surface);
    std::unique_lock lock(canvasLock_, std::try_to_lock);
    const QImage* image = nullptr;
    if (lock.owns_lock() && host_.BackBuffer().Width() > 0)
        image = &host_.BackBuffer().Image();
    if (image != nullptr) {
        p.drawImage(0, 0, *image);
        // Outside the buffer (a resize not yet done) the form's colour.
        if (image->width() < surface->width() || image->height() < surface->height()) {
            const QColor c = formColour_;
            p.fillRect(QRect(image->width(), 0, surface->width(), surface->height()), c);
            p.fillRect(QRect(0, image->height(), surface->width(), surface->height()), c);
        }
    } else {
        p.fillRect(surface->rect(), formColour_);
    }
}

// --- Timers -------------------------------------------------------------------

void TMainForm::TimerTikTimer()
{
    const bool wanted = timerMaxWanted_.exchange(false) | g_timerMaxRequested.exchange(false);
    if (wanted && timerMax_ && !timerMax_->isActive())
        timerMax_->start();
    if (PaintBlocked)
        return;
    MacroStep();
    PageState& st = host_.State();
    st.tick += 1;
    tracker_.Tick();
    TPraded* page = host_.Page();
    bool paint = false;
    if (st.tick % 2 == 1) {
        if (page)
            page->Tick();
    } else {
        paint = (page && page->repaint) || PaintDeferred;
    }
    if (paint)
        FormPaint();
}

void TMainForm::RequestTimerMax()
{
    timerMaxWanted_ = true;
}

void EnableMaximTimer()
{
    g_timerMaxRequested = true;
}

void TMainForm::TimerMaxTimer()
{
    if (DataSet == DataSetCode::None)
        return;
    const std::string prefix = Config().Read([](const ConfigValues& v) { return v.MaximDir; });
    // A prefix ending in "/" keeps its list inside that folder.
    if (prefix.empty())
        return;
    const size_t slash = prefix.rfind('/');
    if (slash != std::string::npos && !FolderExists(prefix.substr(0, slash + 1)))
        return;
    int64_t age = 0;
    if (!ModifiedTime(prefix + ".maxim.stx", &age))
        return;
    if (age <= maximAge_)
        return;
    maximAge_ = age;
    if (!ReloadMaximList()) {
        maximAge_ = 0;
        return;
    }
    RefreshListMarks();
}

// --- Commands -------------------------------------------------------------

void TMainForm::ServeStoredQuery(const std::string& query)
{
    WaitLoaderGate();
    const PageHooks hooks = CurrentHooks();
    TPraded* page = host_.Page();
    const uint8_t type = PublishedProgramType();
    // Announced before serving: serving may open a modal box that waits for the user.
    if (onServed)
        onServed(query);
    auto call = [&](const auto& hook, const char* name, const std::string& arg) {
        if (hook && page)
            hook(page, arg);
        else
            MissingHook(name);
    };
    switch (type) {
    case ProgramKind::Help:
    case ProgramKind::Help2:
        call(hooks.goToTopic, "GoToTopic", GetOption("1", query));
        if (page)
            page->repaint = true;
        break;
    case ProgramKind::Diagnoses:
    case ProgramKind::Diagnoses2:
        call(hooks.goToCode, "GoToCode", GetOption("1", query));
        if (page)
            page->repaint = true;
        break;
    case ProgramKind::Normal:
        if (HasOption("b", query)) {
            call(hooks.openPassedList, "OpenPassedList", query);
        } else {
            if (!HasOpenRequestedItem())
                MissingHook("OpenRequestedItem");
            OpenRequestedItem(query);
        }
        break;
    case ProgramKind::Duplicity:
        if (HasOption("b", query))
            call(hooks.loadListFromSource, "LoadListFromSource", GetOption("b", query));
        else
            call(hooks.loadListFromText, "LoadListFromText", query);
        break;
    default: break;
    }
    AppendRunLog("Served: " + query + "\r\n");
    if (type != ProgramKind::Installer)
        BringToFront();
}

void TMainForm::LanguageChanged()
{
    assert(IsMainThread());
    if (ProgramType == ProgramKind::Normal) {
        TranslateButtonHints();
        menuBar()->clear();
        BuildMainMenu(this, DataSet);
        RefreshMenus(ActiveDataForm());
    }
    // The program's own name in every language.
    setWindowTitle(QString::fromLatin1(kProgramCaption));
    QGuiApplication::setApplicationDisplayName(QString::fromLatin1(kProgramCaption));
    BringToFront();
}

void TMainForm::SurfaceDropFile(const QString& path)
{
    const PageHooks hooks = CurrentHooks();
    TPraded* page = host_.Page();
    if (ProgramType != ProgramKind::Duplicity || page == nullptr || !hooks.loadListFromSource)
        return;
    hooks.loadListFromSource(page, QStringToCp1250(path));
}

void TMainForm::BringToFront()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

// --- Activation -----------------------------------------------------------

void TMainForm::FormActivate()
{
    TDataForm::FormActivate();
    if (activatedOnce_ || host_.Page() == nullptr)
        return;
    activatedOnce_ = true;
    const PageHooks hooks = CurrentHooks();
    const std::string first = GetOption("1", ProgramStart().Positionals);
    const auto kind = static_cast<PageKind>(g_pageKind.load());
    if (kind == PageKind::Diagnoses) {
        if (hooks.goToCode)
            hooks.goToCode(host_.Page(), first.empty() ? "ZaDTCa" : first);
        else
            MissingHook("GoToCode");
    } else if (kind == PageKind::Help) {
        if (hooks.goToTopic)
            hooks.goToTopic(host_.Page(), first.empty() ? "Obsah_" : first);
        else
            MissingHook("GoToTopic");
    }
}

void TMainForm::AppDeactivate()
{
    host_.HideHint();
    ::HideHint();
    if (plainHint_)
        plainHint_->hide();
    DropListRowHints();
}

void TMainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && started_)
        FormActivate();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownOnce_)
        StatusText = "po startu";
    shownOnce_ = true;
}

// --- Input ------------------------------------------------------------------

void TMainForm::SurfaceMouseDown(Qt::MouseButton button, QPoint point, Qt::KeyboardModifiers modifiers)
{
    const uint8_t bit = MouseButtonBit(button);
    if (bit == 0 || PaintBlocked)
        return;
    tracker_.MouseDown(bit, Point{point.x(), point.y()}, ShiftFlagsOf(modifiers));
}

void TMainForm::SurfaceMouseUp(Qt::MouseButton button, QPoint point, Qt::KeyboardModifiers modifiers)
{
    const uint8_t bit = MouseButtonBit(button);
    if (bit == 0 || PaintBlocked)
        return;
    tracker_.MouseUp(bit, Point{point.x(), point.y()}, ShiftFlagsOf(modifiers));
}

void TMainForm::SurfaceMouseMove(QPoint point, Qt::KeyboardModifiers modifiers)
{
    if (PaintBlocked)
        return;
    tracker_.MouseMove(Point{point.x(), point.y()}, ShiftFlagsOf(modifiers));
}

bool TMainForm::SurfaceWheel(int angleDelta, Qt::KeyboardModifiers modifiers)
{
    if (PaintBlocked || host_.Page() == nullptr)
        return false;
    return tracker_.Wheel(angleDelta, ShiftFlagsOf(modifiers));
}

bool TMainForm::RouteKey(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text)
{
    if (InputBusy.load() || host_.Page() == nullptr || PaintBlocked)
        return false;
    const uint8_t shift = ShiftFlagsOf(modifiers);
    const int32_t vk = VirtualKeyOfQtKey(qtKey);
    if (vk != 0 && PageKey::IsForwarded(vk) && Send(vk, shift) != vk)
        return true;
    const int32_t ch = TypedCharacterOf(qtKey, modifiers, text);
    if (ch == 0)
        return false;
    if (Send(ch, PageShift::Typed) != ch)
        return true;
    return Send(ch, shift) != ch;
}

bool TMainForm::KeyHookApplies(QObject* watched) const
{
    if (!watched->isWidgetType())
        return false;
    if (QApplication::activeModalWidget() != nullptr || QApplication::activePopupWidget() != nullptr)
        return false;
    if (QApplication::activeWindow() != this)
        return false;
    // Qt hands one key press to the focus widget and then to its parents;
    // only the first delivery counts.
    QWidget* focus = QApplication::focusWidget();
    return watched == (focus != nullptr ? focus : static_cast<const QObject*>(this));
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && KeyHookApplies(watched)) {
        auto* ke = static_cast<QKeyEvent*>(event);
        if (RouteKey(ke->key(), ke->modifiers(), ke->text())) {
            ke->accept();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Closing ------------------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void TMainForm::FormClose()
{
    setAcceptDrops(false);
    EndPrintJob();
    PaintBlocked = true;
    AppDeactivate();
}

void TMainForm::ShutDown()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    PaintBlocked = true;
    if (timerTik_)
        timerTik_->stop();
    if (timerMax_)
        timerMax_->stop();
    qApp->removeEventFilter(this);
    SetStoredQueryHandler({});
    SetBringToFrontHandler({});
    {
        LanguageHooks language = CurrentLanguageHooks();
        language.refreshWindow = nullptr;
        SetLanguageHooks(std::move(language));
    }

    // The loader may wait for this thread (a hand-off) or be inside a long
    // call: ask it to stop, let its waits end, and free what it reads only
    // once it has ended.
    bool ended = true;
    if (loaderStarted_) {
        RequestBackgroundLoaderStop();
        ReleaseHandOffs();
        StopHttpTransfers();
        ended = WaitBackgroundLoaderEnd(g_loaderStopBoundMs.load());
        if (!ended)
            AppendRunLog("Background loader still running at shut-down; its tables stay\r\n");
    }
    for (int id : fontIds_)
        QFontDatabase::removeApplicationFont(id);
    fontIds_.clear();
    if (ended) {
        FreeRunTables();
        FreeTextTable(DataTexts);
    }
    {
        std::lock_guard lock(canvasLock_);
        host_.ClearPage();
    }
    host_.State().hintWindow = nullptr;
    SetSharedHintWindow(nullptr);

    // The usage counters of a normal run that got as far as its page.
    if (ProgramType == ProgramKind::Normal && started_ && !terminated_) {
        const uint16_t peak = std::min<uint16_t>(PeakDataWindows, 27);
        ListRunCounters& c = ListCounters();
        StatAddLog4(StatCodeOfText("oRM"), c.wheelKeys.load());
        StatAddLog4(StatCodeOfText("oRK"), c.navigationKeys.load());
        StatAddLog4(StatCodeOfText("oRB"), c.scrollMoves.load());
        StatCount(static_cast<uint16_t>(StatCodeOfText("oT ") + peak));
        StatCountLog2(StatCodeOfText("oU "), DataWindowsCreated);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - CreatedAt).count();
        StatCountDuration(StatCodeOfText("iA "), seconds / 86400.0);
        StatSaveCounters(ProgramStart().ProgramFolder);
        StatSaveProducts(ProgramStart().ProgramFolder);
    }
    SetMainDataForm(nullptr, nullptr);
    // The data windows go while this window is still whole: their own
    // destruction must not meet a half-destroyed main window.
    if (QWidget* central = takeCentralWidget())
        delete central;
    mdi_ = nullptr;
    plainSurface_ = nullptr;
    TDataForm::FormDestroy();
}
