#pragma once
// What installer mode's page and its workers share: the step, the state
// code, the progress and its total (atomics: the page polls them every
// 200 ms and paints a copy), the result and detail texts of the steps and the
// worker's messages (behind one mutex), and the log "_InstLog.txt" of the
// program folder (InstallerLog(), behind its own).
//
// Threads: any.  The page (main thread) reads; the workers write.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The installer's steps: circles 1 to 6, 7 a failed run.
namespace InstallStep {
constexpr uint16_t Waiting = 1, Download = 2, Unpack = 3, DataTest = 4, Switch = 5, Finished = 6, Failed = 7;
}

// The state codes.
namespace InstallState {
constexpr int32_t Ready = 12;          // waiting in step 1
constexpr int32_t Downloading = 10;    // step 2
constexpr int32_t Unpacking = 9;       // step 3
constexpr int32_t Testing = 8;         // unpacked, data test running
constexpr int32_t Installed = 1;       // the launcher can be started
constexpr int32_t DataTestFailed = -7; //
constexpr int32_t DownloadFailed = -9; // size differs
constexpr int32_t NoPackage = -11;     // the list holds no package for this installation
constexpr int32_t WorkerFailed = -13;  // a worker's error or exception
constexpr int32_t CopyStarted = 18529; // a copy runs the installation; this program ends
} // namespace InstallState

// A copy of everything the page draws.
struct InstallerSnapshot {
    uint16_t step = InstallStep::Waiting;
    uint16_t stepCount = 6;
    int32_t state = 0;
    int32_t progress = 0;
    int32_t total = 0;
    std::array<std::string, 8> results; // under the circle of a done step
    std::array<std::string, 8> details; // in the panel of steps 2-4
    std::string lastMessage;
};

class InstallerState {
public:
    std::atomic<uint16_t> step{InstallStep::Waiting};
    std::atomic<uint16_t> stepCount{6};
    std::atomic<int32_t> state{0};
    std::atomic<int32_t> progress{0};
    std::atomic<int32_t> total{0};

    void SetResult(int n, std::string text);
    void AppendResult(int n, std::string_view text);
    std::string Result(int n) const;
    void SetDetail(int n, std::string text);
    void AppendDetail(int n, std::string_view text);
    std::string Detail(int n) const;
    void AddMessage(std::string line);
    void ClearMessages();
    std::vector<std::string> Messages() const;
    void SetMessages(std::vector<std::string> lines);

    // The page's copy; the step is taken as it is (a paint never writes it).
    InstallerSnapshot Snapshot() const;
    // Everything back to the start of a run (tests run several).
    void Reset();

    // A step number a run can show: 1 for 0 or above the step count + 3.
    static uint16_t ShownStep(uint16_t step, uint16_t stepCount);

private:
    mutable std::mutex mutex_;
    std::array<std::string, 8> results_;
    std::array<std::string, 8> details_;
    std::vector<std::string> messages_;
};

// The installation log of installer mode: a line written and saved; the run
// log's text written out and emptied in one step; the "where" line of an
// unfinished run.  Nothing is written while the log is closed.
void InstallerLogLine(std::string_view text);
void FlushRunLogToInstallerLog();
std::string InstallerWhereLine(const InstallerState& state);
