// The player's controls driven through the engine on a simulated clock and
// an offscreen window with the show's own effects.
#include <functional>
#include <string>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "AudioFixtures.h"
#include "GlState.h"
#include "GridClock.h"
#include "TestSupport.h"
#include "effects/ShowEffects.h"
#include "engine/EffectRegistry.h"
#include "engine/Engine.h"
#include "engine/HeldFrame.h"
#include "engine/MusicBars.h"
#include "engine/ShowOverlay.h"
#include "resources/DataFile.h"

using namespace hlvtest;

namespace {

constexpr int kWidth = 160, kHeight = 120;
using Frame = std::vector<uint8_t>;   // RGBA, top row first

Frame backBuffer() { return readBackBuffer(kWidth, kHeight); }

// A real offscreen window that keeps every show frame it presents.
struct KeptFrames : GlWindow {
    struct Shown { uint32_t t; Frame pixels; };   // music time (ms) and pixels of a frame
    Engine* engine = nullptr;
    std::vector<Shown> shown;
    std::string title;
    std::function<void(Engine&, size_t shown)> events;

    void pollEvents(IWindowEvents&) override {
        if (events) events(*engine, shown.size());
    }
    void presentFrame() override {
        if (engine->cursor() && !engine->quitRequested) shown.push_back({engine->previousTime, backBuffer()});
        GlWindow::presentFrame();
    }
    void setTitle(const char* t) override { title = t, GlWindow::setTitle(t); }
};

// One show from a fresh start, as a process would run it.
struct Show {
    explicit Show(const TempDataFolder& folder) : files(folder.root()) {
        files.init(), window.engine = &engine;
        demo.files = &files;
        demo.display.width = kWidth;
        demo.display.height = kHeight;
    }
    int run(std::function<void(Engine&, size_t shown)> events) {
        window.events = std::move(events);
        return engine.run();
    }
    const Frame* at(uint32_t t) const {
        for (const auto& s : window.shown)
            if (s.t == t) return &s.pixels;
        return nullptr;
    }

