// A cube of glowing flare sprites: a 16 x 16 x 16 grid samples the field of
// three moving balls, and every grid point (but the far faces) is a small
// screen-facing flare whose brightness and size follow the field there, all
// added onto the picture.  The cube turns about three axes and jolts on the
// beat.  Layer set 1 frames it.
#pragma once

#include <cstdint>

#include "effects/Rhythm.h"
#include "effects/RingMesh.h"
#include "engine/DemoTypes.h"
#include "engine/IEffect.h"
#include "resources/LayerSet.h"

namespace cflare {

constexpr int kGrid = 16;                            // field samples along each axis
constexpr int kCells = kGrid * kGrid * kGrid;        // 4096
constexpr int kSpritesPerEdge = kGrid - 1;           // the far face in each direction is not drawn
constexpr int kBalls = 3;

// Ball centres in grid units: x runs with k, y with j, z with i.
struct Balls {
    Vec3 centre[kBalls];
};

// Where the balls are at phase phi (radians-ish): three Lissajous paths
// through the grid.
Balls ballsAt(float phase);

// field[i * 256 + j * 16 + k] = sum over the balls of 6 / squared distance
// from (k, j, i).  Exactly on a ball the term is infinite, which the sprite
// clamp turns into full brightness.  squares[k] = k * k.
void computeField(const Balls& balls, const float squares[kGrid], float* field);

// How one field value looks: brightness b in 0 ... 1 (the field saturates at
// 0.4), the colour it gives, and the sprite size, which drops by 0.2 once b
// passes 0.2 so the dimmest flares stay tiny and the glow packs towards the
// balls.
struct SpriteLook {
    float brightness;
    Vec3  colour;   // added onto the picture
    float size;     // scale of the 0.05-unit sprite quad, before the common 0.85
};
SpriteLook spriteLook(float value);

// Calls sink(i, j, k, look) for each of the 15 x 15 x 15 drawn sprites in
// drawing order: i outermost, k innermost.
template <class Sink>
void forEachSprite(const float* field, Sink&& sink) {
    for (int i = 0; i < kSpritesPerEdge; ++i)
        for (int j = 0; j < kSpritesPerEdge; ++j)
            for (int k = 0; k < kSpritesPerEdge; ++k)
                sink(i, j, k, spriteLook(field[i * kGrid * kGrid + j * kGrid + k]));
}

}  // namespace cflare

class FX_CFlare : public IEffect {
public:
    // 500 ms rest, then a 200 ms pulse stepping at most every 10 ms.
    static constexpr RhythmTiming kRhythm = {500, 200, true};

    explicit FX_CFlare(DemoContext& demo);
    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;
    DataFileNeeds dataFiles() const override;
    void release() override;

    // The beat part of a frame at music time t: pulse steps turn the cube
    // and race the balls.
    void pulse(uint32_t time_ms);
    // The end-of-frame move: balls to the current phase, then the phase on
    // by the frame time.  So a frame shows where the previous one left them.
    void drift(uint32_t delta_ms);
    // Fills the field from the current balls (needs init's buffer).
    void updateField();

    uint32_t texture() const { return texture_; }

private:
    DemoContext&  demo_;
    Rhythm        rhythm_{kRhythm};
    float         squares_[cflare::kGrid] = {};   // k * k, filled by init
    float         phase_ = 0.0f;                  // drives the balls; never reset
    uint32_t      texture_ = 0;                   // GL name of "cflare/FLARE.png", never freed
    uint32_t      spriteList_ = 0;                // display list of the sprite quad, never freed
    LayerSet      layers_;                        // layer set 1
    float*        field_ = nullptr;               // kCells values, owned until release
    cflare::Balls balls_{};                       // grid units
    Camera        camera_{};
};
