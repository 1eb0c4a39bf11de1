// The visual vocabulary shared by all pictures: night-blue backdrops with
// nebula clouds, glowing strokes and text, and the full-screen geometry of
// pictures that the show stretches over a 4:3 screen.
#pragma once

#include <functional>

#include "Raster.h"
#include "Text.h"

namespace gen {

// Full-screen pictures cover the viewport whatever their size, so a square
// picture lands on a 4:3 screen with its pixels 4/3 wider than tall.  This
// maps screen positions (normalised device coordinates, y up) to pixels and
// makes round things round once stretched.
struct ScreenMap {
    int w, h;
    double aspect = 4.0 / 3.0;   // of the screen the picture is shown on

    double x(double ndcX) const { return (ndcX + 1.0) * 0.5 * w; }
    double y(double ndcY) const { return (1.0 - ndcY) * 0.5 * h; }
    // Pixels of a length measured in screen heights (1 = half the screen height).
    double ry(double r) const { return r * 0.5 * h; }
    double rx(double r) const { return r * 0.5 * w / aspect; }
    // Glyph squeeze that undoes the horizontal stretch.
    double squeeze() const { return (double(w) / h) / aspect; }
    // Distance of pixel (px, py) from screen point (cx, cy), in screen heights.
    double distance(int px, int py, double cx, double cy) const;
};

// Night-blue gradient with soft nebula clouds and stars.  brightness scales
// the clouds; 0 leaves a plain gradient.
Picture nebula(int w, int h, uint32_t seed, double brightness, const ScreenMap& screen);

// Darkens towards the corners: factor 1 in the middle, 1 - strength at the corners.
double vignette(const ScreenMap& screen, int px, int py, double strength);

// Ink plus its blurred halo, added onto a picture: the look of every title.
void glowInk(Picture& pic, const Plane& ink, Color core, Color halo, int radius, double haloGain);

// A full-screen overlay being built: premultiplied colour and coverage.  It
// becomes a foreground/mask pair (frame = frame * mask + foreground), or an
// RGBA picture.
struct Overlay {
    Picture colour;   // premultiplied by alpha, plus any added light
    Plane alpha;      // how much of what lies below is hidden

    Overlay(int w, int h) : colour(w, h), alpha(w, h) {}
    // Opaque paint with coverage cov (times opacity), in one colour or a picture's.
    void cover(const Plane& cov, Color c, double opacity = 1.0);
    void cover(const Plane& cov, const Picture& c, double opacity = 1.0);
    // Light added over whatever lies below, hiding nothing.
    void light(const Plane& amount, Color c, double gain = 1.0);
    // A stroke drawn as a bright line with a soft halo of light around it.
    void glowStroke(const Plane& ink, Color core, Color halo, int radius, double haloGain);
};

// Sphere-map environment: the picture a mirror ball would show.  sky maps a
// reflected direction (x right, y up, z towards the viewer; unit length) to
// a colour.  Rows run from the downward reflection at the top of the picture
// to the upward one at the bottom, as sphere-mapped t grows upwards.
Picture sphereMap(int size, const std::function<Color(double, double, double)>& sky);

}  // namespace gen
