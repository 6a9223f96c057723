#pragma once
// The first code that runs: splits the command line, fixes the folders and
// the machine identity, runs the one-shot web-check modes and the batch
// duplicity check, and refuses a start whose folders are unusable.
//
// Exit codes (also in the README):
//   0    normal end; request handed over to a running copy; one-shot page
//        opened; batch check without findings
//   1    batch check with findings
//   2    start refused (unusable command line, missing folders or tables), or
//        a batch or one-shot run that could not do its work
//   200  batch check without a list (none given, or one without a line feed)

#include <string>
#include <vector>

#include "frame/start/command_line.h"

class FileSystemOps;
struct ConfigLoadInput;
class MessageSink;

namespace ExitCode {
constexpr int Normal = 0;
constexpr int Findings = 1;
constexpr int Refused = 2;
constexpr int NoList = 200;
} // namespace ExitCode

// The result file of the batch duplicity check, in the temporary folder.
inline constexpr const char* kBatchResultFile = "qevw_rez.txt";

struct PreStartInput {
    ParsedCommandLine commandLine;       // the process arguments, split once
    std::string executablePath;          // the running program (UTF-8)
    EnvLookup environment;               // empty: the process environment
    MessageSink* sink = nullptr;         // boxes of a normal start (nullptr: the current sink)
    FileSystemOps* fileSystem = nullptr; // how the batch result is written (nullptr: the real one)
};

struct PreStartResult {
    bool start = false; // go on: create the main window
    int exitCode = ExitCode::Normal;
};

// Fills ProgramStart() and SetDataDir, then decides.  The batch run shows no boxes:
// its messages go to standard error.
PreStartResult PreStartCheck(const PreStartInput& input);

// Locates and loads the configuration for the start values (option "l"
// chooses the language of the run).  The defaults that depend on the screen
// take `screen` (its screenLeft .. screenHeight) when given, else the
// primary screen's available area.
void LoadStartConfiguration(const StartValues& start, const EnvLookup& env,
                            const ConfigLoadInput* screen = nullptr);
// Loads the UI text table of the configured language into UiTexts; on
// failure shows "Unable to read \"<file>\":<code>" (standard error and the
// sink, when given) and returns false.
bool LoadUiTextTable(const StartValues& start, MessageSink* sink);
