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

// White flashes straddle the cuts they mark: a little before the cut (drawn
// over the scene that ends) and a little after (the next scene draws over the
// white, so only additive scenes keep it).
constexpr uint32_t kFlashLeadMs = 90;
constexpr uint32_t kFlashTailMs = 180;

struct ScriptRow {
    std::string effect;   // registered name
    uint32_t start;       // ms of music time
    uint32_t end;
    std::string note;     // why it is there; empty for flashes
};

// Rows in script order: every scene followed by the flash that marks its
// end, if any, so the frame loop takes each row as it comes.
std::vector<ScriptRow> scheduleRows();

// The whole "hlv.txt".
std::string timelineScript();

}  // namespace gen
