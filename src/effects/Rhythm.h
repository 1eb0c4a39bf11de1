// The beat the show's rhythm effects move to: rest a while, then spin for a
// while in little steps, then rest again.  Each effect owns one and gives it
// its own rest and spin lengths; what a step, a spin start or a spin end does
// (turn the scene, bump a phase, grow a knot) stays in the effect.
//
// Every time difference is an unsigned 32-bit subtraction and every test is
// strict, so a clock that starts below the last beat (a later schedule entry,
// or music time before the effect's first frame) wraps to a huge difference
// and fires at once.  That is how these effects have always behaved.
#pragma once

#include <cstdint>

// Per-effect numbers of the rhythm.
struct RhythmTiming {
    uint32_t restMs;        // a rest longer than this starts a spin, ms of music time
    uint32_t spinMs;        // a spin longer than this ends, ms of music time
    bool     spacedSteps;   // steps need more than kStepSpacingMs since the previous
                            // one; otherwise every spinning frame steps
};

// What one frame of the rhythm did; the effect reacts to these.
struct RhythmEvents {
    bool step = false;      // a spin step happens this frame (at most one per frame)
    bool started = false;   // a rest ended and a spin began this frame
    bool ended = false;     // a spin ended this frame
};

class Rhythm {
public:
    // Steps closer together than this would make the spin speed follow the
    // frame rate even more than it already does.
    static constexpr uint32_t kStepSpacingMs = 10;

    explicit constexpr Rhythm(RhythmTiming timing) : timing_(timing) {}

    // One frame at music time t (ms).  While spinning the step comes first and
    // the end test second, so the frame that ends a spin may still step; a
    // spin never starts in the same frame that ended one.
    RhythmEvents advance(uint32_t t) {
        RhythmEvents events;
        if (spinning) {
            if (!timing_.spacedSteps || t - lastSpinTime > kStepSpacingMs) {
                events.step = true;
                lastSpinTime = t;
            }
            if (t - lastBeatTime > timing_.spinMs) {
                events.ended = true;
                spinning = false;
                lastBeatTime = lastSpinTime = t;
            }
        } else if (t - lastBeatTime > timing_.restMs) {
            events.started = true;
            spinning = true;
            lastBeatTime = lastSpinTime = t;
        }
        return events;
    }


    bool     spinning = false;    // inside a spin
    uint32_t lastBeatTime = 0;    // music time of the last spin start or end, ms
    uint32_t lastSpinTime = 0;    // music time of the last step (or beat), ms

private:
    RhythmTiming timing_;
};
