#pragma once
// TInstWin, the page of installer mode: a column of numbered step circles,
// the panel of the current step with its progress and buttons, and the
// work tick that starts the installer or the copier once the server's list
// names this installation's package.  Enter starts the installation (and,
// once it is done, the new version), Ctrl+O opens the about box, Ctrl+W the
// network settings, Esc and closing the window stop the program (after a
// question while a worker is busy).  Exit codes: 0 after a finished
// installation or a started copy, 2 otherwise.
//
// Main thread, except the workers the page owns.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "frame/pages/page.h"
#include "maintenance/installer_state.h"
#include "maintenance/installer_workers.h"

struct PageContext;
struct PageHooks;
class TMainForm;
class QObject;

// A clickable box of the panel and its command.
struct InstallerButton {
    Rect rect;
    int32_t code = 0;
};

// What one paint of the page needs besides the state.
struct InstallerPageInput {
    std::string chosenPackage;
    int64_t expectedSize = 0;
    bool online = false;
    std::string serverListError;
    std::string statusText;
    std::string estimate; // the time estimate of step 2
    CanvasFont font;
    std::function<std::string(const char* section, const char* key)> text;
};

// The command of the first button strictly containing the point, 0 for none.
int32_t InstallerButtonAt(const std::vector<InstallerButton>& buttons, Point point);

// Draws the whole page into (0, 0, width, height); `fontHeight` is measured
// again when it is 4 or less.  The buttons drawn are returned.
std::vector<InstallerButton> DrawInstallerPage(Canvas& canvas, int width, int height,
                                               const InstallerSnapshot& s, const InstallerPageInput& in,
                                               int& fontHeight);

// The time estimate of a download: empty on the first call (it takes the
// start), " oo" until a hundredth is done, else "N sec" under 100 seconds or
// "N min".  Times in days.
std::string DownloadEstimate(double& start, double now, int32_t progress, int32_t total);

class TInstWin : public TPraded {
public:
    // What the page calls outside itself (tests replace them).
    struct Calls {
        std::function<void(int code)> end;        // the program ends with the code
        std::function<int(std::string_view)> ask; // AskYesNoCancel
        std::function<void()> openAbout;          // modal
        std::function<bool()> openNetSettings;    // modal; true when confirmed
        std::function<void()> startGetList;       // the list worker
        std::function<bool()> parseList;          // ParseUpdateList(true, false)
        std::function<double()> now;              // days
        std::function<std::string(const char* section, const char* key)> text;
    };

    TInstWin(PageState& state, Canvas& canvas, int width, int height, TMainForm* owner,
             InstallerServices services = RealInstallerServices());
    ~TInstWin() override;

    void Build() override;
    int32_t HandleEvent(int32_t code, uint8_t shift) override;
    void Tick() override;
    void Paint() override;

    void InstallerWork();
    void StartInstallWorker();
    // The program stops: a running worker is asked to end and given 2 s,
    // the log is finished, the program ends with its code.
    void StopProgram();
    int ExitCodeNow() const;

    InstallerState& Installer() { return installer_; }
    Calls& PageCalls() { return calls_; }
    InstallerServices& Services() { return services_; }
    const std::vector<InstallerButton>& Buttons() const { return buttons_; }
    bool InstallerRunning() const { return installerThread_.joinable() && !installerDone_.load(); }
    bool CopierStarted() const { return copierStarted_; }
    bool Stopped() const { return stopped_; }
    // Waits for the workers (tests); true when none runs any more.
    bool WaitWorkers(int ms);

private:
    void RunCommand(int32_t code);
    void StartInstaller();
    void StartCopier();
    void JoinFinished();
    InstallerPlace Place() const;
    std::string Text(const char* section, const char* key) const;

    TMainForm* owner_;
    std::unique_ptr<QObject> closeFilter_;
    InstallerServices services_;
    Calls calls_;
    InstallerState installer_;
    std::vector<InstallerButton> buttons_;
    int fontHeight_ = 0;
    double downloadStart_ = 0;
    uint32_t ticks_ = 0;
    InstallerSnapshot seen_;
    bool firstWork_ = true;
    bool listParsed_ = false;
    bool copierStarted_ = false;
    bool stopped_ = false;
    bool networkStopped_ = false;
    std::atomic<bool> stop_{false};
    std::thread installerThread_;
    std::atomic<bool> installerDone_{false};
    std::thread copierThread_;
    std::atomic<bool> copierDone_{false};
    InstallerPlace runningPlace_;
};

// Fills makeInstWin.
void AddInstallerPageHooks(PageHooks& hooks);
