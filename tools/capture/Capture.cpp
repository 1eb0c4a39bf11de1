#include "Capture.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include <SDL.h>
#include <epoxy/gl.h>

#include "WavWriter.h"
#include "engine/EffectRegistry.h"
#include "engine/Engine.h"
#include "engine/MusicDecoder.h"
#include "platform/GlWindow.h"
#include "resources/DataFile.h"
#include "resources/PngWriter.h"

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr int kPngLevel = 1;              // frames are many and big: favour speed
constexpr double kProgressEverySec = 0.25;
constexpr int kDecodeChunk = 4096;        // stereo frames per decoder call

double msSince(SteadyClock::time_point start) {
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

// The music clock of a capture: the k-th reading is frame k's time.
class SimulatedClock : public IDemoClock {
public:
    SimulatedClock(uint32_t fpsNum, uint32_t fpsDen) : num_(fpsNum), den_(fpsDen) {}

    void startMusic(const char* musicName) override {
        musicName_ = musicName;
        started_ = true;
        if (onStart) onStart();
    }
    uint32_t readClock() override { return frameTimeMs(frame_++, num_, den_); }
    void stopSong() override {}
    void closeMusic() override {}

    bool started() const { return started_; }
    uint64_t nextFrame() const { return frame_; }      // index of the frame about to be read
    const std::string& musicName() const { return musicName_; }

    std::function<void()> onStart;   // the first pass is over

private:
    uint32_t    num_, den_;
    uint64_t    frame_ = 0;
    bool        started_ = false;
    std::string musicName_;
};

// Frames go to pictures, to the video encoder and to the report; nothing is shown.
class CaptureDisplay : public IDisplay {
public:
    CaptureDisplay(const CaptureOptions& options, SimulatedClock& clock, CaptureResult& result)
        : options_(options), clock_(clock), result_(result) {}

    Engine* engine = nullptr;
    FILE*   video = nullptr;             // ffmpeg's stdin while a video is made
    std::map<const IEffect*, std::vector<double>> frameMs;   // per current effect

    bool createWindow(const char* title, const DisplayChoice& choice) override {
        if (choice.samples && !window_.probeMultisample())
            std::fprintf(stderr, "halvoren-capture: no multisampling here, rendering without\n");
        return window_.createWindow(title, choice);
    }
    bool ensureGlew() override { return window_.ensureGlew(); }
    void destroyContext() override { window_.destroyContext(); }

    void pollEvents(Engine& e) override {
        if (!e.cursor()) return;
        // The frame about to be drawn is past the span: end the show before it.
        const uint32_t next = frameTimeMs(clock_.nextFrame(), options_.fpsNum, options_.fpsDen);
        if (options_.to && next >= *options_.to) e.onDestroy();
        frameStart_ = SteadyClock::now();
        if (result_.framesRendered == 0) showStart_ = frameStart_;
    }

    void presentFrame() override {
        if (engine && engine->cursor() && !engine->quitRequested) recordShowFrame();
        window_.presentFrame();
    }

    double renderSeconds() const {
        return result_.framesRendered ? std::chrono::duration<double>(lastFrameEnd_ - showStart_).count() : 0;
    }

private:
    void recordShowFrame() {
        glFinish();   // the frame's cost includes the rasteriser's work
        frameMs[engine->cursor()->effect].push_back(msSince(frameStart_));
        lastFrameEnd_ = SteadyClock::now();

        const uint32_t k = uint32_t(clock_.nextFrame() - 1);
        const uint32_t t = frameTimeMs(k, options_.fpsNum, options_.fpsDen);
        ++result_.framesRendered;
        if (t >= options_.from) {
            if (result_.endFrame == 0) result_.firstFrame = k;
            result_.endFrame = k + 1;
            if ((k - result_.firstFrame) % options_.every == 0) writeFrame(k, t);
        }
        if (options_.progress) showProgress(k, t);
    }

    void writeFrame(uint32_t k, uint32_t t) {
        ++result_.framesWritten;
        const bool wanted = !options_.framesDir.empty() || video || options_.onFrame;
        if (!wanted) return;   // a timing run: no read-back to skew the numbers
        const int w = options_.width, h = options_.height;
        std::vector<uint8_t> bottomUp(size_t(w) * h * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
        rgb_.resize(bottomUp.size());
        const size_t stride = size_t(w) * 3;
        for (int y = 0; y < h; ++y)
            std::copy_n(&bottomUp[stride * (h - 1 - y)], stride, &rgb_[stride * y]);

        if (!options_.framesDir.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "frame-%06" PRIu32 ".png", k);
            const std::string path = (fs::path(options_.framesDir) / name).string();
            if (!writePng(path, w, h, 3, rgb_.data(), kPngLevel) && !writeFailed_) {
                std::fprintf(stderr, "halvoren-capture: cannot write %s\n", path.c_str());
                writeFailed_ = true;
            }
        }
        if (video) std::fwrite(rgb_.data(), 1, rgb_.size(), video);
        if (options_.onFrame) options_.onFrame(k, t, rgb_);
    }

    void showProgress(uint32_t k, uint32_t t) {
        const double elapsed = std::chrono::duration<double>(SteadyClock::now() - showStart_).count();
        if (elapsed - lastProgress_ < kProgressEverySec) return;
        lastProgress_ = elapsed;
        std::printf("\rframe %6" PRIu32 "  %7.3f s  %6.1f fps ", k, t / 1000.0,
                    elapsed > 0 ? result_.framesRendered / elapsed : 0.0);
        std::fflush(stdout);
    }

    const CaptureOptions& options_;
    SimulatedClock&       clock_;
    CaptureResult&        result_;
    GlWindow              window_;
    std::vector<uint8_t>  rgb_;             // the frame being written, top row first
    SteadyClock::time_point frameStart_, showStart_, lastFrameEnd_;
    double                lastProgress_ = -1;
    bool                  writeFailed_ = false;
};

bool programOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t begin = 0;
    while (begin <= dirs.size()) {
        size_t end = dirs.find(':', begin);
        if (end == std::string::npos) end = dirs.size();
        fs::path candidate = fs::path(dirs.substr(begin, end - begin)) / program;
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) return true;
        begin = end + 1;
    }
    return false;
}

