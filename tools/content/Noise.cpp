#include "Noise.h"

#include <cmath>

namespace gen {

namespace {

// pi/2 split in two so that x - k * pi/2 loses nothing for the |x| we meet.
constexpr double kHalfPiHi = 1.57079632673412561417e+00;
constexpr double kHalfPiLo = 6.07710050650619224932e-11;
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kLn2 = 0.69314718055994530942;

// Taylor series on |r| <= pi/4: the last term kept is below 1e-16.
double sinKernel(double r) {
    const double r2 = r * r;
    double term = r, sum = r;
    for (int n = 1; n <= 9; ++n) {
        term *= -r2 / double((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double cosKernel(double r) {
    const double r2 = r * r;
    double term = 1.0, sum = 1.0;
    for (int n = 1; n <= 9; ++n) {
        term *= -r2 / double((2 * n - 1) * (2 * n));
        sum += term;
    }
    return sum;
}

// Quadrant and remainder of x in units of pi/2.
void reduce(double x, long long& quadrant, double& r) {
    const double k = std::floor(x * (2.0 / kPi) + 0.5);
    quadrant = (long long)k;
    r = (x - k * kHalfPiHi) - k * kHalfPiLo;
}

// atan on |t| <= ~0.2 by its series.
double atanSmall(double t) {
    const double t2 = t * t;
    double power = t, sum = t;
    for (int n = 1; n <= 12; ++n) {
        power *= -t2;
        sum += power / double(2 * n + 1);
    }
    return sum;
}

double fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

int wrap(int v, int period) {
    const int m = v % period;
    return m < 0 ? m + period : m;
}

// Sixteen fixed gradient directions, exact literals so nothing depends on maths.
constexpr double kGradients[16][2] = {
    {1.0, 0.0},       {0.92387953, 0.38268343},  {0.70710678, 0.70710678},  {0.38268343, 0.92387953},
    {0.0, 1.0},       {-0.38268343, 0.92387953}, {-0.70710678, 0.70710678}, {-0.92387953, 0.38268343},
    {-1.0, 0.0},      {-0.92387953, -0.38268343}, {-0.70710678, -0.70710678}, {-0.38268343, -0.92387953},
    {0.0, -1.0},      {0.38268343, -0.92387953}, {0.70710678, -0.70710678},  {0.92387953, -0.38268343},
};

}  // namespace

double dsin(double x) {
    long long q;
    double r;
    reduce(x, q, r);
    switch (q & 3) {
        case 0: return sinKernel(r);
        case 1: return cosKernel(r);
        case 2: return -sinKernel(r);
        default: return -cosKernel(r);
    }
}

double dcos(double x) {
    long long q;
    double r;
    reduce(x, q, r);
    switch (q & 3) {
        case 0: return cosKernel(r);
        case 1: return -sinKernel(r);
        case 2: return -cosKernel(r);
        default: return sinKernel(r);
    }
}

double dexp(double x) {
    if (x < -700.0) return 0.0;
    if (x > 700.0) x = 700.0;
    const double k = std::floor(x / kLn2 + 0.5);
    const double r = (x - k * kLn2Hi) - k * kLn2Lo;   // |r| <= ~0.35
    double term = 1.0, sum = 1.0;
    for (int n = 1; n <= 14; ++n) {
        term *= r / double(n);
        sum += term;
    }
    return std::ldexp(sum, int(k));   // exact scaling by a power of two
}

double dlog(double x) {
    if (x <= 0.0) return -1.0e300;
    int e = 0;
    double m = std::frexp(x, &e);   // exact: x = m * 2^e, m in [0.5, 1)
    if (m < 0.70710678118654752440) {
        m *= 2.0;
        --e;
    }
    // log m = 2 atanh(s), s = (m - 1) / (m + 1), |s| < 0.172
    const double s = (m - 1.0) / (m + 1.0);
    const double s2 = s * s;
    double power = s, sum = s;
    for (int n = 1; n <= 11; ++n) {
        power *= s2;
        sum += power / double(2 * n + 1);
    }
    return 2.0 * sum + double(e) * kLn2;
}

double dpow(double base, double e) {
    if (base <= 0.0) return 0.0;
    return dexp(e * dlog(base));
}

double datan2(double y, double x) {
    if (x == 0.0 && y == 0.0) return 0.0;
    const double ax = std::fabs(x), ay = std::fabs(y);
    // Angle of the folded point in 0 .. pi/4, by two argument halvings.
    const bool swapped = ay > ax;
    double t = swapped ? ax / ay : ay / ax;   // 0 .. 1
    t = t / (1.0 + std::sqrt(1.0 + t * t));   // atan(t) = 2 atan(t')
    t = t / (1.0 + std::sqrt(1.0 + t * t));
    double a = 4.0 * atanSmall(t);
    if (swapped) a = kPi / 2.0 - a;
    if (x < 0.0) a = kPi - a;
    return y < 0.0 ? -a : a;
}

uint32_t hash32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

uint32_t hash3(int32_t x, int32_t y, uint32_t seed) {
    return hash32(uint32_t(x) * 0x8da6b343U ^ hash32(uint32_t(y) * 0xd8163841U ^ hash32(seed)));
}

double gradientNoise(double x, double y, int period, uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    const double dx = x - fx, dy = y - fy;
    auto corner = [&](int cx, int cy, double ox, double oy) {
        const uint32_t h = hash3(wrap(ix + cx, period), wrap(iy + cy, period), seed) & 15u;
        return kGradients[h][0] * ox + kGradients[h][1] * oy;
    };
    const double n00 = corner(0, 0, dx, dy);
    const double n10 = corner(1, 0, dx - 1.0, dy);
    const double n01 = corner(0, 1, dx, dy - 1.0);
    const double n11 = corner(1, 1, dx - 1.0, dy - 1.0);
    const double u = fade(dx), v = fade(dy);
    // Scaled so the sum reaches about +-1 (the raw range is about +-0.7).
    return 1.4 * lerp(lerp(n00, n10, u), lerp(n01, n11, u), v);
}

double fbm(double x, double y, int period, int octaves, double gain, uint32_t seed) {
    double sum = 0.0, amplitude = 1.0, norm = 0.0, frequency = 1.0;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * gradientNoise(x * frequency, y * frequency, period << o, seed + uint32_t(o) * 1013u);
        norm += amplitude;
        amplitude *= gain;
        frequency *= 2.0;
    }
    return sum / norm;
}

double ridged(double x, double y, int period, int octaves, double gain, uint32_t seed) {
    double sum = 0.0, amplitude = 1.0, norm = 0.0, frequency = 1.0, weight = 1.0;
    for (int o = 0; o < octaves; ++o) {
        double n = 1.0 - std::fabs(gradientNoise(x * frequency, y * frequency, period << o,
                                                 seed + uint32_t(o) * 7919u));
        n *= n;
        // Sharper crests where the coarser octaves already rose: classic ridged multifractal.
        const double contribution = n * weight;
        weight = clamp01(contribution * 2.0);
        sum += amplitude * contribution;
        norm += amplitude;
        amplitude *= gain;
        frequency *= 2.0;
    }
    return sum / norm;
}

double cellular(double x, double y, int period, uint32_t seed) {
    const int ix = int(std::floor(x)), iy = int(std::floor(y));
    double best = 4.0;
    for (int cy = -1; cy <= 1; ++cy) {
        for (int cx = -1; cx <= 1; ++cx) {
            const int gx = ix + cx, gy = iy + cy;
            const uint32_t h = hash3(wrap(gx, period), wrap(gy, period), seed);
            const double px = gx + 0.15 + 0.7 * unit(h);
            const double py = gy + 0.15 + 0.7 * unit(hash32(h));
            const double d = (px - x) * (px - x) + (py - y) * (py - y);
            if (d < best) best = d;
        }
    }
    return std::sqrt(best);
}

}  // namespace gen
