#include "resources/RarArchive.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint8_t  kMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint32_t kMainHeaderSize = 13;
constexpr uint32_t kFileHeaderSize = 32;      // fixed part, the name follows
constexpr uint8_t  kTypeFile = 0x74;
constexpr uint8_t  kTypeEnd = 0x77;           // nothing worth reading after it
constexpr uint16_t kMainSolid = 0x0008;
constexpr uint16_t kFileEncrypted = 0x0004;
constexpr uint16_t kFileSolid = 0x0010;       // continues the previous file's stream
constexpr uint16_t kBlockHasData = 0x8000;
constexpr uint8_t  kMethodStored = 0x30;
constexpr uint8_t  kMinVersion = 13, kMaxVersion = 20;
constexpr uint32_t kMaxName = 259;            // longer stored names never match

constexpr uint32_t kWindowSize = 1u << 20;    // bytes; the farthest a match reaches back
// The decoder's ring holds two windows: the bytes just ahead of the write
// position are then more than a window old, out of any match's reach, so a
// match copy may run a chunk past its end.
constexpr uint32_t kRingSize = 2 * kWindowSize;
constexpr uint32_t kRingMask = kRingSize - 1;
constexpr uint32_t kCopyOvershoot = 16;       // bytes a match copy may write past its end
constexpr uint32_t kFlushMargin = 270;        // more than the longest match
constexpr uint32_t kLongestMatch = 260;       // bytes one symbol can produce
constexpr uint32_t kInputChunk = 64u << 10;   // packed bytes read per refill

constexpr uint32_t kMainSymbols = 298, kDistSymbols = 48, kLenSymbols = 28;
constexpr uint32_t kLzTableSize = kMainSymbols + kDistSymbols + kLenSymbols;   // 374
constexpr uint32_t kAudioSymbols = 257;
constexpr uint32_t kMaxChannels = 4;
constexpr uint32_t kOldLengths = kAudioSymbols * kMaxChannels;                 // 1028
constexpr uint32_t kCodeLengthSymbols = 19;

constexpr uint32_t kMaxCodeBits = 15;
constexpr uint32_t kQuickBits = 10;           // first look-up resolves codes up to this long
constexpr uint16_t kNoSymbol = 0xFFFF;        // decoded from a table without symbols
constexpr uint32_t kPairBits = 11;            // prefix bits of the literal pair table
constexpr uint32_t kPairCount = 24;           // bit of a pair entry where its count of literals starts

