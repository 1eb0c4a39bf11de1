// Effect textures.  Those an effect repeats over its surfaces are built from
// periodic noise on a lattice that divides the picture, so they tile without
// seams; the mirror-ball pictures are environments seen through sphere mapping.
#include <algorithm>
#include <cmath>

#include "Looks.h"
#include "Noise.h"
#include "Pictures.h"

namespace gen {

namespace {

constexpr int N = kTextureSize;

// Position of a pixel in tile units (0 .. 1 across the picture).
double tu(int p) { return (p + 0.5) / N; }

Picture fromFunction(const std::function<Color(double, double, int, int)>& f) {
    Picture pic(N, N);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) pic.at(x, y) = f(tu(x), tu(y), x, y);
    return pic;
}

}  // namespace

Picture tunnelTexture() {
    // 4 x 4 plates per tile with grooves, bevel light, rivets and grime.
    constexpr int kPlates = 4;
    return fromFunction([](double u, double v, int, int) {
        const double pu = u * kPlates, pv = v * kPlates;
        const int cu = int(std::floor(pu)), cv = int(std::floor(pv));
        const double fu = pu - cu, fv = pv - cv;
        const double edge = std::min(std::min(fu, 1.0 - fu), std::min(fv, 1.0 - fv));   // plate units
        const double groove = smoothstep(0.015, 0.05, edge);
        // Light from the upper left catches the plate's top and left bevels.
        const double bevel = (fu < 0.08 || fv < 0.08) ? 0.18 : ((fu > 0.92 || fv > 0.92) ? -0.12 : 0.0);
        const double plateTone = 0.75 + 0.25 * unit(hash3(cu % kPlates, cv % kPlates, 41));
        const double grime = 0.5 + 0.5 * fbm(u * 8.0, v * 8.0, 8, 5, 0.55, 42);
        const double scratches = ridged(u * 16.0, v * 4.0, 16, 3, 0.5, 43);
        double rivet = 0.0;
        for (double cx : {0.12, 0.88})
            for (double cy : {0.12, 0.88}) {
                const double d = std::sqrt((fu - cx) * (fu - cx) + (fv - cy) * (fv - cy));
                rivet = std::max(rivet, 1.0 - smoothstep(0.025, 0.045, d));
            }
        const double tone = groove * (plateTone * (0.55 + 0.35 * grime) + bevel) + 0.25 * scratches * groove;
        Color c = mix(palette::kSteel * 0.9, palette::kFrost * 0.8, clamp01(tone - 0.35));
        c = c * tone;
        return mix(c, palette::kIce, rivet * 0.7);
    });
}

Picture knotTexture() {
    return fromFunction([](double u, double v, int, int) {
        const double turb = fbm(u * 4.0, v * 4.0, 4, 4, 0.5, 51);
        // Whole number of stripes across the tile, so the veins wrap.
        const double stripes = 0.5 + 0.5 * dsin((u * 2.0 + v * 1.0 + turb * 1.1) * kTwoPi);
        const double vein = dpow(1.0 - std::fabs(stripes * 2.0 - 1.0), 5.0);
        const double cloud = 0.5 + 0.5 * fbm(u * 8.0, v * 8.0, 8, 4, 0.5, 52);
        Color c = mix(palette::kSteel * 0.8, palette::kFrost * 0.9, stripes * 0.6 + cloud * 0.3);
        return c + palette::kWhite * (0.45 * vein);
    });
}

Picture metaballsTexture() {
    return fromFunction([](double u, double v, int, int) {
        const double warp = fbm(u * 4.0, v * 4.0, 4, 3, 0.5, 61) * 0.35;
        const double d = cellular(u * 6.0 + warp, v * 6.0 - warp, 6, 62);
        const double cells = smoothstep(0.05, 0.6, d);
        const double rim = dpow(smoothstep(0.25, 0.62, d), 3.0);
        const double sheen = 0.5 + 0.5 * fbm(u * 8.0, v * 8.0, 8, 4, 0.5, 63);
        Color c = mix(palette::kIce * 0.85, palette::kSteel * 0.75, cells);
        c = c * (0.75 + 0.25 * sheen);
        return c + palette::kWhite * (0.25 * rim);
    });
}

