// The picture behind the first pass: slot 0 full screen, the progress bar,
// slot 1 composited over both by its alpha.
#pragma once

#include <cstdint>

// loadProgress is the bar's right end + 0.02 in the bar's local units.
// Draws nothing while slot 0 has no texture yet (the caller still presents).
void drawLoadingScreen(uint32_t slot0Texture, uint32_t slot1Texture, float loadProgress);
