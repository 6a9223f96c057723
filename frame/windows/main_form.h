#pragma once
// The main window of every program type.  In the normal type it is the MDI
// frame of the data windows; in every type its client area (the "surface")
// shows one drawn page through a back buffer.  It turns mouse, wheel, key and
// timer input into page events, serves requests handed over by other copies
// and records the usage counters when it goes.
//
// Life: the constructor is the creation work (fonts, configuration, page
// font, UI texts).  Start() runs the whole start routine before the window is
// ever shown: a copy whose request another copy takes ends without a window.
// After Start(), Terminated() tells whether the program is to end (with
// ExitCode()); otherwise the caller shows the window.  Later ends go through
// the exit routine (QCoreApplication::exit unless a test replaced it).
//
// The pages of the other subsystems come in through PageHooks; with none
// registered the window shows the empty base page (no elements, the form's
// colour), and every page call that finds its hook empty writes one run-log
// line naming it.
//
// Main thread only, except RequestTimerMax (any thread).

#include <QColor>
#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "frame/pages/input_tracker.h"
#include "frame/pages/page_host.h"
#include "frame/start/command_line.h"
#include "frame/windows/data_form.h"
#include "frame/windows/request.h"
#include "platform/fs.h"

class QLabel;
class QTimer;
class QToolBar;
class QToolButton;
class MessageSink;
class TIkona;
class TMyHintWindow;
class TMainForm;

// --- The pages of the other subsystems ------------------------------------

// Everything a page is made with: the shared page state, the back-buffer
// canvas and the client size; the main window owns it.
struct PageContext {
    PageState& state;
    Canvas& canvas;
    int width = 0;
    int height = 0;
    TMainForm* owner = nullptr;
};

struct PageHooks {
    std::function<std::unique_ptr<TPraded>(const PageContext&)> makeInstWin;             // type 1
    std::function<std::unique_ptr<TPraded>(const PageContext&, char mode)> makeHlpWin;   // "?" 2, "D" 8
    std::function<std::unique_ptr<TPraded>(const PageContext&, int variant)> makeMknWin; // 0: 4, 1: 7
    std::function<std::unique_ptr<TPraded>(const PageContext&)> makeDuplicity;           // type 5
    std::function<std::unique_ptr<TPraded>(const PageContext&)> makePrazdno;             // type 3
    // Calls on the page made by the hooks above.
    std::function<void(TPraded* page, const std::string& topic)> goToTopic;
    std::function<void(TPraded* page, const std::string& code)> goToCode;
    std::function<void(TPraded* page, const std::string& query)> loadListFromText;
    std::function<void(TPraded* page, const std::string& source)> loadListFromSource;
    std::function<void(TPraded* page, const std::string& query)> openPassedList;
};
// Replaces the table and returns the one it replaces.
PageHooks SetPageHooks(PageHooks hooks);

// --- Process-wide values of the main window -------------------------------

// DataParts bits.
namespace DataPart {
constexpr uint16_t Always = 2, Kodex = 4, Spc = 8, Cvzp = 0x20, Pfa = 0x40, Pzt = 0x80, Mkn = 0x100,
                   KlnazTxt = 0x200, Mkno = 0x400;
}
// The data parts present in a folder (2 always).
uint16_t DataPartsOf(const std::string& dataDir);

DataSetCode CurrentDataSet();
// The data-set switch of the commands.
void SetCurrentDataSet(DataSetCode dataSet);
uint16_t CurrentDataParts();
// "qevw.exe-" + "Uvod.Ver" [+ "-" + "Verze.Cislo"], at most 127 bytes.
std::string CurrentVersionText();
// The folder of the two font files, and APPDATA + "/".
std::string FontFolder();
std::string AppDataFolder();
// The letter medical-device lists show for a blank class: 'F' when the data
// text "TZd.!" is "F", else 'B'.
char DeviceBlankClassLetter();
// The update status text the start page shows (display code page); the start
// sets it to "Inst.newVer" + the folder when a newer version folder exists.
SharedText& UpdateStatusText();

// Enables the main window's maximal-dose timer (TimerMax) from any thread;
// the next 20 ms tick starts it.
void EnableMaximTimer();

// Whether version folder `best` is newer than the running one: characters 7
// to 12 of the folder names compared as text.
bool VersionFolderIsNewer(const std::string& best, const std::string& running);
// Whether a pending notice survives: its first five characters compare
// greater than the program's "Uvod.Ver".
bool NoticeIsNewer(const std::string& notice, const std::string& programVersion);

// --- The window -------------------------------------------------------------

struct MainFormOptions {
    EnvLookup environment;       // empty: the process environment
    MessageSink* sink = nullptr; // boxes of the start (nullptr: the current sink)
    bool handOver = true;        // offer the request to running copies (tests turn it off)
    // The screen area the settings' defaults take (screenLeft .. screenHeight);
    // empty: the primary screen's available area.
    std::optional<ConfigLoadInput> screen;
};

class TMainForm : public QMainWindow, public TDataForm, public MainRequestFields {
public:
    explicit TMainForm(MainFormOptions options = {});
    ~TMainForm() override;

