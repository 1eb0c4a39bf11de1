// The default content: written the same every time, readable by the show's
// own loaders, and a timeline the frame loop walks the way the story needs.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Content.h"
#include "TestSupport.h"
#include "Text.h"
#include "effects/ContentTexts.h"
#include "engine/EffectRegistry.h"
#include "engine/Engine.h"
#include "engine/Timeline.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kRegisteredNames[] = {
    "Null",   "Flash", "VelmorFX", "Present",  "CubeMorph", "CubeFloor", "CFlare",     "604Effect", "Credits",
    "Column", "Lines", "KnotPQ",   "Greetings", "Tunnel",   "Metaballs", "SphereBump", "Final"};
constexpr uint32_t kShowEndMs = 168500;
constexpr double kBeatMs = 60000.0 / 84.0;

// Every render of every effect, with the clock and whether it was the current row.
struct RenderLog {
    struct Entry {
        uint32_t t, delta;
        bool current;
    };
    std::map<std::string, std::vector<Entry>> byEffect;
    const Engine* engine = nullptr;
};

class Dummy : public IEffect {
public:
    Dummy(const char* name, RenderLog* log) : IEffect(name), log_(log) {}
    void render(uint32_t t, uint32_t delta) override {
        const bool current = log_->engine && log_->engine->cursor()->effect == this;
        log_->byEffect[name].push_back({t, delta, current});
    }

private:
    RenderLog* log_;
};

// Every registered name but the missing ones, as a build that lacks them would have.
std::unique_ptr<EffectRegistry> dummyRegistry(RenderLog* log, const std::set<std::string>& missing = {}) {
    auto registry = std::make_unique<EffectRegistry>(std::vector<EffectFactory>{});
    for (const char* n : kRegisteredNames)
        if (!missing.count(n)) registry->add(std::make_unique<Dummy>(n, log));
    return registry;
}

std::vector<uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::map<std::string, std::vector<uint8_t>> readTree(const fs::path& root) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = readFile(e.path());
    return files;
}

class FixedClock : public IDemoClock {
public:
    uint32_t now = 0;
    void startMusic(const char*) override {}
    uint32_t readClock() override { return now; }
    void stopSong() override {}
    void closeMusic() override {}
};

class SilentDisplay : public IDisplay {
public:
    bool createWindow(const char*, const DisplayChoice&) override { return true; }
    void pollEvents(Engine&) override {}
    void presentFrame() override {}
    void destroyContext() override {}
};

// The content is made once for the whole suite: it takes a few seconds.
class ContentTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new hlvtest::TempDataFolder;
        std::string error;
        written_ = gen::writeContent(folder_->root(), &error);
        ASSERT_TRUE(written_) << error;
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(written_); }

    static std::string root() { return folder_->root(); }

    static Schedule parse(const EffectRegistry& registry) {
        Schedule schedule;
        DataFileService files(root());
        EXPECT_TRUE(loadScript(schedule, "hlv.txt", files, registry));
        return schedule;
    }

    // Runs the real frame loop over the script, one frame every stepMs.
    // A row as it became current: the walk's engine is gone afterwards.
    struct Visit {
        int row;            // index in the schedule
        std::string name;   // the row's effect
        uint32_t end;       // the row's end, ms
        uint32_t when;      // clock of the frame it became current
    };

    static void walk(uint32_t stepMs, RenderLog& log, std::vector<Visit>& visits, uint32_t& quitAt,
                     const std::set<std::string>& missing = {}) {
        hlvtest::HeadlessGl gl;
        if (!gl.ok()) GTEST_SKIP() << "no headless GL context";
        auto registry = dummyRegistry(&log, missing);
        DataFileService files(root());
        DemoContext demo;
        demo.files = &files;
        FixedClock clock;
        SilentDisplay display;
        Engine engine(demo, *registry, clock, display);
        log.engine = &engine;
        ASSERT_TRUE(loadScript(engine.schedule, "hlv.txt", files, *registry));
        engine.scheduleCursor = &engine.schedule.entries[0];
        engine.showPrepared = true;
        const TimelineEntry* last = nullptr;
        for (uint32_t t = 0; !engine.quitRequested && t < 200000; t += stepMs) {
            clock.now = t;
            engine.renderFrame();
            if (engine.cursor() != last) {
                last = engine.cursor();
                visits.push_back({int(last - engine.schedule.entries), last->effect ? last->effect->name : "",
                                  last->end, t});
            }
            quitAt = t;
        }
        log.engine = nullptr;
    }

    static hlvtest::TempDataFolder* folder_;
    static bool written_;
};

