#pragma once
// The viewer and clinical-check services as the frame sees them.  The viewers
// live in a higher layer and register their functions here at start-up; until
// then every call has a defined answer (nothing is done, a command code
// answers 0, the batch duplicity check is "not available").
//
// Threads: registration happens on the main thread before any window or
// worker exists; the calls run on the main thread.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class RecordViewerWindow;
class NotesViewerWindow;

// What the batch duplicity check found.  The check never writes the result
// file and never ends the process: the start-up check does both.
struct BatchDuplicityResult {
    enum Kind { Findings, NoFindings, NoList, Failed };
    Kind kind = Failed;
    std::string reason; // for Failed: what went wrong (UTF-8, one line)
};

// The list of a batch run: the value of option "b" (a file path when it holds
// "/" or "\", else the name of a shared-memory block), or else plain
// argument "1" whose "," and ";" stand for line breaks.
struct BatchDuplicityRequest {
    std::string options;     // the option list of the command line
    std::string positionals; // the plain arguments (data code page)
};

struct ViewerServices {
    std::function<BatchDuplicityResult(const BatchDuplicityRequest&)> runBatchDuplicityCheck;
    // Opens the window of an item another copy handed over.
    std::function<void(const std::string& query)> openRequestedItem;
    // The command code of a request's item (0: none).
    std::function<uint16_t(uint16_t kind, const std::string& query)> requestCommandCode;
    std::function<void()> showMaximalDoses;
    std::function<void()> startMaximJoin;
    // Make a new record viewer or notes viewer window (the commands set it
    // up and load it; frame/commands/viewer_windows.h).
    std::function<RecordViewerWindow*()> makeRecordViewer;
    std::function<NotesViewerWindow*()> makeNotesViewer;
};

// Replaces the whole table and returns the one it replaces.
ViewerServices SetViewerServices(ViewerServices services);

// Whether a batch duplicity check is registered.
bool HasBatchDuplicityCheck();
// Whether the viewers registered their opener of items passed by another copy.
bool HasOpenRequestedItem();
// The registered check's answer; nullopt when none is registered.
std::optional<BatchDuplicityResult> RunBatchDuplicityCheck(const BatchDuplicityRequest& request);
void OpenRequestedItem(const std::string& query);
uint16_t RequestCommandCode(uint16_t kind, const std::string& query);
void ShowMaximalDoses();
void StartMaximJoin();
bool HasShowMaximalDoses();
bool HasStartMaximJoin();
// A new viewer window; nullptr when the viewers registered no factory.
RecordViewerWindow* MakeRecordViewer();
NotesViewerWindow* MakeNotesViewer();
