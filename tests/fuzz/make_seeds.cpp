// make_seeds FOLDER: writes the seed corpus of fuzz_reassembly, which the hostile-network test
// also replays to the real viewer: small real pictures as the packetizer sends them, in and out of
// order, repeated, filled from an earlier sending, from a restarted sender, and malformed ones.
#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/TestPicture.h"

using Datagrams = std::vector<std::vector<std::uint8_t>>;

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    bool failed = false;
    // Each file a series of (2-byte big-endian length, datagram) records.
    const auto write = [&](const char* name, const Datagrams& datagrams) {
        std::vector<std::uint8_t> bytes;
        for (const auto& datagram : datagrams) {
            bytes.push_back(static_cast<std::uint8_t>(datagram.size() >> 8));
            bytes.push_back(static_cast<std::uint8_t>(datagram.size()));
            bytes.insert(bytes.end(), datagram.begin(), datagram.end());
        }
        FILE* file = std::fopen((std::string(argv[1]) + "/" + name).c_str(), "wb");
        failed |=
            file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size();
        failed |= file != nullptr && std::fclose(file) != 0;
    };
    using telvo::test::Packetize;
    const auto tiny = telvo::MakeDesktopPicture(16, 12, 1);  // one fragment, compressed or not
    const auto twoFragments = telvo::MakeDesktopPicture(100, 133, 2);
    auto still = telvo::MakeNoisePicture(100, 150, 8);  // compresses to two fragments
    std::fill(still.begin() + 36000, still.end(), 0);
    const Datagrams two = Packetize(twoFragments, 3, false);
    write("compressed_one", Packetize(tiny, 1, true));
    write("uncompressed_one", Packetize(tiny, 1, false));
    write("uncompressed_two", two);
    write("uncompressed_two_reversed", {two[1], two[0]});
    write("uncompressed_two_repeated", {two[0], two[0], two[1]});
    Datagrams sequence = Packetize(twoFragments, 6, true);
    sequence.insert(sequence.begin(), {Packetize(tiny, 5, true)[0], Packetize(tiny, 4, true)[0]});
    write("older_then_newer", sequence);
    write("compressed_two_filled", {Packetize(still, 8, true)[0], Packetize(still, 9, true)[1]});
    write("restart_at_zero", {Packetize(tiny, 9, true)[0], Packetize(twoFragments, 0, true)[0]});
    const auto seven = Packetize(tiny, 7, true)[0];
    write("truncated_header", {{seven.begin(), seven.begin() + 20}});
    write("one_byte", {{1}});
    write("foreign_version", {{2, 1, 0, 0}});
    write("foreign_kind", {{1, 7, 0, 0}});
    // Headers that lie, each in an otherwise real datagram of a one-fragment picture.
    const auto real = Packetize(tiny, 20, false)[0];
    const auto lying = [&real](std::size_t at, std::vector<std::uint8_t> bytes) -> Datagrams {
        auto datagram = real;
        std::copy(bytes.begin(), bytes.end(), datagram.begin() + at);
        return {datagram};
    };
    write("data_length_too_long", lying(28, {0, 0, 0x80, 0x08}));
    write("data_length_wraps", lying(28, {0xFF, 0xFF, 0xFF, 0xF0}));
    write("fragment_far_out", lying(16, {0x7F, 0xFF, 0xFF, 0xFF}));
    write("picture_size_huge", lying(8, {0x40, 0, 0, 0}));
    write("picture_size_zero", lying(8, {0, 0, 0, 0}));
    write("one_byte_short", {{real.begin(), real.end() - 1}});
    // Bitmap headers inside a complete picture that describe more than it holds.
    write("bitmap_width_lies", lying(32 + 18, {0xFF, 0xFF, 0, 0}));
    write("bitmap_height_negative", lying(32 + 22, {0xF4, 0xFF, 0xFF, 0xFF}));
    write("bitmap_pixel_offset_lies", lying(32 + 10, {0xFF, 0xFF, 0xFF, 0x7F}));
    write("bitmap_32_bits", lying(32 + 28, {32}));
    auto damaged = Packetize(tiny, 21, true)[0];
    damaged[damaged.size() - 2] ^= 0x5A;
    write("zlib_damaged", {damaged});
    return failed ? 1 : 0;
}