hlvtest::TempDataFolder* ContentTest::folder_ = nullptr;
bool ContentTest::written_ = false;

TEST_F(ContentTest, TwoRunsWriteTheSameBytesAndVersion) {
    hlvtest::TempDataFolder second;
    std::string error;
    ASSERT_TRUE(gen::writeContent(second.root(), &error)) << error;
    const auto a = readTree(root() + "data"), b = readTree(second.root() + "data");
    ASSERT_EQ(a.size(), b.size());
    for (const auto& [name, bytes] : a) {
        ASSERT_TRUE(b.count(name)) << name;
        EXPECT_TRUE(bytes == b.at(name)) << name << " differs between runs";
    }
    const std::string version = gen::contentVersion();
    EXPECT_EQ(version, gen::contentVersion());
    EXPECT_FALSE(version.empty());
    EXPECT_EQ(version.find('\n'), std::string::npos);
}

TEST_F(ContentTest, ScriptParsesAndUsesEveryRegisteredEffect) {
    RenderLog log;
    auto registry = dummyRegistry(&log);
    const Schedule s = parse(*registry);

    // No line may be dropped: every FXTIME of the file became a row.
    std::ifstream script(root() + "data/hlv.txt");
    std::string line;
    int fxLines = 0;
    while (std::getline(script, line)) fxLines += line.rfind("FXTIME ", 0) == 0;
    EXPECT_EQ(s.scheduleCount, fxLines);

    std::set<std::string> used;
    for (int i = 0; i < s.scheduleCount; ++i) used.insert(s.entries[i].effect->name);
    for (const char* n : kRegisteredNames) EXPECT_TRUE(used.count(n)) << n << " is never scheduled";

    ASSERT_NE(s.musicName[0], '\0');
    EXPECT_TRUE(fs::is_regular_file(root() + "data/" + s.musicName)) << s.musicName;
    const auto music = readFile(root() + "data/" + s.musicName);
    ASSERT_GT(music.size(), 60u);
    EXPECT_EQ(std::string(music.begin(), music.begin() + 17), "Extended Module: ");
}

TEST_F(ContentTest, ScenesAreContiguousAndFlashesStraddleTheirCuts) {
    RenderLog log;
    auto registry = dummyRegistry(&log);
    const Schedule s = parse(*registry);
    uint32_t sceneEnd = 0;
    const TimelineEntry* previousScene = nullptr;
    std::set<uint32_t> cuts;
    int i = 0;
    for (; i < s.scheduleCount && std::string(s.entries[i].effect->name) != "Flash"; ++i) {
        const TimelineEntry& e = s.entries[i];
        ASSERT_LT(e.start, e.end) << "row " << i;
        EXPECT_EQ(e.start, sceneEnd) << e.effect->name << " does not start where the previous scene ends";
        // Cuts fall on the music's beats (the sphere's fade start is 14 ms past one).
        const double beats = e.start / kBeatMs;
        EXPECT_NEAR(beats, std::round(beats), 15.0 / kBeatMs) << e.effect->name << " at " << e.start;
        if (std::string(e.effect->name) == "Lines") {
            ASSERT_NE(previousScene, nullptr);
            const std::string before = previousScene->effect->name;
            EXPECT_TRUE(before == "Column" || before == "CubeMorph")
                << "Lines keeps the projection of " << before;
        }
        if (e.start > 0) cuts.insert(e.start);
        sceneEnd = e.end;
        previousScene = &e;
    }
    ASSERT_NE(previousScene, nullptr);
    EXPECT_GT(sceneEnd, kShowEndMs) << "the last scene must hold until the clock passes the end";

    // Every row after the scenes is a flash around one of their cuts.
    int flashes = 0;
    for (; i < s.scheduleCount; ++i, ++flashes) {
        const TimelineEntry& e = s.entries[i];
        ASSERT_STREQ("Flash", e.effect->name) << "row " << i << " comes after the flashes";
        auto cut = cuts.lower_bound(e.start + 1);
        ASSERT_NE(cut, cuts.end()) << "flash at " << e.start << " marks no cut";
        EXPECT_LT(*cut, e.end) << "flash at " << e.start << " marks no cut";
        EXPECT_GE(e.end - e.start, 150u);
        EXPECT_LE(e.end - e.start, 300u);
    }
    EXPECT_GE(flashes, 8);

    // GL state the effects leave to each other (flashes and black frames
    // draw no texture and change nothing of it).
    const std::set<std::string> leaveUnitOneActive = {"Tunnel", "VelmorFX"};
    const std::set<std::string> useTheActiveUnit = {"KnotPQ", "CFlare", "604Effect", "Column", "CubeFloor"};
    // Effects that choose the active unit themselves: unit 0, or both (last two).
    const std::set<std::string> chooseTheUnit = {"Present",   "CubeMorph",  "Credits", "Greetings",
                                                  "Metaballs", "SphereBump", "Tunnel",  "VelmorFX"};
    const std::set<std::string> switchFogOn = {"Tunnel", "604Effect"};
    std::string units = "Present", fog = "";   // the show starts with both at their defaults
    for (i = 0; i < s.scheduleCount; ++i) {
        const std::string name = s.entries[i].effect->name;
        if (name == "Flash" || name == "Null") continue;
        if (useTheActiveUnit.count(name)) {
            EXPECT_FALSE(leaveUnitOneActive.count(units)) << name << " would texture on the unit " << units << " left";
        }
        if (name == "Metaballs") {
            EXPECT_TRUE(fog.empty()) << "Metaballs would be drawn in the fog of " << fog;
        }
        if (chooseTheUnit.count(name)) units = name;
        if (switchFogOn.count(name)) fog = name;
        if (name == "Column") fog.clear();
    }
    EXPECT_STREQ(s.entries[0].effect->name, "Present");
    EXPECT_EQ(s.entries[0].start, 0u);
    EXPECT_STREQ(previousScene->effect->name, "Final");
}

