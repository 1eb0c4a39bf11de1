#include <vector>

#include <gtest/gtest.h>

#include "effects/Rhythm.h"

namespace {

constexpr RhythmTiming kSpaced{500, 200, true};
constexpr RhythmTiming kEveryFrame{800, 500, false};

TEST(Rhythm, RestAndSpinThresholdsAreStrict) {
    Rhythm r(kSpaced);
    EXPECT_FALSE(r.advance(0).started);
    EXPECT_FALSE(r.advance(500).started) << "exactly the rest time is not more than it";
    const RhythmEvents begin = r.advance(501);
    EXPECT_TRUE(begin.started);
    EXPECT_FALSE(begin.step) << "the spin's first step comes in a later frame";
    EXPECT_TRUE(r.spinning);
    EXPECT_EQ(501u, r.lastBeatTime);
    EXPECT_EQ(501u, r.lastSpinTime);

    EXPECT_FALSE(r.advance(701).ended) << "200 ms is not more than 200";
    const RhythmEvents end = r.advance(702);
    EXPECT_TRUE(end.ended);
    EXPECT_FALSE(r.spinning);
    EXPECT_EQ(702u, r.lastBeatTime);
    EXPECT_EQ(702u, r.lastSpinTime);

    EXPECT_FALSE(r.advance(1202).started);
    EXPECT_TRUE(r.advance(1203).started);
}

TEST(Rhythm, SpacedStepsNeedMoreThanTenMilliseconds) {
    Rhythm r(kSpaced);
    r.advance(1000);   // starts
    std::vector<uint32_t> steps;
    for (uint32_t t = 1005; t <= 1100; t += 5)
        if (r.advance(t).step) steps.push_back(t);
    // Frames 5 ms apart: every third frame steps.
    const std::vector<uint32_t> expected = {1015, 1030, 1045, 1060, 1075, 1090};
    EXPECT_EQ(expected, steps);
    EXPECT_EQ(1090u, r.lastSpinTime);
}

TEST(Rhythm, AtMostOneStepPerFrameHowEverLongTheGap) {
    Rhythm r(kSpaced);
    r.advance(600);
    const RhythmEvents late = r.advance(650);
    EXPECT_TRUE(late.step);
    EXPECT_FALSE(late.ended);
    // The frame that ends the spin still steps first.
    const RhythmEvents last = r.advance(900);
    EXPECT_TRUE(last.step);
    EXPECT_TRUE(last.ended);
    EXPECT_FALSE(last.started) << "a spin never restarts in the frame that ended one";
}

TEST(Rhythm, UnspacedStepsEverySpinningFrame) {
    Rhythm r(kEveryFrame);
    EXPECT_FALSE(r.advance(800).started);
    EXPECT_TRUE(r.advance(801).started);
    EXPECT_TRUE(r.advance(801).step) << "even a frame with no time passed";
    EXPECT_TRUE(r.advance(803).step);
    EXPECT_EQ(803u, r.lastSpinTime);
    EXPECT_FALSE(r.advance(1301).ended);
    EXPECT_TRUE(r.advance(1302).ended);
    EXPECT_FALSE(r.advance(1310).step) << "resting frames do not step";
}

TEST(Rhythm, AClockBehindTheLastBeatWrapsAndFiresAtOnce) {
    Rhythm r(kSpaced);
    r.advance(10000);                 // starts
    EXPECT_TRUE(r.advance(10300).ended);
    // Music time earlier than the last beat: the unsigned difference is huge.
    EXPECT_TRUE(r.advance(9000).started);
    const RhythmEvents e = r.advance(8000);
    EXPECT_TRUE(e.step);
    EXPECT_TRUE(e.ended) << "and the spin is over in the same frame";
}

TEST(Rhythm, SteadyFramesGiveRegularBeats) {
    // 16 ms frames: a spin starts at the first frame past 500 ms of rest
    // (512), steps in every frame after that and ends at the first frame past
    // 200 ms (208, which steps too); the next rest again takes 512 ms.
    Rhythm r(kSpaced);
    std::vector<uint32_t> starts, stepsPerSpin;
    for (uint32_t t = 0; t <= 5000; t += 16) {
        const RhythmEvents e = r.advance(t);
        if (e.started) {
            starts.push_back(t);
            stepsPerSpin.push_back(0);
        }
        if (e.step) ++stepsPerSpin.back();
    }
    ASSERT_EQ(7u, starts.size());
    EXPECT_EQ(512u, starts[0]);
    for (size_t n = 1; n < starts.size(); ++n) EXPECT_EQ(208u + 512u, starts[n] - starts[n - 1]);
    for (size_t n = 0; n + 1 < stepsPerSpin.size(); ++n) EXPECT_EQ(13u, stepsPerSpin[n]) << "spin " << n;
}

}  // namespace
