// MPEG audio (MP3, and MP2 for that matter) decoded from memory with libmpg123.
// Gapless: the encoder and decoder delay at the start and the padding at the
// end are cut (from the LAME/Info tag), so sample 0 is the music's first sample
// and an MP3 keeps the same clock as an Ogg of the same music.
#pragma once

#include <sys/types.h>

#include "engine/StreamDecoder.h"

struct mpg123_handle_struct;

class Mp3Decoder : public StreamDecoder {
public:
    // Null when libmpg123 finds no MPEG audio in the bytes; the reason goes to whyNot.
    static std::unique_ptr<Mp3Decoder> open(const uint8_t* bytes, size_t size, std::string& whyNot);

    ~Mp3Decoder() override;

private:
    Mp3Decoder(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

    bool decodeChunk(std::vector<int16_t>& stereo) override;
    bool seekSource(int64_t frame) override;

    // libmpg123's reader over the bytes.
    static ssize_t readBytes(void* self, void* dst, size_t count);
    static off_t seekBytes(void* self, off_t offset, int whence);

    const uint8_t*        bytes_;            // not owned; outlives the decoder
    size_t                size_;             // bytes
    size_t                cursor_ = 0;       // read position in bytes
    mpg123_handle_struct* handle_ = nullptr; // owned
};
