#include "platform/shared_memory.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/coding.h"
#include "platform/fs.h"

namespace {

std::string ObjectName(const std::string& name)
{
    return "/" + name;
}

bool NameUsable(const std::string& name)
{
    return !name.empty() && name.find('/') == std::string::npos && name.size() < 250;
}

} // namespace

int ReadSharedBlock(const std::string& name, std::string& out, size_t limit, size_t* fullLength)
{
    out.clear();
    if (fullLength)
        *fullLength = 0;
    if (!NameUsable(name))
        return IoResult::NotFound;
    const int fd = ::shm_open(ObjectName(name).c_str(), O_RDONLY, 0);
    if (fd < 0)
        return IoResultFromErrno(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return IoResultFromErrno(e);
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size < 4) {
        ::close(fd);
        return SharedBlockResult::TooSmall;
    }
    void* map = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, fd, 0);
    const int mapErrno = errno;
    ::close(fd);
    if (map == MAP_FAILED)
        return IoResultFromErrno(mapErrno);
    const auto* bytes = static_cast<const char*>(map);
    const uint32_t n = DecodeLE32(bytes);
    int result = 0;
    // The other program's word is not trusted: a length past the block would
    // read memory that is not there.
    if (uint64_t(n) + 4 > size) {
        result = SharedBlockResult::BadLength;
    } else {
        if (fullLength)
            *fullLength = n;
        const size_t take = (limit > 0 && n > limit) ? limit : n;
        out.assign(bytes + 4, take);
    }
    ::munmap(map, static_cast<size_t>(size));
    return result;
}

int CreateSharedBlock(const std::string& name, std::string_view content)
{
    return CreateSharedBlock(name, content, static_cast<uint32_t>(content.size()));
}

int CreateSharedBlock(const std::string& name, std::string_view content, uint32_t lengthWord)
{
    if (!NameUsable(name))
        return IoResult::PathNotFound;
    const int fd = ::shm_open(ObjectName(name).c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return IoResultFromErrno(errno);
    std::string block(4, '\0');
    EncodeLE32(block.data(), lengthWord);
    block.append(content);
    int result = 0;
    if (::ftruncate(fd, static_cast<off_t>(block.size())) != 0) {
        result = IoResultFromErrno(errno);
    } else {
        size_t done = 0;
        while (done < block.size()) {
            const ssize_t w =
                ::pwrite(fd, block.data() + done, block.size() - done, static_cast<off_t>(done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                result = IoResultFromErrno(errno);
                break;
            }
            done += static_cast<size_t>(w);
        }
    }
    ::close(fd);
    if (result != 0)
        ::shm_unlink(ObjectName(name).c_str());
    return result;
}

int RemoveSharedBlock(const std::string& name)
{
    if (!NameUsable(name))
        return IoResult::NotFound;
    return ::shm_unlink(ObjectName(name).c_str()) == 0 ? 0 : IoResultFromErrno(errno);
}

ScopedSharedBlock::ScopedSharedBlock(std::string name, std::string_view content)
    : name_(std::move(name)), result_(CreateSharedBlock(name_, content))
{}

ScopedSharedBlock::ScopedSharedBlock(std::string name, std::string_view content, uint32_t lengthWord)
    : name_(std::move(name)), result_(CreateSharedBlock(name_, content, lengthWord))
{}

ScopedSharedBlock::~ScopedSharedBlock()
{
    if (result_ == 0)
        RemoveSharedBlock(name_);
}
