// Feeds arbitrary settings to both programs' settings code: the values of their ini files, as the
// profile functions hand them over, and the text typed into the sender's settings dialog. The
// input is split at zero bytes into texts of 16-bit characters, one per key in turn.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "sender/SenderProfile.h"
#include "sender/SettingsText.h"
#include "tests/MemorySection.h"
#include "viewer/app/ViewerSettings.h"

namespace {

std::vector<std::wstring> Texts(const std::uint8_t* data, std::size_t size) {
    std::vector<std::wstring> texts(1);
    for (std::size_t at = 0; at + 1 < size; at += 2) {
        const auto c = static_cast<wchar_t>(data[at] | (data[at + 1] << 8));
        if (c == 0)
            texts.emplace_back();
        else
            texts.back() += c;
    }
    return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvo;
    const std::vector<std::wstring> texts = Texts(data, size);
    std::size_t next = 0;
    auto text = [&] { return texts[next++ % texts.size()]; };

    test::MemorySection senderFile;
    for (const wchar_t* key :
         {L"CaptureInterval", L"Compress", L"Channel", L"ToAddress", L"BasePort"}) {
        senderFile.values[key] = text();
    }
    SenderSettings sender;
    LoadSenderSettings(senderFile, sender);
    if (sender.channelIndex.load() >= kChannelCount) __builtin_trap();
    if (sender.toAddress[kAddressTextSize - 1] != '\0') __builtin_trap();
    test::MemorySection senderSaved;
    SaveSenderSettings(senderSaved, sender);

    const std::uint32_t interval = CaptureIntervalFromText(text());
    if (interval > kMaxIntervalSeconds * 1000) __builtin_trap();
    if (ChannelIndexFromText(text(), 2) >= kChannelCount) __builtin_trap();

    test::MemorySection viewerFile;
    for (const wchar_t* key :
         {L"Channel", L"ToAddress", L"BasePort", L"SaveDir", L"SaveInterval"}) {
        viewerFile.values[key] = text();
    }
    ViewerSettings viewer;
    viewer.LoadSettings(viewerFile);
    if (viewer.toAddress.size() > kMaxSettingText || viewer.saveDir.size() > kMaxSettingText) {
        __builtin_trap();
    }
    // What the viewer writes, it reads back the same.
    test::MemorySection viewerSaved;
    viewer.SaveSettings(viewerSaved);
    ViewerSettings again;
    again.LoadSettings(viewerSaved);
    if (again.channelIndex != viewer.channelIndex || again.basePort != viewer.basePort ||
        again.saveInterval != viewer.saveInterval || again.saveDir != viewer.saveDir) {
        __builtin_trap();
    }
    return 0;
}
