// The picture a paused show keeps on screen.  Effects draw each frame
// afresh and keep state from frame to frame, so a paused show cannot ask
// them for the same frame again; it reads its last frame back once and
// puts those pixels up for as long as the pause lasts.
#pragma once

#include <cstdint>
#include <vector>

// Draws width x height RGBA pixels, bottom row first, with their lower-left
// corner at window pixel (x, y), straight or alpha-blended over what is
// there.  Whatever GL state an effect left comes back as it was: the next
// effect's start() relies on it.
void drawWindowPixels(int x, int y, int width, int height, const uint8_t* rgba, bool blend);

class HeldFrame {
public:
    // Reads the back buffer, width x height from the lower-left corner.
    void keep(int width, int height);
    // Puts the kept pixels up again (black when nothing is kept).
    void draw() const;
    void clear() { rgba_.clear(); }
    bool held() const { return !rgba_.empty(); }

private:
    std::vector<uint8_t> rgba_;   // bottom row first
    int width_ = 0, height_ = 0;  // pixels
};
