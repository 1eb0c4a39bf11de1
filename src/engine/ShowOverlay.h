// The demo maker's view over the show: where the music is, which schedule
// rows are drawing and how fast frames come.  Drawn after the frame and
// before it is shown, never into a capture, and with the GL state left as
// the effects had it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct TimelineEntry;

// Music time as mm:ss.mmm.
std::string musicTimeText(uint32_t ms);

// The overlay's lines at music time t: the time with the bar and beat where
// the music has them, then one line per row of the script whose effect
// draws at t (the current row, then later rows whose window holds t), with
// its number in the script, name and window.  first is the script's first
// row and current the row the show is at; fps below 0 is left out.
std::vector<std::string> overlayLines(uint32_t t, const std::string& barAndBeat, const TimelineEntry* first,
                                      const TimelineEntry* current, double fps, bool paused);

// Presented frames per second over the last second or so of wall time.
class FrameRate {
public:
    void frameShown();
    double perSecond() const { return perSecond_; }   // -1 until a second has passed

private:
    std::chrono::steady_clock::time_point since_ = std::chrono::steady_clock::now();
    int    frames_ = 0;
    double perSecond_ = -1;
};

// The lines in white on a dark band along the top of a width x height
// window.  Nothing is drawn when no font can be found for them.
void drawShowOverlay(const std::vector<std::string>& lines, int width, int height);
