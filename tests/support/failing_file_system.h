#pragma once
// The real file system with one step of a save made to fail, for every test
// of a writer that must leave the old file whole.  A write failure can come
// after a chosen number of bytes, so that a part of the content has reached
// the temporary file when the save gives up.

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <string>

#include "platform/file_saver.h"

namespace test_support {

class FailingFileSystem : public FileSystemOps {
public:
    enum class Step { Nothing, Create, Write, Flush, Rename, Open, Close, RemoveFolder };

    // The step that fails and the errno it returns.
    Step failAt = Step::Nothing;
    int error = EIO;
    // With failAt == Write: the bytes that reach the temporary file first.
    // The write that would go past them writes up to that count, then fails.
    size_t failAfterBytes = 0;
    // A path whose reading fails with EIO (empty: none).
    std::string unreadable;
    // False skips the real fsync calls, for tests that save many times.
    bool sync = true;
    // Fails the n-th (1-based) call among Write, WriteAt, Flush and Rename
    // with `error`, and every such call after it (0: none); `calls` counts them.
    int failCall = 0;
    std::atomic<int> calls{0};

    // The calls that reached this file system, and the bytes written to the
    // latest temporary file (atomic: some tests save from several threads).
    std::atomic<int> writes{0};
    std::atomic<int> flushes{0};
    std::atomic<int> renames{0};
    std::atomic<size_t> bytesWritten{0};

    int CreateTemp(const std::string& folder, const std::string& prefix, int* fd, std::string* path) override
    {
        if (failAt == Step::Create)
            return error;
        bytesWritten = 0;
        return FileSystemOps::CreateTemp(folder, prefix, fd, path);
    }
    bool CallFails()
    {
        const int n = ++calls;
        return failCall > 0 && n >= failCall;
    }
    int Write(int fd, const char* data, size_t size) override
    {
        if (CallFails())
            return error;
        ++writes;
        if (failAt == Step::Write && bytesWritten + size > failAfterBytes) {
            const size_t part = failAfterBytes > bytesWritten ? failAfterBytes - bytesWritten : 0;
            if (part > 0 && FileSystemOps::Write(fd, data, part) == 0)
                bytesWritten += part;
            return error;
        }
        const int r = FileSystemOps::Write(fd, data, size);
        if (r == 0)
            bytesWritten += size;
        return r;
    }
    int WriteAt(int fd, int64_t offset, const char* data, size_t size) override
    {
        if (CallFails())
            return error;
        ++writes;
        return FileSystemOps::WriteAt(fd, offset, data, size);
    }
    int Flush(int fd) override
    {
        if (CallFails())
            return error;
        ++flushes;
        if (failAt == Step::Flush)
            return error;
        return sync ? FileSystemOps::Flush(fd) : 0;
    }
    int Rename(const std::string& from, const std::string& to) override
    {
        if (CallFails())
            return error;
        ++renames;
        return failAt == Step::Rename ? error : FileSystemOps::Rename(from, to);
    }
    // A named open for writing, a close and a folder removal.
    int OpenForWrite(const std::string& path, bool append, int* fd) override
    {
        if (failAt == Step::Open)
            return error;
        bytesWritten = 0;
        return FileSystemOps::OpenForWrite(path, append, fd);
    }
    int Close(int fd) override
    {
        const int r = FileSystemOps::Close(fd);
        return failAt == Step::Close ? error : r;
    }
    int RemoveFolder(const std::string& folder) override
    {
        return failAt == Step::RemoveFolder ? error : FileSystemOps::RemoveFolder(folder);
    }
    int SyncFolder(const std::string& folder) override
    {
        return sync ? FileSystemOps::SyncFolder(folder) : 0;
    }
    int ReadFile(const std::string& path, std::string& out) override
    {
        if (!unreadable.empty() && path == unreadable) {
            out.clear();
            return EIO;
        }
        return FileSystemOps::ReadFile(path, out);
    }
};

} // namespace test_support
