// Ogg Vorbis streams decoded from memory with libvorbisfile.
#pragma once

#include <vorbis/vorbisfile.h>

#include "engine/StreamDecoder.h"

class OggDecoder : public StreamDecoder {
public:
    // Null when the bytes are not an Ogg Vorbis stream; the reason goes to whyNot.
    static std::unique_ptr<OggDecoder> open(const uint8_t* bytes, size_t size, std::string& whyNot);

    ~OggDecoder() override;

private:
    OggDecoder(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

    bool decodeChunk(std::vector<int16_t>& stereo) override;
    bool seekSource(int64_t frame) override;

    // libvorbisfile's reader over the bytes.
    static size_t readBytes(void* dst, size_t size, size_t count, void* self);
    static int seekBytes(void* self, ogg_int64_t offset, int whence);
    static long tellBytes(void* self);

    const uint8_t* bytes_;             // not owned; outlives the decoder
    size_t         size_;              // bytes
    size_t         cursor_ = 0;        // read position in bytes
    OggVorbis_File file_{};
    bool           fileOpen_ = false;  // file_ needs ov_clear
};
