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

// The source pixels under pixel x of `to` made from `from`, with their weights. In units of
// 1 / to of a source pixel, pixel x covers [x from, (x + 1) from).
inline std::vector<std::pair<std::uint64_t, double>> Footprint(std::uint64_t x, std::uint64_t from,
                                                               std::uint64_t to) {
    if (to >= from) return {{(2 * x + 1) * from / (2 * to), 1.0}};
    std::vector<std::pair<std::uint64_t, double>> pixels;
    for (std::uint64_t i = x * from / to; i * to < (x + 1) * from; ++i) {
        const auto covered = std::min((x + 1) * from, (i + 1) * to) - std::max(x * from, i * to);
        pixels.emplace_back(i, static_cast<double>(covered) / from);
    }
    return pixels;
}

// `source` at `width` x `height`, not rounded: blue, green, red of each pixel, row by row.
inline std::vector<double> AreaReference(const SourceRows& source, std::uint32_t width,
                                         std::uint32_t height) {
    std::vector<std::vector<std::pair<std::uint64_t, double>>> columns;
    for (std::uint32_t x = 0; x < width; ++x) columns.push_back(Footprint(x, source.width, width));
    std::vector<double> exact(std::size_t{3} * width * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (const auto& [row, rowWeight] : Footprint(y, source.height, height)) {
            const std::uint8_t* bytes = source.bytes + row * source.stride;
            for (std::size_t k = 0; k < std::size_t{3} * width; ++k) {
                for (const auto& [column, weight] : columns[k / 3])
                    exact[y * std::size_t{3} * width + k] +=
                        rowWeight * weight * bytes[3 * column + k % 3];
            }
        }
    }
    return exact;
}

// The largest difference between `scaled` and the reference over every channel. Where the
// reference is a whole number, rounding the exact sum must give it: errors there count fourfold.
inline double WorstError(const SourceRows& source, const TargetRows& scaled) {
    const std::vector<double> exact = AreaReference(source, scaled.width, scaled.height);
    const std::size_t row = std::size_t{3} * scaled.width;
    double worst = 0;
    for (std::size_t i = 0; i < exact.size(); ++i) {
        const double error = std::abs(scaled.bytes[i / row * scaled.stride + i % row] - exact[i]);
        worst =
            std::max(worst, std::abs(exact[i] - std::round(exact[i])) < 0.01 ? 4 * error : error);
    }
    return worst;
}

}  // namespace telvo::test
