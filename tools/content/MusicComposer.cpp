// Halvoren's soundtrack: every instrument is synthesised here with integer
// arithmetic only (own sine table, own noise, fixed-point filters), so the
// module comes out bit-identical on any compiler, libm and CPU.  The song is
// written into one long grid of rows with a tiny tracker DSL, then cut into
// 64-row XM patterns.
#include "MusicComposer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

namespace {

// ============================================================== tuning ====

// Every sample is rendered at this rate for the note it is triggered on.
// 33488 Hz = 128 x middle C (A-4 = 440 Hz), so a 128-frame cycle is C-4,
// 64 frames C-5, 512 frames C-2.
constexpr int kRate = 33488;   // Hz

// XM plays C-4 at 8363 Hz on a sample with relative note 0.  33488 Hz lies
// 24.0187 semitones above that: relative note 24, finetune 2/128.
constexpr int kRelNoteAtC4 = 24;
constexpr int kFinetune = 2;   // 1/128 semitone

// A row lasts speed x 2.5 / tempo s.  Speed 6 at tempo 84 would give the same
// 178.57 ms row, but its 1312.5-frame tick gets rounded by players rendering
// at 44100 Hz and the song drifts 60 ms by the end; speed 7 at tempo 98 is a
// tick of exactly 1125 frames at 44100 Hz (25.51 ms).
constexpr int kSpeed = 7;    // ticks per row
constexpr int kTempo = 98;   // XM "BPM" field
constexpr int kRowsPerBar = kMusicRowsPerBeat * kMusicBeatsPerBar;
constexpr int kPatternRows = 64;   // four bars per pattern
static_assert((kMusicBars * kRowsPerBar) % kPatternRows == 0, "song must fill whole patterns");
static_assert(kSpeed * 2500 * kMusicRowsPerBeat * kMusicBpm == 60000 * kTempo,
              "a row must last a sixteenth note at kMusicBpm");
static_assert(44100 * 5 % (2 * kTempo) == 0, "a tick must be a whole number of frames at 44100 Hz");

// Envelope positions are counted in ticks.
constexpr uint16_t ticks(int ms) { return uint16_t((ms * kTempo * 2 + 2500) / 5000); }

constexpr int kSamplePeak = 32000;   // every sample is normalised to this peak (of 32767)

// Frames of sample data in a span of ms.
constexpr int framesIn(int ms) { return int(int64_t(ms) * kRate / 1000); }

// ============================================================== notes ====

// XM note number from tracker text: "C-4", "A#3" (C-0 = 1, A-4 = 58).
constexpr uint8_t N(const char (&text)[4]) {
    constexpr int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};   // A B C D E F G
    const int letter = text[0] - 'A';
    const int sharp = text[1] == '#' ? 1 : 0;
    const int octave = text[2] - '0';
    return uint8_t(octave * 12 + kSemitone[letter] + sharp + 1);
}
constexpr uint8_t kKeyOff = 97;
constexpr uint8_t kC2 = N("C-2"), kC4 = N("C-4"), kC5 = N("C-5");

// ============================================================ fixed point ====

// Sine over a 32-bit phase (2^32 = one cycle), Q15 out.  The quarter wave is
// summed from its Taylor series in Q30 integers, so the table is the same
// everywhere regardless of the maths library.
class SineTable {
public:
    SineTable() {
        constexpr int64_t kHalfPiQ30 = 1686629713;
        std::array<int32_t, kQuarter + 1> quarter{};
        for (int i = 0; i <= kQuarter; ++i) {
            const int64_t x = kHalfPiQ30 * i / kQuarter;
            const int64_t x2 = (x * x) >> 30;
            int64_t term = x, sum = x;
            for (int k = 1; k <= 7; ++k) {
                term = -((term * x2) >> 30) / ((2 * k) * (2 * k + 1));
                sum += term;
            }
            quarter[i] = int32_t(std::min<int64_t>((sum + (1 << 14)) >> 15, 32767));
        }
        for (int i = 0; i <= kSize; ++i) {
            const int q = i % kSize;
            const int k = q % kQuarter, quadrant = q / kQuarter;
            const int32_t v = (quadrant & 1) ? quarter[kQuarter - k] : quarter[k];
            table_[i] = quadrant >= 2 ? -v : v;
        }
    }

    int32_t operator()(uint32_t phase) const {
        const uint32_t i = phase >> 20;
        const int32_t frac = int32_t((phase >> 4) & 0xFFFF);
        return table_[i] + int32_t((int64_t(table_[i + 1] - table_[i]) * frac) >> 16);
    }

private:
    static constexpr int kSize = 4096, kQuarter = kSize / 4;
    std::array<int32_t, kSize + 1> table_{};
};

// Numerical-Recipes LCG: the noise of every drum, reproducible by seed.
struct Noise {
    uint32_t state;
    int32_t next() {   // -32768..32767
        state = state * 1664525u + 1013904223u;
        return int32_t(state >> 16) - 32768;
    }
};

// Phase step of a frequency given in mHz.
constexpr uint32_t stepForMilliHz(int64_t milliHz) {
    return uint32_t((milliHz << 32) / (int64_t(kRate) * 1000));
}
// Phase step that completes exactly `cycles` cycles in 2^log2Frames frames:
// the basis of every seamless loop.
constexpr uint32_t stepForCycles(uint32_t cycles, int log2Frames) {
    return cycles << (32 - log2Frames);
}

// One-pole low-pass; hp() is its complement.  The coefficient w / (1 + w)
// stays below 1 for any cutoff, so the filter never blows up.
class OnePole {
public:
    explicit OnePole(int cutoffHz) {
        const int64_t w = int64_t(411775) * cutoffHz / kRate;   // 2 pi f / rate, Q16
        a_ = w * 65536 / (65536 + w);
    }
    int64_t lp(int64_t x) { y_ += ((x - y_) * a_) >> 16; return y_; }
    int64_t hp(int64_t x) { return x - lp(x); }

private:
    int64_t a_;       // Q16
    int64_t y_ = 0;
};