Picture sphereTexture() {
    return fromFunction([](double u, double v, int, int) {
        const double net = ridged(u * 4.0, v * 4.0, 4, 6, 0.5, 71);
        const double lines = dpow(net, 2.2);
        const double base = 0.25 + 0.15 * fbm(u * 8.0, v * 8.0, 8, 3, 0.5, 72);
        return palette::kIce * (base + 0.9 * lines);
    });
}

Picture cubeMorphTexture() {
    // One panel per tile: a groove where neighbouring panels meet, a raised
    // rim inside it, circuit traces on an 8 x 8 grid in the middle.
    constexpr int kGrid = 8;
    Plane traces(N, N);
    const double cell = double(N) / kGrid;
    for (int gy = 1; gy < kGrid - 1; ++gy) {
        for (int gx = 1; gx < kGrid - 1; ++gx) {
            const uint32_t h = hash3(gx, gy, 81);
            const double cx = (gx + 0.5) * cell, cy = (gy + 0.5) * cell;
            if (h & 1u && gx < kGrid - 2) strokeLine(traces, cx, cy, cx + cell, cy, 2.0);
            if (h & 2u && gy < kGrid - 2) strokeLine(traces, cx, cy, cx, cy + cell, 2.0);
            if ((h & 12u) == 12u) fillEllipse(traces, cx, cy, 4.5, 4.5);
        }
    }
    const Plane traceGlow = blur(traces, 3, true);
    return fromFunction([&](double u, double v, int x, int y) {
        const double edge = std::min(std::min(u, 1.0 - u), std::min(v, 1.0 - v));   // tile units
        const double groove = smoothstep(0.004, 0.02, edge);
        const double rim = dexp(-(edge - 0.045) * (edge - 0.045) * 4000.0);
        const double grain = 0.5 + 0.5 * fbm(u * 16.0, v * 16.0, 16, 3, 0.5, 82);
        Color c = palette::kSteel * (0.7 + 0.2 * grain);
        c = mix(c, palette::kFrost * 0.75, 0.6 * rim);
        c = c * (0.25 + 0.75 * groove);
        c = c + palette::kIce * (0.35 * traceGlow.at(x, y));
        return mix(c, palette::kIce, traces.at(x, y) * 0.85);
    });
}

Picture cubeFloorTexture() {
    // Bright sky: the boxes add it at a tenth of its brightness at most.
    return sphereMap(N, [](double x, double y, double z) {
        const double up = y;
        Color sky = mix(palette::kFrost, palette::kWhite, smoothstep(0.2, 0.9, up));
        const Color ground = palette::kSteel * 0.9;
        const double horizon = dexp(-up * up * 40.0);
        Color c = up > 0.0 ? sky : mix(palette::kFrost * 0.8, ground, smoothstep(0.0, 0.5, -up));
        c = c + palette::kWhite * (0.5 * horizon);
        const double clouds = fbm(x * 2.0 + 4.0, z * 2.0 + 4.0, 8, 4, 0.5, 91);
        return c * (0.85 + 0.15 * clouds);
    });
}

Picture columnTexture() {
    // A studio: dark floor, blue walls, two soft boxes above and a rim light.
    return sphereMap(N, [](double x, double y, double z) {
        const double up = y;
        Color c = mix(palette::kSteel * 0.35, palette::kFrost * 0.55, smoothstep(-0.4, 0.6, up));
        const double box1 = dexp(-((x - 0.35) * (x - 0.35) * 18.0 + (y - 0.75) * (y - 0.75) * 30.0));
        const double box2 = dexp(-((x + 0.55) * (x + 0.55) * 25.0 + (y - 0.45) * (y - 0.45) * 25.0));
        const double rim = dexp(-(z + 0.9) * (z + 0.9) * 6.0) * smoothstep(-0.2, 0.4, up);
        const double band = dexp(-(up - 0.05) * (up - 0.05) * 120.0);
        c = c + palette::kWhite * (0.9 * box1 + 0.6 * box2) + palette::kIce * (0.35 * rim + 0.25 * band);
        return c;
    });
}

