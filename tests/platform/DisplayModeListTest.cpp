// The mode list's rules that the setup dialog's lists do not already show
// (its test sees the sizes in order, each size's rates merged and sorted,
// and 1024x768 preselected), and what SDL's own displays give it.
#include <gtest/gtest.h>

#include <SDL.h>

#include "platform/DisplayModeList.h"

namespace {

TEST(DisplayModeList, DropsShallowModesKeepsDepthsApartAndTakesSdlDesktopModes) {
    DisplayModeList list;
    list.enumerate({{1024, 768, 32, 75}, {1024, 768, 16, 60}, {800, 600, 24, 60}, {1024, 768, 64, 60},
                    {1280, 960, 32, 60}, {1024, 768, 32, 60}});
    ASSERT_EQ(list.count(), 3) << "modes under 32 bits are dropped";
    EXPECT_EQ(list.at(0)->refreshRates, (std::vector<int32_t>{60, 75}));
    EXPECT_EQ(list.at(1)->bitsPerPixel, 64) << "same size: enumeration order, depth plays no part";
    EXPECT_EQ(list.defaultIndex(), 1) << "the last 1024x768 entry is preselected";
    EXPECT_EQ(list.find(1280, 960), 2);
    list.clear();
    EXPECT_EQ(list.defaultIndex(), 0) << "no 1024x768: the first entry";

    // SDL calls the usual desktop format 24 bits; counted that way no mode would
    // ever be listed.  The offscreen driver's one mode has that format.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    list.enumerate(sdlDisplayModes());
    ASSERT_GT(list.count(), 0) << SDL_GetError();
    EXPECT_EQ(list.at(0)->bitsPerPixel, 32);
}

}  // namespace
