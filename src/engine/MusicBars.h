// Bars and beats of the show's music, for the overlay.  A tracker module's
// rows are its beat grid: four rows a beat and four beats a bar, the usual
// highlight of trackers.  A stream carries no tempo of its own, so it has
// no bars here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class DataFileService;
struct openmpt_module;

class MusicBars {
public:
    MusicBars() = default;
    ~MusicBars();
    MusicBars(const MusicBars&) = delete;
    MusicBars& operator=(const MusicBars&) = delete;

    // Reads the named music; a stream, or music that is not there or does
    // not open, gives no bars.
    void open(const char* musicName, DataFileService& files);
    void close();
    // "bar B beat N" at music time ms (both counted from 1), to within a
    // tick of the row boundaries, or empty.
    std::string at(uint32_t ms);

private:
    openmpt_module*       module_ = nullptr;   // owned
    std::vector<uint32_t> rowsBefore_;         // per order: rows of the orders before it
};
