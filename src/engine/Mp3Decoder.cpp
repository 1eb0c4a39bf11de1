#include "engine/Mp3Decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <mpg123.h>

namespace {

// One MPEG frame is at most 1152 samples per channel: this holds a few.
constexpr size_t kChunkSamples = 4 * 1152 * 2;
constexpr int kMaxEmptyReads = 64;

// libmpg123 before 1.27 wants one global init; it is a no-op after that.
void initLibraryOnce() {
    static const int once = mpg123_init();
    (void)once;
}

}  // namespace

std::unique_ptr<Mp3Decoder> Mp3Decoder::open(const uint8_t* bytes, size_t size, std::string& whyNot) {
    initLibraryOnce();
    std::unique_ptr<Mp3Decoder> decoder(new Mp3Decoder(bytes, size));
    int error = MPG123_OK;
    decoder->handle_ = mpg123_new(nullptr, &error);
    if (!decoder->handle_) {
        whyNot = std::string("libmpg123 would not start (") + mpg123_plain_strerror(error) + ")";
        return nullptr;
    }
    mpg123_handle* mh = decoder->handle_;
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);

    // 16-bit stereo at whatever rate the file has (mono comes out doubled);
    // the rate conversion is left to the resampler every stream shares.
    mpg123_format_none(mh);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(mh, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);

    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_replace_reader_handle(mh, &Mp3Decoder::readBytes, &Mp3Decoder::seekBytes, nullptr) != MPG123_OK
        || mpg123_open_handle(mh, decoder.get()) != MPG123_OK
        || mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) {
        whyNot = std::string("no MPEG audio in it (") + mpg123_strerror(mh) + ")";
        return nullptr;
    }
    if (!decoder->setSourceRate(rate, whyNot)) return nullptr;
    return decoder;
}

Mp3Decoder::~Mp3Decoder() {
    if (handle_) {
        mpg123_close(handle_);
        mpg123_delete(handle_);
    }
}

bool Mp3Decoder::decodeChunk(std::vector<int16_t>& stereo) {
    stereo.resize(kChunkSamples);
    // Empty successful reads only happen around format changes; a stream of
    // them would be a broken file, not music.
    for (int attempt = 0; attempt < kMaxEmptyReads; ++attempt) {
        size_t bytes = 0;
        const int result = mpg123_read(handle_, stereo.data(), kChunkSamples * sizeof(int16_t), &bytes);
        if (bytes > 0) {
            stereo.resize(bytes / sizeof(int16_t));
            return true;
        }
        // A format change mid-file keeps the first rate; anything else is the end.
        if (result != MPG123_NEW_FORMAT && result != MPG123_OK) return false;
    }
    return false;
}

bool Mp3Decoder::seekSource(int64_t frame) {
    // Without MPG123_FUZZY libmpg123 walks the frames (the bytes are in memory,
    // so that is quick) and lands on the very sample, counted after the cut
    // encoder delay like everything else here.
    const off_t landed = mpg123_seek(handle_, off_t(frame), SEEK_SET);
    if (landed < 0) return false;
    const off_t length = mpg123_length(handle_);
    return length < 0 || landed < length;
}

ssize_t Mp3Decoder::readBytes(void* self, void* dst, size_t count) {
    auto* d = static_cast<Mp3Decoder*>(self);
    const size_t n = std::min(count, d->size_ - d->cursor_);
    std::memcpy(dst, d->bytes_ + d->cursor_, n);
    d->cursor_ += n;
    return ssize_t(n);
}

off_t Mp3Decoder::seekBytes(void* self, off_t offset, int whence) {
    auto* d = static_cast<Mp3Decoder*>(self);
    const off_t base = whence == SEEK_SET ? 0
                     : whence == SEEK_CUR ? off_t(d->cursor_)
                     : whence == SEEK_END ? off_t(d->size_)
                                          : -1;
    if (base < 0) return -1;
    const off_t target = base + offset;
    if (target < 0 || target > off_t(d->size_)) return -1;
    d->cursor_ = size_t(target);
    return target;
}
