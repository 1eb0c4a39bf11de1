// The offline capture: which frames it renders and writes, at which music
// times, what they show, and the sound and report that go with them.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AudioFixtures.h"
#include "Capture.h"
#include "Content.h"
#include "Script.h"
#include "TestSupport.h"
#include "ToolRuns.h"
#include "engine/MusicDecoder.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

namespace fs = std::filesystem;
using hlvtools::exitStatus;
using hlvtools::readFile;

namespace {

constexpr int kWidth = 48, kHeight = 36;
constexpr size_t kMiddle = kHeight / 2 * kWidth + kWidth / 2;   // pixel index at the screen's centre
const std::string kExe = HLV_BINARY_DIR "/tools/capture/halvoren-capture";

struct Captured {
    CaptureResult result;
    std::map<uint32_t, uint32_t> timeOf;                 // frame index -> music time
    std::map<uint32_t, std::vector<uint8_t>> pixels;     // frame index -> RGB
};

// The folder's show captured small: 48 x 36 unless told otherwise.
CaptureOptions small(const std::string& dir, uint32_t fps, int width = kWidth, int height = kHeight) {
    CaptureOptions options;
    options.dir = dir;
    options.width = width;
    options.height = height;
    options.fpsNum = fps;
    return options;
}

Captured capture(CaptureOptions options) {
    Captured out;
    options.onFrame = [&](uint32_t k, uint32_t t, const std::vector<uint8_t>& rgb) {
        out.timeOf[k] = t;
        out.pixels[k] = rgb;
    };
    out.result = runCapture(options);
    EXPECT_EQ(0, out.result.status) << out.result.error;
    return out;
}

// Every file of a folder, by name.
std::map<std::string, std::string> files(const fs::path& dir) {
    std::map<std::string, std::string> out;
    for (const auto& f : fs::directory_iterator(dir)) out[f.path().filename().string()] = readFile(f.path());
    return out;
}

// The default show, made once per test program: it takes a few seconds.
const hlvtest::TempDataFolder& defaultShow() {
    static hlvtest::TempDataFolder folder;
    static std::string error;
    static const bool made = gen::writeContent(folder.root(), &error);
    EXPECT_TRUE(made) << error;
    return folder;
}

std::string frameName(uint32_t k) { return "frame-" + std::string(6 - std::to_string(k).size(), '0') + std::to_string(k) + ".png"; }

// Two textured effects and a tune: frames that change from one to the next.
void writeTexturedShow(hlvtest::TempDataFolder& folder, const std::vector<std::string>& script) {
    std::vector<uint8_t> gradient(64 * 64 * 3);
    for (size_t i = 0; i < gradient.size(); ++i) gradient[i] = uint8_t(i * 7 / 3);
    folder.writePicture("final.png", 64, 64, 3, gradient);
    folder.writePicture("tunnel/textura.png", 64, 64, 3, gradient);
    folder.write("tune.mod", hlvtest::makeTinyMod(64, 6));
    folder.writeScript(script, "tune.mod");
}

// f() with an ffmpeg on the PATH that quits at once, taking no frame.
template <class F> auto withDeadEncoder(const fs::path& root, F f) {
    fs::create_directories(root / "bin");
    std::ofstream(root / "bin/ffmpeg") << "#!/bin/sh\nexit 0\n";
    fs::permissions(root / "bin/ffmpeg", fs::perms::owner_all);
    const std::string path = std::getenv("PATH");
    setenv("PATH", ((root / "bin").string() + ":" + path).c_str(), 1);
    const auto result = f();
    setenv("PATH", path.c_str(), 1);
    return result;
}

TEST(Capture, FrameTimesAndSamplesFollowTheFrameRateWithIntegerDivision) {
    // 60000/1001: 16.68 ms and 735.735 samples a frame; near the show's end
    // k x 44100 x 1001 no longer fits 32 bits.
    const struct { uint64_t k; uint32_t num, den, ms; uint64_t sample; } cases[] = {
        {1, 60000, 1001, 16, 735}, {60, 60000, 1001, 1001, 44144}, {10099, 60000, 1001, 168484, 7430187}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.ms, frameTimeMs(c.k, c.num, c.den)) << c.k << " at " << c.num << "/" << c.den;
        EXPECT_EQ(c.sample, frameSample(c.k, c.num, c.den)) << c.k << " at " << c.num << "/" << c.den;
    }
}

