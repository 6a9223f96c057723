#include "platform/fs.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

int IoResultFromErrno(int err)
{
    switch (err) {
    case 0: return IoResult::Ok;
    case ENOENT: return IoResult::NotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return IoResult::PathNotFound;
    case EMFILE:
    case ENFILE: return IoResult::TooManyOpen;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return IoResult::AccessDenied;
    case EBUSY:
    case ETXTBSY: return IoResult::SharingViolation;
    case ENOSPC: return IoResult::ShortWrite;
    default: return IoResult::ErrnoBase + err;
    }
}

std::string WithTrailingSlash(std::string_view folder)
{
    std::string f(folder);
    while (!f.empty() && (f.back() == '/' || f.back() == '\\'))
        f.pop_back();
    f.push_back('/');
    return f;
}

static bool PathExists(const std::string& p)
{
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

std::string ResolveInFolder(std::string_view folder, std::string_view name)
{
    std::string dir = folder.empty() ? std::string("./") : WithTrailingSlash(folder);
    std::string exact = dir + std::string(name);
    if (PathExists(exact))
        return exact;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return exact;
    std::string found;
    std::string want(name);
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, want.c_str()) == 0) {
            found = dir + e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found.empty() ? exact : found;
}

std::string ResolvePath(std::string_view path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos)
        return ResolveInFolder("./", path).substr(2);
    return ResolveInFolder(path.substr(0, slash + 1), path.substr(slash + 1));
}

bool FileWritable(const std::string& path)
{
    return ::access(path.c_str(), W_OK) == 0;
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t FileSize(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return st.st_size;
}

bool ModifiedTime(const std::string& path, int64_t* nanoseconds)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    *nanoseconds = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

bool GetFileStamp(const std::string& path, FileStamp* stamp)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    stamp->modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp->size = static_cast<int64_t>(st.st_size);
    stamp->inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

FileLock::~FileLock()
{
    Release();
}

void FileLock::Release()
{
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

int FileLock::Take(const std::string& path, bool exclusive, int waitMs)
{
    Release();
    const int fd = ::open(path.c_str(), (exclusive ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0)
        return IoResultFromErrno(errno);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) {
            fd_ = fd;
            return 0;
        }
        const int err = errno;
        if (err != EWOULDBLOCK && err != EINTR) {
            ::close(fd);
            return IoResultFromErrno(err);
        }
        if (std::chrono::steady_clock::now() >= until) {
            ::close(fd);
            return IoResult::SharingViolation;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int FileLock::TakeCurrent(const std::string& path, bool exclusive, int waitMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (int r = Take(path, exclusive, static_cast<int>(std::max<int64_t>(0, left.count()))))
            return r;
        struct stat held, named;
        if (::fstat(fd_, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev)
            return 0;
        Release();
        if (std::chrono::steady_clock::now() >= until)
            return IoResult::SharingViolation;
    }
}

int CreateExclusiveFile(const std::string& path, std::string_view bytes, uint64_t* inode, bool* existed)
{
    *existed = false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *existed = errno == EEXIST;
        return *existed ? IoResult::AccessDenied : IoResultFromErrno(errno);
    }
    struct stat st {};
    int result = ::fstat(fd, &st) == 0 ? 0 : IoResultFromErrno(errno);
    *inode = static_cast<uint64_t>(st.st_ino);
    size_t done = 0;
    while (result == 0 && done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w <= 0)
            result = w < 0 && errno != ENOSPC ? IoResultFromErrno(errno) : IoResult::ShortWrite;
        else
            done += static_cast<size_t>(w);
    }
    ::close(fd);
    if (result != 0)
        ::unlink(path.c_str());
    return result;
}

int MakePrivateFolder(const std::string& folder)
{
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return errno;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0)
        return errno;
    // Another user could plant files in, or read from, anything else.
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 0777) != 0700)
        return NotPrivateFolder;
    return 0;
}

