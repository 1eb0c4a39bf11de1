#include "Rar20Encoder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace pack {

namespace {

constexpr uint32_t kWindowSize   = 0x100000;         // the decoder's window, bytes
constexpr uint32_t kMaxDistance  = kWindowSize - 1;  // never reach a byte the copy is about to overwrite
constexpr int      kMaxMatch     = 257;              // fits every match form after its length adjustments
constexpr int      kLazyLimit    = 64;               // matches this long are taken without looking one byte on
constexpr int      kHashBits     = 16;
constexpr uint64_t kAudioMargin  = 32;               // audio mode must save 1/32 of the LZ size
// Zero bytes after a file's last code: unar's bit reader looks up to two
// bytes past the code it decodes and fails the file when they are missing.
// Fewer than 5 bytes in all stay behind the last code, so a decoder that
// peeks for a table change after a file's end does not try.
constexpr size_t   kTailPadding  = 2;

constexpr int kMainSymbols  = 298;
constexpr int kDistSymbols  = 48;
constexpr int kLenSymbols   = 28;
constexpr int kLzTableSize  = kMainSymbols + kDistSymbols + kLenSymbols;   // 374
constexpr int kAudioSymbols = 257;
constexpr int kMaxChannels  = 4;
constexpr int kPrevLengths  = 1028;
constexpr int kMaxCodeBits  = 15;
constexpr int kClSymbols    = 19;

constexpr int kSymRepeatLast = 256;   // LZ: the last match again
constexpr int kSymRing       = 257;   // LZ: 257-260, a recent distance
constexpr int kSymShort      = 261;   // LZ: 261-268, length 2 at a short distance
constexpr int kSymLzTables   = 269;   // LZ: new tables follow
constexpr int kSymLong       = 270;   // LZ: 270-297, length code then distance code
constexpr int kSymAudioTables = 256;  // audio: new tables follow

// Rough bit costs the parser weighs matches with (the real code lengths
// come later, per block).
constexpr int kLiteralBits = 8;
constexpr int kRepeatBits  = 5;
constexpr int kRingBits    = 10;
constexpr int kShortBits   = 7;
constexpr int kLongBits    = 11;

struct CodeTable {
    std::array<uint32_t, kDistSymbols> base{};
    std::array<uint8_t, kDistSymbols>  bits{};
    int count = 0;
    // Index of the code whose range holds value.
    int find(uint32_t value) const {
        int lo = 0, hi = count - 1;
        while (lo < hi) {
            const int mid = (lo + hi + 1) / 2;
            if (base[mid] <= value) lo = mid;
            else hi = mid - 1;
        }
        return lo;
    }
};

CodeTable makeTable(int count, int (*bitsOf)(int)) {
    CodeTable t;
    t.count = count;
    uint32_t base = 0;
    for (int i = 0; i < count; ++i) {
        t.base[i] = base;
        t.bits[i] = uint8_t(bitsOf(i));
        base += 1u << t.bits[i];
    }
    return t;
}

const CodeTable kLengths   = makeTable(kLenSymbols, [](int i) { return i < 8 ? 0 : (i - 4) / 4; });
const CodeTable kDistances = makeTable(kDistSymbols, [](int i) { return i < 4 ? 0 : i < 34 ? i / 2 - 1 : 16; });
const CodeTable kShorts    = makeTable(8, [](int i) {
    static const int bits[8] = {2, 2, 3, 4, 5, 6, 6, 6};
    return bits[i];
});

// Length bonus of the recent-distance form and of the long form.
int ringBonus(uint32_t d) { return (d >= 257) + (d >= 8192) + (d >= 262144); }
int longBonus(uint32_t d) { return (d >= 8192) + (d >= 262144); }

// A block item: a Huffman symbol of one table, or raw extra bits.
constexpr uint32_t kRawFlag = 0x80000000u;
uint32_t huff(int table, int sym) { return uint32_t(table) << 16 | uint32_t(sym); }
uint32_t raw(int bits, uint32_t value) { return kRawFlag | uint32_t(bits) << 24 | value; }

// Symbols coded with one set of tables.
struct Block {
    int channels   = 0;   // 0: LZ mode; 1-4: audio mode
    int endChannel = 0;   // audio: the channel current after the last byte
    std::vector<uint32_t> items;
};

int tableCount(const Block& b) { return b.channels ? b.channels : 3; }
int tableSize(const Block& b) { return b.channels ? kAudioSymbols * b.channels : kLzTableSize; }
int tableOffset(const Block& b, int t) {
    static const int lz[3] = {0, kMainSymbols, kMainSymbols + kDistSymbols};
    return b.channels ? kAudioSymbols * t : lz[t];
}
int tableSymbols(const Block& b, int t) {
    static const int lz[3] = {kMainSymbols, kDistSymbols, kLenSymbols};
    return b.channels ? kAudioSymbols : lz[t];
}
// The table-change symbol as the block codes it: (table, symbol).
std::pair<int, int> changeSymbol(const Block& b) {
    return b.channels ? std::pair{b.endChannel, kSymAudioTables} : std::pair{0, kSymLzTables};
}

// ---------------------------------------------------------------- Huffman

// Code lengths of at most maxBits for the counted symbols (0 for unused
// ones).  Over-long trees are rebuilt from flattened counts.
void huffmanLengths(const uint32_t* counts, int n, int maxBits, uint8_t* lengths) {
    std::fill(lengths, lengths + n, 0);
    std::vector<uint32_t> freq(counts, counts + n);
    std::vector<int> used;
    for (int i = 0; i < n; ++i)
        if (freq[i]) used.push_back(i);
    if (used.empty()) return;
    if (used.size() == 1) {
        lengths[used[0]] = 1;
        return;
    }
    for (;;) {
        // Leaves sorted by weight (ties by symbol), merged with the queue of
        // inner nodes, which comes out sorted by construction.
        std::vector<int> leaves = used;
        std::stable_sort(leaves.begin(), leaves.end(), [&](int a, int b) { return freq[a] < freq[b]; });
        const size_t m = leaves.size();
        std::vector<uint64_t> weight(2 * m);
        std::vector<int> parent(2 * m, -1);
        for (size_t i = 0; i < m; ++i) weight[i] = freq[leaves[i]];
        size_t leaf = 0, inner = m, next = m;
        auto take = [&]() {
            if (leaf < m && (inner >= next || weight[leaf] <= weight[inner])) return leaf++;
            return inner++;
        };
        while (next < 2 * m - 1) {
            const size_t a = take(), b = take();
            weight[next] = weight[a] + weight[b];
            parent[a] = parent[b] = int(next);
            ++next;
        }
        std::vector<int> depth(2 * m, 0);
        int deepest = 0;
        for (size_t i = 2 * m - 2; i-- > 0;) {
            depth[i] = depth[parent[i]] + 1;
            if (i < m) deepest = std::max(deepest, depth[i]);
        }
        if (deepest <= maxBits) {
            for (size_t i = 0; i < m; ++i) lengths[leaves[i]] = uint8_t(depth[i]);
            return;
        }
        for (int i : used) freq[i] = (freq[i] + 1) / 2;
    }
}

// Canonical codes: by length, then by symbol; read most significant bit first.
void canonicalCodes(const uint8_t* lengths, int n, uint16_t* codes) {
    int count[kMaxCodeBits + 1] = {};
    for (int i = 0; i < n; ++i) count[lengths[i]]++;
    count[0] = 0;
    uint32_t next[kMaxCodeBits + 1] = {};
    uint32_t code = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    for (int i = 0; i < n; ++i)
        codes[i] = lengths[i] ? uint16_t(next[lengths[i]]++) : 0;
}

class BitWriter {
public:
    void put(uint32_t value, int bits) {
        if (bits == 0) return;
        acc_ = (acc_ << bits) | (value & ((1u << bits) - 1));
        fill_ += bits;
        while (fill_ >= 8) {
            fill_ -= 8;
            out_.push_back(uint8_t(acc_ >> fill_));
        }
        acc_ &= (1u << fill_) - 1;
    }
    std::vector<uint8_t> finish() {
        if (fill_) out_.push_back(uint8_t(acc_ << (8 - fill_)));
        fill_ = 0;
        acc_ = 0;
        return std::move(out_);
    }

private:
    std::vector<uint8_t> out_;
    uint64_t acc_  = 0;
    int      fill_ = 0;   // bits waiting in acc_, below 8 between calls
};

// ---------------------------------------------------------------- tables

// One code-length item: symbol 0-18 and its extra bits.
struct ClItem {
    uint8_t sym, bits, value;
};

// The lengths as code-length items against the previous lengths prev.
std::vector<ClItem> clItems(const uint8_t* lengths, const uint8_t* prev, int n) {
    std::vector<ClItem> items;
    for (int i = 0; i < n;) {
        auto runOf = [&](uint8_t v, int cap) {
            int r = 0;
            while (i + r < n && r < cap && lengths[i + r] == v) ++r;
            return r;
        };
        if (lengths[i] == 0) {
            const int r = runOf(0, 138);
            if (r >= 11) {
                items.push_back({18, 7, uint8_t(r - 11)});
                i += r;
                continue;
            }
            if (r >= 3) {
                items.push_back({17, 3, uint8_t(r - 3)});
                i += r;
                continue;
            }
        }
        if (i > 0 && lengths[i] == lengths[i - 1]) {
            const int r = runOf(lengths[i - 1], 6);
            if (r >= 3) {
                items.push_back({16, 2, uint8_t(r - 3)});
                i += r;
                continue;
            }
        }
        items.push_back({uint8_t((lengths[i] - prev[i]) & 15), 0, 0});
        ++i;
    }
    return items;
}

struct ClCode {
    std::vector<ClItem> items;
    uint8_t  lengths[kClSymbols];
    uint16_t codes[kClSymbols];
    uint64_t bits = 0;   // everything but the mode bits
};

ClCode clCode(const uint8_t* lengths, const uint8_t* prev, int n) {
    ClCode c;
    c.items = clItems(lengths, prev, n);
    uint32_t freq[kClSymbols] = {};
    for (const ClItem& it : c.items) freq[it.sym]++;
    huffmanLengths(freq, kClSymbols, kMaxCodeBits, c.lengths);
    canonicalCodes(c.lengths, kClSymbols, c.codes);
    c.bits = 4 * kClSymbols;
    for (const ClItem& it : c.items) c.bits += c.lengths[it.sym] + it.bits;
    return c;
}

// What the decoder remembers between table sets.
struct TableMemory {
    uint8_t prev[kPrevLengths] = {};
    int     layout = -1;   // channels of the last set (0 LZ), -1 before the first
};

void writeTables(BitWriter& w, TableMemory& mem, const Block& b, const uint8_t* lengths) {
    const int n = tableSize(b);
    static const uint8_t zeros[kPrevLengths] = {};
    ClCode code = clCode(lengths, zeros, n);
    bool keep = false;
    // Building on the previous lengths only when they describe the same
    // tables (same mode, same channels): the two sets then differ only where
    // the statistics moved.
    if (mem.layout == b.channels) {
        ClCode delta = clCode(lengths, mem.prev, n);
        if (delta.bits < code.bits) {
            code = std::move(delta);
            keep = true;
        }
    }
    if (b.channels) {
        w.put(1, 1);
        w.put(keep, 1);
        w.put(uint32_t(b.channels - 1), 2);
    } else {
        w.put(0, 1);
        w.put(keep, 1);
    }
    for (int i = 0; i < kClSymbols; ++i) w.put(code.lengths[i], 4);
    for (const ClItem& it : code.items) {
        w.put(code.codes[it.sym], code.lengths[it.sym]);
        w.put(it.value, it.bits);
    }
    if (!keep) std::memset(mem.prev, 0, sizeof mem.prev);
    std::memcpy(mem.prev, lengths, size_t(n));
    mem.layout = b.channels;
}

// Code lengths of every table of the block; followed: a table change ends it.
std::vector<uint8_t> blockLengths(const Block& b, bool followed) {
    std::vector<uint32_t> freq(size_t(tableSize(b)), 0);
    for (uint32_t it : b.items)
        if (!(it & kRawFlag)) freq[size_t(tableOffset(b, int(it >> 16)) + int(it & 0xFFFF))]++;
    if (followed) {
        const auto [t, sym] = changeSymbol(b);
        freq[size_t(tableOffset(b, t) + sym)]++;
    }
    std::vector<uint8_t> lengths(freq.size(), 0);
    for (int t = 0; t < tableCount(b); ++t)
        huffmanLengths(freq.data() + tableOffset(b, t), tableSymbols(b, t), kMaxCodeBits,
                       lengths.data() + tableOffset(b, t));
    return lengths;
}

// Packed size of a block in bits, its tables included.
uint64_t blockBits(const Block& b) {
    const std::vector<uint8_t> lengths = blockLengths(b, true);
    static const uint8_t zeros[kPrevLengths] = {};
    uint64_t bits = clCode(lengths.data(), zeros, tableSize(b)).bits + 4;
    for (uint32_t it : b.items)
        bits += (it & kRawFlag) ? (it >> 24 & 0x1F) : lengths[size_t(tableOffset(b, int(it >> 16)) + int(it & 0xFFFF))];
    return bits;
}

uint64_t blocksBits(const std::vector<Block>& blocks) {
    uint64_t bits = 0;
    for (const Block& b : blocks) bits += blockBits(b);
    return bits;
}

// ---------------------------------------------------------------- audio mode

struct AudioChannel {
    int      k[5] = {};      // predictor coefficients, -17..16
    int      d[4] = {};      // the last deltas and their differences
    int      lastDelta = 0;  // signed byte
    uint32_t error[11] = {};
    uint32_t count = 0;      // bytes seen
    uint8_t  lastByte = 0;
};

struct AudioState {
    AudioChannel channel[kMaxChannels];
    int channelDelta = 0;   // shared by all channels, signed byte
    int current      = 0;   // channel of the next byte
};


// The symbol that makes the decoder's predictor produce byte; the predictor
// then moves on exactly as the decoder moves it.
int audioSymbol(AudioState& s, uint8_t byte) {
    AudioChannel& v = s.channel[s.current];
    v.count++;
    v.d[3] = v.d[2];
    v.d[2] = v.d[1];
    v.d[1] = v.lastDelta - v.d[0];
    v.d[0] = v.lastDelta;
    const int predicted = ((8 * v.lastByte + v.k[0] * v.d[0] + v.k[1] * v.d[1] + v.k[2] * v.d[2] +
                            v.k[3] * v.d[3] + v.k[4] * s.channelDelta) >> 3) & 255;
    const int symbol = (predicted - byte) & 255;

    const int d = int(int8_t(uint8_t(symbol))) * 8;
    const int cd = s.channelDelta;
    const int probes[11] = {d,             d - v.d[0], d + v.d[0], d - v.d[1], d + v.d[1], d - v.d[2],
                            d + v.d[2],    d - v.d[3], d + v.d[3], d - cd,     d + cd};
    for (int i = 0; i < 11; ++i) v.error[i] += uint32_t(std::abs(probes[i]));

    v.lastDelta = s.channelDelta = int8_t(uint8_t(byte - v.lastByte));
    v.lastByte = byte;

    if ((v.count & 0x1F) == 0) {
        int best = 0;
        for (int i = 1; i < 11; ++i)
            if (v.error[i] < v.error[best]) best = i;
        std::fill(std::begin(v.error), std::end(v.error), 0u);
        if (best > 0) {
            int& k = v.k[(best - 1) / 2];
            if (best % 2 == 1) {
                if (k >= -16) --k;
            } else if (k < 16) {
                ++k;
            }
        }
    }
    return symbol;
}

std::vector<Block> encodeAudio(const uint8_t* data, size_t size, int channels, AudioState& s,
                               uint32_t blockSymbols) {
    std::vector<Block> blocks(1);
    blocks.back().channels = channels;
    if (s.current >= channels) s.current = 0;   // what reading the tables does
    uint32_t inBlock = 0;
    for (size_t i = 0; i < size; ++i) {
        if (inBlock == blockSymbols) {
            blocks.back().endChannel = s.current;
            blocks.emplace_back().channels = channels;
            inBlock = 0;
        }
        const int channel = s.current;
        blocks.back().items.push_back(huff(channel, audioSymbol(s, data[i])));
        s.current = (s.current + 1) % channels;
        ++inBlock;
    }
    blocks.back().endChannel = s.current;
    return blocks;
}

// ---------------------------------------------------------------- LZ mode

struct LzState {
    uint32_t ring[4]  = {};   // recent distances
    uint32_t ringNext = 0;    // slot the next distance goes to (mod 4)
    uint32_t lastDistance = 0;
    uint32_t lastLength   = 0;

