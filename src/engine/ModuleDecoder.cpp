#include "engine/ModuleDecoder.h"

#include <algorithm>
#include <cmath>

#include <libopenmpt/libopenmpt.h>

namespace {

// The song plays once: when its order list runs out, the music ends.
constexpr int32_t kRepeatCount = 0;
constexpr int kSkipFrames = 1024;   // frames per render while seeking inside a row
constexpr double kFirstStepBackSeconds = 0.05;   // a fast row; slower ones take a few more steps

}  // namespace

std::unique_ptr<ModuleDecoder> ModuleDecoder::open(const uint8_t* bytes, size_t size,
                                                   std::string& whyNot) {
    int error = OPENMPT_ERROR_OK;
    const char* message = nullptr;
    // libopenmpt copies what it needs, but the player keeps the bytes anyway.
    openmpt_module* module = openmpt_module_create_from_memory2(
        bytes, size, openmpt_log_func_silent, nullptr, openmpt_error_func_ignore, nullptr,
        &error, &message, nullptr);
    if (!module) {
        whyNot = std::string("not a tracker module libopenmpt can play")
               + (message && *message ? std::string(" (") + message + ")" : std::string());
        openmpt_free_string(message);
        return nullptr;
    }
    openmpt_free_string(message);
    openmpt_module_set_repeat_count(module, kRepeatCount);
    // No dither: its noise is random, and the capture must decode the very
    // same samples on every run.
    openmpt_module_ctl_set_integer(module, "dither", 0);
    // A seek lands on a row; without this, notes struck before that row stay
    // silent until the next one, and the music after a seek differs from the
    // music played through.
    openmpt_module_ctl_set_boolean(module, "seek.sync_samples", 1);
    return std::unique_ptr<ModuleDecoder>(new ModuleDecoder(module));
}

bool ModuleDecoder::seek(uint32_t ms) {
    // libopenmpt lands on the first row starting at or after the time asked
    // for.  Asking earlier and earlier finds the row holding `ms`; the rest of
    // the way is played into the void, so the next render starts on the frame.
    const double target = ms / 1000.0;
    double row = openmpt_module_set_position_seconds(module_, target);
    for (double back = kFirstStepBackSeconds; row > target; back *= 2) {
        row = openmpt_module_set_position_seconds(module_, std::max(0.0, target - back));
        if (back >= target) break;   // that was the song's start
    }
    int64_t skip = int64_t(ms) * kMusicRate / 1000 - std::llround(row * kMusicRate);
    int16_t scratch[kSkipFrames * 2];
    while (skip > 0) {
        const int got = render(scratch, int(std::min<int64_t>(skip, kSkipFrames)));
        if (got == 0) return false;
        skip -= got;
    }
    return true;
}

ModuleDecoder::~ModuleDecoder() { openmpt_module_destroy(module_); }

int ModuleDecoder::render(int16_t* stereo, int frames) {
    int done = 0;
    // libopenmpt may hand out less than asked before the end; only 0 means the end.
    while (done < frames) {
        const size_t got = openmpt_module_read_interleaved_stereo(
            module_, kMusicRate, size_t(frames - done), stereo + size_t(done) * 2);
        if (got == 0) break;
        done += int(got);
    }
    return done;
}
