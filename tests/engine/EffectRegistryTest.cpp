#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/EffectRegistry.h"

namespace {

// Every effect the show can have; the registry holds those that exist, in this order.
const std::vector<std::string> kShowOrder = {
    "Null", "Flash", "VelmorFX", "Present", "CubeMorph", "CubeFloor", "CFlare", "604Effect", "Credits",
    "Column", "Lines", "KnotPQ", "Greetings", "Tunnel", "Metaballs", "SphereBump", "Final"};

TEST(EffectRegistry, FindsExactNamesInShowOrderUntilReleased) {
    DemoContext demo;
    EffectRegistry registry;
    registry.registerAll(demo);
    ASSERT_GE(registry.size(), 2u);
    auto next = kShowOrder.begin();
    for (size_t i = 0; i < registry.size(); ++i, ++next) {
        next = std::find(next, kShowOrder.end(), registry.at(i)->name);
        ASSERT_NE(next, kShowOrder.end()) << registry.at(i)->name << " is no show effect or out of order";
        EXPECT_EQ(registry.at(i), registry.find(registry.at(i)->name));
    }
    registry.releaseAll();
    EXPECT_EQ(0u, registry.size());
    EXPECT_EQ(nullptr, registry.find("Null"));
    EXPECT_EQ(15u, std::strlen(IEffect("ABCDEFGHIJKLMNOPQRSTUVWXYZ").name)) << "long names are cut";
}

}  // namespace
