#include "platform/net_interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

std::vector<NetInterface> ListNetInterfaces()
{
    std::vector<NetInterface> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return out;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        NetInterface n;
        n.name = a->ifa_name ? a->ifa_name : "";
        n.up = (a->ifa_flags & IFF_UP) != 0;
        n.running = (a->ifa_flags & IFF_RUNNING) != 0;
        n.loopback = (a->ifa_flags & IFF_LOOPBACK) != 0;
        char text[INET6_ADDRSTRLEN] = {};
        if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
            if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) {
                n.family = 4;
                n.address = text;
            }
        } else if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET6) {
            const auto* in6 = reinterpret_cast<const sockaddr_in6*>(a->ifa_addr);
            if (inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text)) {
                n.family = 6;
                n.address = text;
            }
        }
        out.push_back(std::move(n));
    }
    freeifaddrs(list);
    return out;
}
