// The window and context on SDL's offscreen driver: what the show relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include <epoxy/gl.h>

#include "TestSupport.h"
#include "platform/DisplayModeList.h"

namespace {

// The client area, not the outer frame, has the chosen size; SDL's events
// stand for the window messages: Escape and closing end the show.
TEST(GlWindow, ClientAreaOfTheChosenSizeAndTheEventsThatQuit) {
    hlvtest::HeadlessGl gl(123, 77);
    HLV_REQUIRE_GL(gl);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(gl.window().window(), &w, &h);
    EXPECT_EQ((std::vector<int>{viewport[2], viewport[3], w, h}), (std::vector<int>{123, 77, 123, 77}));

    struct Heard : IWindowEvents {
        std::vector<int> keys;
        int destroyed = 0;
        void onKeyDown(int key) override { keys.push_back(key); }
        void onDestroy() override { ++destroyed; }
    };
    // Every key the player listens to reaches it as the engine's own code: a
    // wrong entry leaves that control dead in the real program.
    const std::vector<std::pair<SDL_Keycode, int>> keys = {
        {SDLK_ESCAPE, kKeyEscape}, {SDLK_SPACE, kKeySpace}, {SDLK_LEFT, kKeyLeft},
        {SDLK_RIGHT, kKeyRight},   {SDLK_PAGEUP, kKeyPageUp}, {SDLK_PAGEDOWN, kKeyPageDown},
        {SDLK_HOME, kKeyHome},     {SDLK_F1, kKeyF1},       {SDLK_F5, kKeyF5}};
    Heard heard;
    std::vector<int> expected;
    for (auto [sdl, engine] : keys) {
        SDL_Event down{SDL_KEYDOWN};
        down.key.keysym.sym = sdl;
        SDL_PushEvent(&down);
        expected.push_back(engine);
    }
    gl.window().pollEvents(heard);
    EXPECT_EQ(heard.keys, expected);
    EXPECT_EQ(heard.destroyed, 0);

    SDL_Event close{SDL_WINDOWEVENT};
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(gl.window().window());
    SDL_PushEvent(&close);
    gl.window().pollEvents(heard);
    EXPECT_EQ(heard.keys.size(), expected.size());
    EXPECT_EQ(heard.destroyed, 1);
}

TEST(GlWindow, MultisampleProbeRecordsWhatItFoundAndTheWindowGetsIt) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    GlWindow window;
    const int best = window.probeMultisample();
    // Each count found is recorded as itself, the largest is returned, and
    // counts that are no format are never found.
    int largest = 0;
    for (int count : {2, 4, 8, 16}) {
        const int found = window.lookupMultisampleFormat(count);
        EXPECT_TRUE(found == 0 || found == count) << count << " recorded as " << found;
        largest = std::max(largest, found);
    }
    EXPECT_EQ(best, largest);
    for (int count : {0, 3, 32}) EXPECT_EQ(window.lookupMultisampleFormat(count), 0) << count;
    if (!best) GTEST_SKIP() << "no multisampled format here";
    ASSERT_TRUE(window.createWindow("msaa", DisplayChoice{64, 48, 32, 60, best, false}));
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    EXPECT_GE(samples, 2);
    window.destroyContext();
}

// Full screen switches the mode, hides the cursor and restores both; the
// offscreen driver takes any mode, so the switch and the way back show.  The
// test's own reference on SDL's video keeps the display in view after teardown.
TEST(GlWindow, FullScreenSwitchesModeAndBack) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    const auto screen = [] {   // width, height, cursor shown
        SDL_DisplayMode now{};
        SDL_GetCurrentDisplayMode(0, &now);
        return std::vector<int>{now.w, now.h, SDL_ShowCursor(SDL_QUERY)};
    };
    SDL_DisplayMode d{};
    SDL_GetCurrentDisplayMode(0, &d);
    GlWindow window;
    EXPECT_TRUE(window.createWindow("full", DisplayChoice{d.w / 2, d.h / 2, 32, d.refresh_rate, 0, true}));
    EXPECT_EQ(screen(), (std::vector<int>{d.w / 2, d.h / 2, SDL_DISABLE}));
    window.destroyContext();
    EXPECT_EQ(screen(), (std::vector<int>{d.w, d.h, SDL_ENABLE}));
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
