#pragma once
// The run log: one text of lines that the updater, the background loader and
// the inter-process protocol append to and the about box shows.  Any thread
// may append or read; the text is guarded by one mutex.

#include <string>
#include <string_view>

// Appends the text as it is (callers end their lines with CR LF).
void AppendRunLog(std::string_view text);
// A copy of the whole log.
std::string RunLogText();
// Empties the log (tests, and the installer when it has written it out).
void ClearRunLog();