constexpr uint8_t kLenBase[kLenSymbols] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10, 12, 14,  16,  20,
                                           24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLenBits[kLenSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                           2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

struct DistanceTables {
    uint32_t base[kDistSymbols];
    uint8_t  bits[kDistSymbols];
    constexpr DistanceTables() : base(), bits() {
        uint32_t b = 0;
        for (uint32_t i = 0; i < kDistSymbols; ++i) {
            const uint32_t n = i < 4 ? 0 : i < 34 ? (i - 2) / 2 : 16;
            base[i] = b;
            bits[i] = uint8_t(n);
            b += 1u << n;
        }
    }
};
constexpr DistanceTables kDist;
static_assert(kDist.base[35] == 196608 && kDist.base[36] == 262144 && kDist.base[47] == 983040);

constexpr uint32_t kStoredChunk = 1u << 20;   // bytes of a stored entry handed on at once
constexpr const char* kSinkRefused = "the output would not take the data";

std::string g_lastError;   // message of the last failed call

uint32_t crcOf(uint32_t crc, const uint8_t* bytes, size_t n) { return uint32_t(libdeflate_crc32(crc, bytes, n)); }

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// The archive's bytes, from a file or from memory.
class Source {
public:
    Source(const uint8_t* bytes, size_t size) : mem_(bytes), size_(size) {}
    explicit Source(FILE* f) : file_(f) {
        if (std::fseek(f, 0, SEEK_END) == 0) {
            const long end = std::ftell(f);
            size_ = end > 0 ? uint64_t(end) : 0;
        }
    }
    uint64_t size() const { return size_; }

    // The bytes themselves when the archive is in memory (no copy needed).
    const uint8_t* at(uint64_t offset) const { return mem_ && offset <= size_ ? mem_ + offset : nullptr; }

    // Bytes actually read, fewer at the end of the archive.
    size_t read(uint64_t offset, void* dst, size_t n) {
        if (offset >= size_) return 0;
        n = size_t(std::min<uint64_t>(n, size_ - offset));
        if (mem_) {
            std::memcpy(dst, mem_ + offset, n);
            return n;
        }
        // Positioned reads: one call each, no stdio buffer to copy through;
        // header reads are a few dozen bytes at scattered offsets.
        size_t done = 0;
        while (done < n) {
            const ssize_t got = pread(fileno(file_), static_cast<uint8_t*>(dst) + done, n - done, off_t(offset + done));
            if (got <= 0) break;
            done += size_t(got);
        }
        return done;
    }

private:
    const uint8_t* mem_ = nullptr;
    FILE*          file_ = nullptr;
    uint64_t       size_ = 0;   // bytes
};

// Canonical Huffman decoding table of up to 15-bit codes.
struct HuffTable {
    uint32_t limit[kMaxCodeBits + 1];   // left-aligned 16-bit code bound of each length
    uint32_t first[kMaxCodeBits + 1];   // index of each length's first symbol in `symbols`
    uint32_t count;                     // symbols listed
    uint16_t symbols[kOldLengths];
    uint32_t quick[1u << kQuickBits];   // symbol | length << 16; length 0 = look further
};

// Fills t from code lengths (0 = absent).  Over- or under-full codes are
// decoded as they come; indices beyond the list give the first symbol, and a
// table without symbols gives kNoSymbol.
void buildTable(HuffTable& t, const uint8_t* lengths, uint32_t n) {
    uint32_t lengthCount[kMaxCodeBits + 1] = {};
    for (uint32_t i = 0; i < n; ++i) ++lengthCount[lengths[i] & 15];
    lengthCount[0] = 0;

    uint32_t code = 0;
    t.limit[0] = 0;
    t.first[0] = 0;
    for (uint32_t l = 1; l <= kMaxCodeBits; ++l) {
        code = 2 * (code + lengthCount[l]);
        const uint64_t lim = uint64_t(code) << (kMaxCodeBits - l);
        t.limit[l] = uint32_t(std::min<uint64_t>(lim, 0xFFFF));
        t.first[l] = l == 1 ? 0 : t.first[l - 1] + lengthCount[l - 1];
    }
    uint32_t next[kMaxCodeBits + 1];
    std::memcpy(next, t.first, sizeof next);
    t.count = 0;
    for (uint32_t i = 0; i < n; ++i)
        if (const uint32_t l = lengths[i] & 15) {
            t.symbols[next[l]++] = uint16_t(i);
            ++t.count;
        }
    if (t.count == 0) t.symbols[0] = kNoSymbol;

    // Codes short enough are fully decided by their first kQuickBits bits.
    // The limits only grow, so each length owns one run of prefixes (a limit
    // capped at 0xFFFF still covers every prefix, whose low bit is clear).
    constexpr uint32_t kShift = 16 - kQuickBits;
    uint32_t p = 0;
    for (uint32_t l = 1; l <= kQuickBits; ++l) {
        const uint32_t end = std::min(1u << kQuickBits, (t.limit[l] + (1u << kShift) - 1) >> kShift);
        for (; p < end; ++p) {
            const uint32_t index = t.first[l] + (((p << kShift) - t.limit[l - 1]) >> (16 - l));
            t.quick[p] = uint32_t(index < t.count ? t.symbols[index] : t.symbols[0]) | l << 16;
        }
    }
    for (; p < (1u << kQuickBits); ++p) t.quick[p] = 0;
}

// The symbol whose code starts the left-aligned bits, with the code's
// length in bits in length.  Codes past kQuickBits walk the limits; the lowest of the 16 bits
// compared is dropped since no limit (capped at 0xFFFF) depends on it.
inline uint32_t lookup(const HuffTable& t, uint64_t bits, uint32_t& length) {
    const uint32_t q = t.quick[bits >> (64 - kQuickBits)];
    if (__builtin_expect(q != 0, 1)) {
        length = q >> 16;
        return q & 0xFFFF;
    }
    const uint32_t v = uint32_t(bits >> 48) & 0xFFFE;
    uint32_t l = kQuickBits + 1;
    while (l < kMaxCodeBits && v >= t.limit[l]) ++l;
    length = l;
    const uint32_t index = t.first[l] + ((v - t.limit[l - 1]) >> (16 - l));
    return index < t.count ? t.symbols[index] : t.symbols[0];
}

// What the first kPairBits bits of the main code hold: two literals when
// both codes fit, else one literal, else the first symbol when its code fits
// the quick look-up, else 0.  An entry is the bits taken | first symbol << 8
// | second literal << 16 | literals << kPairCount.  Text codes are mostly
// under six bits, so one look-up often yields two bytes.
void buildPairs(uint32_t* pairs, const HuffTable& t) {
    constexpr uint32_t kQuickMask = (1u << kQuickBits) - 1;
    static_assert(kPairBits >= kQuickBits);
    for (uint32_t p = 0; p < (1u << kPairBits); ++p) {
        const uint32_t first = t.quick[p >> (kPairBits - kQuickBits)];
        const uint32_t l1 = first >> 16, sym1 = first & 0xFFFF;
        uint32_t e = first == 0 ? 0 : l1 | sym1 << 8;
        if (first != 0 && sym1 < 256) {
            e |= 1u << kPairCount;
            // The bits after the first code, left-aligned; those past the
            // prefix are unknown, so the second code must end within it.
            const uint32_t second = t.quick[((p << l1) >> (kPairBits - kQuickBits)) & kQuickMask];
            const uint32_t l2 = second >> 16, sym2 = second & 0xFFFF;
            if (second != 0 && l1 + l2 <= kPairBits && sym2 < 256)
                e = (l1 + l2) | sym1 << 8 | sym2 << 16 | 2u << kPairCount;
        }
        pairs[p] = e;
    }
}

// Left-aligned bits as both readers below take them.
struct BitWindow {
    uint64_t bits = 0;    // valid bits left-aligned
    int32_t  count = 0;   // valid bits in bits, 0..64

    inline uint64_t peek() const { return bits; }
    inline void skip(uint32_t n) {
        bits <<= n;
        count -= int32_t(n);
    }
    inline uint32_t get(uint32_t n) {   // n <= 16, after a fill
        if (n == 0) return 0;
        const uint32_t v = uint32_t(bits >> (64 - n));
        skip(n);
        return v;
    }
};

// The bit reader's hot state as plain locals of the fast decoding run, so
// the compiler keeps it in registers: every store into the window is a
// char store that may alias any member, which would force each member to
// be reloaded after every byte.  Refills take whole bytes without bounds
// checks; the run stops while kFastInputMargin bytes are still buffered.
struct FastBits : BitWindow {
    const uint8_t* p = nullptr;   // next byte not yet in bits

    // At least 56 valid bits after this.  The bits that also land below the
    // valid ones are the next byte's own, so OR-ing them in again is harmless.
    inline void fill() {
        uint64_t v;
        std::memcpy(&v, p, 8);
        bits |= __builtin_bswap64(v) >> count;
        p += uint32_t(63 - count) >> 3;
        count |= 56;
    }
};

// Packed bytes a fast run keeps buffered: a symbol takes at most four
// refills of up to seven bytes, the last one loading eight.
constexpr uint32_t kFastInputMargin = 64;

// Copies a match of length bytes from dist back to ring position dst.
// Most matches are short, and a library call costs more than they do, so
// whole chunks are copied, each read before it is written (right while the
// source lies at least a chunk back) and the last one running up to
// kCopyOvershoot bytes past the match into bytes no match can reach.
inline void copyInRing(uint8_t* ring, uint32_t dst, uint32_t dist, uint32_t length) {
    uint32_t src = (dst - dist) & kRingMask;
    if (src + length + kCopyOvershoot <= kRingSize && dst + length + kCopyOvershoot <= kRingSize) {
        uint8_t* d = ring + dst;
        const uint8_t* s = ring + src;
        uint8_t chunk[16];
        if (dist >= 16) {
            for (uint32_t i = 0; i < length; i += 16) {
                std::memcpy(chunk, s + i, 16);
                std::memcpy(d + i, chunk, 16);
            }
        } else if (dist >= 8) {
            for (uint32_t i = 0; i < length; i += 8) {
                std::memcpy(chunk, s + i, 8);
                std::memcpy(d + i, chunk, 8);
            }
        } else {
            for (uint32_t i = 0; i < length; ++i) d[i] = s[i];
        }
        return;
    }
    for (uint32_t i = 0; i < length; ++i) {
        ring[dst] = ring[src];
        dst = (dst + 1) & kRingMask;
        src = (src + 1) & kRingMask;
    }
}

// MSB-first bits of one entry's packed data.  Past the data it yields zero
// bits and counts them, so a truncated entry is told from a complete one.
class BitReader : private BitWindow {
public:
    using BitWindow::peek;
    using BitWindow::skip;
    using BitWindow::get;

    void start(Source* src, uint64_t offset, uint32_t packed, uint8_t* buffer) {
        src_ = src;
        offset_ = offset;
        left_ = packed;
        own_ = buffer;
        buf_ = buffer;
        pos_ = end_ = 0;
        bits = 0;
        count = 0;
        padBits_ = 0;
        readError_ = false;
    }

    // At least 32 valid bits after this.
    inline void fill() {
        if (count > 32) return;
        if (end_ - pos_ >= 8) {
            // Eight bytes at once; whole bytes are taken, and the part of
            // the next byte that also lands below the valid bits is that
            // byte's own value, so OR-ing it in again later changes nothing.
            uint64_t v;
            std::memcpy(&v, buf_ + pos_, 8);
            bits |= __builtin_bswap64(v) >> count;
            const uint32_t bytes = uint32_t(63 - count) >> 3;
            pos_ += bytes;
            count += int32_t(bytes * 8);
            return;
        }
        slowFill();
    }
    inline uint32_t peek16() const { return uint32_t(bits >> 48); }

    // Hands the buffered state to a fast run when enough bytes are buffered
    // for it; *stop is the last input position at which a symbol may start.
    bool beginFast(FastBits& f, const uint8_t*& stop) const {
        // A buffer of all 64 bits cannot be topped up by shifting.
        if (end_ - pos_ < kFastInputMargin || count > 63) return false;
        f.bits = bits;
        f.count = count;
        f.p = buf_ + pos_;
        stop = buf_ + end_ - kFastInputMargin;
        return true;
    }
    void endFast(const FastBits& f) {
        bits = f.bits;
        count = f.count;
        pos_ = uint32_t(f.p - buf_);
    }

    // Bits were taken from beyond the end of the data.
    bool overrun() const { return padBits_ > 0 && padBits_ > uint64_t(count); }
    bool readError() const { return readError_; }
    // Packed bytes not yet fully taken, a partly read byte included.
    uint64_t bytesLeft() const {
        const uint64_t total = (uint64_t(end_ - pos_) + left_) * 8 + uint64_t(count);
        return total > padBits_ ? (total - padBits_ + 7) / 8 : 0;
    }

private:
    __attribute__((noinline)) void slowFill() {
        while (count <= 56) {
            if (pos_ == end_) refill();
            uint64_t byte = 0;
            if (pos_ < end_) byte = buf_[pos_++];
            else padBits_ += 8;
            bits |= byte << (56 - count);
            count += 8;
        }
    }
    void refill() {
        pos_ = end_ = 0;
        const uint32_t want = uint32_t(std::min<uint64_t>(left_, kInputChunk));
        if (want == 0) return;
        size_t got;
        if (const uint8_t* direct = src_->at(offset_)) {
            got = size_t(std::min<uint64_t>(want, src_->size() - offset_));
            buf_ = direct;
        } else {
            buf_ = own_;
            got = src_->read(offset_, own_, want);
        }
        if (got != want) readError_ = true;
        offset_ += got;
        left_ = got == want ? left_ - want : 0;
        end_ = uint32_t(got);
    }

    Source*  src_ = nullptr;
    uint64_t offset_ = 0;    // archive offset of the next unread packed byte
    uint64_t left_ = 0;      // packed bytes still in the archive
    uint8_t*       own_ = nullptr;  // kInputChunk bytes, owned by the decoder
    const uint8_t* buf_ = nullptr;  // own_, or the archive's bytes when in memory
    uint32_t pos_ = 0, end_ = 0;
    uint64_t padBits_ = 0;   // zero bits fed past the data
    bool     readError_ = false;
};

struct AudioChannel {
    int32_t  k[5];          // prediction coefficients, -17..16
    int32_t  d[4];          // D1..D4: recent deltas and their difference
    int32_t  lastDelta;     // signed byte
    uint32_t errors[11];    // error sums since the last adaptation
    uint32_t byteCount;
    uint32_t lastByte;      // 0..255
};

// The working state of one extraction: window, tables, recent matches.
struct Decoder {
    uint8_t* window = nullptr;   // kRingSize bytes, owned
    uint8_t* input = nullptr;    // kInputChunk bytes, owned
    BitReader in;

    uint32_t writePos = 0, flushPos = 0;   // window positions
    uint64_t written = 0;                  // bytes decoded since the stream began; bounds distances

    bool        audio = false;
    uint32_t    channels = 1, channel = 0;
    int32_t     channelDelta = 0;
    AudioChannel audioState[kMaxChannels];

    uint32_t recent[4] = {};
    uint32_t recentIndex = 0;
    uint32_t lastDist = 0, lastLength = 0;

    uint8_t   oldLengths[kOldLengths] = {};
    bool      tablesRead = false;
    HuffTable mainTable, distTable, lenTable, codeLengthTable;
    uint32_t  mainPairs[1u << kPairBits];   // see buildPairs
    HuffTable audioTables[kMaxChannels];

    // Output of the wanted file: one block (out), or handed on as decoded
    // (sink, with the CRC kept as it goes); neither while decoding the files
    // before it.
    uint8_t* out = nullptr;
    const RarSink* sink = nullptr;
    uint32_t outSize = 0, outCapacity = 0;
    uint32_t sinkCrc = 0;

    const char* error = nullptr;   // first problem met

    ~Decoder() {
        std::free(window);
        std::free(input);
    }

    void resetStream() {
        writePos = flushPos = 0;
        written = 0;
        audio = false;
        channels = 1;
        channel = 0;
        channelDelta = 0;
        std::memset(audioState, 0, sizeof audioState);
        std::memset(recent, 0, sizeof recent);
        recentIndex = 0;
        lastDist = lastLength = 0;
        std::memset(oldLengths, 0, sizeof oldLengths);
        tablesRead = false;
    }

    bool fail(const char* why) {
        if (!error) error = why;
        return false;
    }

    template <class Bits>
    static inline uint32_t decode(const HuffTable& t, Bits& bits) {
        bits.fill();
        uint32_t length;
        const uint32_t sym = lookup(t, bits.peek(), length);
        bits.skip(length);
        return sym;
    }
    inline uint32_t decode(const HuffTable& t) { return decode(t, in); }

    bool readTables() {
        in.fill();
        const uint32_t head = in.peek16();
        in.skip(2);
        audio = (head & 0x8000) != 0;
        if (!(head & 0x4000)) std::memset(oldLengths, 0, sizeof oldLengths);
        uint32_t tableSize = kLzTableSize;
        if (audio) {
            channels = ((head >> 12) & 3) + 1;
            if (channel >= channels) channel = 0;
            in.skip(2);
            tableSize = kAudioSymbols * channels;
        }

        uint8_t codeLengths[kCodeLengthSymbols];
        for (uint32_t i = 0; i < kCodeLengthSymbols; ++i) {
            in.fill();
            codeLengths[i] = uint8_t(in.get(4));
        }
        buildTable(codeLengthTable, codeLengths, kCodeLengthSymbols);

        uint8_t lengths[kOldLengths];
        for (uint32_t i = 0; i < tableSize;) {
            if (in.overrun()) return fail("packed data ends inside a code table");
            const uint32_t n = decode(codeLengthTable);
            in.fill();
            if (n < 16) {
                lengths[i] = uint8_t((oldLengths[i] + n) & 15);
                ++i;
            } else if (n == 16) {
                if (i == 0) return fail("a code table repeats a length before the first one");
                uint32_t repeat = 3 + in.get(2);
                for (const uint8_t prev = lengths[i - 1]; repeat > 0 && i < tableSize; --repeat) lengths[i++] = prev;
            } else if (n == 17 || n == 18) {
                uint32_t repeat = n == 17 ? 3 + in.get(3) : 11 + in.get(7);
                for (; repeat > 0 && i < tableSize; --repeat) lengths[i++] = 0;
            } else {
                return fail("a code table has no code-length codes");
            }
        }
        if (in.overrun()) return fail("packed data ends inside a code table");

        if (audio) {
            for (uint32_t c = 0; c < channels; ++c)
                buildTable(audioTables[c], lengths + c * kAudioSymbols, kAudioSymbols);
        } else {
            buildTable(mainTable, lengths, kMainSymbols);
            buildPairs(mainPairs, mainTable);
            buildTable(distTable, lengths + kMainSymbols, kDistSymbols);
            buildTable(lenTable, lengths + kMainSymbols + kDistSymbols, kLenSymbols);
        }
        std::memcpy(oldLengths, lengths, tableSize);
        tablesRead = true;
        return true;
    }

    uint8_t decodeAudio(uint32_t delta) {
        AudioChannel& a = audioState[channel];
        ++a.byteCount;
        a.d[3] = a.d[2];
        a.d[2] = a.d[1];
        a.d[1] = a.lastDelta - a.d[0];
        a.d[0] = a.lastDelta;
        const int32_t predicted = ((8 * int32_t(a.lastByte) + a.k[0] * a.d[0] + a.k[1] * a.d[1] +
                                    a.k[2] * a.d[2] + a.k[3] * a.d[3] + a.k[4] * channelDelta) >> 3) & 255;
        const uint32_t byte = uint32_t(predicted - int32_t(delta)) & 255;

        const int32_t e = int32_t(int8_t(uint8_t(delta))) * 8;
        a.errors[0] += uint32_t(std::abs(e));
        for (int i = 0; i < 4; ++i) {
            a.errors[1 + 2 * i] += uint32_t(std::abs(e - a.d[i]));
            a.errors[2 + 2 * i] += uint32_t(std::abs(e + a.d[i]));
        }
        a.errors[9] += uint32_t(std::abs(e - channelDelta));
        a.errors[10] += uint32_t(std::abs(e + channelDelta));

        a.lastDelta = channelDelta = int8_t(uint8_t(byte - a.lastByte));
        a.lastByte = byte;

        if ((a.byteCount & 31) == 0) {
            uint32_t best = 0;
            for (uint32_t i = 1; i < 11; ++i)
                if (a.errors[i] < a.errors[best]) best = i;
            std::memset(a.errors, 0, sizeof a.errors);
            if (best > 0) {
                int32_t& k = a.k[(best - 1) / 2];
                if (best & 1) {
                    if (k >= -16) --k;
                } else if (k < 16) {
                    ++k;
                }
            }
        }
        return uint8_t(byte);
    }

    // Hands the decoded bytes since the last flush to the wanted file.
    bool flush() {
        if (out || sink) {
            const uint32_t n = (writePos - flushPos) & kRingMask;
            if (n > outCapacity - outSize) return fail("decoded data runs past the file's size");
            const uint32_t tail = std::min(n, kRingSize - flushPos);
            if (out) {
                std::memcpy(out + outSize, window + flushPos, tail);
                std::memcpy(out + outSize + tail, window, n - tail);
            } else if (!hand(window + flushPos, tail) || !hand(window, n - tail)) {
                return false;
            }
            outSize += n;
        }
        flushPos = writePos;
        return true;
    }

    bool hand(const uint8_t* bytes, uint32_t n) {
        if (n == 0) return true;
        sinkCrc = crcOf(sinkCrc, bytes, n);
        return (*sink)(bytes, n) || fail(kSinkRefused);
    }

    // A match copied to ring position pos, which moves past it; `before`
    // bytes of the stream precede it, so a distance past them is a fault.
    inline bool copyMatch(uint32_t& pos, uint64_t before, uint32_t dist, uint32_t length) {
        if (dist == 0 || dist > before) return fail("a match reaches before the start of the data");
        lastDist = dist;
        lastLength = length;
        recent[recentIndex++ & 3] = dist;
        copyInRing(window, pos, dist, length);
        pos = (pos + length) & kRingMask;
        return true;
    }

    // Distance and length of match symbol sym (256 to 268, 270 to 297),
    // its extra bits read from bits.  False when a table it needs is empty.
    template <class Bits>
    inline bool matchOf(Bits& bits, uint32_t sym, uint32_t& dist, uint32_t& length) {
        bits.fill();
        if (sym >= 270) {
            const uint32_t ls = sym - 270;
            length = kLenBase[ls] + 3 + bits.get(kLenBits[ls]);
            const uint32_t ds = decode(distTable, bits);
            if (ds >= kDistSymbols) return fail("a match uses an empty distance table");
            bits.fill();
            dist = kDist.base[ds] + 1 + bits.get(kDist.bits[ds]);
            if (dist >= 8192) ++length;
            if (dist >= 262144) ++length;
        } else if (sym >= 261) {
            const uint32_t ss = sym - 261;
            dist = kShortBase[ss] + 1 + bits.get(kShortBits[ss]);
            length = 2;
        } else if (sym > 256) {
            dist = recent[(recentIndex - (sym - 256)) & 3];
            const uint32_t ls = decode(lenTable, bits);
            if (ls >= kLenSymbols) return fail("a match uses an empty length table");
            bits.fill();
            length = kLenBase[ls] + 2 + bits.get(kLenBits[ls]);
            if (dist >= 257) ++length;
            if (dist >= 8192) ++length;
            if (dist >= 262144) ++length;
        } else {
            dist = lastDist;
            length = lastLength;
        }
        return true;
    }

    // The bulk of an LZ stretch with the bits, the input position and the
    // window position in locals.  It stops, at a symbol's start, before
    // anything the careful loop in unpack must see: a table change or a
    // symbol beyond the table, a flush coming due, the last buffered packed
    // bytes, the file's end.  False on a fault.
    bool unpackRun(int64_t& toProduce) {
        // The careful loop flushes once more than this many bytes wait.
        const int64_t room = int64_t(kWindowSize - kFlushMargin) + 1 - int64_t((writePos - flushPos) & kRingMask);
        const int64_t budget = std::min(room, toProduce + 1);
        FastBits bits;
        const uint8_t* stop;
        if (budget <= 0 || !in.beginFast(bits, stop)) return true;

        uint8_t* const win = window;
        const HuffTable& main = mainTable;
        uint32_t pos = writePos;
        int64_t left = budget;   // bytes still to produce in this run
        bool ok = true;
        // Up to three table entries per refill, one or two literals each,
        // stored without a branch on how many: the second byte of a single
        // one lands past the write position, where nothing can reach it.
        // Six bytes short of the budget, so no pair decodes a literal past
        // the file's end; the careful loop takes the last ones.
        const uint32_t* const pairs = mainPairs;
        auto literals = [&](uint32_t entry) {
            bits.skip(entry & 31);
            win[pos] = uint8_t(entry >> 8);
            win[(pos + 1) & kRingMask] = uint8_t(entry >> 16);
            const uint32_t n = entry >> kPairCount;
            pos = (pos + n) & kRingMask;
            left -= n;
        };
        while (left > 6 && bits.p <= stop) {
            bits.fill();
            uint32_t pair = pairs[bits.peek() >> (64 - kPairBits)];
            if (pair >> kPairCount) {
                literals(pair);
                pair = pairs[bits.peek() >> (64 - kPairBits)];
                if (pair >> kPairCount) {
                    literals(pair);
                    pair = pairs[bits.peek() >> (64 - kPairBits)];
                    if (pair >> kPairCount) {
                        literals(pair);
                        continue;
                    }
                }
            }
            // At least 34 bits are left for a code of up to 15.
            uint32_t codeLength = pair & 31;
            const uint32_t sym = pair != 0 ? pair >> 8 : lookup(main, bits.peek(), codeLength);
            if (sym < 256) {
                bits.skip(codeLength);
                win[pos] = uint8_t(sym);
                pos = (pos + 1) & kRingMask;
                --left;
                continue;
            }
            if (sym == 269 || sym >= kMainSymbols) break;
            bits.skip(codeLength);
            uint32_t dist, length;
            if (!matchOf(bits, sym, dist, length)) {
                ok = false;
                break;
            }
            if (length == 0) {
                recent[recentIndex++ & 3] = dist;
                continue;
            }
            if (!copyMatch(pos, written + uint64_t(budget - left), dist, length)) {
                ok = false;
                break;
            }
            left -= length;
        }
        const int64_t done = budget - left;
        in.endFast(bits);
        writePos = pos;
        written += uint64_t(done);
        toProduce -= done;
        return ok;
    }

    // Decodes one file of `unpacked` bytes from the reader's packed data.
    bool unpack(uint32_t unpacked, bool continuesSolid) {
        if (!continuesSolid) resetStream();
        if (!continuesSolid && !readTables()) return false;
        if (!tablesRead) return fail("the file continues a stream that has no code tables");

        int64_t toProduce = int64_t(unpacked) - 1;
        while (toProduce >= 0) {
            if (in.overrun()) return fail("packed data ends early");
            // The ring is flushed a window at a time at most, so the sink
            // never gets more than a megabyte at once.
            if (((writePos - flushPos) & kRingMask) > kWindowSize - kFlushMargin && !flush()) return false;

            if (audio) {
                const uint32_t sym = decode(audioTables[channel]);
                if (sym == 256) {
                    if (!readTables()) return false;
                    continue;
                }
                if (sym > 256) return fail("an audio code table is empty");
                window[writePos] = decodeAudio(sym);
                writePos = (writePos + 1) & kRingMask;
                ++written;
                if (++channel >= channels) channel = 0;
                --toProduce;
                continue;
            }

            const int64_t fastFrom = toProduce;
            if (!unpackRun(toProduce)) return false;
            if (toProduce != fastFrom) continue;   // a flush may have come due

            const uint32_t sym = decode(mainTable);
            if (sym < 256) {
                window[writePos] = uint8_t(sym);
                writePos = (writePos + 1) & kRingMask;
                ++written;
                --toProduce;
                continue;
            }
            if (sym == 269) {
                if (!readTables()) return false;
                continue;
            }
            if (sym >= kMainSymbols) return fail("the main code table is empty");
            uint32_t dist, length;
            if (!matchOf(in, sym, dist, length)) return false;
            if (length > 0 && !copyMatch(writePos, written, dist, length)) return false;
            written += length;
            if (length == 0) recent[recentIndex++ & 3] = dist;
            toProduce -= length;
        }
        if (toProduce < -1) return fail("a match runs past the end of the file");
        if (in.overrun()) return fail("packed data ends early");

        // A table change right at the end belongs to the next file of a solid
        // stream; a broken one only matters if that file is ever decoded.
        if (in.bytesLeft() >= 5) {
            const uint32_t sym = decode(audio ? audioTables[channel] : mainTable);
            if (sym == (audio ? 256u : 269u)) {
                const char* before = error;
                if (!readTables()) {
                    tablesRead = false;
                    error = before;
                }
            }
        }
        return flush();
    }
};

// The one decoder, kept from call to call: its window and tables are a
// megabyte that every compressed file needs, so they are made once.  Each
// call starts it afresh, so nothing carries over from the previous archive.
Decoder* workingState() {
    static std::unique_ptr<Decoder> dec;
    if (!dec) {
        auto fresh = std::make_unique<Decoder>();
        // Zeroed: a copy's overshoot may read bytes not written yet.
        fresh->window = static_cast<uint8_t*>(std::calloc(kRingSize, 1));
        fresh->input = static_cast<uint8_t*>(std::malloc(kInputChunk));
        if (!fresh->window || !fresh->input) return nullptr;
        dec = std::move(fresh);
    }
    dec->resetStream();
    dec->out = nullptr;
    dec->sink = nullptr;
    dec->error = nullptr;
    return dec.get();
}

// One file header as read from the archive, with where its data lies.
struct Block {
    RarEntry entry;
    uint64_t start;        // archive offset of the header
    uint64_t dataOffset;   // archive offset of the packed data
    uint64_t next;         // archive offset of the next block
    bool     nameFits;     // the stored name was not cut short
};

class Archive {
public:
    Archive(Source& src, const char* label) : src_(src), label_(label ? label : "archive") {}

    bool open() {
        uint8_t head[sizeof kMarker + kMainHeaderSize];
        const size_t got = src_.read(0, head, sizeof head);
        if (got < sizeof kMarker || std::memcmp(head, kMarker, sizeof kMarker) != 0)
            return fail(nullptr, "not a RAR archive (no marker)");
        if (got < sizeof head) return fail(nullptr, "main header cut short");
        const uint8_t* main = head + sizeof kMarker;
        solid_ = (le16(main + 3) & kMainSolid) != 0;
        const uint16_t size = le16(main + 5);
        if (size < kMainHeaderSize) return fail(nullptr, "main header size below 13");
        pos_ = sizeof kMarker + uint64_t(size);
        return true;
    }

    // The next file header; false at the end (atEnd) or on a malformed block.
    bool nextFile(Block& b, bool& atEnd) {
        atEnd = false;
        for (;;) {
            uint8_t h[kFileHeaderSize + kMaxName];   // fixed part and the name, read at once
            const uint64_t start = pos_;
            const size_t got = src_.read(start, h, sizeof h);
            if (got == 0) {
                atEnd = true;
                return false;
            }
            if (got < 7) return fail(nullptr, "block header cut short");
            const uint8_t type = h[2];
            const uint16_t flags = le16(h + 3);
            const uint16_t headSize = le16(h + 5);
            if (headSize < 7) return fail(nullptr, "block header size below 7");
            uint64_t next = start + headSize;
            if (type == kTypeEnd) {
                atEnd = true;
                return false;
            }
            if (type != kTypeFile) {
                if (flags & kBlockHasData) {
                    if (got < 11 || headSize < 11) return fail(nullptr, "block header cut short");
                    next += le32(h + 7);
                }
                if (next > src_.size()) return fail(nullptr, "block runs past the end of the archive");
                pos_ = next;
                continue;
            }
            if (got < kFileHeaderSize) return fail(nullptr, "file header cut short");
            const uint16_t nameSize = le16(h + 26);
            if (headSize < kFileHeaderSize + uint32_t(nameSize))
                return fail(nullptr, "file header smaller than its name");
            RarEntry& e = b.entry;
            e.flags = flags;
            e.packedSize = le32(h + 7);
            e.unpackedSize = le32(h + 11);
            e.fileCrc = le32(h + 16);
            e.unpackVersion = h[24];
            e.method = h[25];
            const uint32_t keep = std::min<uint32_t>(nameSize, kMaxName);
            if (got < kFileHeaderSize + keep) return fail(nullptr, "file name cut short");
            const char* name = reinterpret_cast<const char*>(h + kFileHeaderSize);
            e.name.assign(name, size_t(std::find(name, name + keep, '\0') - name));
            b.nameFits = nameSize <= kMaxName && e.name.size() == nameSize;
            b.start = start;
            b.dataOffset = next;
            if (flags & kBlockHasData) next += e.packedSize;
            if (next > src_.size()) return fail(e.name.c_str(), "data runs past the end of the archive");
            b.next = next;
            pos_ = next;
            return true;
        }
    }

    bool fail(const char* entry, const char* problem) {
        error_ = std::string(label_) + (entry ? std::string(": \"") + entry + "\"" : std::string()) + ": " + problem;
        return false;
    }

    bool solid() const { return solid_; }
    const std::string& error() const { return error_; }
    void seek(uint64_t blockStart) { pos_ = blockStart; }

private:
    Source&     src_;
    const char* label_;
    uint64_t    pos_ = 0;   // offset of the next block
    bool        solid_ = false;
    std::string error_;
};

char foldName(char c) {
    if (c == '\\' || c == '/') return '_';
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool sameName(const char* wanted, const std::string& stored) {
    size_t i = 0;
    for (; wanted[i] && i < stored.size(); ++i)
        if (foldName(wanted[i]) != foldName(stored[i])) return false;
    return wanted[i] == '\0' && i == stored.size();
}

// The most a file can grow from its packed bytes: every bit a longest match.
uint64_t mostFrom(uint32_t packed) { return uint64_t(packed) * 8 * kLongestMatch; }

// Where the file headers of the last archive read from disk lie.  A lookup
// in the same unchanged, non-solid archive goes straight to its entry and
// re-reads only that header (which must match) instead of walking all those
// before it: with a few hundred entries the walk costs more than decoding.
struct HeaderIndex {
    std::string        path;
    struct stat        id = {};   // device, inode, size and time of the archive indexed
    std::vector<Block> blocks;    // every file header up to the end, in order
    bool               valid = false;

    static bool sameFile(const struct stat& a, const struct stat& b) {
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
               a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
    }

    // The index of this archive, walked anew unless it is the one held.
    bool use(Source& src, const char* label, const char* archivePath, const struct stat& file) {
        if (valid && path == archivePath && sameFile(id, file)) return true;
        valid = false;
        blocks.clear();
        Archive walk(src, label);
        if (!walk.open() || walk.solid()) return false;
        Block b;
        bool atEnd = false;
        while (walk.nextFile(b, atEnd)) blocks.push_back(b);
        if (!atEnd) return false;   // a malformed block: the walk reports it each time
        path = archivePath;
        id = file;
        valid = true;
        return true;
    }

    const Block* find(const char* name) const {
        for (const Block& b : blocks)
            if (b.nameFits && sameName(name, b.entry.name)) return &b;
        return nullptr;
    }
};

bool sameHeader(const Block& a, const Block& b) {
    const RarEntry &x = a.entry, &y = b.entry;
    return a.start == b.start && a.next == b.next && a.nameFits == b.nameFits && x.name == y.name &&
           x.packedSize == y.packedSize && x.unpackedSize == y.unpackedSize && x.fileCrc == y.fileCrc &&
           x.unpackVersion == y.unpackVersion && x.method == y.method && x.flags == y.flags;
}

// A stored file handed on a chunk at a time, its CRC checked at the end.
template <class Fail>
bool handStored(Source& src, uint64_t offset, const RarEntry& e, const RarSink& sink, uint32_t* outSize, Fail failWith) {
    std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[kStoredChunk]);
    if (!chunk) return failWith(e.name.c_str(), "out of memory");
    uint32_t crc = 0;
    for (uint32_t done = 0; done < e.unpackedSize;) {
        const uint32_t n = std::min(kStoredChunk, e.unpackedSize - done);
        if (src.read(offset + done, chunk.get(), n) != n) return failWith(e.name.c_str(), "stored data cut short");
        crc = crcOf(crc, chunk.get(), n);
        if (!sink(chunk.get(), n)) return failWith(e.name.c_str(), kSinkRefused);
        done += n;
    }
    if (crc != e.fileCrc) return failWith(e.name.c_str(), "CRC mismatch");
    *outSize = e.unpackedSize;
    return true;
}

// The wanted file goes to *out as one block, or to sink when there is one.
bool extract(Source& src, const char* label, const char* name, uint8_t** out, uint32_t* outSize,
             HeaderIndex* index = nullptr, const RarSink* sink = nullptr) {
    Archive archive(src, label);
    auto failWith = [&](const char* entry, const char* problem) {
        archive.fail(entry, problem);
        g_lastError = archive.error();
        return false;
    };
    if (!archive.open()) {
        g_lastError = archive.error();
        return false;
    }

    Decoder* dec = nullptr;   // taken when the first compressed entry needs it

    const Block* expected = nullptr;   // the indexed header the walk jumps to
    if (index && index->valid && !archive.solid()) {
        expected = index->find(name);
        if (!expected) return failWith(name, "no such file in the archive");
        archive.seek(expected->start);
    }

    Block b;
    for (;;) {
        bool atEnd = false;
        if (!archive.nextFile(b, atEnd) || (expected && !sameHeader(b, *expected))) {
            if (expected) {
                // The archive is not what was indexed after all: walk it.
                index->valid = false;
                return extract(src, label, name, out, outSize, nullptr, sink);
            }
            if (atEnd) return failWith(name, "no such file in the archive");
            g_lastError = archive.error();
            return false;
        }
        const RarEntry& e = b.entry;
        const bool found = b.nameFits && sameName(name, e.name);
        if (!found && !archive.solid()) continue;

        const char* entryName = e.name.c_str();
        if (e.unpackVersion < kMinVersion || e.unpackVersion > kMaxVersion)
            return failWith(entryName, e.unpackVersion > kMaxVersion ? "made by a later archiver version (unpack version above 20)"
                                                                     : "unpack version below 13");
        if (e.flags & kFileEncrypted) return failWith(entryName, "encrypted, and there is no password");
        const uint32_t packed = (e.flags & kBlockHasData) ? e.packedSize : 0;

        if (e.method == kMethodStored) {
            if (!found) continue;   // stored data never touches the shared window
            if (e.unpackedSize > kRarMaxUnpackedSize) return failWith(entryName, "unpacked size too large");
            if (packed < e.unpackedSize) return failWith(entryName, "stored data shorter than the file");
            if (sink) return handStored(src, b.dataOffset, e, *sink, outSize, failWith);
            uint8_t* bytes = static_cast<uint8_t*>(std::malloc(e.unpackedSize ? e.unpackedSize : 1));
            if (!bytes) return failWith(entryName, "out of memory");
            if (src.read(b.dataOffset, bytes, e.unpackedSize) != e.unpackedSize) {
                std::free(bytes);
                return failWith(entryName, "stored data cut short");
            }
            if (crcOf(0, bytes, e.unpackedSize) != e.fileCrc) {
                std::free(bytes);
                return failWith(entryName, "CRC mismatch");
            }
            *out = bytes;
            *outSize = e.unpackedSize;
            return true;
        }

        if (e.unpackedSize > mostFrom(packed) || e.unpackedSize > kRarMaxUnpackedSize)
            return failWith(entryName, "unpacked size is more than its packed data could hold");
        if (!dec && !(dec = workingState())) return failWith(nullptr, "out of memory for the window");
        if (found) {
            if (sink) {
                dec->sink = sink;
                dec->sinkCrc = 0;
            } else {
                dec->out = static_cast<uint8_t*>(std::malloc(e.unpackedSize ? e.unpackedSize : 1));
                if (!dec->out) return failWith(entryName, "out of memory");
            }
            dec->outSize = 0;
            dec->outCapacity = e.unpackedSize;
        }
        bool ok = true;
        const bool continues = archive.solid() && (e.flags & kFileSolid);
        if (e.unpackedSize == 0 && packed == 0) {
            if (!continues) dec->resetStream();
        } else {
            dec->in.start(&src, b.dataOffset, packed, dec->input);
            ok = dec->unpack(e.unpackedSize, continues);
            if (ok && dec->in.readError()) ok = dec->fail("packed data cut short");
        }
        if (found) {
            uint8_t* bytes = dec->out;
            dec->out = nullptr;
            dec->sink = nullptr;
            if (ok && dec->outSize != e.unpackedSize) ok = dec->fail("decoded data is shorter than the file");
            const uint32_t crc = sink ? dec->sinkCrc : crcOf(0, bytes, e.unpackedSize);
            if (ok && crc != e.fileCrc) ok = dec->fail("CRC mismatch");
            if (!ok) {
                std::free(bytes);
                return failWith(entryName, dec->error ? dec->error : "cannot be decoded");
            }
            if (!sink) *out = bytes;
            *outSize = e.unpackedSize;
            return true;
        }
        if (!ok) return failWith(entryName, dec->error ? dec->error : "cannot be decoded");
    }
}

bool list(Source& src, const char* label, std::vector<RarEntry>& entries, std::string& error) {
    Archive archive(src, label);
    entries.clear();
    if (!archive.open()) {
        error = archive.error();
        return false;
    }
    Block b;
    for (;;) {
        bool atEnd = false;
        if (!archive.nextFile(b, atEnd)) {
            if (atEnd) return true;
            error = archive.error();
            return false;
        }
        entries.push_back(b.entry);
    }
}

int finish(bool ok, uint8_t** out, uint32_t* outSize) {
    if (ok) {
        g_lastError.clear();
        return 1;
    }
    *out = nullptr;
    *outSize = 0;
    return 0;
}

}  // namespace

