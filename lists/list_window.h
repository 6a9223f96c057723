#pragma once
// TVyb: the one list window.  It owns no data: an opener creates it, sets
// the link fields of TDataForm and the public part of its state `Rec`, and
// calls OpenList with a caption, the column geometry and order, the list
// options, a header line and three callbacks.  From then on the window pulls
// its rows one at a time through Fetch, asks Info for hints, button states
// and captions, and hands every key action, typed prefix and button press to
// Command, which may rewrite the action before the window carries it out.
//
// The window never re-enters its callbacks: an action that arrives while
// one runs (a refill asked for by the main window while a callback shows a
// modal dialog) waits until the action in progress has finished.
//
// Texts handed to and from the callbacks are in the data code page.
//
// Opening a list (the opener):
//   auto* w = new TVyb;                       // TDataForm registers it
//   w->Kind = ...; w->LinkKinds = {...}; w->LinkValues[0] = ...;
//   w->Master = ...; w->Dependent = ...;
//   w->Rec.Letter = 'N'; w->Rec.Count = 40000; w->Rec.Options = ...;
//   w->TwoLineRows = ...;
//   w->OpenList(caption, geometry, order, options, header, command, fetch, info);
//
// ListOptions: character 1 the longest prefix (its code; 0 = no typing),
// character 2 the edit kind (" " no typing and no cursor, "0".."9" digits
// only, "5" and "6" with the registration-number paste, "A".."Z" capitals,
// other letters free typing), characters 3..12 the button letters in the
// order they are placed: "?" tips, "<" tree, "=" all columns, "*" follow the
// master, "/" strict, ")" similar spelling, ">" tab key, "E", "S", "R", "D",
// "N", "1", "X", "U", "M" the list's own buttons.

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
#include "lists/vyb_types.h"

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

    // The list state every callback receives.
    VybRec Rec;

    // The error flags of the geometry parse (GeometryFlag).
    uint32_t OpenList(std::string_view caption, std::string_view geometry, std::string_view order,
                      std::string_view options, std::string_view header, TVybCommandProc command,
                      TVybFetchProc fetch, TVybInfoProc info);

    // --- Offered to the main window and other windows ---------------------
    // Runs an action code as if its key were pressed (without Shift).
    void SendAction(uint16_t code);
    // Positions on the master's value again: 299 through the resize handler.
    void Reposition();

    // --- TDataForm --------------------------------------------------------
    void ResetData(int32_t value) override;
    bool IsEmpty() override;
    void myResize() override;
    void FormActivate() override;

    // --- Window state -----------------------------------------------------
    int LineHeight = 0;  // height of "0" in the list font + 2
    int CharWidth = 0;   // width of "0"
    static constexpr int Margin = 2;
    std::string ButtonLetters;
    bool CursorMode = false;
    bool Busy = false;
    int32_t CurPos = -1;
    int32_t CurAux = -1;
    int32_t MarkFirst = -1;
    int32_t MarkLast = -1;
    bool TwoLineRows = false;
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
    // The list's own buttons: one with a popup text from Info opens its
    // menu, any other sends its command code ("helpContext") to Command and
    // then runs what Command left.  A popup item sends letter << 8 + item.
    void FnXxxClick(QToolButton* button);
    void PopClick(QAction* item);
    // Marking by mouse and Shift+Enter, and cell hints come with the output
    // work.
    void MarkByKey();
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
    // Runs an action now, or after the running one when a callback is busy.
    void Act(std::function<void()> action);
    void DrainPending();
    void CallCommand();
    bool FetchRow(TVybRow& row);
    std::string CallInfo(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key);
    void ListCellText(uint8_t r, std::string& text) const;

    void RunAction(uint16_t& code, uint8_t shift, bool fromScrollBar);
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
    TVybCommandProc command_;
    TVybFetchProc fetch_;
    TVybInfoProc info_;
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
    QSize minimum_;
};

// Every list window alive.
std::vector<TVyb*> ListWindows();
