// The offline capture: which frames it renders and writes, at which music
// times, what they show, and the sound and report that go with them.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AudioFixtures.h"
#include "Capture.h"
#include "TestSupport.h"
#include "engine/MusicDecoder.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 48, kHeight = 36;

struct Captured {
    CaptureResult result;
    std::map<uint32_t, uint32_t> timeOf;                 // frame index -> music time
    std::map<uint32_t, std::vector<uint8_t>> pixels;     // frame index -> RGB
};

Captured capture(const hlvtest::TempDataFolder& folder, CaptureOptions options) {
    Captured out;
    options.dir = folder.root();
    options.width = kWidth;
    options.height = kHeight;
    options.onFrame = [&](uint32_t k, uint32_t t, const std::vector<uint8_t>& rgb) {
        out.timeOf[k] = t;
        out.pixels[k] = rgb;
    };
    out.result = runCapture(options);
    return out;
}

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string readText(const fs::path& path) {
    const std::vector<uint8_t> bytes = readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

bool isWhite(const std::vector<uint8_t>& rgb) {
    return rgb[(kHeight / 2 * kWidth + kWidth / 2) * 3] == 255;
}

TEST(Capture, FrameTimesFollowTheFrameRateWithIntegerDivision) {
    EXPECT_EQ(0u, frameTimeMs(0, 30, 1));
    EXPECT_EQ(33u, frameTimeMs(1, 30, 1));
    EXPECT_EQ(1000u, frameTimeMs(30, 30, 1));
    EXPECT_EQ(16u, frameTimeMs(1, 60000, 1001));       // 16.68 ms
    EXPECT_EQ(1001u, frameTimeMs(60, 60000, 1001));
    EXPECT_EQ(168500u, frameTimeMs(10110, 60, 1));
    EXPECT_EQ(1470u, frameSample(1, 30, 1));
    EXPECT_EQ(735u, frameSample(1, 60000, 1001));        // 735.735 samples
    EXPECT_EQ(44144u, frameSample(60, 60000, 1001));
}

TEST(Capture, FlashAndNullFramesFollowTheScheduleWindows) {
    hlvtest::TempDataFolder folder;
    // The overlapping Flash draws over Null while 2000 < t <= 2100.
    folder.writeScript({"FXTIME Null 0 1000", "FXTIME Flash 1000 1500", "FXTIME Null 1500 3000",
                        "FXTIME Flash 2000 2100"});
    CaptureOptions options;
    options.fpsNum = 100;
    options.to = 3000;
    const Captured got = capture(folder, options);
    ASSERT_EQ(0, got.result.status) << got.result.error;
    ASSERT_EQ(300u, got.result.framesWritten);
    for (const auto& [k, rgb] : got.pixels) {
        const uint32_t t = got.timeOf.at(k);
        const bool white = (t >= 1000 && t < 1500) || (t > 2000 && t <= 2100);
        EXPECT_EQ(white, isWhite(rgb)) << "frame " << k << " at " << t << " ms";
    }
}

TEST(Capture, SpanAndEverySelectExactlyTheRightFrames) {
    hlvtest::TempDataFolder folder;
    folder.writeScript({"FXTIME Flash 0 5000"});
    const fs::path frames = fs::path(folder.root()) / "frames";
    CaptureOptions options;
    options.fpsNum = 30;
    options.from = 500;
    options.to = 1500;
    options.every = 4;
    options.framesDir = frames.string();
    const Captured got = capture(folder, options);
    ASSERT_EQ(0, got.result.status) << got.result.error;

    // Frames whose time lies in [500, 1500): k = 15 (500 ms) to 44 (1466 ms).
    std::vector<uint32_t> expected;
    for (uint32_t k = 15; k <= 44; k += 4) expected.push_back(k);
    std::vector<uint32_t> written;
    for (const auto& entry : got.timeOf) written.push_back(entry.first);
    EXPECT_EQ(expected, written);
    EXPECT_EQ(45u, got.result.framesRendered) << "every frame before the span is rendered too";
    EXPECT_EQ(15u, got.result.firstFrame);
    EXPECT_EQ(45u, got.result.endFrame);

    std::vector<std::string> files;
    for (const auto& f : fs::directory_iterator(frames)) files.push_back(f.path().filename().string());
    std::sort(files.begin(), files.end());
    std::vector<std::string> names;
    for (uint32_t k : expected) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06u.png", k);
        names.push_back(name);
    }
    EXPECT_EQ(names, files);
}

