#include "engine/ShowOverlay.h"

#include <algorithm>
#include <cstdio>

#include "engine/DemoTypes.h"
#include "engine/HeldFrame.h"
#include "engine/IEffect.h"
#include "engine/Timeline.h"
#include "resources/TextRaster.h"

namespace {

constexpr const char* kFace = "monospace";
constexpr int kLineHeight = 14;      // pixels per text line
constexpr int kMargin = 4;           // pixels around the text
constexpr int kMaxWidth = 420;       // pixels; the band never covers a wide show
constexpr int kBandAlpha = 150;      // how dark the band under the text is, 0..255

void addRow(std::vector<std::string>& lines, const TimelineEntry* first, const TimelineEntry& row) {
    char line[96];
    std::snprintf(line, sizeof line, "row %d  %s  %u-%u", int(&row - first) + 1, row.effect->name, row.start, row.end);
    lines.push_back(line);
}

}  // namespace

std::string musicTimeText(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u.%03u", ms / 60000, ms / 1000 % 60, ms % 1000);
    return text;
}

std::vector<std::string> overlayLines(uint32_t t, const std::string& barAndBeat, const TimelineEntry* first,
                                      const TimelineEntry* current, double fps, bool paused) {
    std::string head = musicTimeText(t);
    if (!barAndBeat.empty()) head += "  " + barAndBeat;
    if (fps >= 0) {
        char rate[32];
        std::snprintf(rate, sizeof rate, "  %.1f fps", fps);
        head += rate;
    }
    if (paused) head += "  paused";
    std::vector<std::string> lines{head};
    if (!current || !current->effect) return lines;
    addRow(lines, first, *current);
    for (const TimelineEntry* e = current + 1; e->effect; ++e)
        if (e->start < t && e->end >= t) addRow(lines, first, *e);
    return lines;
}

void FrameRate::frameShown() {
    ++frames_;
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - since_).count();
    if (seconds < 1.0) return;
    perSecond_ = frames_ / seconds;
    frames_ = 0;
    since_ = now;
}

void drawShowOverlay(const std::vector<std::string>& lines, int width, int height) {
    const int w = std::min(width, kMaxWidth);
    const int h = std::min(height, int(lines.size()) * kLineHeight + 2 * kMargin);
    if (w <= 0 || h <= 0) return;
    std::vector<uint8_t> coverage(size_t(w) * h * 4, 0), line(coverage.size());
    try {
        for (size_t i = 0; i < lines.size(); ++i) {
            renderText(kMargin, kMargin + int(i) * kLineHeight, kLineHeight, lines[i].c_str(), kFace, line.data(), w, h);
            for (size_t p = 0; p < line.size(); p += 4) coverage[p] = std::max(coverage[p], line[p]);
        }
    } catch (const FatalError&) {
        return;   // no font: the show goes on without its overlay
    }
    std::vector<uint8_t> band(coverage.size());
    for (size_t p = 0; p < band.size(); p += 4) {
        const int c = coverage[p];
        band[p] = band[p + 1] = band[p + 2] = uint8_t(c);
        band[p + 3] = uint8_t(kBandAlpha + c * (255 - kBandAlpha) / 255);
    }
    drawWindowPixels(0, height - h, w, h, band.data(), true);
}
