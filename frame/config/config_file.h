#pragma once
// The configuration file: one INI-like text file in code page 1250 with CR LF
// line ends that keeps the user's settings between runs.  LocateConfig picks
// the file, LoadConfig sets every default and reads it, SaveConfig rewrites it
// while carrying over every section the program does not own.  The format is
// described in docs/formats/config.md.
//
// Threads: the settings are read and changed by the main thread and by the
// start-up loader.  Every change, and every read of a value another thread
// may change, holds the settings mutex (ConfigFile::Update / Snapshot).
// SaveConfig copies the values under it and writes under a second, save-only
// mutex, so saves never interleave and a file holds the values of one moment.

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "frame/config/config_names.h"
#include "frame/config/config_scramble.h"
#include "frame/config/placement_scheme.h"

class FileSystemOps;
class TextTableSlot;

// Code-page choices of VIDEO=, PRINTER= and FILE= (held as the index).
namespace CodePageChoice {
constexpr uint8_t Ok = 0, Ascii = 1, Latin = 2, Win = 3, Filter = 4;
}
// Layout modes of WINDOWS=.
namespace WindowMode {
constexpr uint8_t Max = 0, Free = 1, Sch1 = 2, Sch2 = 3, Sch3 = 4;
}

// Paragraph selections of the document viewers.  Each selection is a string
// of at most 80 one-byte paragraph codes.
struct ParagraphSelections {
    // First selections of the kinds "K", "k", "B", "R", "E", "S"
    // (KODEX=, CODEX=, BREV=, PFA=, ENG=, SPC=).
    static constexpr std::string_view kFirstKinds = "KkBRES";
    // Second (filter) selections of "K", "k", "R", "E", "S"
    // (FKODEX=, FCODEX=, FPFA=, FENG=, FSPC=).
    static constexpr std::string_view kSecondKinds = "KkRES";
    // Start paragraphs of "K", "B", "S", "R", "E" (the bytes of FAVORS=).
    static constexpr std::string_view kStartKinds = "KBSRE";

    std::array<std::string, 6> first;
    std::array<std::string, 5> second;
    std::array<uint8_t, 5> start{};

    // The slot of a kind letter, nullptr when the kind has none.
    std::string* First(char kind);
    std::string* Second(char kind);
    uint8_t* Start(char kind);
    const std::string* First(char kind) const;
    const std::string* Second(char kind) const;
    const uint8_t* Start(char kind) const;

    bool operator==(const ParagraphSelections&) const = default;
};

// Every value the file keeps, with its default.  Names in PascalCase are the
// program-wide names other parts use; a comment gives the key.
struct ConfigValues {
    // [QEV language]
    std::string configuredLanguage = "ces";          // LANGUAGE=, written back
    std::string LanguageCode = "ces";                // the language of this run
    uint8_t LanguageIndex = 0;                       // 0 "ces", 1 "ang", 2 any other
    uint8_t videoCodePage = CodePageChoice::Ok;      // VIDEO=
    uint8_t printerCodePage = CodePageChoice::Ascii; // PRINTER=
    uint8_t fileCodePage = CodePageChoice::Ok;       // FILE=
    std::string transliterationFilter =              // FILTER=, at most 128
        "0CuedaDTceELIllAAEzZooOuUyOUSLYRtaiounNUOsrrRmp^r";

    // [QEV filter]
    uint16_t FilterFlags = 0;       // DRUG=; also the lists' default filter word
    uint8_t SynonymFilter = 0;      // COMP=; = DefaultSubstanceFilter
    uint8_t KeySelectOption = 128;  // BORDER=; the lists' default option byte
    std::string paragraphFilter;    // PARAGR=, at most 100 flag characters
    uint8_t textSearchOptions = 1;  // STEXT=: bit 0 "P", bit 1 "D"
    std::string ReimbColumnLetters; // VZPCR= (data code page)
    int32_t TextTarget = 0;         // FIND=: 0 KODEX, 1 ENG, 2 PATIENT, -1 none
    uint8_t CompositionFilter = 0;  // INGR=; = DefaultCompositionFilter
    uint8_t AtcFilter = 0;          // UATC=
    uint8_t SeptacOption = 1;       // WHISPER=; the lists' default Whisper
    uint8_t BlinkOff = 0;           // BLICK=
    uint8_t Dop3Off = 0;            // no key: lasts for the run

    // [QEV other]
    std::string NotesName = "NOTES"; // NOTES=, at most 8; = NotesFileName
    std::string notesEditor;         // NOTEDIT=, a path (UTF-8)
    std::string SignListName;        // SIGN=

    // [QEV paragr]: the file keeps the defaults; LoadConfig copies them into
    // the current selections, which the viewers change during the run.
    ParagraphSelections paragraphDefaults;
    ParagraphSelections paragraphCurrent;

