// A fan of 70 thin, faint blue bars added between a background and a masked
// foreground (layer set 2).  Each bar is turned about the view axis by one
// more step than the one before it, so the step, which grows with the music
// time, spreads them into a turning fan; on the beat the fan jumps ahead.
// The bars sit at fixed pseudo-random offsets from the show's generator,
// seeded here so the fan has the same shape on every run.
//
// It sets no projection of its own: it draws under whatever the previously
// started effect left.
#pragma once

#include <cstdint>

#include "effects/Rhythm.h"
#include "effects/RingMesh.h"
#include "engine/DemoTypes.h"
#include "engine/IEffect.h"
#include "resources/LayerSet.h"

class FX_Lines : public IEffect {
public:
    static constexpr uint32_t kCapacity = 500;       // room in the bar tables
    static constexpr uint32_t kLineCount = 70;       // bars drawn
    static constexpr uint32_t kSeed = 100;           // the generator's seed for the offsets
    // 500 ms rest, then a 200 ms jump stepping at most every 10 ms.
    static constexpr RhythmTiming kRhythm = {500, 200, true};

    explicit FX_Lines(DemoContext& demo);
    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;
    DataFileNeeds dataFiles() const override;

    // Seeds the shared generator and draws every bar's offsets and first step.
    void placeBars();
    // The beat part of a frame at music time t: 2.5 as a jump starts, 0.05
    // per step while it lasts.
    void pulse(uint32_t time_ms);
    // Where bar i is drawn this frame (before its turn) and by how much its
    // turn grows the fan's: degrees for the turn, radians for the wobble.
    Vec3 barCentre(uint32_t i) const;
    float barStep(uint32_t i) const { return angle_[i]; }
    // After drawing: every bar takes the common step of music time t.
    void settle(uint32_t time_ms);

    Vec3 offset(uint32_t i) const { return {offsetX_[i], offsetY_[i], offsetZ_[i]}; }

private:
    DemoContext& demo_;
    Rhythm       rhythm_{kRhythm};
    uint32_t     lineCount_ = kLineCount;
    float        offsetX_[kCapacity] = {};   // 0 ... 0.275
    float        offsetY_[kCapacity] = {};   // 0 ... 0.275
    float        offsetZ_[kCapacity] = {};   // 0 ... 0.375
    float        angle_[kCapacity] = {};     // step of each bar; -0.05 ... 0 from placeBars
    LayerSet     layers_;                    // layer set 2
    float        linesPhase_ = 0.1f;           // accumulated jumps of the fan; never reset
};
