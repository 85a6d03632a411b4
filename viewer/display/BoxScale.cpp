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

// Two rows weighted one half each (a halved height): the same sums as SumRowsFast<2> gives,
// (a + b) x 128, without the multiplications.
void SumHalves(const std::uint8_t* first, const std::uint8_t* second, std::size_t length,
               std::uint16_t* sums) {
    const __m128i zero = _mm_setzero_si128();
    std::size_t k = 0;
    for (; k + 16 <= length; k += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + k));
        const __m128i low = _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
        const __m128i high = _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + k), _mm_slli_epi16(low, 7));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + k + 8), _mm_slli_epi16(high, 7));
    }
    for (; k < length; ++k) sums[k] = static_cast<std::uint16_t>((first[k] + second[k]) << 7);
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
            if (fraction[0] == 32768 && fraction[1] == 32768) {
                return SumHalves(row[0], row[1], length, sums);
            }
            return SumRowsFast<2>(row, fraction, tap.count, length, sums);
        case 3:
            return SumRowsFast<3>(row, fraction, tap.count, length, sums);
        default:
            return SumRowsFast<0>(row, fraction, tap.count, length, sums);
    }
}

// The zeros before each row of sums: at least one pixel for the pairs' first loads, and 16 bytes
// so that the stores of the sums stay aligned.
constexpr std::uint32_t kLeadingLanes = 8;

// The columns of the fast path, taken two target pixels at a time. For the pair at x and x + 1,
// `loads` vectors of eight sums are read, vector t from the sums of source pixel base + t on: its
// lanes 0-2 (source pixel base + t) serve pixel x and its lanes 3-5 (source pixel base + t + 1)
// serve pixel x + 1, each with its own weight. So the two results land side by side, in the
// order of the target row, without moving lanes. `weights` holds per pair and load
// [w w w v v v 0 0].
struct FastColumns {
    std::vector<std::uint32_t> base;  // per pair, the first lane read, from the leading zeros on
    std::vector<std::uint16_t> weights;
    std::uint32_t loads = 0;
};

FastColumns PlanFastColumns(const Axis& columns) {
    const std::uint32_t width = static_cast<std::uint32_t>(columns.taps.size());
    const std::uint32_t pairs = (width + 1) / 2;
    FastColumns fast;
    // base = min(first of x, first of x + 1 minus one), which is at least -1 as pixel x + 1
    // starts at or after pixel x; counted here from the pixel before the row, so never negative.
    auto baseOf = [&](std::uint32_t x) {
        const std::uint32_t next = x + 1 < width ? columns.taps[x + 1].first : UINT32_MAX;
        return std::min(columns.taps[x].first + 1, next);
    };
    for (std::uint32_t x = 0; x < width; x += 2) {
        const std::uint32_t base = baseOf(x);
        fast.loads = std::max(fast.loads, columns.taps[x].first + 1 - base + columns.taps[x].count);
        if (x + 1 < width) {
            const Tap& next = columns.taps[x + 1];
            fast.loads = std::max(fast.loads, next.first - base + next.count);
        }
    }
    fast.weights.resize(std::size_t{pairs} * fast.loads * 8);
    for (std::uint32_t x = 0; x < width; x += 2) {
        const std::uint32_t base = baseOf(x);
        fast.base.push_back(3 * base + kLeadingLanes - 3);
        std::uint16_t* weights = fast.weights.data() + std::size_t{x / 2} * fast.loads * 8;
        for (std::uint32_t half = 0; half < 2 && x + half < width; ++half) {
            const Tap& tap = columns.taps[x + half];
            // Load t has source pixel base - 1 + t + half at lane 3 x half.
            const std::uint32_t load = tap.first + 1 - half - base;
            for (std::uint32_t t = 0; t < tap.count; ++t) {
                std::fill_n(weights + (load + t) * 8 + 3 * half, 3, Fraction(columns, tap, t));
            }
        }
    }
    return fast;
}

// Two target pixels of one pair in each of kRows rows, whose sums start `offset` lanes into each
// row's buffer: six lanes per row, rounded to whole levels; lanes 6 and 7 are 0. The rows share
// the loads of the weights.
template <std::uint32_t kLoads, std::uint32_t kRows>
inline void FastPair(const std::uint16_t* const* sums, std::uint32_t offset,
                     const std::uint16_t* weights, std::uint32_t loads, __m128i* pair) {
    const std::uint32_t count = kLoads != 0 ? kLoads : loads;
    __m128i sum[kRows] = {};
    for (std::uint32_t t = 0; t < count; ++t) {
        const __m128i fractions =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 8 * t));
        for (std::uint32_t r = 0; r < kRows; ++r) {
            const __m128i values =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums[r] + offset + 3 * t));
            sum[r] = _mm_add_epi16(sum[r], _mm_mulhi_epu16(values, fractions));
        }
    }
    for (std::uint32_t r = 0; r < kRows; ++r) {
        pair[r] = _mm_srli_epi16(_mm_adds_epu16(sum[r], _mm_set1_epi16(128)), 8);
    }
}

// Four pixels of a row from two pairs, packed to bytes [pair 0][0 0][pair 1][0 0] and stored as
// two eight-byte writes whose last two bytes the next write covers. The row's last step goes
// through a small buffer so that nothing is written past the row.
inline void StoreFour(__m128i first, __m128i second, std::uint32_t x, std::uint32_t width,
                      std::uint8_t* out) {
    const __m128i bytes = _mm_packus_epi16(first, second);
    out += std::size_t{3} * x;
    if (x + 4 < width) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 6), _mm_srli_si128(bytes, 8));
        return;
    }
    alignas(16) std::uint8_t last[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(last), bytes);
    std::memmove(last + 6, last + 8, 6);
    std::memcpy(out, last, std::size_t{3} * (width - x));
}

