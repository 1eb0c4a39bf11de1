// Reads frames back through a ring of pixel-buffer objects: a frame's copy
// is started right after it is drawn and mapped a few frames later, so the
// GL thread never waits on a read-back it does not need yet.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include <epoxy/gl.h>

#include "FramePipeline.h"

class FrameReadback {
public:
    static constexpr int kRingSize = 3;   // buffers; a frame is mapped two frames after its copy began

    FrameReadback(int width, int height);   // the GL context is current
    ~FrameReadback();                        // the GL context is still current

    bool full() const { return pending_.size() == kRingSize; }
    bool empty() const { return pending_.empty(); }

    // Starts copying the back buffer of frame k; the ring must not be full.
    void start(uint32_t k);
    // The oldest started frame's pixels (see CapturedFrame), or none when the
    // buffer cannot be mapped; the ring must not be empty.
    std::shared_ptr<CapturedFrame> collect();

private:
    struct Pending {
        uint32_t k;
        int      slot;
    };
    int                 width_, height_;   // pixels
    GLuint              buffers_[kRingSize] = {};
    int                 next_ = 0;         // the slot the next start uses
    std::deque<Pending> pending_;          // started, oldest first
};