    DataFileService files;
    DemoContext     demo;
    EffectRegistry  registry{showEffects()};
    GridClock       clock;
    KeptFrames      window;
    Engine          engine{demo, registry, clock, window};
};

// An effect that draws from the shared random generator and turns the
// shared angles to a rhythm (CubeFloor), one after it and one overlapping
// the cut (Flash): any state that survives a restart shows in their frames.
void writeShow(const TempDataFolder& folder) {
    std::vector<uint8_t> checker(32 * 32 * 3);
    for (size_t i = 0; i < checker.size(); ++i) checker[i] = uint8_t((i / 3 % 32 / 4 + i / 96 / 4) % 2 ? 230 : 40);
    folder.writePicture("cubef/textura.png", 32, 32, 3, checker);
    folder.writePicture("tunnel/textura.png", 32, 32, 3, checker);
    folder.writeSolidPicture("layers/9_fondo.png", 16, 16, 3, 0x102030FFu);
    folder.writeSolidPicture("layers/9_mascara.png", 16, 16, 3, 0xFFFFFFFFu);
    folder.writeSolidPicture("layers/9_damunt.png", 16, 16, 3, 0x000000FFu);
    folder.writeScript({"FXTIME CubeFloor 0 1000", "FXTIME Tunnel 1000 2000", "FXTIME Flash 900 1100"});
}

// Seeking forward and back, and starting further in, land on the frames a
// fresh run shows at those times; the overlay changes only its own rows while
// it is on, and no frame after it is switched off.
TEST(Player, SeeksStartPositionsAndTheOverlayKeepTheFramesOfAFreshRun) {
    TempDataFolder folder;
    writeShow(folder);
    Show reference(folder);
    reference.run([](Engine& e, size_t shown) { if (shown == 95) e.onKeyDown(kKeyEscape); });
    HLV_REQUIRE_DEVICE(!reference.window.shown.empty(), "no offscreen GL window");

    Show player(folder);
    player.run([](Engine& e, size_t shown) {
        if (shown == 5 || shown == 10) e.onKeyDown(kKeyF1);
        if (shown == 40) e.control().setPosition(1500);   // forward, over the cut and the flash
        if (shown == 43) e.control().setPosition(500);    // back, into the random floor
        if (shown == 47) e.onKeyDown(kKeyEscape);
    });
    ASSERT_EQ(player.window.shown.size(), 47u);
    const long band = long(kWidth) * 4 * 40;   // the overlay's rows, at the top
    for (size_t i = 0; i < 40; ++i) {
        SCOPED_TRACE(i);
        const Frame& a = reference.window.shown[i].pixels;
        const Frame& b = player.window.shown[i].pixels;
        EXPECT_TRUE(std::equal(a.begin() + band, a.end(), b.begin() + band));
        EXPECT_EQ(a == b, i < 5 || i >= 10);
    }
    const std::vector<uint32_t> landed = {1500, 1516, 1533, 500, 516, 533, 550};
    for (size_t i = 0; i < landed.size(); ++i) {
        const KeptFrames::Shown& s = player.window.shown[40 + i];
        SCOPED_TRACE(s.t);
        EXPECT_EQ(s.t, landed[i]);
        ASSERT_NE(reference.at(s.t), nullptr);
        EXPECT_TRUE(s.pixels == *reference.at(s.t)) << "differs from the fresh run";
    }
    EXPECT_FALSE(player.window.shown[40].pixels == player.window.shown[43].pixels);

    Show later(folder);
    later.engine.control().setPosition(1200);
    later.run([](Engine& e, size_t shown) { if (shown == 2) e.onKeyDown(kKeyEscape); });
    ASSERT_EQ(later.window.shown.size(), 2u);
    EXPECT_EQ(later.window.shown[0].t, 1200u);
    EXPECT_TRUE(later.window.shown[0].pixels == *reference.at(1200));
    EXPECT_EQ(later.clock.calls, (std::vector<std::string>{"start ", "position 1200", "close"}));
}

// Space stops the clock and keeps the picture; a seek while paused shows the
// new place and stays paused; Space again plays on.
TEST(Player, PauseHoldsThePictureAndTheClock) {
    TempDataFolder folder;
    writeShow(folder);
    folder.writeScript({"FXTIME CubeFloor 0 10000"});
    Show show(folder);
    int readingsAt7 = -1, readingsAt9 = -1;
    uint32_t pausedAt = 0;
    show.run([&](Engine& e, size_t shown) {
        if (shown == 5) e.onKeyDown(kKeySpace), pausedAt = e.previousTime;
        if (shown == 7) readingsAt7 = show.clock.readings;
        if (shown == 9) readingsAt9 = show.clock.readings, e.onKeyDown(kKeyRight);
        if (shown == 12) e.onKeyDown(kKeySpace);
        if (shown == 14) e.onKeyDown(kKeyEscape);
    });
    const auto& shown = show.window.shown;
    HLV_REQUIRE_DEVICE(!shown.empty(), "no offscreen GL window");
    ASSERT_EQ(shown.size(), 14u);
    EXPECT_TRUE(shown[6].pixels == shown[7].pixels && shown[7].pixels == shown[8].pixels);
    EXPECT_EQ(readingsAt7, readingsAt9) << "the paused show reads no time";
    EXPECT_EQ(shown[8].t, pausedAt);
    // Right while paused: one frame at the new place, held.
    EXPECT_EQ(shown[9].t, pausedAt + 5000);
    EXPECT_TRUE(shown[10].pixels == shown[11].pixels);
    EXPECT_FALSE(shown[9].pixels == shown[8].pixels);
    EXPECT_GT(shown[13].t, shown[12].t);
    EXPECT_EQ(show.clock.calls, (std::vector<std::string>{"start ", "pause", "position " + std::to_string(pausedAt + 5000), "resume", "close"}));
}

// F5 after a script change plays the new schedule where the show was; an
// edit that no longer loads (a script, then a picture) leaves the show as it
// was, paused, and says why; the mended folder loads, still paused.
TEST(Player, ReloadTakesTheNewScheduleAndRefusesABrokenEdit) {
    TempDataFolder folder;
    folder.writeScript({"FXTIME Flash 0 100000"}, "one.mod");
    const std::vector<uint8_t> grey(16 * 16 * 3, 128);
    folder.writePicture("final.png", 16, 16, 3, grey);
    Show show(folder);
    std::vector<std::string> seen;   // the current row's effect and the title, before each edit
    uint32_t reloadedAt = 0, pausedAt = 0;
    show.run([&](Engine& e, size_t shown) {
        if (shown % 2 || shown < 4) return;
        const IEffect* current = e.cursor()->effect;
        if (shown > 4) seen.push_back(std::string(current ? current->name : "none") + ": " + show.window.title);
        if (shown == 4) folder.writeScript({"FXTIME Final 0 100000"}, "two.mod"), reloadedAt = e.previousTime;
        if (shown == 6) folder.write("hlv.txt", std::string("INI_O1\n"));
        if (shown == 8) folder.writeScript({"FXTIME Final 0 100000"}, "two.mod"), folder.write("final.png", "not a picture");
        if (shown == 10) folder.writePicture("final.png", 16, 16, 3, grey), pausedAt = e.previousTime;
        e.onKeyDown(shown == 12 ? kKeyEscape : kKeyF5);
    });
    HLV_REQUIRE_DEVICE(!show.window.shown.empty(), "no offscreen GL window");
    const std::string title = "Halvoren / Tarnwell";
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "Final: " + title, "Final: " + title + " - script \"hlv.txt\": does not start with INI_01 "
                                                               "(it starts with \"INI_O1\")",
                        "Final: " + title + " - picture \"final.png\": not decodable (not a PNG file)", "Final: " + title}));
    EXPECT_EQ(show.clock.calls, (std::vector<std::string>{"start one.mod", "close", "start two.mod", "position " + std::to_string(reloadedAt),
                                 "pause", "pause", "close", "start two.mod", "pause", "position " + std::to_string(pausedAt), "close"}));
    const auto& shown = show.window.shown;
    EXPECT_TRUE(shown[7].pixels == shown[9].pixels) << "the refused edits keep the picture";
    EXPECT_EQ(shown.back().t, shown[7].t) << "and the time, through the reload that works";
}

