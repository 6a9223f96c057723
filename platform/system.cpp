#include "platform/system.h"

#include <algorithm>
#include <ctime>
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

int64_t NowSeconds()
{
    return static_cast<int64_t>(::time(nullptr));
}

LocalTime LocalTimeOf(int64_t secondsSince1970)
{
    const time_t t = static_cast<time_t>(secondsSince1970);
    struct tm tm {};
    LocalTime out;
    if (::localtime_r(&t, &tm) == nullptr)
        return out;
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
    return out;
}

uint16_t DosDateOf(const LocalTime& t)
{
    const int year = std::clamp(t.year, 1980, 2107) - 1980;
    return static_cast<uint16_t>(year << 9 | (t.month & 15) << 5 | (t.day & 31));
}

uint16_t DosTimeOf(const LocalTime& t)
{
    return static_cast<uint16_t>((t.hour & 31) << 11 | (t.minute & 63) << 5 | ((t.second / 2) & 31));
}
