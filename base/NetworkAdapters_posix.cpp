#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>

#include "base/NetworkAdapters.h"

namespace telvo {

int ListNetworkAdapters(std::vector<NetworkAdapter>* adapters) {
    adapters->clear();
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return errno;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        // Up means administratively up and with a carrier: a cable out or a peer gone is down.
        const unsigned up = IFF_UP | IFF_RUNNING;
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & up) != up) {
            continue;
        }
        sockaddr_in address;
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        const char* name = entry->ifa_name;
        adapters->push_back(
            {std::wstring(name, name + std::strlen(name)), address.sin_addr.s_addr});
    }
    ::freeifaddrs(list);
    return 0;
}

int WatchAdapterChanges() {
    return 0;
}

}  // namespace telvo
