#include "Raster.h"

#include <algorithm>
#include <cmath>

#include "Noise.h"

namespace gen {

namespace {

// One box pass along a line of n samples spaced `stride` apart.
void boxLine(const float* src, float* dst, int n, int stride, int radius, bool wrap) {
    auto sample = [&](int i) {
        if (wrap) {
            i %= n;
            if (i < 0) i += n;
        } else {
            i = std::clamp(i, 0, n - 1);
        }
        return double(src[size_t(i) * stride]);
    };
    const double scale = 1.0 / double(2 * radius + 1);
    double sum = 0.0;
    for (int i = -radius; i <= radius; ++i) sum += sample(i);
    for (int i = 0; i < n; ++i) {
        dst[size_t(i) * stride] = float(sum * scale);
        sum += sample(i + radius + 1) - sample(i - radius);
    }
}

// Fraction of the pixel span [p, p + 1] inside [a, b].
double overlap(double p, double a, double b) {
    return std::max(0.0, std::min(p + 1.0, b) - std::max(p, a));
}

void keepMax(Plane& p, int x, int y, double value) {
    if (x < 0 || y < 0 || x >= p.w || y >= p.h) return;
    float& dst = p.at(x, y);
    dst = std::max(dst, float(value));
}

constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

uint8_t quantise(double v, int x, int y) {
    const double d = (kBayer[y & 3][x & 3] + 0.5) / 16.0;
    const double q = std::floor(clamp01(v) * 255.0 + d);
    return uint8_t(std::clamp(q, 0.0, 255.0));
}

}  // namespace

Plane blur(const Plane& in, int radius, bool wrap) {
    if (radius <= 0) return in;
    Plane a = in, b(in.w, in.h);
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < a.h; ++y) boxLine(&a.v[size_t(y) * a.w], &b.v[size_t(y) * b.w], a.w, 1, radius, wrap);
        std::swap(a, b);
    }
    for (int pass = 0; pass < 3; ++pass) {
        for (int x = 0; x < a.w; ++x) boxLine(&a.v[x], &b.v[x], a.h, a.w, radius, wrap);
        std::swap(a, b);
    }
    return a;
}

void fillRect(Plane& p, double x0, double y0, double x1, double y1, double value) {
    const int xa = std::max(0, int(std::floor(x0))), xb = std::min(p.w - 1, int(std::ceil(x1)));
    const int ya = std::max(0, int(std::floor(y0))), yb = std::min(p.h - 1, int(std::ceil(y1)));
    for (int y = ya; y <= yb; ++y) {
        const double cy = overlap(y, y0, y1);
        if (cy <= 0.0) continue;
        for (int x = xa; x <= xb; ++x) keepMax(p, x, y, value * cy * overlap(x, x0, x1));
    }
}

void strokeLine(Plane& p, double x0, double y0, double x1, double y1, double width, double value) {
    const double half = width * 0.5 + 1.0;
    const int xa = int(std::floor(std::min(x0, x1) - half)), xb = int(std::ceil(std::max(x0, x1) + half));
    const int ya = int(std::floor(std::min(y0, y1) - half)), yb = int(std::ceil(std::max(y0, y1) + half));
    const double dx = x1 - x0, dy = y1 - y0;
    const double len2 = dx * dx + dy * dy;
    for (int y = std::max(0, ya); y <= std::min(p.h - 1, yb); ++y) {
        for (int x = std::max(0, xa); x <= std::min(p.w - 1, xb); ++x) {
            const double px = x + 0.5 - x0, py = y + 0.5 - y0;
            const double t = len2 > 0.0 ? clamp01((px * dx + py * dy) / len2) : 0.0;
            const double ex = px - t * dx, ey = py - t * dy;
            const double d = std::sqrt(ex * ex + ey * ey);
            const double cover = clamp01(width * 0.5 + 0.5 - d);
            if (cover > 0.0) keepMax(p, x, y, value * cover);
        }
    }
}

