// The show's effects, as the registry constructs them.
#pragma once

#include <vector>

#include "engine/EffectRegistry.h"

// One factory per effect, in registration order: the script's names resolve
// by scanning the registry front to back, so the order is part of the show.
std::vector<EffectFactory> showEffects();
