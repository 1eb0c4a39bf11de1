#include "Capture.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <deque>
#include <map>
#include <memory>
#include <thread>

#include <csignal>

#include <SDL.h>
#include <epoxy/gl.h>

#include "FramePipeline.h"
#include "FrameReadback.h"
#include "WavWriter.h"
#include "effects/ShowEffects.h"
#include "engine/EffectRegistry.h"
#include "engine/Engine.h"
#include "engine/MusicDecoder.h"
#include "platform/GlWindow.h"
#include "resources/DataFile.h"

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr int kPngLevel = 1;              // frames are many and big: favour speed
constexpr size_t kQueueFrames = 4;        // frames waiting for each output; bounds the memory
// x264's fastest preset: at the same quality (crf) it costs a tenth of the
// CPU of "medium" for files about two thirds bigger, and keeps up with the
// renderer on a small machine.
constexpr const char* kVideoPreset = "ultrafast";
constexpr int kVideoCrf = 18;
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
        if (onStart) onStart();
    }
    uint32_t readClock() override { return frameTimeMs(frame_++, num_, den_); }
    void stopSong() override {}
    void closeMusic() override {}

    uint64_t nextFrame() const { return frame_; }      // index of the frame about to be read
    const std::string& musicName() const { return musicName_; }

    std::function<void()> onStart;   // the first pass is over

private:
    uint32_t    num_, den_;
    uint64_t    frame_ = 0;
    std::string musicName_;
};

// Frames go to pictures, to the video encoder and to the report; nothing is shown.
class CaptureDisplay : public IDisplay {
public:
    CaptureDisplay(const CaptureOptions& options, const CapturePlan& plan, SimulatedClock& clock, CaptureResult& result)
        : options_(options), plan_(plan), clock_(clock), result_(result) {}

    Engine* engine = nullptr;
    FILE*   video = nullptr;             // ffmpeg's stdin while a video is made
    std::unique_ptr<FramePipeline> pipeline;   // set when frames are written to files or a video
    std::map<const IEffect*, std::vector<double>> frameMs;   // per current effect

    bool createWindow(const char* title, const DisplayChoice& choice) override {
        if (choice.samples && !window_.probeMultisample())
            std::fprintf(stderr, "halvoren-capture: no multisampling here, rendering without\n");
        return window_.createWindow(title, choice);
    }
    bool ensureGlew() override { return window_.ensureGlew(); }
    void destroyContext() override {
        // The frames still in the read-back ring need the context.
        if (readback_) {
            while (!readback_->empty()) deliver();
            readback_.reset();
        }
        window_.destroyContext();
    }

    void pollEvents(IWindowEvents& e) override {
        if (!engine->cursor()) return;
        if (!started_) {
            started_ = true;
            showStart_ = SteadyClock::now();
        }
        if (!options_.fullRender) fastForward(*engine);
        // The frame about to be drawn is past the span: end the show before it.
        if (clock_.nextFrame() >= plan_.end) e.onDestroy();
        frameStart_ = SteadyClock::now();
    }

    void presentFrame() override {
        if (engine && engine->cursor() && !engine->quitRequested) recordShowFrame();
        window_.presentFrame();
    }
    // Loading frames are never written: only the last one is drawn, under the first show frame.
    bool frameWouldBeSeen() override { return false; }

    double renderSeconds() const {
        return result_.framesRendered + result_.framesFastForwarded
                   ? std::chrono::duration<double>(lastFrameEnd_ - showStart_).count()
                   : 0;
    }
    double readbackMs() const { return readbackMs_; }
    const std::string& readbackError() const { return readbackError_; }

private:
    bool writes(uint64_t k) const { return k >= plan_.first && (k - plan_.spanFirst) % options_.every == 0; }

    // Every frame up to the next one written runs on the simulated clock
    // with nothing drawn to speak of; the engine restores the full size
    // at the frame that follows.
    void fastForward(Engine& e) {
        const SteadyClock::time_point start = SteadyClock::now();
        uint32_t ran = 0;
        for (uint64_t k = clock_.nextFrame(); k < plan_.end && !writes(k) && !e.quitRequested; k = clock_.nextFrame()) {
            e.fastForwardFrame(clock_.readClock());
            if (e.quitRequested) break;   // the show ended: that frame drew nothing
            ++ran;
            shown(k);
        }
        if (ran == 0) return;
        result_.framesFastForwarded += ran;
        result_.fastForwardMs += msSince(start);
        lastFrameEnd_ = SteadyClock::now();
    }