// Exponential decay, Q30: multiply once per frame.
class Decay {
public:
    explicit Decay(int halfLifeFrames)
        : factor_((int64_t(1) << 30) - 744261118 / std::max(halfLifeFrames, 1)) {}   // 2^(-1/h), first order
    int64_t next() { const int64_t v = level_; level_ = (level_ * factor_) >> 30; return v; }
    void reset() { level_ = int64_t(1) << 30; }

private:
    int64_t factor_;
    int64_t level_ = int64_t(1) << 30;
};

// Scales a mix to kSamplePeak.
std::vector<int16_t> toPcm(const std::vector<int64_t>& mix) {
    int64_t peak = 1;
    for (int64_t v : mix) peak = std::max(peak, std::abs(v));
    std::vector<int16_t> pcm(mix.size());
    for (size_t i = 0; i < mix.size(); ++i) pcm[i] = int16_t(mix[i] * kSamplePeak / peak);
    return pcm;
}

// Linear fade over the last frames of a one-shot, so its end never clicks.
void fadeTail(std::vector<int64_t>& mix, int frames) {
    const int n = int(mix.size());
    for (int i = std::max(0, n - frames); i < n; ++i) mix[i] = mix[i] * (n - i) / frames;
}

// Harmonic amplitudes (Q15) of a band-limited saw, darkened above `corner`.
std::vector<int32_t> sawHarmonics(int count, int corner, bool oddOnly = false) {
    std::vector<int32_t> amps(count, 0);
    for (int h = 1; h <= count; ++h) {
        if (oddOnly && h % 2 == 0) continue;
        amps[h - 1] = int32_t(int64_t(32767) * corner * corner / (h * (int64_t(corner) * corner + h * h)));
    }
    return amps;
}

// Adds a band-limited oscillator: sum of amps[h-1] * sin(h * phase).
void addOscillator(std::vector<int64_t>& mix, const SineTable& sine, uint32_t step, uint32_t phase,
                   const std::vector<int32_t>& amps, int gainQ8) {
    for (int64_t& out : mix) {
        int64_t sum = 0;
        for (size_t h = 0; h < amps.size(); ++h)
            if (amps[h]) sum += int64_t(amps[h]) * sine(phase * uint32_t(h + 1));
        out += (sum >> 15) * gainQ8 >> 8;
        phase += step;
    }
}

// ============================================================= XM model ====

struct XmSample {
    std::string name;
    std::vector<int16_t> pcm;
    uint32_t loopStart = 0;     // frames
    uint32_t loopLength = 0;    // frames; 0 = one-shot
    uint8_t volume = 64;        // 0..64
    uint8_t panning = 128;      // 0 = left, 255 = right
    int8_t relativeNote = kRelNoteAtC4;
};

struct XmInstrument {
    std::string name;
    XmSample sample;
    std::vector<std::pair<uint16_t, uint16_t>> envelope;   // (tick, level 0..64); empty = none
    int sustainPoint = -1;      // envelope point held until key off, -1 = none
    uint16_t fadeout = 0;       // volume lost per tick after key off, of 65536
};

// A sample rendered at kRate for `baseNote`: the note that plays it unchanged.
XmSample tonalSample(std::string name, std::vector<int16_t> pcm, uint8_t baseNote,
                     uint32_t loopStart, uint32_t loopLength) {
    XmSample s;
    s.name = std::move(name);
    s.pcm = std::move(pcm);
    s.loopStart = loopStart;
    s.loopLength = loopLength;
    s.relativeNote = int8_t(kRelNoteAtC4 + kC4 - baseNote);
    return s;
}

// A drum: no loop, no envelope, triggered on C-4.
XmInstrument oneShot(const std::string& name, std::vector<int16_t> pcm, uint8_t panning) {
    XmSample s;
    s.name = name;
    s.pcm = std::move(pcm);
    s.panning = panning;
    return {name, std::move(s), {}, -1, 0};
}

// ========================================================== instruments ====

XmInstrument kick(Noise& noise, const SineTable& sine) {
    std::vector<int64_t> mix(framesIn(420));
    Decay pitch(framesIn(22)), body(framesIn(120)), click(framesIn(1));
    OnePole clickTone(3000);
    uint32_t phase = 0;
    for (int64_t& out : mix) {
        const int64_t milliHz = 43000 + ((127000 * pitch.next()) >> 30);   // 170 Hz down to 43 Hz
        // Soft-clip the sine (1.5x - 0.5x^3 of a 1.8x drive) for a rounder, louder thump.
        const int64_t x = std::clamp<int64_t>(int64_t(sine(phase)) * 18 / 10, -32767, 32767);
        const int64_t shaped = (3 * x - ((x * x >> 15) * x >> 15)) / 2;
        out = (shaped * body.next() >> 30) + (clickTone.lp(noise.next()) * click.next() >> 31);
        phase += stepForMilliHz(milliHz);
    }
    fadeTail(mix, framesIn(40));
    return oneShot("kick", toPcm(mix), 128);
}

XmInstrument snare(Noise& noise, const SineTable& sine) {
    std::vector<int64_t> mix(framesIn(320));
    Decay tone(framesIn(32)), rattle(framesIn(60));
    OnePole low(1300), high(9000);
    uint32_t p1 = 0, p2 = 0;
    for (int64_t& out : mix) {
        const int64_t body = (sine(p1) + sine(p2) / 2) * tone.next() >> 30;
        const int64_t hiss = high.lp(low.hp(noise.next())) * rattle.next() >> 30;
        out = body * 5 / 10 + hiss;
        p1 += stepForMilliHz(185000);
        p2 += stepForMilliHz(330000);
    }
    fadeTail(mix, framesIn(30));
    return oneShot("snare", toPcm(mix), 120);
}

