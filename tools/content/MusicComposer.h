// The show's music, composed and synthesised in code: a FastTracker 2 module
// (XM 1.04) in D minor at 84 BPM, built byte for byte the same on every run.
//
// Song map, in ms of music time (one bar = 4 beats = 16 rows = 2857.14 ms;
// every section starts on a bar line, rounded to the nearest ms):
//
//   bar  0      0 ms  Intro    pads swell in under a quiet arpeggio
//   bar  8  22857 ms  Rise     hats and bass enter, the kick joins at bar 12,
//                              a noise riser pulls into the drop
//   bar 16  45714 ms  Drive    full beat; the lead theme enters at bar 20
//   bar 28  80000 ms  Break    drums out: pads, a bell melody and the arpeggio
//   bar 36 102857 ms  Build    snare roll and riser, the kick returns at bar 38
//   bar 40 114286 ms  Peak     everything, lead doubled by the bell
//   bar 52 148571 ms  Outro    drums drop away, the mix fades from bar 53
//   bar 57 162857 ms  Silence  faded out; silence until the song ends
//   bar 60 171429 ms  end of the module
#pragma once

#include <cstdint>
#include <vector>

constexpr int kMusicBpm = 84;          // quarter notes per minute
constexpr int kMusicRowsPerBeat = 4;   // one row is a sixteenth note: 178.57 ms
constexpr int kMusicBeatsPerBar = 4;
constexpr int kMusicBars = 60;

// Start of a bar in ms of music time, rounded to the nearest ms.
constexpr uint32_t musicBarMs(int bar) {
    return uint32_t((int64_t(bar) * kMusicBeatsPerBar * 60000 * 2 + kMusicBpm) / (2 * kMusicBpm));
}

constexpr uint32_t kMusicIntroMs   = 0;        // bar 0
constexpr uint32_t kMusicRiseMs    = 22857;    // bar 8
constexpr uint32_t kMusicDriveMs   = 45714;    // bar 16
constexpr uint32_t kMusicBreakMs   = 80000;    // bar 28
constexpr uint32_t kMusicBuildMs   = 102857;   // bar 36
constexpr uint32_t kMusicPeakMs    = 114286;   // bar 40
constexpr uint32_t kMusicOutroMs   = 148571;   // bar 52
constexpr uint32_t kMusicFadeMs    = 151429;   // bar 53: the global fade starts
constexpr uint32_t kMusicSilenceMs = 162857;   // bar 57: fully faded out
constexpr uint32_t kMusicLengthMs  = 171429;   // bar 60: the module ends

static_assert(kMusicRiseMs == musicBarMs(8) && kMusicDriveMs == musicBarMs(16) &&
              kMusicBreakMs == musicBarMs(28) && kMusicBuildMs == musicBarMs(36) &&
              kMusicPeakMs == musicBarMs(40) && kMusicOutroMs == musicBarMs(52) &&
              kMusicFadeMs == musicBarMs(53) && kMusicSilenceMs == musicBarMs(57) &&
              kMusicLengthMs == musicBarMs(kMusicBars),
              "section times must sit on bar lines");

// One named part of the song, for lining up the show's cuts with the music.
struct MusicSection {
    const char* name;
    uint32_t startMs;   // ms of music time, on a bar line
    int bar;            // first bar of the section (0-based)
};

inline constexpr MusicSection kMusicSections[] = {
    {"Intro",   kMusicIntroMs,   0},
    {"Rise",    kMusicRiseMs,    8},
    {"Drive",   kMusicDriveMs,   16},
    {"Break",   kMusicBreakMs,   28},
    {"Build",   kMusicBuildMs,   36},
    {"Peak",    kMusicPeakMs,    40},
    {"Outro",   kMusicOutroMs,   52},
    {"Silence", kMusicSilenceMs, 57},
};

// The complete XM file.  Pure: the same bytes on every call and every machine
// (integer synthesis only, no library randomness or maths).
std::vector<uint8_t> composeMusic();
