#include "engine/EffectRegistry.h"

#include <cstring>

void EffectRegistry::registerAll(DemoContext& demo) {
    for (EffectFactory factory : order_) add(factory(demo));
}

void EffectRegistry::add(std::unique_ptr<IEffect> effect) { effects_.push_back(std::move(effect)); }

IEffect* EffectRegistry::find(const char* name) const {
    for (const auto& effect : effects_)
        if (std::strcmp(effect->name, name) == 0) return effect.get();
    return nullptr;
}

void EffectRegistry::releaseAll() { effects_.clear(); }
