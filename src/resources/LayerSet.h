// Full-screen picture layers that frame a scene: a background drawn before
// it, and a foreground cut in over it through a mask.
#pragma once

#include <cstdint>

#include "engine/IEffect.h"

class DataFileService;

struct LayerSet {
    uint32_t background = 0;   // GL texture names, alive until the process ends
    uint32_t foreground = 0;
    uint32_t mask = 0;
};

// The full-screen quad every picture pass draws: a triangle strip at depth
// -0.5 covering the identity view volume, texture row 0 along the top, its
// first triangle clockwise on screen.
void drawScreenQuad();

// Loads "layers/<n>_mascara.png", "layers/<n>_damunt.png", "layers/<n>_fondo.png".
void loadLayerSet(LayerSet& set, int n, DataFileService& files);

// needs with the three pictures loadLayerSet reads for set n added.
DataFileNeeds withLayerSet(int n, DataFileNeeds needs = {});

// The background over the whole viewport, blended as the caller left blending.
void drawBackground(const LayerSet& set);

// frame = frame * mask + foreground.  Both draws leave the GL state, both
// matrices and the matrix mode (GL_MODELVIEW) as they found them.
void drawOverlay(const LayerSet& set);
