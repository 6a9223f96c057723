#pragma once
// TVyb: the one list window.  It owns no data: OpenListWindow (list_source.h)
// creates it, sets the link fields of TDataForm and the start of its state
// `Rec`, and calls OpenList with the window's spec and its list.  From then
// on the window pulls its rows one at a time through ListSource::Fetch, asks
// Info for hints, button states and captions, and hands every key action,
// typed prefix and button press to React, whose answer is the action the
// window carries out.
//
// The window never re-enters its list: an action that arrives while one runs
// (a refill asked for by the main window while the list shows a modal
// dialog) waits until the action in progress has finished.
//
// Texts handed to and from the list are in the data code page.
//
// The buttons by letter, in the order the window lays them out: "?" tips, "<"
// tree, "=" all columns, "*" follow the master, "/" strict, ")" similar
// spelling, ">" tab key, "E", "S", "R", "D", "N", "1", "X", "U", "M" the
// list's own buttons.

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "frame/windows/data_form.h"
#include "lists/toolkit/list_source.h"
#include "lists/toolkit/vyb_types.h"

class QLabel;
class QMenu;
class QTimer;
class QToolButton;
class TATable1;
class TAScroll;
class TANulEdit;

namespace Ui {
class ListWindow;
}

// Whether the user's sign lists can be used (button "U"); false until they
// are loaded.
bool UserSignListsAvailable();
void SetUserSignListsAvailable(bool available);

class TVyb : public QWidget, public TDataForm {
    Q_OBJECT
public:
    explicit TVyb(QWidget* parent = nullptr);
    ~TVyb() override;

    // The window's own state, handed to its list.
    VybRec Rec;

    // Starts the list: caption, columns, typing, buttons and header of
    // `spec` (not its link kinds, icon or start state: OpenListWindow sets
    // those), rows from `source`.  The error flags of the geometry parse
    // (GeometryFlag).
    uint32_t OpenList(const ListWindowSpec& spec, std::shared_ptr<ListSource> source);
    // The list the window shows (nullptr before OpenList).
    ListSource* Source() const { return source_.get(); }

    // --- Offered to the main window and other windows ---------------------
    // Runs an action code as if its key were pressed (without Shift).
    void SendAction(uint16_t code);
    // Positions on the master's value again: 299 through the resize handler.
    void Reposition();

    // --- TDataForm --------------------------------------------------------
    void ResetData(int32_t value) override;
    bool IsEmpty() override;
    // Output of the marked range, or from the typed prefix to the end of the
    // list: print, export to ExportFile, copy to the clipboard.  While a
    // print runs (Busy) the window takes only Escape; every other key, click,
    // close and new value from the master waits until the run has ended, and
    // a second output of this window is refused.
    void Tisk() override;
    void Exportuj() override;
    void Schrankuj() override;
    void myResize() override;
    void FormActivate() override;
    // Every column at its full width beside the scroll bar, and about 20
    // rows of the list font above the button row.
    QSize DesignSize() const override;

    // --- Window state -----------------------------------------------------
    int LineHeight = 0; // height of "0" in the list font + 2
    int CharWidth = 0;  // width of "0"
    static constexpr int Margin = 2;
    std::string ButtonLetters;
    bool CursorMode = false;
    bool Busy = false;
    int32_t CurPos = -1;
    int32_t CurAux = -1;
    int32_t MarkFirst = -1;
    int32_t MarkLast = -1;
    bool TwoLineRows = false;
    // Mouse marking: the left button held over the grid, the grid row it
    // went down on (0 once the drag has started a range), the row last seen
    // while dragging, and when the drag last scrolled the list.
    bool Dragging = false;
    int DownRow = 0;
    int LastDragRow = 0;
    QElapsedTimer LastAutoScroll;
    bool FirstChoice = false;
    bool BlinkPhase = false;
    int MaxPrefixLength() const { return maxLength_; }
    char EditKind() const { return editKind_; }

    // --- Controls ---------------------------------------------------------
    TATable1* Tb = nullptr;
    TAScroll* ScVert = nullptr;
    TAScroll* ScHor = nullptr;
    TANulEdit* Edt = nullptr;
    QMenu* Pop = nullptr;
    QLabel* dummy = nullptr;
    QLabel* NoData1 = nullptr;
    QLabel* NoData2 = nullptr;
    QTimer* Timer = nullptr;
    QTimer* Blik = nullptr;
    QToolButton* FnTips = nullptr;
    QToolButton* FnTree = nullptr;
    QToolButton* FnAllCol = nullptr;
    QToolButton* FnSlave = nullptr;
    QToolButton* FnStrict = nullptr;
    QToolButton* FnWhisper = nullptr;
    QToolButton* FnTabKey = nullptr;
    QToolButton* FnExsDrg = nullptr;
    QToolButton* FnSortim = nullptr;
    QToolButton* FnUhrada = nullptr;
    QToolButton* FnDrug = nullptr;
    QToolButton* FnComSyn = nullptr;
    QToolButton* Fn1bal = nullptr;
    QToolButton* FnDupKik = nullptr;
    QToolButton* FnUsList = nullptr;
    QToolButton* FnCompM = nullptr;
    // The button of an option letter (nullptr for none).
    QToolButton* ButtonOfLetter(char letter) const;

