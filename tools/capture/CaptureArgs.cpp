#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Capture.h"

const char* const kCaptureUsage =
    "usage: halvoren-capture [--dir DIR] [--size WxH] [--fps N|N/D] [--samples N]\n"
    "                        [--from MS] [--to MS] [--every K]\n"
    "                        [--frames OUTDIR] [--video FILE] [--audio FILE.wav] [--report FILE.json]\n"
    "                        [--threads N]\n"
    "Renders the show frame by frame on a simulated music clock (frame k at k*1000/fps ms),\n"
    "offscreen, and writes the frames of the span [--from, --to) of music time.\n";

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
    return true;
}
