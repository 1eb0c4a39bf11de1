// Runs a fuzz target's entry point once on every input kept in one folder,
// without libFuzzer, so its findings stay fixed in every ordinary build.  An
// input that crashes the target (a trap, an abort, a sanitizer report) ends
// the run after its name.  Most findings were inputs that asked for
// gigabytes, which a target turns away cleanly only while the fix holds, so
// peak memory is held to a limit as scripts/fuzz.sh holds libFuzzer's.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Far above what a kept input needs (the 13-megapixel JPEG about 130 MB, a
// sanitizer's quarantine up to 256 MB more), far below what the findings
// asked for before their fixes.
constexpr long kMaxPeakMb = 1024;

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> inputs;
    if (argc == 2)
        for (const auto& entry : fs::directory_iterator(argv[1], ec)) inputs.push_back(entry.path());
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s FOLDER (of at least one input)\n", argv[0]);
        return 2;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        // Exactly the input's bytes on the heap, so a read past them is
        // caught under AddressSanitizer as under libFuzzer.
        const std::string read{std::istreambuf_iterator<char>(in), {}};
        const std::vector<uint8_t> bytes(read.begin(), read.end());
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", path.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        if (usage.ru_maxrss / 1024 > kMaxPeakMb) {
            std::fprintf(stderr, "replay: %s: memory peaked at %ld MB, above %ld MB\n", path.c_str(), usage.ru_maxrss / 1024, kMaxPeakMb);
            return 1;
        }
    }
    std::fprintf(stderr, "replay: %zu inputs, none crashed\n", inputs.size());
    return 0;
}