TEST_F(ContentTest, FrameLoopWalksEveryRowWhileItIsOpen) {
    for (uint32_t step : {16u, 41u}) {
        SCOPED_TRACE("frame step " + std::to_string(step));
        RenderLog log;
        std::vector<Visit> visits;
        uint32_t quitAt = 0;
        walk(step, log, visits, quitAt);
        if (IsSkipped()) return;
        ASSERT_FALSE(visits.empty());
        // The cursor takes every scene in turn while it is still open; the
        // flashes are only ever drawn over them.
        for (size_t i = 0; i < visits.size(); ++i) {
            EXPECT_EQ(int(i), visits[i].row);
            EXPECT_LT(visits[i].when, visits[i].end) << visits[i].name << " came late";
            EXPECT_NE("Flash", visits[i].name);
        }
        EXPECT_EQ("Final", visits.back().name);
        EXPECT_GT(quitAt, kShowEndMs - step) << "the show ended early, at " << quitAt;
        EXPECT_LE(quitAt, kShowEndMs + step) << "the show ended late, at " << quitAt;
        for (const char* n : kRegisteredNames) EXPECT_FALSE(log.byEffect[n].empty()) << n << " never drawn";
    }
}

// A build that lacks some effects drops their lines: their time goes to the
// next scene, never to a flash left on screen.
TEST_F(ContentTest, MissingEffectsHandTheirTimeToTheNextScene) {
    RenderLog log;
    std::vector<Visit> visits;
    uint32_t quitAt = 0;
    walk(20, log, visits, quitAt, {"Present", "VelmorFX", "Lines", "604Effect", "Credits", "Greetings"});
    if (IsSkipped()) return;
    ASSERT_FALSE(visits.empty());
    EXPECT_EQ("Metaballs", visits.front().name) << "the first scene there is takes the start";
    for (const Visit& v : visits) EXPECT_NE("Flash", v.name);
    size_t whiteFrames = log.byEffect["Flash"].size();
    EXPECT_LT(whiteFrames * 20, 12 * 300u) << "flashes stay short";
    EXPECT_GT(quitAt, kShowEndMs - 20);
}