// kRows target rows from their row sums (buffers with the leading zeros and room for every load).
template <std::uint32_t kLoads, std::uint32_t kRows>
void ReduceColumnsFast(const std::uint16_t* const* sums, const FastColumns& columns,
                       std::uint32_t width, std::uint8_t* const* out) {
    // Local pointers: the stores through `out` could otherwise alias the vectors' own.
    const std::uint32_t* base = columns.base.data();
    const std::uint16_t* weights = columns.weights.data();
    const std::size_t step = std::size_t{8} * columns.loads;
    const std::uint32_t pairs = (width + 1) / 2;
    for (std::uint32_t pair = 0; pair < pairs; pair += 2, weights += 2 * step) {
        __m128i first[kRows];
        __m128i second[kRows] = {};
        FastPair<kLoads, kRows>(sums, base[pair], weights, columns.loads, first);
        if (pair + 1 < pairs) {
            FastPair<kLoads, kRows>(sums, base[pair + 1], weights + step, columns.loads, second);
        }
        for (std::uint32_t r = 0; r < kRows; ++r) {
            StoreFour(first[r], second[r], 2 * pair, width, out[r]);
        }
    }
}

// The loop with the number of loads fixed, so the compiler unrolls it.
template <std::uint32_t kRows>
void ReduceColumnsFast(const std::uint16_t* const* sums, const FastColumns& columns,
                       std::uint32_t width, std::uint8_t* const* out) {
    switch (columns.loads) {
        case 2:
            return ReduceColumnsFast<2, kRows>(sums, columns, width, out);
        case 3:
            return ReduceColumnsFast<3, kRows>(sums, columns, width, out);
        case 4:
            return ReduceColumnsFast<4, kRows>(sums, columns, width, out);
        default:
            return ReduceColumnsFast<0, kRows>(sums, columns, width, out);
    }
}

// Whether target row y is the same as the one before: along a height that grows.
bool RepeatsRow(const Axis& rows, std::uint32_t y) {
    return y > 0 && rows.total == 1 && rows.taps[y].first == rows.taps[y - 1].first;
}

void CopyRow(const TargetRows& target, std::uint32_t y) {
    std::uint8_t* out = target.bytes + y * target.stride;
    std::memcpy(out, out - target.stride, std::size_t{3} * target.width);
}

// Exact sums in 32 and 64 bits, for footprints of more than kFastTaps pixels.
void ScaleWide(const SourceRows& source, const TargetRows& target, const Axis& columns,
               const Axis& rows) {
    const std::uint64_t scale = UINT64_MAX / (std::uint64_t{columns.total} * rows.total);
    std::vector<std::uint32_t> sums(std::size_t{3} * source.width);
    for (std::uint32_t y = 0; y < target.height; ++y) {
        if (RepeatsRow(rows, y)) {
            CopyRow(target, y);
            continue;
        }
        SumRows(source, rows.taps[y], rows.innerWeight, sums.data());
        ReduceColumns(sums.data(), columns, scale, target.bytes + y * target.stride);
    }
}

void ScaleFast(const SourceRows& source, const TargetRows& target, const Axis& columns,
               const Axis& rows) {
    const FastColumns fastColumns = PlanFastColumns(columns);
    // kGroup rows of sums, so that that many target rows share the column pass, each with zeros
    // before it and room after it for the last pair's loads, and 16-byte aligned.
    constexpr std::uint32_t kGroup = 4;
    const std::size_t length =
        (kLeadingLanes + 3 * (source.width + fastColumns.loads) + 15) / 8 * 8;
    std::vector<std::uint16_t> sums(kGroup * length);
    const std::uint16_t* rowSums[kGroup];
    for (std::uint32_t r = 0; r < kGroup; ++r) rowSums[r] = sums.data() + r * length;
    for (std::uint32_t y = 0; y < target.height;) {
        if (RepeatsRow(rows, y)) {
            CopyRow(target, y++);
            continue;
        }
        std::uint32_t group = 1;
        while (group < kGroup && y + group < target.height && !RepeatsRow(rows, y + group)) {
            ++group;
        }
        if (group < kGroup) group = 1;  // the last rows, or ones among repeated rows
        std::uint8_t* out[kGroup];
        for (std::uint32_t r = 0; r < group; ++r) {
            out[r] = target.bytes + (y + r) * target.stride;
            SumRowsFast(source, rows, rows.taps[y + r], sums.data() + r * length + kLeadingLanes);
        }
        if (group == kGroup) {
            ReduceColumnsFast<kGroup>(rowSums, fastColumns, target.width, out);
        } else {
            ReduceColumnsFast<1>(rowSums, fastColumns, target.width, out);
        }
        y += group;
    }
}

bool Fits(std::uint32_t width, std::uint32_t height, std::size_t stride, std::uint32_t maxSide) {
    return width > 0 && height > 0 && width <= maxSide && height <= maxSide &&
           stride >= std::size_t{3} * width;
}

}  // namespace

bool BoxScale(const SourceRows& source, const TargetRows& target) {
    if (!Fits(source.width, source.height, source.stride, kMaxSourceSide) ||
        !Fits(target.width, target.height, target.stride, kMaxScaleSide)) {
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
    if (MostTaps(columns) <= kFastTaps && MostTaps(rows) <= kFastTaps) {
        ScaleFast(source, target, columns, rows);
    } else {
        ScaleWide(source, target, columns, rows);
    }
    return true;
}

}  // namespace telvo
