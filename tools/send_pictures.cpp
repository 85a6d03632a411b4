// telvo_send_pictures: sends made-up desktop pictures on a channel, as the sender would, for
// trying viewers and networks without capturing a screen. Usage:
//   telvo_send_pictures [--channel 1-5] [--group 224.3.2.1] [--base-port 54321] [--count 10]
//                       [--interval-ms 1000] [--width 1024] [--height 768] [--first 0]
//                       [--uncompressed] [--repeat 1] [--save-dir FOLDER] [--file picture.bmp]
//                       [--dry-run]
// Each picture is sent --repeat times under consecutive numbers, as a screen that stays still for
// that long. --save-dir writes each picture as "Sent.<number>.bmp" under the number it was first
// sent with. --file sends that 24-bit bottom-up bitmap file as every picture instead of made-up
// ones. --dry-run sends nothing and prints "datagram <length>" for each datagram instead. Each
// picture's line says whether it went out compressed, and why not.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "protocol/ScreenBitmap.h"
#include "protocol/ScreenPacket.h"
#include "sender/Packetizer.h"
#include "sender/SenderSocket.h"
#include "tools/CommandLine.h"
#include "tools/DesktopPicture.h"

namespace {

class PrintingSink : public telvo::DatagramSink {
  public:
    int Send(const std::uint8_t*, std::size_t length) override {
        std::printf("datagram %zu\n", length);
        return 0;
    }
    void Pause(unsigned) override {}
};

// The bytes of a bitmap file that a viewer can show; empty when it cannot be read or is none.
std::vector<std::uint8_t> ReadPictureFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        std::uint8_t block[65536];
        for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) {
            bytes.insert(bytes.end(), block, block + n);
        }
        std::fclose(file);
    }
    telvo::BitmapLayout layout;
    if (bytes.size() > telvo::kMaxPictureSize ||
        !telvo::DescribeBitmap(bytes.data(), bytes.size(), &layout)) {
        bytes.clear();
    }
    return bytes;
}

// One line for a picture: what SendPicture did with it, and `where` it went.
void PrintSent(std::uint32_t number, std::size_t size, bool compress,
               const telvo::PictureSent& sent, const std::string& where) {
    if (!sent.sent) {
        std::printf("skipped No.%u (%zu bytes): no memory to send it\n", number, size);
        return;
    }
    if (sent.compressed) {
        std::printf("sent No.%u (%zu bytes) compressed to %u bytes in %u datagrams%s\n", number,
                    size, sent.transmittedLength, sent.fragmentCount, where.c_str());
    } else {
        std::printf("sent No.%u (%zu bytes) uncompressed%s in %u datagrams%s\n", number, size,
                    compress ? ", as it does not compress" : "", sent.fragmentCount, where.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace telvo;
    const CommandLine options(argc, argv);
    bool ok = true;
    const ChannelAddress channel = options.Channel(&ok);
    const auto count = options.Number("count", 10, 1, 1000000000, &ok);
    const auto interval = options.Number("interval-ms", 1000, 0, 3600000, &ok);
    const auto width = options.Number("width", 1024, 1, 16384, &ok);
    const auto height = options.Number("height", 768, 1, 16384, &ok);
    const auto first = options.Number("first", 0, 0, 0xFFFFFFFF, &ok);
    const auto repeat = options.Number("repeat", 1, 1, 1000000000, &ok);
    const std::string saveFolder = options.Text("save-dir", "");
    const bool compress = !options.Flag("uncompressed");
    const bool dryRun = options.Flag("dry-run");
    const std::string file = options.Text("file", "");
    if (!ok || !options.OnlyKnownOptions()) return 2;
    const std::vector<std::uint8_t> filePicture =
        file.empty() ? std::vector<std::uint8_t>{} : ReadPictureFile(file);
    if (!file.empty() && filePicture.empty()) {
        std::fprintf(stderr, "%s is no 24-bit bottom-up bitmap file\n", file.c_str());
        return 2;
    }

    const char* group = channel.group.c_str();
    const auto port = ChannelPort(channel.basePort, channel.channelIndex);
    if (const int error = dryRun ? 0 : OpenSenderSocket(group, port); error != 0) {
        std::fprintf(stderr, "cannot open the sender socket for %s: error %d\n", group, error);
        return 1;
    }
    const std::string where =
        dryRun ? "" : " to " + channel.group + " port " + std::to_string(port);
    SenderSocketSink socketSink;
    PrintingSink printingSink;
    DatagramSink& sink = dryRun ? static_cast<DatagramSink&>(printingSink) : socketSink;
    std::vector<std::uint8_t> picture;
    for (std::int64_t i = 0; i < count; ++i) {
        const auto number = static_cast<std::uint32_t>(first + i);
        if (i % repeat == 0) {
            picture = !filePicture.empty()
                          ? filePicture
                          : MakeDesktopPicture(static_cast<std::uint32_t>(width),
                                               static_cast<std::uint32_t>(height), number);
            if (!saveFolder.empty()) {
                std::ofstream saved(saveFolder + "/Sent." + std::to_string(number) + ".bmp",
                                    std::ios::binary);
                saved.write(reinterpret_cast<const char*>(picture.data()),
                            static_cast<std::streamsize>(picture.size()));
            }
        }
        PictureSent sent;
        if (const int error =
                SendPicture(sink, picture.data(), static_cast<std::uint32_t>(picture.size()),
                            number, 0, 0, compress, &sent);
            error != 0) {
            std::fprintf(stderr, "sending picture %u failed: error %d\n", number, error);
            return 1;
        }
        PrintSent(number, picture.size(), compress, sent, where);
        std::fflush(stdout);
        if (i + 1 < count) std::this_thread::sleep_for(std::chrono::milliseconds(interval));
    }
    CloseSenderSocket();
    return 0;
}