XmInstrument clap(Noise& noise) {
    std::vector<int64_t> mix(framesIn(380));
    OnePole low(900), high(2600);
    Decay burst(framesIn(3)), tail(framesIn(70));
    const int burstEvery = framesIn(10), tailStart = 3 * burstEvery;
    for (int i = 0; i < int(mix.size()); ++i) {
        // Three quick slaps then one longer tail: the "several hands" smear.
        if (i < tailStart && i % burstEvery == 0) burst.reset();
        const int64_t env = i < tailStart ? burst.next() : tail.next();
        mix[i] = high.lp(low.hp(noise.next())) * env >> 30;
    }
    fadeTail(mix, framesIn(40));
    return oneShot("clap", toPcm(mix), 140);
}

// Six detuned squares (the classic analogue cymbal) plus noise, high-passed.
std::vector<int64_t> metal(Noise& noise, int frames, int halfLifeMs, int cutoffHz, int pitchPercent) {
    constexpr int64_t kPartialsMilliHz[6] = {205300, 304400, 369600, 522700, 540000, 800000};
    std::vector<int64_t> mix(frames);
    std::array<uint32_t, 6> phase{};
    OnePole hp1(cutoffHz), hp2(cutoffHz);
    Decay env(framesIn(halfLifeMs));
    for (int i = 0; i < frames; ++i) {
        int64_t squares = 0;
        for (int k = 0; k < 6; ++k) {
            squares += (phase[k] & 0x80000000u) ? -5000 : 5000;
            phase[k] += stepForMilliHz(kPartialsMilliHz[k] * pitchPercent / 100);
        }
        const int64_t attack = std::min(i, 64);   // 2 ms: no click at the very start
        mix[i] = hp2.hp(hp1.hp(squares + noise.next())) * env.next() / 64 * attack >> 30;
    }
    fadeTail(mix, frames / 8);
    return mix;
}

XmInstrument closedHat(Noise& noise) {
    return oneShot("closed hat", toPcm(metal(noise, framesIn(110), 16, 7000, 170)), 150);
}
XmInstrument openHat(Noise& noise) {
    return oneShot("open hat", toPcm(metal(noise, framesIn(650), 150, 6500, 170)), 150);
}
XmInstrument crash(Noise& noise) {
    return oneShot("crash", toPcm(metal(noise, framesIn(1700), 380, 3500, 230)), 100);
}

// Sub-heavy saw, one cycle of 512 frames at C-2: a loop cannot be cleaner.
XmInstrument bass(const SineTable& sine) {
    std::vector<int64_t> mix(512);
    addOscillator(mix, sine, stepForCycles(1, 9), 0, sawHarmonics(40, 9), 256);
    addOscillator(mix, sine, stepForCycles(1, 9), 0, {32767}, 150);   // fundamental, for weight
    return {"bass", tonalSample("bass", toPcm(mix), kC2, 0, 512),
            {{0, 64}, {ticks(240), 50}, {ticks(1190), 44}, {ticks(1310), 0}}, 2, 2048};
}

// Seven detuned saws and a sub saw; every voice runs a whole number of cycles
// in the 32768-frame loop, so the chorus beating wraps without a seam.
XmInstrument pad(Noise& noise, const SineTable& sine) {
    constexpr int kLog2Loop = 15;
    constexpr uint32_t kCycles = 256;   // 128-frame cycle: C-4
    constexpr int kDetune[7] = {-5, -3, -1, 0, 1, 3, 5};   // cycles per loop, 6.8 cents each
    std::vector<int64_t> mix(1u << kLog2Loop);
    const auto saw = sawHarmonics(32, 12);
    for (int d : kDetune)
        addOscillator(mix, sine, stepForCycles(kCycles + d, kLog2Loop), uint32_t(noise.next()) << 16,
                      saw, d == 0 ? 256 : 180);
    addOscillator(mix, sine, stepForCycles(kCycles / 2, kLog2Loop), 0, sawHarmonics(32, 6), 160);
    return {"pad", tonalSample("supersaw pad", toPcm(mix), kC4, 0, uint32_t(mix.size())),
            {{0, 0}, {ticks(1070), 64}, {ticks(2980), 0}}, 1, 0};
}

// Two squares a few cents apart; 16384 frames hold 256 and 257 cycles.
XmInstrument lead(const SineTable& sine) {
    constexpr int kLog2Loop = 14;
    std::vector<int64_t> mix(1u << kLog2Loop);
    const auto square = sawHarmonics(21, 11, true);
    addOscillator(mix, sine, stepForCycles(256, kLog2Loop), 0, square, 256);
    addOscillator(mix, sine, stepForCycles(257, kLog2Loop), 1u << 30, square, 200);
    addOscillator(mix, sine, stepForCycles(256, kLog2Loop), 0, sawHarmonics(12, 8), 90);   // body
    return {"lead", tonalSample("pulse lead", toPcm(mix), kC5, 0, uint32_t(mix.size())),
            {{0, 0}, {ticks(60), 64}, {ticks(420), 50}, {ticks(540), 0}}, 2, 0};
}

// Saw pluck: bright for the first 120 ms, closing to a dark single cycle that
// loops.  The attack is a whole number of cycles long, so the loop joins in phase.
XmInstrument pluck(const SineTable& sine) {
    constexpr int kCycle = 64;       // frames: C-5
    constexpr int kAttack = 4096;    // frames, 64 cycles
    constexpr int kHarmonics = 14;
    const auto bright = sawHarmonics(kHarmonics, 40), dark = sawHarmonics(kHarmonics, 2);
    std::vector<int64_t> mix(kAttack + kCycle);
    uint32_t phase = 0;
    for (int i = 0; i < int(mix.size()); ++i) {
        const int64_t left = std::max(0, kAttack - i);              // frames of brightness left
        const int64_t open = left * left / kAttack * 32768 / kAttack;   // Q15, quadratic close
        int64_t sum = 0;
        for (int h = 0; h < kHarmonics; ++h) {
            const int64_t amp = dark[h] + (((bright[h] - dark[h]) * open) >> 15);
            sum += amp * sine(phase * uint32_t(h + 1));
        }
        mix[i] = sum >> 15;
        phase += stepForCycles(1, 6);
    }
    return {"pluck", tonalSample("saw pluck", toPcm(mix), kC5, kAttack, kCycle),
            {{0, 64}, {ticks(120), 44}, {ticks(420), 24}, {ticks(1190), 10}, {ticks(2680), 0}}, -1, 0};
}

