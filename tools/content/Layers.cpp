// The eight screen layer sets.  Each frames its scene: a background that the
// scene is drawn over, and an overlay turned into the foreground/mask pair
// the show composes as frame * mask + foreground.
#include <cmath>
#include <stdexcept>
#include <string>

#include "Looks.h"
#include "Noise.h"
#include "Pictures.h"

namespace gen {

namespace {

constexpr int N = kScreenSize;
const ScreenMap kScreen{N, N};

// Dark panel paint: a vertical gradient with a little grain.
Picture panelPaint(uint32_t seed, double lift) {
    Picture pic(N, N);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const double grain = fbm(x / 64.0, y / 64.0, 64, 4, 0.5, seed);
            const double v = double(y) / N;
            pic.at(x, y) = mix(rgb255(4, 8, 18), rgb255(10, 20, 36), v) * (1.0 + lift + 0.25 * grain);
        }
    return pic;
}

// A horizontal glowing rule that fades out towards both ends, with ticks.
void rule(Overlay& o, double y, double x0, double x1, int tickEvery, int tickLength, int tickSide) {
    Plane ink(N, N);
    strokeLine(ink, x0, y, x1, y, 1.2);
    if (tickEvery > 0)
        for (double x = x0 + tickEvery; x < x1 - 1; x += tickEvery) {
            const int len = (int((x - x0) / tickEvery) % 4 == 0) ? tickLength * 2 : tickLength;
            strokeLine(ink, x, y, x, y + tickSide * len, 1.0, 0.8);
        }
    for (int py = 0; py < N; ++py)
        for (int px = 0; px < N; ++px) {
            const double t = (px + 0.5 - x0) / (x1 - x0);
            ink.at(px, py) *= float(smoothstep(0.0, 0.12, t) * smoothstep(1.0, 0.88, t));
        }
    o.glowStroke(ink, palette::kIce, palette::kFrost, 3, 0.9);
}

// Bars across the top and bottom of the screen, each with a rule on its inner edge.
void letterbox(Overlay& o, double top, double bottom, uint32_t seed) {
    Plane bars(N, N);
    fillRect(bars, -1, -1, N + 1, top);
    fillRect(bars, -1, N - bottom, N + 1, N + 1);
    o.cover(bars, panelPaint(seed, 0.0));
    rule(o, top, 0, N, 16, 3, -1);
    rule(o, N - bottom, 0, N, 16, 3, 1);
}

// L-shaped marks at the corners of a rectangle.
void cornerBrackets(Overlay& o, double x0, double y0, double x1, double y1, double arm) {
    Plane ink(N, N);
    const double armX = arm * kScreen.squeeze();
    for (int sx = 0; sx < 2; ++sx)
        for (int sy = 0; sy < 2; ++sy) {
            const double x = sx ? x1 : x0, y = sy ? y1 : y0;
            const double dx = sx ? -armX : armX, dy = sy ? -arm : arm;
            strokeLine(ink, x, y, x + dx, y, 2.0);
            strokeLine(ink, x, y, x, y + dy, 2.0);
        }
    o.glowStroke(ink, palette::kIce, palette::kFrost, 3, 1.0);
}

// Small spaced caps, the frames' only words.
void label(Overlay& o, const Font& font, const std::string& text, double x, double baseline, double size,
           bool alignRight = false, double opacity = 0.85) {
    Plane ink(N, N);
    const double tracking = size * 0.35;
    const double left = alignRight ? x - font.width(text, size, kScreen.squeeze(), tracking) : x;
    font.draw(ink, text, left, baseline, size, kScreen.squeeze(), tracking);
    o.light(blur(ink, 3), palette::kFrost, 0.5 * opacity);
    o.cover(ink, palette::kFrost, opacity);
}

LayerPictures finish(Picture background, const Overlay& o, double vignetteStrength) {
    LayerPictures set{std::move(background), o.colour, Picture(N, N)};
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const double keep = (1.0 - o.alpha.at(x, y)) * vignette(kScreen, x, y, vignetteStrength);
            set.mask.at(x, y) = rgb(keep, keep, keep);
        }
    return set;
}

// A soft pool of light behind the scene, centred at a screen point.
void addPool(Picture& pic, double cx, double cy, double radius, Color c, double gain) {
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const double d = kScreen.distance(x, y, cx, cy) / radius;
            pic.at(x, y) = pic.at(x, y) + c * (gain * dexp(-d * d));
        }
}

