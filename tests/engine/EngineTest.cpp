// The frame loop driven by a scripted clock and recording effects, on a real
// headless GL context (the loop clears and the loading screen draws).
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "GlState.h"
#include "TestSupport.h"
#include "engine/EffectRegistry.h"
#include "engine/Engine.h"
#include "resources/DataFile.h"

namespace {

using Log = std::vector<std::string>;
Log gLog;   // what the effects and devices did in the last show, in order

struct RecordingEffect : IEffect {
    using IEffect::IEffect;
    void render(uint32_t t, uint32_t delta) override { note(".render(" + std::to_string(t) + "," + std::to_string(delta) + ")"); }
    void start() override { note(".start"); }
    void init() override { note(".init"); }
    void release() override { note(".release"); }
    void note(const std::string& what) { gLog.push_back(name + what); }
};

template <char Name>
std::unique_ptr<IEffect> recording(DemoContext&) {
    static const char name[] = {Name, '\0'};
    return std::make_unique<RecordingEffect>(name);
}

// Clock and window in one, on a real offscreen context: hands out the scripted times
// in turn, repeating the last; the hooks inject events and look at each frame.
struct Script : IDemoClock, IDisplay {
    std::vector<uint32_t> times;
    size_t next = 0;   // clock readings taken
    int frames = 0;    // presented so far
    bool windowAsked = false, refuseWindow = false, glOk = false, watched = true;
    Engine* engine = nullptr;   // the one polling; the hooks look at its state
    std::function<void(Engine&, int frame)> events;
    std::function<void()> onPresent;

    void startMusic(const char*) override { gLog.push_back("music.start"); }
    uint32_t readClock() override { return times[std::min(next++, times.size() - 1)]; }
    void stopSong() override { gLog.push_back("music.stop"); }
    void closeMusic() override { gLog.push_back("music.close"); }
    bool createWindow(const char*, const DisplayChoice&) override { return windowAsked = true, !refuseWindow && glOk; }
    void pollEvents(IWindowEvents&) override { if (events) events(*engine, frames); }
    void presentFrame() override { if (onPresent) onPresent(); ++frames; }
    bool frameWouldBeSeen() override { return watched; }
    void destroyContext() override { gLog.push_back("display.destroy"); }
};

class EngineTest : public ::testing::Test {
protected:
    int runShow(const std::vector<std::string>& lines, std::vector<uint32_t> times) {
        gLog.clear();
        folder.writeScript(lines);
        files = std::make_unique<DataFileService>(folder.root());
        demo.files = files.get();
        registry = std::make_unique<EffectRegistry>(std::vector<EffectFactory>{recording<'A'>, recording<'B'>, recording<'C'>});
        script.times = std::move(times), script.next = 0, script.frames = 0, script.glOk = gl.ok();
        engine = std::make_unique<Engine>(demo, *registry, script, script);
        script.engine = engine.get();
        return engine->run();
    }

