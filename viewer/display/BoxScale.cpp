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

// The fast path, for footprints of at most kFastTaps pixels along either axis: each tap's weight
// as a 16-bit fraction of 65536, sums in 16 bits in units of 1/256 of a level, SSE2 in both
// passes. Each tap adds at most 1.5/256 of a level of error, so with the final rounding a result
// stays within 0.6 of the exact average.
constexpr std::uint32_t kFastTaps = 8;

std::uint16_t Fraction(const Axis& axis, const Tap& tap, std::uint32_t t) {
    const std::uint32_t weight = t == 0               ? tap.firstWeight
                                 : t + 1 == tap.count ? tap.lastWeight
                                                      : axis.innerWeight;
    const std::uint64_t fraction = (std::uint64_t{weight} * 65536 + axis.total / 2) / axis.total;
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(fraction, 65535));
}

std::uint32_t MostTaps(const Axis& axis) {
    std::uint32_t most = 0;
    for (const Tap& tap : axis.taps) most = std::max(most, tap.count);
    return most;
}

// sums[k] = the weighted sum of byte k of the `count` source rows from `row`, k < length.
template <std::uint32_t kCount>
void SumRowsFast(const std::uint8_t* const* row, const std::uint16_t* fraction, std::uint32_t count,
                 std::size_t length, std::uint16_t* sums) {
    const std::uint32_t taps = kCount != 0 ? kCount : count;
    __m128i weight[kFastTaps];
    for (std::uint32_t t = 0; t < taps; ++t) {
        weight[t] = _mm_set1_epi16(static_cast<short>(fraction[t]));
    }
    const __m128i zero = _mm_setzero_si128();
    std::size_t k = 0;
    for (; k + 16 <= length; k += 16) {
        __m128i low = zero;
        __m128i high = zero;
        for (std::uint32_t t = 0; t < taps; ++t) {
            // A byte in the high half of a word is the level x 256.
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row[t] + k));
            low = _mm_add_epi16(low, _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, bytes), weight[t]));
            high = _mm_add_epi16(high, _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, bytes), weight[t]));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + k), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + k + 8), high);
    }
    for (; k < length; ++k) {
        std::uint32_t sum = 0;
        for (std::uint32_t t = 0; t < taps; ++t) {
            sum += (std::uint32_t{row[t][k]} << 8) * fraction[t] >> 16;
        }
        sums[k] = static_cast<std::uint16_t>(sum);
    }
}

// The sums of the source rows under one target row, with the usual numbers of rows unrolled.
void SumRowsFast(const SourceRows& source, const Axis& rows, const Tap& tap, std::uint16_t* sums) {
    const std::uint8_t* row[kFastTaps];
    std::uint16_t fraction[kFastTaps];
    for (std::uint32_t t = 0; t < tap.count; ++t) {
        row[t] = source.bytes + (tap.first + t) * source.stride;
        fraction[t] = Fraction(rows, tap, t);
    }
    const std::size_t length = std::size_t{3} * source.width;
    switch (tap.count) {
        case 1:
            return SumRowsFast<1>(row, fraction, tap.count, length, sums);
        case 2:
            return SumRowsFast<2>(row, fraction, tap.count, length, sums);
        case 3:
            return SumRowsFast<3>(row, fraction, tap.count, length, sums);
        default:
            return SumRowsFast<0>(row, fraction, tap.count, length, sums);
    }
}

// The columns of the fast path: per target pixel where its first source pixel's channels start
// in a row and `pairs` vectors of weights, each [w w w v v v 0 0] for two neighbouring pixels.
struct FastColumns {
    std::vector<std::uint32_t> start;
    std::vector<std::uint16_t> weights;
    std::uint32_t pairs = 0;
};