// --- 1: flare cube.  Letterbox, title in the top bar. ---------------------
LayerPictures flareFrame(const Fonts& f) {
    Picture bg = nebula(N, N, 1001, 0.55, kScreen);
    addPool(bg, 0.15, 0.1, 0.9, palette::kSteel, 0.18);
    Overlay o(N, N);
    letterbox(o, 60, 60, 1002);
    label(o, f.bold, "HALVOREN", 26, 38, 15);
    label(o, f.regular, "lumen", N - 26, N - 24, 14, true, 0.7);
    return finish(std::move(bg), o, 0.35);
}

// --- 2: fan of bars.  Inset frame with corner brackets. -------------------
LayerPictures linesFrame(const Fonts& f) {
    Picture bg = nebula(N, N, 2001, 0.3, kScreen);
    // Faint horizontal strata the bars sweep across.
    for (int y = 0; y < N; ++y) {
        const double band = 0.5 + 0.5 * dsin(y / double(N) * kTwoPi * 9.0 + 0.7 * fbm(0.5, y / 48.0, 64, 3, 0.5, 2002));
        for (int x = 0; x < N; ++x) bg.at(x, y) = bg.at(x, y) + palette::kSteel * (0.05 * band * band);
    }
    Overlay o(N, N);
    const double inX = 22 * kScreen.squeeze(), inY = 22;
    Plane border(N, N, 1.0f);
    Plane hole(N, N);
    fillRect(hole, inX, inY, N - inX, N - inY);
    for (size_t i = 0; i < border.v.size(); ++i) border.v[i] -= hole.v[i];
    o.cover(border, panelPaint(2003, 0.1), 0.9);
    Plane frame(N, N);
    const double fx = inX + 6 * kScreen.squeeze(), fy = inY + 6;
    strokeLine(frame, fx, fy, N - fx, fy, 1.0, 0.5);
    strokeLine(frame, fx, N - fy, N - fx, N - fy, 1.0, 0.5);
    strokeLine(frame, fx, fy, fx, N - fy, 1.0, 0.5);
    strokeLine(frame, N - fx, fy, N - fx, N - fy, 1.0, 0.5);
    o.glowStroke(frame, palette::kFrost, palette::kSteel, 2, 0.6);
    cornerBrackets(o, inX, inY, N - inX, N - inY, 34);
    label(o, f.regular, "strata", inX + 14, N - inY - 12, 13, false, 0.75);
    return finish(std::move(bg), o, 0.4);
}

// --- 3: metaballs.  A round port with a scale around it. ------------------
LayerPictures metaballsFrame(const Fonts& f) {
    constexpr double kCx = 0.0, kCy = 0.08, kRadius = 0.8;   // screen heights
    Picture bg = nebula(N, N, 3001, 0.35, kScreen);
    addPool(bg, kCx, kCy, 0.7, palette::kSteel, 0.35);
    Overlay o(N, N);
    const double px = kScreen.x(kCx), py = kScreen.y(kCy);
    const double rx = kScreen.rx(kRadius), ry = kScreen.ry(kRadius);
    Plane outside(N, N, 1.0f);
    Plane port(N, N);
    fillEllipse(port, px, py, rx, ry);
    for (size_t i = 0; i < outside.v.size(); ++i) outside.v[i] -= port.v[i];
    o.cover(outside, panelPaint(3002, 0.15));
    Plane rings(N, N);
    strokeEllipse(rings, px, py, rx, ry, 2.0);
    strokeEllipse(rings, px, py, rx + 9 * kScreen.squeeze(), ry + 9, 1.0, 0.6);
    for (int deg = 0; deg < 360; deg += 6) {
        const double a = deg * kPi / 180.0;
        const double inner = deg % 30 == 0 ? 1.0 : 1.012, outer = deg % 90 == 0 ? 1.08 : 1.04;
        strokeLine(rings, px + dcos(a) * rx * inner, py + dsin(a) * ry * inner, px + dcos(a) * (rx + 9) * outer,
                   py + dsin(a) * (ry + 9) * outer, deg % 30 == 0 ? 1.6 : 1.0, deg % 30 == 0 ? 1.0 : 0.6);
    }
    o.glowStroke(rings, palette::kIce, palette::kFrost, 3, 1.0);
    label(o, f.regular, "conflux", N - 20, N - 18, 13, true, 0.7);
    label(o, f.bold, "III", 20, 36, 13, false, 0.6);
    return finish(std::move(bg), o, 0.25);
}

