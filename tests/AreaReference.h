// What scaled pictures are checked against, in plain doubles: along an axis that shrinks, the
// exact area integral of the source under each target pixel; along one that grows, the source
// pixel under its centre. Rows in memory order, as BoxScale takes them.
#pragma once

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "viewer/display/BoxScale.h"

namespace telvo::test {

class AreaReference {
  public:
    AreaReference(const SourceRows& source, std::uint32_t width, std::uint32_t height)
        : source_(source) {
        for (auto x = 0u; x < width; ++x) columns_.push_back(Pixels(x, source.width, width));
        for (auto y = 0u; y < height; ++y) rows_.push_back(Pixels(y, source.height, height));
    }
    // Channel `c` (0 blue, 1 green, 2 red) of target pixel (x, y), not rounded.
    double at(std::uint32_t x, std::uint32_t y, int c) const {
        double exact = 0;
        for (const auto& [row, rowWeight] : rows_[y]) {
            for (const auto& [column, weight] : columns_[x]) {
                exact += rowWeight * weight * source_.bytes[row * source_.stride + 3 * column + c];
            }
        }
        return exact;
    }

  private:
    using Footprint = std::vector<std::pair<std::uint64_t, double>>;  // pixel, weight

    // In units of 1 / to of a source pixel, target pixel x covers [x from, (x + 1) from).
    static Footprint Pixels(std::uint64_t x, std::uint64_t from, std::uint64_t to) {
        if (to >= from) return {{(2 * x + 1) * from / (2 * to), 1.0}};
        Footprint pixels;
        for (std::uint64_t i = x * from / to; i * to < (x + 1) * from; ++i) {
            const auto covered =
                std::min((x + 1) * from, (i + 1) * to) - std::max(x * from, i * to);
            pixels.push_back({i, static_cast<double>(covered) / from});
        }
        return pixels;
    }

    SourceRows source_;
    std::vector<Footprint> columns_, rows_;
};

// The largest difference between `scaled` and the reference over every channel. Where the
// reference is a whole number, rounding the exact sum must give it: errors there count fourfold.
inline double WorstError(const SourceRows& source, const TargetRows& scaled) {
    const AreaReference reference(source, scaled.width, scaled.height);
    double worst = 0;
    for (std::uint32_t y = 0; y < scaled.height; ++y) {
        for (std::uint32_t k = 0; k < 3 * scaled.width; ++k) {
            const double exact = reference.at(k / 3, y, k % 3);
            const double error = std::abs(scaled.bytes[y * scaled.stride + k] - exact);
            worst = std::max(worst, std::abs(exact - std::round(exact)) < 0.01 ? 4 * error : error);
        }
    }
    return worst;
}

}  // namespace telvo::test
