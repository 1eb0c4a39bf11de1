// The default content: written the same every time, readable by the show's
// own loaders, and a timeline the frame loop walks the way the story needs.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Content.h"
#include "TestSupport.h"
#include "ToolRuns.h"
#include "effects/ContentTexts.h"
#include "effects/ShowEffects.h"
#include "engine/EffectRegistry.h"
#include "engine/Engine.h"
#include "engine/LoadingScreen.h"
#include "engine/Timeline.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

namespace fs = std::filesystem;

namespace {

constexpr int kLayerSets[] = {1, 2, 3, 4, 5, 6, 8, 9};

using RenderLog = std::map<std::string, std::vector<uint32_t>>;   // effect -> music time of each render, ms

struct Dummy : IEffect {
    Dummy(const char* name, RenderLog& log) : IEffect(name), log(log) {}
    void render(uint32_t t, uint32_t) override { log[name].push_back(t); }
    RenderLog& log;
};

// The show's effect names, each standing in for the effect of that name.
std::unique_ptr<EffectRegistry> dummyRegistry(RenderLog& log) {
    DemoContext demo;
    EffectRegistry show(showEffects());
    show.registerAll(demo);
    auto registry = std::make_unique<EffectRegistry>(std::vector<EffectFactory>{});
    for (size_t i = 0; i < show.size(); ++i) registry->add(std::make_unique<Dummy>(show.at(i)->name, log));
    return registry;
}

// The real engine over the content, on a music clock the test sets and a
// display that shows nothing.
struct OfflineShow : IDemoClock, IDisplay {
    uint32_t now = 0;   // ms of music time
    DataFileService files;
    std::unique_ptr<EffectRegistry> registry;
    DemoContext demo;
    Engine engine{demo, *registry, *this, *this};
    OfflineShow(const std::string& root, RenderLog& log) : files(root), registry(dummyRegistry(log)) { demo.files = &files; }
    uint32_t readClock() override { return now; }
    bool createWindow(const char*, const DisplayChoice&) override { return true; }
    void startMusic(const char*) override {}
    void stopSong() override {}
    void closeMusic() override {}
    void pollEvents(IWindowEvents&) override {}
    void presentFrame() override {}
    void destroyContext() override {}
    bool load() { return loadScript(engine.schedule, "hlv.txt", files, *registry); }
};

// A walk of the real frame loop over the script: each row as it became
// current (its index, effect, end and the frame's clock), and every render.
struct Walk {
    struct Visit { int row; std::string name; uint32_t end, when; };
    RenderLog log;
    std::vector<Visit> visits;
    uint32_t quitAt = 0;   // clock of the last frame
};

// Decoded pixels of one picture, for looking at what it shows.
struct Pixels {
    PixelImage image;
    Pixels(const std::string& name, const std::string& root) {
        DataFileService files(root);
        decodeImage(image, name.c_str(), files);
    }
    ~Pixels() { freeBlock(image.pixels); }
    const uint8_t* at(int x, int y) const { return image.pixels + (size_t(y) * image.width + x) * image.bytesPerPixel; }
    double luminance(int x, int y) const { return (0.3 * at(x, y)[0] + 0.59 * at(x, y)[1] + 0.11 * at(x, y)[2]) / 255.0; }
};

// f(x, y) summed over every pixel of a picture.
template <class F> double sum(const Pixels& p, F f) {
    double total = 0.0;
    for (int y = 0; y < p.image.height; ++y)
        for (int x = 0; x < p.image.width; ++x) total += f(x, y);
    return total;
}

// The content, made once for the whole suite (it takes a few seconds), and
// its script parsed with every effect registered.
struct Made {
    hlvtest::TempDataFolder folder;
    std::string error;
    RenderLog log;
    std::optional<OfflineShow> show;
    bool parsed = false;
    Made() {
        if (gen::writeContent(folder.root(), &error)) parsed = show.emplace(folder.root(), log).load();
    }
};

class ContentTest : public ::testing::Test {
protected:
    static const Made& made() { static const Made m; return m; }
    void SetUp() override { ASSERT_TRUE(made().parsed) << made().error; }
    static std::string root() { return made().folder.root(); }

