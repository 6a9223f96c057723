#pragma once
// The run log: one text of lines that the updater, the background loader and
// the inter-process protocol append to and the about box shows.  Any thread
// may append or read; the text is guarded by one mutex.
//
// The log keeps only its newest part: other processes can make the program
// append to it (every hand-over request is logged), and a log without a
// bound would let them grow its memory without end.

#include <cstddef>
#include <string>
#include <string_view>

// The most the log holds.  Once an append would pass it, the oldest lines go
// until three quarters of it are left, so that trimming stays rare.
constexpr size_t kRunLogMaxBytes = 256 * 1024;

// Appends the text as it is (callers end their lines with CR LF).
void AppendRunLog(std::string_view text);
// A copy of the whole log.
std::string RunLogText();
// Empties the log (tests, and the installer when it has written it out).
void ClearRunLog();
// The whole log, emptied in the same step: a line another thread appends
// meanwhile is either in the text returned or stays in the log.
std::string TakeRunLog();