    hlvtest::HeadlessGl gl{32, 24};
    hlvtest::TempDataFolder folder;
    std::unique_ptr<DataFileService> files;
    DemoContext demo;
    std::unique_ptr<EffectRegistry> registry;
    Script script;
    std::unique_ptr<Engine> engine;
};

// What each show frame starts and renders, and how the show ends.
TEST_F(EngineTest, ScheduleTraces) {
    HLV_REQUIRE_GL(gl);
    const struct {
        std::vector<std::string> script;
        std::vector<uint32_t> times;
        Log want;
    } cases[] = {
        // Overlapping entries draw over the current one, which restarts next frame;
        // at the cut to B with that restart pending, B starts twice.
        {{"FXTIME A 0 5000", "FXTIME B 4000 6000"}, {4500, 4600, 5000, 6000},
         {"A.start", "A.render(4500,4500)", "B.start", "B.render(4500,4500)", "A.start", "A.render(4600,100)",
          "B.start", "B.render(4600,100)", "B.start", "B.start", "B.render(5000,400)", "music.close", "A.release",
          "B.release", "display.destroy"}},
        // At 1000, B's window (1000, 2000] is not open yet and C's (500, 1000] still
        // is; the show goes on at 168500 and stops the song at 168501.
        {{"FXTIME A 0 200000", "FXTIME B 1000 2000", "FXTIME C 500 1000"}, {1000, 168500, 168501, 170000},
         {"A.start", "A.render(1000,1000)", "C.start", "C.render(1000,1000)", "A.start", "A.render(168500,167500)",
          "music.stop", "music.close", "A.release", "B.release", "C.release", "display.destroy"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script.back());
        EXPECT_EQ(0, runShow(c.script, c.times));
        const auto started = std::find(gLog.begin(), gLog.end(), "music.start");
        ASSERT_NE(started, gLog.end()) << "the music never started";
        EXPECT_EQ(Log(started + 1, gLog.end()), c.want);
    }
}

// Loading frames no one would see are neither drawn nor presented, yet each
// init finds the GL state, and the show's first frame the picture too, of a
// loading whose every frame was drawn.
TEST_F(EngineTest, UnseenLoadingFramesLeaveWhatDrawnOnesLeave) {
    HLV_REQUIRE_GL(gl);
    demo.display = gl.choice();
    std::vector<uint8_t> picture;
    std::vector<std::vector<float>> states;   // as each poll finds it, the bound texture named by its slot
    int loadingPresents = -1;
    script.events = [&](Engine& e, int frame) {
        if (loadingPresents >= 0) return;
        states.emplace_back();
        for (auto& [name, value] : hlvtest::GlState::capture().fields) {
            if (std::string(name) == "boundTexture")   // texture names differ from show to show
                value[0] = value[0] == float(e.imageSlotTextures[1]);
            states.back().insert(states.back().end(), value.begin(), value.end());
        }
        if (!e.cursor()) return;
        picture = gl.readPixels();
        loadingPresents = frame;
    };
    const std::vector<std::string> show = {"FXTIME A 0 1000", "FXTIME B 0 1000", "FXTIME C 0 1000"};
    hlvtest::setUnusualGlState();   // an init may leave anything behind
    runShow(show, {0, 2000});
    const std::vector<uint8_t> drawnPicture = picture;
    const std::vector<std::vector<float>> drawnStates = states;
    EXPECT_EQ(4, loadingPresents);   // before the first init and after each

    glClearColor(1, 0, 1, 1);   // whatever an earlier show left
    glClear(GL_COLOR_BUFFER_BIT);
    hlvtest::setUnusualGlState();
    script.watched = false;
    states.clear();
    loadingPresents = -1;
    runShow(show, {0, 2000});
    EXPECT_EQ(0, loadingPresents);
    EXPECT_TRUE(picture == drawnPicture);
    EXPECT_TRUE(states == drawnStates);
}

TEST_F(EngineTest, ACutResetsTheSharedAngles) {
    HLV_REQUIRE_GL(gl);
    std::vector<float> sums;
    script.onPresent = [&] { if (engine->cursor()) sums.push_back(demo.angles.angleX + demo.angles.angleY + demo.angles.angleZ); };
    demo.angles = {10, 20, 30};
    runShow({"FXTIME A 0 100", "FXTIME B 100 1000"}, {0, 500, 1000});
    EXPECT_EQ(sums, (std::vector<float>{60, 0, 0}));
}

// Escape while loading lets the first pass finish, each effect initialised
// once however often it is scheduled, but renders no show frame; closing the
// window mid-show ends it at the next frame; without a window the show stops
// there and frees nothing.
TEST_F(EngineTest, EscapeCloseOrNoWindowEndsTheShow) {
    HLV_REQUIRE_GL(gl);
    std::vector<float> progress;
    script.events = [&](Engine& e, int frame) {
        if (!e.cursor()) progress.push_back(e.loadProgress);
        if (frame == 1) e.onKeyDown(kKeyEscape);
    };
    runShow({"FXTIME A 0 1000", "FXTIME B 1000 2000", "FXTIME A 2000 2500", "FXTIME A 2500 2800", "FXTIME C 2800 3000"}, {0});
    EXPECT_EQ(gLog, (Log{"A.init", "B.init", "C.init", "music.start", "music.close", "A.release",
                        "B.release", "C.release", "display.destroy"}));
    EXPECT_EQ(0u, script.next) << "no show frame was rendered";
    // One poll before the pass, then one per distinct effect, the bar growing each time.
    EXPECT_EQ(4u, progress.size());
    EXPECT_TRUE(std::adjacent_find(progress.begin(), progress.end(), std::greater_equal<float>()) == progress.end());
    script.events = [](Engine& e, int frame) { if (frame == 4) e.onDestroy(); };
    runShow({"FXTIME A 0 100000"}, {0, 10, 20, 30, 40});
    EXPECT_EQ(2, std::count_if(gLog.begin(), gLog.end(), [](auto& s) { return s.rfind("A.render", 0) == 0; }));
    script.refuseWindow = true;
    EXPECT_EQ(255, runShow({"FXTIME A 0 1000"}, {0}));
    EXPECT_TRUE(script.windowAsked && gLog.empty());
}

}  // namespace
