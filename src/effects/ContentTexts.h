// The words the show puts on screen: who made it, who is greeted, the title
// card.  The text effects rasterise these at init; the content generator and
// docs/CONTENT.md refer to the same tables, so a name is changed here and
// nowhere else.  Every name is invented.
//
// Pixel positions are in the 512 x 512 text images the effects build, x from
// the left, y from the top, for glyph cells of the given height in "ARIAL"
// (Liberation Sans, its metric twin, on this platform).
#pragma once

#include <cstddef>

namespace content {

struct TextLine {
    int x;              // pixels from the left of the text image
    int y;              // pixels from the top
    const char* text;
};

// ---------------------------------------------------------------- credits
// Seven lines of 70-pixel cells, 60 pixels apart: role titles at x = 100,
// names indented at x = 200.  The card shows them as three pages: code,
// graphics, music.  Names must end before x = 512 (about 9 letters).  The
// code name and the second graphics name end their pages right on the
// baseline: letters reaching below it (g, j, p, q, y, a tailed Q) would
// show their tails at the top of the next page.
constexpr int kCreditCellHeight = 70;
constexpr const char* kCreditCode = "Korveth";
constexpr const char* kCreditGraphics1 = "Lysandre";
constexpr const char* kCreditGraphics2 = "Ormelin";
constexpr const char* kCreditMusic = "Varrowind";

constexpr TextLine kCreditLines[7] = {
    {100, 0, "Code"},  {200, 60, kCreditCode},
    {100, 120, "Gfx"}, {200, 180, kCreditGraphics1}, {200, 240, kCreditGraphics2},
    {100, 300, "Music"}, {200, 360, kCreditMusic},
};

// -------------------------------------------------------------- greetings
// 24 slots of at most 15 characters, in alphabetical order (leading blanks
// not counted), the last one empty; slots 6p .. 6p + 5 form page p.  Each
// name is drawn with 80-pixel cells at y = 85 * line and at
// x = 260 - 20 * (length in characters, blanks included), which centres an
// average name, unless it has a fixed x: names much wider or narrower than
// their length suggests get one, measured so they sit centred too.
// The blanks in "  Isquen" and "Jorvale " are part of the names.
constexpr int kGreetingCellHeight = 80;
constexpr int kGreetingSlots = 24;
constexpr int kGreetedNames = 23;
constexpr int kAutoX = -1;   // use the length rule

struct Greeting {
    const char* name;   // at most 15 characters
    int fixedX;         // pixels, or kAutoX
};

constexpr Greeting kGreetings[kGreetingSlots] = {
    {"Aldervane", kAutoX},    {"Brisklow", kAutoX},   {"Corvinth", kAutoX},
    {"Dusk Orrery", kAutoX},  {"Embersmith", kAutoX}, {"Fjelmark", kAutoX},
    {"Hollowtide", kAutoX},   {"  Isquen", kAutoX},   {"Jorvale ", kAutoX},
    {"Kettlerune", kAutoX},   {"Lumenfold", kAutoX},  {"Mirrowen", kAutoX},
    {"Nettlecairn", 80},      {"Omrik", kAutoX},      {"Pellucid Ox", 80},
    {"Quillmere", kAutoX},    {"Rusk & Vey", kAutoX}, {"Sable Quorum", kAutoX},
    {"Tavik", 170},           {"Tinderloft", 120},    {"Velquist", 120},
    {"Ysolt", 180},           {"Zett", 200},          {"", kAutoX},
};

constexpr std::size_t textLength(const char* s) {
    std::size_t n = 0;
    while (s[n]) ++n;
    return n;
}

// Where a greeting's line starts in its page image.
constexpr int greetingX(const Greeting& g) {
    return g.fixedX != kAutoX ? g.fixedX : 260 - 20 * int(textLength(g.name));
}

// ------------------------------------------------------------- title card
// Title, makers, event; 80-pixel cells at x = 10.  The blanks belong to the
// lines: they set the lines' indents on the card.
constexpr int kPresentCellHeight = 80;
constexpr TextLine kPresentLines[3] = {
    {10, 10, "Halvoren"},
    {10, 87, "   by Tarnwell "},
    {10, 170, "   Live at  rk7  "},
};

}  // namespace content
