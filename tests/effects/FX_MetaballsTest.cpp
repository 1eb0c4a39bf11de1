#include "effects/FX_Metaballs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "EffectTestData.h"
#include "TestSupport.h"

using namespace metaballs;

namespace {

// A grid with every sample outside except the listed points, which get 1.
struct LoneGrid {
    std::vector<float>   values = std::vector<float>(kGridPoints, 0.0f);
    std::vector<uint8_t> inside = std::vector<uint8_t>(kGridPoints, 0);
    MetaballGrid         grid = {};

    explicit LoneGrid(std::initializer_list<std::array<int, 3>> points) {
        grid.values = values.data();
        grid.inside = inside.data();
        for (auto p : points) {
            const int i = (p[2] * kGridSize + p[1]) * kGridSize + p[0];
            values[i] = 1.0f;
            inside[i] = 1;
        }
    }
};

// A mesh over caller-owned arrays with room for `room` triangles but a
// smaller capacity; the spare room is filled with a marker to catch overruns.
struct GuardedMesh {
    static constexpr float kMarker = -12345.0f;
    std::vector<float> vertices, normals;
    MetaballMesh       mesh = {};

    GuardedMesh(uint32_t capacity, uint32_t room)
        : vertices(size_t(room) * 9, kMarker), normals(size_t(room) * 9, kMarker) {
        mesh.vertices = vertices.data();
        mesh.normals = normals.data();
        mesh.capacity = capacity;
    }
    std::array<float, 3> vertex(uint32_t v) const {
        return {vertices[v * 3], vertices[v * 3 + 1], vertices[v * 3 + 2]};
    }
};

// The effect's texture and layer set 3 in a throw-away folder.
struct MetaballsWorld : hlvtest::EffectWorld {
    explicit MetaballsWorld(const DisplayChoice& display) : EffectWorld(display) {
        hlvtest::writePatternPicture(folder, "metaballs/textura.png");
        hlvtest::writeLayerSet(folder, 3);
    }
};

}  // namespace

TEST(MetaballsTables, EdgeMasksAndTriangleRowsMatchTheCornerSigns) {
    EXPECT_EQ(kEdgeTable[1], 0x109);
    EXPECT_EQ(kEdgeTable[2], 0x203);
    const int8_t row1[] = {0, 8, 3, -1};
    const int8_t row3[] = {1, 8, 3, 9, 8, 1, -1};
    EXPECT_TRUE(std::equal(std::begin(row1), std::end(row1), kTriangleTable[1]));
    EXPECT_TRUE(std::equal(std::begin(row3), std::end(row3), kTriangleTable[3]));

    for (int cube = 0; cube < 256; ++cube) {
        SCOPED_TRACE(cube);
        // An edge crosses the surface exactly when its two corners disagree.
        unsigned crossing = 0;
        for (int e = 0; e < 12; ++e)
            if (((cube >> kEdgeCorners[e][0]) ^ (cube >> kEdgeCorners[e][1])) & 1) crossing |= 1u << e;
        EXPECT_EQ(kEdgeTable[cube], crossing);

        // The row's triangles use exactly those edges, and together they form
        // a surface with no holes inside the cell: every side shared by two
        // triangles is walked once each way, every other side lies on a face
        // of the cell (where the neighbouring cell continues it).
        unsigned used = 0;
        std::multiset<std::pair<int, int>> sides;
        int i = 0;
        for (; i < 16 && kTriangleTable[cube][i] != -1; i += 3)
            for (int k = 0; k < 3; ++k) {
                used |= 1u << kTriangleTable[cube][i + k];
                sides.insert({kTriangleTable[cube][i + k], kTriangleTable[cube][i + (k + 1) % 3]});
            }
        ASSERT_LT(i, 16) << "row not ended by -1";
        EXPECT_EQ(used, crossing);
        auto midpoint = [](int e, int axis) {
            return kCornerOffset[kEdgeCorners[e][0]][axis] + kCornerOffset[kEdgeCorners[e][1]][axis];
        };
        for (auto [a, b] : sides) {
            EXPECT_EQ(sides.count({a, b}), 1u);
            if (sides.count({b, a})) continue;
            bool onFace = false;
            for (int axis = 0; axis < 3; ++axis)
                onFace |= midpoint(a, axis) == midpoint(b, axis) && midpoint(a, axis) != 1;
            EXPECT_TRUE(onFace) << "open side " << a << "-" << b;
        }
    }
}

