// Differential check of the reassembly: the input is a script of pictures sent by senders on one
// channel (two honest ones, one of them also from a second port as if started again, and two
// forgers that send real pictures under made-up numbers), with fragments lost, repeated, reversed
// and stray datagrams (altered copies, from another address) between them. Every picture shown must
// be one that its sender sent, under its number or (a fill from copies, which the stream check lets
// through only when it rebuilds a stream that was sent) under a number between the sender's last
// shown one and it; an honest sender's pictures are shown in the order of their numbers.
//
// Script: a series of steps, each an opcode byte and an argument byte. The opcode's low 3 bits
// choose what happens, the next 3 the sender, the high 2 how long the clock moves on.
#include <cstdint>
#include <vector>

#include "tests/TestPicture.h"
#include "viewer/net/PictureAssembler.h"

namespace {

using namespace telvo;
using Bytes = std::vector<std::uint8_t>;

constexpr int kPictures = 4;

// The made-up pictures (one to three fragments each way) and their packets, numbered 0.
struct Pictures {
    Bytes bitmap[kPictures];
    std::vector<Bytes> packets[kPictures][2];  // uncompressed, compressed
    Pictures() {
        const std::uint32_t widths[kPictures] = {8, 120, 200, 120};
        for (int p = 0; p < kPictures; ++p) {
            bitmap[p] = p == 2 ? MakeNoisePicture(widths[p], 60, p + 1)
                               : MakeDesktopPicture(widths[p], 100, p + 1);
            for (int c = 0; c < 2; ++c) packets[p][c] = test::Packetize(bitmap[p], 0, c == 1);
        }
    }
};

struct Sender {
    DatagramSource source;
    bool honest;
    std::uint32_t next;
    std::vector<std::pair<std::uint32_t, int>> sent;  // number, picture
    bool shownBefore = false;
    std::uint32_t lastShown = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Pictures pictures;
    Sender senders[5] = {{{0x0100007F, 1000}, true, 1},
                         {{0x0200007F, 1000}, true, 0xFFFFFFF0},
                         {{0x0100007F, 1001}, true, 0},
                         {{0x0300007F, 1000}, false, 0},
                         {{0x0100007F, 1002}, false, 0}};
    PictureStore store;
    std::uint64_t now = 0;
    Bytes onShow;
    const auto view = [&](const CompletedPicture& told) {
        Bytes shown;
        {
            ImageReader image(store);
            shown.assign(image.bytes(), image.bytes() + image.size());
        }
        Sender* sender = nullptr;
        for (Sender& s : senders) {
            if (s.source == told.source) sender = &s;
        }
        if (sender == nullptr) {  // a stray: another program, whose pictures may be anything
            onShow = shown;
            return;
        }
        bool sent = shown == onShow && told.reused > 0;
        for (const auto& [number, picture] : sender->sent) {
            const bool inRange =
                number == told.number ||
                (told.reused > 0 && NewerNumber(told.number, number) &&
                 (!sender->shownBefore || !NewerNumber(sender->lastShown, number)));
            if (inRange && pictures.bitmap[picture] == shown) sent = true;
        }
        if (!sent) __builtin_trap();  // shown, but never sent so
        if (sender->honest && sender->shownBefore && !NewerNumber(told.number, sender->lastShown)) {
            __builtin_trap();  // out of order
        }
        sender->shownBefore = true;
        sender->lastShown = told.number;
        onShow = shown;
    };
    PictureAssembler assembler(store, store.generation(), view, [&now] { return now; });
    const auto deliver = [&](const Bytes& datagram, const DatagramSource& source) {
        ScreenPacketHeader header;
        if (DecodeHeader(datagram.data(), datagram.size(), &header)) {
            (void)assembler.AcceptFragment(header, datagram.data(), datagram.size(), source);
        }
    };
    // Repeats come soon: of the last two pictures only. Replays of older ones, three in a row,
    // would rightly be taken for a sender whose count went back.
    std::vector<std::pair<Bytes, DatagramSource>> history;
    std::size_t lastPicture = 0;  // where the last picture's datagrams begin in `history`
    for (std::size_t at = 0; at + 2 <= size; at += 2) {
        const std::uint8_t op = data[at], argument = data[at + 1];
        Sender& sender = senders[(op >> 3) % 5];
        now += static_cast<std::uint64_t>(op >> 6) * 700;
        switch (op & 7) {
            case 0:
            case 1:
            case 2: {  // a picture: argument bits 0-1 which, 2 compressed, 3 reversed, 4-7 lost
                std::uint32_t number = sender.next++;
                if (!sender.honest) {  // a made-up number: argument's high bits, shifted far
                    number = std::uint32_t{argument} << 24 | (op & 3);
                }
                const int picture = argument & 3;
                const auto& packets = pictures.packets[picture][(argument >> 2) & 1];
                sender.sent.emplace_back(number, picture);
                history.erase(history.begin(), history.begin() + lastPicture);
                lastPicture = history.size();
                for (std::size_t i = 0; i < packets.size(); ++i) {
                    const std::size_t index = (argument & 8) ? packets.size() - 1 - i : i;
                    if ((argument >> (4 + index % 4)) & 1) continue;
                    Bytes datagram = packets[index];
                    for (int b = 0; b < 4; ++b)
                        datagram[4 + b] = std::uint8_t(number >> (24 - 8 * b));
                    deliver(datagram, sender.source);
                    history.emplace_back(std::move(datagram), sender.source);
                }
                break;
            }
            case 3:  // a repeat of an earlier datagram
                if (!history.empty()) {
                    const auto& [datagram, source] = history[argument % history.size()];
                    deliver(datagram, source);
                }
                break;
            case 4: {  // a stray: part of an earlier datagram, one byte changed
                if (history.empty()) break;
                Bytes stray = history[argument % history.size()].first;
                stray[argument % stray.size()] ^= static_cast<std::uint8_t>(op | 1);
                deliver(stray, {0x0400007F, 2000});
                break;
            }
            default:
                assembler.CheckStalled();
                break;
        }
    }
    return 0;
}
