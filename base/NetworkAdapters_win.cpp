#include <winsock2.h>
#include <ws2tcpip.h>
// NOTE: the IP helper headers need winsock2.h before them.
#include <iphlpapi.h>
#include <netioapi.h>

#include <mutex>

#include "base/HeapBlock.h"
#include "base/NetworkAdapters.h"

namespace telvo {
namespace {

void WINAPI OnInterfaceChange(void*, MIB_IPINTERFACE_ROW*, MIB_NOTIFICATION_TYPE) {
    NoteAdapterChange();
}

void WINAPI OnAddressChange(void*, MIB_UNICASTIPADDRESS_ROW*, MIB_NOTIFICATION_TYPE) {
    NoteAdapterChange();
}

}  // namespace

int ListNetworkAdapters(std::vector<NetworkAdapter>* adapters) {
    adapters->clear();
    constexpr ULONG kFlags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // The list may grow between asking for its size and reading it: ask again, a few times.
    ULONG size = 16 * 1024;
    HeapBlock buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer = HeapBlock::Allocate(size);
        if (!buffer) return ERROR_NOT_ENOUGH_MEMORY;
        result = ::GetAdaptersAddresses(
            AF_INET, kFlags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
    }
    if (result == ERROR_NO_DATA) return 0;
    if (result != NO_ERROR) return static_cast<int>(result);
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.get());
         adapter != nullptr; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp) continue;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
             unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) continue;
            adapters->push_back({adapter->FriendlyName != nullptr ? adapter->FriendlyName : L"",
                                 reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr});
        }
    }
    return 0;
}

int WatchAdapterChanges() {
    // Registered once and never cancelled: the reports run on the system's threads for as long as
    // the process lives.
    static std::once_flag once;
    static DWORD result = NO_ERROR;
    std::call_once(once, [] {
        HANDLE interfaces = nullptr, addresses = nullptr;
        result =
            ::NotifyIpInterfaceChange(AF_INET, &OnInterfaceChange, nullptr, FALSE, &interfaces);
        if (result == NO_ERROR) {
            result = ::NotifyUnicastIpAddressChange(AF_INET, &OnAddressChange, nullptr, FALSE,
                                                    &addresses);
        }
    });
    return static_cast<int>(result);
}

}  // namespace telvo
