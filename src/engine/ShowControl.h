// The steering wheel between the show and its music: the engine reads its
// time through this, and whatever drives the player (the keys, a test, a
// remote editor) calls pause, setPosition and isPlaying on it.  A new
// position cannot simply be handed to the music: the effects keep state for
// the whole show, so the engine must first run them to it.  It is kept here
// until the engine's next frame carries it out.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/DemoClock.h"

class ShowControl : public IDemoClock {
public:
    explicit ShowControl(IDemoClock& music) : music_(music) {}

    // A paused show stays paused when the music is read again.
    void startMusic(const char* musicName) override;
    uint32_t readClock() override { return music_.readClock(); }
    void stopSong() override { music_.stopSong(); }
    void closeMusic() override { music_.closeMusic(); }

    void pause(bool paused) override;
    void setPosition(uint32_t ms) override { pendingSeek_ = ms; }
    bool isPlaying() const override { return !paused_; }

    // The engine's side: the position asked for since the last call, if any.
    std::optional<uint32_t> takeSeek();
    // The newest position asked for and not yet carried out.
    std::optional<uint32_t> pendingSeek() const { return pendingSeek_; }
    // The effects are at ms: the music goes there too.
    void moveMusic(uint32_t ms) { music_.setPosition(ms); }
    // Silences the music while the effects run to a new position, without
    // the show counting as paused.
    void holdMusic(bool held);

private:
    IDemoClock&             music_;
    bool                    paused_ = false;
    bool                    held_ = false;
    bool                    started_ = false;   // a pause before the music starts waits for it
    std::optional<uint32_t> pendingSeek_;       // ms of music time
};
