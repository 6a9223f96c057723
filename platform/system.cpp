#include "platform/system.h"

#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

uint32_t UserId()
{
    return static_cast<uint32_t>(::getuid());
}

std::string UserName()
{
    const long bufSize = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(bufSize > 0 ? static_cast<size_t>(bufSize) : 16384);
    struct passwd pw;
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_name)
        return found->pw_name;
    return {};
}

uint32_t ProcessId()
{
    return static_cast<uint32_t>(::getpid());
}

std::string ExecutablePath()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    return std::string(buf, static_cast<size_t>(n));
}

uint32_t SocketPeerProcessId(intptr_t socketDescriptor)
{
    struct ucred cred {};
    socklen_t len = sizeof cred;
    const int fd = static_cast<int>(socketDescriptor);
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0)
        return 0;
    return static_cast<uint32_t>(cred.pid);
}
