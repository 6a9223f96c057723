#pragma once
// The machine's network interfaces as the connection test needs them.

#include <string>
#include <vector>

struct NetInterface {
    std::string name;
    bool up = false;
    bool running = false;
    bool loopback = false;
    // The address, when the entry carries one: family 4 or 6 (0: none) and
    // its numeric text.
    int family = 0;
    std::string address;
};

// One entry per interface address (getifaddrs); empty when the list cannot
// be read.
std::vector<NetInterface> ListNetInterfaces();
