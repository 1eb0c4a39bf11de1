// A content folder checked the way the show would use it, without a window
// or sound: the script, every picture and data file its effects load, the
// loading-screen pictures and the music.  A maker runs it after each edit
// instead of watching the show up to the changed scene.
#pragma once

#include <string>
#include <vector>

#include "engine/EffectRegistry.h"

struct Schedule;

struct ContentProblem {
    std::string file;      // content name, e.g. "hlv.txt"; empty when the message names it
    int         line = 0;  // script line, from 1; 0: none
    std::string message;
};

// "file:line: message", "file: message" or the message alone.
std::string formatProblem(const ContentProblem& problem);

// Every problem of the folder that holds data/ and/or data.dat ("" is the
// current folder), in script order.  Empty: the show can run from it.
// `effects` is the show's effect table: the script's names resolve against
// it and each effect's declared data files are what gets checked.
std::vector<ContentProblem> checkContent(const std::string& folder,
                                         const std::vector<EffectFactory>& effects);

// Why a schedule row gets no frame, whatever the frame times.
enum class RowReach {
    Drawn,             // some run of frames draws it
    EndsBeforeFirst,   // the first row, ending at 0: the first frame already moves past it
    BehindShowEnd,     // an earlier row ends after the show does, and its own window opens too late
};

// One verdict per schedule row, in script order.
std::vector<RowReach> rowReach(const Schedule& schedule);
