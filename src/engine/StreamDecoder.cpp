#include "engine/StreamDecoder.h"

#include <algorithm>
#include <cstring>

#include <samplerate.h>

namespace {

constexpr int kFrameBytes = 4;   // 16-bit stereo
// Medium sinc: clean to well above hearing for any rate a file brings, and
// cheap enough to run beside the show on one core.
constexpr int kConverter = SRC_SINC_MEDIUM_QUALITY;
constexpr long kOutFrames = 4096;   // resampler output per call

}  // namespace

StreamDecoder::~StreamDecoder() {
    if (resampler_) src_delete(resampler_);
}

bool StreamDecoder::setSourceRate(long rate, std::string& whyNot) {
    rate_ = rate;
    if (rate == kMusicRate) return true;
    int error = 0;
    if (rate > 0 && src_is_valid_ratio(double(kMusicRate) / double(rate)))
        resampler_ = src_new(kConverter, 2, &error);
    if (!resampler_) {
        whyNot = "cannot resample from " + std::to_string(rate) + " Hz"
               + (error ? std::string(" (") + src_strerror(error) + ")" : std::string());
        return false;
    }
    return true;
}

int StreamDecoder::render(int16_t* stereo, int frames) {
    int done = 0;
    while (done < frames) {
        if (chunkPos_ == chunk_.size()) {
            chunk_.clear();
            chunkPos_ = 0;
            if (!refill()) break;
            continue;
        }
        const size_t take = std::min((chunk_.size() - chunkPos_) / 2, size_t(frames - done));
        std::memcpy(stereo + size_t(done) * 2, chunk_.data() + chunkPos_, take * kFrameBytes);
        chunkPos_ += take * 2;
        done += int(take);
    }
    return done;
}

bool StreamDecoder::seek(uint32_t ms) {
    chunk_.clear();
    chunkPos_ = 0;
    sourceFrames_ = madeFrames_ = 0;
    if (resampler_) src_reset(resampler_);
    ended_ = !seekSource(int64_t(ms) * rate_ / 1000);
    return !ended_;
}

bool StreamDecoder::refill() {
    while (chunk_.empty()) {
        if (ended_) return false;
        if (!resampler_) {
            ended_ = !decodeChunk(chunk_);
            if (ended_) chunk_.clear();
            continue;
        }
        std::vector<int16_t>& source = in16_;
        if (decodeChunk(source)) {
            sourceFrames_ += int64_t(source.size() / 2);
            runResampler(source.data(), long(source.size() / 2), false);
        } else {
            ended_ = true;
            runResampler(nullptr, 0, true);
        }
    }
    return true;
}

void StreamDecoder::runResampler(const int16_t* stereo, long frames, bool last) {
    in_.resize(size_t(frames) * 2);
    if (frames > 0) src_short_to_float_array(stereo, in_.data(), int(frames * 2));
    out_.resize(size_t(kOutFrames) * 2);
    // Only the end knows the exact length; before it the resampler is always
    // behind its input (its filter waits for what comes next).
    const int64_t target = (sourceFrames_ * kMusicRate * 2 + rate_) / (2 * rate_);
    long used = 0;
    for (;;) {
        SRC_DATA data{};
        data.data_in = in_.data() + used * 2;
        data.input_frames = frames - used;
        data.data_out = out_.data();
        data.output_frames = kOutFrames;
        data.end_of_input = last ? 1 : 0;
        data.src_ratio = double(kMusicRate) / double(rate_);
        if (src_process(resampler_, &data) != 0) break;
        used += data.input_frames_used;
        long made = data.output_frames_gen;
        if (last) made = long(std::clamp<int64_t>(target - madeFrames_, 0, made));
        const size_t at = chunk_.size();
        chunk_.resize(at + size_t(made) * 2);
        src_float_to_short_array(out_.data(), chunk_.data() + at, int(made * 2));
        madeFrames_ += made;
        if (data.output_frames_gen == 0 && data.input_frames_used == 0) break;
    }
    if (last && madeFrames_ < target) {
        chunk_.resize(chunk_.size() + size_t(target - madeFrames_) * 2, 0);
        madeFrames_ = target;
    }
}
