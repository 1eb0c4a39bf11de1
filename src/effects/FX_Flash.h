// Clears the picture to white for as long as its entry lasts: no fade.
// The clear colour stays white until another effect sets its own.
#pragma once

#include "engine/DemoTypes.h"
#include "engine/IEffect.h"

class FX_Flash : public IEffect {
public:
    explicit FX_Flash(DemoContext&) : IEffect("Flash") {}
    void render(uint32_t time_ms, uint32_t delta_ms) override;
};
