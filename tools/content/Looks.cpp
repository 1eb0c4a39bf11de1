#include "Looks.h"

#include <cmath>

#include "Noise.h"

namespace gen {

double ScreenMap::distance(int px, int py, double cx, double cy) const {
    const double dx = ((px + 0.5) / w * 2.0 - 1.0 - cx) * aspect;
    const double dy = (1.0 - (py + 0.5) / h * 2.0) - cy;
    return std::sqrt(dx * dx + dy * dy);
}

Picture nebula(int w, int h, uint32_t seed, double brightness, const ScreenMap& screen) {
    Picture pic(w, h);
    const Color top = rgb255(3, 6, 14), bottom = rgb255(9, 20, 38);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w * screen.aspect, v = (y + 0.5) / h;
            Color c = mix(top, bottom, v);
            if (brightness > 0.0) {
                // Cloud body, a warped second layer for wisps, and a colour field.
                const double warp = fbm(u * 2.0, v * 2.0, 64, 3, 0.5, seed + 7);
                const double body = fbm(u * 2.2 + warp * 0.6, v * 2.2 - warp * 0.4, 64, 6, 0.55, seed);
                const double wisps = ridged(u * 3.0 - warp, v * 3.0 + warp, 64, 5, 0.5, seed + 3);
                const double density = smoothstep(-0.15, 0.75, body) * (0.35 + 0.65 * wisps);
                const double hue = clamp01(0.5 + 0.8 * fbm(u * 1.3, v * 1.3, 64, 3, 0.5, seed + 11));
                const Color cloud = mix(palette::kSteel * 0.55, palette::kFrost * 0.5, hue);
                c = c + cloud * (density * density * brightness);
            }
            pic.at(x, y) = c;
        }
    }
    addStars(pic, w * h / 900, 1.3, palette::kIce * 0.55, seed + 101);
    return pic;
}

double vignette(const ScreenMap& screen, int px, int py, double strength) {
    const double r = screen.distance(px, py, 0.0, 0.0) / std::sqrt(screen.aspect * screen.aspect + 1.0);
    return 1.0 - strength * smoothstep(0.35, 1.0, r);
}

void glowInk(Picture& pic, const Plane& ink, Color core, Color halo, int radius, double haloGain) {
    const Plane soft = blur(ink, radius);
    const Plane wide = blur(ink, radius * 3);
    addLight(pic, soft, halo, haloGain);
    addLight(pic, wide, halo, haloGain * 0.6);
    paint(pic, ink, core);
}

void Overlay::cover(const Plane& cov, Color c, double opacity) {
    for (size_t i = 0; i < alpha.v.size(); ++i) {
        const double a = cov.v[i] * opacity;
        if (a <= 0.0) continue;
        colour.px[i] = colour.px[i] * (1.0 - a) + c * a;
        alpha.v[i] = float(alpha.v[i] + a * (1.0 - alpha.v[i]));
    }
}

void Overlay::cover(const Plane& cov, const Picture& c, double opacity) {
    for (size_t i = 0; i < alpha.v.size(); ++i) {
        const double a = cov.v[i] * opacity;
        if (a <= 0.0) continue;
        colour.px[i] = colour.px[i] * (1.0 - a) + c.px[i] * a;
        alpha.v[i] = float(alpha.v[i] + a * (1.0 - alpha.v[i]));
    }
}

void Overlay::light(const Plane& amount, Color c, double gain) { addLight(colour, amount, c, gain); }

void Overlay::glowStroke(const Plane& ink, Color core, Color halo, int radius, double haloGain) {
    light(blur(ink, radius), halo, haloGain);
    light(blur(ink, radius * 3), halo, haloGain * 0.5);
    cover(ink, core);
}

Picture sphereMap(int size, const std::function<Color(double, double, double)>& sky) {
    Picture pic(size, size);
    // The ball ends two pixels inside the picture, so the border is all rim
    // colour and the picture wraps cleanly under repeat filtering.
    const double grow = double(size) / (size - 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double u = ((x + 0.5) / size * 2.0 - 1.0) * grow;
            double v = ((y + 0.5) / size * 2.0 - 1.0) * grow;   // row 0: looking down
            double r2 = u * u + v * v;
            if (r2 > 1.0) {   // the rim: pull back onto the circle's edge
                const double r = std::sqrt(r2);
                u /= r;
                v /= r;
                r2 = 1.0;
            }
            // The ball's normal at this spot and the eye ray (0, 0, -1) reflected in it.
            const double nx = u, ny = v, nz = std::sqrt(1.0 - r2);
            const double rx = 2.0 * nz * nx, ry = 2.0 * nz * ny, rz = 2.0 * nz * nz - 1.0;
            pic.at(x, y) = sky(rx, ry, rz);
        }
    }
    return pic;
}

}  // namespace gen