TEST_F(ContentTest, ScenesKeepTheirEffectsConstraints) {
    RenderLog log;
    std::vector<Visit> visits;
    uint32_t quitAt = 0;
    walk(16, log, visits, quitAt);
    if (IsSkipped()) return;

    // Title card: its lines change at 3.5, 7 and 10.5 s of music time.
    const auto& present = log.byEffect["Present"];
    ASSERT_FALSE(present.empty());
    EXPECT_LT(present.front().t, 3500u);
    EXPECT_GT(present.back().t, 11000u);

    // Tunnel: the camera reaches the tube's end after ~66 s of tunnel frames.
    uint32_t tunnelMs = 0;
    for (const auto& r : log.byEffect["Tunnel"]) tunnelMs += r.delta;
    EXPECT_LT(tunnelMs, 60000u);

    // Sphere: its fade is defined from 149.3 s on and it should be seen fading.
    const auto& sphere = log.byEffect["SphereBump"];
    ASSERT_FALSE(sphere.empty());
    EXPECT_GE(sphere.front().t, 149300u);
    EXPECT_GT(sphere.back().t, 160000u);

    // Greetings: a name whenever more than 1.5 s passed; all 23 get a second.
    uint32_t lastStep = 150, steps = 0;
    std::map<uint32_t, uint32_t> shownFrom;
    uint32_t lastFrame = 0;
    for (const auto& r : log.byEffect["Greetings"]) {
        if (r.t > lastStep + 1500) {
            lastStep = r.t;
            shownFrom[++steps] = r.t;
        }
        lastFrame = r.t;
    }
    ASSERT_GE(steps, uint32_t(content::kGreetedNames));
    const uint32_t lastNameEnds = steps > 23u ? shownFrom[24] : lastFrame;
    EXPECT_GT(lastNameEnds - shownFrom[23], 1000u) << "the last greeting flashes by";

    // Credits: three pages, each facing the viewer for a while.  The card's
    // angle follows the music clock; a page turns while its back is shown.
    uint32_t page = 0, creditMs = 0;
    bool armed = true;
    std::map<uint32_t, uint32_t> facingMs;
    uint32_t previous = 0;
    for (const auto& r : log.byEffect["Credits"]) {
        const double a = r.t / 1800.0 / 12.0 * 360.0 * 2.6 - 250.0;
        const uint32_t e = uint32_t(int64_t(a)) % 360u;
        if (previous && (e < 60 || e > 300) && r.t - previous < 100) facingMs[page] += r.t - previous;
        if (e > 180 && e < 200 && armed) {
            ++page;
            armed = false;
        }
        if (e > 220) armed = true;
        if (previous) creditMs += r.t - previous;
        previous = r.t;
    }
    EXPECT_GE(creditMs, 25000u - 100u);
    for (uint32_t p = 0; p < 3; ++p) EXPECT_GT(facingMs[p], 2000u) << "credits page " << p << " is hardly seen";
}

TEST_F(ContentTest, PicturesDecodeWithTheShowsLoaderInTheirShapes) {
    struct Expect {
        std::string name;
        int width, height, bytesPerPixel;
    };
    std::vector<Expect> expected = {
        {"menu.jpg", 512, 359, 3}, {"final.png", 512, 512, 3},
        {"loading/fondo.png", 512, 512, 3}, {"loading/damunt.png", 512, 512, 4}};
    for (const char* t : {"tunnel/textura.png", "pqknot/textura.png", "metaballs/textura.png", "sphereb/textura.png",
                          "sphereb/FLARE.png", "cubem/textura.png", "cubef/textura.png", "column/textura.png",
                          "goa/textura.png", "velm/textura.png", "velm/brillo.png", "cflare/FLARE.png"})
        expected.push_back({t, 256, 256, 3});
    for (int n : {1, 2, 3, 4, 5, 6, 8, 9})
        for (const char* part : {"_fondo.png", "_damunt.png", "_mascara.png"})
            expected.push_back({"layers/" + std::to_string(n) + part, 512, 512, 3});

    // The script's pictures are the ones checked above.
    RenderLog log;
    auto registry = dummyRegistry(&log);
    const Schedule s = parse(*registry);
    EXPECT_STREQ(s.imageSlots[0], "loading/fondo.png");
    EXPECT_STREQ(s.imageSlots[1], "loading/damunt.png");

    DataFileService files(root());
    for (const Expect& e : expected) {
        PixelImage image;
        ASSERT_NO_THROW(decodeImage(image, e.name.c_str(), files)) << e.name;
        EXPECT_EQ(image.width, e.width) << e.name;
        EXPECT_EQ(image.height, e.height) << e.name;
        EXPECT_EQ(image.bytesPerPixel, e.bytesPerPixel) << e.name;
        freeBlock(image.pixels);
    }
}

