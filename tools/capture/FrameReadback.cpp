#include "FrameReadback.h"

#include <cstring>

namespace {

// What llvmpipe keeps its colour buffers in: read as such, the copy is a plain memcpy.
constexpr GLenum kReadFormat = GL_RGBA;
constexpr size_t kBytesPerPixel = 4;

}  // namespace

FrameReadback::FrameReadback(int width, int height) : width_(width), height_(height) {
    const GLsizeiptr bytes = GLsizeiptr(size_t(width) * height * kBytesPerPixel);
    glGenBuffers(kRingSize, buffers_);
    for (GLuint buffer : buffers_) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, bytes, nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

FrameReadback::~FrameReadback() { glDeleteBuffers(kRingSize, buffers_); }

void FrameReadback::start(uint32_t k) {
    // Effects never touch pack state, but a pack buffer left bound would
    // turn their own reads into offsets: bind only for the copy.
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[next_]);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width_, height_, kReadFormat, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    pending_.push_back({k, next_});
    next_ = (next_ + 1) % kRingSize;
}

std::shared_ptr<CapturedFrame> FrameReadback::collect() {
    const Pending oldest = pending_.front();
    pending_.pop_front();
    auto frame = std::make_shared<CapturedFrame>();
    frame->index = oldest.k;
    frame->bytes = size_t(width_) * height_ * kBytesPerPixel;
    frame->pixels = std::make_unique_for_overwrite<uint8_t[]>(frame->bytes);   // no zero fill: it is copied over at once
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[oldest.slot]);
    const void* mapped = glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, GLsizeiptr(frame->bytes), GL_MAP_READ_BIT);
    if (mapped) {
        std::memcpy(frame->pixels.get(), mapped, frame->bytes);
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return mapped ? frame : nullptr;
}
