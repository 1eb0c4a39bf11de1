// The composed soundtrack: a module libopenmpt accepts, at the promised tempo
// and length, loud where the show needs drive and silent where it ends.
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include "MusicComposer.h"

namespace {

constexpr int kRate = 44100;        // what the show's player renders at
constexpr int kChunk = 64;          // frames per read: the resolution of row timing
constexpr double kMinus1dB = 0.891;  // full scale x 10^(-1/20)

double toDb(double v) { return 20.0 * std::log10(std::max(v, 1e-12)); }

// The whole song rendered once, as the player would (repeat count 0), with
// the frame at which each (order, row) first sounded.
struct Rendering {
    std::vector<uint8_t> bytes;
    std::vector<float> stereo;              // interleaved L, R
    std::vector<std::vector<long>> rowAt;   // [order][row] -> first frame, -1 if never
    double durationSeconds = 0;
    int channels = 0;
    std::string warnings;                   // libopenmpt's, while loading

    // Peak and RMS of [fromSeconds, toSeconds).
    std::pair<double, double> levels(double fromSeconds, double toSeconds) const {
        const size_t a = size_t(fromSeconds * kRate) * 2;
        const size_t b = std::min(stereo.size(), size_t(toSeconds * kRate) * 2);
        double peak = 0, sum = 0;
        for (size_t i = a; i < b; ++i) {
            peak = std::max(peak, double(std::fabs(stereo[i])));
            sum += double(stereo[i]) * stereo[i];
        }
        return {peak, b > a ? std::sqrt(sum / double(b - a)) : 0.0};
    }
};

const Rendering& rendering() {
    static const Rendering r = [] {
        Rendering out;
        out.bytes = composeMusic();
        openmpt_module* m = openmpt_module_create_from_memory2(out.bytes.data(), out.bytes.size(), openmpt_log_func_silent,
                                                               nullptr, openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
        if (!m) return out;
        openmpt_module_set_repeat_count(m, 0);
        out.durationSeconds = openmpt_module_get_duration_seconds(m);
        out.channels = openmpt_module_get_num_channels(m);
        const char* warnings = openmpt_module_get_metadata(m, "warnings");
        out.warnings = warnings ? warnings : "?";
        openmpt_free_string(warnings);
        out.rowAt.assign(size_t(openmpt_module_get_num_orders(m)), std::vector<long>(256, -1));
        std::vector<float> chunk(kChunk * 2);
        long frame = 0;
        for (;;) {
            // The position read before a chunk is the row that chunk starts in.
            const int order = openmpt_module_get_current_order(m), row = openmpt_module_get_current_row(m);
            if (order >= 0 && order < int(out.rowAt.size()) && row >= 0 && row < 256 && out.rowAt[order][row] < 0)
                out.rowAt[order][row] = frame;
            const size_t got = openmpt_module_read_interleaved_float_stereo(m, kRate, kChunk, chunk.data());
            if (got == 0) break;
            out.stereo.insert(out.stereo.end(), chunk.begin(), chunk.begin() + long(got) * 2);
            frame += long(got);
        }
        openmpt_module_destroy(m);
        return out;
    }();
    return r;
}

TEST(MusicComposer, IsAnXmModuleTheSameEveryTimeThatLastsPastTheShowAtEightyFourBeatsPerMinute) {
    const Rendering& r = rendering();
    ASSERT_GT(r.bytes.size(), 336u);
    EXPECT_EQ(std::string(r.bytes.begin(), r.bytes.begin() + 17), "Extended Module: ");
    ASSERT_FALSE(r.stereo.empty()) << "libopenmpt refused the module";
    EXPECT_EQ(r.warnings, "");
    EXPECT_TRUE(r.channels >= 8 && r.channels <= 32 && r.channels % 2 == 0) << r.channels << ": FastTracker 2 knows even counts";
    EXPECT_EQ(composeMusic(), r.bytes);
    EXPECT_NEAR(r.durationSeconds, kMusicLengthMs / 1000.0, 0.5);
    // 84 BPM measured on the rendered audio: a bar is 16 rows, so bar b starts at
    // order b / 4, row 16 (b % 4), and must sound at b x 2857.14 ms.
    ASSERT_GE(r.rowAt.size(), size_t(kMusicBars / 4));
    for (int bar = 0; bar < kMusicBars; ++bar) {
        const long frame = r.rowAt[size_t(bar / 4)][size_t(bar % 4) * 16];
        ASSERT_GE(frame, 0) << "bar " << bar << " never played";
        EXPECT_NEAR(double(frame) * 1000.0 / kRate, bar * 240000.0 / 84.0, 2.0) << "bar " << bar;
    }
}

TEST(MusicComposer, NeverClipsDrivesTheMainPartsAndEndsInSilence) {
    const Rendering& r = rendering();
    const auto [songPeak, songRms] = r.levels(0, 1e9);
    EXPECT_LT(songPeak, kMinus1dB) << "peak " << toDb(songPeak) << " dBFS";
    EXPECT_GT(songRms, 0.03) << "whole-song RMS " << toDb(songRms) << " dBFS";

    // Every section but the closing silence sounds (above -34 dBFS RMS); the
    // drums make the main parts louder than the intro and the break.
    std::map<std::string, double> db;
    for (size_t i = 0; i + 1 < std::size(kMusicSections); ++i) {
        db[kMusicSections[i].name] = toDb(r.levels(kMusicSections[i].startMs / 1000.0, kMusicSections[i + 1].startMs / 1000.0).second);
        EXPECT_GT(db[kMusicSections[i].name], -34.0) << kMusicSections[i].name;
    }
    EXPECT_GT(db["Peak"], db["Intro"] + 3.0);
    EXPECT_GT(db["Peak"], db["Break"]);
    EXPECT_GE(db["Peak"], -22.0) << "the peak section should be properly loud";

    // The fade: the outro's last bar far below the peak, silence from 164 s on.
    EXPECT_LT(toDb(r.levels((kMusicSilenceMs - 2857) / 1000.0, kMusicSilenceMs / 1000.0).second), db["Peak"] - 20.0);
    const double tailPeak = r.levels(164.0, 1e9).first;
    EXPECT_LT(tailPeak, 0.001) << "after 164 s: " << toDb(tailPeak) << " dBFS";
}

}  // namespace
