#pragma once
// The maker's servers: the update host (production and test), the web host,
// the fragment of a host name that marks the update server, and the
// statistics host (production and test).  Each has a build-time value (CMake
// cache: QEVW_UPDATE_HOST, QEVW_UPDATE_TEST_HOST, QEVW_WEB_HOST,
// QEVW_UPDATE_FRAGMENT, QEVW_STATS_HOST, QEVW_STATS_TEST_HOST) that an
// environment variable of the same name replaces at run time.
//
// Threads: any; the values are read from the environment once, and tests
// replace them through ReplaceEndpoints.

#include <cstdint>
#include <string>
#include <string_view>

struct Endpoints {
    std::string updateHost;
    std::string updateTestHost;
    std::string webHost;
    std::string updateFragment;
    std::string statsHost;
    std::string statsTestHost;
};

// The two customers whose installations always use the test servers (the
// maker's own test installations).
inline constexpr uint32_t kTestCustomerNumbers[2] = {99999990, 99999999};

// The values in force.
Endpoints CurrentEndpoints();
// Puts `endpoints` in force and returns the ones it replaces.
Endpoints ReplaceEndpoints(Endpoints endpoints);

// The host part of a URL: after "://" (or from the start), up to the first
// "/", "?" or "#", without user information and without the port; IPv6
// brackets stay.
std::string_view UrlHost(std::string_view url);
// Whether the URL's host contains the update server's fragment (letter case
// ignored; an empty fragment matches nothing).
bool IsUpdateServerUrl(std::string_view url, std::string_view fragment);
// The URL as it is opened: an update-server URL that begins "https://" (any
// letter case) goes to plain "http://"; every other URL stays.
std::string ApplyUpdateServerRule(std::string_view url, std::string_view fragment);