// The video holds the frames as they were drawn and in their order: flashes
// over black make a pattern any reordering or dropped frame would break.
TEST(Capture, TheVideoHoldsTheDrawnFramesInTheirOrder) {
    hlvtest::TempDataFolder folder;
    folder.writeScript({"FXTIME Null 0 3000", "FXTIME Flash 150 350", "FXTIME Flash 750 850", "FXTIME Flash 1000 1500",
                        "FXTIME Flash 2000 2100", "FXTIME Flash 2500 2560"});
    const fs::path video = fs::path(folder.root()) / "show.mp4", raw = fs::path(folder.root()) / "decoded.gray";
    CaptureOptions options = small(folder.root(), 50);
    options.to = 3000;
    options.videoPath = video.string();
    const Captured got = capture(options);
    ASSERT_EQ(150u, got.pixels.size());

    ASSERT_EQ(0, exitStatus("ffmpeg -loglevel error -y -i '" + video.string() + "' -f rawvideo -pix_fmt gray '" +
                            raw.string() + "'"));
    const std::string grey = readFile(raw);
    const size_t frameBytes = size_t(kWidth) * kHeight;
    ASSERT_EQ(150 * frameBytes, grey.size());
    std::string drawn, decoded;
    for (const auto& [k, rgb] : got.pixels) {
        drawn += rgb[kMiddle * 3] > 128 ? 'W' : '.';
        decoded += uint8_t(grey[k * frameBytes + kMiddle]) > 128 ? 'W' : '.';
    }
    EXPECT_EQ(drawn, decoded);
    EXPECT_GE(std::count(drawn.begin(), drawn.end(), 'W'), 30) << drawn;
}

TEST(Capture, SpanAndEverySelectTheFramesAndTheSoundToTheSample) {
    hlvtest::TempDataFolder folder;
    const std::vector<uint8_t> module = hlvtest::makeTinyMod(64, 6);
    folder.write("tune.mod", module);
    folder.writeScript({"FXTIME Null 0 1000", "FXTIME Flash 1000 5000"}, "tune.mod");
    const fs::path root = folder.root(), frames = root / "frames", wav = root / "span.wav";
    CaptureOptions options = small(folder.root(), 30);
    options.from = 500;
    options.to = 1500;
    options.every = 4;
    options.framesDir = frames.string();
    options.audioPath = wav.string();
    const Captured got = capture(options);

    // Frames whose time lies in [500, 1500): k = 15 (500 ms) to 44 (1466 ms);
    // every frame before the span and between those written is fast-forwarded.
    std::vector<std::string> expected, written;
    for (uint32_t k = 15; k <= 44; k += 4) expected.push_back(frameName(k));
    for (const auto& [name, bytes] : files(frames)) written.push_back(name);
    EXPECT_EQ(expected, written);
    EXPECT_EQ((std::vector<uint32_t>{8, 45 - 8, 15, 45}),
              (std::vector<uint32_t>{got.result.framesRendered, got.result.framesFastForwarded, got.result.firstFrame,
                                     got.result.endFrame}));

    // The sound of the whole span, frames 15 to 44: samples 15 * 1470 to 45 * 1470.
    const uint64_t first = 15 * 1470, end = 45 * 1470;
    const std::string bytes = readFile(wav);
    ASSERT_EQ(44 + (end - first) * 4, bytes.size());
    EXPECT_EQ(end - first, got.result.audioSamples);
    std::unique_ptr<MusicDecoder> decoder = openMusicDecoder("tune.mod", module.data(), module.size());
    ASSERT_TRUE(decoder);
    std::vector<int16_t> whole(end * 2), span((end - first) * 2);
    ASSERT_EQ(int(end), decoder->render(whole.data(), int(end)));
    std::memcpy(span.data(), bytes.data() + 44, span.size() * 2);
    EXPECT_TRUE(std::equal(span.begin(), span.end(), whole.begin() + long(first) * 2));
    EXPECT_TRUE(std::any_of(span.begin(), span.end(), [](int16_t s) { return s != 0; })) << "the tune is heard";
}

