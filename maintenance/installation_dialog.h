#pragma once
// TNastav6: the installation settings.  Tab 0 shows the running version,
// warns when the launcher starts an older one than the newest complete
// folder, and checks the update server now; tab 1 is the connection editor
// with the connection and installation self-test; tab 2 lists the version
// folders of the installation base with their actions (start, delete,
// finish an installation).  The rules without a window are in
// maintenance/version_grid.h.
//
// Main thread only.  Network calls and the self-test's request run on a
// worker while the dialog waits with the user's input held back; a started
// installer is waited for the same way.

#include <memory>
#include <string>
#include <vector>

#include "frame/windows/dialog_base.h"
#include "maintenance/connection_test.h"
#include "maintenance/version_grid.h"

class ConnectionEditor;
class QTableWidget;
class QPlainTextEdit;
class QLabel;

namespace Ui {
class Nastav6;
}

class TNastav6 : public TDlgForm {
    Q_OBJECT
public:
    explicit TNastav6(QWidget* parent = nullptr);
    ~TNastav6() override;

    // Tests give their own network and file calls to the self-test.
    void SetTestCalls(ConnectionTestCalls calls) { calls_ = std::move(calls); }

    void TabsChange(int tab);
    void FillTab();
    void OKBtnClick();
    void reject() override;
    void b0verClick();
    void b2actClick();
    void b4testClick();
    void b4mailClick();
    // A click on a cell of the grid (display row, column).
    void TableClick(int row, int column);
    // A letter on the grid's current row; false when it is passed on.
    bool TableKeyPress(char key);

    // What the grid shows: the rows in display order (titles first).
    std::vector<VersionRow> ShownRows() const;
    int CurrentTab() const;
    QTableWidget* Table() const;
    QPlainTextEdit* Memo() const;
    QLabel* WarningLabel() const;
    QLabel* CheckResultLabel() const;
    ConnectionEditor& Editor() { return *editor_; }

    // Starts `program` with `arguments`, its standard input the null device
    // and its output and error passed to ours, and waits for it with this
    // program's input held back; its exit code, 128 + the signal for one
    // killed by a signal, 300 after "Chyby.Exec" when it cannot start.
    static int RunAndWait(const std::string& program, const std::vector<std::string>& arguments);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillGrid();
    void StartVersion(const std::string& name);
    void DeleteVersion(const std::string& name, bool refillAfterCancel);
    void FinishInstallation(const std::string& name);
    void LoadInstallerLog(const std::string& path);
    std::string Base() const;
    std::string DisplayText(const char* section, const char* key) const;

    std::unique_ptr<Ui::Nastav6> ui_;
    ConnectionEditor* editor_ = nullptr;
    ConnectionTestCalls calls_;
    std::string launcherFolder_;
    std::string runningFolder_;
    std::string bestFolder_;
    std::string updateText_;
    uint8_t autoAtOpen_ = 0;
    std::vector<VersionRow> rows_; // row 0 the titles
    std::vector<int> order_;       // RowOrder
    int savedRows_[3] = {0, 0, 1};
    int lineHeight_ = 0;
    int buttonHeight_ = 0;
};
