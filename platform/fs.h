#pragma once
// Files and folders: the one place the program touches POSIX file calls.
// Results are the I/O result codes the data store reports (see IoResult).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// I/O result codes, as the data store reports them in its status word.
namespace IoResult {
constexpr int Ok = 0;
constexpr int NotFound = 2;          // ENOENT
constexpr int PathNotFound = 3;      // ENOTDIR, ENAMETOOLONG, ELOOP
constexpr int TooManyOpen = 4;       // EMFILE, ENFILE
constexpr int AccessDenied = 5;      // EACCES, EPERM, EROFS, EISDIR
constexpr int SharingViolation = 32; // EBUSY, ETXTBSY
constexpr int ShortRead = 100;
constexpr int ShortWrite = 101; // also ENOSPC
constexpr int ErrnoBase = 1000; // anything else: 1000 + errno
} // namespace IoResult

int IoResultFromErrno(int err);

// A folder text with exactly one trailing "/" (a trailing backslash counts as one).
std::string WithTrailingSlash(std::string_view folder);

// The path of `name` in `folder`: the exact name when it exists, else the
// first entry of the folder whose name matches ignoring ASCII letter case,
// else the exact path (so that opening it reports "not found").
std::string ResolveInFolder(std::string_view folder, std::string_view name);
// The same for a full path: its last component is resolved in its folder.
std::string ResolvePath(std::string_view path);

bool FileExists(const std::string& path);
// Whether this process may write the file (access(2); true for root).
bool FileWritable(const std::string& path);
bool FolderExists(const std::string& path);
// The size of a regular file; -1 when the path is missing or not a file.
int64_t FileSize(const std::string& path);
// When the file or folder was last modified, in nanoseconds since 1970;
// false when it cannot be examined.
bool ModifiedTime(const std::string& path, int64_t* nanoseconds);

// Makes a folder only this user can enter (mode 0700) unless it exists, and
// checks that what is there now is such a folder: not a link, owned by this
// user, mode exactly 0700.  0, NotPrivateFolder when something else is there,
// or the errno of the call that failed.
constexpr int NotPrivateFolder = -1;
int MakePrivateFolder(const std::string& folder);

// What tells one version of a file from another: a rewrite within the same
// second changes the nanoseconds or the size, a rename over it the inode.
struct FileStamp {
    int64_t modified = 0; // nanoseconds since 1970
    int64_t size = -1;
    uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};
// False when the path cannot be examined.
bool GetFileStamp(const std::string& path, FileStamp* stamp);

// An advisory whole-file lock (flock) held on an open descriptor of the path
// for the object's lifetime.  A shared lock opens the file read-only, an
// exclusive one read-write (NFS emulates flock with fcntl locks, which need
// that mode).  Taking it retries without blocking until `waitMs` has passed.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    // 0, SharingViolation when another holder kept it for the whole wait, or
    // the I/O result of the open.
    int Take(const std::string& path, bool exclusive, int waitMs);
    // The same, on the file the path names once the lock is granted: a
    // file renamed over the path while this waited is locked again.
    int TakeCurrent(const std::string& path, bool exclusive, int waitMs);
    void Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Creates the file only when no file of that name exists (test and creation
// in one step) and writes the bytes to it.  0, or the I/O result (an existing
// file: AccessDenied with *existed true).  *inode receives the new file's inode.
int CreateExclusiveFile(const std::string& path, std::string_view bytes, uint64_t* inode, bool* existed);

// A read-only file read at explicit offsets.  Opened for shared reading.
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ReadOnlyFile(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;

    // Opens the path as given (callers resolve letter case first).  With
    // `mapped`, the file is also mapped read-only into memory and reads copy
    // from the mapping: the data files are read-only and replaced only by
    // rename (never rewritten in place), so the mapping stays valid, and a
    // read costs no system call.  Falls back to plain reads when mapping fails.
    int Open(const std::string& path, bool mapped = false);
    // 0, or the I/O result of the failed close.
    int Close();
    bool IsOpen() const { return fd_ >= 0; }
    // Size in bytes at open time, refreshed by Refresh().
    int64_t Size() const { return size_; }
    int Refresh();
    // Reads up to n bytes at offset; *got receives the count read.
    // Returns 0 when n bytes were read, ShortRead when fewer, else the I/O result.
    int ReadAt(int64_t offset, void* buf, size_t n, size_t* got = nullptr) const;
    // A hint that bytes at offset will be read soon: a mapped file's cache
    // lines are fetched ahead of the read; nothing for an unmapped one.
    void Prefetch(int64_t offset, size_t n) const;

private:
    void Unmap();

    int fd_ = -1;
    int64_t size_ = 0;
    const char* map_ = nullptr;
    size_t mapSize_ = 0;
};

// Reads a whole file; 0 or the I/O result.
int ReadWholeFile(const std::string& path, std::string& out);

// Writes a whole file through FileSaver (platform/file_saver.h), so that a
// crash or a full disk never leaves it truncated.  The folder must exist; the
// file gets mode 0644.  Returns 0 or the I/O result of the first failure; on
// failure the old file is untouched and no temporary file remains.
int WriteFileAtomic(const std::string& path, std::string_view content);

// ---------------------------------------------------------------- folder trees

// One entry of a folder as the folder lists it; a link is reported as a link,
// never as what it points to.
struct FolderEntry {
    enum class Kind { File, Folder, Link, Other };
    std::string name;
    Kind kind = Kind::Other;
    int64_t size = 0; // of a file
    unsigned mode = 0;
};
// The entries of a folder without "." and "..", sorted by the bytes of their
// names; empty when the folder cannot be read.
std::vector<FolderEntry> ListFolder(const std::string& folder);
// Makes one folder with the mode (less the umask); 0, EEXIST when something
// of that name is there, or the errno.
int MakeFolder(const std::string& folder, unsigned mode);
// Removes a folder and everything in it without following links (a link is
// removed, never what it names) and without entering another file system.
// 0, or the errno of the first failure (the walk goes on past it).
int RemoveTree(const std::string& folder);
// The same, with the path of the first failure in *failedPath (left alone
// when nothing failed).
int RemoveTreeReporting(const std::string& folder, std::string* failedPath);
// A test seam: called with each path before it is unlinked; a non-zero
// errno makes that removal fail.  Returns the probe it replaces.
using RemoveFailureProbe = std::function<int(const std::string& path)>;
RemoveFailureProbe SetRemoveFailureProbe(RemoveFailureProbe probe);
// Whether the path is a symbolic link (itself, not what it names).
bool IsSymbolicLink(const std::string& path);

// ------------------------------------------------------------ file systems

// The bytes an unprivileged user may still write on the file system holding
// the path; -1 when the system will not tell.
int64_t DiskFreeBytes(const std::string& path);
// The mount point of the file system holding the path ("/" ended): the
// highest folder above it on the same device.  Empty when unknown.
std::string MountPointOf(const std::string& path);
// What is mounted there ("//server/share" of a network share, "server:/path"
// of NFS, a device name) as /proc/self/mountinfo says; empty when unknown.
std::string MountSourceOf(const std::string& mountPoint);
