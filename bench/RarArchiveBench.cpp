// Decode throughput of the show's archive reader beside unar, on the same
// archive in the same run.  By default the archive is packed here from 20.9 MB
// of mixed content (text, 16-bit stereo samples for the audio mode, a smooth
// picture, noise that stays stored); HLV_RAR_BENCH names any archive made by
// halvoren-pack instead (real files, solid or not):
//   [HLV_RAR_BENCH=/path/to/archive.rar] build/bench/halvoren_bench --benchmark_filter=Rar
// Both report bytes of content per second of wall-clock time, unar also its
// CPU time (it runs as a child process and writes its files to a scratch folder).
// BM_ExtractOneFile times whole processes on one 24 MB file of the same mixed
// content: "halvoren-pack extract" (HLV_PACK_TOOL, default
// build/tools/pack/halvoren-pack) against unar, both writing to /dev/shm.
#include <cmath>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <spawn.h>
#include <unistd.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

#include "RarWriter.h"
#include "resources/RarArchive.h"

namespace {

// CPU time of the children waited for so far, user and system, seconds.
double childCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

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

// The archive under test and its entries, or the reason there is none.
struct Fixture {
    std::string path;
    std::vector<RarEntry> entries;
    uint64_t bytes = 0;     // content, unpacked
    bool solid = false;     // one stream: some file continues the one before it
    std::string error;

    Fixture() {
        if (const char* env = std::getenv("HLV_RAR_BENCH")) {
            path = env;
        } else {
            std::vector<uint8_t> archive;
            if (!pack::buildArchive(mixedContent(), {}, archive, error)) return;
            path = (std::filesystem::temp_directory_path() / "halvoren-bench.rar").string();
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(archive.data()),
                                                        std::streamsize(archive.size()));
        }
        if (!rarListEntries(path.c_str(), entries, error) || entries.empty()) {
            if (error.empty()) error = "no entries in " + path;
            return;
        }
        for (const RarEntry& e : entries) {
            bytes += e.unpackedSize;
            solid = solid || (e.flags & 0x0010);
        }
        std::printf("archive %s: %llu bytes of content, %zu entries%s\n", path.c_str(), (unsigned long long)bytes,
                    entries.size(), solid ? ", solid" : "");
    }
};

const Fixture* fixture(benchmark::State& state) {
    static const Fixture f;
    if (f.entries.empty()) {
        state.SkipWithError(f.error.c_str());
        return nullptr;
    }
    return &f;
}

// Every file of the archive.  In a solid archive asking for the last file
// decodes the whole stream once, which is what extracting everything costs.
void BM_RarReaderExtractAll(benchmark::State& state) {
    const Fixture* f = fixture(state);
    if (!f) return;
    for (auto _ : state) {
        for (size_t i = f->solid ? f->entries.size() - 1 : 0; i < f->entries.size(); ++i) {
            uint8_t* out = nullptr;
            uint32_t size = 0;
            if (!rarGetFile(&out, &size, f->entries[i].name.c_str(), f->path.c_str(), nullptr)) {
                state.SkipWithError(rarLastError());
                return;
            }
            benchmark::DoNotOptimize(out);
            std::free(out);
        }
    }
    state.SetBytesProcessed(int64_t(f->bytes * state.iterations()));
}
BENCHMARK(BM_RarReaderExtractAll)->Unit(benchmark::kMillisecond)->UseRealTime();

// unar writes the files out: to tmpfs when /dev/shm is there, so the disk
// costs it as little as possible.
void BM_UnarExtractAll(benchmark::State& state) {
    const Fixture* f = fixture(state);
    if (!f) return;
    if (std::system("command -v unar >/dev/null 2>&1") != 0) {
        state.SkipWithError("unar is not installed");
        return;
    }
    const std::string out = std::filesystem::exists("/dev/shm") ? "/dev/shm/halvoren-bench-unar" : f->path + ".out";
    const std::string command = "rm -rf '" + out + "' && unar -q -D -o '" + out + "' '" + f->path + "' >/dev/null";
    // On a busy machine wall time says little; the child's CPU time is
    // what compares with the reader's CPU column.
    const double cpuBefore = childCpuSeconds();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("unar failed");
            return;
        }
    }
    state.counters["unar_cpu_ms"] = 1000.0 * (childCpuSeconds() - cpuBefore) / double(state.iterations());
    std::filesystem::remove_all(out);
    state.SetBytesProcessed(int64_t(f->bytes * state.iterations()));
}
BENCHMARK(BM_UnarExtractAll)->Unit(benchmark::kMillisecond)->UseRealTime();

// The mixed content as one file, 24 MiB, packed alone.
struct OneFile {
    std::string archive, error;
    OneFile() {
        pack::PackFile one{"mixed.bin", {}};
        for (const pack::PackFile& f : mixedContent()) one.bytes.insert(one.bytes.end(), f.bytes.begin(), f.bytes.end());
        const std::vector<uint8_t> text = mixedContent()[0].bytes;
        while (one.bytes.size() < 24 * kMiB) one.bytes.push_back(text[one.bytes.size() % text.size()]);
        std::vector<uint8_t> bytes;
        if (!pack::buildArchive({one}, {}, bytes, error)) return;
        archive = (std::filesystem::temp_directory_path() / "halvoren-bench-one.rar").string();
        std::ofstream(archive, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
};

// Runs a program to its end, its output to /dev/null; false when it fails.
bool runProcess(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const bool started = posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&quiet);
    int status = 0;
    return started && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Argument 0: halvoren-pack, 1: unar.  Wall time per whole process; the
// children's CPU time beside it.
void BM_ExtractOneFile(benchmark::State& state) {
    static const OneFile one;
    if (one.archive.empty()) {
        state.SkipWithError(one.error.c_str());
        return;
    }
    const char* tool = std::getenv("HLV_PACK_TOOL");
    const std::string out = std::filesystem::exists("/dev/shm") ? "/dev/shm/halvoren-bench-one" : one.archive + ".out";
    const std::vector<std::string> command =
        state.range(0) == 0 ? std::vector<std::string>{tool ? tool : "build/tools/pack/halvoren-pack", "extract", one.archive, "mixed.bin", out + "/mixed.bin"}
                            : std::vector<std::string>{"unar", "-q", "-f", "-D", "-o", out, one.archive};
    std::filesystem::create_directories(out);
    const double cpuBefore = childCpuSeconds();
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(out + "/mixed.bin");
        state.ResumeTiming();
        if (!runProcess(command)) {
            state.SkipWithError((command[0] + " failed").c_str());
            return;
        }
    }
    state.counters["child_cpu_ms"] = 1000.0 * (childCpuSeconds() - cpuBefore) / double(state.iterations());
    std::filesystem::remove_all(out);
    state.SetBytesProcessed(int64_t(24 * kMiB * state.iterations()));
}
BENCHMARK(BM_ExtractOneFile)->Arg(0)->Arg(1)->ArgName("unar")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