TEST(Capture, PipelinedCaptureWritesWhatOneEncoderWritesByteForByte) {
    hlvtest::TempDataFolder folder;
    writeTexturedShow(folder, {"FXTIME Tunnel 0 400", "FXTIME Final 400 800", "FXTIME Flash 350 450"});
    const fs::path root = folder.root();
    std::map<unsigned, Captured> runs;
    for (unsigned threads : {1u, 4u}) {
        const std::string frames = (root / "data" / std::to_string(threads)).string();
        CaptureOptions options = small(folder.root(), 25);
        options.framesDir = frames;
        options.audioPath = frames + ".wav";
        options.threads = threads;
        runs[threads] = capture(options);
    }
    const Captured& many = runs[4];

    // 0 to 800 ms, and the Flash row becomes current for one frame when Final ends.
    ASSERT_EQ(21u, many.result.framesWritten);
    EXPECT_TRUE(readFile(root / "data/1.wav") == readFile(root / "data/4.wav"));

    // Each file holds the frame it is named after, as the renderer drew it,
    // and the same bytes whichever encoder thread wrote it.
    DataFileService written(folder.root());
    for (const auto& [k, rgb] : many.pixels) {
        const std::string name = frameName(k);
        EXPECT_TRUE(readFile(root / "data/4" / name) == readFile(root / "data/1" / name)) << name;
        PixelImage image;
        decodeImage(image, ("4/" + name).c_str(), written);
        const size_t size = size_t(image.width) * image.height * image.bytesPerPixel;
        EXPECT_TRUE(std::vector<uint8_t>(image.pixels, image.pixels + size) == rgb) << name;
        freeBlock(image.pixels);
    }
    size_t changes = 0;
    for (auto it = std::next(many.pixels.begin()); it != many.pixels.end(); ++it) changes += it->second != std::prev(it)->second;
    EXPECT_GT(changes, 10u) << "the frames differ from one another";
}

TEST(Capture, AFailureEndsTheCaptureNamingTheFileAndTheProgramExitsWithTheMessage) {
    hlvtest::TempDataFolder folder;
    folder.writeScript({"FXTIME Flash 0 10000"});
    const fs::path root = folder.root(), frames = root / "frames";
    fs::create_directories(frames / "frame-000003.png");   // a folder where the frame should go
    CaptureOptions options = small(folder.root(), 50);
    options.framesDir = frames.string();
    const CaptureResult failed = runCapture(options);
    EXPECT_EQ(1, failed.status);
    EXPECT_NE(std::string::npos, failed.error.find((frames / "frame-000003.png").string())) << failed.error;
    EXPECT_LT(failed.framesRendered, 100u) << "the show stops soon after";

    // A video encoder that quits at once: the frames have nowhere to go.
    options.framesDir.clear();
    options.videoPath = (root / "show.mp4").string();
    const CaptureResult noEncoder = withDeadEncoder(root, [&] { return runCapture(options); });
    EXPECT_NE(0, noEncoder.status);
    EXPECT_NE(std::string::npos, noEncoder.error.find(options.videoPath)) << noEncoder.error;

    // A span past the end of a script that ends sooner than the show's clock
    // writes nothing, so it must not end as a success.
    folder.writeScript({"FXTIME Flash 0 1000"});
    options.videoPath.clear();
    options.from = 1500;
    const CaptureResult late = runCapture(options);
    EXPECT_EQ(2, late.status);
    EXPECT_NE(std::string::npos, late.error.find("before the span starting at 1500 ms")) << late.error;

    // The program: the status and message of whatever stopped the show (here
    // a missing picture) on stderr.
    std::string said;
    folder.write("hlv.txt", std::string("INI_01\nLOADIMAGE 0 gone.png\nLOADIMAGE 1 gone.png\nFXTIME Flash 0 100\nEND_01\n"));
    EXPECT_EQ(1, hlvtools::run(kExe + " --dir " + folder.root(), root / "err.txt", &said));
    EXPECT_NE(std::string::npos, said.find("\"gone.png\": not found")) << said;
}