void strokeEllipse(Plane& p, double cx, double cy, double rx, double ry, double width, double value) {
    const double reach = width * 0.5 + 1.5;
    const int xa = std::max(0, int(std::floor(cx - rx - reach))), xb = std::min(p.w - 1, int(std::ceil(cx + rx + reach)));
    const int ya = std::max(0, int(std::floor(cy - ry - reach))), yb = std::min(p.h - 1, int(std::ceil(cy + ry + reach)));
    for (int y = ya; y <= yb; ++y) {
        for (int x = xa; x <= xb; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const double q = std::sqrt((dx / rx) * (dx / rx) + (dy / ry) * (dy / ry));
            if (q <= 0.0) continue;
            // First-order distance to the curve q = 1.
            const double gx = dx / (rx * rx), gy = dy / (ry * ry);
            const double grad = std::sqrt(gx * gx + gy * gy) / q;
            const double d = std::fabs(q - 1.0) / grad;
            const double cover = clamp01(width * 0.5 + 0.5 - d);
            if (cover > 0.0) keepMax(p, x, y, value * cover);
        }
    }
}

void fillEllipse(Plane& p, double cx, double cy, double rx, double ry, double value) {
    const int xa = std::max(0, int(std::floor(cx - rx - 2))), xb = std::min(p.w - 1, int(std::ceil(cx + rx + 2)));
    const int ya = std::max(0, int(std::floor(cy - ry - 2))), yb = std::min(p.h - 1, int(std::ceil(cy + ry + 2)));
    for (int y = ya; y <= yb; ++y) {
        for (int x = xa; x <= xb; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const double q = std::sqrt((dx / rx) * (dx / rx) + (dy / ry) * (dy / ry));
            const double edge = (q - 1.0) * std::min(rx, ry);   // roughly pixels outside
            const double cover = clamp01(0.5 - edge);
            if (cover > 0.0) keepMax(p, x, y, value * cover);
        }
    }
}

void paint(Picture& pic, const Plane& alpha, Color c, double opacity) {
    for (size_t i = 0; i < pic.px.size(); ++i) {
        const double a = alpha.v[i] * opacity;
        if (a > 0.0) pic.px[i] = mix(pic.px[i], c, a);
    }
}

void addLight(Picture& pic, const Plane& amount, Color c, double gain) {
    for (size_t i = 0; i < pic.px.size(); ++i) {
        const double a = amount.v[i] * gain;
        if (a != 0.0) pic.px[i] = pic.px[i] + c * a;
    }
}

void addStars(Picture& pic, int count, double maxRadius, Color c, uint32_t seed) {
    for (int i = 0; i < count; ++i) {
        const uint32_t h = hash3(i, 17, seed);
        const double x = unit(h) * pic.w, y = unit(hash32(h)) * pic.h;
        const double size = unit(hash32(h ^ 0x51ed27u));
        const double r = 0.6 + size * size * size * maxRadius;
        const double bright = 0.25 + 0.75 * unit(hash32(h ^ 0x9e3779b9u));
        const int xa = int(std::floor(x - r - 1)), xb = int(std::ceil(x + r + 1));
        const int ya = int(std::floor(y - r - 1)), yb = int(std::ceil(y + r + 1));
        for (int py = ya; py <= yb; ++py) {
            for (int px = xa; px <= xb; ++px) {
                // Stars wrap around, so they never get cut at an edge.
                const int wx = ((px % pic.w) + pic.w) % pic.w, wy = ((py % pic.h) + pic.h) % pic.h;
                const double dx = px + 0.5 - x, dy = py + 0.5 - y;
                const double f = 1.0 - (dx * dx + dy * dy) / (r * r);
                if (f <= 0.0) continue;
                pic.at(wx, wy) = pic.at(wx, wy) + c * (bright * f * f);
            }
        }
    }
}

std::vector<uint8_t> toBytes(const Picture& pic, const Plane* alpha) {
    const int channels = alpha ? 4 : 3;
    std::vector<uint8_t> out(size_t(pic.w) * pic.h * channels);
    size_t o = 0;
    for (int y = 0; y < pic.h; ++y) {
        for (int x = 0; x < pic.w; ++x) {
            const Color& c = pic.at(x, y);
            out[o++] = quantise(c.r, x, y);
            out[o++] = quantise(c.g, x, y);
            out[o++] = quantise(c.b, x, y);
            if (alpha) out[o++] = quantise(alpha->at(x, y), x, y);
        }
    }
    return out;
}

std::vector<uint8_t> toGreyBytes(const Plane& plane) {
    std::vector<uint8_t> out(plane.v.size());
    for (size_t i = 0; i < out.size(); ++i) {
        const double q = std::floor(clamp01(plane.v[i]) * 255.0 + 0.5);
        out[i] = uint8_t(q);
    }
    return out;
}

}  // namespace gen
