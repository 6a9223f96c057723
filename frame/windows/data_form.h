#pragma once
// The data window base: every window that shows data (lists, viewers, the
// search window and the main window itself) is a TDataForm.
//
// TDataForm is not a QObject: a data window is a QWidget (or QMainWindow)
// that also derives from TDataForm and hands its widget to the constructor:
//
//   class TDrugList : public QWidget, public TDataForm {
//   public:
//       TDrugList() : QWidget(nullptr), TDataForm(this) { ... }
//   };
//
// Data windows live in QMdiSubWindows of the main window's QMdiArea (the
// sub-window is made when the window is first placed); the main window is the
// root of every master/detail chain.  A data window frees itself when closed.
//
// What the base gives:
//  - a registry of at most 100 open data windows (OpenDataWindows) and the
//    counters the usage statistics read;
//  - master/detail links: FindDataWindow decides whether a command opens a
//    new window, updates an open one or does nothing; PropagateLinks hands a
//    window's current values to the windows opened from it;
//  - overridable operations the commands call without knowing the class
//    (FormStart, myResize, ResetData, Tisk, Exportuj, Schrankuj, IsEmpty);
//  - the shared state of printing (one job kept across windows), exporting
//    (ExportFile, ExportFormat, the headers) and the clipboard block.
//
// Opening a data window (every opener does this):
//   1. FindDataWindow(kind, linkKind, value, window): on 0 bring `window` to
//      the front and stop; on -1 stop.
//   2. Create the window; LinkKinds[0] = linkKind, LinkKinds[1] and [2] = the
//      kinds it offers, LinkValues[0] = value, Master = window, Dependent =
//      true while loading, Kind = kind.
//   3. Load it (ResetData(value) or its own routine); Dependent = (result 1).
//   4. PlaceAndShow(Master is the main window): placed by the layout mode,
//      then maximised.
//
// References between windows (Master, the registry) are guarded: they read
// nil once their window is destroyed.  When a window closes, every window
// whose Master it is gets ResetData(-1) after the current event: a dependent
// one closes, an independent one detaches.
//
// Main thread only (checked).  Text fields are bytes in the data code page.

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <QPointer>
#include <QRect>

#include "frame/config/config_file.h"
#include "frame/windows/link_kind.h"
#include "platform/file_saver.h"

class QMdiArea;
class QMdiSubWindow;
class QWidget;
class PrintJob;
class TDataForm;
class DataFormEvents;

// A reference to a data window that reads nil once the window is destroyed.
class DataFormRef {
public:
    DataFormRef() = default;
    DataFormRef(TDataForm* form); // NOLINT: a plain pointer converts
    DataFormRef& operator=(TDataForm* form);

    TDataForm* get() const { return slot_ ? *slot_ : nullptr; }
    TDataForm* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }
    bool operator==(const TDataForm* form) const { return get() == form; }
    // Whether both refer to the same window, also after it was destroyed.
    bool SameWindowAs(const DataFormRef& other) const { return slot_ != nullptr && slot_ == other.slot_; }

private:
    std::shared_ptr<TDataForm*> slot_;
};

class TDataForm {
public:
    enum class Role { DataWindow, MainWindow };

    // Registers the window.  `widget` is the window's own widget (the
    // derived object's QWidget part, already constructed).
    explicit TDataForm(QWidget* widget, Role role = Role::DataWindow);
    virtual ~TDataForm();
    TDataForm(const TDataForm&) = delete;
    TDataForm& operator=(const TDataForm&) = delete;

    // --- Fields -----------------------------------------------------------
    bool Starting = true;       // until FormStart has run
    bool PaintBlocked = true;   // no data to paint yet (cleared by ResetData)
    bool PaintDeferred = false; // a paint was asked for while blocked
    bool Dependent = false;     // follows its master, closes when it goes
    // The window's kind (three-letter code, bit 15 a flag); 0 = not set.  On
    // the main window a non-zero value asks the next master search to start
    // there (one shot).
    uint16_t Kind = 0;
    // [0] the kind of value received from the master, [1] and [2] the kinds
    // offered to windows opened from this one; 0 = none.
    std::array<LinkKind, 3> LinkKinds{};
    // [0] the value last received, [1] and [2] the values offered now;
    // 0 = nothing, negative = the selection went away.
    std::array<int32_t, 3> LinkValues{};
    DataFormRef Master;   // the window this one was opened from
    std::string Title;    // first part of print and export headers
    std::string Subtitle; // appended directly to Title
    std::chrono::steady_clock::time_point CreatedAt;

    // --- The window ---------------------------------------------------------
    QWidget* Widget() const { return widget_; }
    bool IsMainWindow() const { return role_ == Role::MainWindow; }
    // The MDI sub-window, nullptr before the window was placed (and always
    // for the main window).
    QMdiSubWindow* SubWindow() const;
    // Puts the window into the main window's MDI area (hidden) when it is not
    // there yet; nullptr for the main window or when there is no MDI area.
    QMdiSubWindow* AttachToMdiArea();
    // The sub-window's rectangle in the MDI viewport as it is when neither
    // minimised nor maximised.
    QRect RestoredGeometry() const;
    // True from an accepted close (or a close request of the base) on.
    bool Closing() const { return closing_; }
    // Closes the window (it frees itself); false when it refused.
    bool CloseWindow();

