#include "engine/CommandLine.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr long kMaxSide = 16384;   // pixels; no display is larger, and width*height stays far from overflow
constexpr long kMaxRate = 1000;    // Hz
constexpr long kMaxFrom = 0xFFFFFFFFL;   // ms; the show's own end is checked where it is known

const char* const kSampleCounts[] = {"0", "2", "4", "8", "16"};

// A whole decimal number in [lo, hi], nothing before or after it.
bool parseNumber(const char* text, long lo, long hi, long& value) {
    if (!text || *text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && *end == '\0' && value >= lo && value <= hi;
}

bool parseSize(const char* text, int32_t& width, int32_t& height) {
    const char* x = text ? std::strchr(text, 'x') : nullptr;
    if (!x) return false;
    const std::string w(text, x);
    long wv = 0, hv = 0;
    if (!parseNumber(w.c_str(), 1, kMaxSide, wv) || !parseNumber(x + 1, 1, kMaxSide, hv)) return false;
    width = int32_t(wv);
    height = int32_t(hv);
    return true;
}

}  // namespace

const char* const kUsage =
    "Usage: halvoren [--window | --fullscreen] [--size WxH] [--rate HZ] [--samples N] [--from MS]\n"
    "                [--help] [--version]\n"
    "       halvoren --check [DIR]\n"
    "Plays the show: its music and, in step with it, the effects data/hlv.txt\n"
    "schedules, read from data/ or data.dat in the folder it is started in.\n"
    "  --window       play in a window (the default size is 800x600)\n"
    "  --fullscreen   switch the display to the chosen mode (default: the desktop's)\n"
    "  --size WxH     window size or screen mode, e.g. 1280x720\n"
    "  --rate HZ      refresh rate of the screen mode (default: its lowest)\n"
    "  --samples N    multisampling: 0, 2, 4, 8 or 16\n"
    "Any of these skips the setup dialog; without them the dialog asks.\n"
    "  --from MS      start the show MS milliseconds of music in\n"
    "  --check [DIR]  check the content in DIR (default: here) without playing it:\n"
    "                 one line per problem, status 0 only when there is none\n"
    "  --help         print this text\n"
    "  --version      print the version\n"
    "While the show plays:\n"
    "  Space          pause and resume\n"
    "  Right / Left   5 s forward / back\n"
    "  PgDn / PgUp    30 s forward / back\n"
    "  Home           back to the start\n"
    "  F5             read the script, pictures and music again, and go on where it was\n"
    "  F1             show or hide the music time, the schedule rows and the frame rate\n"
    "  Escape         end the show\n";

bool parseCommandLine(int argc, const char* const* argv, CommandLine& out, std::string* error) {
    out = CommandLine{};
    bool window = false, fullscreen = false;
    std::string firstChoice;   // the first display option, for the message when --check is given too
    auto fail = [&](const std::string& what) {
        if (error) *error = what;
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takesValue = arg == "--size" || arg == "--rate" || arg == "--samples" || arg == "--from";
        const char* value = takesValue && i + 1 < argc ? argv[++i] : nullptr;
        if (takesValue && !value) return fail(arg + " needs a value");
        if (arg == "--check") {
            out.check = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') out.checkFolder = argv[++i];
            continue;
        }
        if (arg == "--help") {
            out.help = true;
        } else if (arg == "--version") {
            out.version = true;
        } else if (arg == "--window") {
            window = true;
        } else if (arg == "--fullscreen") {
            fullscreen = true;
        } else if (arg == "--size") {
            if (!parseSize(value, out.choice.width, out.choice.height))
                return fail("--size " + std::string(value) + ": expected WIDTHxHEIGHT, each 1 to 16384");
            out.sizeGiven = true;
        } else if (arg == "--rate") {
            long hz = 0;
            if (!parseNumber(value, 1, kMaxRate, hz))
                return fail("--rate " + std::string(value) + ": expected a rate in Hz, 1 to 1000");
            out.choice.refreshRate = int32_t(hz);
            out.rateGiven = true;
        } else if (arg == "--samples") {
            bool known = false;
            for (const char* n : kSampleCounts) known = known || std::strcmp(value, n) == 0;
            if (!known) return fail("--samples " + std::string(value) + ": expected 0, 2, 4, 8 or 16");
            out.choice.samples = int32_t(std::atoi(value));
        } else if (arg == "--from") {
            long ms = 0;
            if (!parseNumber(value, 0, kMaxFrom, ms))
                return fail("--from " + std::string(value) + ": expected milliseconds of music time");
            out.from = uint32_t(ms);
            continue;   // the dialog still asks
        } else {
            return fail(arg + ": unknown option");
        }
        if (arg != "--help" && arg != "--version" && !out.choiceGiven) {
            out.choiceGiven = true;
            firstChoice = arg;
        }
    }
    if (window && fullscreen) return fail("--window and --fullscreen exclude each other");
    if (out.check && out.choiceGiven) return fail(firstChoice + " with --check: the check opens no window");
    out.choice.fullscreen = fullscreen;
    return true;
}