    // The start routine (steps 1-18); runs once.
    void Start();
    bool Terminated() const { return terminated_; }
    int ExitCode() const { return exitCode_; }
    // Ends the program: before the event loop it only records the code;
    // later through the exit routine.
    void Terminate(int code);
    // The exit routine (QCoreApplication::exit by default).
    static void SetExitRoutine(std::function<void(int)> routine);
    // How long the shut-down waits for the background loader (2000 ms;
    // tests shorten it).
    static void SetLoaderStopBoundMs(int ms);

    // --- Fields -----------------------------------------------------------
    uint8_t ProgramType = ProgramKind::Normal;
    std::string StatusText; // "startuji" after the start, "po startu" after later shows
    std::string VersionText;
    DataSetCode DataSet = DataSetCode::Drugs;
    uint16_t DataParts = DataPart::Always;
    std::string FontFolderPath;
    std::string AppDataFolderPath;
    // The request fields the dispatcher and viewers read are RequestMode and
    // LookupRequest (MainRequestFields) with the one-shot Kind, LinkKinds[0]
    // and LinkValues[0].
    int32_t RequestMultiPosition = 0;

    PageHost& Host() { return host_; }
    TPraded* Page() { return host_.Page(); }
    PageState& State() { return host_.State(); }
    ImageCanvas& BackBuffer() { return host_.BackBuffer(); }
    InputTracker& Tracker() { return tracker_; }
    uint32_t Tick() { return host_.State().tick; }
    int LineHeight() { return host_.State().lineHeight; }
    int SampleWidth() { return host_.State().sampleWidth; }
    QToolBar* ToolBar() const { return toolBar_; }
    QTimer* TimerTik() const { return timerTik_; }
    QTimer* TimerMax() const { return timerMax_; }
    QMdiArea* MdiArea() const { return mdi_; }
    // The widget the page is drawn on (the MDI viewport in type 3).
    QWidget* Surface() const;
    TMyHintWindow* HintWindow() const { return hint_; }
    QLabel* PlainHintWindow() const { return plainHint_; }
    TIkona* Ikona() const { return ikona_.get(); }
    uint64_t FramesPainted() { return host_.FramesPainted(); }
    // The fonts registered for the run (application font ids).
    const std::vector<int>& FontIds() const { return fontIds_; }

    // --- Handlers (public for tests and the surfaces) ------------------------
    void FormActivate() override;
    void FormPaint(); // paint the page into the back buffer now and show it
    void FormResize();
    void TimerTikTimer();
    void TimerMaxTimer();
    void AppDeactivate();
    // Key and character routing of the application's key hook; true when the
    // page handled the key.
    bool RouteKey(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text);
    // The served request (StoredQuery) by the published program type.
    void ServeStoredQuery(const std::string& query);
    void BringToFront();
    // The window's part of a language switch: button hints, main menu, menus,
    // caption and title, then to the front.
    void LanguageChanged();
    // Enables TimerMax; any thread.
    void RequestTimerMax();
    // The age TimerMax last saw (0 when none or forgotten).
    int64_t MaximAge() const { return maximAge_; }

    // Surface events in surface coordinates.
    void SurfaceMouseDown(Qt::MouseButton button, QPoint point, Qt::KeyboardModifiers modifiers);
    void SurfaceMouseUp(Qt::MouseButton button, QPoint point, Qt::KeyboardModifiers modifiers);
    void SurfaceMouseMove(QPoint point, Qt::KeyboardModifiers modifiers);
    bool SurfaceWheel(int angleDelta, Qt::KeyboardModifiers modifiers);
    void SurfacePaint(QWidget* surface);
    // A local file dropped on the surface (the duplicity page's lists).
    void SurfaceDropFile(const QString& path);

    // Called once after the first frame painted with the window shown.
    std::function<void()> onFirstFrame;
    // Called after a handed-over request was served (the stored query).
    std::function<void(const std::string& query)> onServed;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FormCreate();
    InputTracker::Calls MakeTrackerCalls();
    void FormStart() override;
    void FormClose();
    void ShutDown(); // FormDestroy
    void RegisterFonts();
    void MarkFilesInUse(const std::string& program);
    void CheckMainTable();
    bool LoadDataTexts();
    void CreatePage();
    void SetPage(std::unique_ptr<TPraded> page);
    int32_t Send(int32_t code, uint8_t shift);
    bool KeyHookApplies(QObject* watched) const;

    MainFormOptions options_;
    PageHost host_;
    InputTracker tracker_;
    std::mutex canvasLock_;
    QMdiArea* mdi_ = nullptr;
    QWidget* plainSurface_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QTimer* timerTik_ = nullptr;
    QTimer* timerMax_ = nullptr;
    TMyHintWindow* hint_ = nullptr;
    QLabel* plainHint_ = nullptr;
    std::unique_ptr<TIkona> ikona_;
    QColor formColour_;
    std::vector<int> fontIds_;
    std::vector<std::string> fontPaths_;
    // Shared locks on the files this run uses (program, "kl.dat", fonts), so
    // that deleting a version folder finds them in use.
    std::vector<std::unique_ptr<FileLock>> inUseMarks_;
    bool started_ = false;
    bool inEventLoop_ = false;
    bool terminated_ = false;
    int exitCode_ = 0;
    bool loaderStarted_ = false;
    bool shownOnce_ = false;
    bool activatedOnce_ = false;
    bool firstFrameReported_ = false;
    bool destroyed_ = false;
    int64_t maximAge_ = 0;
    std::atomic<bool> timerMaxWanted_{false};
};