// Effects carry state from frame to frame, so a frame drawn after a
// fast-forward must be the frame of a full render: checked after every other
// frame was fast-forwarded through the default show, and after long
// fast-forwards into an effect, onto a cut and into a flash over a cut.
TEST(Capture, FramesAfterAFastForwardAreTheFramesOfTheFullRenderThroughTheDefaultShow) {
    const std::string root = defaultShow().root();
    CaptureOptions options = small(root, 12, 64, 48);
    options.fullRender = true;
    const Captured full = capture(options);
    ASSERT_EQ(full.result.framesRendered, full.pixels.size());
    ASSERT_GT(full.result.endFrame, firstFrameAt(160000, 12, 1)) << "the whole show";

    // Frames written 167 ms apart, each after a fast-forwarded one.
    options.fullRender = false;
    options.every = 2;
    const Captured alternate = capture(options);
    EXPECT_EQ(full.result.framesRendered, alternate.result.framesRendered + alternate.result.framesFastForwarded);
    for (const auto& [k, rgb] : alternate.pixels) EXPECT_TRUE(rgb == full.pixels.at(k)) << "frame " << k;
    const std::vector<gen::ScriptRow> rows = gen::scheduleRows();   // what the default show's script holds

    const auto find = [&](const char* effect) {
        return *std::find_if(rows.begin(), rows.end(), [&](const gen::ScriptRow& r) { return r.effect == effect; });
    };
    const gen::ScriptRow tunnel = find("Tunnel"), black = find("Null"), flash = find("Flash");
    options.every = 1;
    for (const uint32_t from : {(tunnel.start + tunnel.end) / 2, black.start, flash.start + 1}) {
        options.from = from;
        options.to = from + 400;
        const Captured span = capture(options);
        ASSERT_FALSE(span.pixels.empty());
        EXPECT_EQ(span.pixels.begin()->first, span.result.framesFastForwarded);
        for (const auto& [k, rgb] : span.pixels) EXPECT_TRUE(rgb == full.pixels.at(k)) << "from " << from << ", frame " << k;
    }
}

// N segment runs write exactly the frames one run writes, whatever N and
// --every; their videos join into one with the one run's frames, duration
// and sound; and a segment whose run died is named by the join, which then
// writes nothing.
TEST(Capture, SegmentsWriteTheFramesOfOneRunAndTheirVideosJoinIntoItsVideo) {
    hlvtest::TempDataFolder folder;
    writeTexturedShow(folder, {"FXTIME Tunnel 0 1000", "FXTIME Final 1000 2000", "FXTIME Flash 950 1100"});
    const fs::path root = folder.root();
    const auto run = [&](uint32_t every, uint32_t i, uint32_t n, const fs::path& frames, const std::string& video = "",
                         const std::string& audio = "") {
        CaptureOptions options = small(folder.root(), 25);
        options.from = 200;
        options.to = 1800;
        options.every = every;
        options.segment = i;
        options.segments = n;
        options.framesDir = frames.string();
        options.videoPath = video;
        options.audioPath = audio;
        return runCapture(options);
    };
    const std::string oneVideo = (root / "one.mp4").string(), segVideo = (root / "seg.mp4").string();
    ASSERT_EQ(0, run(1, 1, 1, root / "one-1", oneVideo, (root / "one.wav").string()).status);
    ASSERT_EQ(0, run(3, 1, 1, root / "one-3").status);

    // Segment 2 of 3 first dies with its video encoder: the join names it.
    EXPECT_NE(0, withDeadEncoder(root, [&] { return run(1, 2, 3, root / "dead", segVideo); }).status);

    const struct { uint32_t n, every; } cases[] = {{2, 1}, {3, 1}, {7, 3}};
    for (const auto& c : cases) {
        const fs::path frames = root / ("seg-" + std::to_string(c.n));
        for (uint32_t i = 1; i <= c.n; ++i) {
            if (c.n == 3 && i == 2) continue;   // died above
            const bool video = c.n == 3;
            EXPECT_EQ(0, run(c.every, i, c.n, frames, video ? segVideo : "", video && i == 1 ? (root / "seg.wav").string() : "")
                             .status) << i << "/" << c.n;
        }
        if (c.n == 3) {
            const std::string join = HLV_SOURCE_DIR "/scripts/join-segments.sh '" + segVideo + "' 3 '" + (root / "seg.wav").string() + "'";
            EXPECT_NE(0, exitStatus(join + " 2>" + (root / "err.txt").string()));
            EXPECT_NE(std::string::npos, readFile(root / "err.txt").find("segment-2-of-3")) << readFile(root / "err.txt");
            EXPECT_FALSE(fs::exists(segVideo));
            EXPECT_EQ(0, run(1, 2, 3, frames, segVideo).status);
            EXPECT_EQ(0, exitStatus(join + " >/dev/null"));
        }
        const std::map<std::string, std::string> one = files(root / ("one-" + std::to_string(c.every)));
        EXPECT_EQ(one.size(), (1600u / 40 + c.every - 1) / c.every);
        EXPECT_TRUE(one == files(frames)) << c.n << " segments";
    }

    // The join has the one run's frames, duration and sound.
    EXPECT_TRUE(readFile(root / "one.wav") == readFile(root / "seg.wav"));
    const auto probe = [&](const std::string& video) {
        std::string streams, sound;
        hlvtools::run("ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames,duration "
                      "-show_entries format=duration -of compact '" + video + "'", root / "probe.txt", &streams);
        hlvtools::run("ffmpeg -v error -i '" + video + "' -map 0:a -f md5 -", root / "probe.txt", &sound);
        return streams + sound;
    };
    const std::string one = probe(oneVideo);
    EXPECT_NE(std::string::npos, one.find("nb_read_frames=40")) << one;
    EXPECT_NE(std::string::npos, one.find("MD5=")) << "no sound in " << one;
    EXPECT_EQ(one, probe(segVideo));
}

