// Every datagram of the fuzz corpus, malformed ones included, sent to the real TelvoClient.exe
// between real pictures: the viewer never crashes, keeps showing pictures after anything that
// must not stop it, and after what ends reception by design (a foreign or too short datagram, a
// damaged compressed picture) resumes when the channel is chosen again.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "base/Socket.h"
#include "protocol/ScreenPacket.h"
#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"
#include "tests/win/ProgramDriver.h"
#include "viewer/res/resource.h"

namespace telvo {
namespace {

using Datagrams = std::vector<std::vector<std::uint8_t>>;
using test::WaitUntil;

constexpr std::uint16_t kPort = 54321;
constexpr int kChannel1 = ID_CHANNEL1;

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

TEST(HostileNetwork, TheViewerSurvivesEveryCorpusDatagramNextToARealBroadcast) {
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

    const std::set<std::string> endsReception = {"foreign_kind", "foreign_version", "one_byte",
                                                 "zlib_damaged"};
    std::size_t datagramsSent = 0;
    for (auto& [name, datagrams] : corpus) {
        Renumber(datagrams, &next);
        for (const auto& datagram : datagrams) {
            ASSERT_EQ(0, sink.Send(datagram.data(), datagram.size())) << name;
            ++datagramsSent;
        }
        ASSERT_TRUE(viewer.running()) << name;
        if (endsReception.count(name) != 0) {
            EXPECT_FALSE(broadcast(800)) << name << " should end reception";
            PostMessageW(frame, WM_COMMAND, kChannel1, 0);  // choosing the channel again resumes it
        }
        EXPECT_TRUE(WaitUntil([&] { return broadcast(300); }, std::chrono::seconds(10))) << name;
    }
    ASSERT_TRUE(viewer.running());
    std::printf("%zu corpus datagrams from %zu files sent to the viewer\n", datagramsSent,
                corpus.size());
}

}  // namespace
}  // namespace telvo
