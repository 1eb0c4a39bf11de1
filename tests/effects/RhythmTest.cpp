#include "effects/Rhythm.h"

#include "EffectTestData.h"

// Frames at music times, each with what it should do: "start", "step", "end",
// "step+end" or nothing.
TEST(Rhythm, StrictThresholdsOneStepPerFrameAndWrappingClock) {
    constexpr RhythmTiming kSpaced{500, 200, true}, kEveryFrame{800, 500, false};
    const struct { const char* what; RhythmTiming timing; std::vector<std::pair<uint32_t, std::string>> frames; } cases[] = {
        // Exactly the rest or spin length is not more than it; the first step comes a frame after the start.
        {"strict", kSpaced, {{0, ""}, {500, ""}, {501, "start"}, {701, "step"}, {702, "end"}, {1202, ""}, {1203, "start"}}},
        // However long the frame, one step; no restart in the frame that ends.
        {"one step", kSpaced, {{600, "start"}, {650, "step"}, {900, "step+end"}, {900, ""}}},
        // Unspaced: even a frame with no time passed steps.
        {"every frame", kEveryFrame,
         {{800, ""}, {801, "start"}, {801, "step"}, {803, "step"}, {1301, "step"}, {1302, "step+end"}, {1310, ""}}},
        // Music time behind the last beat: the unsigned difference is huge.
        {"wrap", kSpaced, {{10000, "start"}, {10300, "step+end"}, {9000, "start"}, {8000, "step+end"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rhythm r(c.timing);
        for (const auto& [t, want] : c.frames) {
            const RhythmEvents e = r.advance(t);
            const std::string got = std::string(e.started ? "start" : "") + (e.step ? "step" : "") +
                                    (e.step && e.ended ? "+" : "") + (e.ended ? "end" : "");
            EXPECT_EQ(want, got) << "at " << t << " ms";
        }
    }
}