// Two-operator FM bell, modulator at 3.5x the carrier.  The index falls from
// 2.2 to 0.35 during the 16384-frame attack; the loop is two carrier cycles,
// the shortest stretch in which the modulator also completes (seven) cycles.
XmInstrument bell(const SineTable& sine) {
    constexpr int kAttack = 16384, kLoop = 128;
    constexpr int64_t kIndexEndQ12 = 1434, kIndexSpanQ12 = 7578;   // 0.35 and 2.2 - 0.35
    constexpr int64_t kPhasePerRadian = 683565276;                  // 2^32 / 2 pi
    std::vector<int64_t> mix(kAttack + kLoop);
    Decay index(framesIn(60));
    uint32_t carrier = 0, modulator = 0;
    for (int64_t& out : mix) {
        const int64_t indexQ12 = kIndexEndQ12 + ((kIndexSpanQ12 * index.next()) >> 30);
        const int64_t offset = (indexQ12 * sine(modulator) * kPhasePerRadian) >> 27;
        out = sine(carrier + uint32_t(offset));
        carrier += stepForCycles(1, 6);   // 64 frames: C-5
        modulator += 7u << 25;            // 3.5 x carrier
    }
    return {"bell", tonalSample("fm bell", toPcm(mix), kC5, kAttack, kLoop),
            {{0, 64}, {ticks(240), 44}, {ticks(1190), 22}, {ticks(3570), 8}, {ticks(7740), 0}}, -1, 0};
}

// Filtered noise for the risers.  The filters run twice round the loop so the
// second pass starts in the state the first ended in: a seamless wrap.
XmInstrument whoosh(Noise& noise) {
    std::vector<int64_t> white(16384), mix(white.size());
    for (int64_t& v : white) v = noise.next();
    OnePole low(4500), high(250);
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < white.size(); ++i) mix[i] = high.hp(low.lp(white[i]));
    return {"riser", tonalSample("noise riser", toPcm(mix), kC4, 0, uint32_t(mix.size())),
            {{0, 0}, {ticks(600), 64}, {ticks(710), 0}}, 1, 0};
}

// =========================================================== song grid ====

enum Channel : int {
    kChKick, kChSnare, kChClap, kChHat, kChCrash, kChRiser, kChBass,
    kChPadA, kChPadB, kChPadC, kChArp, kChArpEcho, kChLead, kChLeadEcho, kChBell, kChBellEcho,
    kChannels
};

enum Instrument : uint8_t {   // XM instrument numbers, 1-based
    kInsKick = 1, kInsSnare, kInsClap, kInsClosedHat, kInsOpenHat, kInsCrash,
    kInsBass, kInsPad, kInsLead, kInsPluck, kInsBell, kInsRiser
};

enum Effect : uint8_t {
    kFxPortaUp = 0x1, kFxTonePorta = 0x3, kFxVibrato = 0x4, kFxPanning = 0x8,
    kFxGlobalVolume = 0x10
};

struct Cell {
    uint8_t note = 0, instrument = 0, volume = 0, effect = 0, param = 0;
};

constexpr int at(int bar, int step) { return bar * kRowsPerBar + step; }

// The whole song as one grid of rows.  Writing twice into the same slot is an
// arrangement bug, so it throws rather than silently dropping a note.
class Song {
public:
    Song() : cells_(size_t(kRows) * kChannels) {}

    static constexpr int kRows = kMusicBars * kRowsPerBar;

    const Cell& cell(int row, int channel) const { return cells_[size_t(row) * kChannels + channel]; }

    bool hasNote(int row, int channel) const { return row < kRows && cell(row, channel).note; }

    // Note with instrument and volume (0..64): a fresh attack.  It takes the
    // place of a key off written at the same row: a new note ends the old one anyway.
    void play(int row, int channel, uint8_t note, uint8_t instrument, int volume) {
        if (row >= kRows) return;   // echoes may spill past the end
        Cell& c = mutableCell(row, channel);
        if (c.note && c.note != kKeyOff) fail(row, channel, "note");
        c.note = note;
        c.instrument = instrument;
        setVolume(c, volume);
    }
    // Slides the sounding note to a new pitch without a new attack.
    void glide(int row, int channel, uint8_t note, int volume, uint8_t speed) {
        play(row, channel, note, 0, volume);
        effect(row, channel, kFxTonePorta, speed);
    }
    // Key off, unless a note already starts there.
    void release(int row, int channel) {
        if (row >= kRows) return;
        Cell& c = mutableCell(row, channel);
        if (!c.note) c.note = kKeyOff;
    }
    void volume(int row, int channel, int volume) {
        if (row >= kRows) return;
        Cell& c = mutableCell(row, channel);
        if (c.volume) fail(row, channel, "volume");
        setVolume(c, volume);
    }
    void effect(int row, int channel, uint8_t effect, uint8_t param) {
        if (row >= kRows) return;
        Cell& c = mutableCell(row, channel);
        if (c.effect || c.param) fail(row, channel, "effect");
        c.effect = effect;
        c.param = param;
    }

private:
    Cell& mutableCell(int row, int channel) {
        if (row < 0 || channel < 0 || channel >= kChannels) fail(row, channel, "position");
        return cells_[size_t(row) * kChannels + channel];
    }
    static void setVolume(Cell& c, int volume) { c.volume = uint8_t(0x10 + std::clamp(volume, 0, 64)); }
    [[noreturn]] static void fail(int row, int channel, const char* what) {
        throw std::logic_error("music arrangement writes two " + std::string(what) + "s at bar " +
                               std::to_string(row / kRowsPerBar) + " step " +
                               std::to_string(row % kRowsPerBar) + " channel " + std::to_string(channel));
    }

    std::vector<Cell> cells_;
};

// ============================================================ harmony ====

struct Chord {
    uint8_t bass;                  // root in the bass register
    std::array<uint8_t, 3> pad;    // close voicing, led smoothly from chord to chord
    std::array<uint8_t, 4> arp;    // arpeggio tones, low to high
};

