// What writing one captured frame costs, per filter and libdeflate level,
// beside the libpng writer the capture used before (Sub, zlib level 1 with
// run-length matches).  The frames are the show's own: 1280 x 720, one every
// three seconds of music time from 0 to 45 s, rendered offscreen from the
// content in HLV_CONTENT (default ./content, made by halvoren-content) and
// laid out as the read-back gives them (RGBX, bottom row first).
//   build/bench/halvoren_bench --benchmark_filter=PngFrame
// Time and CPU are per frame; bytes_per_frame is the mean file size.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "Capture.h"
#include "resources/PngWriter.h"

namespace {

constexpr int kWidth = 1280, kHeight = 720;
constexpr uint32_t kSpanMs = 45000, kEveryMs = 3000;

struct Frames {
    std::vector<std::vector<uint8_t>> rgbx;   // each kWidth x kHeight x 4, bottom row first
    std::string error;

    Frames() {
        CaptureOptions o;
        const char* dir = std::getenv("HLV_CONTENT");
        o.dir = dir ? dir : "content";
        o.width = kWidth;
        o.height = kHeight;
        o.fpsNum = 1;
        o.fpsDen = kEveryMs / 1000;
        o.to = kSpanMs;
        o.onFrame = [this](uint32_t, uint32_t, const std::vector<uint8_t>& rgb) {
            std::vector<uint8_t> frame(size_t(kWidth) * kHeight * 4, 0xFF);
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x)
                    for (int c = 0; c < 3; ++c)
                        frame[(size_t(kHeight - 1 - y) * kWidth + x) * 4 + c] = rgb[(size_t(y) * kWidth + x) * 3 + c];
            rgbx.push_back(std::move(frame));
        };
        const CaptureResult r = runCapture(o);
        if (r.status != 0 || rgbx.empty()) error = "no frames from " + o.dir + ": " + r.error;
    }
};

const Frames* frames(benchmark::State& state) {
    static const Frames f;
    if (!f.error.empty()) {
        state.SkipWithError(f.error.c_str());
        return nullptr;
    }
    return &f;
}

PngPixels readBackLayout(const std::vector<uint8_t>& rgbx) {
    PngPixels p;
    p.width = kWidth;
    p.height = kHeight;
    p.channels = 3;
    p.skipFourth = true;
    p.top = rgbx.data() + size_t(kWidth) * 4 * (kHeight - 1);
    p.stride = -ptrdiff_t(kWidth) * 4;
    return p;
}

// One frame per iteration, the frames in turn: Time and CPU are per frame.
template <class Encode>
void encodeEach(benchmark::State& state, Encode encode) {
    const Frames* f = frames(state);
    if (!f) return;
    double bytes = 0;   // over every frame once, whatever the iteration count
    for (const std::vector<uint8_t>& frame : f->rgbx) bytes += double(encode(readBackLayout(frame)));
    size_t n = 0;
    for (auto _ : state) benchmark::DoNotOptimize(encode(readBackLayout(f->rgbx[n++ % f->rgbx.size()])));
    state.counters["bytes_per_frame"] = bytes / double(f->rgbx.size());
}

void BM_PngFrameLibpng(benchmark::State& state) {
    encodeEach(state, [](const PngPixels& p) { return encodePng(p, 1).size(); });
}
BENCHMARK(BM_PngFrameLibpng)->Unit(benchmark::kMillisecond);

// Arguments: filter (0 None, 1 Sub, 2 Up, 3 Average, 4 Paeth, 5 Adaptive), level.
void BM_PngFrameDeflate(benchmark::State& state) {
    PngFrameEncoder encoder(PngFilter(state.range(0)), int(state.range(1)));
    encodeEach(state, [&](const PngPixels& p) { return encoder.encode(p).size; });
}
BENCHMARK(BM_PngFrameDeflate)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {1, 2, 4, 6}})
    ->ArgNames({"filter", "level"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