std::string shellQuoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The music of frames [first, end): decoded with the show's own decoders,
// silence where there is no music or it has ended.
std::vector<int16_t> decodeSpan(DataFileService& files, const std::string& musicName, uint64_t firstSample,
                                uint64_t endSample) {
    std::vector<int16_t> span(size_t(endSample - firstSample) * 2, 0);
    std::unique_ptr<DataFile> file = musicName.empty() ? nullptr : files.find(musicName.c_str());
    if (!file) return span;
    std::string whyNot;
    std::unique_ptr<MusicDecoder> decoder = openMusicDecoder(musicName.c_str(), file->data(), file->size(), &whyNot);
    if (!decoder) {
        std::fprintf(stderr, "halvoren-capture: %s: %s; the audio is silent\n", musicName.c_str(), whyNot.c_str());
        return span;
    }
    std::vector<int16_t> chunk(size_t(kDecodeChunk) * 2);
    uint64_t at = 0;   // stereo frames decoded so far
    while (at < endSample) {
        const int want = int(std::min<uint64_t>(kDecodeChunk, endSample - at));
        const int got = decoder->render(chunk.data(), want);
        if (got <= 0) break;
        for (int i = 0; i < got; ++i, ++at)
            if (at >= firstSample) {
                span[size_t(at - firstSample) * 2] = chunk[size_t(i) * 2];
                span[size_t(at - firstSample) * 2 + 1] = chunk[size_t(i) * 2 + 1];
            }
    }
    return span;
}

// Registered effects by identity and name: the objects are gone after shutdown.
using RegisteredEffects = std::vector<std::pair<const IEffect*, std::string>>;

std::vector<EffectTiming> timings(const RegisteredEffects& registered,
                                  std::map<const IEffect*, std::vector<double>>& frameMs) {
    std::vector<EffectTiming> out;
    for (const auto& [effect, name] : registered) {
        EffectTiming timing;
        timing.name = name;
        std::vector<double>& ms = frameMs[effect];
        timing.frames = uint32_t(ms.size());
        if (!ms.empty()) {
            double sum = 0;
            for (double v : ms) sum += v;
            timing.meanMs = sum / double(ms.size());
            std::sort(ms.begin(), ms.end());
            const size_t rank = (ms.size() * 99 + 99) / 100;   // nearest rank, 1-based
            timing.p99Ms = ms[std::min(rank, ms.size()) - 1];
        }
        out.push_back(timing);
    }
    return out;
}

}  // namespace

uint32_t frameTimeMs(uint64_t k, uint32_t fpsNum, uint32_t fpsDen) {
    return uint32_t(k * 1000u * fpsDen / fpsNum);
}

uint64_t frameSample(uint64_t k, uint32_t fpsNum, uint32_t fpsDen) {
    return k * uint64_t(kMusicRate) * fpsDen / fpsNum;
}

