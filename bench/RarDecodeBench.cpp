// Decode throughput of the show's archive reader against unar on the same
// archive: 20.9 MB of mixed content (text, 16-bit stereo samples for the audio
// mode, a smooth picture, noise that stays stored), every entry read once.
// Run both side by side:
//   build/bench/halvoren_bench --benchmark_filter=RarDecode
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "RarWriter.h"
#include "resources/RarArchive.h"

namespace {

constexpr size_t kMiB = 1 << 20;

std::vector<pack::PackFile> mixedContent() {
    std::vector<pack::PackFile> files;
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 214013 + 2531011; };
    static const char* words[] = {"tunnel", "flare", "cube", "the", "of", "beat", "layer", "music",
                                  "frame", "sphere", "knot", "and", "glow", "\n", "  ", "demo"};
    for (int part = 0; part < 3; ++part) {
        pack::PackFile f{"text/part" + std::to_string(part) + ".txt", {}};
        while (f.bytes.size() < 2 * kMiB) {
            const char* w = words[(next() >> 16) & 15];
            f.bytes.insert(f.bytes.end(), w, w + std::strlen(w));
            f.bytes.push_back(' ');
        }
        files.push_back(std::move(f));
    }
    for (int part = 0; part < 3; ++part) {
        pack::PackFile f{"music/take" + std::to_string(part) + ".raw", {}};
        for (size_t i = 0; f.bytes.size() < 2 * kMiB; ++i)
            for (double pitch : {0.011 * (part + 1), 0.017 * (part + 1)}) {
                const double noise = double(int(next() >> 16 & 255) - 128);
                const int16_t s = int16_t(9000 * std::sin(double(i) * pitch) + 8 * noise);
                f.bytes.push_back(uint8_t(s));
                f.bytes.push_back(uint8_t(uint16_t(s) >> 8));
            }
        files.push_back(std::move(f));
    }
    for (int part = 0; part < 4; ++part) {
        pack::PackFile f{"pictures/plane" + std::to_string(part) + ".rgb", std::vector<uint8_t>(kMiB)};
        for (size_t i = 0; i < kMiB; ++i) {
            const size_t x = i / 3 % 1024, y = i / 3 / 1024;
            f.bytes[i] = uint8_t((x * (i % 3 + 1) + y * (part + 1)) / 4 + (next() >> 30));
        }
        files.push_back(std::move(f));
    }
    pack::PackFile noise{"noise.bin", std::vector<uint8_t>(4 * kMiB)};
    for (uint8_t& b : noise.bytes) b = uint8_t(next() >> 24);
    files.push_back(std::move(noise));
    return files;
}

struct Fixture {
    std::vector<pack::PackFile> files;
    std::string path;
    size_t bytes = 0;
    Fixture() {
        files = mixedContent();
        for (const pack::PackFile& f : files) bytes += f.bytes.size();
        std::vector<uint8_t> archive;
        std::string error;
        if (!pack::buildArchive(files, {}, archive, error)) std::fprintf(stderr, "%s\n", error.c_str());
        path = (std::filesystem::temp_directory_path() / "halvoren-bench.rar").string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(archive.data()),
                                                    std::streamsize(archive.size()));
        std::printf("archive: %zu bytes of content in %zu bytes, %zu entries\n", bytes, archive.size(), files.size());
    }
};

const Fixture& fixture() {
    static const Fixture f;
    return f;
}

void BM_RarDecodeShowReader(benchmark::State& state) {
    const Fixture& f = fixture();
    for (auto _ : state) {
        for (const pack::PackFile& file : f.files) {
            uint8_t* out = nullptr;
            uint32_t size = 0;
            if (!rarGetFile(&out, &size, file.name.c_str(), f.path.c_str(), nullptr)) {
                state.SkipWithError(rarLastError());
                return;
            }
            benchmark::DoNotOptimize(out);
            std::free(out);
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes));
}
BENCHMARK(BM_RarDecodeShowReader)->Unit(benchmark::kMillisecond)->UseRealTime();

// unar writes the files out: to tmpfs when /dev/shm is there, so the disk
// costs it as little as possible.
void BM_RarDecodeUnar(benchmark::State& state) {
    const Fixture& f = fixture();
    if (std::system("command -v unar >/dev/null 2>&1") != 0) {
        state.SkipWithError("unar is not installed");
        return;
    }
    const std::string out = std::filesystem::exists("/dev/shm") ? "/dev/shm/halvoren-bench-unar"
                                                                 : f.path + ".out";
    const std::string command = "rm -rf '" + out + "' && unar -q -D -o '" + out + "' '" + f.path + "' >/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("unar failed");
            return;
        }
    }
    std::filesystem::remove_all(out);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes));
}
BENCHMARK(BM_RarDecodeUnar)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