// --- 4: column.  Side panels with measuring scales, a pillar of light. ----
LayerPictures columnFrame(const Fonts& f) {
    Picture bg = nebula(N, N, 4001, 0.25, kScreen);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const double d = (x + 0.5 - N * 0.5) / (N * 0.16);
            const double haze = 0.6 + 0.4 * fbm(x / 90.0, y / 40.0, 64, 4, 0.5, 4002);
            bg.at(x, y) = bg.at(x, y) + palette::kSteel * (0.45 * dexp(-d * d) * haze);
        }
    Overlay o(N, N);
    constexpr double kPanel = 112;
    Plane panels(N, N);
    fillRect(panels, -1, -1, kPanel, N + 1);
    fillRect(panels, N - kPanel, -1, N + 1, N + 1);
    o.cover(panels, panelPaint(4003, 0.1), 0.82);
    Plane scale(N, N);
    for (int side = 0; side < 2; ++side) {
        const double edge = side ? N - kPanel : kPanel;
        const double dir = side ? 1.0 : -1.0;   // ticks point into the panel
        strokeLine(scale, edge, 0, edge, N, 1.4);
        for (int i = 1; i < 32; ++i) {
            const double y = i * N / 32.0;
            const double len = (i % 8 == 0) ? 26 : (i % 4 == 0 ? 16 : 8);
            strokeLine(scale, edge, y, edge + dir * len * kScreen.squeeze(), y, 1.0, i % 4 == 0 ? 1.0 : 0.6);
        }
    }
    o.glowStroke(scale, palette::kIce, palette::kFrost, 3, 0.9);
    label(o, f.bold, "SPIRE", 14, 30, 15, false, 0.8);
    label(o, f.regular, "iv", N - 14, N - 16, 13, true, 0.6);
    return finish(std::move(bg), o, 0.3);
}

// --- 5: cube morph.  Thin letterbox and a translucent panel on the left. --
LayerPictures cubeMorphFrame(const Fonts& f) {
    Picture bg = nebula(N, N, 5001, 0.4, kScreen);
    addPool(bg, 0.45, -0.3, 0.8, palette::kSteel, 0.3);
    Overlay o(N, N);
    letterbox(o, 26, 26, 5002);
    const double x0 = 26, x1 = 168, y0 = 70, y1 = 442;
    Plane panel(N, N);
    fillRect(panel, x0, y0, x1, y1);
    o.cover(panel, panelPaint(5003, 0.5), 0.6);
    Plane outline(N, N);
    strokeLine(outline, x0, y0, x1, y0, 1.0);
    strokeLine(outline, x0, y1, x1, y1, 1.0);
    strokeLine(outline, x0, y0, x0, y1, 1.0);
    strokeLine(outline, x1, y0, x1, y1, 1.0);
    o.glowStroke(outline, palette::kFrost, palette::kSteel, 2, 0.7);
    label(o, f.bold, "TESSERA", x0 + 12, y0 + 30, 16, false, 0.9);
    // A readout of bars of hashed lengths: pure decoration.
    Plane bars(N, N);
    for (int i = 0; i < 22; ++i) {
        const double y = y0 + 60 + i * 14.0;
        const double len = (0.25 + 0.75 * unit(hash3(i, 5, 5004))) * (x1 - x0 - 24);
        fillRect(bars, x0 + 12, y, x0 + 12 + len, y + 5, i % 5 == 0 ? 1.0 : 0.55);
    }
    o.cover(bars, palette::kSteel * 1.6, 0.8);
    o.light(blur(bars, 3), palette::kSteel, 0.35);
    cornerBrackets(o, x0 - 6, y0 - 6, x1 + 6, y1 + 6, 14);
    return finish(std::move(bg), o, 0.35);
}

