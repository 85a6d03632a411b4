// Cost of the view's area-averaged scaling of a 1920 x 1080 desktop-like picture, against one
// memcpy of the same picture, measured in the same run. Targets: to 960 x 540 at most 4 times,
// to 1366 x 768 at most 8 times the memcpy.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/BenchRatio.h"
#include "protocol/ScreenBitmap.h"
#include "tools/DesktopPicture.h"
#include "viewer/display/BoxScale.h"

namespace telvo {
namespace {

const std::vector<std::uint8_t>& Picture() {
    static const auto picture = MakeDesktopPicture(1920, 1080, 1);
    return picture;
}

void BM_Memcpy(benchmark::State& state) {
    const auto& picture = Picture();
    std::vector<std::uint8_t> copy(picture.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), picture.data(), picture.size());
        benchmark::ClobberMemory();
    }
}

void Scale(benchmark::State& state, std::uint32_t width, std::uint32_t height) {
    const auto& picture = Picture();
    const SourceRows source{picture.data() + kBitmapHeadersSize, 1920, 1080, RowStride(1920)};
    std::vector<std::uint8_t> rows(RowStride(width) * height);
    const TargetRows target{rows.data(), width, height, RowStride(width)};
    for (auto _ : state) {
        if (!BoxScale(source, target)) state.SkipWithError("refused");
        benchmark::ClobberMemory();
    }
}

void BM_BoxScaleTo960x540(benchmark::State& state) {
    Scale(state, 960, 540);
}
void BM_BoxScaleTo1366x768(benchmark::State& state) {
    Scale(state, 1366, 768);
}

TELVO_BENCHMARK(BM_Memcpy, 0.5);
TELVO_BENCHMARK(BM_BoxScaleTo960x540, 0.5);
TELVO_BENCHMARK(BM_BoxScaleTo1366x768, 0.5);

}  // namespace
}  // namespace telvo

int main(int argc, char** argv) {
    using namespace telvo;
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    PrintRatio(reporter, "BM_BoxScaleTo960x540", "BM_Memcpy", 4.0);
    PrintRatio(reporter, "BM_BoxScaleTo1366x768", "BM_Memcpy", 8.0);
    return 0;
}
