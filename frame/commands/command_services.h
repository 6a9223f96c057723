#pragma once
// What the commands need of the higher layers and of the user's files that
// is no command of its own: the language switch, the sign lists and notes,
// the list windows, and the file dialogs.  The layers that own them register
// at start-up; an empty member writes one run-log line naming it (a file
// dialog then answers "cancelled", the search words are none).
//
// Main thread only.

#include <array>
#include <functional>
#include <string>

class TDataForm;
class QWidget;

// A file dialog as the commands ask for it.  The filter is the program's
// form, "Description|*.ext|Description|*.ext" (display code page).
struct FileDialogRequest {
    bool save = false;         // save dialog, else open
    bool existing = true;      // an open dialog takes only an existing file
    std::string folder;        // initial folder (UTF-8)
    std::string proposed;      // proposed file name (UTF-8), may be empty
    std::string defaultSuffix; // without the "." (display code page)
    std::string filter;
    QWidget* parent = nullptr;
};

struct CommandServices {
    // Switches the text tables: 'E' English, 'C' Czech.
    std::function<void(char language)> loadLanguage;
    // The user sign list named by SIGN=: load it, or rebuild it from its
    // source file.
    std::function<void()> loadSignList;
    std::function<void()> rebuildSignList;
    // Imports the user notes again.
    std::function<void()> importNotes;
    // Every list window offering drug records positions on its master again
    // and refills (after another sign list was chosen).
    std::function<void()> repositionDrugLists;
    // The five search words of a list window (data code page; empty texts
    // when it has none).
    std::function<std::array<std::string, 5>(TDataForm* list)> searchWordsOf;
    // The file dialog: the chosen path (UTF-8), empty when cancelled.  Empty
    // member: the real QFileDialog.
    std::function<std::string(const FileDialogRequest&)> fileDialog;
};

// Replaces the table and returns the one it replaces.
CommandServices SetCommandServices(CommandServices services);

void SwitchLanguage(char language);
void SwitchSignList();
void SwitchRebuildSignList();
void RunNotesImport();
void RepositionDrugLists();
std::array<std::string, 5> ListSearchWords(TDataForm* list);
std::string RunFileDialog(const FileDialogRequest& request);

// "Desc|*.a|Desc2|*.b;*.c" as a Qt filter, "Desc (*.[aA]);;Desc2 (*.[bB]
// *.[cC])": every letter matches either case, as the users' files are named
// in either.
std::string QtFilterOf(const std::string& filter);

// The name of a chosen file without folder and extension (UTF-8) when it
// lies in `folder`; false when it lies elsewhere.  SIGN= and NOTES= keep a
// name only, so their files must lie in the notes folder.
bool FileStemInFolder(const std::string& path, const std::string& folder, std::string& stem);

// The file dialog of the sign-list source ("SUU", kind false: the ".TXT" or
// ".CSV" sources; kind true: the ".SGN" lists themselves).  It asks for an
// existing file in the notes folder and answers the chosen path (UTF-8) or
// empty.
std::string ChooseExportFile(QWidget* parent, bool kind);

// The start page's marked elements lose their mark when a menu item is
// chosen; nothing when the start page registered no call.
void SetClearStartPageMarks(std::function<void()> call);
void ClearStartPageMarks();
