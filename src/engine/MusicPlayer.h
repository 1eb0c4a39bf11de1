// The show's music and its only clock.  One piece of music is loaded whole
// through the data-file service, decoded from memory and fed to an audio
// output; the clock is the position of the sound leaving the speakers.  When
// no sound is heard (no output, or the output went away) the clock runs on
// the time source instead, from where the music stood.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/DemoClock.h"
#include "engine/MusicDecoder.h"

class DataFile;
class DataFileService;

// Where the music goes: SDL's audio device in the show; tests put an output
// they drive by hand in its place.
class AudioOutput {
public:
    // Fills `frames` interleaved stereo frames at kMusicRate: one device
    // buffer per call, from the output's own thread.
    using Fill = void (*)(void* user, int16_t* stereo, int frames);

    virtual ~AudioOutput() = default;
    // Opens the default sound output, not yet calling `fill`; with
    // `silentStandIn`, an output that plays nowhere but in real time instead.
    // Returns the frames per buffer, or 0 with the reason in whyNot.
    virtual int open(bool silentStandIn, Fill fill, void* user, std::string& whyNot) = 0;
    // Starts the fill calls.
    virtual void start() = 0;
    // The open output has gone away (unplugged, sound server stopped).
    virtual bool lost() = 0;
    // No fill call runs once this returns.  Safe when nothing is open.
    virtual void close() = 0;
};

class MusicPlayer : public IDemoClock {
public:
    // Plays through SDL's audio device on the steady clock.
    explicit MusicPlayer(DataFileService& files);
    MusicPlayer(DataFileService& files, std::unique_ptr<AudioOutput> output, TimeSource now);
    ~MusicPlayer() override;   // closes the music if the show did not
    MusicPlayer(const MusicPlayer&) = delete;
    MusicPlayer& operator=(const MusicPlayer&) = delete;

    // Loads and starts the music; only the first call counts.  Without a
    // playable file or any output (not even the silent stand-in) the clock
    // runs on the time source and one line on stderr says why there is no
    // sound.
    void startMusic(const char* musicName) override;

    // Milliseconds of music heard: never less than the previous answer
    // unless setPosition moved it.  Also where a lost output is noticed
    // (one line on stderr) and looked for again, about once a second, until
    // it is back (one more line) and the music goes on at the clock.
    uint32_t readClock() override;

    // Silences the music; the clock keeps counting.
    void stopSong() override;

    // Stops the output, frees the decoder, then the file's bytes.  Once.
    void closeMusic() override;

    void pause(bool paused) override;
    void setPosition(uint32_t ms) override;
    bool isPlaying() const override;

    // A decoder is feeding an open output (the silent stand-in counts).
    bool audible() const { return bufferFrames_ != 0; }
    // Frames between the last frame handed to the output and the speakers.

private:
    // Opens the output, puts the music where the clock stands and starts it.
    bool openOutput(bool silentStandIn, bool seekMusic, std::string& whyNot);
    // Notices a lost output and, once a second, tries the default one again.
    void watchOutput();
    // The music and the clock go on from `ns`.
    void moveMusic(int64_t ns);
    int64_t positionNs() const;

    // The output's thread: fills one buffer, then stamps the refill.
    static void fillAudio(void* self, int16_t* stereo, int frames);
    void publishRefill(uint64_t handedFrames);

    // The audio-thread stamp, read on the main thread without tearing.
    struct Refill {
        uint64_t handedFrames = 0;   // frames given to the output since it opened
        int64_t  atNs = 0;           // time source reading
    };
    Refill lastRefill() const;
    uint64_t heardFrames() const;

    DataFileService&             files_;
    std::unique_ptr<AudioOutput> output_;
    TimeSource                   now_;

    std::unique_ptr<DataFile>     musicFile_;   // the bytes the decoder plays from
    std::unique_ptr<MusicDecoder> decoder_;     // null without sound
    int                           bufferFrames_ = 0;   // frames per output buffer; 0: none open

    // Shared with the output's thread.  The lock is held through each fill,
    // so a seek never lands in the middle of one.
    std::mutex            audioLock_;
    uint64_t              handedByCallback_ = 0;   // under audioLock_: frames handed since the output opened
    bool                  muted_ = false;          // under audioLock_: paused, silence without moving the music
    std::atomic<bool>     songStopped_{false};     // set by stopSong: silence from then on
    std::atomic<uint32_t> refillSeq_{0};           // odd while a stamp is being written
    std::atomic<uint64_t> handedFrames_{0};
    std::atomic<int64_t>  refillAtNs_{0};

    // Main thread only.
    bool      started_ = false;
    bool      closed_ = false;
    WallClock silentClock_;          // the clock while no output is heard
    uint64_t  anchorFrame_ = 0;      // output frame at which the music at anchorNs_ is heard
    int64_t   anchorNs_ = 0;         // ns of music
    bool      paused_ = false;
    int64_t   pausedNs_ = 0;         // ns of music, the clock while paused
    bool      lost_ = false;         // the output went away; looking for it
    int64_t   nextTryNs_ = 0;        // time source reading of the next look
    uint32_t  lastClock_ = 0;        // ms, the latest answer of readClock
};
