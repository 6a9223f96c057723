#pragma once
// The command line and the values fixed at start from it and from the
// environment.
//
// An option list is a byte string of at most 255 bytes in the display code
// page: keys, each with or without a value, each closed by "|", after a
// leading "|" ("|a=1|b|").  The empty list is "|".  Keys match case-
// sensitively.  The same form carries the command-line options, the plain
// arguments ("|1=first|2=second|") and the queries copies of the program
// hand each other.
//
// Threads: the start values are written once by the start-up check before any
// window or worker exists and are only read afterwards.  The published program
// type and data set are atomics: the background loader reads them while the
// main window may still change them.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/data_set.h"

constexpr size_t kOptionListMax = 255;
// The positional keys run from "1" to "{" ("0" + 75); the 76th would be "|".
constexpr int kMaxPositionals = 75;

// True when the list holds "|" + key + "|" or "|" + key + "=".
bool HasOption(std::string_view key, std::string_view list);
// The text after the first "|" + key + "=" up to the next "|" (or the end of
// the list); empty when the key is missing or given without a value.
std::string GetOption(std::string_view key, std::string_view list);
// A value read as a decimal number: 0 when empty or not a number.
int64_t GetOptionNumber(std::string_view key, std::string_view list);

// Program types by the value of option "q" (exact, case-sensitive).
namespace ProgramKind {
constexpr uint8_t Installer = 1, Help = 2, Normal = 3, Diagnoses = 4, Duplicity = 5, Calc = 6, Diagnoses2 = 7,
                  Help2 = 8;
}
uint8_t QueryTypeCode(std::string_view name);

// Lower-cases the letters A-Z of an item up to its first "=".
void LowerOptionKey(std::string& item);

// Copies without the trailing, respectively leading, characters below 33.
std::string TrimRightShort(std::string_view s);
std::string TrimLeftShort(std::string_view s);
// The length of a string (0 for empty).
int TextLength(std::string_view s);

// The result of splitting the process arguments, made once at start.
struct ParsedCommandLine {
    std::string options = "|";     // items that began with "/" or "-"
    std::string positionals = "|"; // the other items, keyed "1", "2", ...
    int positionalCount = 0;
    // Set when the command line cannot be used as it stands (an argument of
    // more than 255 bytes, one holding "|" or a character the display code
    // page lacks, a list that would overflow, more than 75 plain arguments):
    // the offending argument as given (UTF-8).  The lists then stop there.
    bool unusable = false;
    std::string badArgument;
    // The options ask for the batch duplicity check ("q=dupl" with "z"),
    // which runs without any window or display.  Read argument by argument,
    // so an unusable line can still be a batch run.
    bool batchRun = false;
};

// Splits the arguments (UTF-8, without the program name).  Items starting with
// "-" or "--" are options; an item starting with "/" is an option unless the
// text before its first "=" (the whole item without one) holds a second "/",
// which makes "/srv/list.txt" a plain argument and "/d=/srv/data" option "d".
// The positionals stay in the display code page here.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The environment as the start-up reads it: the value, or empty when unset.
using EnvLookup = std::function<std::string(const char* name)>;
std::string RealEnvironment(const char* name);

// The customer domain that turns on the remote-desktop client override of the
// workstation name; fixed by the build (empty: no override).
std::string CompiledCustomerDomain();

// COMPUTERNAME (else the host name) upper-cased and cut to 19 characters;
// when "|" + ViewClient_Machine_Domain + "|" holds "|" + customerDomain + "|"
// the name of ViewClient_Machine_Name is used instead (when not empty).
std::string WorkstationNameFrom(const EnvLookup& env, std::string_view customerDomain);
// USERNAME, else the login name of the process's user; at most 255 bytes.
std::string UserNameFrom(const EnvLookup& env);

// The parent of the data folder when it holds the launcher "qevw.sh" (found
// whatever its letter case), else empty.  A parent of 2 characters or fewer
// ("/a/" has "/") never counts.
std::string SharedRootOf(const std::string& dataDir);

// The installation base: `sharedRoot` when `programFolder` is one folder
// directly below it (never "." or ".."), else empty.
std::string InstallBaseOf(const std::string& sharedRoot, const std::string& programFolder);

// Option "d" as a folder: "\" read as "/", made absolute against the current
// folder, with one trailing "/".  Paths are UTF-8.
std::string DataFolderFromOption(std::string_view value);

// The values of the start, written once by the start-up check.  The data
// folder is not among them: the data store's DataDir() is the one value.
struct StartValues {
    std::string Options = "|";
    std::string Positionals = "|"; // data code page, "a=" + value appended
    int PositionalCount = 0;
    std::string ProgramFolder; // with "/" (UTF-8 path)
    std::string OwnExecutable; // full path of the running program
    std::string SharedRoot;    // with "/", or empty
    std::string LogFolder;     // SharedRoot + "Logs/", or empty
    std::string WorkstationName;
    std::string WindowsUserName;
    uint8_t ProgramType = ProgramKind::Normal; // private to the start and the main window
};

// The process-wide start values.  Written by the start-up check and by tests.
StartValues& ProgramStart();

// The program type and data set that every other part reads.  0 until the
// main window's start publishes them.
uint8_t PublishedProgramType();
void PublishProgramType(uint8_t type);
DataSetCode PublishedDataSet();
void PublishDataSet(DataSetCode dataSet);

// The data set a list of options asks for: "all", "pzt", "pfa" tested in
// this order, the last present wins; drugs without any.
DataSetCode DataSetOfOptions(std::string_view options);
// The request tag of a data set: "|all|", "|pzt|", "|pfa|" or "|".
std::string DataSetTag(DataSetCode dataSet);
