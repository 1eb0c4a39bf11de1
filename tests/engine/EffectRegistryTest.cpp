#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "effects/ShowEffects.h"
#include "engine/EffectRegistry.h"

namespace {

// The names scripts use, in the order the README documents them.
const std::vector<std::string> kShowOrder = {
    "Null", "Flash", "VelmorFX", "Present", "CubeMorph", "CubeFloor", "CFlare", "604Effect", "Credits",
    "Column", "Lines", "KnotPQ", "Greetings", "Tunnel", "Metaballs", "SphereBump", "Final"};

TEST(EffectRegistry, HoldsEveryShowEffectInOrderAndFindsExactNamesUntilReleased) {
    DemoContext demo;
    EffectRegistry registry(showEffects());
    registry.registerAll(demo);
    std::vector<std::string> names;
    for (size_t i = 0; i < registry.size(); ++i) {
        names.push_back(registry.at(i)->name);
        EXPECT_EQ(registry.at(i), registry.find(registry.at(i)->name)) << names.back();
    }
    EXPECT_EQ(names, kShowOrder);
    EXPECT_EQ(nullptr, registry.find("null")) << "names are case-sensitive";
    EXPECT_EQ(nullptr, registry.find("Flas"));
    registry.releaseAll();
    EXPECT_EQ(0u, registry.size());
    EXPECT_EQ(nullptr, registry.find("Null"));
    EXPECT_EQ(15u, std::strlen(IEffect("ABCDEFGHIJKLMNOPQRSTUVWXYZ").name)) << "long names are cut";
}

}  // namespace
