// Music made by the tests themselves: a tiny ProTracker module written byte
// by byte, and tones encoded by ffmpeg.  No recorded samples.
#pragma once

#include <cstdint>
#include <vector>

namespace hlvtest {

// A four-channel "M.K." module: one looping square-wave sample struck on the
// first row (or on every row at a volume of its own, so any stretch shows where
// in the song it lies), `speed` ticks per row (1 to 31) at 125 BPM, and a
// pattern break on row `rows` - 1 (1 to 64) ending the one-pattern song.
// Every tick lasts 2.5 / 125 s, so the song is rows * speed * rate / 50 frames.
std::vector<uint8_t> makeTinyMod(int rows, int speed, bool strikeEveryRow = false);

// A tone at half scale starting at `hz` and rising `sweep` Hz a second, `frames`
// long; interleaved 16-bit, the same value in every channel.
std::vector<int16_t> makeSine(int frames, int channels, int rate, double hz, double sweep = 0);

// Ogg Vorbis (quality 4 VBR) or MP3 (192 kbit/s) of interleaved 16-bit samples, by
// ffmpeg's libvorbis and libmp3lame; empty when ffmpeg or either encoder is missing.
std::vector<uint8_t> encodeWithFfmpeg(const std::vector<int16_t>& samples, int channels, int rate, bool ogg);

}  // namespace hlvtest
