// The real TelvoClient.exe against what a network carries. Every datagram of the fuzz corpus,
// malformed ones included, between real pictures: the viewer never crashes, and each good picture
// after them shows without the channel being chosen again. Then repeated and lost fragments,
// still pictures completed from earlier fragments, a restarted sender and two senders at once.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/Socket.h"
#include "protocol/ScreenBitmap.h"
#include "protocol/ScreenPacket.h"
#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"
#include "tests/win/ProgramDriver.h"

namespace telvo {
namespace {

using Datagrams = std::vector<std::vector<std::uint8_t>>;
using test::WaitUntil;

constexpr std::uint16_t kPort = 54321;

// The corpus files: each a series of (2-byte big-endian length, datagram) records.
std::vector<std::pair<std::string, Datagrams>> ReadCorpus() {
    std::vector<std::pair<std::string, Datagrams>> files;
    const std::wstring folder = L"Z:" TELVO_FUZZ_CORPUS;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::wstring text = test::ReadFileText(folder + L"\\" + found.cFileName);
        const std::vector<std::uint8_t> bytes(text.begin(), text.end());
        Datagrams datagrams;
        for (std::size_t at = 0; at + 2 <= bytes.size();) {
            const std::size_t length = (std::size_t{bytes[at]} << 8) | bytes[at + 1];
            at += 2;
            if (length > bytes.size() - at) break;
            datagrams.emplace_back(bytes.begin() + at, bytes.begin() + at + length);
            at += length;
        }
        const std::wstring name = found.cFileName;
        files.emplace_back(std::string(name.begin(), name.end()), datagrams);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(files.begin(), files.end());
    return files;
}

// Moves the picture numbers of a corpus file above `*next`, keeping their order among themselves,
// so that the viewer takes the file's pictures as the newest.
void Renumber(Datagrams& datagrams, std::uint32_t* next) {
    std::uint32_t highest = 0;
    for (auto& datagram : datagrams) {
        if (datagram.size() < 8) continue;
        const std::uint32_t number = (std::uint32_t{datagram[4]} << 24) |
                                     (std::uint32_t{datagram[5]} << 16) |
                                     (std::uint32_t{datagram[6]} << 8) | datagram[7];
        const std::uint32_t moved = *next + number;
        highest = std::max(highest, number);
        for (int i = 0; i < 4; ++i)
            datagram[4 + i] = static_cast<std::uint8_t>(moved >> (24 - 8 * i));
    }
    *next += highest + 1;
}

TEST(HostileNetwork, TheViewerStaysLiveThroughWhatANetworkCarries) {
    TELVO_REQUIRE_TEST_NETWORK();
    ASSERT_EQ(0, StartSockets(1, 1));
    auto corpus = ReadCorpus();
    ASSERT_GE(corpus.size(), 20u);
    const std::wstring folder = test::MakeFreshFolder(L"hostile");
    test::Program viewer;
    ASSERT_TRUE(
        viewer.Start(test::CopyInto(test::BuildPath(L"viewer\\TelvoClient.exe"), folder), folder));
    const HWND frame = test::WaitForWindow(viewer.id(), L"CMainFrame", nullptr, 15000);
    ASSERT_NE(nullptr, frame);

    test::PortSink sink(kDefaultGroup, kPort);
    const auto picture = test::MakeDesktopPicture(160, 120, 1);
    std::uint32_t next = 1;
    const auto shown = [&](std::uint32_t number) {
        return test::WindowText(frame).find(L"[No." + std::to_wstring(number) + L"]") !=
               std::wstring::npos;
    };
    // A real picture under the next number; true when the viewer shows it within `ms`.
    const auto broadcast = [&](DWORD ms) {
        const std::uint32_t number = next++;
        for (const auto& datagram : test::Packetize(picture, number, true)) {
            if (sink.Send(datagram.data(), datagram.size()) != 0) return false;
        }
        return WaitUntil([&] { return shown(number); }, std::chrono::milliseconds(ms));
    };
    ASSERT_TRUE(WaitUntil([&] { return broadcast(300); }, std::chrono::seconds(15)));

    std::size_t datagramsSent = 0;
    for (auto& [name, datagrams] : corpus) {
        Renumber(datagrams, &next);
        for (const auto& datagram : datagrams) {
            ASSERT_EQ(0, sink.Send(datagram.data(), datagram.size())) << name;
            ++datagramsSent;
        }
        ASSERT_TRUE(viewer.running()) << name;
        EXPECT_TRUE(WaitUntil([&] { return broadcast(300); }, std::chrono::seconds(10))) << name;
    }
    ASSERT_TRUE(viewer.running());
    std::printf("%zu corpus datagrams from %zu files sent to the viewer\n", datagramsSent,
                corpus.size());

    // Sends picture `number` but the fragments in `lost`; `repeated` is sent twice.
    const auto send = [&](const std::vector<std::uint8_t>& bitmap, std::uint32_t number,
                          std::initializer_list<std::uint32_t> lost, std::uint32_t repeated) {
        for (const auto& datagram : test::Packetize(bitmap, number, true)) {
            const std::uint32_t index = test::HeaderOf(datagram).fragmentIndex;
            if (std::find(lost.begin(), lost.end(), index) != lost.end()) continue;
            for (std::uint32_t copy = index == repeated ? 0 : 1; copy < 2; ++copy) {
                ASSERT_EQ(0, sink.Send(datagram.data(), datagram.size()));
            }
        }
    };
    const auto title = [&](std::uint32_t number) {
        return WaitUntil([&] { return shown(number); }, std::chrono::seconds(5));
    };
    // Four compressed fragments: noise, then a plain half.
    const auto fourFragments = [](std::uint32_t seed) {
        auto bitmap = test::MakeNoisePicture(200, 400, seed);
        std::fill(bitmap.begin() + kBitmapHeadersSize + 120000, bitmap.end(), 0);
        return bitmap;
    };
    constexpr std::uint32_t kNone = 99;

    // A repeated fragment never stands in for a lost one: the picture waits for its own.
    const auto first = fourFragments(1);
    const std::uint32_t waiting = next++;
    send(first, waiting, {1}, 0);
    send(first, waiting, {0, 2, 3}, kNone);
    EXPECT_TRUE(title(waiting));
    send(fourFragments(2), next++, {1}, 0);  // never complete
    EXPECT_TRUE(broadcast(2000));

    // A still picture completes once every fragment index came in one of its sendings; a changed
    // one is never filled with the old fragments.
    const auto still = fourFragments(3);
    send(still, next++, {0}, kNone);
    const std::uint32_t reused = next++;
    send(still, reused, {1, 2}, kNone);
    EXPECT_TRUE(title(reused));
    auto changed = still;
    changed[kBitmapHeadersSize] ^= 1;
    send(changed, next++, {0}, kNone);
    const std::uint32_t own = next++;
    send(changed, own, {}, kNone);
    EXPECT_TRUE(title(own));

    // A restarted sender: 100 to 102, then 0 and 1.
    next = std::max<std::uint32_t>(next, 100);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(broadcast(2000));
    send(picture, 0, {}, kNone);
    send(picture, 1, {}, kNone);
    EXPECT_TRUE(title(1));
    // Its picture 0 lost: pictures 3 to 20 at 1 s, shown after about 10 s.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(broadcast(2000));
    std::uint32_t lower = 3;
    for (; lower <= 20 && !shown(lower - 1); ++lower) {
        send(picture, lower, {}, kNone);
        (void)WaitUntil([&] { return shown(lower); }, std::chrono::seconds(1));
    }
    EXPECT_TRUE(shown(lower - 1));
    EXPECT_LE(lower, 16u);
    // Two senders at once: the one with the higher numbers goes on and prevails.
    next = 500;
    for (int round = 0; round < 12; ++round) {
        send(picture, lower++, {}, kNone);
        EXPECT_TRUE(broadcast(1000));
    }
    ASSERT_TRUE(viewer.running());
}

}  // namespace
}  // namespace telvo