    // [QEVW win]
    uint8_t windowMode = WindowMode::Free;                     // WINDOWS=
    uint8_t placementMode = WindowMode::Free;                  // its copy used by window placement
    std::array<uint32_t, 7> ColourTable = kDefaultColourTable; // COLOURS=
    bool maximize = false;                                     // MAXIMIZE=
    ConfigFont DialogFont{"Tarel Pro CE", 9, 0};               // FONTDLG=
    ConfigFont ListFont{"Tarel Pro CE", 9, 0};                 // FONTTAB=
    ConfigFont TextFont{"Tarel Pro CE", 9, 0};                 // FONTTXT=
    ConfigFont PrintFont{"Arial CE", 9, 0};                    // FONTPRN=
    bool PrintSavingOption = false;                            // PRINTER= of [QEVW win]
    int32_t mainWidth = 640;                                   // SIZEPOS=
    int32_t mainHeight = 480;
    int32_t mainLeft = 0;
    int32_t mainTop = 0;
    bool keepMainWindow = false;   // SIZEPOS= is written only when set
    bool tipUser = true;           // TIPUSER=
    bool tipData = false;          // TIPDATA=
    bool ToolbarVisible = false;   // TOOLBAR=, first character
    std::string ToolbarSelection = // TOOLBAR=, the rest
        "-dMA-dAK-dLL-dSP-DBA-CXD-DXC-sPW-sBE-sBW-RMR-SSI-";
    uint8_t newWindowOption = 0; // NEWWIN=

    // [QEV vis]
    bool longDrugColumns = false; // ADDCOL=

    // [QEVW sch1] .. [QEVW sch3]
    PlacementSchemes schemes;

    // [QEV news]
    char NewsOption = '3';          // BASE=: '3' on, '0' off
    std::string newsDate;           // BDATE=, yyyy/mm/dd
    char updateBase = ' ';          // UBASE=
    std::string updateDate;         // UDATE=
    std::string NextCheckDate;      // VDATE=
    std::string newsNotice;         // NOT=
    std::string newsRead;           // READ=
    uint8_t AutoUpdateSetting = 15; // VBASE=
    std::string DeclinedPackage;    // UPD=
    std::string zlpDate;            // ZLDATE=
    std::string zlpSize;            // ZLSIZE=, at most 11
    uint16_t ConnectionFlags = 0;   // IFL=: bit 4 plain "http://"
    std::string ProxyAddress;       // IPP=, scrambled in the file
    std::string ProxyUser;          // INN=
    std::string ProxyPassword;      // INP=

    // [QEV inst <base>]: the settings of this installation, read from its
    // own section and never written by the program (install_record sets
    // them).  The record's bytes (RECORD=, hex), the server letter
    // (VARIANT=) and the users list (every other line, joined by CR LF).
    std::string InstallationRecord;
    std::string ServerVariant;
    std::string InstallationList;

    // [.chir] and [.jipka]: their non-empty lines, each preceded by "|".
    std::string chirItems;
    std::string jipkaItems;
    // Derived from them (paths in UTF-8).
    std::string photosFolder;   // "|photos=" of [.jipka]
    std::string picturesFolder; // "|picts=" of [.jipka]
    std::string MaximDir;       // "|max=" of [.jipka]: a path prefix
    std::string maximEditor;    // "|maxim=" of [.chir]
    bool maximOn = false;       // both set and the folder of MaximDir exists

    // Folder of the notes files and user sign lists ($QEVNOTES, else the
    // data folder), with a trailing "/".
    std::string NotesFolder;

    // The 100 flag characters behind PARAGR=: '+' except '-' at position 2,
    // the value written over the first ones.
    std::string ParagraphFlagArray() const;
    // "http://" when IFL= bit 4 is set, else "https://".
    std::string UrlScheme() const;

    bool operator==(const ConfigValues&) const = default;
};

// The value of item `key` in a joined free-section text ("|key=value|..."):
// the text after "|key=" up to the next "|", cut to maxLength; empty when
// the item is missing.  `found` tells a missing item from an empty one.
std::string FreeItemValue(std::string_view items, std::string_view key, size_t maxLength = 99,
                          bool* found = nullptr);

// The environment as the configuration sees it; an unset variable reads empty.
using EnvironmentLookup = std::function<std::string(const char* name)>;
std::string ProcessEnvironment(const char* name);