const Chord kDm{N("D-2"), {N("D-4"), N("F-4"), N("A-4")}, {N("D-5"), N("F-5"), N("A-5"), N("D-6")}};
const Chord kBb{N("A#1"), {N("D-4"), N("F-4"), N("A#4")}, {N("A#4"), N("D-5"), N("F-5"), N("A#5")}};
const Chord kF {N("F-2"), {N("C-4"), N("F-4"), N("A-4")}, {N("A-4"), N("C-5"), N("F-5"), N("A-5")}};
const Chord kC {N("C-2"), {N("C-4"), N("E-4"), N("G-4")}, {N("G-4"), N("C-5"), N("E-5"), N("G-5")}};
const Chord kGm{N("G-2"), {N("D-4"), N("G-4"), N("A#4")}, {N("G-4"), N("A#4"), N("D-5"), N("G-5")}};
const Chord kA {N("A-1"), {N("C#4"), N("E-4"), N("A-4")}, {N("A-4"), N("C#5"), N("E-5"), N("A-5")}};

using Phrase = std::array<const Chord*, 4>;   // one chord per bar
const Phrase kHome   = {&kDm, &kBb, &kF, &kC};    // i  VI III VII
const Phrase kTurn   = {&kDm, &kBb, &kGm, &kA};   // i  VI iv  V
const Phrase kDrift  = {&kBb, &kC, &kDm, &kDm};
const Phrase kLonging = {&kGm, &kBb, &kC, &kA};
const Phrase kLast   = {&kDm, &kDm, &kDm, &kDm};

// The chord under every bar of the song.
std::array<const Chord*, kMusicBars> chordChart() {
    const Phrase* phrases[kMusicBars / 4] = {
        &kHome, &kHome,                 // intro
        &kHome, &kTurn,                 // rise
        &kHome, &kHome, &kTurn,         // drive
        &kDrift, &kLonging,             // break
        &kTurn,                         // build
        &kHome, &kHome, &kTurn,         // peak
        &kHome, &kLast,                 // outro, last chord, silence
    };
    std::array<const Chord*, kMusicBars> chart{};
    for (int bar = 0; bar < kMusicBars; ++bar) chart[bar] = (*phrases[bar / 4])[bar % 4];
    return chart;
}

// A melody note: where it starts within its phrase, what it is, how long.
struct Tone {
    int bar, step;   // bar 0..3 of the phrase, step 0..15
    uint8_t note;
    int length;      // rows
};

// The theme over kHome, then its answer over kTurn.
const std::vector<Tone> kThemeHome = {
    {0, 0, N("D-5"), 6}, {0, 6, N("C-5"), 2}, {0, 8, N("A-4"), 8},
    {1, 0, N("A#4"), 6}, {1, 6, N("A-4"), 2}, {1, 8, N("F-4"), 8},
    {2, 0, N("A-4"), 6}, {2, 6, N("G-4"), 2}, {2, 8, N("F-4"), 4}, {2, 12, N("A-4"), 4},
    {3, 0, N("G-4"), 12}, {3, 12, N("E-4"), 4},
};
const std::vector<Tone> kThemeTurn = {
    {0, 0, N("D-5"), 6}, {0, 6, N("C-5"), 2}, {0, 8, N("A-4"), 6}, {0, 14, N("D-5"), 2},
    {1, 0, N("F-5"), 6}, {1, 6, N("E-5"), 2}, {1, 8, N("D-5"), 8},
    {2, 0, N("D-5"), 4}, {2, 4, N("A#4"), 4}, {2, 8, N("G-4"), 4}, {2, 12, N("A#4"), 4},
    {3, 0, N("A-4"), 12}, {3, 12, N("C#5"), 4},
};
// The bell's slow song in the break.
const std::vector<Tone> kBellDrift = {
    {0, 0, N("D-5"), 8}, {0, 8, N("F-5"), 8},
    {1, 0, N("E-5"), 8}, {1, 8, N("G-5"), 4}, {1, 12, N("E-5"), 4},
    {2, 0, N("F-5"), 8}, {2, 8, N("A-5"), 8},
    {3, 0, N("D-5"), 16},
};
const std::vector<Tone> kBellLonging = {
    {0, 0, N("A#4"), 8}, {0, 8, N("D-5"), 8},
    {1, 0, N("F-5"), 8}, {1, 8, N("D-5"), 8},
    {2, 0, N("E-5"), 8}, {2, 8, N("G-5"), 8},
    {3, 0, N("E-5"), 8}, {3, 8, N("C#5"), 8},
};

// =========================================================== arrangement ====

// Panning (0..255) of the voices that share an instrument.
constexpr uint8_t kPanPadA = 0x48, kPanPadB = 0x80, kPanPadC = 0xB8;
constexpr uint8_t kPanArp = 0x60, kPanArpEcho = 0xB0;
constexpr uint8_t kPanLead = 0x78, kPanLeadEcho = 0xC0;
constexpr uint8_t kPanBell = 0x98, kPanBellEcho = 0x50;
constexpr int kEchoDelay = 3;        // rows: a dotted eighth
constexpr uint8_t kPadGlide = 0x20;     // tone portamento, 2 semitones a tick
constexpr uint8_t kLeadVibrato = 0x72;  // 4.3 Hz, about a quarter semitone deep

class Arranger {
public:
    Song song;

