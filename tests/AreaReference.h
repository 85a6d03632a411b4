// What scaled pictures are checked against, in plain doubles: along an axis that shrinks, the
// exact area integral of the source under each target pixel; along one that grows, the source
// pixel under its centre. Rows in memory order, as BoxScale takes them.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "viewer/display/BoxScale.h"

namespace telvo::test {

class AreaReference {
  public:
    AreaReference(const SourceRows& source, std::uint32_t width, std::uint32_t height);
    // Channel `c` (0 blue, 1 green, 2 red) of target pixel (x, y), not rounded.
    double at(std::uint32_t x, std::uint32_t y, int c) const;

  private:
    using Footprint = std::vector<std::pair<std::uint32_t, double>>;  // pixel, weight
    static Footprint FootprintOf(std::uint32_t x, std::uint32_t from, std::uint32_t to);

    SourceRows source_;
    std::vector<Footprint> columns_;
    std::vector<Footprint> rows_;
};

}  // namespace telvo::test
