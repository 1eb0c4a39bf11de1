#include "WavWriter.h"

#include <cstdio>

namespace {

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, uint16_t(v));
    put16(out, uint16_t(v >> 16));
}

}  // namespace

bool writeWav(const std::string& path, const std::vector<int16_t>& stereo, int rate) {
    constexpr int kChannels = 2, kBytesPerSample = 2;
    const uint32_t dataBytes = uint32_t(stereo.size() * kBytesPerSample);
    std::vector<uint8_t> header;
    header.insert(header.end(), {'R', 'I', 'F', 'F'});
    put32(header, 36 + dataBytes);
    header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(header, 16);
    put16(header, 1);   // PCM
    put16(header, kChannels);
    put32(header, uint32_t(rate));
    put32(header, uint32_t(rate * kChannels * kBytesPerSample));
    put16(header, kChannels * kBytesPerSample);
    put16(header, 16);
    header.insert(header.end(), {'d', 'a', 't', 'a'});
    put32(header, dataBytes);

    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
    // Samples are little-endian on every machine we build for; write them as they lie.
    if (ok && !stereo.empty()) ok = std::fwrite(stereo.data(), kBytesPerSample, stereo.size(), f) == stereo.size();
    return std::fclose(f) == 0 && ok;
}
