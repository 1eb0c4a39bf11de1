// Clears the picture to black; the depth buffer stays, so later geometry
// in the same frame still depth-tests against what came before.
#pragma once

#include "engine/DemoTypes.h"
#include "engine/IEffect.h"

class FX_Null : public IEffect {
public:
    explicit FX_Null(DemoContext&) : IEffect("Null") {}
    void render(uint32_t time_ms, uint32_t delta_ms) override;
};
