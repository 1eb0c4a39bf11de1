// Every visual part of the show is an effect driven through these four calls.
#pragma once

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

// A content file an effect's init() reads.  Declared beside init, from the
// same constants, so a content folder can be checked without the GL context
// init needs.
struct DataFileNeed {
    std::string name;           // as asked of DataFileService
    uint32_t    rawBytes = 0;   // 0: a picture that must decode; else raw bytes, at least this many
};
using DataFileNeeds = std::vector<DataFileNeed>;

class IEffect {
public:
    explicit IEffect(const char* registeredName) {
        const size_t n = std::min(std::strlen(registeredName), sizeof(name) - 1);
        std::memcpy(name, registeredName, n);
    }
    virtual ~IEffect() = default;

    // Draws the effect for this moment.  time_ms is music time, delta_ms the
    // music time since the previous show frame (unsigned, so a clock that went
    // back would wrap; ours never does).
    virtual void render(uint32_t time_ms, uint32_t delta_ms) { (void)time_ms; (void)delta_ms; }
    // Sets the GL state the effect needs; everything it does not mention
    // carries over from the previously started effect, on purpose.
    virtual void start() {}
    // Loads data, builds meshes and textures; once, behind the loading screen.
    virtual void init() {}
    // Gives back what init created; once, at shutdown.
    virtual void release() {}
    // Every content file init() reads, in the order it reads them.
    virtual DataFileNeeds dataFiles() const { return {}; }

    char name[16] = {};   // registered name the script uses, at most 15 characters
};
