// Cost of the streams' resampling to 44.1 kHz: a sine made at the source rate
// stands in for the codec, so only the conversion is measured.  Items are
// output frames; at 44,100 frames per second of music, items/s over 44,100 is
// how many times faster than real time the audio thread (or the capture's
// WAV) gets its music.
//   build/bench/halvoren_bench --benchmark_filter=Resample
#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>

#include "engine/StreamDecoder.h"

namespace {

constexpr int kSeconds = 10;
constexpr int kChunkFrames = 1152;   // one MPEG frame's worth per chunk

class SineStream : public StreamDecoder {
public:
    explicit SineStream(long rate) : rate_(rate) {
        std::string ignored;
        setSourceRate(rate, ignored);
    }

private:
    bool decodeChunk(std::vector<int16_t>& stereo) override {
        if (made_ >= rate_ * kSeconds) return false;
        stereo.resize(size_t(kChunkFrames) * 2);
        for (int f = 0; f < kChunkFrames; ++f, ++made_)
            stereo[size_t(f) * 2] = stereo[size_t(f) * 2 + 1] =
                int16_t(16000 * std::sin(2 * M_PI * 440.0 * double(made_) / double(rate_)));
        return true;
    }
    bool seekSource(int64_t frame) override {
        made_ = frame;
        return true;
    }

    long    rate_;
    int64_t made_ = 0;
};

void BM_Resample(benchmark::State& state) {
    std::vector<int16_t> block(4096 * 2);   // the capture tool's block
    int64_t frames = 0;
    for (auto _ : state) {
        SineStream stream(long(state.range(0)));
        for (int got; (got = stream.render(block.data(), 4096)) > 0;) frames += got;
    }
    state.SetItemsProcessed(frames);
}
BENCHMARK(BM_Resample)->Arg(22050)->Arg(32000)->Arg(44100)->Arg(48000)->Unit(benchmark::kMillisecond);

}  // namespace
