#include <atomic>

#include "base/NetworkAdapters.h"

namespace telvo {
namespace {

std::atomic<std::uint32_t> gAdapterChanges{0};

}  // namespace

std::wstring AddressText(std::uint32_t address) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&address);
    return std::to_wstring(bytes[0]) + L"." + std::to_wstring(bytes[1]) + L"." +
           std::to_wstring(bytes[2]) + L"." + std::to_wstring(bytes[3]);
}

bool AdapterPresent(std::uint32_t address) {
    std::vector<NetworkAdapter> adapters;
    if (ListNetworkAdapters(&adapters) != 0) return false;
    for (const NetworkAdapter& adapter : adapters) {
        if (adapter.address == address) return true;
    }
    return false;
}

std::uint32_t AdapterChangeCount() {
    return gAdapterChanges.load();
}

void NoteAdapterChange() {
    gAdapterChanges.fetch_add(1);
}

}  // namespace telvo
