#pragma once
// TTextSet: the dialog of the full-text search.  The user types up to five
// words, picks the document family and a paragraph filter, and the first OK
// scans the family's file on worker threads (lists/text_search_engine.h)
// while a timer shows the gauge, the counts of the words and sample lines;
// the second OK hands the records found to the caller.  Escape, Cancel or
// the close box stop a running scan and keep what was found so far; once the
// scan has ended they close the dialog without a result.
//
// Main thread only.

#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "frame/windows/dialog_base.h"
#include "lists/search/text_search_engine.h"

namespace Ui {
class TTextSet;
}

struct TextSearchResult {
    std::vector<uint32_t> entries; // text_search::ResultEntry values
    text_search::SearchWords words;
    char letter = 'k'; // the family searched
};

// The paragraph chooser in filter mode for a kind letter: it shows the
// letter's saved filter and stores the user's choice there.  Installed at
// start-up (InstallTextSearchChooser, lists/paragraph_chooser.h); empty: the
// filter button only switches the filter off.
using TextSearchChooser = std::function<bool(char letter)>;
TextSearchChooser SetTextSearchChooser(TextSearchChooser chooser);

class TTextSet : public TDlgForm {
    Q_OBJECT
public:
    // `out` receives the result when the dialog is confirmed.
    TTextSet(bool goods, TextSearchResult* out, QWidget* parent = nullptr);
    ~TTextSet() override;

    // Shows the dialog modally: the number of records found when words were
    // given and the dialog was confirmed, else 0.
    static int GetResult(TextSearchResult& out, bool goods);

    // For tests: the scan's worker count (0: one per core).
    void SetWorkers(int workers) { workers_ = workers; }
    bool Searching() const { return engine_ != nullptr; }
    bool Expanded() const { return expanded_; }
    char Letter() const { return letter_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OKBtnClick();
    void CancelBtnClick();
    void HelpBtnClick();
    void FiltrBtnClick();
    void KdeClick(char letter);
    void SlovaChanged();
    bool SlovaEnter();
    void LoadFilter();
    void StartSearch();
    void Tick();
    void ShowProgress(const text_search::Progress& p);
    void FinishSearch();
    // Escape, Cancel and the close box: stop a scan, else close without result.
    void StopOrClose();

    std::unique_ptr<Ui::TTextSet> ui_;
    bool goods_;
    TextSearchResult* out_;
    char letter_ = 'k';
    std::string filter_; // codes of the loaded filter, without "+" / "-"
    bool exclusion_ = false;
    int workers_ = 0;
    int previousKey_ = 0;
    bool expanded_ = false;
    bool editing_ = false;
    text_search::SearchWords words_;
    bool filterInUse_ = false;
    std::unique_ptr<text_search::Engine> engine_;
    TDbTable table_; // the search's own handle of the text index
    QTimer timer_;
    size_t messagesShown_ = 0;
    std::vector<uint32_t> entries_;
};
