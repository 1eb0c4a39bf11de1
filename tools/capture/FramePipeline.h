// Where read-back frames go: a bounded queue drained by PNG encoder threads
// (any order, each frame to its own file) and another drained by the one
// thread that feeds the video encoder, in frame order.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BoundedQueue.h"

// One frame as the GL read-back gives it.
struct CapturedFrame {
    uint32_t             index = 0;   // frame index k
    std::unique_ptr<uint8_t[]> pixels;   // width x height x 4 bytes, R G B and a byte to skip, bottom row first
    size_t               bytes = 0;
};
using FrameRef = std::shared_ptr<const CapturedFrame>;

struct PipelineSetup {
    int         width = 0, height = 0;   // pixels
    std::string framesDir;               // frame-NNNNNN.png go here; empty: no pictures
    FILE*       video = nullptr;         // raw RGBX frames, bottom-up, for the video encoder; not owned
    std::string videoName;               // the file the video encoder makes, for messages
    unsigned    pngThreads = 1;          // at least 1
    size_t      queueFrames = 4;         // frames waiting per queue
    int         pngLevel = 1;            // libdeflate level: 1 (fastest) to 12
};

class FramePipeline {
public:
    explicit FramePipeline(const PipelineSetup& setup);
    ~FramePipeline();   // finishes

    // Queues the frame for every output, waiting while a queue is full.
    // False once a write has failed: the capture must stop.
    bool submit(FrameRef frame);
    // Waits until every queued frame is written and the threads are gone.
    // False when any write failed.
    bool finish();

    std::string error() const;                                   // the first failure, naming its file
    uint32_t framesDone() const;                                 // frames every output has written
    double waitMs() const { return waitUs_ / 1000.0; }           // submit's time spent on full queues

private:
    void pngWorker();
    void videoWorker();
    void fail(const std::string& message);

    PipelineSetup            setup_;
    BoundedQueue<FrameRef>   pngQueue_, videoQueue_;
    std::vector<std::thread> threads_;
    std::atomic<uint32_t>    pngsDone_{0}, videoDone_{0};
    std::atomic<bool>        failed_{false};
    std::atomic<uint64_t>    waitUs_{0};
    mutable std::mutex       errorLock_;
    std::string              error_;
    bool                     finished_ = false;
};