    // The show ran frame k to the end (drawn or fast-forwarded).
    void shown(uint64_t k) {
        if (k < plan_.first) return;
        if (result_.endFrame == 0) result_.firstFrame = uint32_t(k);
        result_.endFrame = uint32_t(k + 1);
    }

    void recordShowFrame() {
        glFinish();   // the frame's cost includes the rasteriser's work
        frameMs[engine->cursor()->effect].push_back(msSince(frameStart_));
        lastFrameEnd_ = SteadyClock::now();

        const uint32_t k = uint32_t(clock_.nextFrame() - 1);
        ++result_.framesRendered;
        shown(k);
        if (writes(k)) writeFrame(k, frameTimeMs(k, options_.fpsNum, options_.fpsDen));
        if (options_.progress) showProgress(k);
    }

    void writeFrame(uint32_t k, uint32_t t) {
        ++result_.framesWritten;
        if (!pipeline && !options_.onFrame) return;   // a timing run: no read-back to skew the numbers
        if (!readback_) readback_ = std::make_unique<FrameReadback>(options_.width, options_.height);
        if (readback_->full()) deliver();
        const SteadyClock::time_point start = SteadyClock::now();
        readback_->start(k);
        inRing_.push_back({k, t});
        readbackMs_ += msSince(start);
    }

    // The oldest frame of the ring goes to its outputs.  A frame that cannot
    // be read or written ends the show, with the reason kept for the caller.
    void deliver() {
        const SteadyClock::time_point start = SteadyClock::now();
        std::shared_ptr<CapturedFrame> frame = readback_->collect();
        const auto [k, t] = inRing_.front();
        inRing_.pop_front();
        readbackMs_ += msSince(start);   // the wait for the writers is counted apart
        if (!frame) {
            if (readbackError_.empty()) readbackError_ = "cannot read frame " + std::to_string(k) + " back";
            engine->onDestroy();
            return;
        }
        if (options_.onFrame) options_.onFrame(frame->index, t, topDownRgb(*frame));
        if (pipeline && !pipeline->submit(std::move(frame))) engine->onDestroy();
    }

    std::vector<uint8_t> topDownRgb(const CapturedFrame& frame) const {
        const int w = options_.width, h = options_.height;
        std::vector<uint8_t> rgb(size_t(w) * h * 3);
        for (int y = 0; y < h; ++y) {
            const uint8_t* src = &frame.pixels[size_t(h - 1 - y) * w * 4];   // GL's rows are bottom-up
            uint8_t* dst = &rgb[size_t(y) * w * 3];
            for (int x = 0; x < w; ++x) std::copy_n(src + x * 4, 3, dst + x * 3);
        }
        return rgb;
    }

    void showProgress(uint32_t k) {
        const double elapsed = std::chrono::duration<double>(SteadyClock::now() - showStart_).count();
        if (elapsed - lastProgress_ < kProgressEverySec) return;
        lastProgress_ = elapsed;
        const uint64_t done = result_.framesRendered + result_.framesFastForwarded;
        const double fps = elapsed > 0 ? done / elapsed : 0.0;
        const uint64_t total = plan_.end;
        const double left = fps > 0 && total > k ? double(total - k - 1) / fps : 0.0;
        std::printf("\rframe %6" PRIu32 "/%" PRIu64 "  written %6" PRIu32 "  %6.1f fps  %3d:%02d left ", k, total,
                    pipeline ? pipeline->framesDone() : result_.framesWritten, fps, int(left) / 60, int(left) % 60);
        std::fflush(stdout);
    }

