#include "AudioFixtures.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

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

std::vector<uint8_t> encodeWithFfmpeg(const std::vector<int16_t>& samples, int channels, int rate, bool ogg) {
    static const bool haveEncoders =
        std::system("ffmpeg -hide_banner -loglevel error -h encoder=libmp3lame >/dev/null 2>&1") == 0 &&
        std::system("ffmpeg -hide_banner -loglevel error -h encoder=libvorbis >/dev/null 2>&1") == 0;
    if (!haveEncoders) return {};
    char dir[] = "/tmp/hlv-music-XXXXXX";
    if (!mkdtemp(dir)) throw std::runtime_error("encodeWithFfmpeg: no temporary folder");
    const std::string raw = std::string(dir) + "/in.raw", out = std::string(dir) + (ogg ? "/out.ogg" : "/out.mp3");
    std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(samples.data()),
                                               std::streamsize(samples.size() * 2));
    const std::string command = "ffmpeg -hide_banner -loglevel error -f s16le -ar " + std::to_string(rate) +
                                " -ac " + std::to_string(channels) + " -i '" + raw + "' " +
                                (ogg ? "-c:a libvorbis -q:a 4 '" : "-c:a libmp3lame -b:a 192k '") + out + "'";
    const bool encoded = std::system(command.c_str()) == 0;
    std::ifstream file(out, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    std::remove(raw.c_str());
    std::remove(out.c_str());
    std::remove(dir);
    if (!encoded || bytes.empty()) throw std::runtime_error("encodeWithFfmpeg: ffmpeg failed");
    return bytes;
}

}  // namespace hlvtest
