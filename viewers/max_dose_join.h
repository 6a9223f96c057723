#pragma once
// The maximal-dose join on its worker thread with its log window (Tviz), the
// command that shows a product's maximal doses and the start of the outside
// editor from the HTML viewer.  RegisterMaxDoseServices fills "sBJ", "sBM"
// and the viewer's openMaxDoseEditor hook.
//
// The worker appends to the log under a mutex and clears the busy flag last;
// the window copies the log every 200 ms and refuses to close while busy.

#include <QDialog>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class QPlainTextEdit;
class QTimer;

namespace Ui {
class Tviz;
}

// The join's shared state: the log (UTF-8) and the flags.
class MaxJoin {
public:
    ~MaxJoin();
    // Starts the batch over the data folder and prefix unless one runs.
    // False when one was running already.
    bool Start(const std::string& dataFolder, const std::string& prefix);
    std::string Log() const;
    bool Busy() const { return busy_.load(); }
    // Asks the worker to stop between files and waits for it.
    void Stop();
    void SetLog(std::string text);
    void Append(const std::string& text);
    bool StopRequested() const { return stop_.load(); }

private:
    mutable std::mutex mutex_;
    std::string log_;
    std::atomic<bool> busy_{false};
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

// The program's one join.
MaxJoin& TheMaxJoin();

class Tviz : public QDialog {
    Q_OBJECT
public:
    explicit Tviz(MaxJoin& join, QWidget* parent = nullptr);
    ~Tviz() override;
    void TikalTimer();
    QPlainTextEdit* Memo() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    std::unique_ptr<Ui::Tviz> ui_;
    MaxJoin& join_;
    QTimer* Tikal_;
};

// The commands themselves (frame/hooks.h has the callers' StartMaximJoin and
// ShowMaximalDoses, which reach these through the viewer services).
namespace MaxDoseCommands {
// "sBJ": the log window (made when there is none) and the join, when
// "|max=" is set; a second call during a join raises the window.
void StartMaximJoin();
// "sBM": the active window's product in the SPC viewer at its maximal-dose
// paragraph; the viewer starts the editor.
void ShowMaximalDoses();
// The editor on the product's ".max" file, or on a new request file.
void OpenMaxDoseEditor(const std::string& code, const std::string& documentName, const std::string& text,
                       uint16_t documentNumber);
} // namespace MaxDoseCommands
// The log window while it exists (tests).
Tviz* MaxJoinWindow();

void RegisterMaxDoseServices();
