// The closing still: "final.png" over the whole screen, replacing whatever
// lies under it.  Winding and culling stay as the effects before it left them.
#pragma once

#include "engine/DemoTypes.h"
#include "engine/IEffect.h"

class FX_Final : public IEffect {
public:
    explicit FX_Final(DemoContext& demo) : IEffect("Final"), demo_(demo) {}
    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void init() override;
    DataFileNeeds dataFiles() const override;

    uint32_t texture() const { return texture_; }

private:
    DemoContext& demo_;
    uint32_t     texture_ = 0;   // GL name of "final.png", alive until the process ends
};