    const CaptureOptions& options_;
    const CapturePlan&    plan_;
    SimulatedClock&       clock_;
    CaptureResult&        result_;
    GlWindow              window_;
    std::unique_ptr<FrameReadback> readback_;   // made at the first frame read back
    std::deque<std::pair<uint32_t, uint32_t>> inRing_;   // index and music time of the frames in the ring, oldest first
    double                readbackMs_ = 0;  // GL thread's time starting and collecting read-backs
    std::string           readbackError_;
    SteadyClock::time_point frameStart_, showStart_, lastFrameEnd_;
    double                lastProgress_ = -1;
    bool                  started_ = false;   // the first show frame has begun
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

uint64_t firstFrameAt(uint32_t ms, uint32_t fpsNum, uint32_t fpsDen) {
    const uint64_t den = uint64_t(1000) * fpsDen;
    return (uint64_t(ms) * fpsNum + den - 1) / den;
}

CapturePlan planCapture(const CaptureOptions& o) {
    // No frame past the show's end is drawn, which also keeps indices small.
    const uint32_t endMs = std::min<uint32_t>(o.to.value_or(kShowEndMs + 1), kShowEndMs + 1);
    CapturePlan plan;
    plan.spanFirst = uint32_t(firstFrameAt(std::min(o.from, endMs), o.fpsNum, o.fpsDen));
    plan.spanEnd = std::max(plan.spanFirst, uint32_t(firstFrameAt(endMs, o.fpsNum, o.fpsDen)));
    const uint64_t every = std::max<uint32_t>(o.every, 1);
    const uint64_t written = (plan.spanEnd - plan.spanFirst + every - 1) / every;
    plan.written = uint32_t(written);
    const uint64_t n = std::max<uint32_t>(o.segments, 1), i = std::clamp<uint64_t>(o.segment, 1, n);
    plan.first = uint32_t(plan.spanFirst + written * (i - 1) / n * every);
    plan.end = i == n ? plan.spanEnd : uint32_t(plan.spanFirst + written * i / n * every);
    return plan;
}

std::string segmentVideoPath(const std::string& video, uint32_t i, uint32_t n) {
    const size_t slash = video.rfind('/');
    size_t dot = video.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1) dot = video.size();
    return video.substr(0, dot) + ".segment-" + std::to_string(i) + "-of-" + std::to_string(n) + video.substr(dot);
}

