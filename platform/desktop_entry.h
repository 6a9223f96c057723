#pragma once
// Menu and desktop entries that start a program: XDG desktop entry files
// ("<name>.desktop", mode 0755) in the applications folder of the user's
// menu (a subfolder of it when asked) or on the desktop.
//
// An entry is written through FileSaver, so an old entry is replaced whole
// or left as it was.  Values follow the Desktop Entry Specification: the
// program and its arguments in Exec= are quoted, "%" is doubled, and every
// string value has its backslashes and control characters escaped.

#include <string>
#include <string_view>

#include "platform/file_saver.h"

// What a shell link holds.
struct ShellLink {
    std::string target;        // the program or launcher to start (UTF-8)
    std::string workingFolder; // Path=; empty writes none
    std::string arguments;     // one argument after the target; empty for none
    bool minimised = false;    // a program started without a terminal window
    std::string icon;          // Icon=; empty writes none
    std::string description;   // Name= and Comment=
};

struct DesktopEntryResult {
    bool ok = false;
    std::string path;   // the entry written (or not)
    std::string reason; // the system's reason when it failed
};

// One argument of Exec= as the specification quotes it: in double quotes,
// with '"', '`', '$' and '\' escaped by a backslash, then "%" doubled.
std::string DesktopExecArgument(std::string_view argument);
// A string value: "\" as "\\", and line feed, tab and carriage return as
// "\n", "\t", "\r".
std::string DesktopStringValue(std::string_view value);
// The whole file of an entry.
std::string DesktopEntryText(const ShellLink& link);

// Writes the entry to `linkPath`, creating its folder when missing.
DesktopEntryResult CreateShellLink(const std::string& linkPath, const ShellLink& link,
                                   FileSystemOps& ops = RealFileSystem());
// The user's menu: the applications folder, its `subfolder` when not empty,
// "<name>.desktop".
DesktopEntryResult CreateStartMenuLink(const ShellLink& link, const std::string& name,
                                       const std::string& subfolder, FileSystemOps& ops = RealFileSystem());
// The desktop folder, "<name>.desktop".
DesktopEntryResult CreateDesktopLink(const ShellLink& link, const std::string& name,
                                     FileSystemOps& ops = RealFileSystem());

// The folders the two use ($XDG_DATA_HOME/applications and the desktop of
// the user's folders); empty when the system names none.
std::string ApplicationsFolder();
std::string DesktopFolder();
