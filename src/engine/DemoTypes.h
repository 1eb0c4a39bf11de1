// Small records shared by the engine, the platform layer and the effects.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class DataFileService;

// What the viewer chose before the show; effects take their aspect ratio from it.
struct DisplayChoice {
    int32_t width = 800;          // pixels, window and viewport
    int32_t height = 600;         // pixels
    int32_t bitsPerPixel = 32;    // colour depth of the mode switch
    int32_t refreshRate = 60;     // Hz, for the mode switch
    int32_t samples = 0;          // multisampling: 0 (off), 2, 4, 8 or 16
    bool    fullscreen = false;   // mode switch + borderless, or a window at (10, 10)
};

// Scene rotation shared by several effects; the frame loop zeroes it on every cut.
struct SharedAngles {
    float angleX = 0.0f;   // degrees
    float angleY = 0.0f;   // degrees
    float angleZ = 0.0f;   // degrees
};

// Camera of the 3D effects, in this field order: init fills it, start applies it.
struct Camera {
    float target[3];
    float up[3];
    float eye[3];
    float zNear;
    float zFar;
    float fovY;   // degrees
};

// The show's one pseudo-random generator (the classic C library LCG), so a
// pattern drawn from it is the same on every platform and every run.
struct DemoRandom {
    uint32_t state = 1;
    void seed(uint32_t s) { state = s; }
    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 32767u);
    }
};

// Everything the effects may reach besides GL: gathered here so no effect
// needs a global.  Owned by whoever runs the show.
struct DemoContext {
    DisplayChoice    display;
    SharedAngles     angles;
    DemoRandom       random;
    DataFileService* files = nullptr;   // not owned

    float aspect() const { return float(display.width) / float(display.height); }
};

// A failure the show cannot continue from (a picture that is missing or not
// decodable, a height map of the wrong size).  The entry points print it and exit non-zero.
class FatalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
