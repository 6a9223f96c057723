#include "platform/file_saver.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fs.h"

int FileSystemOps::MakeFolders(const std::string& folder)
{
    if (folder.empty() || FolderExists(folder))
        return 0;
    std::string path;
    size_t pos = 0;
    while (pos <= folder.size()) {
        size_t next = folder.find('/', pos);
        if (next == std::string::npos)
            next = folder.size();
        path = folder.substr(0, next);
        pos = next + 1;
        if (path.empty())
            continue;
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    return FolderExists(folder) ? 0 : ENOTDIR;
}

int FileSystemOps::FileMode(const std::string& path, unsigned* mode)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return errno;
    *mode = st.st_mode & 07777;
    return 0;
}

int FileSystemOps::CreateTemp(const std::string& folder, const std::string& prefix, int* fd,
                              std::string* path)
{
    std::string tmpl = folder + prefix + "XXXXXX";
    int f = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (f < 0)
        return errno;
    *fd = f;
    *path = tmpl;
    return 0;
}

int FileSystemOps::SetMode(int fd, unsigned mode)
{
    return ::fchmod(fd, static_cast<mode_t>(mode)) == 0 ? 0 : errno;
}

namespace {

// Writes all `size` bytes through `step(done)`, which writes from byte `done`
// on and answers what write(2) answers; retries on EINTR, and a write of
// nothing means the disk is full.
template <class Step>
int WriteAll(size_t size, Step step)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t w = step(done);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (w == 0)
            return ENOSPC;
        done += static_cast<size_t>(w);
    }
    return 0;
}

} // namespace

int FileSystemOps::Write(int fd, const char* data, size_t size)
{
    return WriteAll(size, [&](size_t done) { return ::write(fd, data + done, size - done); });
}

int FileSystemOps::Flush(int fd)
{
    return ::fsync(fd) == 0 ? 0 : errno;
}

int FileSystemOps::Close(int fd)
{
    return ::close(fd) == 0 ? 0 : errno;
}

int FileSystemOps::OpenForWrite(const std::string& path, bool append, int* fd)
{
    const int f = ::open(path.c_str(),
                         O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (append ? O_APPEND : O_TRUNC), 0644);
    if (f < 0)
        return errno;
    *fd = f;
    return 0;
}

int FileSystemOps::RemoveFolder(const std::string& folder)
{
    return ::rmdir(folder.c_str()) == 0 ? 0 : errno;
}

int FileSystemOps::Rename(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int FileSystemOps::Remove(const std::string& path)
{
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int FileSystemOps::Link(const std::string& from, const std::string& to)
{
    if (::link(from.c_str(), to.c_str()) == 0)
        return 0;
    const int err = errno;
    if (err != EPERM && err != EOPNOTSUPP && err != EXDEV && err != EMLINK)
        return err;
    std::string bytes;
    if (int r = ReadFile(from, bytes))
        return r;
    const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    int r = Write(fd, bytes.data(), bytes.size());
    if (r == 0)
        r = Flush(fd);
    if (int c = Close(fd); r == 0)
        r = c;
    if (r != 0)
        ::unlink(to.c_str());
    return r;
}

int FileSystemOps::SyncFolder(const std::string& folder)
{
    int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        return errno;
    int r = ::fsync(dfd) == 0 ? 0 : errno;
    ::close(dfd);
    return r;
}

int FileSystemOps::ReadFile(const std::string& path, std::string& out)
{
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        return err;
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return EISDIR;
    }
    char buf[65536];
    for (;;) {
        ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            ::close(fd);
            out.clear();
            return err;
        }
        if (r == 0)
            break;
        out.append(buf, static_cast<size_t>(r));
    }
    ::close(fd);
    return 0;
}

int FileSystemOps::OpenForUpdate(const std::string& path, bool create, int* fd)
{
    const int f = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (f < 0)
        return errno;
    *fd = f;
    return 0;
}

int FileSystemOps::WriteAt(int fd, int64_t offset, const char* data, size_t size)
{
    return WriteAll(size, [&](size_t done) {
        return ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
    });
}

