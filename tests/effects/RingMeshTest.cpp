#include "effects/RingMesh.h"

#include <map>

#include "EffectTestData.h"

namespace {

using I = RingLayout::Indexing;
constexpr float kWeight = 0.25f;

// Rings of k points round the y axis, angle growing with the point number, one per unit of height; the
// last point of each ring closes it when `closing` (as in every ring of the show), else they spread evenly.
std::vector<Vec3> cylinder(uint32_t rings, uint32_t k, bool closing) {
    std::vector<Vec3> v;
    const double step = 2.0 * M_PI / (closing ? k - 1 : k);
    for (uint32_t r = 0; r < rings; ++r)
        for (uint32_t j = 0; j < k; ++j) v.push_back({float(std::cos(j * step)), float(r), float(std::sin(j * step))});
    return v;
}

// Normals start zeroed, indices marked, with room past any layout's end.
struct Mesh {
    std::vector<Vec3> normals;
    std::vector<uint32_t> indices;
    uint32_t count;
    Mesh(const std::vector<Vec3>& v, const RingLayout& layout)
        : normals(v.size(), Vec3{0, 0, 0}), indices(v.size() * 6 + 8, 0xDEADu),
          count(triangulateRings(v.data(), normals.data(), indices.data(), layout)) {}
};

}  // namespace

TEST(RingMesh, ClosedRingsLeaveNoHoleAndReversedOnesFlipTheWinding) {
    const uint32_t K = 7, T = K * 4;
    const auto v = cylinder(4, K, true);
    const Mesh m(v, {K, T, true, kWeight, I::Triangles}), reversed(v, {K, T, true, kWeight, I::Reversed});
    ASSERT_TRUE(m.count == 6 * T && reversed.count == 6 * T) << m.count << ", " << reversed.count;
    EXPECT_TRUE(m.indices[6 * T] == 0xDEADu && reversed.indices[6 * T] == 0xDEADu) << "wrote past its index count";

    // Every side walked once each way: each ring wraps round to its first
    // point and the last ring joins ring 0, with no crack and no flipped triangle.
    std::map<std::pair<uint32_t, uint32_t>, int> sides;
    for (uint32_t t = 0; t < 2 * T; ++t)
        for (uint32_t c = 0; c < 3; ++c) ++sides[{m.indices[3 * t + c], m.indices[3 * t + (c + 1) % 3]}];
    for (const auto& [side, count] : sides)
        ASSERT_TRUE(count == 1 && sides.count({side.second, side.first}) == 1) << side.first << "-" << side.second;
    for (uint32_t i = 0; i < T; ++i) {
        // (i, k, j), (k, l, j) against (i, j, k), (k, j, l): each triangle's
        // last two corners swap; the normals stay.
        const uint32_t *f = &m.indices[6 * i], *r = &reversed.indices[6 * i];
        ASSERT_TRUE(r[0] == f[0] && r[1] == f[2] && r[2] == f[1] && r[3] == f[3] && r[4] == f[5] && r[5] == f[4]) << i;
        ASSERT_EQ(0.0f, length(m.normals[i] - reversed.normals[i])) << i;
    }
}

TEST(RingMesh, OpenStripSumsWeightedNormalsNeverRenormalised) {
    const uint32_t K = 41, T = K * 5;
    const auto v = cylinder(5, K, false);
    const Mesh m(v, {K, T, false, kWeight, I::Strip});
    // The last ring starts no quads: two indices for each of the others' points, nothing past them.
    ASSERT_EQ(2 * (T - K), m.count);
    EXPECT_EQ(0xDEADu, m.indices[m.count]);

    // Inner vertex: six unit face normals, nearly parallel, each adding kWeight; they point into the
    // tube for rings that run this way round (the clockwise front).
    const uint32_t inner = 2 * K + 10;
    const Vec3 n = m.normals[inner];
    EXPECT_TRUE(length(n) > 5.9f * kWeight && length(n) <= 6.0f * kWeight + 1e-6f) << length(n);
    EXPECT_LT(dot(n, {v[inner].x, 0.0f, v[inner].z}) / length(n), -0.99f);

    // A pole, ring 0 one point repeated as at the bottom of a sphere: its
    // collapsed triangles add nothing, not NaN; its real ones still count.
    auto pole = v;
    for (uint32_t j = 0; j < K; ++j) pole[j] = {0, 0, 0};
    const Mesh p(pole, {K, T, false, kWeight, I::Strip});
    for (uint32_t i = 0; i < T; ++i) ASSERT_TRUE(std::isfinite(length(p.normals[i]))) << "vertex " << i;
    EXPECT_GT(length(p.normals[0]), 0.0f);
}

TEST(RingMesh, RejectsLayoutsThatAreNotWholeRings) {
    // The last: one ring, open, has nothing to join.
    for (RingLayout bad : {RingLayout{0, 15, true, 1.0f, I::Triangles}, RingLayout{5, 14, true, 1.0f, I::Triangles},
                           RingLayout{15, 15, false, 1.0f, I::Strip}}) {
        const Mesh m(cylinder(3, 5, false), bad);
        EXPECT_TRUE(m.count == 0 && m.indices[0] == 0xDEADu && length(m.normals[0]) == 0.0f) << bad.ringSize << "/" << bad.vertexCount;
    }
}
