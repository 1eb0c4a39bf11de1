// Common ground of the compressed-stream decoders: they produce stereo in
// uneven chunks at the file's own rate; this hands it out in the amounts
// asked for, resampled to kMusicRate when the file has another rate.
#pragma once

#include <vector>

#include "engine/MusicDecoder.h"

struct _SDL_AudioStream;

class StreamDecoder : public MusicDecoder {
public:
    ~StreamDecoder() override;
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    int render(int16_t* stereo, int frames) final;

protected:
    StreamDecoder() = default;

    // Set once, after the file's rate is known; false (reason in whyNot) when
    // that rate cannot be converted.
    bool setSourceRate(long rate, std::string& whyNot);

    // Replaces `stereo` with the next decoded interleaved stereo frames at the
    // source rate; false at the end of the music.
    virtual bool decodeChunk(std::vector<int16_t>& stereo) = 0;

private:
    _SDL_AudioStream*    resampler_ = nullptr;   // owned; only for rates other than kMusicRate
    std::vector<int16_t> chunk_;                 // last decoded chunk, stereo samples
    size_t               chunkPos_ = 0;          // samples of chunk_ already handed out
    bool                 ended_ = false;         // decodeChunk said the end
};
