#include "viewer/display/BoxScale.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace telvo {
namespace {

// What one target pixel (or row) takes from the source along one axis: `count` source pixels
// from `first`, the first weighted firstWeight, the last lastWeight (when count > 1) and each one
// in between innerWeight. A weight is the covered length in units of 1/target of a source pixel,
// so the weights of every tap add up to the axis's total.
struct Tap {
    std::uint32_t first = 0;
    std::uint32_t count = 1;
    std::uint32_t firstWeight = 1;
    std::uint32_t lastWeight = 0;
};

struct Axis {
    std::vector<Tap> taps;
    std::uint32_t innerWeight = 1;
    std::uint32_t total = 1;
};

Axis PlanAxis(std::uint32_t from, std::uint32_t to) {
    Axis axis;
    axis.taps.resize(to);
    if (to >= from) {
        // Repeated: the source pixel under the target pixel's centre, with the whole weight.
        for (std::uint32_t x = 0; x < to; ++x) {
            axis.taps[x].first = static_cast<std::uint32_t>((2 * std::uint64_t{x} + 1) * from /
                                                            (2 * std::uint64_t{to}));
        }
        return axis;
    }
    axis.innerWeight = to;
    axis.total = from;
    for (std::uint32_t x = 0; x < to; ++x) {
        // Footprint [x * from, (x + 1) * from); source pixel i covers [i * to, (i + 1) * to).
        const std::uint64_t start = std::uint64_t{x} * from;
        const std::uint64_t end = start + from;
        const std::uint64_t first = start / to;
        const std::uint64_t last = (end - 1) / to;
        Tap& tap = axis.taps[x];
        tap.first = static_cast<std::uint32_t>(first);
        tap.count = static_cast<std::uint32_t>(last - first + 1);
        tap.firstWeight = static_cast<std::uint32_t>(std::min((first + 1) * to, end) - start);
        tap.lastWeight = static_cast<std::uint32_t>(end - last * to);
    }
    return axis;
}

// sums[k] = weight x row[k] (kAdd false) or sums[k] += weight x row[k] (kAdd true), k < length.
template <bool kAdd>
void AccumulateRow(const std::uint8_t* row, std::size_t length, std::uint32_t weight,
                   std::uint32_t* sums) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights = _mm_set1_epi16(static_cast<short>(weight));  // as 16 unsigned bits
    std::size_t k = 0;
    for (; k + 16 <= length; k += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + k));
        const __m128i words[2] = {_mm_unpacklo_epi8(bytes, zero), _mm_unpackhi_epi8(bytes, zero)};
        for (int half = 0; half < 2; ++half) {
            const __m128i low = _mm_mullo_epi16(words[half], weights);
            const __m128i high = _mm_mulhi_epu16(words[half], weights);
            __m128i products[2] = {_mm_unpacklo_epi16(low, high), _mm_unpackhi_epi16(low, high)};
            for (int quarter = 0; quarter < 2; ++quarter) {
                auto* at = reinterpret_cast<__m128i*>(sums + k + 8 * half + 4 * quarter);
                if (kAdd) products[quarter] = _mm_add_epi32(_mm_loadu_si128(at), products[quarter]);
                _mm_storeu_si128(at, products[quarter]);
            }
        }
    }
    for (; k < length; ++k) sums[k] = (kAdd ? sums[k] : 0) + weight * row[k];
}

// The weighted sums of the source rows under one target row, for every byte of a row.
void SumRows(const SourceRows& source, const Tap& tap, std::uint32_t innerWeight,
             std::uint32_t* sums) {
    const std::size_t length = std::size_t{3} * source.width;
    const std::uint8_t* row = source.bytes + tap.first * source.stride;
    AccumulateRow<false>(row, length, tap.firstWeight, sums);
    for (std::uint32_t i = 1; i < tap.count; ++i) {
        row += source.stride;
        AccumulateRow<true>(row, length, i + 1 < tap.count ? innerWeight : tap.lastWeight, sums);
    }
}

// sum / total rounded to the nearest integer, with scale = floor((2^64 - 1) / total): one
// multiplication instead of a division, off by far less than one step before rounding.
std::uint8_t Average(std::uint64_t sum, std::uint64_t scale) {
    using Wide = unsigned __int128;
    return static_cast<std::uint8_t>((Wide{sum} * scale + (Wide{1} << 63)) >> 64);
}

// One target row from the column sums of its source rows.
void ReduceColumns(const std::uint32_t* sums, const Axis& columns, std::uint64_t scale,
                   std::uint8_t* out) {
    for (const Tap& tap : columns.taps) {
        const std::uint32_t* pixel = sums + std::size_t{3} * tap.first;
        std::uint64_t total[3];
        for (int c = 0; c < 3; ++c) total[c] = std::uint64_t{tap.firstWeight} * pixel[c];
        if (tap.count > 1) {
            std::uint64_t inner[3] = {0, 0, 0};
            for (std::uint32_t i = 1; i + 1 < tap.count; ++i) {
                pixel += 3;
                for (int c = 0; c < 3; ++c) inner[c] += pixel[c];
            }
            pixel += 3;
            for (int c = 0; c < 3; ++c) {
                total[c] +=
                    inner[c] * columns.innerWeight + std::uint64_t{tap.lastWeight} * pixel[c];
            }
        }
        for (int c = 0; c < 3; ++c) out[c] = Average(total[c], scale);
        out += 3;
    }
}

bool Fits(std::uint32_t width, std::uint32_t height, std::size_t stride) {
    return width > 0 && height > 0 && width <= kMaxScaleSide && height <= kMaxScaleSide &&
           stride >= std::size_t{3} * width;
}

}  // namespace

bool BoxScale(const SourceRows& source, const TargetRows& target) {
    if (!Fits(source.width, source.height, source.stride) ||
        !Fits(target.width, target.height, target.stride)) {
        return false;
    }
    if (source.width == target.width && source.height == target.height) {
        for (std::uint32_t y = 0; y < target.height; ++y) {
            std::memcpy(target.bytes + y * target.stride, source.bytes + y * source.stride,
                        std::size_t{3} * source.width);
        }
        return true;
    }
    const Axis columns = PlanAxis(source.width, target.width);
    const Axis rows = PlanAxis(source.height, target.height);
    const std::uint64_t scale = UINT64_MAX / (std::uint64_t{columns.total} * rows.total);
    std::vector<std::uint32_t> sums(std::size_t{3} * source.width);
    for (std::uint32_t y = 0; y < target.height; ++y) {
        std::uint8_t* out = target.bytes + y * target.stride;
        if (y > 0 && rows.taps[y].first == rows.taps[y - 1].first && rows.total == 1) {
            std::memcpy(out, out - target.stride, std::size_t{3} * target.width);  // a repeated row
            continue;
        }
        SumRows(source, rows.taps[y], rows.innerWeight, sums.data());
        ReduceColumns(sums.data(), columns, scale, out);
    }
    return true;
}

}  // namespace telvo
