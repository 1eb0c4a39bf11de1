// Screen-facing sprites: the sprite's position goes through the whole
// model-view matrix (camera, scene turn, scale), but the sprite itself is
// drawn with none of its rotation or scale, so it always faces the screen
// square-on, at the size its own vertices give it.
#pragma once

// Replaces the upper-left 3 x 3 part of the current model-view matrix with
// the identity, keeping its translation.  Read back from GL on every call:
// one glGetFloatv per sprite is the price of not tracking the matrix here.
// The caller pushes the matrix before and pops it after.
void faceScreen();

// A display list of one sprite quad, edge units a side, with its corner (not
// its centre) at the origin, s along x and t along y; the strip starts at
// the far corner of the bottom edge.  Needs a current GL context; the list
// lives until the process ends.
unsigned int compileSpriteList(float edge);
