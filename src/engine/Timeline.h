// The timeline script "hlv.txt": music name, loading-screen pictures and the
// schedule of effects with their windows of music time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class DataFile;
class DataFileService;
class EffectRegistry;
class IEffect;

struct TimelineEntry {
    IEffect* effect = nullptr;   // none ends the schedule; not owned
    uint32_t start = 0;          // ms of music time; the window opens after it
    uint32_t end = 0;            // ms of music time; the window closes at it
};

constexpr int kScheduleRows = 256;      // the last row always stays the terminator
constexpr int kNameLength = 260;        // music and picture names, with the NUL

struct Schedule {
    TimelineEntry entries[kScheduleRows] = {};   // script order, never sorted
    int  scheduleCount = 0;                       // rows filled so far
    char musicName[kNameLength] = {};
    char imageSlots[2][kNameLength] = {};         // slot 0: background, slot 1: over it
};

// What the parse passes over without a word, with script line numbers (from
// 1), for checking a script before it is shown.  The show never asks.
struct ScriptNotes {
    struct Note {
        int         line;      // 0: the script as a whole
        std::string message;
    };
    std::vector<Note> problems;                 // in script order
    int rowLines[kScheduleRows] = {};           // line of each schedule row
    int musicLine = 0;                          // line of the MUSIC that counted; 0: none
    int imageSlotLines[2] = {};                 // line of the LOADIMAGE that filled each slot
};

// The parse of a script already in memory, exactly as loadScript does it,
// with what it passes over noted.
bool parseScript(Schedule& schedule, DataFile& script, const EffectRegistry& registry, ScriptNotes& notes);

// Parses the script into schedule.  False when the first line is not the
// "INI_01" header (then nothing is filled); true otherwise, including a script
// that cannot be found (nothing filled either).
bool loadScript(Schedule& schedule, const char* scriptName, DataFileService& files,
                const EffectRegistry& registry);

// loadScript for the show itself, which cannot go on without a usable
// script: throws FatalError naming the script and the problem when it is
// missing (saying where it was looked for), when its first word is not
// "INI_01", when no FXTIME row names a registered effect, or when a
// loading-screen picture is not named.
void loadShowScript(Schedule& schedule, const char* scriptName, DataFileService& files,
                    const EffectRegistry& registry);
