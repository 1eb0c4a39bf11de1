#include "Script.h"

#include <cstdio>
#include <iterator>

#include "MusicComposer.h"

namespace gen {

namespace {

// Start of a beat, rounded to the nearest ms (84 beats a minute).
constexpr uint32_t beatMs(int beat) {
    return uint32_t((int64_t(beat) * 60000 * 2 + kMusicBpm) / (2 * kMusicBpm));
}

// The sphere's fade is fixed to the music clock from 149300 ms on (before
// that its fade factor is meaningless), and its fade lines up with the
// music's, so it starts exactly there: 14 ms after the outro's second beat.
constexpr uint32_t kSphereFadeMs = 149300;

struct Scene {
    const char* effect;
    uint32_t start;     // ms; the scene runs until the next one starts
    bool flashIn;       // a white flash marks the cut into this scene
    const char* note;
};

// Story: the title and a quiet flight while the pads swell; the blobs and
// the tunnel as the beat assembles; one black beat before the drop; five
// quick scenes on the full beat, the lead entering with the knot; the credits
// card through the break; column and floor as the kick comes back; greetings
// over the peak; the sphere fading out with the music; the closing picture
// in the silence.
//
// The order also minds the GL state each effect leaves to the next:
// - Tunnel and VelmorFX leave texture unit 1 active and adding; effects that
//   work on "the active unit" (KnotPQ, CFlare, 604Effect, Column, CubeFloor)
//   must not follow them before an effect that selects unit 0 again
//   (Present, CubeMorph, Credits, Greetings, Metaballs, SphereBump);
// - Tunnel and 604Effect switch fog on and only Column switches it off:
//   Metaballs, seen from 40 units away, would drown in it, so it plays
//   before the tunnel.
constexpr Scene kScenes[] = {
    {"Present", musicBarMs(0), false, "Intro: title card, a line per 3.5 s of music"},
    {"VelmorFX", musicBarMs(4), false, "Intro: over the canyon as the pads swell"},
    {"Metaballs", musicBarMs(8), true, "Rise: hats and bass"},
    {"Tunnel", musicBarMs(12), true, "Rise: the kick joins"},
    {"Null", beatMs(63), false, "the riser's last beat, in black"},
    {"CubeMorph", musicBarMs(16), true, "Drive: full beat"},
    {"Lines", musicBarMs(18), true, "Drive: drawn under the cube's projection"},
    {"KnotPQ", musicBarMs(20), true, "Drive: the lead theme enters, the knot flashes on the beat"},
    {"CFlare", musicBarMs(22), true, "Drive"},
    {"604Effect", musicBarMs(24), true, "Drive"},
    {"Credits", musicBarMs(27), false, "Break: three pages while the card turns"},
    {"Column", musicBarMs(36), true, "Build: snare roll"},
    {"CubeFloor", musicBarMs(38), true, "Build: the kick returns"},
    {"Greetings", musicBarMs(40), true, "Peak: a name every 1.5 s"},
    {"SphereBump", kSphereFadeMs, false, "Outro: fades out with the music"},
    {"Final", musicBarMs(57), false, "Silence: the closing picture"},
};

}  // namespace

std::vector<ScriptRow> scheduleRows() {
    std::vector<ScriptRow> rows;
    const size_t n = std::size(kScenes);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t end = i + 1 < n ? kScenes[i + 1].start : kLastSceneEndMs;
        rows.push_back({kScenes[i].effect, kScenes[i].start, end, kScenes[i].note});
    }
    bool first = true;
    for (const Scene& scene : kScenes) {
        if (!scene.flashIn) continue;
        rows.push_back({"Flash", scene.start - kFlashLeadMs, scene.start + kFlashTailMs,
                        first ? "White flashes over the cuts, drawn over whatever scene is current" : ""});
        first = false;
    }
    return rows;
}

std::string timelineScript() {
    std::string s;
    s += "INI_01\n";
    s += "# Halvoren timeline, written by halvoren-content (see docs/CONTENT.md).\n";
    s += "# FXTIME <effect> <start ms> <end ms>: rows become current in the order listed;\n";
    s += "# a later row whose window holds the clock is drawn over the current one.\n";
    s += "MUSIC ";
    s += kMusicFile;
    s += "\nLOADIMAGE 0 ";
    s += kLoadingBackgroundFile;
    s += "\nLOADIMAGE 1 ";
    s += kLoadingOverlayFile;
    s += "\n";
    char line[160];
    for (const ScriptRow& row : scheduleRows()) {
        if (!row.note.empty()) {
            std::snprintf(line, sizeof line, "# %3u.%02u s  %s\n", unsigned(row.start / 1000),
                          unsigned(row.start % 1000 / 10), row.note.c_str());
            s += line;
        }
        std::snprintf(line, sizeof line, "FXTIME %s %u %u\n", row.effect.c_str(), unsigned(row.start), unsigned(row.end));
        s += line;
    }
    s += "END_01\n";
    return s;
}

}  // namespace gen