TEST(Capture, TwoCapturesOfTheSameSpanAreIdentical) {
    hlvtest::TempDataFolder folder;
    std::vector<uint8_t> gradient(64 * 64 * 3);
    for (size_t i = 0; i < gradient.size(); ++i) gradient[i] = uint8_t(i * 7 / 3);
    folder.writePicture("final.png", 64, 64, 3, gradient);
    folder.writePicture("tunnel/textura.png", 64, 64, 3, gradient);
    folder.writeScript({"FXTIME Tunnel 0 400", "FXTIME Final 400 800", "FXTIME Flash 350 450"});
    CaptureOptions options;
    options.fpsNum = 25;
    options.framesDir = (fs::path(folder.root()) / "a").string();
    const Captured first = capture(folder, options);
    options.framesDir = (fs::path(folder.root()) / "b").string();
    const Captured second = capture(folder, options);
    ASSERT_EQ(0, first.result.status) << first.result.error;
    // 0 to 800 ms, and the Flash row becomes current for one frame when Final ends.
    ASSERT_EQ(21u, first.result.framesWritten);
    EXPECT_EQ(first.pixels, second.pixels);
    for (const auto& f : fs::directory_iterator(options.framesDir))
        EXPECT_EQ(readFile(f.path()), readFile(fs::path(folder.root()) / "a" / f.path().filename()));
}

TEST(Capture, AudioIsTheMusicOfTheWrittenSpanToTheSample) {
    hlvtest::TempDataFolder folder;
    const std::vector<uint8_t> module = hlvtest::makeTinyMod(64, 6);
    folder.write("tune.mod", module);
    folder.writeScript({"FXTIME Null 0 60000"}, "tune.mod");
    const fs::path wav = fs::path(folder.root()) / "span.wav";
    CaptureOptions options;
    options.fpsNum = 30;
    options.from = 200;
    options.to = 900;
    options.every = 3;
    options.audioPath = wav.string();
    const Captured got = capture(folder, options);
    ASSERT_EQ(0, got.result.status) << got.result.error;

    // Frames 6 (200 ms) to 26 (866 ms): samples 6 * 1470 to 27 * 1470.
    const uint64_t first = 6 * 1470, end = 27 * 1470;
    const std::vector<uint8_t> bytes = readFile(wav);
    ASSERT_EQ(44 + (end - first) * 4, bytes.size());
    EXPECT_EQ(end - first, got.result.audioSamples);

    std::unique_ptr<MusicDecoder> decoder = openMusicDecoder("tune.mod", module.data(), module.size());
    ASSERT_TRUE(decoder);
    std::vector<int16_t> whole(end * 2);
    ASSERT_EQ(int(end), decoder->render(whole.data(), int(end)));
    std::vector<int16_t> span((end - first) * 2);
    std::memcpy(span.data(), bytes.data() + 44, span.size() * 2);
    EXPECT_TRUE(std::equal(span.begin(), span.end(), whole.begin() + first * 2));
    EXPECT_TRUE(std::any_of(span.begin(), span.end(), [](int16_t s) { return s != 0; })) << "the tune is heard";
}

