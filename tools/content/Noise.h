// Maths the content is made of, written so every machine computes the same
// bits: only +, -, *, / and sqrt (all exactly rounded by IEEE 754), integer
// hashing, and no library transcendentals, whose last bits differ between
// libm versions and CPU code paths.  The sources are built without FMA
// contraction for the same reason.
#pragma once

#include <cstdint>

namespace gen {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

double dsin(double x);
double dcos(double x);
double dexp(double x);
double dlog(double x);             // natural log; x <= 0 gives a large negative number
double dpow(double base, double e);   // base <= 0 gives 0
double datan2(double y, double x);    // radians, -pi .. pi

inline double clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }
inline double lerp(double a, double b, double t) { return a + (b - a) * t; }
inline double smoothstep(double e0, double e1, double x) {
    const double t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}

// 32-bit integer hash (good avalanche, cheap): the root of all randomness here.
uint32_t hash32(uint32_t x);
uint32_t hash3(int32_t x, int32_t y, uint32_t seed);
// Uniform in [0, 1) from a hash.
inline double unit(uint32_t h) { return double(h >> 8) * (1.0 / 16777216.0); }

// Gradient noise in about -1 .. 1 on a lattice that repeats every `period`
// cells in x and y, so a picture of period cells is seamlessly tileable.
double gradientNoise(double x, double y, int period, uint32_t seed);

// Fractal sums of gradientNoise.  Each octave doubles frequency and period and
// multiplies amplitude by gain, so the sum tiles with the base period.
// The results are normalised to about -1 .. 1 (fbm) and 0 .. 1 (ridged).
double fbm(double x, double y, int period, int octaves, double gain, uint32_t seed);
double ridged(double x, double y, int period, int octaves, double gain, uint32_t seed);

// Distance to the nearest of a jittered grid of feature points (cellular
// noise), in cell units, repeating every `period` cells.
double cellular(double x, double y, int period, uint32_t seed);

}  // namespace gen
