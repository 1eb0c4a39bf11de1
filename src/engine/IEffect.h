// Every visual part of the show is an effect driven through these four calls.
#pragma once

#include <cstdint>
#include <algorithm>
#include <cstring>

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

    char name[16] = {};   // registered name the script uses, at most 15 characters
};
