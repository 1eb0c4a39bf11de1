// Text drawn into pixels, softened and summed: how the title card, the
// greetings and the credits build their text images at init.  No font is
// used at run time; the effects only draw the finished textures.
//
// A pixel buffer is width x rows pixels of four bytes, rows one after the
// other with no gap, owned by the caller.  The blur and the add treat the
// four bytes as independent unsigned 8-bit channels; 0 to 2 are colour.
#pragma once

#include <cstddef>
#include <cstdint>

// Side of the square images the text effects work in, pixels.
constexpr int kTextImageSide = 512;
constexpr size_t kTextImageBytes = size_t(kTextImageSide) * kTextImageSide * 4;

// Draws text (bytes read as Latin-1) white on black, grey-antialiased, in the
// font face that fontconfig gives for `face` ("ARIAL" finds its metric twin),
// sized so one cell (ascender to descender) is `height` pixels.  The cell's
// top-left corner lands at (x, y), pixels from the picture's top-left, so
// the baseline lies at y + ascent.  The whole width x rows picture is
// written to out, bottom row first, each pixel (c, c, c, 0) with c the
// coverage 0..255.  Glyphs are clipped to the picture.
// Returns false and writes nothing when out is null or a size is not
// positive.  Throws FatalError naming the face when no font file can be
// found or opened for it; a face is looked up once and kept for the process.
bool renderText(int x, int y, int height, const char* text, const char* face, uint8_t* out, int width, int rows);

// One pass of a four-neighbour average over rows 1 .. height - 2, in memory
// order and in place, so each pixel already sees the new values of the
// pixels before it (left, and the row above); a row's first pixel takes the
// previous row's last as its left neighbour.  The colour channels then drop
// by one (never below 0).  Rows 0 and height - 1 end all zero.
// Needs height >= 3 and width * (height - 2) even (pixels go in pairs);
// returns false and leaves buf untouched otherwise.
bool blurDecay(uint8_t* buf, int width, int height);

// dst[j] = min(255, dst[j] + src[j]) for the 4 * n bytes of n pixels.  n must
// be a positive multiple of 16; returns false and leaves dst untouched
// otherwise.
bool addSaturate(uint8_t* dst, const uint8_t* src, int n);

// One glowing text line on a kTextImageSide-square canvas: renderText into
// scratch (face "ARIAL"), blurPasses of blurDecay on it, then addSaturate of
// scratch into canvas.  Both buffers hold kTextImageBytes.
void addGlowingLine(uint8_t* canvas, uint8_t* scratch, int x, int y, int height, const char* text, int blurPasses);
