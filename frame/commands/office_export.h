#pragma once
// "sBE" and "sBW": the active data window to a new spreadsheet or word
// processor document.  The window is copied to the clipboard as the copy
// command does, then exported to a private temporary ".csv" or ".rtf" that
// the office suite opens as a new, unnamed document (no automation: the
// suite converts the file itself).  A missing suite leaves the clipboard
// filled for pasting by hand.

#include <QString>

#include <string>

class TDataForm;

enum class OfficeTarget { Spreadsheet, WordProcessor };

// The office program on PATH ("soffice", else "libreoffice"); empty when none.
QString FindOfficeProgram();
// The arguments that open `file` as a new document of the target.
QStringList OfficeArguments(OfficeTarget target, const QString& file);
// The private folder of the hand-over files (made 0700 when missing; files
// older than an hour in it are deleted); empty when it is not ours.
std::string OfficeFolder();

// The commands on a window (the active one when nullptr); false when
// nothing was started.
bool ExportToSpreadsheet(TDataForm* form = nullptr);
bool ExportToWordProcessor(TDataForm* form = nullptr);

// Registers both commands by name.
void RegisterOfficeExportCommands();