namespace {

bool extractFromFile(uint8_t** out, uint32_t* outSize, const char* name, const char* archivePath,
                     const char* password, const RarSink* sink) {
    const char* label = archivePath ? archivePath : "(no archive)";
    if (!name || !archivePath) {
        g_lastError = std::string(label) + ": no file name given";
        return false;
    }
    if (password && *password) {
        g_lastError = std::string(label) + ": \"" + name + "\": passwords are not supported";
        return false;
    }
    FILE* f = std::fopen(archivePath, "rb");
    if (!f) {
        g_lastError = std::string(label) + ": cannot open the archive";
        return false;
    }
    Source src(f);
    static HeaderIndex index;
    struct stat file;
    const bool indexed = fstat(fileno(f), &file) == 0 && index.use(src, label, archivePath, file);
    const bool ok = extract(src, label, name, out, outSize, indexed ? &index : nullptr, sink);
    std::fclose(f);
    return ok;
}

}  // namespace

int rarGetFile(uint8_t** out, uint32_t* outSize, const char* name, const char* archivePath, const char* password) {
    *out = nullptr;
    *outSize = 0;
    return finish(extractFromFile(out, outSize, name, archivePath, password, nullptr), out, outSize);
}

int rarExtractFile(const char* name, const char* archivePath, const RarSink& sink, uint32_t* outSize) {
    uint8_t* none = nullptr;
    *outSize = 0;
    return finish(extractFromFile(&none, outSize, name, archivePath, nullptr, &sink), &none, outSize);
}

