// A rolling landscape in fog whose heights are an interference pattern: two
// images of concentric rings slide over each other, one window along a circle
// and the other along a figure-eight, and their per-byte saturating sum is
// the height field.  Every frame a 51 x 51 grid of cells of that field is sent
// as textured triangles greyed by height.  The landscape turns in bursts.
#pragma once

#include <cstdint>

#include "effects/Rhythm.h"
#include "engine/DemoTypes.h"
#include "engine/IEffect.h"

// Where the two ring windows start this frame: columns x and rows y into the
// 512 x 512 ring images, each between 20 and 220.
struct GoaWindows {
    uint32_t x1, y1;   // ringsA: along a circle
    uint32_t x2, y2;   // ringsB: along a figure-eight
};

class FX_GOA : public IEffect {
public:
    static constexpr uint32_t kRingSide = 512;                     // ring image rows and columns
    static constexpr uint32_t kRingBytes = kRingSide * kRingSide;  // 262144
    static constexpr uint32_t kFieldSide = 256;                    // height field rows and columns
    static constexpr uint32_t kFieldBytes = kFieldSide * kFieldSide;
    static constexpr uint32_t kSummedRows = 255;                   // the last field row stays 0
    static constexpr uint32_t kCells = 51;                         // per side, every fifth field byte

    explicit FX_GOA(DemoContext& demo);

    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;
    DataFileNeeds dataFiles() const override;
    void release() override;

    // Concentric rings of |128 sin(d / 20)| round row and column n/2 - 1,
    // n rows of n bytes.
    static void fillRings(uint8_t* image, uint32_t n);
    static GoaWindows windowsAt(uint32_t t);
    // field[r][c] = min(255, a[y1 + r][x1 + c] + b[y2 + r][x2 + c]) for the
    // first kSummedRows rows, eight bytes at a time; origins at most 256 keep
    // every read inside the 512 x 512 images.
    static void sumWindows(const uint8_t* a, const uint8_t* b, const GoaWindows& w, uint8_t* field);

    // The turning rhythm of one frame at music time t, dt ms after the
    // previous one: angleY of the shared angles grows during a burst.
    void turn(uint32_t t, uint32_t dt);

    uint32_t texture() const { return texture_; }

private:
    void drawCells() const;

    DemoContext& demo_;
    Rhythm   rhythm_;                  // half-second turns after 0.8 s rests
    uint32_t texture_ = 0;             // "goa/textura.png", alive until the process ends
    uint8_t* heightField_ = nullptr;   // kFieldBytes, rebuilt every frame, owned until release
    uint8_t* ringsA_ = nullptr;        // kRingBytes, owned until release
    uint8_t* ringsB_ = nullptr;        // kRingBytes, the same rings, owned until release
    Camera   camera_{};
};
