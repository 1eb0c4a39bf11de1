// The show's only clock is the music.  The engine reaches it through this
// seam so the capture tool and the tests can put a simulated clock in place.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <utility>

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

    // Steering for an interactive player, the way demo sync tools drive a
    // show; a viewer who presses nothing never calls these.  A clock that
    // cannot be steered (a capture's frame-by-frame time) ignores them.
    //
    // While paused the clock stands still and the music is silent; unpaused,
    // both go on from where they stood.
    virtual void pause(bool /*paused*/) {}
    // Moves the clock and the music to `ms`: the next reading is exactly
    // `ms` (earlier than the last one if asked), the music follows within
    // one device buffer.
    virtual void setPosition(uint32_t /*ms*/) {}
    // The clock is running: started, not paused, not closed.
    virtual bool isPlaying() const { return true; }
};

// Nanoseconds on a clock that never goes back: the steady clock in the show,
// a hand-driven one in tests.
using TimeSource = std::function<int64_t()>;

inline int64_t steadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Time since startMusic: the stand-in for a show without sound, and the
// music player's clock whenever no sound is heard.
class WallClock : public IDemoClock {
public:
    explicit WallClock(TimeSource now = steadyNowNs) : now_(std::move(now)), originNs_(now_()) {}

    void startMusic(const char*) override { setPositionNs(0); }
    uint32_t readClock() override { return uint32_t(positionNs() / kNsPerMs); }
    void stopSong() override {}
    void closeMusic() override {}

    void pause(bool paused) override {
        if (paused == paused_) return;
        if (paused) pausedAtNs_ = positionNs();
        else originNs_ = now_() - pausedAtNs_;
        paused_ = paused;
    }
    void setPosition(uint32_t ms) override { setPositionNs(int64_t(ms) * kNsPerMs); }
    bool isPlaying() const override { return !paused_; }

    // The clock in nanoseconds, for clocks built on this one.
    int64_t positionNs() const { return paused_ ? pausedAtNs_ : now_() - originNs_; }
    void setPositionNs(int64_t ns) {
        if (paused_) pausedAtNs_ = ns;
        else originNs_ = now_() - ns;
    }

private:
    static constexpr int64_t kNsPerMs = 1000000;

    TimeSource now_;
    int64_t    originNs_;        // time source reading at which the clock was 0
    bool       paused_ = false;
    int64_t    pausedAtNs_ = 0;  // the clock while paused
};
