// The landscape of the height-map flight: a basin where the camera stands,
// a ring of ridged mountains around it, a winding canyon cut through both,
// and low ground at the borders.  The borders must stay below the camera:
// the mesh joins its far edges to its near ones with reversed triangles,
// which are culled only while seen from above.
#include <algorithm>
#include <cmath>

#include "Noise.h"
#include "Pictures.h"

namespace gen {

namespace {

constexpr int N = kHeightMapSize;
constexpr double kUnitsPerPixel = 0.04;   // the effect spaces samples 0.04 units per byte
constexpr double kBasinRadius = 2.6;      // units: flat ground around the camera
constexpr double kRidgeRadius = 5.5;      // units: where the mountains peak
constexpr double kBorderFalloff = 1.6;    // units of descent towards the map edge
constexpr double kFloor = 0.05;           // lowest height before stretching

}  // namespace

Plane heightMap() {
    Plane h(N, N);
    double lo = 1e9, hi = -1e9;
    for (int y = 0; y < N; ++y) {
        for (int x = 0; x < N; ++x) {
            const double u = (x + 0.5) / N, v = (y + 0.5) / N;
            const double wx = (x - N / 2) * kUnitsPerPixel, wz = (y - N / 2) * kUnitsPerPixel;
            const double d = std::sqrt(wx * wx + wz * wz);

            const double ridges = ridged(u * 4.0, v * 4.0, 4, 5, 0.5, 121);
            const double hills = 0.5 + 0.5 * fbm(u * 3.0, v * 3.0, 3, 5, 0.5, 122);
            const double mountains = 0.65 * ridges + 0.35 * hills;

            // Low in the basin, rising to the ring of peaks, easing further out.
            const double rise = smoothstep(kBasinRadius, kRidgeRadius, d);
            const double ease = 1.0 - 0.35 * smoothstep(kRidgeRadius + 1.0, 10.0, d);
            const double profile = 0.12 + 0.88 * rise * ease;

            // The canyon winds along z through the middle of the map.
            const double pathX = 1.6 * dsin(wz * 0.35 + 0.6) + 0.8 * dsin(wz * 0.9);
            const double fromPath = std::fabs(wx - pathX);
            const double canyon = 0.3 + 0.7 * smoothstep(0.4, 2.2, fromPath);

            const double toBorder = std::min(std::min(x, N - 1 - x), std::min(y, N - 1 - y)) * kUnitsPerPixel;
            const double border = smoothstep(0.0, kBorderFalloff, toBorder);

            const double value = kFloor + mountains * profile * canyon * border;
            h.at(x, y) = float(value);
            lo = std::min(lo, value);
            hi = std::max(hi, value);
        }
    }
    // Stretch to the full byte range: the more of it used, the taller the hills.
    for (float& value : h.v) value = float((value - lo) / (hi - lo));
    return h;
}

}  // namespace gen
