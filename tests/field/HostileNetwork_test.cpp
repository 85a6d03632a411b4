// The real TelvoClient.exe against what a network carries. Every datagram of the fuzz corpus,
// malformed ones included, between real pictures and in every view mode: the viewer never
// crashes, and each good picture after them shows without the channel being chosen again. Then
// repeated and lost fragments, still pictures completed from earlier fragments, a restarted
// sender and two senders at once.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "protocol/ScreenBitmap.h"
#include "tests/win/ProgramDriver.h"
#include "viewer/res/resource.h"

namespace telvo {
namespace {

using Datagrams = std::vector<std::vector<std::uint8_t>>;
using HostileNetwork = test::ClientTest;

constexpr std::uint16_t kPort = 54321;

// The corpus files: each a series of (2-byte big-endian length, datagram) records.
std::vector<std::pair<std::string, Datagrams>> ReadCorpus() {
    std::vector<std::pair<std::string, Datagrams>> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(L"Z:" TELVO_FUZZ_CORPUS, error)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
        Datagrams datagrams;
        for (std::size_t at = 0; at + 2 <= bytes.size();) {
            const std::size_t length = (std::size_t{bytes[at]} << 8) | bytes[at + 1];
            at += 2;
            if (length > bytes.size() - at) break;
            datagrams.emplace_back(bytes.begin() + at, bytes.begin() + at + length);
            at += length;
        }
        files.emplace_back(entry.path().filename().string(), datagrams);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Moves the picture numbers of a corpus file above `*next`, keeping their order among themselves,
// so that the viewer takes the file's pictures as the newest.
void Renumber(Datagrams& datagrams, std::uint32_t* next) {
    std::uint32_t highest = 0;
    for (auto& datagram : datagrams) {
        if (datagram.size() < 8) continue;
        std::uint32_t number = 0;
        for (int i = 4; i < 8; ++i) number = (number << 8) | datagram[i];
        highest = std::max(highest, number);
        for (int i = 0; i < 4; ++i)
            datagram[4 + i] = static_cast<std::uint8_t>((*next + number) >> (24 - 8 * i));
    }
    *next += highest + 1;
}

TEST_F(HostileNetwork, TheViewerStaysLiveThroughWhatANetworkCarries) {
    auto corpus = ReadCorpus();
    ASSERT_GE(corpus.size(), 20u);
    Start();
    const auto picture = test::MakeDesktopPicture(160, 120, 1);
    ASSERT_TRUE(ShowOn(kPort, picture));
    const int modes[] = {ID_VIEW_FIXED_ASPECT, ID_VIEW_ACTUAL_SIZE, ID_VIEW_FIT_TO_WINDOW};
    std::size_t datagramsSent = 0;
    for (std::size_t file = 0; file < corpus.size(); ++file) {
        auto& [name, datagrams] = corpus[file];
        Command(modes[file % 3]);
        Renumber(datagrams, &++number);
        ASSERT_TRUE(test::SendDatagrams(kPort, datagrams)) << name;
        datagramsSent += datagrams.size();
        ASSERT_TRUE(program.running()) << name;
        EXPECT_TRUE(ShowOn(kPort, picture)) << name;
    }
    std::printf("%zu corpus datagrams from %zu files sent to the viewer\n", datagramsSent,
                corpus.size());

    // Sends picture `n` but the fragments in `lost`; `repeated` is sent twice.
    const auto send = [&](const std::vector<std::uint8_t>& bitmap, std::uint32_t n,
                          std::initializer_list<std::uint32_t> lost, std::uint32_t repeated) {
        Datagrams datagrams;
        for (const auto& datagram : test::Packetize(bitmap, n, true)) {
            const std::uint32_t index = test::HeaderOf(datagram).fragmentIndex;
            if (std::find(lost.begin(), lost.end(), index) != lost.end()) continue;
            datagrams.insert(datagrams.end(), index == repeated ? 2 : 1, datagram);
        }
        ASSERT_TRUE(test::SendDatagrams(kPort, datagrams));
    };
    const auto shown = [&](std::uint32_t n) {
        return CaptionHas(L"[No." + std::to_wstring(n) + L"]");
    };
    const auto title = [&](std::uint32_t n) {
        return test::WaitUntil([&] { return shown(n); }, std::chrono::milliseconds(kWaitMs));
    };
    const auto next = [&] {
        ++number;
        return ShowOn(kPort, picture);
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
    send(first, ++number, {1}, 0);
    send(first, number, {0, 2, 3}, kNone);
    EXPECT_TRUE(title(number));
    send(fourFragments(2), ++number, {1}, 0);  // never complete
    EXPECT_TRUE(next());

    // A still picture completes once every fragment index came in one of its sendings; a changed
    // one is never filled with the old fragments.
    const auto still = fourFragments(3);
    send(still, ++number, {0}, kNone);
    send(still, ++number, {1, 2}, kNone);
    EXPECT_TRUE(title(number));
    auto changed = still;
    changed[kBitmapHeadersSize] ^= 1;
    send(changed, ++number, {0}, kNone);
    send(changed, ++number, {}, kNone);
    EXPECT_TRUE(title(number));

    // A restarted sender: 100 to 102, then 0 and 1.
    number = std::max<std::uint32_t>(number, 99);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(next());
    send(picture, 0, {}, kNone);
    send(picture, 1, {}, kNone);
    EXPECT_TRUE(title(1));
    // Its picture 0 lost: pictures from 3 on, one a second, until the old sequence gives way.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(next());
    std::uint32_t lower = 3;
    for (; lower <= 30 && !shown(lower - 1); ++lower) {
        send(picture, lower, {}, kNone);
        static_cast<void>(test::WaitUntil([&] { return shown(lower); }, std::chrono::seconds(1)));
    }
    EXPECT_TRUE(shown(lower - 1));
    // Two senders at once: the one with the higher numbers goes on and prevails.
    number = 499;
    for (int round = 0; round < 12; ++round) {
        send(picture, lower++, {}, kNone);
        EXPECT_TRUE(next());
    }
    ASSERT_TRUE(program.running());
}

}  // namespace
}  // namespace telvo
