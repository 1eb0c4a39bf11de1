// The window and context on SDL's offscreen driver: what the show relies on.
#include <gtest/gtest.h>

#include <epoxy/gl.h>

#include "TestSupport.h"
#include "engine/EffectRegistry.h"

namespace {

TEST(GlWindow, ClearsAndReadsBackThroughTheContext) {
    hlvtest::HeadlessGl gl(40, 30);
    HLV_REQUIRE_GL(gl);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(0xFF0000FFu, gl.pixel(0, 0));
    EXPECT_EQ(0xFF0000FFu, gl.pixel(39, 29));

    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 20, 15);   // GL's origin: bottom left
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    EXPECT_EQ(0x0000FFFFu, gl.pixel(0, 29)) << "pixel() counts rows from the top";
    EXPECT_EQ(0xFF0000FFu, gl.pixel(0, 0));
}

TEST(GlWindow, ViewportAndDrawableAreTheChosenSize) {
    hlvtest::HeadlessGl gl(123, 77);
    HLV_REQUIRE_GL(gl);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(123, viewport[2]);
    EXPECT_EQ(77, viewport[3]);
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(gl.window().window(), &w, &h);
    EXPECT_EQ(123, w) << "the client area, not the outer frame, has the chosen size";
    EXPECT_EQ(77, h);
    EXPECT_STREQ("halvoren test", SDL_GetWindowTitle(gl.window().window()));
}

TEST(GlWindow, ContextHasDepthAndTheEntryPointsTheEffectsCall) {
    hlvtest::HeadlessGl gl;
    HLV_REQUIRE_GL(gl);
    int depth = 0;
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth);
    EXPECT_GE(depth, 24);
    EXPECT_TRUE(glIsEnabled(GL_MULTISAMPLE));
    EXPECT_TRUE(gl.window().ensureGlew());
    EXPECT_TRUE(gl.window().ensureGlew()) << "a second call answers at once";
}

// SDL's events stand for the window messages: Escape and closing end the show.
TEST(GlWindow, EscapeAndWindowCloseRequestQuit) {
    hlvtest::HeadlessGl gl;
    HLV_REQUIRE_GL(gl);
    DemoContext demo;
    EffectRegistry registry{std::vector<EffectFactory>{}};
    WallClock clock;
    Engine engine(demo, registry, clock, gl.window());

    SDL_Event key = {};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_SPACE;
    SDL_PushEvent(&key);
    gl.window().pollEvents(engine);
    EXPECT_FALSE(engine.quitRequested) << "only Escape ends the show";

    key.key.keysym.sym = SDLK_ESCAPE;
    SDL_PushEvent(&key);
    gl.window().pollEvents(engine);
    EXPECT_TRUE(engine.quitRequested);

    Engine other(demo, registry, clock, gl.window());
    SDL_Event close = {};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(gl.window().window());
    SDL_PushEvent(&close);
    gl.window().pollEvents(other);
    EXPECT_TRUE(other.quitRequested);
}

TEST(GlWindow, MultisampleProbeRecordsWhatItReturns) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    GlWindow window;
    const int best = window.probeMultisample();
    EXPECT_TRUE(best == 0 || best == 2 || best == 4 || best == 8 || best == 16);
    if (best) {
        EXPECT_EQ(best, window.lookupMultisampleFormat(best));
    }
    for (int count : {2, 4, 8, 16}) {
        if (count > best) {
            EXPECT_EQ(0, window.lookupMultisampleFormat(count));
        }
    }
    EXPECT_EQ(0, window.lookupMultisampleFormat(3));
    EXPECT_EQ(0, window.lookupMultisampleFormat(0));
}

TEST(GlWindow, MultisampledWindowGetsItsSamples) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    GlWindow window;
    const int best = window.probeMultisample();
    if (!best) GTEST_SKIP() << "no multisampled format here";
    DisplayChoice choice;
    choice.width = 64;
    choice.height = 48;
    choice.samples = best;
    ASSERT_TRUE(window.createWindow("msaa", choice));
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    EXPECT_GE(samples, 2);
    window.destroyContext();
}

}  // namespace