// Decoded pixels of one picture, for looking at what it shows.
struct Pixels {
    PixelImage image;
    explicit Pixels(const std::string& name, const std::string& root) {
        DataFileService files(root);
        decodeImage(image, name.c_str(), files);
    }
    ~Pixels() { freeBlock(image.pixels); }
    const uint8_t* at(int x, int y) const {
        return image.pixels + (size_t(y) * image.width + x) * image.bytesPerPixel;
    }
    double luminance(int x, int y) const {
        const uint8_t* p = at(x, y);
        return (0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2]) / 255.0;
    }
};

TEST_F(ContentTest, LoadingOverlayIsClearWhereTheBarGrows) {
    Pixels over("loading/damunt.png", root()), back("loading/fondo.png", root());
    // Seventeen initialised effects take the bar's right end to 0.045 + 0.3 * 0.5714.
    const double right = 0.045 + 0.3 * (-0.806 + 17 * 0.0822 - 0.02);
    int covered = 0, opaque = 0;
    double behind = 0.0;
    int behindCount = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            const double nx = (x + 0.5) / 256.0 - 1.0, ny = 1.0 - (y + 0.5) / 256.0;
            const uint8_t alpha = over.at(x, y)[3];
            opaque += alpha > 200;
            if (nx >= -0.219 && nx <= right && ny >= -0.439 && ny <= -0.415) {
                covered += alpha != 0;
                behind += back.luminance(x, y);
                ++behindCount;
            }
        }
    EXPECT_EQ(covered, 0) << "the overlay hides part of the progress bar";
    EXPECT_GT(opaque, 1000) << "the overlay shows nothing";
    ASSERT_GT(behindCount, 0);
    EXPECT_LT(behind / behindCount, 0.12) << "the bar's dim blue would not stand out";
}

TEST_F(ContentTest, LayersFrameTheSceneWithoutHidingIt) {
    for (int n : {1, 2, 3, 4, 5, 6, 8, 9}) {
        SCOPED_TRACE("layer set " + std::to_string(n));
        const std::string stem = "layers/" + std::to_string(n);
        Pixels mask(stem + "_mascara.png", root()), fg(stem + "_damunt.png", root()), bg(stem + "_fondo.png", root());
        int open = 0, framed = 0, clear = 0, clearAndBlack = 0;
        double bgLight = 0.0;
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x) {
                const uint8_t m = mask.at(x, y)[1];
                open += m > 200;
                framed += m < 128;
                if (m >= 250) {
                    ++clear;
                    clearAndBlack += fg.at(x, y)[1] < 16;
                }
                bgLight += bg.luminance(x, y);
            }
        EXPECT_GT(open, 512 * 512 * 3 / 10) << "too little of the scene shows";
        // Where the scene shows untouched, the foreground adds nothing but
        // the halos of its strokes.
        EXPECT_GT(clearAndBlack, clear * 95 / 100);
        EXPECT_GT(framed, 512 * 512 / 50) << "the frame is hardly there";
        // The screen's middle belongs to the scene.
        EXPECT_GT(mask.at(256, 256)[1], 230);
        EXPECT_LT(fg.at(256, 256)[1], 8);
        // Dim enough that the effects' faint additive scenes read over it.
        EXPECT_LT(bgLight / (512.0 * 512.0), 0.15);
    }
}

TEST_F(ContentTest, FlaresFadeToBlackBeforeTheirEdge) {
    for (const char* name : {"cflare/FLARE.png", "sphereb/FLARE.png"}) {
        Pixels flare(name, root());
        const int n = flare.image.width;
        EXPECT_GT(flare.at(n / 2, n / 2)[0], 200) << name;
        int lit = 0;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const double dx = x + 0.5 - n / 2.0, dy = y + 0.5 - n / 2.0;
                if (std::sqrt(dx * dx + dy * dy) >= 0.98 * n / 2.0)
                    lit += std::max({flare.at(x, y)[0], flare.at(x, y)[1], flare.at(x, y)[2]}) > 2;
            }
        EXPECT_EQ(lit, 0) << name << ": the sprite's square would show";
    }
}