    void remember(uint32_t distance, uint32_t length) {
        ring[ringNext++ & 3] = distance;
        lastDistance = distance;
        lastLength = length;
    }
};

// Hash chains over the whole stream; positions further back than the
// window are never followed.
class MatchFinder {
public:
    MatchFinder(const uint8_t* data, size_t size)
        : data_(data), size_(size), head_(size_t(1) << kHashBits, -1), prev_(kWindowSize, -1) {}

    // Enters every position below p.
    void insertUpTo(size_t p) {
        for (; inserted_ < p && inserted_ + 2 < size_; ++inserted_) {
            const uint32_t h = hash(inserted_);
            prev_[inserted_ & (kWindowSize - 1)] = head_[h];
            head_[h] = int32_t(inserted_);
        }
        inserted_ = std::max(inserted_, p);
    }
    int32_t first(size_t p) const { return p + 2 < size_ ? head_[hash(p)] : -1; }
    int32_t next(int32_t candidate) const { return prev_[size_t(candidate) & (kWindowSize - 1)]; }

private:
    uint32_t hash(size_t p) const {
        const uint32_t v = uint32_t(data_[p]) << 16 | uint32_t(data_[p + 1]) << 8 | data_[p + 2];
        return (v * 2654435761u) >> (32 - kHashBits);
    }

