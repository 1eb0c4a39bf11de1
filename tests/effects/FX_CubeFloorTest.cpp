#include "effects/FX_CubeFloor.h"

#include "EffectTestData.h"

using namespace cubefloor;
using namespace hlvtest;

static void writeCubeFloorData(const TempDataFolder& folder) { writeLayerSet(folder, 9, "cubef/textura.png"); }
using CubeFloorGl = EffectGl<writeCubeFloorData>;

// Which boxes jump follows from the classic generator's outputs, worked out
// by hand from its formula: from state 1 the 4th and 63rd are multiples of
// ten, then eight of the next 64.  The floor swings 5 degrees of angleY at each beat step.
TEST(CubeFloorBoxes, KicksFromTheSharedGeneratorThenSinkOutOfSightAndSwingsOnTheBeat) {
    DemoContext demo;
    demo.angles = {1, 2, 3};
    FX_CubeFloor fx(demo);
    using Spots = std::vector<std::pair<float, float>>;   // x, z of each box drawn
    auto drawn = [&] { Spots xz; fx.forEachVisibleBox([&](const Box& b) { xz.emplace_back(b.x, b.z); }); return xz; };
    fx.advance(108571, 20);   // more than 50 ms after the last kick (0): kick; a spin starts
    EXPECT_EQ(Spots({{-2, -8}, {4, 6}}), drawn());
    fx.advance(108621, 30);   // exactly 50 ms later: no kick; a spin step
    EXPECT_EQ(2u, drawn().size());
    fx.advance(108622, 10);   // 51 ms: the next 64 draws; too soon for another step
    EXPECT_EQ(10u, drawn().size());

    // 900 ms of frames: everything sinks past the floor and rests there, unseen.
    fx.advance(108622, 800);
    fx.advance(108622, 100);
    EXPECT_TRUE(drawn().empty());
    EXPECT_TRUE(demo.angles.angleX == 1 && demo.angles.angleY == 7 && demo.angles.angleZ == 3) << "one swing, of angleY";
}

TEST_F(CubeFloorGl, TheFloorRendersTheSameWayTwice) {
    // Both runs start from the generator's first state, so the same boxes
    // jump.  The background adds onto the clear colour (13, 34, 56); boxes
    // add onto that; the red strip covers the top.
    expectScene(playTwice<FX_CubeFloor>(writeCubeFloorData, {60, 100, 400, 900}), 1.0 / 8 + 1.0 / 40, 1, 0x1D3A68FFu);
}