    // --- Handlers ---------------------------------------------------------
    // A key action with shift flags; `code` comes back 0 when the key was
    // consumed, 1 when it was carried out and may repeat.
    void AKbd(uint16_t& code, uint8_t shift);
    void EdtChange();
    void onres();
    void FillListRows(int mode);
    void ShiftRowCache(int n);
    void ArrangeControls();
    void UpdateButton(QToolButton* button, char letter);
    void UpdateButtons();
    void FnStrictClick();
    void WhisperClick();
    void SlaveClick();
    void FnTreeClick();
    void FnTipsClick();
    void AllColClick();
    // The list's own buttons: a popup of items when Info gives one, else the
    // button's command; PopClick hands an item's code to Command.
    void FnXxxClick(QToolButton* button);
    void PopClick(QAction* item);
    // Shift+Enter: starts, grows, shrinks or drops the marked range at the
    // current row.
    void MarkByKey();
    // Repaints the shown rows whose positions lie in [first, last] (first -1:
    // nothing); the grid draws the marked look from MarkFirst and MarkLast.
    void ToggleMarkRange(int32_t first, int32_t last);
    // A row inside the range: the range's nearer end moves to it.
    void MoveNearerEndTo(int32_t pos);
    // Mouse down, up and move over the grid: marking by dragging, row and
    // tree-column clicks, cell and heading hints.
    void MouseD(QMouseEvent* event);
    void MouseUp(QMouseEvent* event);
    void helptab(QMouseEvent* event);
    void ShowRowHint(int row);
    void Timed();
    void BlikTimer();
    void ScVertScroll();
    void ScHorScroll();
    void FormClose();

    // The caption the window shows now (display text).
    QString Caption() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Runs an action now, or after the running one when the list is busy.
    void Act(std::function<void()> action);
    void DrainPending();
    void CallCommand();
    bool FetchRow(TVybRow& row);
    std::string CallInfo(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key);
    void ListCellText(uint8_t r, std::string& text) const;

    void RunAction(uint16_t& code, uint8_t shift, bool fromScrollBar);
    // The action of Rec.Command itself, the list's reaction already taken.
    void RunKeyAction(uint16_t& code, bool withShift);
    void MoveByKey(uint16_t command, uint16_t& code);
    // A key action the window runs for itself (buttons, popup items, the
    // drag's scrolling): no React call, no counting.
    void RunOwnKeyAction(uint16_t command);
    // Marks are positions of the walk the list delivers: a walk of a set of
    // its own (ListSource::WalksOwnSet) numbers its rows differently.
    void NoteWalkChange();
    // Mouse handling after the queue (Act).
    void MouseDown(QPoint at, Qt::MouseButton button);
    void MouseRelease(QPoint at);
    void DragTo(int r, int y);
    void ExtendByScroll(bool down);
    void ShowCellHint(QPoint at, int r);
    // One output run: the header line, then every row of the marked range or
    // from the prefix to the end, each handed to `line` until it answers
    // false.  The cache and the scroll position are kept.
    void RunOutput(const char* statCode, const std::function<bool(std::string_view)>& line);
    void EndBusy();
    void ShiftFunctionKey(uint16_t code);
    void MoveUp(int n);
    void MoveDown(int n);
    void FinishMove(bool moved, int cursor);
    void TakeCurrentRow();
    void NoCurrentRow();
    void ChooseRow();
    void CountChoice();
    void SyncEditAndCaption();
    void SetCaption(const std::string& tail);
    void SetCaptionText(const QString& caption);
    bool Minimised() const;
    int CursorRowOrFirst() const;
    void ApplyHScrollBar();
    void ConnectSubWindow();
    void ApplyMinimumSize(QSize size);
    void ClickIfVisible(QToolButton* button);
    double DaysSinceCreated() const;

    std::unique_ptr<Ui::ListWindow> ui_;
    std::shared_ptr<ListSource> source_;
    int maxLength_ = 0;
    char editKind_ = ' ';
    bool callbacksSet_ = false;
    int callbackDepth_ = 0;
    int actionDepth_ = 0;
    std::deque<std::function<void()>> pending_;
    int wheelRemainder_ = 0;
    std::pair<uint8_t, uint8_t> lastHintCell_{0, 255};
    bool subWindowConnected_ = false;
    bool closed_ = false;
    bool walksRecArr_ = false;
    QSize minimum_;
};

// Every list window alive.
std::vector<TVyb*> ListWindows();

// One item of a button's popup text: flag character ("^" checked), caption,
// "|".  Items are named by the button's letter and "0".."9", "A", "B" ...
struct PopupItem {
    std::string name;
    std::string caption; // data code page
    bool checked = false;
};
std::vector<PopupItem> ParsePopupText(std::string_view text, char letter);
