#include "engine/OggDecoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// ov_read's granularity: holds any Vorbis packet of up to eight channels.
constexpr int kChunkSamples = 8192;

// Front left and front right in Vorbis channel order (1: mono, 2: L R,
// 3: L C R, 4: FL FR RL RR, 5 and more: FL C FR ...).  The rest is dropped.
void frontPair(int channels, int& left, int& right) {
    left = 0;
    right = channels == 1 ? 0 : (channels == 3 || channels >= 5) ? 2 : 1;
}

}  // namespace

std::unique_ptr<OggDecoder> OggDecoder::open(const uint8_t* bytes, size_t size, std::string& whyNot) {
    std::unique_ptr<OggDecoder> decoder(new OggDecoder(bytes, size));
    const ov_callbacks callbacks = {&OggDecoder::readBytes, &OggDecoder::seekBytes, nullptr,
                                    &OggDecoder::tellBytes};
    const int opened = ov_open_callbacks(decoder.get(), &decoder->file_, nullptr, 0, callbacks);
    if (opened != 0) {
        whyNot = opened == OV_ENOTVORBIS ? "not an Ogg Vorbis stream"
               : opened == OV_EVERSION   ? "unsupported Vorbis version"
                                         : "broken Ogg Vorbis headers";
        return nullptr;
    }
    decoder->fileOpen_ = true;

    // A chained file keeps the first link's rate throughout.
    const vorbis_info* info = ov_info(&decoder->file_, -1);
    if (!info || info->channels < 1) {
        whyNot = "Ogg Vorbis stream without channels";
        return nullptr;
    }
    if (!decoder->setSourceRate(info->rate, whyNot)) return nullptr;
    return decoder;
}

OggDecoder::~OggDecoder() {
    if (fileOpen_) ov_clear(&file_);
}

bool OggDecoder::decodeChunk(std::vector<int16_t>& stereo) {
    int16_t raw[kChunkSamples];
    for (;;) {
        int link = 0;
        const long got = ov_read(&file_, reinterpret_cast<char*>(raw), int(sizeof raw), 0, 2, 1, &link);
        if (got == OV_HOLE) continue;   // a gap in the data: go on with the next good page
        if (got <= 0) return false;     // the end, or damage vorbisfile cannot get past
        const vorbis_info* info = ov_info(&file_, link);
        const int channels = info && info->channels > 0 ? info->channels : 2;
        const long frames = got / 2 / channels;
        int left = 0, right = 1;
        frontPair(channels, left, right);
        stereo.resize(size_t(frames) * 2);
        for (long f = 0; f < frames; ++f) {
            stereo[size_t(f) * 2] = raw[f * channels + left];
            stereo[size_t(f) * 2 + 1] = raw[f * channels + right];
        }
        if (frames > 0) return true;
    }
}

bool OggDecoder::seekSource(int64_t frame) {
    // Sample-exact: vorbisfile decodes up to the very frame.  A frame past
    // the end is refused, which ends the music.
    return ov_pcm_seek(&file_, ogg_int64_t(frame)) == 0;
}

size_t OggDecoder::readBytes(void* dst, size_t size, size_t count, void* self) {
    auto* d = static_cast<OggDecoder*>(self);
    if (size == 0) return 0;
    const size_t items = std::min(count, (d->size_ - d->cursor_) / size);
    std::memcpy(dst, d->bytes_ + d->cursor_, items * size);
    d->cursor_ += items * size;
    return items;
}

int OggDecoder::seekBytes(void* self, ogg_int64_t offset, int whence) {
    auto* d = static_cast<OggDecoder*>(self);
    const ogg_int64_t base = whence == SEEK_SET ? 0
                           : whence == SEEK_CUR ? ogg_int64_t(d->cursor_)
                           : whence == SEEK_END ? ogg_int64_t(d->size_)
                                                : -1;
    if (base < 0) return -1;
    const ogg_int64_t target = base + offset;
    if (target < 0 || target > ogg_int64_t(d->size_)) return -1;
    d->cursor_ = size_t(target);
    return 0;
}

long OggDecoder::tellBytes(void* self) { return long(static_cast<OggDecoder*>(self)->cursor_); }
