#include "AudioFixtures.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <vorbis/vorbisenc.h>

namespace hlvtest {

namespace {

constexpr int kModHeaderBytes = 1084;      // title, 31 sample headers, order list, "M.K."
constexpr int kModChannels = 4;
constexpr int kModRowBytes = kModChannels * 4;
constexpr int kModPatternBytes = 64 * kModRowBytes;
constexpr int kModDefaultBpm = 125;
constexpr int kSquareBytes = 32;           // one period of the sample, looped
constexpr int kPeriodC3 = 428;             // ProTracker period of the struck note
constexpr int kEffectBreak = 0xD;
constexpr int kEffectSpeed = 0xF;

void putBe16(std::vector<uint8_t>& out, size_t at, int value) {
    out[at] = uint8_t(value >> 8);
    out[at + 1] = uint8_t(value);
}

void putCell(std::vector<uint8_t>& out, size_t at, int sample, int period, int effect, int param) {
    out[at] = uint8_t((sample & 0xF0) | (period >> 8));
    out[at + 1] = uint8_t(period);
    out[at + 2] = uint8_t((sample & 0x0F) << 4 | effect);
    out[at + 3] = uint8_t(param);
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void putTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(tag[i]));
}

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

}  // namespace

std::vector<uint8_t> makeTinyMod(int rows, int speed) {
    if (rows < 1 || rows > 64 || speed < 1 || speed > 31)
        throw std::invalid_argument("makeTinyMod: rows 1..64, speed 1..31");
    std::vector<uint8_t> mod(kModHeaderBytes + kModPatternBytes + kSquareBytes, 0);
    std::memcpy(&mod[0], "halvoren test", 13);

    // Sample 1: 32 bytes, full volume, looped whole (lengths in 16-bit words).
    const size_t sample = 20;
    std::memcpy(&mod[sample], "square", 6);
    putBe16(mod, sample + 22, kSquareBytes / 2);
    mod[sample + 25] = 64;
    putBe16(mod, sample + 26, 0);
    putBe16(mod, sample + 28, kSquareBytes / 2);
    for (int i = 1; i < 31; ++i) putBe16(mod, 20 + size_t(i) * 30 + 28, 1);   // empty: "no loop"

    mod[950] = 1;     // song length: one order
    mod[951] = 127;   // restart byte as ProTracker writes it
    mod[952] = 0;     // order 0 plays pattern 0
    std::memcpy(&mod[1080], "M.K.", 4);

    const size_t pattern = kModHeaderBytes;
    putCell(mod, pattern, 1, kPeriodC3, kEffectSpeed, speed);
    if (rows < 64) putCell(mod, pattern + size_t(rows - 1) * kModRowBytes + 4, 0, 0, kEffectBreak, 0);

    for (int i = 0; i < kSquareBytes; ++i)
        mod[pattern + kModPatternBytes + i] = uint8_t(i < kSquareBytes / 2 ? 64 : -64);
    return mod;
}

int64_t tinyModFrames(int rows, int speed, int rate) {
    // 2.5 / BPM seconds per tick; exact in frames at 125 BPM and 44.1 kHz.
    return int64_t(rows) * speed * rate * 5 / (2 * kModDefaultBpm);
}

std::vector<int16_t> makeSine(int frames, int channels, int rate, double hz, int silentFrames) {
    std::vector<int16_t> out(size_t(frames) * channels, 0);
    for (int f = silentFrames; f < frames; ++f) {
        const double phase = 2.0 * M_PI * hz * double(f - silentFrames) / rate;
        const auto v = int16_t(std::lround(16384.0 * std::sin(phase)));
        for (int c = 0; c < channels; ++c) out[size_t(f) * channels + c] = v;
    }
    return out;
}

std::vector<uint8_t> encodeOgg(const std::vector<int16_t>& samples, int channels, int rate) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.4f) != 0) {
        vorbis_info_clear(&vi);
        throw std::runtime_error("encodeOgg: libvorbisenc refused the format");
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1);

    std::vector<uint8_t> out;
    auto emit = [&out](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };

    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    ogg_page page;
    while (ogg_stream_flush(&os, &page) != 0) emit(page);

    constexpr int kBlock = 1024;   // frames handed to the encoder at a time
    const size_t frames = samples.size() / size_t(channels);
    for (size_t at = 0;; at += kBlock) {
        const int n = int(std::min<size_t>(kBlock, frames - std::min(at, frames)));
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&vd, n);
            for (int f = 0; f < n; ++f)
                for (int c = 0; c < channels; ++c)
                    buffer[c][f] = float(samples[(at + size_t(f)) * channels + size_t(c)]) / 32768.0f;
        }
        vorbis_analysis_wrote(&vd, n);   // 0 marks the end of the stream
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                while (ogg_stream_pageout(&os, &page) != 0) emit(page);
            }
        }
        if (n == 0) break;
    }
    while (ogg_stream_flush(&os, &page) != 0) emit(page);

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

std::vector<uint8_t> encodeWav(const std::vector<int16_t>& samples, int channels, int rate) {
    const auto dataBytes = uint32_t(samples.size() * 2);
    std::vector<uint8_t> out;
    putTag(out, "RIFF");
    put32(out, 36 + dataBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, 16);
    put16(out, 1);   // PCM
    put16(out, uint16_t(channels));
    put32(out, uint32_t(rate));
    put32(out, uint32_t(rate * channels * 2));
    put16(out, uint16_t(channels * 2));
    put16(out, 16);
    putTag(out, "data");
    put32(out, dataBytes);
    for (int16_t s : samples) put16(out, uint16_t(s));
    return out;
}

}  // namespace hlvtest
