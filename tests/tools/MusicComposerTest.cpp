// The composed soundtrack as the show's player renders it: every bar sounds
// where the script's cuts expect it, loud but never clipping, silent at the end.
#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include "MusicComposer.h"

namespace {

constexpr int kRate = 44100;         // what the show's player renders at
constexpr int kChunk = 64;           // frames per read: the resolution of row timing
constexpr int kRowsPerBar = kMusicRowsPerBeat * kMusicBeatsPerBar;
constexpr int kBarsPerPattern = 4;   // 64-row patterns
constexpr double kMinus1dB = 0.891;  // full scale x 10^(-1/20)
constexpr long kTailFrom = 164 * kRate;   // past the fade, once the last notes' release has died

TEST(MusicComposer, BarsSoundWhereTheCutsExpectThemLoudButNeverClippingAndTheEndIsSilent) {
    const std::vector<uint8_t> bytes = composeMusic();
    openmpt_module* m = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                                           openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(m, nullptr) << "libopenmpt refused the module";
    openmpt_module_set_repeat_count(m, 0);   // as the player plays it
    std::vector<long> barAt(kMusicBars, -1);   // first frame of each bar
    std::vector<float> chunk(kChunk * 2);
    double peak = 0, tailPeak = 0, sum = 0;
    long frame = 0;
    for (;;) {
        // The position read before a chunk is the row that chunk starts in.
        const int row = openmpt_module_get_current_row(m);
        const int bar = openmpt_module_get_current_order(m) * kBarsPerPattern + row / kRowsPerBar;
        if (row % kRowsPerBar == 0 && bar >= 0 && bar < kMusicBars && barAt[size_t(bar)] < 0) barAt[size_t(bar)] = frame;
        const size_t got = openmpt_module_read_interleaved_float_stereo(m, kRate, kChunk, chunk.data());
        if (got == 0) break;
        for (size_t i = 0; i < got * 2; ++i) {
            const double s = std::fabs(chunk[i]);
            peak = std::max(peak, s);
            sum += s * s;
            if (frame >= kTailFrom) tailPeak = std::max(tailPeak, s);
        }
        frame += long(got);
    }
    openmpt_module_destroy(m);

    for (int bar = 0; bar < kMusicBars; ++bar) {
        ASSERT_GE(barAt[size_t(bar)], 0) << "bar " << bar << " never played";
        EXPECT_NEAR(double(barAt[size_t(bar)]) * 1000.0 / kRate, musicBarMs(bar), 2.0) << "bar " << bar;
    }
    EXPECT_LT(peak, kMinus1dB) << "the song clips";
    EXPECT_GT(std::sqrt(sum / double(2 * frame)), 0.03) << "the song is hardly heard";
    EXPECT_LT(tailPeak, 0.001) << "the end is not silent";
}

}  // namespace
