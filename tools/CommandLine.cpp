#include "tools/CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "protocol/ScreenPacket.h"

namespace telvo {

const char* CommandLine::Find(const char* name) const {
    asked_.emplace_back(name);
    for (int i = 1; i < argc_; ++i) {
        if (argv_[i][0] == '-' && argv_[i][1] == '-' && std::strcmp(argv_[i] + 2, name) == 0) {
            return i + 1 < argc_ ? argv_[i + 1] : "";
        }
    }
    return nullptr;
}

std::string CommandLine::Text(const char* name, const char* fallback) const {
    const char* value = Find(name);
    return value != nullptr ? value : fallback;
}

std::int64_t CommandLine::Number(const char* name, std::int64_t fallback, std::int64_t low,
                                 std::int64_t high, bool* ok) const {
    const char* value = Find(name);
    if (value == nullptr) return fallback;
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(value, &end, 10);
    if (errno != 0 || end == value || *end != '\0' || number < low || number > high) {
        std::fprintf(stderr, "--%s takes a whole number from %lld to %lld\n", name,
                     static_cast<long long>(low), static_cast<long long>(high));
        *ok = false;
        return fallback;
    }
    return number;
}

bool CommandLine::OnlyKnownOptions() const {
    for (int i = 1; i < argc_; ++i) {
        if (argv_[i][0] != '-' || argv_[i][1] != '-') continue;
        bool known = false;
        for (const std::string& name : asked_) known = known || name == argv_[i] + 2;
        if (!known) {
            std::fprintf(stderr,
                         "unknown option %s (the usage is at the top of the tool's source)\n",
                         argv_[i]);
            return false;
        }
    }
    return true;
}

bool CommandLine::Flag(const char* name) const {
    return Find(name) != nullptr;
}

ChannelAddress CommandLine::Channel(bool* ok) const {
    ChannelAddress address;
    address.group = Text("group", kDefaultGroup);
    address.basePort =
        static_cast<std::uint16_t>(Number("base-port", kDefaultBasePort, 0, 65535, ok));
    address.channelIndex =
        static_cast<std::uint32_t>(Number("channel", 1, 1, kChannelCount, ok) - 1);
    return address;
}

}  // namespace telvo