// The overlay and the held frame put back every piece of GL state they touch.
TEST(Player, OverlayAndHeldFrameLeaveTheGlStateAlone) {
    HeadlessGl gl(kWidth, kHeight);
    HLV_REQUIRE_GL(gl);
    setUnusualGlState();
    // The pixels must not be textured, nor the unit left off.
    glActiveTexture(GL_TEXTURE1);
    glEnable(GL_TEXTURE_2D);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    glEnable(GL_SCISSOR_TEST);
    const GlState before = GlState::capture();
    const Frame plain = backBuffer();
    HeldFrame held;
    held.keep(kWidth, kHeight);
    drawShowOverlay({"00:01.000  60.0 fps", "row 1  CubeFloor  0-1000"}, kWidth, kHeight);
    EXPECT_FALSE(backBuffer() == plain) << "the overlay drew";
    EXPECT_EQ(GlState::capture().diff(before), "");
    held.draw();
    EXPECT_TRUE(backBuffer() == plain) << "the held frame comes back as it was";
    EXPECT_EQ(GlState::capture().diff(before), "");
    // A caller's full attribute stack makes the held frame's own push fail;
    // the unit it found active must still be active after it.
    GLint depth = 0;
    glGetIntegerv(GL_MAX_ATTRIB_STACK_DEPTH, &depth);
    for (GLint i = 0; i < depth; ++i) glPushAttrib(GL_ALL_ATTRIB_BITS);
    glActiveTexture(GL_TEXTURE2);
    const GlState full = GlState::capture();
    held.draw();
    EXPECT_EQ(GlState::capture().diff(full), "");
}

// What the overlay says: the time, bar and beat of a module (four rows a
// beat, four beats a bar; 120 ms rows here, so rows 0, 6, 18 and 60) and
// the rows drawing now.
TEST(Player, OverlayNamesTheTimeTheBeatAndTheRowsDrawing) {
    TempDataFolder folder;
    folder.write("tune.mod", makeTinyMod(64, 6));
    DataFileService files(folder.root());
    MusicBars bars;
    bars.open("tune.mod", files);
    // Mid-row times: libopenmpt places a seek to within a tick of the row.
    const std::vector<std::string> beats = {bars.at(60), bars.at(780), bars.at(2220), bars.at(7260)};
    EXPECT_EQ(beats, (std::vector<std::string>{"bar 1 beat 1", "bar 1 beat 2", "bar 2 beat 1", "bar 4 beat 4"}));

    IEffect a("A"), b("B"), c("C");
    const TimelineEntry rows[] = {{&a, 0, 1000}, {&b, 500, 800}, {&c, 900, 2000}, {}};
    EXPECT_EQ(overlayLines(83456, "bar 2 beat 1", rows, &rows[0], -1, true),
              (std::vector<std::string>{"01:23.456  bar 2 beat 1  paused", "row 1  A  0-1000"}));
    EXPECT_EQ(overlayLines(600, "", rows, &rows[0], 59.94, false),
              (std::vector<std::string>{"00:00.600  59.9 fps", "row 1  A  0-1000", "row 2  B  500-800"}));
}

}  // namespace
