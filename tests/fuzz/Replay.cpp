// Runs a fuzz target's entry point once on every kept input, without
// libFuzzer, so the findings it kept stay fixed in every ordinary build.
// Arguments are files or folders of inputs; an input that crashes the
// target (a trap, an abort, a sanitizer report) ends the run with it named.
// Most findings were inputs that asked for gigabytes, which a target turns
// away cleanly only while the fix holds, so the process's peak memory is
// held to a limit as scripts/fuzz.sh holds libFuzzer's.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include <sys/resource.h>

namespace {

// Far above what any kept input needs (the 13-megapixel JPEG takes about
// 130 MB, a sanitizer's quarantine adds up to 256 MB), far below the
// gigabytes the findings asked for before they were fixed.
constexpr long kMaxPeakMb = 1024;

long peakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (fs::is_directory(argv[i], ec)) {
            for (const auto& entry : fs::directory_iterator(argv[i], ec))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else if (fs::is_regular_file(argv[i], ec)) {
            inputs.push_back(argv[i]);
        } else {
            std::fprintf(stderr, "replay: %s: no such file or folder\n", argv[i]);
            return 2;
        }
    }
    if (inputs.empty()) {
        std::fputs("replay: no inputs to replay\n", stderr);
        return 2;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        // Exactly the input's bytes on the heap, so a read one past them is
        // caught under AddressSanitizer as it would be under libFuzzer.
        std::unique_ptr<uint8_t[]> data(new uint8_t[bytes.size() ? bytes.size() : 1]);
        std::copy(bytes.begin(), bytes.end(), data.get());
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", path.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(data.get(), bytes.size());
        if (peakMb() > kMaxPeakMb) {
            std::fprintf(stderr, "replay: %s: memory peaked at %ld MB, above the %ld MB limit\n", path.c_str(), peakMb(),
                         kMaxPeakMb);
            return 1;
        }
    }
    std::fprintf(stderr, "replay: %zu inputs, none crashed\n", inputs.size());
    return 0;
}
