// The default timeline: which effect runs when, cut to the music's bars.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gen {

constexpr const char* kMusicFile = "music/halvoren.xm";
constexpr const char* kLoadingBackgroundFile = "loading/fondo.png";
constexpr const char* kLoadingOverlayFile = "loading/damunt.png";
constexpr uint32_t kShowEndMs = 168500;   // the show stops once the clock passes this

// White flashes straddle the cuts they mark, a little before and a little
// after, drawn over whichever scene is current.
constexpr uint32_t kFlashLeadMs = 70;
constexpr uint32_t kFlashTailMs = 110;

// The last scene holds until the clock passes the show's end, so the cursor
// never moves on to the flash rows listed after it.
constexpr uint32_t kLastSceneEndMs = kShowEndMs + 1000;

struct ScriptRow {
    std::string effect;   // registered name
    uint32_t start;       // ms of music time
    uint32_t end;
    std::string note;     // why it is there; empty for flashes
};

// Rows in script order: the scenes, each starting where the one before ends,
// then every flash.  Listed last, a flash is never the current row: it is only
// ever drawn over a scene while its window is open, so a scene whose effect a
// build lacks (its line is dropped) hands its time to the next scene instead
// of leaving a flash on screen for the whole gap.
std::vector<ScriptRow> scheduleRows();

// The whole "hlv.txt".
std::string timelineScript();

}  // namespace gen