// What LoadConfig takes from its caller.
struct ConfigLoadInput {
    std::string programFolder;                 // with a trailing "/"
    std::string dataFolder;                    // with a trailing "/"
    std::optional<std::string> languageOption; // command-line option "l"
    // The screen's available area (the main window's default is 2/3 of it,
    // centred); a width or height of 0: no screen known (640 x 480 at 0, 0).
    int screenLeft = 0;
    int screenTop = 0;
    int screenWidth = 0;
    int screenHeight = 0;
    std::string executableName = "qevw";
    EnvironmentLookup environment; // empty: the process environment
    // The installation base ("/"-ended) whose section holds the installation
    // settings; empty: the program folder names the section.
    std::string installBase;
};

// The header of an installation's section: "[QEV inst " + the folder
// ("/"-ended) + "]".
std::string InstallationSectionHeader(const std::string& folder);
// The file's text with the installation's section replaced (or appended):
// "RECORD=" + the record in hex, "VARIANT=" + the letter, then the list's
// lines.  Every other line stays as it is.  False for a folder holding "]"
// or a list line that is not "name=value" or uses a reserved name.
bool SetInstallationSection(std::string& fileText, const std::string& folder, const std::string& record,
                            const std::string& variant, const std::string& list);

// The primary screen's available area (without the desktop's panels) when
// a QGuiApplication exists; false and all 0 otherwise (the main window then
// defaults to 640 x 480).
bool PrimaryScreenArea(ConfigLoadInput& in);

// What writing needs besides the values.
struct ConfigWriteContext {
    // Data text "Uhr.Init" (data code page); nullopt when the data texts are
    // not loaded.
    std::optional<std::string> reimbInitLetters;
    std::string scrambleKey;
};

// Every default (LoadConfig step 1) for a screen size and program folder.
ConfigValues DefaultConfigValues(const ConfigLoadInput& in);
// Defaults, then the text read, then the derived values.
ConfigValues ReadConfigText(std::string_view text, const ConfigLoadInput& in);
// The whole file: the carried lines of `previous` (lines before its first
// section, "[." sections and sections the program does not own, in their
// order), then the program's sections.
std::string WriteConfigText(const ConfigValues& values, std::string_view previous,
                            const ConfigWriteContext& context);

class ConfigFile {
public:
    ConfigFile();
    ConfigFile(const ConfigFile&) = delete;
    ConfigFile& operator=(const ConfigFile&) = delete;

    // Picks ConfigPath (and FallbackConfigPath when ConfigPath does not exist).
    void Locate(const std::string& programFolder, const EnvironmentLookup& env = {});
    void SetPaths(std::string configPath, std::string fallbackPath);
    std::string ConfigPath() const;
    std::string FallbackConfigPath() const;

    // Defaults, then ConfigPath, else its leftover ".BAK", else the fallback.
    void Load(const ConfigLoadInput& in);
    // Rewrites ConfigPath; true when the file was written.  Failures are
    // reported (on the main thread) only when `show` is set.
    bool Save(bool show);

    // The file Load read (empty when none) and whether it existed but could
    // not be read (saving is then refused).
    std::string LoadedPath() const;
    bool LoadFailed() const;

    // A copy of all values, taken under the settings mutex.
    ConfigValues Snapshot() const;
    // Runs f(values) under the settings mutex and returns its result.
    template <class F>
    decltype(auto) Update(F&& f)
    {
        std::lock_guard<std::mutex> lock(settingsMutex_);
        return f(values_);
    }
    template <class F>
    decltype(auto) Read(F&& f) const
    {
        std::lock_guard<std::mutex> lock(settingsMutex_);
        return f(static_cast<const ConfigValues&>(values_));
    }
    std::mutex& SettingsMutex() const { return settingsMutex_; }
    // The values themselves, for callers that hold SettingsMutex().
    ConfigValues& ValuesLocked() { return values_; }

    // Seams: the file system the load and save go through, and the text
    // tables the save reads its messages and "Uhr.Init" from.
    void SetFileSystem(FileSystemOps* ops);
    void SetTextTables(const TextTableSlot* uiTexts, const TextTableSlot* dataTexts);

private:
    FileSystemOps& Fs() const;
    void ReportSaveError(bool show, const char* key, const std::string& path,
                         const std::string& detail) const;

    mutable std::mutex settingsMutex_;
    std::mutex saveMutex_;
    // Guarded by settingsMutex_.
    ConfigValues values_;
    std::string configPath_;
    std::string fallbackPath_;
    std::string loadedPath_;
    bool loadFailed_ = false;
    std::string scrambleKey_;

    FileSystemOps* fs_ = nullptr;
    const TextTableSlot* uiTexts_;
    const TextTableSlot* dataTexts_;
};

// The program's configuration.
ConfigFile& Config();

void LocateConfig(const std::string& programFolder);
void LoadConfig(const ConfigLoadInput& in);
bool SaveConfig(bool show);

// The ".BAK" name of a configuration path: its extension replaced.
std::string BackupPathOf(const std::string& path);