    // Pads hold the chord of every bar in [firstBar, endBar), gliding from
    // chord to chord so the swell never restarts, and fall silent at endBar.
    // `levels` lists (bar, volume) steps in bar order.
    void pads(int firstBar, int endBar, std::initializer_list<std::pair<int, int>> levels) {
        const Channel voices[3] = {kChPadA, kChPadB, kChPadC};
        const uint8_t pans[3] = {kPanPadA, kPanPadB, kPanPadC};
        int previousLevel = -1;
        for (int bar = firstBar; bar < endBar; ++bar) {
            int level = 0;
            for (const auto& [from, volume] : levels)
                if (from <= bar) level = volume;
            const Chord& chord = *chart_[bar];
            for (int v = 0; v < 3; ++v) {
                const int row = at(bar, 0);
                if (bar == firstBar) {
                    song.play(row, voices[v], chord.pad[v], kInsPad, level);
                    song.effect(row, voices[v], kFxPanning, pans[v]);
                } else if (chord.pad[v] != chart_[bar - 1]->pad[v]) {
                    song.glide(row, voices[v], chord.pad[v], level, kPadGlide);
                } else if (level != previousLevel) {
                    song.volume(row, voices[v], level);
                }
            }
            previousLevel = level;
        }
        for (Channel v : voices) song.release(at(endBar, 0), v);
    }

    // Root notes held a whole bar each.
    void bassHeld(int firstBar, int endBar, int volume) {
        for (int bar = firstBar; bar < endBar; ++bar)
            song.play(at(bar, 0), kChBass, chart_[bar]->bass, kInsBass, volume);
        song.release(at(endBar, 0), kChBass);
    }
    // Off-beat eighths, cut on the beat so the kick owns the downbeat.
    void bassOffbeat(int firstBar, int endBar, int volume) {
        for (int bar = firstBar; bar < endBar; ++bar)
            for (int beat = 0; beat < 4; ++beat) {
                song.play(at(bar, beat * 4 + 2), kChBass, chart_[bar]->bass, kInsBass, volume);
                song.release(at(bar, beat * 4 + 4), kChBass);
            }
    }
    // Rolling sixteenths between the kicks: root, root, octave.
    void bassRolling(int firstBar, int endBar, int volume) {
        for (int bar = firstBar; bar < endBar; ++bar) {
            const uint8_t root = chart_[bar]->bass;
            for (int beat = 0; beat < 4; ++beat) {
                const int row = at(bar, beat * 4);
                song.play(row + 1, kChBass, root, kInsBass, volume - 10);
                song.play(row + 2, kChBass, root, kInsBass, volume);
                song.play(row + 3, kChBass, uint8_t(root + 12), kInsBass, volume - 6);
                song.release(row + 4, kChBass);
            }
        }
    }

    // Sixteenth-note arpeggio with a dotted-eighth echo on its own channel;
    // volume moves linearly from `from` to `to` across the span.
    void arpeggio(int firstBar, int endBar, int from, int to, bool eighthsOnly = false) {
        constexpr int kOrder[16] = {0, 1, 2, 3, 1, 2, 3, 1, 0, 1, 2, 3, 2, 1, 2, 3};
        const int rows = at(endBar, 0) - at(firstBar, 0);
        for (int bar = firstBar; bar < endBar; ++bar)
            for (int step = 0; step < 16; ++step) {
                if (eighthsOnly && step % 2) continue;
                const int row = at(bar, step);
                const int volume = from + (to - from) * (row - at(firstBar, 0)) / rows + (step % 4 == 0 ? 6 : 0);
                const uint8_t note = chart_[bar]->arp[kOrder[step]];
                song.play(row, kChArp, note, kInsPluck, volume);
                song.effect(row, kChArp, kFxPanning, kPanArp);
                song.play(row + kEchoDelay, kChArpEcho, note, kInsPluck, volume * 4 / 10);
                song.effect(row + kEchoDelay, kChArpEcho, kFxPanning, kPanArpEcho);
            }
    }

    // A melody starting at `bar`, with its echo.  Long notes get a delayed
    // vibrato; each note is released where it ends.
    void melody(int bar, const std::vector<Tone>& tones, Channel channel, Channel echo, uint8_t instrument,
                int volume, uint8_t pan, uint8_t echoPan, int transpose = 0) {
        for (const Tone& t : tones) {
            const int start = at(bar + t.bar, t.step);
            const uint8_t note = uint8_t(t.note + transpose);
            for (const auto& [ch, vol, p, delay] : {std::tuple{channel, volume, pan, 0},
                                                    std::tuple{echo, volume * 35 / 100, echoPan, kEchoDelay}}) {
                song.play(start + delay, ch, note, instrument, vol);
                song.effect(start + delay, ch, kFxPanning, p);
                for (int r = 3; r < t.length; ++r) song.effect(start + delay + r, ch, kFxVibrato, kLeadVibrato);
            }
        }
        // A release only where the next note does not start at once.
        for (size_t i = 0; i < tones.size(); ++i) {
            const int end = at(bar + tones[i].bar, tones[i].step) + tones[i].length;
            const bool joined = i + 1 < tones.size() && at(bar + tones[i + 1].bar, tones[i + 1].step) == end;
            if (!joined) {
                song.release(end, channel);
                song.release(end + kEchoDelay, echo);
            }
        }
    }

