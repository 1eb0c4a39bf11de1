// An 8 x 8 floor of glowing, sphere-mapped boxes through a very wide lens.
// Every 50 ms each box has a one-in-ten chance (from the show's shared
// generator) to jump to full height and brightness; it then sinks and fades
// over 750 ms.  The floor turns with the shared angles and swings sideways on
// the beat.  Everything adds onto a deep blue; layer set 9 frames it.
#pragma once

#include <cstdint>

#include "effects/Rhythm.h"
#include "engine/DemoTypes.h"
#include "engine/IEffect.h"
#include "resources/LayerSet.h"

namespace cubefloor {

constexpr int   kRows = 8;                    // boxes along z
constexpr int   kColumns = 8;                 // boxes along x
constexpr int   kBoxes = kRows * kColumns;
constexpr float kKickHeight = 4.5f;           // units; full brightness
constexpr double kSinkPerTenMs = 0.06;        // units per 10 ms of frame time: 750 ms from the top

// One box as it is drawn: its place on the floor and its glow.
struct Box {
    float x, z;         // floor position of the box's corner, -8 ... 6
    float height;       // units above the floor
    float brightness;   // 0 ... 0.1 (the colour's scale)
};

// The brightness a height gives: 0.1 at full height.
float brightnessOf(float height);

}  // namespace cubefloor

class FX_CubeFloor : public IEffect {
public:
    // 500 ms rest, then a 200 ms swing stepping at most every 10 ms.
    static constexpr RhythmTiming kRhythm = {500, 200, true};
    static constexpr uint32_t kKickEveryMs = 50;   // kicks come more than this apart

    explicit FX_CubeFloor(DemoContext& demo);
    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;
    DataFileNeeds dataFiles() const override;

    // The CPU part of a frame: the swing, the kicks (64 draws from the shared
    // generator when due) and the sinking.
    void advance(uint32_t time_ms, uint32_t delta_ms);
    // Calls sink(const Box&) for every box bright enough to draw, in drawing
    // order: rows from z = -8, boxes from x = -8.
    template <class Sink>
    void forEachVisibleBox(Sink&& sink) const {
        for (int n = 0; n < cubefloor::kBoxes; ++n) {
            const float b = cubefloor::brightnessOf(heights_[n]);
            if (b > kDimmest)
                sink(cubefloor::Box{float(-8 + 2 * (n % cubefloor::kColumns)), float(-8 + 2 * (n / cubefloor::kColumns)),
                                    heights_[n], b});
        }
    }

    float height(int box) const { return heights_[box]; }
    uint32_t texture() const { return texture_; }

private:
    static constexpr float kDimmest = 0.001f;   // boxes at or below this brightness are skipped

    DemoContext& demo_;
    Rhythm       rhythm_{kRhythm};
    uint32_t     lastKickTime_ = 0;                // music time of the last kick pass, ms
    float        heights_[cubefloor::kBoxes] = {};   // units, row after row; may dip just below 0
    uint32_t     boxList_ = 0;                     // display list of the box, never freed
    uint32_t     texture_ = 0;                     // GL name of "cubef/textura.png", never freed
    LayerSet     layers_;                          // layer set 9
    Camera       camera_{};
};
