// The title card: title, makers and event, one after another in the middle
// of a black screen, each a line lower than the last, every 3.5 s of music
// time.  Every change blinks black for a frame and brings back faint,
// enlarged echoes of the line that shrink onto it.
#pragma once

#include <cstdint>

#include "engine/DemoTypes.h"
#include "engine/IEffect.h"

class FX_Present : public IEffect {
public:
    static constexpr uint32_t kAdvanceMs = 3500;   // music time between lines
    static constexpr int kLayers = 6;              // the line and its five echoes

    explicit FX_Present(DemoContext&) : IEffect("Present") {}

    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;

    // Builds the 512 x 512 text image (rows bottom-up) into canvas, which
    // holds kTextImageBytes; needs no GL.
    static void buildImage(uint8_t* canvas);

    // The card's clock for one frame at music time t: moves on to the next
    // line when t is past the next 3.5 s mark; returns this frame's
    // brightness (0 on the frame it moves on).
    float advance(uint32_t t);
    // Lets the echoes shrink for dt ms of frame time.
    void shrinkEchoes(uint32_t dt);

    uint32_t advances() const { return advances_; }
    uint32_t line() const { return line_; }
    uint32_t texture() const { return texture_; }

private:
    uint32_t advances_ = 0;       // how often the card has moved on; never reset
    uint32_t texture_ = 0;        // GL name of the three lines, alive until the process ends
    uint32_t line_ = 1;           // 85-pixel band of the texture shown, 1 = first line
    float    echoGrowth_ = 0.2f;  // scale step between the echo layers, shrinks 0.2 per second
    float    lineX_ = 0.52f;      // quad centre before the fixed shift of -0.5, device units
    float    lineY_ = 0.6f;       // quad centre, device units; down 0.56 per line
};