    // ------------------------------------------------------------ drums
    void kicks(int firstBar, int endBar, int volume) {
        for (int bar = firstBar; bar < endBar; ++bar)
            for (int beat = 0; beat < 4; ++beat) song.play(at(bar, beat * 4), kChKick, kC4, kInsKick, volume);
    }
    // Snare and clap together on beats two and four.
    void backbeat(int firstBar, int endBar, int volume) {
        for (int bar = firstBar; bar < endBar; ++bar)
            for (int step : {4, 12}) {
                song.play(at(bar, step), kChSnare, kC4, kInsSnare, volume);
                song.play(at(bar, step), kChClap, kC4, kInsClap, volume * 8 / 10);
            }
    }
    // Off-beat hats, ghost sixteenths if `ghosts`, an open hat closing every
    // second bar.
    void hats(int firstBar, int endBar, int volume, bool ghosts, bool open) {
        for (int bar = firstBar; bar < endBar; ++bar)
            for (int step = 0; step < 16; ++step) {
                const bool opens = open && bar % 2 == 1 && step == 14;
                if (opens) song.play(at(bar, step), kChHat, kC4, kInsOpenHat, volume * 8 / 10);
                else if (step % 4 == 2) song.play(at(bar, step), kChHat, kC4, kInsClosedHat, volume);
                else if (ghosts && step % 2 == 1) song.play(at(bar, step), kChHat, kC4, kInsClosedHat, volume * 4 / 10);
            }
    }
    void crash(int bar, int volume) { song.play(at(bar, 0), kChCrash, kC4, kInsCrash, volume); }
    // Snare sixteenths over the last beat of a bar, rising (around a backbeat
    // snare already there).
    void fill(int bar) {
        for (int step = 12; step < 16; ++step)
            if (!song.hasNote(at(bar, step), kChSnare))
                song.play(at(bar, step), kChSnare, kC4, kInsSnare, 30 + (step - 12) * 8);
    }
    // Snare roll doubling its rate every bar (quarters, eighths, sixteenths...).
    void roll(int firstBar, int bars, int fromVolume, int toVolume) {
        const int rows = bars * kRowsPerBar;
        for (int i = 0; i < rows; ++i) {
            const int bar = i / kRowsPerBar;
            const int every = std::max(1, 4 >> bar);
            if (i % every) continue;
            song.play(at(firstBar, 0) + i, kChSnare, kC4, kInsSnare, fromVolume + (toVolume - fromVolume) * i / rows);
        }
    }
    // Noise swelling and sliding up until the downbeat after it.
    void riser(int firstBar, int bars, int fromVolume, int toVolume) {
        const int first = at(firstBar, 0), rows = bars * kRowsPerBar;
        // A linear slide moves 1/16 semitone per tick and unit: two octaves
        // over two bars at 2, over four bars at 1.
        const uint8_t slide = uint8_t(std::max(1, kPatternRows / rows));
        song.play(first, kChRiser, N("C-3"), kInsRiser, fromVolume);
        for (int i = 1; i < rows; ++i) {
            song.volume(first + i, kChRiser, fromVolume + (toVolume - fromVolume) * i / rows);
            song.effect(first + i, kChRiser, kFxPortaUp, slide);
        }
        song.release(first + rows, kChRiser);
    }

    // Global volume from 64 to 0 across [firstBar, endBar) on a squared
    // curve (closer to how loudness is heard than a straight line).
    void fadeOut(int firstBar, int endBar) {
        const int first = at(firstBar, 0), rows = at(endBar, 0) - first;
        for (int i = 0; i <= rows; ++i) {
            const int left = rows - i;
            song.effect(first + i, kChCrash, kFxGlobalVolume, uint8_t(64 * left * left / (rows * rows)));
        }
    }

private:
    std::array<const Chord*, kMusicBars> chart_ = chordChart();
};

Song arrange() {
    Arranger a;
    // The pads run from the first bar to the fade, one long legato line.
    a.pads(0, 57, {{0, 38}, {16, 27}, {28, 44}, {36, 30}, {52, 40}});

    // Intro, bars 0-7: pads alone, then a distant arpeggio and the bass.
    a.arpeggio(2, 8, 14, 30);
    a.bassHeld(4, 12, 32);

    // Rise, bars 8-15: hats, the bass turns to off-beats, the kick at bar 12.
    a.hats(8, 16, 34, false, false);
    a.arpeggio(8, 16, 30, 36);
    a.bassOffbeat(12, 16, 40);
    a.kicks(12, 16, 56);
    a.riser(14, 2, 8, 40);
    a.fill(15);

    // Drive, bars 16-27: the full beat; the theme at bar 20.
    a.crash(16, 48);
    a.kicks(16, 28, 64);
    a.backbeat(16, 28, 50);
    a.hats(16, 28, 44, true, true);
    a.bassRolling(16, 28, 46);
    a.arpeggio(16, 28, 32, 34);
    a.melody(20, kThemeHome, kChLead, kChLeadEcho, kInsLead, 40, kPanLead, kPanLeadEcho);
    a.melody(24, kThemeTurn, kChLead, kChLeadEcho, kInsLead, 40, kPanLead, kPanLeadEcho);
    a.fill(27);

    // Break, bars 28-35: no drums; pads, bell and a sparse arpeggio.
    a.crash(28, 36);
    a.bassHeld(28, 36, 34);
    a.arpeggio(28, 36, 24, 26, true);
    a.melody(28, kBellDrift, kChBell, kChBellEcho, kInsBell, 44, kPanBell, kPanBellEcho);
    a.melody(32, kBellLonging, kChBell, kChBellEcho, kInsBell, 44, kPanBell, kPanBellEcho);
    a.hats(32, 36, 20, false, false);

    // Build, bars 36-39: roll and riser; the kick back at bar 38.
    a.bassOffbeat(36, 38, 40);
    a.bassRolling(38, 40, 46);
    a.arpeggio(36, 40, 26, 42);
    a.roll(36, 4, 20, 60);
    a.riser(36, 4, 4, 44);
    a.kicks(38, 40, 60);

    // Peak, bars 40-51: everything; the bell doubles the theme an octave up.
    for (int bar : {40, 44, 48}) a.crash(bar, 48);
    a.kicks(40, 53, 64);
    a.backbeat(40, 52, 52);
    a.hats(40, 52, 46, true, true);
    a.bassRolling(40, 52, 46);
    a.arpeggio(40, 52, 34, 34);
    a.melody(40, kThemeHome, kChLead, kChLeadEcho, kInsLead, 42, kPanLead, kPanLeadEcho);
    a.melody(44, kThemeHome, kChLead, kChLeadEcho, kInsLead, 42, kPanLead, kPanLeadEcho);
    a.melody(48, kThemeTurn, kChLead, kChLeadEcho, kInsLead, 42, kPanLead, kPanLeadEcho);
    a.melody(44, kThemeHome, kChBell, kChBellEcho, kInsBell, 26, kPanBell, kPanBellEcho, 12);
    a.melody(48, kThemeTurn, kChBell, kChBellEcho, kInsBell, 26, kPanBell, kPanBellEcho, 12);
    a.fill(51);

    // Outro, bars 52-56: the beat falls away under a global fade, then silence.
    a.crash(52, 40);
    a.hats(52, 55, 34, false, false);
    a.bassHeld(52, 57, 36);
    a.arpeggio(52, 57, 32, 24);
    a.fadeOut(53, 57);
    return std::move(a.song);
}

