// Feeds arbitrary settings to both programs' settings code: the values of their ini files, as the
// profile functions hand them over, and the text typed into the sender's settings dialog. The
// input is split at zero bytes into texts of 16-bit characters, one per key in turn.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sender/SenderProfile.h"
#include "sender/SettingsText.h"
#include "tests/MemorySection.h"
#include "viewer/app/ViewerSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvo;
    std::vector<std::wstring> texts(1);
    for (std::size_t at = 0; at + 1 < size; at += 2) {
        const auto c = static_cast<wchar_t>(data[at] | (data[at + 1] << 8));
        if (c == 0) texts.emplace_back();
        if (c != 0) texts.back() += c;
    }
    std::size_t next = 0;
    auto text = [&] { return texts[next++ % texts.size()]; };
    test::MemorySection file, saved;  // both programs' keys: each reads its own
    for (const wchar_t* key : {L"CaptureInterval", L"Compress", L"Channel", L"ToAddress",
                               L"BasePort", L"SaveDir", L"SaveInterval"}) {
        file.values[key] = text();
    }
    SenderSettings sender;
    LoadSenderSettings(file, sender);
    if (sender.channelIndex.load() >= kChannelCount || sender.basePort == 0 ||
        sender.basePort > kMaxBasePort || sender.captureInterval.load() > kMaxCaptureInterval ||
        sender.toAddress[kAddressTextSize - 1] != '\0' ||
        CaptureIntervalFromText(text()) > kMaxIntervalSeconds * 1000 ||
        ChannelIndexFromText(text(), 2) >= kChannelCount) {
        __builtin_trap();
    }
    // The viewer keeps its texts within bounds, and reads back the same what it writes.
    ViewerSettings viewer, again;
    viewer.LoadSettings(file);
    viewer.SaveSettings(saved);
    again.LoadSettings(saved);
    if (viewer.toAddress.size() > kMaxSettingText || viewer.saveDir.size() > kMaxSettingText ||
        again.channelIndex != viewer.channelIndex || again.basePort != viewer.basePort ||
        again.saveInterval != viewer.saveInterval || again.saveDir != viewer.saveDir) {
        __builtin_trap();
    }
    return 0;
}