int rarGetFileFromMemory(uint8_t** out, uint32_t* outSize, const char* name, const uint8_t* archive,
                         size_t archiveSize, const char* label) {
    *out = nullptr;
    *outSize = 0;
    if (!label) label = "archive";
    if (!name || (!archive && archiveSize)) {
        g_lastError = std::string(label) + ": no file name given";
        return 0;
    }
    Source src(archive, archiveSize);
    return finish(extract(src, label, name, out, outSize), out, outSize);
}

const char* rarLastError() { return g_lastError.c_str(); }

bool rarListEntries(const char* archivePath, std::vector<RarEntry>& entries, std::string& error) {
    entries.clear();
    FILE* f = std::fopen(archivePath, "rb");
    if (!f) {
        error = std::string(archivePath) + ": cannot open the archive";
        return false;
    }
    Source src(f);
    const bool ok = list(src, archivePath, entries, error);
    std::fclose(f);
    return ok;
}

bool rarListEntriesFromMemory(const uint8_t* archive, size_t archiveSize, const char* label,
                              std::vector<RarEntry>& entries, std::string& error) {
    Source src(archive, archiveSize);
    return list(src, label ? label : "archive", entries, error);
}

bool rarHasMarker(const uint8_t* bytes, size_t size) {
    return size >= sizeof kMarker && std::memcmp(bytes, kMarker, sizeof kMarker) == 0;
}
