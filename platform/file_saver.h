#pragma once
// Saving a file so that it is either replaced whole or left as it was: the one
// routine every writer of the program goes through (WriteFileAtomic and the
// ZIP extraction are thin callers of it).
//
// Every file call of a save goes through FileSystemOps, so that tests can make
// any step fail; the real implementation is plain POSIX.  FileSaver writes the
// new content to a uniquely named temporary file beside the target, flushes it
// to disk and renames it over the target, then syncs the folder.  It records
// the first error and which step failed; later steps are skipped, and a save
// that did not commit removes its temporary file.

#include <cstdint>
#include <string>
#include <string_view>

// File calls used by savers and by readers that must see the same file system.
// Every call returns 0 or an errno value.
class FileSystemOps {
public:
    virtual ~FileSystemOps() = default;
    // Creates every missing folder of the path (mode 0700 for new ones).
    virtual int MakeFolders(const std::string& folder);
    // Mode bits of an existing file; ENOENT when there is none.
    virtual int FileMode(const std::string& path, unsigned* mode);
    // Creates a new, uniquely named file in `folder` whose name starts with
    // `prefix`, open for writing with mode 0600.
    virtual int CreateTemp(const std::string& folder, const std::string& prefix, int* fd, std::string* path);
    virtual int SetMode(int fd, unsigned mode);
    // Writes all bytes (a call that writes nothing counts as ENOSPC).
    virtual int Write(int fd, const char* data, size_t size);
    // Makes the written bytes durable (fsync).
    virtual int Flush(int fd);
    virtual int Close(int fd);
    virtual int Rename(const std::string& from, const std::string& to);
    virtual int Remove(const std::string& path);
    // A second name for an existing file (a hard link; a copy, synced, on a
    // file system without links).  Fails with EEXIST when `to` exists.
    virtual int Link(const std::string& from, const std::string& to);
    virtual int SyncFolder(const std::string& folder);
    virtual int ReadFile(const std::string& path, std::string& out);
    // Opens a named file for writing, made (mode 0644) when missing; emptied
    // first unless `append`.  For files that are written in place on
    // purpose: logs and the installation-folder test.  A link at the path
    // is not followed (ELOOP).
    virtual int OpenForWrite(const std::string& path, bool append, int* fd);
    // Removes an empty folder.
    virtual int RemoveFolder(const std::string& folder);
    // An existing file opened for reading and writing in place (with
    // `create`, made when missing, 0666 minus the umask).
    virtual int OpenForUpdate(const std::string& path, bool create, int* fd);
    // Writes all bytes at the offset (a hole before it reads as zeros).
    virtual int WriteAt(int fd, int64_t offset, const char* data, size_t size);
    // Reads up to `size` bytes at the offset; *got receives the count.
    virtual int ReadAt(int fd, int64_t offset, char* data, size_t size, size_t* got);
    virtual int FileSize(int fd, int64_t* size);
};

// The process's real file system.
FileSystemOps& RealFileSystem();

// The system's text for an errno value (not locale-bound to any thread).
std::string SystemErrorText(int err);

// How a save treats a missing folder and the saved file's mode.
struct SaveMode {
    // Creates every missing folder of the target (mode 0700); without it a
    // missing folder fails the save at its Create step.
    bool makeFolders = true;
    // The mode bits the saved file gets.  0: a replaced file keeps its mode
    // and a new one gets 0600.
    unsigned fileMode = 0;
    // A new file (none to replace) gets 0666 minus the process's umask, as a
    // file a plain open would make, instead of 0600: files a group shares
    // (notes, sign lists) must stay readable to the others.
    bool umaskMode = false;
};

// The process's file-creation mask, read without changing it.
unsigned CurrentUmask();

class FileSaver {
public:
    enum class Step { None, Create, Write, Flush, Rename };

    // Opens a temporary file beside `target` as `mode` says.
    explicit FileSaver(std::string target, FileSystemOps& ops = RealFileSystem(), SaveMode mode = {});
    ~FileSaver();
    FileSaver(const FileSaver&) = delete;
    FileSaver& operator=(const FileSaver&) = delete;

    // Appends bytes; false once any step has failed.
    bool Write(std::string_view data);
    // Flushes, closes and renames over the target, then syncs the folder.
    // True when the target now holds exactly what was written.  Only the
    // first call does anything.
    bool Commit();

    bool HasError() const { return step_ != Step::None; }
    Step FailedStep() const { return step_; }
    int ErrorCode() const { return errno_; }
    // The failure as an I/O result code of platform/fs.h (0 without error).
    int IoError() const;
    std::string ErrorText() const { return errno_ ? SystemErrorText(errno_) : std::string(); }
    const std::string& TargetPath() const { return target_; }

private:
    void Fail(Step step, int err);
    void Discard();

    std::string target_;
    std::string folder_;
    std::string tempPath_;
    FileSystemOps& ops_;
    int fd_ = -1;
    bool committed_ = false;
    bool done_ = false;
    Step step_ = Step::None;
    int errno_ = 0;
};