// Each refusal names what is wrong with the arguments.
TEST(Capture, BadArgumentsAreRefusedSayingWhy) {
    // Zeros that would divide and numbers past the field's width among the bad
    // values.  At 1 fps the frames of [100, 900) would be at 0 and 1000 ms: none.  168000
    // to 168500 ms at 20 fps: 11 frames, 4 of them written.
    const std::vector<std::pair<std::vector<const char*>, const char*>> bad = {
        {{"--size", "0x10"}, "--size"}, {{"--fps", "0"}, "--fps"}, {{"--fps", "30/0"}, "--fps"},
        {{"--every", "0"}, "--every"}, {{"--samples", "3"}, "--samples"}, {{"--from", "99999999999"}, "--from"},
        {{"--segment", "3"}, "--segment"}, {{"--from", "500", "--to", "500"}, "--to must be after --from"},
        {{"--bogus", "1"}, "unknown option --bogus"}, {{"--dir"}, "--dir needs a value"},
        {{"--from", "168501"}, "past the show's end"},
        {{"--fps", "1", "--from", "100", "--to", "900"}, "no frame of the span"}, {{"--segment", "4/3"}, "from 1 to"},
        {{"--fps", "20", "--from", "168000", "--every", "3", "--segment", "5/5"}, "only 4 frames"}};
    for (auto [args, why] : bad) {
        CaptureOptions o;
        std::string error;
        args.insert(args.begin(), "x");
        EXPECT_FALSE(parseCaptureArgs(int(args.size()), args.data(), o, error)) << args[1];
        EXPECT_NE(std::string::npos, error.find(why)) << args[1] << ": " << error;
    }
    // The values split in two land in their own fields.
    const std::vector<const char*> good = {"x", "--size", "1919x1081", "--fps", "60000/1001", "--segment", "2/7"};
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(parseCaptureArgs(int(good.size()), good.data(), o, error)) << error;
    EXPECT_EQ((std::vector<uint64_t>{1919, 1081, 60000, 1001, 2, 7}),
              (std::vector<uint64_t>{uint64_t(o.width), uint64_t(o.height), o.fpsNum, o.fpsDen, o.segment, o.segments}));
}

}  // namespace