// ============================================================= XM writer ====

class ByteWriter {
public:
    std::vector<uint8_t> bytes;

    void u8(uint32_t v) { bytes.push_back(uint8_t(v)); }
    void u16(uint32_t v) { u8(v & 0xFF); u8(v >> 8); }
    void u32(uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
    void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
    // Fixed-width text, zero padded, cut if longer.
    void text(const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) u8(i < s.size() ? uint8_t(s[i]) : 0);
    }
};

// XM pattern packing: a flag byte (bit 7 set) says which of the five fields follow.
std::vector<uint8_t> packPattern(const Song& song, int firstRow) {
    ByteWriter w;
    for (int row = firstRow; row < firstRow + kPatternRows; ++row)
        for (int ch = 0; ch < kChannels; ++ch) {
            const Cell& c = song.cell(row, ch);
            const bool hasEffect = c.effect || c.param;
            w.u8(0x80 | (c.note ? 1 : 0) | (c.instrument ? 2 : 0) | (c.volume ? 4 : 0) | (hasEffect ? 8 : 0) |
                 (hasEffect ? 16 : 0));
            if (c.note) w.u8(c.note);
            if (c.instrument) w.u8(c.instrument);
            if (c.volume) w.u8(c.volume);
            if (hasEffect) { w.u8(c.effect); w.u8(c.param); }
        }
    return std::move(w.bytes);
}

void writeInstrument(ByteWriter& w, const XmInstrument& ins) {
    constexpr int kHeaderSize = 263, kSampleHeaderSize = 40, kMaxPoints = 12;
    w.u32(kHeaderSize);
    w.text(ins.name, 22);
    w.u8(0);    // type
    w.u16(1);   // samples
    w.u32(kSampleHeaderSize);
    w.zeros(96);   // every note plays sample 0
    for (int i = 0; i < kMaxPoints; ++i) {
        const bool used = i < int(ins.envelope.size());
        w.u16(used ? ins.envelope[i].first : 0);
        w.u16(used ? ins.envelope[i].second : 0);
    }
    w.zeros(4 * kMaxPoints);   // no panning envelope
    w.u8(uint32_t(ins.envelope.size()));
    w.u8(0);
    w.u8(ins.sustainPoint < 0 ? 0 : uint32_t(ins.sustainPoint));
    w.u8(0);   // volume loop start, end (unused)
    w.u8(0);
    w.zeros(3);   // panning sustain / loop
    w.u8((ins.envelope.empty() ? 0 : 1) | (ins.sustainPoint >= 0 ? 2 : 0));
    w.u8(0);      // panning envelope off
    w.zeros(4);   // no auto-vibrato
    w.u16(ins.fadeout);
    w.zeros(22);  // reserved

    const XmSample& s = ins.sample;
    w.u32(uint32_t(s.pcm.size() * 2));   // sizes in bytes: 16-bit data
    w.u32(s.loopStart * 2);
    w.u32(s.loopLength * 2);
    w.u8(s.volume);
    w.u8(uint8_t(int8_t(kFinetune)));
    w.u8(0x10 | (s.loopLength ? 1 : 0));   // 16-bit, forward loop
    w.u8(s.panning);
    w.u8(uint8_t(s.relativeNote));
    w.u8(0);   // plain delta coding
    w.text(s.name, 22);

    int16_t previous = 0;
    for (int16_t v : s.pcm) {
        w.u16(uint16_t(uint16_t(v) - uint16_t(previous)));
        previous = v;
    }
}

std::vector<uint8_t> writeXm(const Song& song, const std::vector<XmInstrument>& instruments) {
    // Identical four-bar blocks share one pattern.
    std::vector<std::vector<uint8_t>> patterns;
    std::vector<uint8_t> order;
    for (int row = 0; row < Song::kRows; row += kPatternRows) {
        std::vector<uint8_t> packed = packPattern(song, row);
        size_t index = 0;
        while (index < patterns.size() && patterns[index] != packed) ++index;
        if (index == patterns.size()) patterns.push_back(std::move(packed));
        order.push_back(uint8_t(index));
    }

    ByteWriter w;
    w.text("Extended Module: ", 17);
    w.text("Halvoren", 20);
    w.u8(0x1A);
    w.text("Halvoren composer", 20);
    w.u16(0x0104);
    w.u32(276);   // header size from here: 20 bytes of fields + 256 orders
    w.u16(uint32_t(order.size()));
    w.u16(0);     // restart position
    w.u16(kChannels);
    w.u16(uint32_t(patterns.size()));
    w.u16(uint32_t(instruments.size()));
    w.u16(1);     // linear frequency table
    w.u16(kSpeed);
    w.u16(kTempo);
    for (int i = 0; i < 256; ++i) w.u8(i < int(order.size()) ? order[i] : 0);

    for (const auto& packed : patterns) {
        w.u32(9);   // pattern header size
        w.u8(0);    // packing type
        w.u16(kPatternRows);
        w.u16(uint32_t(packed.size()));
        w.bytes.insert(w.bytes.end(), packed.begin(), packed.end());
    }
    for (const XmInstrument& ins : instruments) writeInstrument(w, ins);
    return std::move(w.bytes);
}

}  // namespace

std::vector<uint8_t> composeMusic() {
    const SineTable sine;
    Noise noise{0x48A1u};
    // Order matches the Instrument enum.
    std::vector<XmInstrument> instruments;
    instruments.push_back(kick(noise, sine));
    instruments.push_back(snare(noise, sine));
    instruments.push_back(clap(noise));
    instruments.push_back(closedHat(noise));
    instruments.push_back(openHat(noise));
    instruments.push_back(crash(noise));
    instruments.push_back(bass(sine));
    instruments.push_back(pad(noise, sine));
    instruments.push_back(lead(sine));
    instruments.push_back(pluck(sine));
    instruments.push_back(bell(sine));
    instruments.push_back(whoosh(noise));
    return writeXm(arrange(), instruments);
}
