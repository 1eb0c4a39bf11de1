#include "engine/ShowControl.h"

void ShowControl::startMusic(const char* musicName) {
    music_.startMusic(musicName);
    started_ = true;
    if (paused_ || held_) music_.pause(true);
}

void ShowControl::pause(bool paused) {
    paused_ = paused;
    if (started_ && !held_) music_.pause(paused);
}

void ShowControl::holdMusic(bool held) {
    held_ = held;
    if (started_ && !paused_) music_.pause(held);
}

std::optional<uint32_t> ShowControl::takeSeek() {
    std::optional<uint32_t> seek = pendingSeek_;
    pendingSeek_.reset();
    return seek;
}
