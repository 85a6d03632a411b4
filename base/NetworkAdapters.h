// The computer's IPv4 network adapters that are up and have an address, loopback included, as the
// system lists them at the moment of asking (GetAdaptersAddresses on Windows, getifaddrs
// elsewhere), and the changes the system reports about them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace telvo {

struct NetworkAdapter {
    std::wstring name;      // as the system shows it to the user
    std::uint32_t address;  // IPv4, network byte order; an adapter with two is listed twice
};

// An IPv4 address (network order) as dotted text, "192.168.1.10".
std::wstring AddressText(std::uint32_t address);

// Whether an adapter that is up has the IPv4 address `address` (network order) now.
bool AdapterPresent(std::uint32_t address);

// Replaces `adapters` with the current list. Returns 0 or the system's error code (then the list
// is empty). Any thread.
[[nodiscard]] int ListNetworkAdapters(std::vector<NetworkAdapter>* adapters);

// Asks the system, once per process, to report adapters and addresses that come and go
// (NotifyIpInterfaceChange and NotifyUnicastIpAddressChange on Windows; nothing elsewhere). Each
// report counts one change. Returns 0 or the system's error code; without reports, callers still
// look again now and then.
[[nodiscard]] int WatchAdapterChanges();

// The number of changes reported so far: a reader compares it with the one it saw last.
std::uint32_t AdapterChangeCount();

// Counts one change. The system's reports call it; so may a test.
void NoteAdapterChange();

}  // namespace telvo
