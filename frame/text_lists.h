#pragma once
// One list of text lines shared by its callers, and its file form.

#include <string>
#include <vector>

// One list of text lines shared by its callers (guarded: any thread).
std::vector<std::string> SharedTextLines();
void SetSharedTextLines(std::vector<std::string> lines);
// Reads the file whole into the shared list (lines split at CR LF, LF or CR);
// 0 or the I/O result, the list unchanged on failure.
int LoadTextList(const std::string& fileName);
// Writes the lines, each ended by CR LF, through a temporary file renamed
// over the target, so a failed write keeps the old file; 0 or the I/O result.
int SaveTextList(const std::vector<std::string>& lines, const std::string& fileName);
