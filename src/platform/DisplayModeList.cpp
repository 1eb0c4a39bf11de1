#include "platform/DisplayModeList.h"

#include <algorithm>
#include <cstdio>

#include <SDL.h>

namespace {
constexpr int32_t kMinimumDepth = 32;                       // bits per pixel a listed mode needs
constexpr int32_t kPreferredWidth = 1024, kPreferredHeight = 768;

ReportedMode toReported(const SDL_DisplayMode& mode) {
    return {mode.w, mode.h, int32_t(SDL_BYTESPERPIXEL(mode.format)) * 8, mode.refresh_rate};
}

}  // namespace

std::vector<ReportedMode> sdlDisplayModes() {
    std::vector<ReportedMode> reported;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "halvoren: cannot list the display modes: %s\n", SDL_GetError());
        return reported;
    }
    const int displays = SDL_GetNumVideoDisplays();
    for (int d = 0; d < displays; ++d) {
        const size_t before = reported.size();
        const int modes = SDL_GetNumDisplayModes(d);
        SDL_DisplayMode mode;
        for (int m = 0; m < modes; ++m)
            if (SDL_GetDisplayMode(d, m, &mode) == 0 && mode.w > 0) reported.push_back(toReported(mode));
        // Some drivers (offscreen) list nothing; the mode the display is in still counts.
        if (reported.size() == before && SDL_GetDesktopDisplayMode(d, &mode) == 0 && mode.w > 0)
            reported.push_back(toReported(mode));
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return reported;
}

DisplayModeList& DisplayModeList::instance() {
    static DisplayModeList list;
    return list;
}

void DisplayModeList::enumerate() { enumerate(sdlDisplayModes()); }

void DisplayModeList::enumerate(const std::vector<ReportedMode>& reported) {
    for (const ReportedMode& m : reported)
        if (m.bitsPerPixel >= kMinimumDepth) add(m.width, m.height, m.bitsPerPixel, m.refreshRate);
    sort();
}

void DisplayModeList::add(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t refreshRate) {
    for (DisplayMode& mode : modes_) {
        if (mode.width != width || mode.height != height || mode.bitsPerPixel != bitsPerPixel) continue;
        std::vector<int32_t>& rates = mode.refreshRates;
        auto at = std::lower_bound(rates.begin(), rates.end(), refreshRate);
        if (at == rates.end() || *at != refreshRate) rates.insert(at, refreshRate);
        return;
    }
    modes_.push_back({width, height, bitsPerPixel, {refreshRate}});
}

const DisplayMode* DisplayModeList::at(int index) const {
    return index >= 0 && index < count() ? &modes_[size_t(index)] : nullptr;
}

void DisplayModeList::sort() {
    // Stable: two depths of one size stay in the order the displays gave them.
    std::stable_sort(modes_.begin(), modes_.end(), [](const DisplayMode& a, const DisplayMode& b) {
        return a.width != b.width ? a.width < b.width : a.height < b.height;
    });
}

int DisplayModeList::defaultIndex() const {
    int chosen = 0;
    for (int i = 0; i < count(); ++i)
        if (modes_[size_t(i)].width == kPreferredWidth && modes_[size_t(i)].height == kPreferredHeight) chosen = i;
    return chosen;
}

int DisplayModeList::find(int32_t width, int32_t height) const {
    for (int i = 0; i < count(); ++i)
        if (modes_[size_t(i)].width == width && modes_[size_t(i)].height == height) return i;
    return -1;
}
