// The show's only clock is the music.  The engine reaches it through this
// seam so the capture tool and the tests can put a simulated clock in place.
#pragma once

#include <chrono>
#include <cstdint>

class IDemoClock {
public:
    virtual ~IDemoClock() = default;
    // Once, right after every effect is initialised: the clock starts at 0 here.
    virtual void startMusic(const char* musicName) = 0;
    // Milliseconds of music heard so far.
    virtual uint32_t readClock() = 0;
    // The show has passed its end.
    virtual void stopSong() = 0;
    // Once, first in the shutdown order.
    virtual void closeMusic() = 0;
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
