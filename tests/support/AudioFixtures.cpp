#include "AudioFixtures.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include <vorbis/vorbisenc.h>

namespace hlvtest {

namespace {

constexpr int kModHeaderBytes = 1084;      // title, 31 sample headers, order list, "M.K."
constexpr int kModRowBytes = 4 * 4;        // four channels of 4-byte cells
constexpr int kModPatternBytes = 64 * kModRowBytes;
constexpr int kSquareBytes = 32;           // one period of the sample, looped
constexpr int kPeriodC3 = 428;             // ProTracker period of the struck note

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

}  // namespace

std::vector<uint8_t> makeTinyMod(int rows, int speed, bool strikeEveryRow) {
    if (rows < 1 || rows > 64 || speed < 1 || speed > 31)
        throw std::invalid_argument("makeTinyMod: rows 1..64, speed 1..31");
    std::vector<uint8_t> mod(kModHeaderBytes + kModPatternBytes + kSquareBytes, 0);
    std::memcpy(&mod[0], "halvoren test", 13);
    // Sample 1: full volume, looped whole (lengths in 16-bit words); the
    // empty ones get ProTracker's "no loop" length of 1.
    std::memcpy(&mod[20], "square", 6);
    putBe16(mod, 20 + 22, kSquareBytes / 2);
    mod[20 + 25] = 64;
    putBe16(mod, 20 + 28, kSquareBytes / 2);
    for (int i = 1; i < 31; ++i) putBe16(mod, 20 + size_t(i) * 30 + 28, 1);
    mod[950] = 1;     // song length: one order, playing pattern 0
    mod[951] = 127;   // restart byte as ProTracker writes it
    std::memcpy(&mod[1080], "M.K.", 4);

    const size_t cell = kModHeaderBytes;
    if (strikeEveryRow) {
        // Volumes 8..64 in a stride coprime to 57: no two of the first 57 rows alike.
        for (int r = 0; r < rows; ++r)
            putCell(mod, cell + size_t(r) * kModRowBytes, 1, kPeriodC3, 0xC, 8 + r * 23 % 57);
        putCell(mod, cell + 8, 0, 0, 0xF, speed);
    } else {
        putCell(mod, cell, 1, kPeriodC3, 0xF, speed);   // Fxx: speed
    }
    if (rows < 64) putCell(mod, cell + size_t(rows - 1) * kModRowBytes + 4, 0, 0, 0xD, 0);   // Dxx
    for (int i = 0; i < kSquareBytes; ++i)
        mod[kModHeaderBytes + kModPatternBytes + i] = uint8_t(i < kSquareBytes / 2 ? 64 : -64);
    return mod;
}

std::vector<int16_t> makeSine(int frames, int channels, int rate, double hz, double sweep) {
    std::vector<int16_t> out;
    for (int f = 0; f < frames; ++f) {
        const double t = double(f) / rate;
        out.insert(out.end(), size_t(channels), int16_t(std::lround(16384 * std::sin(2 * M_PI * (hz + sweep / 2 * t) * t))));
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
    vorbis_dsp_state vd;
    vorbis_block vb;
    ogg_stream_state os;
    vorbis_comment_init(&vc);
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_init(&os, 1);

    std::vector<uint8_t> out;
    ogg_page page;
    auto emit = [&out, &page] {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    for (ogg_packet* p : {&header, &comments, &codebooks}) ogg_stream_packetin(&os, p);
    while (ogg_stream_flush(&os, &page) != 0) emit();

    const int frames = int(samples.size()) / channels;
    float** buffer = vorbis_analysis_buffer(&vd, frames);
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) buffer[c][f] = float(samples[size_t(f * channels + c)]) / 32768.0f;
    vorbis_analysis_wrote(&vd, frames);
    vorbis_analysis_wrote(&vd, 0);   // the end of the stream
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
        vorbis_analysis(&vb, nullptr);
        vorbis_bitrate_addblock(&vb);
        ogg_packet packet;
        while (vorbis_bitrate_flushpacket(&vd, &packet)) {
            ogg_stream_packetin(&os, &packet);
            while (ogg_stream_pageout(&os, &page) != 0) emit();
        }
    }
    while (ogg_stream_flush(&os, &page) != 0) emit();

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

std::vector<uint8_t> encodeMp3(const std::vector<int16_t>& samples, int channels, int rate) {
    static const bool haveLame =
        std::system("ffmpeg -hide_banner -loglevel error -h encoder=libmp3lame >/dev/null 2>&1") == 0;
    if (!haveLame) return {};
    char dir[] = "/tmp/hlv-mp3-XXXXXX";
    if (!mkdtemp(dir)) throw std::runtime_error("encodeMp3: no temporary folder");
    const std::string raw = std::string(dir) + "/in.raw", mp3 = std::string(dir) + "/out.mp3";
    std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(samples.data()),
                                               std::streamsize(samples.size() * 2));
    const std::string command = "ffmpeg -hide_banner -loglevel error -f s16le -ar " + std::to_string(rate) +
                                " -ac " + std::to_string(channels) + " -i '" + raw +
                                "' -c:a libmp3lame -b:a 192k '" + mp3 + "'";
    const bool encoded = std::system(command.c_str()) == 0;
    std::ifstream file(mp3, std::ios::binary);
    std::vector<uint8_t> out{std::istreambuf_iterator<char>(file), {}};
    std::remove(raw.c_str()), std::remove(mp3.c_str()), std::remove(dir);
    if (!encoded || out.empty()) throw std::runtime_error("encodeMp3: ffmpeg failed");
    return out;
}

}  // namespace hlvtest
