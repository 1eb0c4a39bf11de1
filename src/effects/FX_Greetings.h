// The greetings: one greeted name every 1.5 s of music time, scrolling down
// the right half of a light grey screen, each with four fading, enlarged
// echoes that shrink onto it within a second.  The names are drawn once at
// init into four textures of six names each.
#pragma once

#include <cstdint>

#include "engine/DemoTypes.h"
#include "engine/IEffect.h"

class FX_Greetings : public IEffect {
public:
    static constexpr int kPages = 4;
    static constexpr int kLinesPerPage = 6;
    static constexpr int kLayers = 5;              // the name and its four echoes
    static constexpr uint32_t kStepMs = 1500;      // a step needs more than this since the last

    explicit FX_Greetings(DemoContext&) : IEffect("Greetings") {}

    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;

    // Builds page p's 512 x 512 image (rows bottom-up, mirrored left to
    // right) into canvas, which holds kTextImageBytes; needs no GL.
    static void buildPage(int p, uint8_t* canvas, uint8_t* scratch);

    // The step rule for one frame at music time t: the next name when more
    // than 1.5 s passed since the last step.  Returns whether it stepped.
    bool advance(uint32_t t);
    // Lets the echoes shrink for dt ms of frame time.
    void shrinkEchoes(uint32_t dt);

    uint32_t page() const { return page_; }
    uint32_t step() const { return step_; }

private:
    uint32_t pageTextures_[kPages] = {};   // GL names, alive until the process ends
    uint32_t page_ = 0;                    // texture shown is pageTextures_[page_ mod 4]
    uint32_t lastStepTime_ = 150;          // ms of music time
    uint32_t step_ = 0;                    // names shown so far
    float    echoGrowth_ = 0.2f;           // scale step between the echo layers
    float    lineY_ = 0.85f;               // quad centre, device units
    float    lineX_ = 0.52f;               // quad centre, device units
};
