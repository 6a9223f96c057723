#pragma once
// TProhlizecN: the HTML viewer, a data window that shows one document of one
// product (a drug, a non-drug good or a medical device) as a page: a record
// of a document file, the product's record text or its photo.  Which one is
// its DocumentKind letter; the product is the record the list window it
// follows hands over.  Around the page: section tabs, a contents list, a
// paragraph filter, a text search, print, copy and export, a change notice
// and buttons that open related windows.
//
// The opener (OpenRecordViewer) creates it, sets kind, requested paragraph,
// search terms and the TDataForm link fields, calls SetupViewer once and
// then ResetData.
//
// Main thread only.

#include <QWidget>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frame/commands/viewer_windows.h"
#include "frame/hooks.h"
#include "frame/windows/data_form.h"
#include "viewers/ctrl_html.h"
#include "viewers/viewer_page.h"

struct DocumentKindRow;
class HtmlView;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTabBar;
class QTimer;
class QToolButton;

namespace Ui {
class ViewerWindow;
}

// The viewers' paragraph chooser (the hook table's first chooseParagraphs):
// runs TVybOdst in viewer mode; on OK the kind's stored selection and
// highlight.
bool RunViewerParagraphChooser(char kind, std::string& selection, uint8_t& requestedSection);

class TProhlizecN : public QWidget, public TDataForm, public RecordViewerWindow {
    Q_OBJECT
public:
    explicit TProhlizecN(QWidget* parent = nullptr);
    ~TProhlizecN() override;

    // --- Set by the opener --------------------------------------------------
    char DocumentKind = 0;
    int16_t RequestedParagraph = 0;
    std::array<std::string, 5> SearchTerms; // code page 1250

    // RecordViewerWindow.
    TDataForm& Form() override { return *this; }
    void SetDocument(char letter, uint16_t extra) override
    {
        DocumentKind = letter;
        RequestedParagraph = static_cast<int16_t>(extra);
    }
    void SetSearchWords(const std::array<std::string, 5>& words) override { SearchTerms = words; }
    // The title text of a "Section.Key" of the UI texts.
    void SetupViewer(const std::string& titleKey) override;
    void SetSlaveButton(bool enabled) override;
    // Once, with the title text itself (data code page).
    void SetupViewerTitle(const std::string& title);
    std::string DocumentFileName() const override;
    char TextKindLetter() const override;

    // TDataForm.
    void ResetData(int32_t value) override;
    void Tisk() override;
    void Exportuj() override;
    void Schrankuj() override;
    bool IsEmpty() override;
    void FormActivate() override;
    // About 80 characters by 30 lines of the text font, with the section
    // tabs and the button bar below.
    QSize DesignSize() const override;

    // The data reset of the current record.
    void onResetData();

    // --- State the tests look at --------------------------------------------
    HtmlView* View() const { return wb_; }
    QTabBar* Tabs() const { return TabControl_; }
    QListWidget* Contents() const { return Content_; }
    QToolButton* Button(const char* name) const;
    QFrame* ChangeNotice() const { return zmena_; }
    QFrame* SearchBox() const { return SearchPanel_; }
    QLineEdit* SearchLine() const { return SearchEdit_; }
    QTimer* FirstTabTimer() const { return Timer1_; }
    // The notice shown in place of a missing document ("" when the page shows).
    QString NoticeText() const;
    bool ShowsPage() const;
    bool ShowsContents() const;
    const HtmlPage& Page() const { return page_; }
    int32_t CurrentRecord() const { return current_; }
    int64_t DocumentOffset() const { return offset_; }
    const std::string& Selection() const { return filter_.selection; }
    bool ShowAll() const { return filter_.showAll; }
    bool Inverted() const { return filter_.invert; }
    bool Following() const;

    // The clock of the shortcut interval (tests step it).
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static void SetClock(Clock clock);
    // The time by that clock.
    static std::chrono::steady_clock::time_point Now();

    // Handlers (public for the tests' sake, as the form binds them).
    void TabControlChange(int index);
    void FnContntClick();
    void FnParagrClick();
    void FnSearchClick();
    void FnSlaveClick();
    void FnPrescClick();
    void SearchGo();
    void Timer1Timer();
    void LinkClicked(const QString& url);
    void ContentChosen(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool ShortcutKey(int key, Qt::KeyboardModifiers modifiers);
    void FormResize();
    void CountViewingTime();
    ViewerPageInput PageInput() const;
    void ShowChangeNotice(const std::string& record);
    void ShowPageAndTabs(HtmlPage page, const DocumentKindRow& kind);
    void ShowMissing(const std::string& noticeKey);
    void ShowPage(HtmlPage page);
    void CountUsage();
    void UpdateFilterButton();
    void UpdateSlaveHint();
    void CopyToClipboard();

    std::unique_ptr<Ui::ViewerWindow> ui_;
    HtmlView* wb_;
    QTabBar* TabControl_;
    QStackedWidget* Pages_;
    QListWidget* Content_;
    QLabel* neni_;
    QFrame* SearchPanel_;
    QLineEdit* SearchEdit_;
    QFrame* zmena_;
    QLabel* zCapt_;
    QFrame* vata_;
    QTimer* Timer1_;

    std::string titleBase_;   // data code page
    std::string titleSuffix_; // data code page
    std::string productCode_;
    int64_t offset_ = -1;
    std::string recordName_;
    std::string docFile_; // the file of the kind ("kodex"), "" for none
    int32_t current_ = -1;
    int32_t pending_ = -1;
    bool laidOut_ = false;
    ParagraphFilter filter_;
    std::string lastChooserResult_;
    bool spcLayout_ = false;
    HtmlPage page_;
    int firstTab_ = 0;
    bool firstKeySeen_ = false;
    std::chrono::steady_clock::time_point lastShortcut_;
    std::chrono::steady_clock::time_point shownAt_;
};

// Registers the viewer's factory in the frame's viewer services.
void RegisterRecordViewerFactory();
