#pragma once
// The maximal-dose files of the outside editor program: the batch check that
// links every product code to its ".max" file (the summary ".maxim.stx") and
// lists what is wrong (".maxim.err"), the summary look-up, and the request
// file ".spx" for a product that has no file yet.  No Qt: the join thread
// runs the batch.  The page: docs/formats/maximal-doses.md.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_saver.h"

struct TDbTable;

// The folders and ".max" files under a path prefix, in the order the batch
// takes them (by name ignoring case, then bytewise).  The real one lists the
// file system; tests may feed their own.
class MaxDoseLister {
public:
    virtual ~MaxDoseLister() = default;
    // The relative names of the folders whose path begins with the prefix
    // (case ignored), without those starting with "-" or ".".
    virtual std::vector<std::string> Folders(const std::string& prefix);
    // The ".max" files (any case) of a folder, without those starting with
    // "-" or "_".
    virtual std::vector<std::string> Files(const std::string& folder);
    // The whole file; 0 or an errno.
    virtual int Read(const std::string& path, std::string& out);
};

// One file's errors and the state of the summary they are checked against.
struct MaxDoseErrors {
    std::string path;  // the file's full path, the first line of its errors
    std::string text;  // empty, or the path and one line per error
    std::string first; // the first error's kind
    void Add(size_t position, const char* kind, const std::string* value1 = nullptr,
             const std::string* value2 = nullptr);
};
// The same as the free function the callers know.
void AddMaxDoseError(const char* kind, const std::string* value1, const std::string* value2, size_t position,
                     MaxDoseErrors& errors);

// Checks one file (`relative`: folder + "\" + name) against "kl" and adds
// its unclaimed codes to the summary (CR LF lines "code=name"); returns the
// count added.  `status` 1 public, 2 review, 3 in progress, 0 none.
int CheckMaxDoseFile(const std::string& prefix, const std::string& relative, TDbTable& kl, int& status,
                     MaxDoseErrors& errors, std::string& summary, MaxDoseLister& lister);

struct MaxDoseCounts {
    int files = 0;
    int filesByStatus[4] = {};
    int codes = 0;
    int codesByStatus[4] = {};
    int errorLines = 0;
    bool fatal = false;
    bool written = false;   // both outputs are in place
    std::string writeError; // why they are not
};

// The progress text the log window shows: appended to by the batch, read
// by the window's timer (under the caller's lock: Append takes it).
class MaxDoseProgress {
public:
    virtual ~MaxDoseProgress() = default;
    virtual void Append(const std::string& text) = 0;
    virtual bool StopRequested() { return false; }
};

// The whole batch over the data folder's "kl"; the counts text as the log
// shows it (UTF-8, lines separated by CR).  Outputs go through temporary
// files and renames; the old ".maxim.err" goes only after the new summary is
// in place.
std::string RunMaxDoseBatch(const std::string& dataFolder, const std::string& prefix,
                            MaxDoseProgress& progress, MaxDoseCounts* counts = nullptr,
                            FileSystemOps& ops = RealFileSystem(), MaxDoseLister* lister = nullptr);

// The name a product's file has in the summary (its relative name without
// ".max", "\" between folder and file), "" when none: the rest of the line
// after LF + code + "=", when a CR ends it within 13 characters.
std::string FindMaxDoseFileName(const std::string& prefix, std::string_view code);
// The path of a summary name: prefix + name + ".max", "\" read as "/".
std::string MaxDoseFilePath(const std::string& prefix, const std::string& name);

// The product codes a document lists after the code 19 (1) marker (13 01
// 10): 7 characters at a step of 8 while the step's character is a digit.
// Empty without the marker.
std::vector<std::string> DocumentProductCodes(std::string_view text);
bool HasProductCodeMarker(std::string_view text);
// Whether a drug record is of a specific treatment programme (registration
// type "S").
bool IsSpecificProgrammeProduct(std::string_view drug);
// For a product of a specific treatment programme with a national number
// (not starting with "1"): the record number of the first current product
// under the same 11-character "klrc" key that is of no such programme; 0 for
// any other product, or when there is none.
int32_t ProgrammeCounterpart(std::string_view drug, TDbTable& klrc);
// The product whose maximal doses are shown for a drug record: the record
// itself, or its programme counterpart; `hasDocument` is false when the one
// chosen has no SPC, and then nothing is shown.
struct MaxDoseProduct {
    int32_t record = 0;
    bool counterpart = false;
    bool hasDocument = false;
};
MaxDoseProduct MaxDoseProductOf(int32_t record, TDbTable& klrc);
// The codes of the current products of a specific treatment programme ("S")
// under the registration numbers after code 19 (3), looked up in "kl" by "klrc".
std::vector<std::string> CollectRegCodes(std::string_view text, TDbTable& klrc);

// The request file the outside editor opens for a product without a file.
struct MaxDoseRequest {
    std::vector<std::string> codes;
    // Section 10 with a date byte gives element 91 and with "(č.j." element 92,
    // even when the run after them is not a date or a number.
    bool hasDate = false;
    bool hasReference = false;
    std::string date;      // "yyyy/mm/dd", empty when the run is not a date
    std::string reference; // the "(č.j." number, may be empty
    uint16_t documentNumber = 0;
};
// Fills date and reference from the document's section 10.
void ReadSection10(std::string_view text, MaxDoseRequest& request);
// The file's bytes: code page 1250, CR LF lines.
std::string RvxmlExport(const MaxDoseRequest& request);
