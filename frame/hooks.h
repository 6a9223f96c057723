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

class TDataForm;

// The HTML record viewer as the command implementations drive it: the
// opener creates one through the factory below, sets it up, links it and
// loads it with ResetData.
class RecordViewer {
public:
    virtual ~RecordViewer() = default;
    // The viewer as a data window (a new window registers itself).
    virtual TDataForm* Form() = 0;
    // Set before SetupViewer: the document letter, the command's extra value
    // (a requested paragraph) and the master list's five search words (code
    // page 1250).
    virtual void SetDocumentKind(char kind) = 0;
    virtual void SetRequestedParagraph(int16_t extra) = 0;
    virtual void SetSearchTerms(const std::array<std::string, 5>& terms) = 0;
    // Once, with the title text (data code page).
    virtual void SetupViewer(const std::string& title) = 0;
    // The follow button's enabled state (the opener's Dependent).
    virtual void SetFollowEnabled(bool enabled) = 0;
    // The document file shown (full path without ".dat"; empty when none)
    // and its text-kind letter ("R" articles, "S", "L", "E", else " ").
    virtual std::string DocumentFileName() const = 0;
    virtual char TextKindLetter() const = 0;
};

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
    // Creates the HTML record viewer (TProhlizecN).
    std::function<RecordViewer*()> createRecordViewer;
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
// A new HTML record viewer; nullptr when none is registered.
RecordViewer* CreateRecordViewer();
