// The credits: a card of glowing text circling the vertical axis in front of
// the camera, added to the picture.  Each time it turns its back the next
// page (code, graphics, music) comes up; after the third it stays empty.
#pragma once

#include <cstdint>

#include "engine/DemoTypes.h"
#include "engine/IEffect.h"

class FX_Credits : public IEffect {
public:
    static constexpr uint32_t kPages = 3;

    explicit FX_Credits(DemoContext& demo) : IEffect("Credits"), demo_(demo) {}

    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;

    // The seven credit lines into canvas (kTextImageBytes, rows bottom-up);
    // needs no GL.
    static void buildImage(uint8_t* canvas);

    // The card's turn at music time t, degrees (negative early in the show).
    static float cardAngle(uint32_t t);
    // The page rule for a frame whose card stands at angle a: the page moves
    // on once per turn, while the card's back faces the viewer.
    void turnPage(float a);

    uint32_t page() const { return page_; }
    bool armed() const { return armed_; }
    uint32_t texture() const { return texture_; }
    const Camera& camera() const { return camera_; }

private:
    DemoContext& demo_;
    bool     armed_ = true;   // the next back-facing turn may change the page
    uint32_t page_ = 0;       // 0..2 select a page, 3 and above show nothing; never reset
    uint32_t texture_ = 0;    // GL name of the three pages, alive until the process ends
    Camera   camera_{};
};
