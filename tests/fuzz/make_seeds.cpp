// Writes the seed corpus of fuzz_reassembly: small real pictures as the packetizer sends them,
// compressed and not, in order, reversed, with repeats, filled from an earlier sending and from
// a restarted sender, and every kind of malformed datagram
// the viewer must survive (the hostile-network test replays them all to the real viewer).
// Usage: make_seeds FOLDER
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "protocol/ScreenBitmap.h"
#include "tests/TestPicture.h"

namespace {

using Datagrams = std::vector<std::vector<std::uint8_t>>;

void Write(const std::string& path, const Datagrams& datagrams) {
    std::vector<std::uint8_t> bytes;
    for (const auto& datagram : datagrams) {
        bytes.push_back(static_cast<std::uint8_t>(datagram.size() >> 8));
        bytes.push_back(static_cast<std::uint8_t>(datagram.size()));
        bytes.insert(bytes.end(), datagram.begin(), datagram.end());
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    using namespace telvo::test;
    const std::string folder = argv[1];
    const auto tiny = MakeDesktopPicture(16, 12, 1);
    const auto twoFragments = MakeDesktopPicture(100, 133, 2);
    Write(folder + "/compressed_one", Packetize(tiny, 1, true));
    Write(folder + "/uncompressed_one", Packetize(tiny, 1, false));
    Datagrams two = Packetize(twoFragments, 3, false);
    Write(folder + "/uncompressed_two", two);
    Write(folder + "/uncompressed_two_reversed", {two[1], two[0]});
    Write(folder + "/uncompressed_two_repeated", {two[0], two[0], two[1]});
    Datagrams sequence = Packetize(tiny, 5, true);
    for (const auto& datagram : Packetize(tiny, 4, true)) sequence.push_back(datagram);
    for (const auto& datagram : Packetize(twoFragments, 6, true)) sequence.push_back(datagram);
    Write(folder + "/older_then_newer", sequence);
    // A still compressed picture completed from the fragment of its earlier sending.
    auto still = MakeNoisePicture(100, 150, 8);
    std::fill(still.begin() + 36000, still.end(), 0);
    const Datagrams first = Packetize(still, 8, true), second = Packetize(still, 9, true);
    Write(folder + "/compressed_two_filled", {first[0], second[1]});
    // A sender that restarted: its numbers begin at 0 again.
    Datagrams restart = Packetize(tiny, 9, true);
    restart.push_back(Packetize(twoFragments, 0, true)[0]);
    Write(folder + "/restart_at_zero", restart);
    std::vector<std::uint8_t> truncated = Packetize(tiny, 7, true)[0];
    truncated.resize(20);
    Write(folder + "/truncated_header", {truncated});
    Write(folder + "/one_byte", {{1}});
    Write(folder + "/foreign_version", {{2, 1, 0, 0}});
    Write(folder + "/foreign_kind", {{1, 7, 0, 0}});

    // Headers that lie, each in an otherwise real datagram of a one-fragment picture.
    const std::vector<std::uint8_t> real = Packetize(tiny, 20, false)[0];
    const auto lying = [&](std::size_t at, std::vector<std::uint8_t> bytes) {
        std::vector<std::uint8_t> datagram = real;
        for (std::size_t i = 0; i < bytes.size(); ++i) datagram[at + i] = bytes[i];
        return datagram;
    };
    Write(folder + "/data_length_too_long", {lying(28, {0, 0, 0x80, 0x08})});
    Write(folder + "/data_length_wraps", {lying(28, {0xFF, 0xFF, 0xFF, 0xF0})});
    Write(folder + "/fragment_far_out", {lying(16, {0x7F, 0xFF, 0xFF, 0xFF})});
    Write(folder + "/picture_size_huge", {lying(8, {0x40, 0, 0, 0})});
    Write(folder + "/picture_size_zero", {lying(8, {0, 0, 0, 0})});
    std::vector<std::uint8_t> shortened = real;
    shortened.pop_back();
    Write(folder + "/one_byte_short", {shortened});
    // Bitmap headers inside a complete picture that describe more than it holds.
    Write(folder + "/bitmap_width_lies", {lying(32 + 18, {0xFF, 0xFF, 0, 0})});
    Write(folder + "/bitmap_height_negative", {lying(32 + 22, {0xF4, 0xFF, 0xFF, 0xFF})});
    Write(folder + "/bitmap_pixel_offset_lies", {lying(32 + 10, {0xFF, 0xFF, 0xFF, 0x7F})});
    Write(folder + "/bitmap_32_bits", {lying(32 + 28, {32})});
    std::vector<std::uint8_t> damaged = Packetize(tiny, 21, true)[0];
    damaged[damaged.size() - 2] ^= 0x5A;
    Write(folder + "/zlib_damaged", {damaged});
    return 0;
}
