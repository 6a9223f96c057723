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