CaptureResult runCapture(const CaptureOptions& options) {
    CaptureResult result;
    const CapturePlan plan = planCapture(options);
    const bool segmented = options.segments > 1;
    // Offscreen even when a display is there: a capture never opens a window.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);

    std::string tempVideo, videoOut;
    if (!options.videoPath.empty()) {
        if (!programOnPath("ffmpeg")) {
            result.status = 1;
            result.error = "--video needs the ffmpeg program, which is not installed (apt-get install ffmpeg)";
            return result;
        }
        videoOut = segmented ? segmentVideoPath(options.videoPath, options.segment, options.segments) : options.videoPath;
        tempVideo = videoOut + ".video.mkv";
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

    EffectRegistry registry(showEffects());
    SimulatedClock clock(options.fpsNum, options.fpsDen);
    CaptureDisplay display(options, plan, clock, result);
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
                "ffmpeg -loglevel error -y -f rawvideo -pix_fmt rgba -s " + std::to_string(options.width) + "x" +
                std::to_string(options.height) + " -framerate " + rate +
                " -i - -vf 'vflip,pad=ceil(iw/2)*2:ceil(ih/2)*2' -c:v libx264 -preset " + kVideoPreset + " -crf " +
                std::to_string(kVideoCrf) + " -pix_fmt yuv420p " +
                shellQuoted(tempVideo);
            display.video = popen(command.c_str(), "w");
        }
        if (display.video || !options.framesDir.empty()) {
            PipelineSetup setup;
            setup.width = options.width;
            setup.height = options.height;
            setup.framesDir = options.framesDir;
            setup.video = display.video;
            setup.videoName = options.videoPath;
            setup.pngThreads = options.threads ? options.threads : std::max(std::thread::hardware_concurrency(), 1u);
            setup.queueFrames = kQueueFrames;
            setup.pngLevel = kPngLevel;
            display.pipeline = std::make_unique<FramePipeline>(setup);
        }
    };

    // A video encoder that dies must show up as a failed write, not kill us.
    using SignalHandler = void (*)(int);
    const SignalHandler oldPipeHandler = tempVideo.empty() ? SIG_DFL : std::signal(SIGPIPE, SIG_IGN);

    try {
        result.status = engine.run();
    } catch (const FatalError& error) {
        result.status = 1;
        result.error = error.what();
    }
    if (options.progress) std::printf("\n");
    std::string writeError = display.readbackError();
    if (display.pipeline) {
        if (!display.pipeline->finish() && writeError.empty()) writeError = display.pipeline->error();
        result.queueWaitMs = display.pipeline->waitMs();
    }
    result.readbackMs = display.readbackMs();
    const bool videoOpen = display.video != nullptr;
    const bool videoOk = videoOpen && pclose(display.video) == 0;
    if (!tempVideo.empty()) std::signal(SIGPIPE, oldPipeHandler);
    if (!writeError.empty()) {
        // The show was stopped at the failure: what was rendered is not all there.
        result.status = 1;
        result.error = writeError;
        std::error_code ec;
        if (!tempVideo.empty()) fs::remove(tempVideo, ec);
        return result;
    }
    if (result.status != 0) {
        if (result.error.empty()) result.error = "cannot open an offscreen window";
        return result;
    }

    result.renderSeconds = display.renderSeconds();
    result.effects = timings(registered, display.frameMs);
    if (result.framesWritten == 0) {
        std::error_code ec;
        if (!tempVideo.empty()) fs::remove(tempVideo, ec);
        result.status = 2;
        result.error = "nothing to capture: the show ended at " + std::to_string(engine.previousTime) +
                       " ms of music time, before the " + (segmented ? "segment" : "span") + " starting at " +
                       std::to_string(frameTimeMs(plan.first, options.fpsNum, options.fpsDen)) + " ms";
        return result;
    }

    // A segment's sound is the whole span's, so that any one run can make it
    // for the join; its video stays silent.
    const uint32_t soundFirst = segmented ? plan.spanFirst : result.firstFrame;
    const uint32_t soundEnd = segmented ? plan.spanEnd : result.endFrame;
    const uint64_t firstSample = frameSample(soundFirst, options.fpsNum, options.fpsDen);
    const uint64_t endSample = frameSample(soundEnd, options.fpsNum, options.fpsDen);
    result.audioSamples = endSample - firstSample;

    std::string wavPath = options.audioPath;
    if (wavPath.empty() && !tempVideo.empty() && !segmented) wavPath = videoOut + ".audio.wav";
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
        // A segment's file appears complete or not at all: the join takes a
        // file that is there for a finished segment.
        const fs::path out(videoOut);
        std::string hidden(1, '.');
        hidden += out.filename().string();
        const std::string partial = (out.parent_path() / hidden).string();
        int muxed = -1;
        if (videoOk) {
            const std::string command =
                "ffmpeg -loglevel error -y -i " + shellQuoted(tempVideo) +
                (segmented ? " -c:v copy " + shellQuoted(partial)
                           : " -i " + shellQuoted(wavPath) + " -c:v copy -c:a aac -b:a 192k " + shellQuoted(videoOut));
            muxed = std::system(command.c_str());
        }
        std::error_code ec;
        fs::remove(tempVideo, ec);
        if (segmented && muxed == 0) {
            fs::rename(partial, videoOut, ec);
            if (ec) muxed = -1;
        }
        fs::remove(partial, ec);
        if (options.audioPath.empty() && !wavPath.empty()) fs::remove(wavPath, ec);
        if (muxed != 0) {
            result.status = 1;
            result.error = "ffmpeg could not encode " + videoOut;
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
                  "  \"segment\": \"%" PRIu32 "/%" PRIu32 "\",\n"
                  "  \"framesFastForwarded\": %" PRIu32 ",\n  \"fastForwardMs\": %.3f,\n"
                  "  \"loadingMs\": %.3f,\n  \"renderSeconds\": %.3f,\n"
                  "  \"readbackMs\": %.3f,\n  \"queueWaitMs\": %.3f,\n  \"effects\": [",
                  options.width, options.height, options.fpsNum, options.fpsDen, options.samples,
                  result.framesRendered, result.framesWritten, result.firstFrame, result.endFrame, options.segment,
                  options.segments, result.framesFastForwarded, result.fastForwardMs, result.loadingMs,
                  result.renderSeconds, result.readbackMs, result.queueWaitMs);
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