int FileSystemOps::ReadAt(int fd, int64_t offset, char* data, size_t size, size_t* got)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t r = ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            *got = done;
            return errno;
        }
        if (r == 0)
            break;
        done += static_cast<size_t>(r);
    }
    *got = done;
    return 0;
}

int FileSystemOps::FileSize(int fd, int64_t* size)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return errno;
    *size = st.st_size;
    return 0;
}

FileSystemOps& RealFileSystem()
{
    static FileSystemOps real;
    return real;
}

std::string SystemErrorText(int err)
{
    char buf[256];
    // The GNU variant returns a pointer that may or may not be buf.
    const char* text = ::strerror_r(err, buf, sizeof buf);
    return text ? std::string(text) : std::string("error ") + std::to_string(err);
}

unsigned CurrentUmask()
{
    // umask(2) can only be read by setting it, which races with other threads
    // creating files; the kernel reports it in the status file instead.
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<unsigned>(std::strtoul(line.c_str() + 6, nullptr, 8)) & 0777;
    }
    return 022;
}

FileSaver::FileSaver(std::string target, FileSystemOps& ops, SaveMode mode)
    : target_(std::move(target)), ops_(ops)
{
    size_t slash = target_.find_last_of('/');
    folder_ = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (!folder_.empty() && mode.makeFolders) {
        if (int err = ops_.MakeFolders(folder_)) {
            Fail(Step::Create, err);
            return;
        }
    }
    // The temporary file is created 0600; a replaced file's mode carries over.
    unsigned fileMode = mode.fileMode;
    bool setMode = fileMode != 0 || ops_.FileMode(target_, &fileMode) == 0;
    if (!setMode && mode.umaskMode) {
        fileMode = 0666 & ~CurrentUmask();
        setMode = true;
    }
    if (int err = ops_.CreateTemp(folder_, "." + name + ".", &fd_, &tempPath_)) {
        fd_ = -1;
        Fail(Step::Create, err);
        return;
    }
    if (setMode) {
        if (int err = ops_.SetMode(fd_, fileMode))
            Fail(Step::Create, err);
    }
}

FileSaver::~FileSaver()
{
    if (!committed_)
        Discard();
}

void FileSaver::Fail(Step step, int err)
{
    if (step_ != Step::None)
        return;
    step_ = step;
    errno_ = err ? err : EIO;
}

void FileSaver::Discard()
{
    if (fd_ >= 0) {
        ops_.Close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.empty()) {
        ops_.Remove(tempPath_);
        tempPath_.clear();
    }
}

bool FileSaver::Write(std::string_view data)
{
    if (HasError() || done_)
        return false;
    if (data.empty())
        return true;
    if (int err = ops_.Write(fd_, data.data(), data.size())) {
        Fail(Step::Write, err);
        return false;
    }
    return true;
}

bool FileSaver::Commit()
{
    if (done_)
        return committed_;
    done_ = true;
    if (HasError()) {
        Discard();
        return false;
    }
    if (int err = ops_.Flush(fd_))
        Fail(Step::Flush, err);
    int closeErr = ops_.Close(fd_);
    fd_ = -1;
    if (closeErr)
        Fail(Step::Flush, closeErr);
    if (!HasError()) {
        if (int err = ops_.Rename(tempPath_, target_))
            Fail(Step::Rename, err);
    }
    if (HasError()) {
        Discard();
        return false;
    }
    tempPath_.clear();
    committed_ = true;
    // The rename is done; a folder that cannot be synced only weakens
    // durability after a power loss and is not worth failing the save.
    ops_.SyncFolder(folder_);
    return true;
}

int FileSaver::IoError() const
{
    return errno_ ? IoResultFromErrno(errno_) : 0;
}

int WriteFileAtomic(const std::string& path, std::string_view content)
{
    FileSaver saver(path, RealFileSystem(), SaveMode{.makeFolders = false, .fileMode = 0644});
    saver.Write(content);
    saver.Commit();
    return saver.IoError();
}