FastColumns PlanFastColumns(const Axis& columns) {
    FastColumns fast;
    fast.pairs = (MostTaps(columns) + 1) / 2;
    fast.weights.resize(columns.taps.size() * fast.pairs * 8);
    std::uint16_t* weights = fast.weights.data();
    for (const Tap& tap : columns.taps) {
        fast.start.push_back(3 * tap.first);
        for (std::uint32_t t = 0; t < tap.count; ++t) {
            std::fill_n(weights + (t / 2) * 8 + (t % 2) * 3, 3, Fraction(columns, tap, t));
        }
        weights += fast.pairs * 8;
    }
    return fast;
}

// A target pixel from the row sums at `pixel` and its weights, as blue, green, red and one byte
// more.
template <std::uint32_t kPairs>
inline std::uint32_t FastPixel(const std::uint16_t* pixel, const std::uint16_t* weights) {
    __m128i sum = _mm_setzero_si128();
    for (std::uint32_t pair = 0; pair < kPairs; ++pair) {
        const __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixel + 6 * pair));
        const __m128i fractions =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 8 * pair));
        sum = _mm_add_epi16(sum, _mm_mulhi_epu16(values, fractions));
    }
    sum = _mm_add_epi16(sum, _mm_srli_si128(sum, 6));  // channels of the pair's second pixel
    sum = _mm_srli_epi16(_mm_adds_epu16(sum, _mm_set1_epi16(128)), 8);
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
}

// One target row from the row sums; `sums` has room for the loads of every pair.
template <std::uint32_t kPairs>
void ReduceColumnsFast(const std::uint16_t* sums, const FastColumns& columns, std::uint32_t width,
                       std::uint8_t* out) {
    // Local pointers: the stores through `out` could otherwise alias the vectors' own.
    const std::uint32_t* start = columns.start.data();
    const std::uint16_t* weights = columns.weights.data();
    const std::size_t last = width - 1;
    for (std::size_t x = 0; x < last; ++x) {
        // Four bytes at once; the fourth is the next pixel's, written over in the next pass.
        const std::uint32_t pixel = FastPixel<kPairs>(sums + start[x], weights);
        std::memcpy(out + 3 * x, &pixel, 4);
        weights += 8 * kPairs;
    }
    const std::uint32_t pixel = FastPixel<kPairs>(sums + start[last], weights);
    std::memcpy(out + 3 * last, &pixel, 3);
}

// The loop with the number of pairs fixed, so the compiler unrolls it.
void ReduceColumnsFast(const std::uint16_t* sums, const FastColumns& columns, std::uint32_t width,
                       std::uint8_t* out) {
    switch (columns.pairs) {
        case 1:
            return ReduceColumnsFast<1>(sums, columns, width, out);
        case 2:
            return ReduceColumnsFast<2>(sums, columns, width, out);
        case 3:
            return ReduceColumnsFast<3>(sums, columns, width, out);
        default:
            return ReduceColumnsFast<kFastTaps / 2>(sums, columns, width, out);
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
    const bool fast = MostTaps(columns) <= kFastTaps && MostTaps(rows) <= kFastTaps;
    const FastColumns fastColumns = fast ? PlanFastColumns(columns) : FastColumns{};
    const std::uint64_t scale = UINT64_MAX / (std::uint64_t{columns.total} * rows.total);
    std::vector<std::uint32_t> sums(fast ? 0 : std::size_t{3} * source.width);
    // Zeros after the row: the last pixels' loads of the fast path reach past it.
    std::vector<std::uint16_t> fastSums(fast ? 3 * (source.width + 2 * fastColumns.pairs) + 8 : 0);
    for (std::uint32_t y = 0; y < target.height; ++y) {
        std::uint8_t* out = target.bytes + y * target.stride;
        if (y > 0 && rows.taps[y].first == rows.taps[y - 1].first && rows.total == 1) {
            std::memcpy(out, out - target.stride, std::size_t{3} * target.width);  // a repeated row
        } else if (fast) {
            SumRowsFast(source, rows, rows.taps[y], fastSums.data());
            ReduceColumnsFast(fastSums.data(), fastColumns, target.width, out);
        } else {
            SumRows(source, rows.taps[y], rows.innerWeight, sums.data());
            ReduceColumns(sums.data(), columns, scale, out);
        }
    }
    return true;
}

}  // namespace telvo
