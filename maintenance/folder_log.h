#pragma once
// The installer's logs: "_InstLog.txt" in a version folder while its
// installation is unfinished, and in the program folder during installer
// mode.  Lines end with CR LF.  Each line is saved at once, the file
// replaced whole through FileSaver, so that a crash leaves the log as it was
// after its last line and never a torn one.
//
// Threads: one owner at a time; InstallerLog() is guarded by its own mutex.

#include <mutex>
#include <string>
#include <string_view>

class FileSystemOps;

class FolderLog {
public:
    FolderLog();
    explicit FolderLog(FileSystemOps& ops);

    // Starts a new, empty log file (an old one is replaced); 0 or the I/O
    // result.
    int Create(const std::string& path);
    // Continues the file (created when missing); 0 or the I/O result.
    int Open(const std::string& path);
    // Appends text + CR LF / the text as it is, and saves.
    int Line(std::string_view text);
    int Append(std::string_view text);
    void Close();
    // Closes and removes the file; 0 or the errno.
    int Delete();
    bool IsOpen() const { return open_; }
    const std::string& Path() const { return path_; }
    const std::string& Text() const { return text_; }

private:
    int Save();

    FileSystemOps* ops_;
    std::string path_;
    std::string text_;
    bool open_ = false;
};

// The installer-mode log of this process (ProgramFolder + "_InstLog.txt"),
// open from StartInstallerMode to the end of installer mode.
struct InstallerLogHandle {
    std::mutex mutex;
    FolderLog log;
};
InstallerLogHandle& InstallerLog();
