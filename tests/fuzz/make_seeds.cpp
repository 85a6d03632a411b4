// Writes the seed corpus of fuzz_reassembly: small real pictures as the packetizer sends them,
// compressed and not, in order, reversed and with repeats, plus a few malformed datagrams.
// Usage: make_seeds FOLDER
#include <cstdio>
#include <string>
#include <vector>

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
    std::vector<std::uint8_t> truncated = Packetize(tiny, 7, true)[0];
    truncated.resize(20);
    Write(folder + "/truncated_header", {truncated});
    Write(folder + "/one_byte", {{1}});
    return 0;
}