Picture goaTexture() {
    // 16 x 16 cells with soft glowing lines: wide enough to survive the
    // nearest-texel minification the effect uses.
    constexpr int kCells = 16;
    Plane lines(N, N);
    const double cell = double(N) / kCells;
    for (int i = 0; i < kCells; ++i) {
        const double p = i * cell;
        strokeLine(lines, p, -2, p, N + 2, 2.5);
        strokeLine(lines, -2, p, N + 2, p, 2.5);
    }
    const Plane glow = blur(lines, 3, true);
    return fromFunction([&](double u, double v, int x, int y) {
        const double pulse = 0.6 + 0.4 * fbm(u * 4.0, v * 4.0, 4, 3, 0.5, 101);
        const int cu = int(u * kCells), cv = int(v * kCells);
        const double cellTone = 0.06 + 0.06 * unit(hash3(cu, cv, 102));
        Color c = palette::kSteel * cellTone;
        c = c + palette::kFrost * (0.9 * glow.at(x, y) * pulse);
        // Crossings burn brightest.
        const double fu = u * kCells - cu, fv = v * kCells - cv;
        const double cross = dexp(-(std::min(fu, 1.0 - fu) * std::min(fu, 1.0 - fu) +
                                    std::min(fv, 1.0 - fv) * std::min(fv, 1.0 - fv)) * 60.0);
        return mix(c, palette::kIce, clamp01(lines.at(x, y) * pulse + 0.6 * cross));
    });
}

Picture groundTexture() {
    return fromFunction([](double u, double v, int, int) {
        const double rock = fbm(u * 4.0, v * 4.0, 4, 6, 0.55, 111);
        // Ridge lines of a second noise, thinned to hairline cracks.
        const double crack = 1.0 - dpow(ridged(u * 6.0, v * 6.0, 6, 3, 0.5, 112), 6.0);
        const double speckle = unit(hash3(int(u * N), int(v * N), 113));
        const double tone = (0.55 + 0.3 * rock) * (0.6 + 0.4 * crack) * (0.92 + 0.08 * speckle);
        const Color c = mix(palette::kSteel, palette::kFrost * 0.85, 0.5 + 0.5 * rock);
        return c * tone;
    });
}

Picture shineTexture() {
    // Added onto the lit ground: black where nothing shines, a cold sun glint
    // high up and a faint horizon band.
    return sphereMap(N, [](double x, double y, double z) {
        const double sx = 0.3, sy = 0.55, sz = 0.78;   // towards the sun, unit length
        const double facing = std::max(0.0, x * sx + y * sy + z * sz);
        const double sun = dpow(facing, 60.0) * 1.2 + dpow(facing, 8.0) * 0.25;
        const double horizon = dexp(-y * y * 30.0) * 0.22;
        const double sky = smoothstep(0.1, 1.0, y) * 0.12;
        return palette::kIce * (sun + horizon) + palette::kSteel * sky;
    });
}

Picture flareTexture(bool starry) {
    Picture pic(N, N);
    const double c = N * 0.5;
    for (int y = 0; y < N; ++y) {
        for (int x = 0; x < N; ++x) {
            const double dx = (x + 0.5 - c) / c, dy = (y + 0.5 - c) / c;
            const double r = std::sqrt(dx * dx + dy * dy);
            const double a = datan2(dy, dx);
            const double core = dexp(-(r / 0.07) * (r / 0.07));
            const double halo = starry ? dexp(-r / 0.12) * 0.55 : dexp(-r / 0.22) * 0.75;
            // Soft rays: a few sets of different count, sharpness and reach.
            double rays = 0.0;
            if (starry) {
                rays += dpow(std::fabs(dcos(2.0 * a)), 60.0) * dexp(-r / 0.3) * 0.9;       // 4 long spikes
                rays += dpow(std::fabs(dcos(2.0 * a + kPi / 4.0)), 30.0) * dexp(-r / 0.14) * 0.4;
            } else {
                rays += dpow(std::fabs(dcos(3.0 * a + 0.3)), 24.0) * dexp(-r / 0.22) * 0.35;   // 6 rays
            }
            rays += dpow(0.5 + 0.5 * dcos(9.0 * a + 1.1), 8.0) * dexp(-r / 0.18) * 0.2;
            // Nothing may remain at the rim: the sprite is added, its square must vanish.
            const double window = 1.0 - smoothstep(0.6, 0.97, r);
            const double energy = (core + halo + rays) * window;
            const Color tint = mix(palette::kWhite, mix(palette::kIce, palette::kSteel, clamp01(r * 2.5)),
                                   clamp01(r * 6.0));
            pic.at(x, y) = tint * energy;
        }
    }
    return pic;
}

}  // namespace gen