TEST(MetaballsSurface, LoneInsideCornerGivesOneOutwardTrianglePerCell) {
    // The grid's very first point is corner 3 of exactly one cell.
    LoneGrid corner({{{0, 0, 0}}});
    GuardedMesh out(kMeshCapacity, kMeshCapacity);
    extractSurface(corner.grid, out.mesh);
    ASSERT_EQ(out.mesh.vertexCount, 3u);
    // Crossings at 0.12 of the way from the outside corner to the inside one,
    // emitted edge 2, then 11, then 3: counter-clockwise seen from outside.
    const std::array<float, 3> expected[3] = {{0.88f, 0, 0}, {0, 0.88f, 0}, {0, 0, 0.88f}};
    for (uint32_t v = 0; v < 3; ++v)
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(out.vertex(v)[k], expected[v][k], 1e-6f) << v;

    // Deep inside the grid a lone point touches eight cells, one triangle each;
    // cells entirely inside or outside add nothing.
    LoneGrid middle({{{7, 9, 11}}});
    extractSurface(middle.grid, out.mesh);
    EXPECT_EQ(out.mesh.vertexCount, 24u);

    LoneGrid none({});
    std::fill(none.values.begin(), none.values.end(), 5.0f);
    std::fill(none.inside.begin(), none.inside.end(), 1);
    extractSurface(none.grid, out.mesh);
    EXPECT_EQ(out.mesh.vertexCount, 0u);
}

TEST(MetaballsSurface, StopsAtTheMeshCapacity) {
    // A checkerboard of lone points asks for far more triangles than fit.
    LoneGrid many({});
    for (int z = 0; z < kGridSize; z += 2)
        for (int y = 0; y < kGridSize; y += 2)
            for (int x = 0; x < kGridSize; x += 2) {
                const int i = (z * kGridSize + y) * kGridSize + x;
                many.values[i] = 1.0f;
                many.inside[i] = 1;
            }
    GuardedMesh out(10, 12);
    extractSurface(many.grid, out.mesh);
    EXPECT_EQ(out.mesh.vertexCount, 30u);
    for (size_t i = 30 * 3; i < out.vertices.size(); ++i)
        ASSERT_EQ(out.vertices[i], GuardedMesh::kMarker) << "written past the capacity at " << i;
}

TEST(MetaballsSurface, FiveBallsAtTheStartOfTheirPaths) {
    MetaballGrid* grid = allocGrid();
    MetaballMesh* mesh = allocMesh(kMeshCapacity);
    float squares[kGridSize];
    fillSquares(squares);
    buildSurface(*grid, *mesh, squares, 0.0f);

    const float centres[kBallCount][3] = {{12, 19, 19}, {21, 12, 17}, {19, 12, 12}, {10, 10, 10}, {14, 24, 22}};
    for (int b = 0; b < kBallCount; ++b) {
        EXPECT_EQ(grid->ballX[b], centres[b][0]) << b;
        EXPECT_EQ(grid->ballY[b], centres[b][1]) << b;
        EXPECT_EQ(grid->ballZ[b], centres[b][2]) << b;
    }

    // Ball 3 sits on a sample: infinitely strong there, and inside.
    const int onBall = (10 * kGridSize + 10) * kGridSize + 10;
    EXPECT_TRUE(std::isinf(grid->values[onBall]));
    EXPECT_EQ(grid->inside[onBall], 1);
    EXPECT_EQ(mesh->vertexCount % 3, 0u);
    EXPECT_GT(mesh->vertexCount, 2000u * 3);
    EXPECT_LT(mesh->vertexCount, 2400u * 3);
    for (uint32_t v = 0; v < mesh->vertexCount; ++v) {
        const float* p = mesh->vertices + v * 3;
        const float* n = mesh->normals + v * 3;
        for (int k = 0; k < 3; ++k) ASSERT_TRUE(p[k] >= 0 && p[k] <= kGridSize - 1) << v;
        ASSERT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f) << v;
    }
    // Normals lean towards the balls: at the top of the topmost ball (4) the
    // normal points down.
    uint32_t top = 0;
    for (uint32_t v = 0; v < mesh->vertexCount; ++v)
        if (mesh->vertices[v * 3 + 1] > mesh->vertices[top * 3 + 1]) top = v;
    EXPECT_LT(mesh->normals[top * 3 + 1], -0.5f);

    freeGrid(grid);
    freeMesh(mesh);
}

