#include "tests/AreaReference.h"

#include <algorithm>

namespace telvo::test {

AreaReference::AreaReference(const SourceRows& source, std::uint32_t width, std::uint32_t height)
    : source_(source) {
    for (std::uint32_t x = 0; x < width; ++x)
        columns_.push_back(FootprintOf(x, source.width, width));
    for (std::uint32_t y = 0; y < height; ++y)
        rows_.push_back(FootprintOf(y, source.height, height));
}

double AreaReference::at(std::uint32_t x, std::uint32_t y, int c) const {
    double exact = 0;
    for (const auto& [row, rowWeight] : rows_[y]) {
        for (const auto& [column, weight] : columns_[x]) {
            exact += rowWeight * weight * source_.bytes[row * source_.stride + 3 * column + c];
        }
    }
    return exact;
}

AreaReference::Footprint AreaReference::FootprintOf(std::uint32_t x, std::uint32_t from,
                                                    std::uint32_t to) {
    // A centre exactly on a pixel edge takes the pixel after it; in doubles that edge can round.
    if (to >= from) {
        return {{static_cast<std::uint32_t>((2 * std::uint64_t{x} + 1) * from /
                                            (2 * std::uint64_t{to})),
                 1.0}};
    }
    const double step = static_cast<double>(from) / to;
    const double start = x * step;
    const double end = (x + 1) * step;
    Footprint pixels;
    for (auto i = static_cast<std::uint32_t>(start); i < end && i < from; ++i) {
        const double covered = std::min(i + 1.0, end) - std::max(static_cast<double>(i), start);
        if (covered > 0) pixels.push_back({i, covered / step});
    }
    return pixels;
}

}  // namespace telvo::test
