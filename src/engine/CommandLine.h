// halvoren [--window | --fullscreen] [--size WxH] [--rate HZ] [--samples N] [--from MS] [--help] [--version]
// halvoren --check [DIR]
// Any of the choice options skips the setup dialog; --from does not.
#pragma once

#include <cstdint>
#include <string>

#include "engine/DemoTypes.h"

struct CommandLine {
    DisplayChoice choice;              // the initial choice with the options applied
    bool choiceGiven = false;          // any of --window, --fullscreen, --size, --rate, --samples
    bool sizeGiven = false;            // --size: otherwise full screen takes the desktop's size
    bool rateGiven = false;            // --rate: otherwise full screen takes the mode's lowest rate
    uint32_t from = 0;                 // --from: ms of music time the show starts at
    bool help = false;
    bool version = false;
    bool check = false;                // --check: look the content over instead of playing it
    std::string checkFolder;           // the folder --check looks at; empty: the current one
};

extern const char* const kUsage;   // the usage text, ending in a newline

// False, with the offending argument and the reason in *error, for an unknown
// option, a missing or bad value, --window together with --fullscreen, or
// --check together with a choice option.
bool parseCommandLine(int argc, const char* const* argv, CommandLine& out, std::string* error);