TEST(MetaballsMotion, SpinRhythmAndBallClock) {
    DemoContext demo;
    FX_Metaballs fx(demo);

    // Resting: nothing until the first frame more than 500 ms in.
    for (uint32_t t = 0; t <= 500; t += 20) fx.advance(t, 20);
    EXPECT_FALSE(fx.rhythm().spinning);
    fx.advance(501, 1);
    EXPECT_TRUE(fx.rhythm().spinning);
    EXPECT_EQ(fx.spinAngle(), 0.0f);

    // Steps need more than 10 ms since the last one; one step per frame at most.
    fx.advance(511, 10);
    EXPECT_EQ(fx.spinAngle(), 0.0f);
    fx.advance(512, 1);
    EXPECT_EQ(fx.spinAngle(), 6.0f);
    fx.advance(562, 50);
    EXPECT_EQ(fx.spinAngle(), 12.0f);

    // The spin ends with the first frame more than 200 ms after it began.
    fx.advance(701, 139);
    EXPECT_TRUE(fx.rhythm().spinning);
    fx.advance(702, 1);
    EXPECT_FALSE(fx.rhythm().spinning);
    const float afterSpin = fx.spinAngle();
    fx.advance(1202, 500);
    EXPECT_FALSE(fx.rhythm().spinning);
    EXPECT_EQ(fx.spinAngle(), afterSpin);
    fx.advance(1203, 1);
    EXPECT_TRUE(fx.rhythm().spinning);

    // The turn follows the music time; the balls only the frame time.
    const float before = fx.motionTime();
    fx.advance(5000, 0);
    EXPECT_EQ(fx.motionTime(), before);
    EXPECT_EQ(demo.angles.angleY, 1000.0f);
    fx.advance(6000, 1000);
    EXPECT_NEAR(fx.motionTime(), before + 3.6f, 1e-4f);
    EXPECT_EQ(demo.angles.angleY, 1200.0f);
    EXPECT_EQ(demo.angles.angleX, 0.0f);
    EXPECT_EQ(demo.angles.angleZ, 0.0f);
}

