// The picture behind the first pass: slot 0 full screen, the progress bar,
// slot 1 composited over both by its alpha.
#pragma once

#include <cstdint>
#include <vector>

// loadProgress is the bar's right end + 0.02 in the bar's local units.
// Draws nothing while slot 0 has no texture yet (the caller still presents).
void drawLoadingScreen(uint32_t slot0Texture, uint32_t slot1Texture, float loadProgress);

// The same frames for less: only the bar's band changes from one frame to
// the next, so the first frame is kept and later ones copy it and draw the
// band alone.  A software rasteriser at 1920 x 1080 spends most of the
// loading time on these frames otherwise.  Pixels and the GL state left
// behind are those of drawLoadingScreen; where a copy could not be exact
// (multisampling, other than 8-bit colour, a viewport that changed) every
// frame is drawn whole.
class LoadingScreen {
public:
    // lastFrame: no loading frame follows, so nothing is kept from this one.
    void draw(uint32_t slot0Texture, uint32_t slot1Texture, float loadProgress, bool lastFrame = false);
    // A frame no one will see: the same calls with every pixel scissored
    // away, so the GL state it leaves is a drawn frame's.
    void runUnseen(uint32_t slot0Texture, uint32_t slot1Texture, float loadProgress);
    // Lets go of the kept frame; the GL context is current.
    void release();

private:
    bool capture();
    static std::vector<float> drawingState();

    uint32_t framebuffer_ = 0, colour_ = 0;   // GL names of the kept frame; 0: none
    int      viewport_[4] = {};               // where the kept frame was drawn, pixels
    std::vector<float> state_;                // drawingState() when the frame was kept
    bool     unsuitable_ = false;             // a copy would not be exact: always draw whole
};
