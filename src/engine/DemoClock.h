// The show's only clock is the music.  The engine reaches it through this
// seam so the capture tool and the tests can put a simulated clock in place.
#pragma once

#include <chrono>
#include <cstdint>

class IDemoClock {
public:
    virtual ~IDemoClock() = default;
    // Right after every effect is initialised: the clock starts at 0 here.
    // Again after a reload, with closeMusic before it, to read the music afresh.
    virtual void startMusic(const char* musicName) = 0;
    // Milliseconds of music heard so far.
    virtual uint32_t readClock() = 0;
    // The show has passed its end.
    virtual void stopSong() = 0;
    // First in the shutdown order, and before the music is read again.
    virtual void closeMusic() = 0;

    // The player's controls: whoever steers the show (its keys, a test, a
    // remote editor) goes through these three.  While paused the clock
    // stands still and the music is silent.
    virtual void pause(bool paused) { (void)paused; }
    // The next reading is exactly ms; the music follows within one device buffer.
    virtual void setPosition(uint32_t ms) { (void)ms; }
    virtual bool isPlaying() const { return true; }
};

// Milliseconds since startMusic on the steady clock: the stand-in for a show
// without sound.
class WallClock : public IDemoClock {
public:
    void startMusic(const char*) override { origin_ = std::chrono::steady_clock::now(); }
    uint32_t readClock() override {
        auto elapsed = std::chrono::steady_clock::now() - origin_;
        return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    }
    void stopSong() override {}
    void closeMusic() override {}

private:
    std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};
