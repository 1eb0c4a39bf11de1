// Common ground of the compressed-stream decoders: they produce stereo in
// uneven chunks at the file's own rate; this hands it out in the amounts
// asked for, resampled to kMusicRate when the file has another rate.
#pragma once

#include <vector>

#include "engine/MusicDecoder.h"

struct SRC_STATE_tag;

class StreamDecoder : public MusicDecoder {
public:
    ~StreamDecoder() override;
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    int render(int16_t* stereo, int frames) final;
    bool seek(uint32_t ms) final;

protected:
    StreamDecoder() = default;

    // Set once, after the file's rate is known; false (reason in whyNot) when
    // that rate cannot be converted.
    bool setSourceRate(long rate, std::string& whyNot);

    // Replaces `stereo` with the next decoded interleaved stereo frames at the
    // source rate; false at the end of the music.
    virtual bool decodeChunk(std::vector<int16_t>& stereo) = 0;

    // Puts the next decodeChunk at `frame` (source rate, from the music's
    // first sample); false when the music is shorter or the codec cannot.
    virtual bool seekSource(int64_t frame) = 0;

private:
    // Frames for render from the resampler: false once it has given its last.
    bool refill();
    void runResampler(const int16_t* stereo, long frames, bool last);

    long                 rate_ = kMusicRate;     // source frames per second
    SRC_STATE_tag*       resampler_ = nullptr;   // owned; only for rates other than kMusicRate
    std::vector<int16_t> chunk_;                 // stereo samples waiting to be handed out
    size_t               chunkPos_ = 0;          // samples of chunk_ already handed out
    std::vector<int16_t> in16_;                  // a decoded chunk on its way into the resampler
    std::vector<float>   in_, out_;              // the resampler's stereo input and output
    // Since the start or the last seek: the resampler's output is held to
    // round(sourceFrames_ * kMusicRate / rate_) frames in all, padded with
    // silence or cut at the end, so no chunking can lose or add a frame.
    int64_t              sourceFrames_ = 0;
    int64_t              madeFrames_ = 0;        // output frames put into chunk_
    bool                 ended_ = false;         // decodeChunk said the end
};
