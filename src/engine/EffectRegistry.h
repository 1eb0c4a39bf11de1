// The one place where the script's effect names become effect objects.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "engine/DemoTypes.h"
#include "engine/IEffect.h"

using EffectFactory = std::unique_ptr<IEffect> (*)(DemoContext&);

class EffectRegistry {
public:
    // The table comes from the caller: the show hands in showEffects() (the
    // effects sit above the engine), tests their own recording effects.
    explicit EffectRegistry(std::vector<EffectFactory> order) : order_(std::move(order)) {}

    // Constructs every effect of the table in its order.
    void registerAll(DemoContext& demo);
    // Appends one effect; tests register their own recording effects.
    void add(std::unique_ptr<IEffect> effect);

    // First effect whose name equals the text exactly, or null.
    IEffect* find(const char* name) const;

    // Frees every effect object (no effect operation runs) and empties the list.
    void releaseAll();

    std::size_t size() const { return effects_.size(); }
    IEffect* at(std::size_t i) const { return effects_[i].get(); }

private:
    std::vector<EffectFactory>            order_;     // what registerAll constructs
    std::vector<std::unique_ptr<IEffect>> effects_;   // registration order, owned
};
