// Float pictures and coverage planes, the few shapes the content is drawn
// with, and the conversion to bytes.  Everything is plain loops over pixels:
// no state, same bits on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gen {

struct Color {
    float r = 0.0f, g = 0.0f, b = 0.0f;   // linear-ish 0 .. 1, may exceed 1 before output
};

inline Color rgb(double r, double g, double b) { return {float(r), float(g), float(b)}; }
inline Color rgb255(int r, int g, int b) { return rgb(r / 255.0, g / 255.0, b / 255.0); }
inline Color operator+(Color a, Color b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Color operator*(Color a, double s) {
    return {float(a.r * s), float(a.g * s), float(a.b * s)};
}
inline Color operator*(Color a, Color b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
inline Color mix(Color a, Color b, double t) { return a * (1.0 - t) + b * t; }

// The show's own palette (the effects tint with these), and a few shades of it.
namespace palette {
const Color kSteel = rgb255(67, 99, 124);     // sprite and sphere tint
const Color kIce = rgb255(189, 219, 255);     // box and highlight tint
const Color kFrost = rgb255(169, 199, 255);   // bar tint
const Color kNight = rgb255(6, 12, 24);       // deepest background
const Color kDeep = rgb255(13, 34, 56);       // the cube floor's clear colour
const Color kWhite = rgb(1.0, 1.0, 1.0);
}  // namespace palette

// One float per pixel: coverage, alpha, glow or height.
struct Plane {
    int w = 0, h = 0;
    std::vector<float> v;   // row-major, top row first

    Plane() = default;
    Plane(int width, int height, float fill = 0.0f)
        : w(width), h(height), v(std::size_t(width) * height, fill) {}
    float& at(int x, int y) { return v[std::size_t(y) * w + x]; }
    float at(int x, int y) const { return v[std::size_t(y) * w + x]; }
};

struct Picture {
    int w = 0, h = 0;
    std::vector<Color> px;   // row-major, top row first

    Picture() = default;
    Picture(int width, int height, Color fill = {})
        : w(width), h(height), px(std::size_t(width) * height, fill) {}
    Color& at(int x, int y) { return px[std::size_t(y) * w + x]; }
    const Color& at(int x, int y) const { return px[std::size_t(y) * w + x]; }
};

// Gaussian-like blur by three box passes each way.  wrap = true treats the
// plane as a tile (for seamless textures), otherwise edges are clamped.
Plane blur(const Plane& in, int radius, bool wrap = false);

// Shapes, drawn anti-aliased into a plane by keeping the larger coverage
// (so overlapping strokes do not double up).  Coordinates in pixels, with
// pixel centres at +0.5.
void fillRect(Plane& p, double x0, double y0, double x1, double y1, double value = 1.0);
void strokeLine(Plane& p, double x0, double y0, double x1, double y1, double width, double value = 1.0);
// An ellipse outline with radii rx, ry and a stroke of `width` pixels.
void strokeEllipse(Plane& p, double cx, double cy, double rx, double ry, double width, double value = 1.0);
void fillEllipse(Plane& p, double cx, double cy, double rx, double ry, double value = 1.0);

// Compositing of a plane onto a picture.
void paint(Picture& pic, const Plane& alpha, Color c, double opacity = 1.0);   // lerp towards c
void addLight(Picture& pic, const Plane& amount, Color c, double gain = 1.0);  // additive

// Scatters small soft stars: count points of radius up to maxRadius pixels.
void addStars(Picture& pic, int count, double maxRadius, Color c, uint32_t seed);

// Bytes for the PNG and JPEG writers, top row first, with a 4 x 4 ordered
// dither so gradients do not band.  alpha may be null for RGB.
std::vector<uint8_t> toBytes(const Picture& pic, const Plane* alpha = nullptr);

// Values 0 .. 1 of a plane to one byte each (height maps).
std::vector<uint8_t> toGreyBytes(const Plane& plane);

}  // namespace gen
