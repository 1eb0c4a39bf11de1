// Music decoding, independent of any audio device: the player feeds SDL from
// it, and the capture tool renders the very same samples offline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Every decoder hands out 16-bit signed stereo at this rate, whatever the file
// holds, so one frame count means the same time for every kind of music.
constexpr int kMusicRate = 44100;   // frames per second

// How the music is played: a compressed stream or a tracker module.
enum class MusicMode : int32_t { Stream = 0, Module = 1 };

// Stream exactly when the name contains ".mp3" or ".ogg" anywhere
// (case-sensitive: "theme.OGG" is a module, "a.mp3.bak" a stream).
MusicMode musicModeFor(const char* name);

class MusicDecoder {
public:
    virtual ~MusicDecoder() = default;

    // Fills up to `frames` interleaved stereo frames (L, R) at kMusicRate and
    // returns how many it wrote.  Fewer than asked only at the end of the
    // music; 0 from then on.
    virtual int render(int16_t* stereo, int frames) = 0;

    // Moves the music to `ms` from its start: the next render begins within
    // a few frames of there (a device buffer at most).  Past the end, or when
    // the file cannot be repositioned, render gives 0 and this says false.
    virtual bool seek(uint32_t ms) = 0;
};

// Opens the decoder the name's mode asks for (".mp3" -> MP3, ".ogg" -> Ogg
// Vorbis, anything else -> tracker module) over bytes in memory.  The bytes
// are not copied: they must outlive the decoder.  Returns null when the
// decoder refuses them, with the reason in *whyNot when given.
std::unique_ptr<MusicDecoder> openMusicDecoder(const char* name, const uint8_t* bytes,
                                               size_t size, std::string* whyNot = nullptr);