TEST(Capture, ReportAgreesWithTheFramesRendered) {
    hlvtest::TempDataFolder folder;
    folder.writeScript({"FXTIME Null 0 300", "FXTIME Flash 300 500", "FXTIME Null 500 700"});
    const fs::path report = fs::path(folder.root()) / "report.json";
    CaptureOptions options;
    options.fpsNum = 50;
    options.from = 100;
    options.every = 2;
    options.reportPath = report.string();
    const Captured got = capture(folder, options);
    ASSERT_EQ(0, got.result.status) << got.result.error;

    // The show ends when the last entry does: frames 0 to 34 (0 to 680 ms).
    EXPECT_EQ(35u, got.result.framesRendered);
    EXPECT_EQ(15u, got.result.framesWritten);   // frames 5, 7, ..., 33
    uint32_t sum = 0;
    for (const EffectTiming& e : got.result.effects) {
        sum += e.frames;
        EXPECT_LE(e.meanMs, e.p99Ms + 1e-9) << e.name;
        if (e.name == "Flash") {
            EXPECT_EQ(10u, e.frames);
        }
        if (e.name == "Null") {
            EXPECT_EQ(25u, e.frames);
        }
    }
    EXPECT_EQ(got.result.framesRendered, sum);

    const std::string json = readText(report);
    EXPECT_NE(std::string::npos, json.find("\"framesRendered\": 35"));
    EXPECT_NE(std::string::npos, json.find("\"framesWritten\": 15"));
    EXPECT_NE(std::string::npos, json.find("{\"name\": \"Flash\", \"frames\": 10,"));
}

TEST(Capture, BadArgumentsAreRefused) {
    const std::vector<std::vector<const char*>> bad = {
        {"x", "--size", "0x10"}, {"x", "--size", "800"}, {"x", "--size", "800x-6"}, {"x", "--fps", "0"},
        {"x", "--fps", "30/0"}, {"x", "--fps", "abc"}, {"x", "--samples", "3"}, {"x", "--every", "0"},
        {"x", "--from", "500", "--to", "500"}, {"x", "--to", "-1"}, {"x", "--bogus", "1"}, {"x", "--dir"},
        {"x", "--from", "99999999999"}};
    for (const auto& args : bad) {
        CaptureOptions options;
        std::string error;
        EXPECT_FALSE(parseCaptureArgs(int(args.size()), args.data(), options, error)) << args[1];
        EXPECT_FALSE(error.empty());
    }
    const std::vector<const char*> good = {"x", "--size", "1919x1081", "--fps", "60000/1001", "--samples", "4",
                                           "--from", "10", "--to", "20", "--every", "3"};
    CaptureOptions options;
    std::string error;
    ASSERT_TRUE(parseCaptureArgs(int(good.size()), good.data(), options, error)) << error;
    EXPECT_EQ(1919, options.width);
    EXPECT_EQ(1081, options.height);
    EXPECT_EQ(60000u, options.fpsNum);
    EXPECT_EQ(1001u, options.fpsDen);
    EXPECT_EQ(4, options.samples);
    EXPECT_EQ(20u, options.to.value());
    EXPECT_EQ(3u, options.every);
}

TEST(Capture, ProgramExitsWithUsageOrTheShowsMessage) {
    hlvtest::TempDataFolder folder;
    const std::string exe = HLV_BINARY_DIR "/tools/capture/halvoren-capture";
    const std::string err = folder.root() + "err.txt";
    int status = std::system((exe + " --fps nope 2>" + err).c_str());
    EXPECT_EQ(2, WEXITSTATUS(status));
    std::string text = readText(err);
    EXPECT_NE(std::string::npos, text.find("usage:"));

    folder.write("hlv.txt", std::string("INI_01\nLOADIMAGE 0 gone.png\nLOADIMAGE 1 gone.png\nEND_01\n"));
    status = std::system((exe + " --dir " + folder.root() + " 2>" + err).c_str());
    EXPECT_NE(0, WEXITSTATUS(status));
    text = readText(err);
    EXPECT_NE(std::string::npos, text.find("gone.png")) << text;
}

}  // namespace
