// Renders the show frame by frame on a simulated music clock: frame k is drawn
// at music time k * 1000 / fps, so every run gives the same frames.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct CaptureOptions {
    std::string dir = ".";               // folder holding data/ and data.dat
    int         width = 800;             // pixels
    int         height = 600;            // pixels
    uint32_t    fpsNum = 60;             // frames per second as a ratio num / den
    uint32_t    fpsDen = 1;
    int         samples = 0;             // multisampling: 0, 2, 4, 8 or 16
    uint32_t    from = 0;                // ms of music time: first frame written
    std::optional<uint32_t> to;          // ms of music time: frames from here on are not rendered
    uint32_t    every = 1;               // write every K-th frame of the span
    uint32_t    segment = 1;             // render the segment-th (1-based) of `segments` equal parts of the span
    uint32_t    segments = 1;
    bool        fullRender = false;      // draw every frame at full size instead of fast-forwarding to the written ones
    std::string framesDir;               // frame-NNNNNN.png files, NNNNNN = frame index
    std::string videoPath;               // encoded by the ffmpeg program; a segment's goes to segmentVideoPath()
    std::string audioPath;               // 16-bit stereo 44.1 kHz WAV of the written span (the whole span for a segment)
    std::string reportPath;              // JSON timing report
    bool        progress = false;        // a progress line on stdout
    unsigned    threads = 0;             // PNG encoder threads; 0: one per core

    // Called for every written frame, in order, on the render thread once the
    // frame's read-back lands (a few frames after it was drawn): index k, its
    // music time, RGB bytes top row first.
    std::function<void(uint32_t k, uint32_t timeMs, const std::vector<uint8_t>& rgb)> onFrame;
};

// Music time of frame k: k * 1000 * den / num ms, integer division.
uint32_t frameTimeMs(uint64_t k, uint32_t fpsNum, uint32_t fpsDen);
// First audio sample (44.1 kHz) of frame k: k * 44100 * den / num, integer division.
uint64_t frameSample(uint64_t k, uint32_t fpsNum, uint32_t fpsDen);

// First frame whose music time is at or after ms.
uint64_t firstFrameAt(uint32_t ms, uint32_t fpsNum, uint32_t fpsDen);

// Which frames a capture renders, by index.  The span's frames are written
// at spanFirst, spanFirst + every, ... up to spanEnd; segments share those
// written frames out equally and in order, so N runs write exactly the frames
// of one.  The span ends at --to or at the show's end, whichever is sooner; a
// script that ends sooner still leaves the last segments short.
struct CapturePlan {
    uint32_t spanFirst = 0, spanEnd = 0;   // the span, [first, end)
    uint32_t first = 0, end = 0;           // the part this run writes, [first, end)
    uint32_t written = 0;                  // frames the whole span writes
};
CapturePlan planCapture(const CaptureOptions& options);

// Where segment i of n puts its video: "show.mp4" -> "show.segment-2-of-7.mp4".
std::string segmentVideoPath(const std::string& video, uint32_t i, uint32_t n);

struct EffectTiming {
    std::string name;         // registered name
    uint32_t    frames = 0;   // frames in which it was the current entry
    double      meanMs = 0;   // wall time of those frames' rendering
    double      p99Ms = 0;
};

struct CaptureResult {
    int      status = 0;              // process exit status: 0, 1 (show cannot start, a write failed),
                                      // 2 (the show ends before the span), 255 (no window)
    uint32_t framesRendered = 0;      // show frames drawn at full size, written or not
    uint32_t framesFastForwarded = 0; // show frames run with the rasteriser held to one pixel
    uint32_t framesWritten = 0;
    uint32_t firstFrame = 0;          // index of the first frame of the span
    uint32_t endFrame = 0;            // one past the last rendered frame of the span
    uint64_t audioSamples = 0;        // stereo frames in the WAV
    double   loadingMs = 0;           // wall time of the first pass
    double   renderSeconds = 0;       // wall time from the first show frame to the last, fast-forward included
    double   fastForwardMs = 0;       // wall time of the fast-forwarded frames
    double   readbackMs = 0;          // render thread's time reading frames back
    double   queueWaitMs = 0;         // render thread's time waiting for the writers to catch up
    std::vector<EffectTiming> effects;   // every registered effect, in registration order
    std::string error;                // what went wrong, when status is not 0
};

CaptureResult runCapture(const CaptureOptions& options);

// Parses the command line; false with a message in error on bad arguments.
bool parseCaptureArgs(int argc, const char* const* argv, CaptureOptions& options, std::string& error);
extern const char* const kCaptureUsage;

// The report as JSON text.
std::string captureReportJson(const CaptureOptions& options, const CaptureResult& result);