// --- 6: sphere.  Wide cinematic bars; a halo behind the sphere. -----------
LayerPictures sphereFrame(const Fonts& f) {
    Picture bg = nebula(N, N, 6001, 0.45, kScreen);
    addPool(bg, 0.55, -0.45, 0.75, palette::kSteel, 0.45);
    addPool(bg, 0.55, -0.45, 0.3, palette::kFrost, 0.15);
    Overlay o(N, N);
    // The sphere sits low on the right: the bottom bar stays thin to keep it whole.
    letterbox(o, 64, 34, 6002);
    label(o, f.regular, "eclipse", 26, 40, 14, false, 0.7);
    label(o, f.bold, "HALVOREN", N - 26, 40, 15, true, 0.85);
    return finish(std::move(bg), o, 0.4);
}

// --- 8: torus knot.  Scanlines, corner brackets, rings behind the knot. ---
LayerPictures knotFrame(const Fonts& f) {
    constexpr double kCx = 0.3, kCy = 0.02;   // about where the knot turns
    Picture bg = nebula(N, N, 8001, 0.3, kScreen);
    addPool(bg, kCx, kCy, 0.8, palette::kSteel, 0.35);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const double d = kScreen.distance(x, y, kCx, kCy);
            const double ring = dpow(0.5 + 0.5 * dcos(d * kTwoPi * 5.0), 30.0) * dexp(-d * 1.2);
            bg.at(x, y) = bg.at(x, y) + palette::kFrost * (0.08 * ring);
        }
    Overlay o(N, N);
    Plane scan(N, N);
    for (int y = 0; y < N; y += 3) fillRect(scan, -1, y, N + 1, y + 1);
    o.cover(scan, rgb255(2, 4, 10), 0.22);
    cornerBrackets(o, 20 * kScreen.squeeze(), 20, N - 20 * kScreen.squeeze(), N - 20, 40);
    label(o, f.regular, "winding", 34, N - 34, 14, false, 0.75);
    label(o, f.bold, "p : q", N - 34, 46, 14, true, 0.6);
    return finish(std::move(bg), o, 0.45);
}

// --- 9: cube floor.  A faint horizon behind, a head-up scale in front. ----
LayerPictures cubeFloorFrame(const Fonts& f) {
    // The effect adds this onto its own deep blue clear colour: keep it dim.
    Picture bg(N, N);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const double v = 1.0 - (y + 0.5) / N * 2.0;
            const double horizon = dexp(-v * v * 30.0);
            const double lines = dpow(std::fabs(dcos((x + 0.5 - N * 0.5) / N * kPi * 6.0 / (0.3 + std::fabs(v)))), 40.0);
            bg.at(x, y) = palette::kSteel * (0.12 * horizon + 0.04 * lines * (v < 0.0 ? 1.0 : 0.0));
        }
    addStars(bg, 120, 1.0, palette::kIce * 0.3, 9001);
    Overlay o(N, N);
    letterbox(o, 18, 18, 9002);
    Plane hud(N, N);
    const double cy = N * 0.5;
    // Horizon marks, broken in the middle, and pitch ladders at the sides.
    strokeLine(hud, 40, cy, 150, cy, 1.4);
    strokeLine(hud, N - 150, cy, N - 40, cy, 1.4);
    for (int i = -6; i <= 6; ++i) {
        if (i == 0) continue;
        const double y = cy + i * 30.0;
        const double len = (i % 2 == 0) ? 24 : 12;
        strokeLine(hud, 24, y, 24 + len * kScreen.squeeze(), y, 1.0, 0.7);
        strokeLine(hud, N - 24, y, N - 24 - len * kScreen.squeeze(), y, 1.0, 0.7);
    }
    o.glowStroke(hud, palette::kIce, palette::kFrost, 3, 0.8);
    label(o, f.regular, "field", N - 28, N - 30, 13, true, 0.7);
    return finish(std::move(bg), o, 0.45);
}

}  // namespace

LayerPictures layerSet(int n, const Fonts& fonts) {
    switch (n) {
        case 1: return flareFrame(fonts);
        case 2: return linesFrame(fonts);
        case 3: return metaballsFrame(fonts);
        case 4: return columnFrame(fonts);
        case 5: return cubeMorphFrame(fonts);
        case 6: return sphereFrame(fonts);
        case 8: return knotFrame(fonts);
        case 9: return cubeFloorFrame(fonts);
        default: throw std::invalid_argument("no layer set " + std::to_string(n));
    }
}

}  // namespace gen
