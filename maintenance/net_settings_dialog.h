#pragma once
// TSetNet: the connection settings (the connection editor) with a
// connection test and an installation-folder test whose lines show in the
// dialog's memo.  Opened from the installer page.  Cancel, Escape and the
// close box put back the values the dialog opened with.
//
// Main thread only; a test's request runs on a worker while the dialog
// waits with the user's input held back.

#include <memory>
#include <string>
#include <vector>

#include "frame/windows/dialog_base.h"
#include "maintenance/connection_test.h"

class ConnectionEditor;
class QPlainTextEdit;

namespace Ui {
class SetNet;
}

class TSetNet : public TDlgForm {
    Q_OBJECT
public:
    explicit TSetNet(QWidget* parent = nullptr);
    ~TSetNet() override;

    // What the tests call (tests give their own network and file calls).
    void SetTestCalls(ConnectionTestCalls calls) { calls_ = std::move(calls); }

    void OKBtnClick();
    void b4test2Click();
    void b4test1Click();
    void reject() override;

    ConnectionEditor& Editor() { return *editor_; }

private:
    void ShowLines(const std::vector<std::string>& lines);

    std::unique_ptr<Ui::SetNet> ui_;
    ConnectionEditor* editor_ = nullptr;
    ConnectionTestCalls calls_;
};

// The memo's lines as one text.
void ShowMemoLines(QPlainTextEdit* memo, const std::vector<std::string>& lines);
