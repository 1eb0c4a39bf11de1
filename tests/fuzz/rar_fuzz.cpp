// Fuzz target: any bytes as an archive.  Lists it, then asks for its first
// entry and for the last of its first few (so solid streams get decoded up
// to it); an archive without entries is asked for a name it does not hold.  Crashes, sanitizer reports and hangs are
// the findings; failures with a message are the expected outcome.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/RarArchive.h"

namespace {

constexpr size_t kMaxAsked = 3;   // entries fetched per input

void fetch(const uint8_t* data, size_t size, const char* name) {
    uint8_t* out = nullptr;
    uint32_t outSize = 0;
    if (rarGetFileFromMemory(&out, &outSize, name, data, size, "fuzz.rar")) {
        // Touch every byte so a block shorter than claimed shows up.
        volatile uint8_t sum = 0;
        for (uint32_t i = 0; i < outSize; ++i) sum = uint8_t(sum + out[i]);
        std::free(out);
    } else if (out || outSize || !*rarLastError()) {
        std::abort();   // a failure must hand out nothing and say why
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<RarEntry> entries;
    std::string error;
    rarListEntriesFromMemory(data, size, "fuzz.rar", entries, error);
    if (entries.empty()) {
        fetch(data, size, "not/in/the/archive");
        return 0;
    }
    fetch(data, size, entries[0].name.c_str());
    const size_t last = std::min(entries.size(), kMaxAsked) - 1;
    if (last > 0) fetch(data, size, entries[last].name.c_str());
    return 0;
}
