// Options of the form --name value for the command-line tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace telvo {

// Where a channel is: --channel 1-5, --group and --base-port, with the programs' defaults.
struct ChannelAddress {
    std::string group;
    std::uint16_t basePort = 0;
    std::uint32_t channelIndex = 0;
};

class CommandLine {
  public:
    CommandLine(int argc, char** argv) : argc_(argc), argv_(argv) {}

    // The value after --name, or `fallback` when the option is not given.
    std::string Text(const char* name, const char* fallback) const;
    // A whole number in [low, high]; `ok` turns false when the value is not one.
    std::int64_t Number(const char* name, std::int64_t fallback, std::int64_t low,
                        std::int64_t high, bool* ok) const;
    bool Flag(const char* name) const;
    ChannelAddress Channel(bool* ok) const;
    // After every option has been read: false, with a message, when the command line holds an
    // option none of them asked for (a typo would otherwise run with the defaults).
    [[nodiscard]] bool OnlyKnownOptions() const;

  private:
    const char* Find(const char* name) const;
    int argc_;
    char** argv_;
    mutable std::vector<std::string> asked_;
};

}  // namespace telvo
