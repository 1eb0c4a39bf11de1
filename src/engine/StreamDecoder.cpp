#include "engine/StreamDecoder.h"

#include <algorithm>
#include <cstring>

#include <SDL.h>

namespace {

constexpr int kFrameBytes = 4;   // 16-bit stereo

}  // namespace

StreamDecoder::~StreamDecoder() {
    if (resampler_) SDL_FreeAudioStream(resampler_);
}

bool StreamDecoder::setSourceRate(long rate, std::string& whyNot) {
    if (rate == kMusicRate) return true;
    resampler_ = rate > 0 ? SDL_NewAudioStream(AUDIO_S16SYS, 2, int(rate), AUDIO_S16SYS, 2, kMusicRate)
                          : nullptr;
    if (!resampler_) {
        whyNot = "cannot resample from " + std::to_string(rate) + " Hz (" + SDL_GetError() + ")";
        return false;
    }
    return true;
}

int StreamDecoder::render(int16_t* stereo, int frames) {
    int done = 0;
    while (done < frames) {
        if (resampler_) {
            const int got = SDL_AudioStreamGet(resampler_, stereo + size_t(done) * 2,
                                               (frames - done) * kFrameBytes);
            if (got > 0) {
                done += got / kFrameBytes;
                continue;
            }
            if (ended_) break;
            if (decodeChunk(chunk_)) {
                SDL_AudioStreamPut(resampler_, chunk_.data(), int(chunk_.size() * sizeof(int16_t)));
            } else {
                // Pushes out the resampler's tail so the music ends complete.
                SDL_AudioStreamFlush(resampler_);
                ended_ = true;
            }
            continue;
        }
        if (chunkPos_ == chunk_.size()) {
            chunkPos_ = 0;
            if (ended_ || !decodeChunk(chunk_)) {
                chunk_.clear();
                ended_ = true;
                break;
            }
            continue;
        }
        const size_t take = std::min((chunk_.size() - chunkPos_) / 2, size_t(frames - done));
        std::memcpy(stereo + size_t(done) * 2, chunk_.data() + chunkPos_, take * kFrameBytes);
        chunkPos_ += take * 2;
        done += int(take);
    }
    return done;
}