    // --- Overridable operations --------------------------------------------
    // Once, when the window is first shown; the base clears Starting.
    virtual void FormStart();
    // After a size change; the base does nothing.
    virtual void myResize();
    // New data from the master: value >= 0 is the value to show; a negative
    // value closes a dependent window and detaches an independent one.
    virtual void ResetData(int32_t value);
    // Prints the window; the base prints the header (see PrintHeader).
    // Throws PrintJobError when no job can start.
    virtual void Tisk();
    // Writes the window to ExportFile; the base rewrites the file and writes
    // the header of ExportFormat.
    virtual void Exportuj();
    // Copies the window to the clipboard; the base does nothing.
    virtual void Schrankuj();
    // The print command skips an empty window; the base is always empty.
    virtual bool IsEmpty();
    // When the window becomes the active one: the base refreshes the menus
    // for a window with a non-zero Kind.
    virtual void FormActivate();

    // Sends the offered values to the windows opened from this one; the
    // number sent, or -1 when the window offers nothing.
    int32_t PropagateLinks();
    // Places the window by the current layout mode (frame/windows/placement.h).
    void UmistiFormular();
    // The same as if the layout mode were `mode`.
    void UmistiFormularInMode(uint8_t mode);
    // The last step of opening a window: placed by the layout mode, then
    // maximised when the opener asks for it (a window under the main window).
    void PlaceAndShow(bool maximise);
    // The destruction step: painting blocked, dependants told, unregistered,
    // menus refreshed after the last data window.  Runs once; the destructor
    // runs it when a descendant did not (descendants that override nothing
    // need not call it).
    void FormDestroy();
    // Speed buttons (QToolButton) of the window get their tool tips from
    // their "helpKeyword" property: "Section.Key" is looked up in the program
    // texts, anything else becomes the tip as it is.
    void TranslateButtonHints();

    // Clipboard block appends (see ClipStart below).
    static bool ClipPCopy(std::string_view text);
    static bool ClipCopy(std::string_view text);

    // The print header of the base Tisk: job title and font, a rule or a new
    // page between documents, the title in bold.  Throws PrintJobError.
    static void PrintHeader(const std::string& title);

private:
    friend class DataFormEvents;
    friend class DataFormRef;
    void MarkClosing();
    void NotifyDependants();

    QWidget* widget_;
    Role role_;
    // Held as a QObject: while the frame is being destroyed it is no longer
    // a QMdiSubWindow, and SubWindow() then answers nullptr.
    QPointer<QObject> subWindow_;
    std::unique_ptr<DataFormEvents> events_;
    std::shared_ptr<TDataForm*> self_;
    QRect restored_;
    bool closing_ = false;
    bool destroyed_ = false;
    bool dependantsNotified_ = false;
};

// --- Registry ------------------------------------------------------------

constexpr int kMaxDataWindows = 100;

struct TOpenDataWindows {
    std::array<DataFormRef, kMaxDataWindows> Items;
    uint16_t Count = 0;
};
// Compacted on every construction and destruction: entries that are nil or
// whose Kind is 0 drop out.  A 101st window works but is not registered.
extern TOpenDataWindows OpenDataWindows;
extern uint16_t PeakDataWindows;    // the highest count reached
extern uint16_t DataWindowsCreated; // constructions

// Every data window alive, registered or not, in construction order.
std::vector<TDataForm*> AllDataForms();

// --- The main window ------------------------------------------------------

// The main window (a TDataForm with Role::MainWindow) and its MDI area; the
// area's activation drives FormActivate.  nullptr clears both.
void SetMainDataForm(TDataForm* main, QMdiArea* area);
TDataForm* MainDataForm();
QMdiArea* DataWindowArea();
// The data window of the MDI area's current sub-window (nullptr when none).
TDataForm* ActiveDataForm();
// The data window whose widget or sub-window this is.
TDataForm* DataFormOf(const QWidget* widget);
// Data windows in the MDI area in creation order, without closing ones.
std::vector<TDataForm*> DataWindowsOnScreen();

// --- Links ----------------------------------------------------------------

// Whether a command that opens a window of `kind` following `linkKind` needs
// a new window: 0 an open window was updated (`window`, bring it to the
// front); 1 open a new dependent window under `window`; 2 a new independent
// one; -1 there is nothing to show.  `value` is what the new window shows.
int32_t FindDataWindow(uint16_t kind, LinkKind linkKind, int32_t& value, TDataForm*& window);
// The same search without updating anything: 0 `window` is an open dependent
// window of that kind under the master; 1 none (`window` is the master); -1
// no link kind or nothing to show.
int32_t FindMasterWindow(uint16_t kind, LinkKind linkKind, TDataForm*& window);
// Closes every data window but the main window, unregistered ones included,
// and empties the registry (data-set switch, a requested item).
void CloseDataWindowsButMain();

// --- Printing -------------------------------------------------------------

