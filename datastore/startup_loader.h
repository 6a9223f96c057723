#pragma once
// TPomalyStart, the background start-up loader: on its own thread it loads
// the code tables, hands the command-line request to the main window, loads
// the zlp table and then does the network work of a run (update check, zlp
// package, news, usage statistics) through the update services' hooks
// (datastore/service_hooks.h).
//
// Everything it needs of the main window and the settings comes through
// LoaderServices, which the frame fills (tests fake it).  It copies its
// inputs at its start; it writes the run log and the status line (each
// guarded), the settings through the services (under the settings mutex),
// and the zlp table by one atomic publication.
//
// The gate: the command dispatcher and the serving of handed-over requests
// wait until step 1 (the code tables) is done.  Without a loader the gate is
// open.  A stop request is polled before every step and inside transfers;
// the loader then ends and marks itself ended.
//
// Threads: Start, RequestStop and WaitEnd on the main thread; the steps on
// the loader's thread.

#include "datastore/data_set.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class SharedText;

// What the loader copies at its start.
struct LoaderInputs {
    uint8_t programType = 3; // 3 normal, 5 duplicity
    DataSetCode dataSet = DataSetCode::Drugs;
    std::string options = "|"; // the command line's option list
    std::string positionals = "|";
    int positionalCount = 0;
    std::string dataDir;       // with "/"
    std::string programFolder; // with "/"
    std::string installRoot;   // the folder of the launcher, with "/"; empty: none
    std::string stationName;
};

// The settings the loader reads (copied under the settings mutex).
struct LoaderSettings {
    uint8_t autoUpdate = 15;      // VBASE=
    std::string nextCheckDate;    // VDATE=, yyyy/mm/dd
    char newsOption = '3';        // BASE=
    std::string newsDate;         // BDATE=
    std::string zlpDate;          // ZLDATE=
    std::string zlpSize;          // ZLSIZE=
    uint16_t connectionFlags = 0; // IFL=
};

// Answers of AskOkCancel.
namespace LoaderAnswer {
constexpr int Released = 0, Ok = 1, Cancel = 2;
}

class LoaderServices {
public:
    virtual ~LoaderServices() = default;
    virtual LoaderInputs Inputs() = 0;

    // Step 1 (on the loader's thread; they never wait for the main thread).
    // SetupEdition sets DataMonth (datastore/zlp_table.h).
    virtual void LoadParagraphLists() = 0;
    virtual void SetupEdition() = 0;
    virtual void LoadCodeTables() = 0;

    // Hand-offs to the main thread, in the order given.  The start query and
    // the question wait for their answer (0 when the stop released them);
    // the menu drop-down does not wait.
    virtual uint32_t SendStartQuery(const std::string& query) = 0;
    virtual void DropDownMenu(int tag) = 0;
    virtual int AskOkCancel(const std::string& text) = 0; // display code page

    // Settings.
    virtual LoaderSettings ReadSettings() = 0;
    // UPD= := text, then SaveConfig(false).
    virtual void SaveDeclinedPackage(const std::string& text) = 0;
    // ZLDATE= and ZLSIZE= cleared, then SaveConfig(false).
    virtual void ClearZlpSettings() = 0;

    // Today: yyyy/mm/dd, and ((year - 2000) * 12 + month - 1) * 32 + day.
    virtual std::string TodayYmd() = 0;
    virtual uint16_t TodayCode() = 0;

    // The main window's status text.
    virtual SharedText& StatusLine() = 0;
    // The UI text of a section and key (display code page).
    virtual std::string UiText(const std::string& section, const std::string& key) = 0;

    // Ends every running transfer soon (the stop request).
    virtual void StopNetwork() = 0;
};

// The gate the main thread waits on before work that needs the code tables.
void OpenLoaderGate();
void CloseLoaderGate();
bool LoaderGateOpen();
// Waits until the gate is open (at once when it is).
void WaitLoaderGate();

class TPomalyStart {
public:
    // Starts the thread at once.
    explicit TPomalyStart(std::shared_ptr<LoaderServices> services);
    // Joins the thread: only for a loader that has ended (WaitEnd true).
    ~TPomalyStart();
    TPomalyStart(const TPomalyStart&) = delete;
    TPomalyStart& operator=(const TPomalyStart&) = delete;

    void RequestStop();
    bool StopRequested() const { return stop_.load(); }
    // Waits at most `ms` for the end; true once ended.
    bool WaitEnd(int ms);
    bool Ended() const { return ended_.load(); }

    // The steps, on the calling thread (the thread body; tests call it too).
    void Execute();

private:
    void Run();
    bool Stopping();
    void StepNetwork(const LoaderInputs& in);
    // True when the loader ends after the update check.
    bool StepUpdateCheck(const LoaderInputs& in, const LoaderSettings& s, uint32_t installation, int mode);

    std::shared_ptr<LoaderServices> services_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::mutex mutex_;
    std::condition_variable cv_;
    std::thread thread_;
};

// The program's one loader (PomalyStartThread): started by the main window's
// start, stopped and waited for by its shut-down.  A loader that does not
// end in time is never destroyed (the process ends around it).
void StartPomalyStart(std::shared_ptr<LoaderServices> services);
void RequestPomalyStartStop();
bool WaitPomalyStartEnd(int ms);
// Whether a loader was started and has not ended.
bool PomalyStartRunning();
