// The mode list's merge, filter and order rules, with modes fed in, and what
// SDL's own displays give it.
#include <gtest/gtest.h>

#include <SDL.h>

#include "platform/DisplayModeList.h"

namespace {

struct Entry {
    int32_t w, h, bpp;
    std::vector<int32_t> rates;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> entries(const DisplayModeList& list) {
    std::vector<Entry> out;
    for (int i = 0; const DisplayMode* m = list.at(i); ++i) out.push_back({m->width, m->height, m->bitsPerPixel, m->refreshRates});
    EXPECT_EQ(int(out.size()), list.count());
    return out;
}

TEST(DisplayModeList, MergesDevicesDropsShallowModesSortsRatesAndSizesAndTakesSdlDesktopModes) {
    DisplayModeList list;
    list.enumerate({
        // first device; rates in any order
        {1280, 1024, 32, 60}, {1024, 768, 32, 75}, {1024, 768, 32, 60}, {1024, 768, 16, 60}, {1280, 960, 32, 60},
        {800, 600, 24, 60}, {1024, 768, 64, 60}, {1280, 960, 32, 50},
        // second device: the same size again with a rate of its own and one already known
        {1024, 768, 32, 85}, {1024, 768, 32, 60}, {640, 480, 32, 60},
    });
    const std::vector<Entry> expected = {
        {640, 480, 32, {60}},
        {1024, 768, 32, {60, 75, 85}},
        {1024, 768, 64, {60}},   // same size: enumeration order, depth plays no part
        {1280, 960, 32, {50, 60}},
        {1280, 1024, 32, {60}},
    };
    EXPECT_EQ(entries(list), expected);
    EXPECT_EQ(list.defaultIndex(), 2) << "the last 1024x768 entry is preselected";
    EXPECT_EQ(list.find(1280, 960), 3);

    list.clear();
    EXPECT_EQ(entries(list), std::vector<Entry>{});
    EXPECT_EQ(list.defaultIndex(), 0) << "no 1024x768: the first entry";

    // SDL calls the usual desktop format 24 bits; counted that way no mode would
    // ever be listed.  The offscreen driver's one mode has that format.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    list.enumerate(sdlDisplayModes());
    ASSERT_GT(list.count(), 0) << SDL_GetError();
    EXPECT_EQ(list.at(0)->bitsPerPixel, 32);
}

}  // namespace
