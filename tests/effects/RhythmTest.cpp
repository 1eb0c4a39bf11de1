#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "effects/Rhythm.h"

namespace {

constexpr RhythmTiming kSpaced{500, 200, true};
constexpr RhythmTiming kEveryFrame{800, 500, false};

// Frames at the given music times, each with what it should do:
// "start", "step", "end", "step+end" or nothing.
void expectFrames(Rhythm& r, const std::vector<std::pair<uint32_t, std::string>>& frames) {
    for (const auto& [t, want] : frames) {
        const RhythmEvents e = r.advance(t);
        const std::string got = std::string(e.started ? "start" : "") + (e.step ? "step" : "") +
                                (e.step && e.ended ? "+" : "") + (e.ended ? "end" : "");
        EXPECT_EQ(want, got) << "at " << t << " ms";
    }
}

TEST(Rhythm, RestAndSpinThresholdsAreStrict) {
    Rhythm r(kSpaced);
    // Exactly the rest time is not more than it; the spin's first step comes
    // in a later frame.
    expectFrames(r, {{0, ""}, {500, ""}, {501, "start"}});
    EXPECT_TRUE(r.spinning);
    EXPECT_EQ(501u, r.lastBeatTime);
    EXPECT_EQ(501u, r.lastSpinTime);
    // 200 ms is not more than 200; the frame 201 ms in ends the spin.
    expectFrames(r, {{701, "step"}, {702, "end"}});
    EXPECT_FALSE(r.spinning);
    EXPECT_EQ(702u, r.lastBeatTime);
    EXPECT_EQ(702u, r.lastSpinTime);
    expectFrames(r, {{1202, ""}, {1203, "start"}});
}

TEST(Rhythm, AtMostOneStepPerFrameAndNoRestartInTheFrameThatEnds) {
    Rhythm r(kSpaced);
    expectFrames(r, {{600, "start"}, {650, "step"}, {900, "step+end"}, {900, ""}});
}

TEST(Rhythm, UnspacedStepsEverySpinningFrame) {
    Rhythm r(kEveryFrame);
    // Even a frame with no time passed steps; resting frames never do.
    expectFrames(r, {{800, ""}, {801, "start"}, {801, "step"}, {803, "step"}, {1301, "step"}, {1302, "step+end"},
                     {1310, ""}});
}

TEST(Rhythm, AClockBehindTheLastBeatWrapsAndFiresAtOnce) {
    Rhythm r(kSpaced);
    // Music time earlier than the last beat: the unsigned difference is huge.
    expectFrames(r, {{10000, "start"}, {10300, "step+end"}, {9000, "start"}, {8000, "step+end"}});
}

TEST(Rhythm, SpacedStepsNeedMoreThanTenMilliseconds) {
    Rhythm r(kSpaced);
    r.advance(1000);   // starts
    std::vector<uint32_t> steps;
    for (uint32_t t = 1005; t <= 1100; t += 5)
        if (r.advance(t).step) steps.push_back(t);
    // Frames 5 ms apart: every third frame steps.
    EXPECT_EQ((std::vector<uint32_t>{1015, 1030, 1045, 1060, 1075, 1090}), steps);
    EXPECT_EQ(1090u, r.lastSpinTime);
}

}  // namespace
