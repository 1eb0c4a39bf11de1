// Tubes, knots, spheres, columns and height-map grids are all rings (or rows)
// of points stacked one after another.  They share one triangulation and one way of smoothing: every quad
// between two rings is split into two triangles, and each triangle adds its
// unit face normal, times a per-mesh weight, into its three corners.  The sum
// starts from zero and is never renormalised, so its length (up to six
// weights) brightens or dims the lighting; with GL_NORMALIZE off that is part
// of each effect's look, and the weight is how each effect tunes it.
#pragma once

#include <cmath>
#include <cstdint>

// Single-precision point or direction, packed like a GL client array entry.
struct Vec3 {
    float x, y, z;
};
static_assert(sizeof(Vec3) == 12, "Vec3 arrays feed glVertexPointer/glNormalPointer directly");

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3& operator+=(Vec3& a, Vec3 b) { a.x += b.x; a.y += b.y; a.z += b.z; return a; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(Vec3 a) { return std::sqrt(dot(a, a)); }

// a scaled to the given length.  A zero vector (a triangle collapsed to a
// line or a point, as at a sphere's pole) stays zero instead of turning into
// NaNs that would poison every normal it is summed into.
inline Vec3 withLength(Vec3 a, float len) {
    const float l = length(a);
    if (!(l > 0.0f)) return {0.0f, 0.0f, 0.0f};
    return {a.x / l * len, a.y / l * len, a.z / l * len};
}

// Face normal of triangle (a, b, c) in the winding all these meshes use:
// (b - a) x (a - c), unit length.  Clockwise seen from the front, matching
// glFrontFace(GL_CW).
inline Vec3 unitFaceNormal(Vec3 a, Vec3 b, Vec3 c) { return withLength(cross(b - a, a - c), 1.0f); }

// How a mesh of rings is joined and drawn.
struct RingLayout {
    enum class Indexing : uint8_t {
        Triangles,   // six indices per quad: i, k, j, k, l, j (GL_TRIANGLES)
        Strip,       // two per quad: l, j, one strip zigzagging through all rings
        Reversed,    // six per quad: i, j, k, k, j, l: the same triangles wound the
                     // other way, so their fronts face away from their normals
                     // (a landscape whose normals point into the ground)
    };

    uint32_t ringSize;      // points per ring (the last may repeat the first)
    uint32_t vertexCount;   // all points, a whole number of rings
    bool     closed;        // the last ring joins back to the first (tunnel, knot);
                            // otherwise the last ring starts no quads
    float    normalWeight;  // length of each face normal added into its corners
    Indexing indexing;
};

// Number of quads a layout produces (0 if the layout makes no sense).
uint32_t ringQuadCount(const RingLayout& layout);
// Number of indices triangulateRings writes for a layout.
uint32_t ringIndexCount(const RingLayout& layout);

// For every quad starting at vertex i (next point j on the same ring, wrapping
// to the ring's first point; same point k on the next ring; its next point l):
// triangles (i, k, j) and (k, l, j), each adding its weighted unit face normal
// to its corners in that order (the normals do not depend on the indexing).  normals must be zero on entry (or hold what
// should be summed onto).  Returns the index count, 0 when the layout does not
// describe whole rings (nothing is written then).
uint32_t triangulateRings(const Vec3* vertices, Vec3* normals, uint32_t* indices,
                          const RingLayout& layout);