TEST_F(ContentTest, RepeatedTexturesTileWithoutSeams) {
    for (const char* name : {"tunnel/textura.png", "goa/textura.png", "cubem/textura.png", "cubef/textura.png",
                             "column/textura.png", "pqknot/textura.png", "metaballs/textura.png",
                             "sphereb/textura.png", "velm/textura.png"}) {
        Pixels tex(name, root());
        const int n = tex.image.width;
        // Step across the wrap versus an ordinary step between neighbours.
        double seam = 0.0, inner = 0.0;
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c) {
                seam += std::abs(tex.at(n - 1, i)[c] - tex.at(0, i)[c]) + std::abs(tex.at(i, n - 1)[c] - tex.at(i, 0)[c]);
                inner += std::abs(tex.at(n / 2, i)[c] - tex.at(n / 2 + 1, i)[c]) +
                         std::abs(tex.at(i, n / 2)[c] - tex.at(i, n / 2 + 1)[c]);
            }
        EXPECT_LT(seam, 2.0 * inner + 6.0 * n) << name << " shows a seam where it repeats";
    }
}

TEST_F(ContentTest, HeightMapHasHillsAroundALowBasinAndLowBorders) {
    const auto map = readFile(root() + "data/velm/canon.raw");
    ASSERT_EQ(map.size(), 512u * 512u);
    std::vector<uint8_t> sorted = map;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_GE(sorted.back() - sorted.front(), 220) << "uses little of the byte range";
    EXPECT_GE(sorted[sorted.size() * 95 / 100] - sorted[sorted.size() * 5 / 100], 100) << "flat";
    // The effect samples every fifth row and column; its camera stands at
    // x = 0, z = 1 (row 281, column 256) at height 2.4, i.e. byte 120.
    auto h = [&](int row, int col) { return map[size_t(row) * 512 + col]; };
    int peaks = 0;
    for (int r = 0; r <= 505; r += 5)
        for (int c = 0; c <= 505; c += 5) {
            const double x = (c - 256) * 0.04, z = (r - 256) * 0.04;
            if (std::hypot(x, z - 1.0) < 2.0) {
                EXPECT_LT(h(r, c), 100) << "ground at the camera, " << r << "," << c;
            }
            // The mesh joins its far edges to the near ones with triangles that
            // face down: they must stay below the camera to stay culled.
            if (r == 0 || r == 505 || c == 0 || c == 505) {
                EXPECT_LT(h(r, c), 100) << "border " << r << "," << c;
            }
            peaks += h(r, c) > 160;
        }
    EXPECT_GT(peaks, 100) << "no hills rise above the camera";
}

TEST(ContentTexts, NamesFitTheirImagesAndFollowTheTables) {
    gen::Font font;
    // Greetings: alphabetical, at most 15 characters, the quirks the effect expects.
    std::multiset<int> fixed;
    int leading = 0, trailing = 0;
    std::string previousKey;
    const double em = font.emForCellHeight(content::kGreetingCellHeight);
    for (int i = 0; i < content::kGreetedNames; ++i) {
        const content::Greeting& g = content::kGreetings[i];
        const std::string name = g.name;
        ASSERT_FALSE(name.empty()) << i;
        EXPECT_LE(name.size(), 15u) << name;
        leading += name.rfind("  ", 0) == 0;
        trailing += name.back() == ' ';
        if (g.fixedX != content::kAutoX) fixed.insert(g.fixedX);
        std::string key = name.substr(name.find_first_not_of(' '));
        std::transform(key.begin(), key.end(), key.begin(), ::tolower);
        EXPECT_LT(previousKey, key) << "not alphabetical at " << name;
        previousKey = key;
        const double x = content::greetingX(g), w = font.width(name, em);
        EXPECT_GE(x, 0.0) << name;
        EXPECT_LE(x + w, 512.0) << name << " runs off its page";
        EXPECT_NEAR(x + w / 2.0, 256.0, 50.0) << name << " sits off centre";
    }
    EXPECT_STREQ(content::kGreetings[content::kGreetingSlots - 1].name, "");
    EXPECT_EQ(leading, 1);
    EXPECT_EQ(trailing, 1);
    EXPECT_EQ(fixed, (std::multiset<int>{80, 80, 120, 120, 170, 180, 200}));

    const double creditEm = font.emForCellHeight(content::kCreditCellHeight);
    for (const content::TextLine& line : content::kCreditLines)
        EXPECT_LE(line.x + font.width(line.text, creditEm), 512.0) << line.text;
    const double presentEm = font.emForCellHeight(content::kPresentCellHeight);
    for (const content::TextLine& line : content::kPresentLines)
        EXPECT_LE(line.x + font.width(line.text, presentEm), 512.0) << line.text;
}

}  // namespace
