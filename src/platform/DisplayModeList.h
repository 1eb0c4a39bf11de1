// Every screen mode the displays offer at 32 bits or more, merged by size and
// depth, each with its refresh rates: what the setup dialog lists.
#pragma once

#include <cstdint>
#include <vector>

struct DisplayMode {
    int32_t width = 0;                   // pixels
    int32_t height = 0;                  // pixels
    int32_t bitsPerPixel = 0;            // 32 or more
    std::vector<int32_t> refreshRates;   // Hz, ascending, no duplicates
};

// One mode as a display reports it, before merging.
struct ReportedMode {
    int32_t width, height, bitsPerPixel, refreshRate;
};

// Every mode of every display SDL knows, in SDL's order.  The depth is counted
// from the bytes per pixel: SDL calls the usual desktop format (XRGB8888)
// 24 bits although it takes 4 bytes, and it is a 32-bit mode.
std::vector<ReportedMode> sdlDisplayModes();

class DisplayModeList {
public:
    // The show's list, empty until enumerate().
    static DisplayModeList& instance();

    // Fills the list from SDL's displays.
    void enumerate();
    // The same from modes fed in: drops those under 32 bits, merges, sorts.
    void enumerate(const std::vector<ReportedMode>& reported);

    // Adds the rate to the entry of that size and depth, or appends a new one.
    void add(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t refreshRate);
    // Null past the end.
    const DisplayMode* at(int index) const;
    int count() const { return int(modes_.size()); }
    void clear() { modes_.clear(); }

    // The last 1024x768 entry, or 0 when there is none: what the dialog preselects.
    int defaultIndex() const;
    // The first entry of that size, or -1.
    int find(int32_t width, int32_t height) const;

private:
    void sort();

    std::vector<DisplayMode> modes_;   // ascending by width, then height; equal sizes in enumeration order
};