    // One frame every stepMs.
    static void walk(uint32_t stepMs, Walk& w) {
        hlvtest::HeadlessGl gl;
        HLV_REQUIRE_GL(gl);
        OfflineShow show(root(), w.log);
        ASSERT_TRUE(show.load());
        Engine& engine = show.engine;
        engine.scheduleCursor = &engine.schedule.entries[0];
        engine.showPrepared = true;
        for (uint32_t t = 0; !engine.quitRequested && t < 200000; t += stepMs) {
            show.now = t;
            engine.renderFrame();
            const int row = int(engine.cursor() - engine.schedule.entries);
            const TimelineEntry& e = *engine.cursor();
            if (w.visits.empty() || w.visits.back().row != row) w.visits.push_back({row, e.effect ? e.effect->name : "", e.end, t});
            w.quitAt = t;
        }
    }
};

// Every data file, by name.
std::map<std::string, std::string> tree(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root + "data"))
        if (e.is_regular_file()) files[fs::relative(e.path(), root + "data").generic_string()] = hlvtools::readFile(e.path());
    return files;
}

TEST_F(ContentTest, TwoRunsWriteTheSameBytesAndEveryPictureDecodesWithTheShowsLoader) {
    hlvtest::TempDataFolder second;
    std::string error;
    ASSERT_TRUE(gen::writeContent(second.root(), &error)) << error;
    const auto first = tree(root()), again = tree(second.root());
    EXPECT_EQ(first.size(), again.size());
    DataFileService files(root());
    for (const auto& [name, bytes] : first) {
        EXPECT_TRUE(again.count(name) && again.at(name) == bytes) << name << " differs between runs";
        const std::string ext = fs::path(name).extension().string();
        if (ext != ".png" && ext != ".jpg") continue;
        PixelImage image;
        ASSERT_NO_THROW(decodeImage(image, name.c_str(), files)) << name;
        freeBlock(image.pixels);
    }
}

// Coarse frames are the hard case: a row must still become current before it
// ends, and each scene must still last as long as its effect needs.
TEST_F(ContentTest, FrameLoopWalksEveryRowWhileItIsOpenAndScenesLastLongEnough) {
    constexpr uint32_t kStep = 41;
    Walk w;
    walk(kStep, w);
    if (IsSkipped()) return;
    ASSERT_FALSE(w.visits.empty());
    // The cursor takes every scene in turn while it is still open; the
    // flashes are only ever drawn over them.
    for (size_t i = 0; i < w.visits.size(); ++i) {
        EXPECT_EQ(int(i), w.visits[i].row);
        EXPECT_LT(w.visits[i].when, w.visits[i].end) << w.visits[i].name << " came late";
        EXPECT_NE("Flash", w.visits[i].name);
    }
    EXPECT_EQ("Final", w.visits.back().name);
    EXPECT_TRUE(w.quitAt > kShowEndMs - kStep && w.quitAt <= kShowEndMs + kStep) << "the show ended at " << w.quitAt;
    const EffectRegistry& effects = *made().show->registry;
    for (size_t i = 0; i < effects.size(); ++i)
        ASSERT_FALSE(w.log[effects.at(i)->name].empty()) << effects.at(i)->name << " never drawn";

    // Greetings: a name whenever more than 1.5 s passed; all 23 get a second.
    std::vector<uint32_t> shownFrom = {0};   // [n]: when name n appeared
    uint32_t lastStep = 150;
    for (const uint32_t t : w.log["Greetings"])
        if (t > lastStep + 1500) shownFrom.push_back(lastStep = t);
    ASSERT_GT(shownFrom.size(), size_t(content::kGreetedNames));
    const uint32_t lastNameEnds = shownFrom.size() > 24 ? shownFrom[24] : w.log["Greetings"].back();
    EXPECT_GT(lastNameEnds - shownFrom[23], 1000u) << "the last greeting flashes by";

    // Credits: three pages need 25 s of music time on screen.
    EXPECT_GE(w.log["Credits"].back() - w.log["Credits"].front(), 25000u - 100u);
}

