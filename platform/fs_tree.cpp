// Folder listings, removal of folder trees and the file systems below paths.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/fs.h"

namespace {

FolderEntry::Kind KindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FolderEntry::Kind::File;
    if (S_ISDIR(mode))
        return FolderEntry::Kind::Folder;
    if (S_ISLNK(mode))
        return FolderEntry::Kind::Link;
    return FolderEntry::Kind::Other;
}

std::mutex probeMutex;
RemoveFailureProbe removeProbe;

// An unlinkat that a test may make fail for a path.
int UnlinkAt(int dir, const std::string& name, int flags, const std::string& path)
{
    RemoveFailureProbe probe;
    {
        std::lock_guard lock(probeMutex);
        probe = removeProbe;
    }
    if (probe) {
        if (const int err = probe(path))
            return err;
    }
    return ::unlinkat(dir, name.c_str(), flags) == 0 ? 0 : errno;
}

// Keeps the first failure and its path.
void Note(int& first, std::string* failedPath, int err, const std::string& path)
{
    if (first != 0 || err == 0)
        return;
    first = err;
    if (failedPath)
        *failedPath = path;
}

// Removes the entries of the open folder `dir` (a descriptor it takes over);
// `path` is its path with a closing "/".
int EmptyFolderAt(int dir, dev_t device, const std::string& path, std::string* failedPath)
{
    DIR* d = ::fdopendir(dir);
    if (!d) {
        const int err = errno;
        ::close(dir);
        if (failedPath)
            *failedPath = path;
        return err;
    }
    int first = 0;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..")
            names.push_back(n);
    }
    for (const std::string& n : names) {
        const std::string entry = path + n;
        struct stat st {};
        if (::fstatat(dir, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                Note(first, failedPath, errno, entry);
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            if (st.st_dev != device) {
                // A mount below the folder: never emptied from here.
                Note(first, failedPath, EXDEV, entry);
                continue;
            }
            const int sub = ::openat(dir, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                Note(first, failedPath, errno, entry);
                continue;
            }
            const int r = EmptyFolderAt(sub, device, entry + "/", first == 0 ? failedPath : nullptr);
            if (r != 0 && first == 0)
                first = r;
            Note(first, failedPath, UnlinkAt(dir, n, AT_REMOVEDIR, entry), entry);
        } else {
            Note(first, failedPath, UnlinkAt(dir, n, 0, entry), entry);
        }
    }
    ::closedir(d);
    return first;
}

std::string Unescape(const std::string& field)
{
    // mountinfo writes blanks, tabs, newlines and backslashes as \ooo.
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string oct = field.substr(i + 1, 3);
            if (oct.size() == 3 &&
                std::all_of(oct.begin(), oct.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out.push_back(static_cast<char>(std::stoi(oct, nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

} // namespace

std::vector<FolderEntry> ListFolder(const std::string& folder)
{
    std::vector<FolderEntry> out;
    const std::string dir = WithTrailingSlash(folder);
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return out;
    const int fd = ::dirfd(d);
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        struct stat st {};
        FolderEntry entry;
        entry.name = n;
        if (::fstatat(fd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            entry.kind = KindOf(st.st_mode);
            entry.size = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
            entry.mode = st.st_mode & 07777;
        }
        out.push_back(std::move(entry));
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return out;
}

int MakeFolder(const std::string& folder, unsigned mode)
{
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    return ::mkdir(f.c_str(), static_cast<mode_t>(mode)) == 0 ? 0 : errno;
}

int RemoveTree(const std::string& folder)
{
    return RemoveTreeReporting(folder, nullptr);
}

int RemoveTreeReporting(const std::string& folder, std::string* failedPath)
{
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    struct stat st {};
    if (::lstat(f.c_str(), &st) != 0) {
        const int err = errno;
        if (failedPath)
            *failedPath = f;
        return err;
    }
    if (!S_ISDIR(st.st_mode)) {
        const size_t slash = f.rfind('/');
        const std::string folderOfFile = slash == std::string::npos
                                             ? std::string(".")
                                             : (slash == 0 ? std::string("/") : f.substr(0, slash));
        const int parent = ::open(folderOfFile.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int err = parent < 0 ? errno : UnlinkAt(parent, f.substr(slash + 1), 0, f);
        if (parent >= 0)
            ::close(parent);
        if (err != 0 && failedPath)
            *failedPath = f;
        return err;
    }
    const int dir = ::open(f.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) {
        const int err = errno;
        if (failedPath)
            *failedPath = f;
        return err;
    }
    const int r = EmptyFolderAt(dir, st.st_dev, f + "/", failedPath);
    if (::rmdir(f.c_str()) != 0) {
        if (r != 0)
            return r;
        const int err = errno;
        if (failedPath)
            *failedPath = f;
        return err;
    }
    return r;
}

RemoveFailureProbe SetRemoveFailureProbe(RemoveFailureProbe probe)
{
    std::lock_guard lock(probeMutex);
    std::swap(probe, removeProbe);
    return probe;
}

bool IsSymbolicLink(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int64_t DiskFreeBytes(const std::string& path)
{
    struct statvfs s {};
    if (::statvfs(path.c_str(), &s) != 0)
        return -1;
    return static_cast<int64_t>(s.f_bavail) * static_cast<int64_t>(s.f_frsize);
}

std::string MountPointOf(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return {};
    std::string p = real;
    ::free(real);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0)
        return {};
    const dev_t device = st.st_dev;
    while (p != "/") {
        const size_t slash = p.rfind('/');
        const std::string parent = slash == 0 ? std::string("/") : p.substr(0, slash);
        struct stat ps {};
        if (::stat(parent.c_str(), &ps) != 0 || ps.st_dev != device)
            break;
        p = parent;
    }
    return WithTrailingSlash(p);
}

std::string MountSourceOf(const std::string& mountPoint)
{
    std::string text;
    if (ReadWholeFile("/proc/self/mountinfo", text) != 0)
        return {};
    std::string want = mountPoint;
    while (want.size() > 1 && want.back() == '/')
        want.pop_back();
    std::string found;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source super
        std::vector<std::string> f;
        size_t p = 0;
        while (p < line.size()) {
            size_t q = line.find(' ', p);
            if (q == std::string::npos)
                q = line.size();
            f.push_back(line.substr(p, q - p));
            p = q + 1;
        }
        if (f.size() < 7 || Unescape(f[4]) != want)
            continue;
        const auto dash = std::find(f.begin() + 6, f.end(), "-");
        if (dash == f.end() || dash + 2 >= f.end())
            continue;
        found = Unescape(*(dash + 2)); // the last mount there wins
    }
    return found;
}