ReadOnlyFile::~ReadOnlyFile()
{
    Close();
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : fd_(other.fd_), size_(other.size_), map_(other.map_), mapSize_(other.mapSize_)
{
    other.fd_ = -1;
    other.size_ = 0;
    other.map_ = nullptr;
    other.mapSize_ = 0;
}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        size_ = other.size_;
        map_ = other.map_;
        mapSize_ = other.mapSize_;
        other.fd_ = -1;
        other.size_ = 0;
        other.map_ = nullptr;
        other.mapSize_ = 0;
    }
    return *this;
}

int ReadOnlyFile::Open(const std::string& path, bool mapped)
{
    Close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return IoResultFromErrno(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        int r = IoResultFromErrno(errno);
        ::close(fd);
        return r;
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return IoResult::AccessDenied;
    }
    fd_ = fd;
    size_ = st.st_size;
    if (mapped && size_ > 0) {
        void* m = ::mmap(nullptr, static_cast<size_t>(size_), PROT_READ, MAP_SHARED, fd, 0);
        if (m != MAP_FAILED) {
            map_ = static_cast<const char*>(m);
            mapSize_ = static_cast<size_t>(size_);
        }
    }
    return 0;
}

void ReadOnlyFile::Unmap()
{
    if (map_)
        ::munmap(const_cast<char*>(map_), mapSize_);
    map_ = nullptr;
    mapSize_ = 0;
}

int ReadOnlyFile::Close()
{
    if (fd_ < 0)
        return 0;
    Unmap();
    int r = ::close(fd_) == 0 ? 0 : IoResultFromErrno(errno);
    fd_ = -1;
    size_ = 0;
    return r;
}

int ReadOnlyFile::Refresh()
{
    struct stat st;
    if (fd_ < 0)
        return IoResult::ErrnoBase + EBADF;
    if (::fstat(fd_, &st) != 0)
        return IoResultFromErrno(errno);
    const bool wasMapped = map_ != nullptr;
    if (wasMapped && static_cast<size_t>(st.st_size) != mapSize_) {
        Unmap();
        if (st.st_size > 0) {
            void* m = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED, fd_, 0);
            if (m != MAP_FAILED) {
                map_ = static_cast<const char*>(m);
                mapSize_ = static_cast<size_t>(st.st_size);
            }
        }
    }
    size_ = st.st_size;
    return 0;
}

int ReadOnlyFile::ReadAt(int64_t offset, void* buf, size_t n, size_t* got) const
{
    size_t done = 0;
    if (got)
        *got = 0;
    if (fd_ < 0)
        return IoResult::ErrnoBase + EBADF;
    if (offset < 0)
        return IoResult::ShortRead;
    char* p = static_cast<char*>(buf);
    if (map_) {
        // Reads never pass the size the file had when it was mapped.
        const uint64_t off = static_cast<uint64_t>(offset);
        done = off >= mapSize_ ? 0 : std::min<uint64_t>(n, mapSize_ - off);
        if (done)
            std::memcpy(p, map_ + off, done);
        if (got)
            *got = done;
        return done == n ? 0 : IoResult::ShortRead;
    }
    while (done < n) {
        ssize_t r = ::pread(fd_, p + done, n - done, offset + static_cast<int64_t>(done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            if (got)
                *got = done;
            return IoResultFromErrno(errno);
        }
        if (r == 0)
            break;
        done += static_cast<size_t>(r);
    }
    if (got)
        *got = done;
    return done == n ? 0 : IoResult::ShortRead;
}

void ReadOnlyFile::Prefetch(int64_t offset, size_t n) const
{
    if (!map_ || offset < 0 || static_cast<uint64_t>(offset) >= mapSize_)
        return;
    const size_t end = std::min<uint64_t>(mapSize_, static_cast<uint64_t>(offset) + n);
    for (size_t at = static_cast<size_t>(offset) & ~size_t{63}; at < end; at += 64)
        __builtin_prefetch(map_ + at);
}

int ReadWholeFile(const std::string& path, std::string& out)
{
    out.clear();
    ReadOnlyFile f;
    if (int r = f.Open(path))
        return r;
    out.resize(static_cast<size_t>(f.Size()));
    size_t got = 0;
    int r = f.ReadAt(0, out.data(), out.size(), &got);
    out.resize(got);
    return r;
}