CaptureResult runCapture(const CaptureOptions& options) {
    CaptureResult result;
    // Offscreen even when a display is there: a capture never opens a window.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);

    std::string tempVideo;
    if (!options.videoPath.empty()) {
        if (!programOnPath("ffmpeg")) {
            result.status = 1;
            result.error = "--video needs the ffmpeg program, which is not installed (apt-get install ffmpeg)";
            return result;
        }
        tempVideo = options.videoPath + ".video.mkv";
    }
    if (!options.framesDir.empty()) {
        std::error_code ec;
        fs::create_directories(options.framesDir, ec);
        if (ec) {
            result.status = 1;
            result.error = "cannot make " + options.framesDir + ": " + ec.message();
            return result;
        }
    }

    std::string root = options.dir.empty() ? "./" : options.dir;
    if (root.back() != '/') root += '/';
    DataFileService files(root);
    files.init();

    DemoContext demo;
    demo.files = &files;
    demo.display.width = options.width;
    demo.display.height = options.height;
    demo.display.samples = options.samples;

    EffectRegistry registry;
    SimulatedClock clock(options.fpsNum, options.fpsDen);
    CaptureDisplay display(options, clock, result);
    Engine engine(demo, registry, clock, display);
    display.engine = &engine;

    RegisteredEffects registered;
    const SteadyClock::time_point loadingStart = SteadyClock::now();
    clock.onStart = [&] {
        result.loadingMs = msSince(loadingStart);
        for (size_t i = 0; i < registry.size(); ++i) registered.emplace_back(registry.at(i), registry.at(i)->name);
        if (!tempVideo.empty()) {
            char rate[64];
            std::snprintf(rate, sizeof rate, "%" PRIu32 "/%" PRIu64, options.fpsNum,
                          uint64_t(options.fpsDen) * options.every);
            const std::string command =
                "ffmpeg -loglevel error -y -f rawvideo -pix_fmt rgb24 -s " + std::to_string(options.width) + "x" +
                std::to_string(options.height) + " -framerate " + rate +
                " -i - -vf 'pad=ceil(iw/2)*2:ceil(ih/2)*2' -c:v libx264 -preset medium -crf 18 -pix_fmt yuv420p " +
                shellQuoted(tempVideo);
            display.video = popen(command.c_str(), "w");
        }
    };

    try {
        result.status = engine.run();
    } catch (const FatalError& error) {
        result.status = 1;
        result.error = error.what();
    }
    if (options.progress) std::printf("\n");
    const bool videoOpen = display.video != nullptr;
    const bool videoOk = videoOpen && pclose(display.video) == 0;
    if (result.status != 0) {
        if (result.error.empty()) result.error = "cannot open an offscreen window";
        return result;
    }

    result.renderSeconds = display.renderSeconds();
    result.effects = timings(registered, display.frameMs);

    const uint64_t firstSample = frameSample(result.firstFrame, options.fpsNum, options.fpsDen);
    const uint64_t endSample = frameSample(result.endFrame, options.fpsNum, options.fpsDen);
    result.audioSamples = endSample - firstSample;

    std::string wavPath = options.audioPath;
    if (wavPath.empty() && !tempVideo.empty()) wavPath = options.videoPath + ".audio.wav";
    if (!wavPath.empty()) {
        DataFileService music(root);
        music.init();
        if (!writeWav(wavPath, decodeSpan(music, clock.musicName(), firstSample, endSample), kMusicRate)) {
            result.status = 1;
            result.error = "cannot write " + wavPath;
            return result;
        }
    }
    if (!tempVideo.empty()) {
        int muxed = -1;
        if (videoOk) {
            const std::string command = "ffmpeg -loglevel error -y -i " + shellQuoted(tempVideo) + " -i " + shellQuoted(wavPath) +
                                        " -c:v copy -c:a aac -b:a 192k " + shellQuoted(options.videoPath);
            muxed = std::system(command.c_str());
        }
        std::error_code ec;
        fs::remove(tempVideo, ec);
        if (options.audioPath.empty()) fs::remove(wavPath, ec);
        if (muxed != 0) {
            result.status = 1;
            result.error = "ffmpeg could not encode " + options.videoPath;
            return result;
        }
    }
    if (!options.reportPath.empty()) {
        FILE* f = std::fopen(options.reportPath.c_str(), "w");
        const std::string json = captureReportJson(options, result);
        if (!f || std::fwrite(json.data(), 1, json.size(), f) != json.size()) {
            if (f) std::fclose(f);
            result.status = 1;
            result.error = "cannot write " + options.reportPath;
            return result;
        }
        std::fclose(f);
    }
    return result;
}

std::string captureReportJson(const CaptureOptions& options, const CaptureResult& result) {
    char line[512];
    std::string json = "{\n";
    std::snprintf(line, sizeof line,
                  "  \"size\": [%d, %d],\n  \"fps\": \"%" PRIu32 "/%" PRIu32 "\",\n  \"samples\": %d,\n"
                  "  \"framesRendered\": %" PRIu32 ",\n  \"framesWritten\": %" PRIu32 ",\n"
                  "  \"firstFrame\": %" PRIu32 ",\n  \"endFrame\": %" PRIu32 ",\n"
                  "  \"loadingMs\": %.3f,\n  \"renderSeconds\": %.3f,\n  \"effects\": [",
                  options.width, options.height, options.fpsNum, options.fpsDen, options.samples,
                  result.framesRendered, result.framesWritten, result.firstFrame, result.endFrame, result.loadingMs,
                  result.renderSeconds);
    json += line;
    for (size_t i = 0; i < result.effects.size(); ++i) {
        const EffectTiming& e = result.effects[i];
        std::snprintf(line, sizeof line, "%s\n    {\"name\": \"%s\", \"frames\": %" PRIu32 ", \"meanMs\": %.3f, \"p99Ms\": %.3f}",
                      i ? "," : "", e.name.c_str(), e.frames, e.meanMs, e.p99Ms);
        json += line;
    }
    json += "\n  ]\n}\n";
    return json;
}
