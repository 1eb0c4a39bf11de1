// The show's music and its only clock.  One piece of music is loaded whole
// through the data-file service, decoded from memory and fed to SDL's audio
// device; the clock is the position of the sound leaving the speakers.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include <SDL_audio.h>

#include "engine/DemoClock.h"
#include "engine/MusicDecoder.h"

class DataFile;
class DataFileService;

class MusicPlayer : public IDemoClock {
public:
    explicit MusicPlayer(DataFileService& files);
    ~MusicPlayer() override;   // closes the music if the show did not
    MusicPlayer(const MusicPlayer&) = delete;
    MusicPlayer& operator=(const MusicPlayer&) = delete;

    // Loads and starts the music; only the first call counts.  Without a
    // playable file or an audio device the clock runs on the steady clock
    // and one line on stderr says why there is no sound.
    void startMusic(const char* musicName) override;

    // Milliseconds of music heard: never less than the previous answer.
    uint32_t readClock() override;

    // Silences the music; the clock keeps counting.
    void stopSong() override;

    // Stops the output, frees the decoder, then the file's bytes.  Once.
    void closeMusic() override;

    MusicMode musicMode() const { return musicMode_; }
    // A decoder is feeding an open audio device (the dummy driver counts).
    bool audible() const { return device_ != 0; }
    // Frames between the last frame handed to the device and the speakers.
    int outputLatencyFrames() const { return bufferFrames_; }

private:
    // Which SDL audio set-up closeMusic has to undo.
    enum class AudioInit { None, Subsystem, DummyDriver };

    bool openDevice();
    void quitAudio();

    // SDL's audio thread: fills one device buffer, then stamps the refill.
    static void SDLCALL fillAudio(void* self, Uint8* stream, int bytes);
    void publishRefill(uint64_t handedFrames);

    // The audio-thread stamp, read on the main thread without tearing.
    struct Refill {
        uint64_t handedFrames = 0;   // frames given to the device since the start
        int64_t  atNs = 0;           // steady clock, ns since its epoch
    };
    Refill lastRefill() const;
    uint64_t heardFrames() const;

    DataFileService& files_;

    MusicMode                     musicMode_ = MusicMode::Module;
    std::unique_ptr<DataFile>     musicFile_;   // the bytes the decoder plays from
    std::unique_ptr<MusicDecoder> decoder_;     // null without sound

    SDL_AudioDeviceID device_ = 0;              // 0: no device open
    AudioInit         audioInit_ = AudioInit::None;
    int               bufferFrames_ = 0;        // frames per device buffer (the callback's size)

    // Written by the audio thread only (a sequence lock guards the pair).
    std::atomic<uint32_t> refillSeq_{0};        // odd while a stamp is being written
    std::atomic<uint64_t> handedFrames_{0};
    std::atomic<int64_t>  refillAtNs_{0};
    uint64_t              handedByCallback_ = 0;   // the audio thread's own running total
    std::atomic<bool>     songStopped_{false};     // set by stopSong: silence from then on

    // Main thread only.
    bool started_ = false;
    bool closed_ = false;
    std::chrono::steady_clock::time_point origin_;   // startMusic: the silent clock's 0
    uint32_t lastClock_ = 0;                         // ms, the latest answer of readClock
};