// The vertical position on the printer page (printer pixels) and the height
// of "0" in the print font; descendants' Tisk continue at PrintY.
extern int32_t PrintY;
extern int32_t PrintLineHeight;

class PrintJobError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error; // the reason, UTF-8
};

// The program's print job (a PrinterPrintJob until replaced).
PrintJob& CurrentPrintJob();
// Replaces it (tests install a RecordingPrintJob); returns the old one.
std::unique_ptr<PrintJob> SetPrintJob(std::unique_ptr<PrintJob> job);
// Ends any open job ("sPF", closing the main window).
void EndPrintJob();
// The step every print ends with: ends the job unless PrintSavingOption is
// set or a print batch keeps it open.
void EndPrintJobUnlessKept();
// Printer set-up ("sPS"): ends any job, then the set-up dialog.
bool PrinterSetup(QWidget* parent);
// Keeps the job open for several prints in a row while it lives.
class ScopedPrintBatch {
public:
    ScopedPrintBatch();
    ~ScopedPrintBatch();
    ScopedPrintBatch(const ScopedPrintBatch&) = delete;
    ScopedPrintBatch& operator=(const ScopedPrintBatch&) = delete;
};
// The print command for one window: skips an empty window, prints, ends the
// job unless kept.  A job that cannot start is reported ("Chyby.NoPrint" and
// the reason); false then and for an empty window.
bool PrintDataWindow(TDataForm* form);

// --- Export ---------------------------------------------------------------

namespace ExportFormatCode {
constexpr uint16_t Rtf = 0, Text = 1, Csv = 2;
}

// The export file: written to a temporary file beside the target through a
// buffer and put in place only when closed, so a failed export leaves the old
// file as it was.  Every write is checked; the first failure is kept and
// later writes are dropped.
class TExportFile {
public:
    void Assign(std::string path); // UTF-8 path; closes (drops) an open file
    const std::string& Path() const { return path_; }
    // Opens the temporary file; false when it cannot be made.
    bool Rewrite();
    bool IsOpen() const { return saver_ != nullptr; }
    // Whether Rewrite ran since the last Assign.
    bool WasOpened() const { return opened_; }
    // Appends bytes; false once anything failed.
    bool Write(std::string_view bytes);
    // Flushes and renames into place; false when anything failed (the
    // temporary file is then gone).  A closed file returns the same answer.
    bool Close();
    // Drops an open file without touching the target.
    void Abandon();
    bool Failed() const { return failed_; }
    // The system's reason for the first failure.
    const std::string& ErrorText() const { return errorText_; }
    FileSaver::Step FailedStep() const { return failedStep_; }
    // The file system used from the next Rewrite on (nullptr: the real one).
    void SetFileSystem(FileSystemOps* ops) { ops_ = ops; }

private:
    void Flush();
    void NoteFailure();

    std::string path_;
    std::unique_ptr<FileSaver> saver_;
    std::string buffer_;
    FileSystemOps* ops_ = nullptr;
    bool opened_ = false;
    bool failed_ = false;
    std::string errorText_;
    FileSaver::Step failedStep_ = FileSaver::Step::None;
};

extern TExportFile ExportFile;
extern uint16_t ExportFormat; // ExportFormatCode

// The format of a file name by its last three characters, lower-cased:
// "txt" text, "csv" CSV, anything else RTF.
uint16_t ExportFormatOfPath(std::string_view path);
// Exports a window to a file: format by the name, Exportuj, the file put in
// place.  A failure is reported ("Chyby.FileSave", the path, the reason); the
// old file then stays.  False on failure and when the window wrote nothing.
bool ExportDataWindow(TDataForm* form, const std::string& path);
// The same for the active data window ("sBF"); false when there is none.
bool ExportActiveWindow(const std::string& path);

// --- RTF --------------------------------------------------------------------

// The head of every RTF the program writes (exports and clipboard), code page
// 1250 declared: "{\rtf1\ansi\ansicpg1250 \deff0{\fonttbl {\f0\fnil\fcharset238
// " + font name + ";}}\fs" + 2 x size + CR LF.
std::string RtfHead(const ConfigFont& font);
// Text (code page 1250) made safe for RTF: "\", "{", "}" get a backslash,
// bytes below 32 and from 128 become "\'hh".
void AppendRtfEscaped(std::string& out, std::string_view text);
std::string RtfEscape(std::string_view text);
// What ends a document after its rows.
inline constexpr std::string_view kRtfTail = "\\pard\r\n}\r\n";

// --- Clipboard block ----------------------------------------------------------

constexpr size_t kClipBlockSize = 65530;
extern size_t ClipCursor;   // where the next append goes
extern uint16_t ClipLength; // bytes appended so far

// A new zeroed block; `reserve` bytes at its end stay free for the closing
// text until ClipReleaseReserve.
void ClipStart(size_t reserve = 0);
void ClipReleaseReserve();
// The bytes appended so far (empty without a block).
std::string_view ClipBytes();
// Puts the block on the clipboard as RTF together with the plain text (code
// page 1250), then frees the block.
void ClipHandOver(std::string_view plainText);
void ClipFree();