// The loading bar as the engine leaves it once the script's effects are
// initialised: drawn over black with nothing on top, which shows where it
// lies, then over the content's own pictures, where the overlay must leave
// it as it was and the backdrop behind it must be dim.
TEST_F(ContentTest, LoadingOverlayLeavesTheProgressBarShowing) {
    hlvtest::HeadlessGl gl(512, 512);
    HLV_REQUIRE_GL(gl);
    RenderLog log;
    OfflineShow show(root(), log);
    ASSERT_TRUE(show.load());
    show.engine.initPass();

    hlvtest::TempDataFolder blank;
    blank.writeSolidPicture("black.png", 4, 4, 3, 0x000000FFu);
    blank.writeSolidPicture("clear.png", 4, 4, 4, 0x00000000u);
    DataFileService blanks(blank.root());
    drawLoadingScreen(loadTexture("black.png", blanks), loadTexture("clear.png", blanks), show.engine.loadProgress);
    const std::vector<uint8_t> bar = gl.readPixels();
    drawLoadingScreen(loadTexture("loading/fondo.png", show.files), loadTexture("loading/damunt.png", show.files),
                      show.engine.loadProgress);
    const std::vector<uint8_t> shown = gl.readPixels();

    Pixels back("loading/fondo.png", root());
    ASSERT_TRUE(back.image.width == 512 && back.image.height == 512);
    auto inBar = [&](int x, int y) { const uint8_t* p = &bar[(size_t(y) * 512 + x) * 4]; return p[0] + p[1] + p[2] > 0; };
    auto same = [&](int x, int y) { return std::equal(&bar[(size_t(y) * 512 + x) * 4], &bar[(size_t(y) * 512 + x) * 4 + 3],
                                                      &shown[(size_t(y) * 512 + x) * 4]); };
    ASSERT_GT(sum(back, inBar), 0) << "no bar drawn";
    EXPECT_EQ(sum(back, [&](int x, int y) { return inBar(x, y) && !same(x, y); }), 0)
        << "the overlay hides part of the progress bar";
    const double behind = sum(back, [&](int x, int y) { return inBar(x, y) ? back.luminance(x, y) : 0.0; });
    EXPECT_LT(behind / sum(back, inBar), 0.12) << "the bar's dim blue would not stand out";
}

// The scenes behind the layers and the flares' squares: what a picture lays
// over must let the rest show; so must the canyon's ground.
TEST_F(ContentTest, LayersFlaresAndTheHeightMapLetWhatIsBehindShow) {
    for (int n : kLayerSets) {
        SCOPED_TRACE("layer set " + std::to_string(n));
        const std::string stem = "layers/" + std::to_string(n);
        Pixels mask(stem + "_mascara.png", root()), fg(stem + "_damunt.png", root()), bg(stem + "_fondo.png", root());
        auto m = [&](int x, int y) { return mask.at(x, y)[1]; };
        EXPECT_GT(sum(mask, [&](int x, int y) { return m(x, y) < 128; }), 512 * 512 / 50) << "the frame is hardly there";
        // Where the scene shows untouched, the foreground adds nothing but
        // the halos of its strokes; the screen's middle belongs to the scene.
        EXPECT_GT(sum(mask, [&](int x, int y) { return m(x, y) >= 250 && fg.at(x, y)[1] < 16; }),
                  0.95 * sum(mask, [&](int x, int y) { return m(x, y) >= 250; }));
        EXPECT_TRUE(m(256, 256) > 230 && fg.at(256, 256)[1] < 8);
        // Dim enough that the effects' faint additive scenes read over it.
        EXPECT_LT(sum(bg, [&](int x, int y) { return bg.luminance(x, y); }) / (512.0 * 512.0), 0.15);
    }
    for (const char* name : {"cflare/FLARE.png", "sphereb/FLARE.png"}) {
        Pixels flare(name, root());
        const double n = flare.image.width;
        EXPECT_GT(flare.at(n / 2, n / 2)[0], 200) << name;
        EXPECT_EQ(sum(flare, [&](int x, int y) {
                      return std::hypot(x + 0.5 - n / 2, y + 0.5 - n / 2) >= 0.98 * n / 2 &&
                             std::max({flare.at(x, y)[0], flare.at(x, y)[1], flare.at(x, y)[2]}) > 2;
                  }), 0) << name << ": the sprite's square would show";
    }

    const std::string map = hlvtools::readFile(root() + "data/velm/canon.raw");
    ASSERT_EQ(map.size(), 512u * 512u);
    // The effect samples every fifth row and column; its camera stands at
    // x = 0, z = 1 (row 281, column 256) at height 2.4, i.e. byte 120.  The
    // mesh joins its far edges to the near ones with triangles that face
    // down: they must stay below the camera to stay culled.
    int peaks = 0;
    for (int r = 0; r <= 505; r += 5)
        for (int c = 0; c <= 505; c += 5) {
            const uint8_t h = map[size_t(r) * 512 + c];
            const bool nearCamera = std::hypot((c - 256) * 0.04, (r - 256) * 0.04 - 1.0) < 2.0;
            const bool border = r == 0 || r == 505 || c == 0 || c == 505;
            EXPECT_FALSE((nearCamera || border) && h >= 100) << (border ? "border " : "ground at the camera ") << r << "," << c;
            peaks += h > 160;
        }
    EXPECT_GT(peaks, 100) << "no hills rise above the camera";
}

}  // namespace
