// A simulated music clock with the player's controls: reading k after the
// start is k * 1000 / 60 ms, as a 60 fps capture reads it; paused, it stands
// still; a new position is the next reading, and the grid goes on after it.
// What the show asked of the music is kept as text, in order.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/DemoClock.h"

namespace hlvtest {

class GridClock : public IDemoClock {
public:
    void startMusic(const char* musicName) override { calls.push_back(std::string("start ") + musicName), next_ = 0; }
    uint32_t readClock() override {
        ++readings;
        if (jump_) {   // the grid goes on from the first step after the new position
            last_ = *jump_, jump_.reset();
            for (next_ = uint64_t(last_) * 60 / 1000; next_ * 1000 / 60 <= last_;) ++next_;
        } else if (!paused_) {
            last_ = uint32_t(next_++ * 1000 / 60);
        }
        return last_;
    }
    void stopSong() override { calls.push_back("stop"); }
    void closeMusic() override { calls.push_back("close"); }
    void pause(bool paused) override { paused_ = paused, calls.push_back(paused ? "pause" : "resume"); }
    void setPosition(uint32_t ms) override { jump_ = ms, calls.push_back("position " + std::to_string(ms)); }
    bool isPlaying() const override { return !paused_; }

    std::vector<std::string> calls;
    int readings = 0;   // readClock calls so far

private:
    uint64_t next_ = 0;              // grid index of the next reading
    uint32_t last_ = 0;              // ms, the previous reading
    bool     paused_ = false;
    std::optional<uint32_t> jump_;   // the next reading, when a position was set
};

}  // namespace hlvtest
