#pragma once
// The process and the user it runs for: the one place the program asks the
// system who and where it is.  Files and folders are in platform/fs.h.

#include <cstdint>
#include <string>

// The real user id: the user who started the program.
uint32_t UserId();
// That user's login name from the user database; empty when it has none.
std::string UserName();
uint32_t ProcessId();
// The full path of the running program; empty when the system will not tell.
std::string ExecutablePath();
// The process id at the other end of a connected local socket; 0 when the
// descriptor is not one or the system will not tell.
uint32_t SocketPeerProcessId(intptr_t socketDescriptor);

// Seconds since 1970 now.
int64_t NowSeconds();
// A moment in local time.
struct LocalTime {
    int year = 1970, month = 1, day = 1; // month 1-12
    int hour = 0, minute = 0, second = 0;
};
LocalTime LocalTimeOf(int64_t secondsSince1970);
// The DOS forms of a local time: date = (year - 1980) << 9 | month << 5 |
// day, time = hour << 11 | minute << 5 | second / 2 (years before 1980 give
// 1980, after 2107 give 2107).
uint16_t DosDateOf(const LocalTime& t);
uint16_t DosTimeOf(const LocalTime& t);
