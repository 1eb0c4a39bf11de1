#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/EffectRegistry.h"

namespace {

// The fixed order of every effect the show can have; the registry holds the
// ones that exist, in this order.
const std::vector<std::string> kShowOrder = {
    "Null", "Flash", "VelmorFX", "Present", "CubeMorph", "CubeFloor", "CFlare", "604Effect", "Credits",
    "Column", "Lines", "KnotPQ", "Greetings", "Tunnel", "Metaballs", "SphereBump", "Final"};

TEST(EffectRegistry, LooksUpRegisteredNamesExactly) {
    DemoContext demo;
    EffectRegistry registry;
    registry.registerAll(demo);
    ASSERT_NE(nullptr, registry.find("Null"));
    EXPECT_STREQ("Null", registry.find("Null")->name);
    EXPECT_EQ(nullptr, registry.find("null"));
    EXPECT_EQ(nullptr, registry.find("Nul"));
    EXPECT_EQ(nullptr, registry.find("Null "));
    EXPECT_EQ(nullptr, registry.find("FX_Flash")) << "class names are not registered names";
    EXPECT_EQ(nullptr, registry.find(""));
}

TEST(EffectRegistry, RegistersInTheShowOrderWithUniqueNames) {
    DemoContext demo;
    EffectRegistry registry;
    registry.registerAll(demo);
    ASSERT_GE(registry.size(), 2u);
    EXPECT_STREQ("Null", registry.at(0)->name);
    EXPECT_STREQ("Flash", registry.at(1)->name);
    size_t previous = 0;
    for (size_t i = 0; i < registry.size(); ++i) {
        auto pos = std::find(kShowOrder.begin(), kShowOrder.end(), registry.at(i)->name);
        ASSERT_NE(pos, kShowOrder.end()) << registry.at(i)->name << " is not a show effect";
        size_t index = size_t(pos - kShowOrder.begin());
        if (i > 0) {
            EXPECT_GT(index, previous) << registry.at(i)->name << " is out of order";
        }
        previous = index;
        EXPECT_EQ(registry.at(i), registry.find(registry.at(i)->name));
    }
}

TEST(EffectRegistry, ReleaseAllEmptiesTheRegistry) {
    DemoContext demo;
    EffectRegistry registry;
    registry.registerAll(demo);
    registry.releaseAll();
    EXPECT_EQ(0u, registry.size());
    for (const std::string& name : kShowOrder) EXPECT_EQ(nullptr, registry.find(name.c_str()));
}

TEST(EffectRegistry, LongNamesAreCutToFifteenCharacters) {
    IEffect effect("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(15u, std::strlen(effect.name));
}

}  // namespace