    const uint8_t* data_;
    size_t size_;
    std::vector<int32_t> head_;   // newest position per hash
    std::vector<int32_t> prev_;   // older position of the same hash, by position mod window
    size_t inserted_ = 0;
};

size_t matchLength(const uint8_t* a, const uint8_t* b, size_t limit) {
    size_t n = 0;
    while (n + 8 <= limit) {
        uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) return n + size_t(__builtin_ctzll(x ^ y) >> 3);
        n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

enum class Form { None, RepeatLast, Ring, Short, Long };

struct Match {
    Form     form = Form::None;
    uint32_t length = 0, distance = 0;
    int      ring = 0;   // Form::Ring: 0 = most recent
    int      gain = 0;   // bits saved against literals, by the rough costs
};

class LzParser {
public:
    LzParser(const uint8_t* data, MatchFinder& finder, int chainLimit)
        : data_(data), finder_(finder), chainLimit_(chainLimit) {}

    std::vector<Block> parse(size_t start, size_t end, LzState& s, uint32_t blockSymbols) {
        std::vector<Block> blocks(1);
        uint32_t inBlock = 0;
        // Tables change only between whole matches: a main symbol starts a
        // new block when the current one is full, its followers never do.
        auto symbol = [&](uint32_t item) {
            const bool main = (item >> 16) == 0;
            if (main && inBlock == blockSymbols) {
                blocks.emplace_back();
                inBlock = 0;
            }
            blocks.back().items.push_back(item);
            inBlock += main;
        };
        auto extra = [&](int bits, uint32_t value) {
            if (bits) blocks.back().items.push_back(raw(bits, value));
        };

        size_t p = start;
        Match m = best(p, end, s);
        while (p < end) {
            if (m.form != Form::None && m.length < kLazyLimit && p + 1 < end) {
                const Match later = best(p + 1, end, s);
                if (later.gain > m.gain + kLiteralBits) {
                    symbol(huff(0, data_[p]));
                    ++p;
                    m = later;
                    continue;
                }
            }
            if (m.form == Form::None) {
                symbol(huff(0, data_[p]));
                ++p;
            } else {
                emit(m, s, symbol, extra);
                p += m.length;
            }
            if (p < end) m = best(p, end, s);
        }
        return blocks;
    }

private:
    template <class Sym, class Extra>
    void emit(const Match& m, LzState& s, Sym& symbol, Extra& extra) {
        switch (m.form) {
        case Form::RepeatLast:
            symbol(huff(0, kSymRepeatLast));
            s.remember(s.lastDistance, s.lastLength);
            return;
        case Form::Ring: {
            const uint32_t v = m.length - 2 - uint32_t(ringBonus(m.distance));
            const int code = kLengths.find(v);
            symbol(huff(0, kSymRing + m.ring));
            symbol(huff(2, code));
            extra(kLengths.bits[code], v - kLengths.base[code]);
            break;
        }
        case Form::Short: {
            const int code = kShorts.find(m.distance - 1);
            symbol(huff(0, kSymShort + code));
            extra(kShorts.bits[code], m.distance - 1 - kShorts.base[code]);
            break;
        }
        case Form::Long: {
            const uint32_t v = m.length - 3 - uint32_t(longBonus(m.distance));
            const int code = kLengths.find(v);
            symbol(huff(0, kSymLong + code));
            extra(kLengths.bits[code], v - kLengths.base[code]);
            const int dcode = kDistances.find(m.distance - 1);
            symbol(huff(1, dcode));
            extra(kDistances.bits[dcode], m.distance - 1 - kDistances.base[dcode]);
            break;
        }
        case Form::None:
            return;
        }
        s.remember(m.distance, m.length);
    }

    // The most rewarding match at p, ending at or before end.
    Match best(size_t p, size_t end, const LzState& s) {
        finder_.insertUpTo(p);
        Match m;
        const size_t limit = std::min<size_t>(kMaxMatch, end - p);
        if (limit < 2) return m;
        const uint8_t* here = data_ + p;

        if (s.lastLength && s.lastDistance <= p && s.lastLength <= end - p &&
            matchLength(here, here - s.lastDistance, s.lastLength) == s.lastLength) {
            m = {Form::RepeatLast, s.lastLength, s.lastDistance, 0, int(8 * s.lastLength) - kRepeatBits};
        }
        for (int r = 0; r < 4; ++r) {
            const uint32_t d = s.ring[(s.ringNext - 1 - r) & 3];
            if (d == 0 || d > p) continue;
            const uint32_t len = uint32_t(matchLength(here, here - d, limit));
            const uint32_t minLen = 2 + uint32_t(ringBonus(d));
            if (len < minLen) continue;
            const int code = kLengths.find(len - minLen);
            const int gain = int(8 * len) - kRingBits - kLengths.bits[code];
            if (gain > m.gain) m = {Form::Ring, len, d, r, gain};
        }

        uint32_t longest = 1;
        int steps = chainLimit_;
        for (int32_t c = finder_.first(p); c >= 0 && steps-- > 0; c = finder_.next(c)) {
            const uint32_t d = uint32_t(p - size_t(c));
            if (d > kMaxDistance || d == 0) break;
            if (data_[size_t(c) + longest] != here[longest] && longest < limit) continue;
            const uint32_t len = uint32_t(matchLength(here, here - d, limit));
            if (len <= longest) continue;
            longest = len;
            int gain = 0;
            Form form = Form::Long;
            if (len >= 3 + uint32_t(longBonus(d))) {
                const int code = kLengths.find(len - 3 - uint32_t(longBonus(d)));
                const int dcode = kDistances.find(d - 1);
                gain = int(8 * len) - kLongBits - kLengths.bits[code] - kDistances.bits[dcode];
            } else if (len == 2 && d <= 256) {
                form = Form::Short;
                gain = 16 - kShortBits - kShorts.bits[kShorts.find(d - 1)];
            }
            if (gain > m.gain) m = {form, form == Form::Short ? 2u : len, d, 0, gain};
            if (len == limit) break;
        }
        return m;
    }

    const uint8_t* data_;
    MatchFinder&   finder_;
    int            chainLimit_;
};

// ---------------------------------------------------------------- stream

void writeItems(BitWriter& w, const Block& b, const uint8_t* lengths, const uint16_t* codes) {
    for (uint32_t it : b.items) {
        if (it & kRawFlag) {
            w.put(it & 0xFFFFFF, int(it >> 24 & 0x1F));
        } else {
            const size_t i = size_t(tableOffset(b, int(it >> 16)) + int(it & 0xFFFF));
            w.put(codes[i], lengths[i]);
        }
    }
}

}  // namespace

std::vector<EncodedFile> encodeRar20(const std::vector<const std::vector<uint8_t>*>& files,
                                     const EncoderOptions& options) {
    // The whole stream in one piece: matches reach back across files.
    std::vector<uint8_t> stream;
    std::vector<size_t> starts;
    for (const std::vector<uint8_t>* f : files) {
        starts.push_back(stream.size());
        stream.insert(stream.end(), f->begin(), f->end());
    }
    starts.push_back(stream.size());

    const uint32_t blockSymbols = std::max<uint32_t>(options.blockSymbols, 1);
    MatchFinder finder(stream.data(), stream.size());
    LzParser parser(stream.data(), finder, std::max(options.chainLimit, 1));
    LzState lz;
    AudioState audio;

    std::vector<EncodedFile> out(files.size());
    std::vector<std::vector<Block>> blocks(files.size());
    for (size_t f = 0; f < files.size(); ++f) {
        const size_t start = starts[f], end = starts[f + 1];
        // Every mode runs from the same state; only the winner's state goes on.
        const bool forced = options.audioChannels >= 1 && options.audioChannels <= kMaxChannels;
        const LzState lzBefore = lz;
        uint64_t bestBits = UINT64_MAX;
        if (!forced) {
            LzState trial = lz;
            blocks[f] = parser.parse(start, end, trial, blockSymbols);
            bestBits = blocksBits(blocks[f]);
            lz = trial;
        }
        const uint64_t lzBits = bestBits;
        finder.insertUpTo(end);   // audio bytes are in the window for later matches all the same
        AudioState chosen = audio;
        for (int channels = 1; channels <= kMaxChannels && (forced || options.tryAudio); ++channels) {
            if (forced && channels != options.audioChannels) continue;
            AudioState trial = audio;
            std::vector<Block> coded = encodeAudio(stream.data() + start, end - start, channels, trial, blockSymbols);
            // The audio mode has to win clearly: on noise it saves a few
            // bytes but leaves a predictor state that hurts the files after.
            const uint64_t bits = blocksBits(coded);
            if (bits < bestBits && (forced || bits + lzBits / kAudioMargin < lzBits)) {
                bestBits = bits;
                blocks[f] = std::move(coded);
                chosen = trial;
                out[f].audioChannels = channels;
            }
        }
        if (out[f].audioChannels) {
            audio = chosen;
            lz = lzBefore;
        }
        out[f].tableChanges = int(blocks[f].size()) - 1;
    }

    // Every block but the stream's first starts with a table change coded
    // with the tables before it, so a file that continues a solid stream
    // starts with its own tables.  Nothing follows a file's last code but
    // the padding: decoders that look for a table change after the end of
    // a file (unar does not) find too few bytes to try.
    std::vector<uint8_t> lengths;
    std::vector<uint16_t> codes;
    const Block* previous = nullptr;
    TableMemory memory;
    size_t left = 0;
    for (const std::vector<Block>& fb : blocks) left += fb.size();
    for (size_t f = 0; f < files.size(); ++f) {
        BitWriter w;
        for (const Block& b : blocks[f]) {
            if (previous) {
                const auto [t, sym] = changeSymbol(*previous);
                const size_t c = size_t(tableOffset(*previous, t) + sym);
                w.put(codes[c], lengths[c]);
            }
            lengths = blockLengths(b, --left > 0);
            codes.assign(lengths.size(), 0);
            for (int t = 0; t < tableCount(b); ++t)
                canonicalCodes(lengths.data() + tableOffset(b, t), tableSymbols(b, t), codes.data() + tableOffset(b, t));
            writeTables(w, memory, b, lengths.data());
            writeItems(w, b, lengths.data(), codes.data());
            previous = &b;
        }
        out[f].packed = w.finish();
        out[f].packed.resize(out[f].packed.size() + kTailPadding, 0);
    }
    return out;
}

}  // namespace pack
