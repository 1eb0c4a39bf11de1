#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Capture.h"
#include "engine/Engine.h"

const char* const kCaptureUsage =
    "Usage: halvoren-capture [--dir DIR] [--size WxH] [--fps N|N/D] [--samples N]\n"
    "                        [--from MS] [--to MS] [--every K] [--segment I/N] [--full-render]\n"
    "                        [--frames OUTDIR] [--video FILE] [--audio FILE.wav] [--report FILE.json]\n"
    "                        [--threads N]\n"
    "Renders the show frame by frame on a simulated music clock (frame k at k*1000/fps ms),\n"
    "offscreen, and writes the frames of the span [--from, --to) of music time.  Frames not\n"
    "written are run with almost nothing drawn (the same frames as drawing them all, which\n"
    "--full-render does).  --segment I/N writes only the I-th of N equal parts of the span;\n"
    "its video goes to FILE.segment-I-of-N.EXT, and --audio then holds the whole span.\n";

namespace {

constexpr uint32_t kMaxSide = 16384;     // pixels; beyond any GL implementation's viewport
constexpr uint32_t kMaxFps = 100000;
constexpr uint32_t kMaxThreads = 256;

// A whole decimal number in [lo, hi]; nothing else, no sign, no trailing text.
bool parseNumber(const char* text, uint64_t lo, uint64_t hi, uint64_t& out) {
    if (!*text || *text < '0' || *text > '9') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno || *end || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool parseSize(const char* text, int& w, int& h) {
    const char* x = std::strchr(text, 'x');
    if (!x) return false;
    std::string width(text, x);
    uint64_t a = 0, b = 0;
    if (!parseNumber(width.c_str(), 1, kMaxSide, a) || !parseNumber(x + 1, 1, kMaxSide, b)) return false;
    w = int(a);
    h = int(b);
    return true;
}

bool parseSegment(const char* text, uint32_t& i, uint32_t& n) {
    const char* slash = std::strchr(text, '/');
    if (!slash) return false;
    std::string first(text, slash);
    uint64_t a = 0, b = 0;
    if (!parseNumber(first.c_str(), 0, UINT32_MAX, a) || !parseNumber(slash + 1, 0, UINT32_MAX, b)) return false;
    i = uint32_t(a);
    n = uint32_t(b);
    return true;
}

bool parseFps(const char* text, uint32_t& num, uint32_t& den) {
    uint64_t a = 0, b = 1;
    const char* slash = std::strchr(text, '/');
    if (slash) {
        std::string n(text, slash);
        if (!parseNumber(n.c_str(), 1, uint64_t(kMaxFps) * 1001, a) || !parseNumber(slash + 1, 1, 1000000, b))
            return false;
    } else if (!parseNumber(text, 1, kMaxFps, a)) {
        return false;
    }
    if (a / b > kMaxFps) return false;
    num = uint32_t(a);
    den = uint32_t(b);
    return true;
}

}  // namespace

bool parseCaptureArgs(int argc, const char* const* argv, CaptureOptions& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--help" || flag == "-h") {
            error = "help";
            return false;
        }
        if (flag == "--full-render") {
            o.fullRender = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = flag + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        uint64_t n = 0;
        bool ok = true;
        if (flag == "--dir") o.dir = value;
        else if (flag == "--size") ok = parseSize(value, o.width, o.height);
        else if (flag == "--fps") ok = parseFps(value, o.fpsNum, o.fpsDen);
        else if (flag == "--samples") {
            ok = parseNumber(value, 0, 16, n) && (n == 0 || n == 2 || n == 4 || n == 8 || n == 16);
            o.samples = int(n);
        } else if (flag == "--from") {
            ok = parseNumber(value, 0, UINT32_MAX, n);
            o.from = uint32_t(n);
        } else if (flag == "--to") {
            ok = parseNumber(value, 0, UINT32_MAX, n);
            o.to = uint32_t(n);
        } else if (flag == "--every") {
            ok = parseNumber(value, 1, UINT32_MAX, n);
            o.every = uint32_t(n);
        } else if (flag == "--segment") {
            ok = parseSegment(value, o.segment, o.segments);
        } else if (flag == "--threads") {
            ok = parseNumber(value, 1, kMaxThreads, n);
            o.threads = unsigned(n);
        } else if (flag == "--frames") o.framesDir = value;
        else if (flag == "--video") o.videoPath = value;
        else if (flag == "--audio") o.audioPath = value;
        else if (flag == "--report") o.reportPath = value;
        else {
            error = "unknown option " + flag;
            return false;
        }
        if (!ok || !*value) {
            error = "bad value for " + flag + ": '" + value + "'";
            return false;
        }
    }
    if (o.to && *o.to <= o.from) {
        error = "--to must be after --from";
        return false;
    }
    if (o.from > kShowEndMs) {
        error = "--from " + std::to_string(o.from) + " is past the show's end at " + std::to_string(kShowEndMs) + " ms";
        return false;
    }
    const CapturePlan plan = planCapture(o);
    if (plan.written == 0) {
        error = "no frame of the span starting at " + std::to_string(o.from) + " ms falls before " +
                std::to_string(o.to ? std::min(*o.to, kShowEndMs + 1) : kShowEndMs + 1) + " ms at this frame rate";
        return false;
    }
    const std::string segment = "--segment " + std::to_string(o.segment) + "/" + std::to_string(o.segments);
    if (o.segment < 1 || o.segment > o.segments) {
        error = segment + ": the segment must be from 1 to the number of segments";
        return false;
    }
    if (o.segments > plan.written) {
        error = segment + ": the span writes only " + std::to_string(plan.written) + " frames, fewer than the segments";
        return false;
    }
    return true;
}
