// Shared by the libFuzzer targets: the loaders read content through files, so
// each input is written into one scratch folder (made once per process, on
// the memory-backed /dev/shm when there is one) and read back from there.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace hlvfuzz {

// The scratch folder, with a data/ inside, ending in '/'.
inline const std::string& scratchRoot() {
    // Made once and never destroyed: the clean-up at exit still needs it.
    static const std::string* root = [] {
        static char made[64];
        std::snprintf(made, sizeof made, "%s/halvoren-fuzz-XXXXXX", access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        if (!mkdtemp(made)) std::abort();
        if (std::system(("mkdir -p '" + std::string(made) + "/data'").c_str()) != 0) std::abort();
        std::atexit([] {
            if (std::system(("rm -rf '" + std::string(made) + "'").c_str()) != 0) std::fputs("fuzz: scratch folder left behind\n", stderr);
        });
        return new std::string(std::string(made) + "/");
    }();
    return *root;
}

// Writes the bytes to <scratch>/<path>, replacing what was there.
inline void writeScratch(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen((scratchRoot() + path).c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

}  // namespace hlvfuzz
