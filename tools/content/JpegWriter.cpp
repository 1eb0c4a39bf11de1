#include "JpegWriter.h"

#include <algorithm>
#include <cmath>

#include "Noise.h"

namespace gen {

namespace {

constexpr int kZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The example tables of the JPEG standard (Annex K), in natural order.
constexpr int kLumaQuant[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr int kChromaQuant[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

constexpr uint8_t kDcLumaBits[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kDcChromaBits[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr uint8_t kDcValues[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t kAcLumaBits[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr uint8_t kAcLumaValues[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3,
    0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
    0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
    0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
constexpr uint8_t kAcChromaBits[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr uint8_t kAcChromaValues[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22,
    0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1,
    0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36,
    0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,
    0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a,
    0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba,
    0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda,
    0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

struct HuffmanCode {
    uint16_t code[256] = {};
    uint8_t length[256] = {};
};

// Canonical codes from the bit-length counts, as the decoder will rebuild them.
HuffmanCode buildCode(const uint8_t bits[16], const uint8_t* values) {
    HuffmanCode h;
    uint16_t code = 0;
    int k = 0;
    for (int len = 1; len <= 16; ++len) {
        for (int i = 0; i < bits[len - 1]; ++i, ++k) {
            h.code[values[k]] = code++;
            h.length[values[k]] = uint8_t(len);
        }
        code <<= 1;
    }
    return h;
}

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void put(uint32_t bits, int count) {
        for (int i = count - 1; i >= 0; --i) {
            acc_ = uint8_t((acc_ << 1) | ((bits >> i) & 1u));
            if (++n_ == 8) flushByte();
        }
    }
    void finish() {
        while (n_ != 0) put(1, 1);   // pad with ones
    }

private:
    void flushByte() {
        out_.push_back(acc_);
        if (acc_ == 0xFF) out_.push_back(0x00);   // byte stuffing
        acc_ = 0;
        n_ = 0;
    }
    std::vector<uint8_t>& out_;
    uint8_t acc_ = 0;
    int n_ = 0;
};

int category(int v) {
    int a = v < 0 ? -v : v, n = 0;
    while (a) {
        ++n;
        a >>= 1;
    }
    return n;
}

uint32_t magnitudeBits(int v, int cat) {
    return uint32_t(v < 0 ? v - 1 : v) & ((1u << cat) - 1u);
}

void put16(std::vector<uint8_t>& out, int v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void putHuffmanTable(std::vector<uint8_t>& out, uint8_t id, const uint8_t bits[16], const uint8_t* values, int n) {
    out.push_back(id);
    out.insert(out.end(), bits, bits + 16);
    out.insert(out.end(), values, values + n);
}

struct Encoder {
    double cosTable[8][8];   // [u][x] = C(u) / 2 * cos((2x + 1) u pi / 16)
    int quant[2][64];        // natural order
    HuffmanCode dc[2], ac[2];

    void encodeBlock(BitWriter& bits, const double block[64], int table, int& previousDc) const {
        double rows[64], coeff[64];
        for (int y = 0; y < 8; ++y)
            for (int u = 0; u < 8; ++u) {
                double s = 0.0;
                for (int x = 0; x < 8; ++x) s += cosTable[u][x] * block[y * 8 + x];
                rows[y * 8 + u] = s;
            }
        for (int v = 0; v < 8; ++v)
            for (int u = 0; u < 8; ++u) {
                double s = 0.0;
                for (int y = 0; y < 8; ++y) s += cosTable[v][y] * rows[y * 8 + u];
                coeff[v * 8 + u] = s;
            }
        int q[64];
        for (int i = 0; i < 64; ++i) {
            const double scaled = coeff[kZigzag[i]] / quant[table][kZigzag[i]];
            q[i] = int(scaled < 0.0 ? -std::floor(-scaled + 0.5) : std::floor(scaled + 0.5));
        }
        const int diff = q[0] - previousDc;
        previousDc = q[0];
        const int dcCat = category(diff);
        bits.put(dc[table].code[dcCat], dc[table].length[dcCat]);
        if (dcCat) bits.put(magnitudeBits(diff, dcCat), dcCat);
        int run = 0;
        for (int i = 1; i < 64; ++i) {
            if (q[i] == 0) {
                ++run;
                continue;
            }
            while (run > 15) {
                bits.put(ac[table].code[0xF0], ac[table].length[0xF0]);
                run -= 16;
            }
            const int cat = category(q[i]);
            const int symbol = (run << 4) | cat;
            bits.put(ac[table].code[symbol], ac[table].length[symbol]);
            bits.put(magnitudeBits(q[i], cat), cat);
            run = 0;
        }
        if (run > 0) bits.put(ac[table].code[0x00], ac[table].length[0x00]);
    }
};

}  // namespace

std::vector<uint8_t> encodeJpeg(int width, int height, const uint8_t* rgb, int quality) {
    quality = std::clamp(quality, 1, 100);
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    Encoder enc;
    for (int i = 0; i < 64; ++i) {
        enc.quant[0][i] = std::clamp((kLumaQuant[i] * scale + 50) / 100, 1, 255);
        enc.quant[1][i] = std::clamp((kChromaQuant[i] * scale + 50) / 100, 1, 255);
    }
    for (int u = 0; u < 8; ++u)
        for (int x = 0; x < 8; ++x)
            enc.cosTable[u][x] = (u == 0 ? 0.35355339059327376220 : 0.5) * dcos((2 * x + 1) * u * kPi / 16.0);
    enc.dc[0] = buildCode(kDcLumaBits, kDcValues);
    enc.dc[1] = buildCode(kDcChromaBits, kDcValues);
    enc.ac[0] = buildCode(kAcLumaBits, kAcLumaValues);
    enc.ac[1] = buildCode(kAcChromaBits, kAcChromaValues);

    std::vector<uint8_t> out = {0xFF, 0xD8};
    // JFIF header: version 1.1, no density units, no thumbnail.
    const uint8_t app0[] = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    out.insert(out.end(), app0, app0 + sizeof app0);
    out.push_back(0xFF);
    out.push_back(0xDB);
    put16(out, 2 + 2 * 65);
    for (int t = 0; t < 2; ++t) {
        out.push_back(uint8_t(t));
        for (int i = 0; i < 64; ++i) out.push_back(uint8_t(enc.quant[t][kZigzag[i]]));
    }
    out.push_back(0xFF);
    out.push_back(0xC0);
    put16(out, 17);
    out.push_back(8);
    put16(out, height);
    put16(out, width);
    const uint8_t components[] = {3, 1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1};
    out.insert(out.end(), components, components + sizeof components);
    out.push_back(0xFF);
    out.push_back(0xC4);
    put16(out, 2 + 4 * 17 + 12 + 162 + 12 + 162);
    putHuffmanTable(out, 0x00, kDcLumaBits, kDcValues, 12);
    putHuffmanTable(out, 0x10, kAcLumaBits, kAcLumaValues, 162);
    putHuffmanTable(out, 0x01, kDcChromaBits, kDcValues, 12);
    putHuffmanTable(out, 0x11, kAcChromaBits, kAcChromaValues, 162);
    const uint8_t sos[] = {0xFF, 0xDA, 0, 12, 3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0};
    out.insert(out.end(), sos, sos + sizeof sos);

    BitWriter bits(out);
    int previousDc[3] = {0, 0, 0};
    double block[3][64];
    for (int by = 0; by < height; by += 8) {
        for (int bx = 0; bx < width; bx += 8) {
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    // Blocks past the edge repeat the last row and column.
                    const int sx = std::min(bx + x, width - 1), sy = std::min(by + y, height - 1);
                    const uint8_t* p = rgb + (size_t(sy) * width + sx) * 3;
                    const double r = p[0], g = p[1], b = p[2];
                    block[0][y * 8 + x] = 0.299 * r + 0.587 * g + 0.114 * b - 128.0;
                    block[1][y * 8 + x] = -0.168736 * r - 0.331264 * g + 0.5 * b;
                    block[2][y * 8 + x] = 0.5 * r - 0.418688 * g - 0.081312 * b;
                }
            }
            enc.encodeBlock(bits, block[0], 0, previousDc[0]);
            enc.encodeBlock(bits, block[1], 1, previousDc[1]);
            enc.encodeBlock(bits, block[2], 1, previousDc[2]);
        }
    }
    bits.finish();
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

}  // namespace gen
