#pragma once
// What the sign-list, note-marks and notes-import sources share; not for
// other callers.

#include <mutex>
#include <string>
#include <string_view>

#include "datastore/db_table.h"

// Serializes every piece of work on the user's files.
std::mutex& UserFilesMutex();
// Boxes through the hooks (a run-log line without them).
void UserShowError(const std::string& text);
void UserShowMessage(const std::string& text);
// A configured name (code page 1250) as a file name, and a path back for a message.
std::string FileName(std::string_view configured);
std::string MessagePath(std::string_view path);
// The notes folder with "/", and it + the notes name (no extension).
std::string NotesFolderPath();
std::string NotesBasePath();
// "kl" on the named index on an own handle: DbStatus.
int32_t OpenDrugCodes(TDbTable& t, std::string_view index);
void CloseTable(TDbTable& t);
// The record number of the drug whose code begins with `code`; 0 when none.
int32_t FindDrug(TDbTable& t, std::string_view code, std::string& rec);
// LoadNoteMarks and RequestNoteMarksReload under the lock already held.
void LoadNoteMarksLocked();
void RequestNoteMarksReloadLocked();