TEST(MetaballsGl, StartLeavesItsStateAndCarriesTheRest) {
    hlvtest::HeadlessGl gl(64, 48);
    HLV_REQUIRE_GL(gl);
    MetaballsWorld world(gl.choice());
    FX_Metaballs fx(world.demo);
    fx.init();

    // What start does not mention must survive it.
    glEnable(GL_FOG);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_TEXTURE_GEN_R);
    fx.start();

    GLint unit = 0, frontFace = 0, blendSrc = 0, sMode = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    EXPECT_EQ(unit, GL_TEXTURE0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    glActiveTexture(GL_TEXTURE1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glActiveTexture(GL_TEXTURE0);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    glGetIntegerv(GL_FRONT_FACE, &frontFace);
    EXPECT_EQ(frontFace, GL_CCW);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_R));
    glGetIntegerv(GL_BLEND_SRC, &blendSrc);
    EXPECT_EQ(blendSrc, GL_ONE);

    // Projection: 45 degrees high at the window's aspect, 0.1 to 100.
    float m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    const float f = 1.0f / std::tan(22.5f * 3.14159265f / 180.0f);
    EXPECT_NEAR(m[0], f * 48.0f / 64.0f, 1e-4f);
    EXPECT_NEAR(m[5], f, 1e-4f);
    EXPECT_NEAR(m[10], -100.1f / 99.9f, 1e-4f);
    EXPECT_NEAR(m[14], -20.0f / 99.9f, 1e-4f);
    // View from (0, 10, 40) at the origin: the origin lies straight ahead.
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_NEAR(m[12], 0.0f, 1e-4f);
    EXPECT_NEAR(m[13], 0.0f, 1e-4f);
    EXPECT_NEAR(m[14], -std::sqrt(1700.0f), 1e-3f);

    // The light was placed in the world, after the view.
    float light[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, light);
    const float lightWorld[4] = {0, -32, -32, 1};
    for (int r = 0; r < 4; ++r) {
        float e = 0;
        for (int c = 0; c < 4; ++c) e += m[c * 4 + r] * lightWorld[c];
        EXPECT_NEAR(light[r], e, 1e-3f) << r;
    }
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));

    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &sMode);
    EXPECT_EQ(sMode, GL_OBJECT_LINEAR);
    float plane[4];
    glGetTexGenfv(GL_T, GL_OBJECT_PLANE, plane);
    EXPECT_FLOAT_EQ(plane[2], 0.1f);
    EXPECT_EQ(plane[0], 0.0f);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_T));

    glDisable(GL_FOG);
    glDisable(GL_TEXTURE_GEN_R);
    glBlendFunc(GL_ONE, GL_ZERO);
    fx.release();
    EXPECT_EQ(fx.mesh(), nullptr);
    fx.release();   // twice is harmless
}

namespace {

// Frames of a fresh effect at the given music times, each read back whole.
std::vector<std::vector<uint8_t>> renderFrames(hlvtest::HeadlessGl& gl, std::initializer_list<uint32_t> times) {
    MetaballsWorld world(gl.choice());
    FX_Metaballs fx(world.demo);
    fx.init();
    fx.start();
    std::vector<std::vector<uint8_t>> frames;
    uint32_t previous = 0;
    for (uint32_t t : times) {
        hlvtest::showFrame(fx, t, t - previous);
        previous = t;
        frames.push_back(gl.readPixels());
        hlvtest::dumpFrame("metaballs-" + std::to_string(t), gl.width(), gl.height(), frames.back());
    }
    fx.release();
    return frames;
}

}  // namespace

TEST(MetaballsGl, RendersBlobsTheSameWayTwice) {
    hlvtest::HeadlessGl gl(160, 120);
    HLV_REQUIRE_GL(gl);
    const auto first = renderFrames(gl, {0, 700, 2500, 9000});
    const auto second = renderFrames(gl, {0, 700, 2500, 9000});
    ASSERT_EQ(first.size(), 4u);
    const size_t pixels = size_t(gl.width()) * gl.height();
    const size_t strip = pixels / 8;   // the layer set's red strip along the top
    for (size_t i = 0; i < first.size(); ++i) {
        // Blobs in front of the background: a good part of the frame, not all.
        const size_t scene = hlvtest::pixelsOtherThan(first[i], 0x101830FFu);
        EXPECT_GT(scene, strip + pixels / 20) << "frame " << i;
        EXPECT_LT(scene, pixels * 3 / 4) << "frame " << i;
        EXPECT_TRUE(first[i] == second[i]) << "frame " << i << " differs on the second run";
    }
    EXPECT_FALSE(first[0] == first[2]) << "the blobs did not move";
}
