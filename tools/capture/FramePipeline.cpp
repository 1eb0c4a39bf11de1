#include "FramePipeline.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstring>
#include <filesystem>

#include <pthread.h>

#include "resources/PngWriter.h"

namespace {

constexpr int kBytesPerPixel = 4;   // what the read-back gives: R, G, B, and one to skip
constexpr PngFilter kFrameFilter = PngFilter::Sub;

}  // namespace

FramePipeline::FramePipeline(const PipelineSetup& setup)
    : setup_(setup), pngQueue_(setup.queueFrames), videoQueue_(setup.queueFrames) {
    if (!setup_.framesDir.empty())
        for (unsigned i = 0; i < std::max(setup_.pngThreads, 1u); ++i) threads_.emplace_back(&FramePipeline::pngWorker, this);
    if (setup_.video) threads_.emplace_back(&FramePipeline::videoWorker, this);
}

FramePipeline::~FramePipeline() { finish(); }

bool FramePipeline::submit(FrameRef frame) {
    if (failed_) return false;
    const auto start = std::chrono::steady_clock::now();
    bool ok = true;
    if (setup_.video) ok = videoQueue_.push(frame);
    if (ok && !setup_.framesDir.empty()) ok = pngQueue_.push(std::move(frame));
    waitUs_ += uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count());
    return ok && !failed_;
}

bool FramePipeline::finish() {
    if (!finished_) {
        finished_ = true;
        pngQueue_.close();
        videoQueue_.close();
        for (std::thread& t : threads_) t.join();
    }
    return !failed_;
}

std::string FramePipeline::error() const {
    const std::lock_guard<std::mutex> hold(errorLock_);
    return error_;
}

uint32_t FramePipeline::framesDone() const {
    if (setup_.framesDir.empty()) return videoDone_;
    if (!setup_.video) return pngsDone_;
    return std::min(pngsDone_.load(), videoDone_.load());
}


void FramePipeline::fail(const std::string& message) {
    {
        const std::lock_guard<std::mutex> hold(errorLock_);
        if (error_.empty()) error_ = message;
    }
    failed_ = true;
    // Nothing after a failure is written: the capture ends with the message.
    pngQueue_.abandon();
    videoQueue_.abandon();
}

void FramePipeline::pngWorker() {
    pthread_setname_np(pthread_self(), "hlv-png");   // so per-thread CPU times tell the stages apart
    const ptrdiff_t stride = ptrdiff_t(setup_.width) * kBytesPerPixel;
    PngFrameEncoder encoder(kFrameFilter, setup_.pngLevel);
    while (std::optional<FrameRef> frame = pngQueue_.pop()) {
        const CapturedFrame& f = **frame;
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06" PRIu32 ".png", f.index);
        const std::string path = (std::filesystem::path(setup_.framesDir) / name).string();
        PngPixels pixels;
        pixels.width = setup_.width;
        pixels.height = setup_.height;
        pixels.channels = 3;
        pixels.skipFourth = true;
        pixels.top = f.pixels.get() + stride * (setup_.height - 1);
        pixels.stride = -stride;
        std::string why;
        if (!encoder.write(path, pixels, &why)) {
            fail("cannot write " + path + ": " + why);
            return;
        }
        ++pngsDone_;
    }
}

void FramePipeline::videoWorker() {
    pthread_setname_np(pthread_self(), "hlv-video");
    while (std::optional<FrameRef> frame = videoQueue_.pop()) {
        const CapturedFrame& f = **frame;
        if (std::fwrite(f.pixels.get(), 1, f.bytes, setup_.video) != f.bytes) {
            fail("cannot write " + setup_.videoName + ": the ffmpeg program stopped taking frames (" +
                 std::strerror(errno) + ")");
            return;
        }
        ++videoDone_;
    }
}
