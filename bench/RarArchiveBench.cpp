// Decode throughput of the archive reader beside unar, on any archive made
// by halvoren-pack (RarDecodeBench packs its own; this one takes real files,
// solid or not), in the same run:
//   HLV_RAR_BENCH=/path/to/archive.rar build/bench/halvoren_bench --benchmark_filter=Rar
// Both report bytes of content per second of wall-clock time (unar runs as a
// child process and writes its files to a scratch folder).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "resources/RarArchive.h"

namespace {

// The archive named by HLV_RAR_BENCH and its entries, or a reason to skip.
bool benchArchive(benchmark::State& state, std::string& path, std::vector<RarEntry>& entries, uint64_t& bytes) {
    const char* env = std::getenv("HLV_RAR_BENCH");
    if (!env) {
        state.SkipWithError("set HLV_RAR_BENCH to an archive made by halvoren-pack");
        return false;
    }
    path = env;
    std::string error;
    if (!rarListEntries(env, entries, error) || entries.empty()) {
        state.SkipWithError(error.empty() ? "no entries" : error.c_str());
        return false;
    }
    bytes = 0;
    for (const RarEntry& e : entries) bytes += e.unpackedSize;
    return true;
}

}  // namespace

// Every file of the archive.  In a solid archive asking for the last file
// decodes the whole stream once, which is what extracting everything costs.
static void BM_RarReaderExtractAll(benchmark::State& state) {
    std::string path;
    std::vector<RarEntry> entries;
    uint64_t bytes = 0;
    if (!benchArchive(state, path, entries, bytes)) return;
    bool solid = false;   // one stream: some file continues the one before it
    for (const RarEntry& e : entries) solid = solid || (e.flags & 0x0010);
    for (auto _ : state) {
        for (size_t i = solid ? entries.size() - 1 : 0; i < entries.size(); ++i) {
            uint8_t* out = nullptr;
            uint32_t size = 0;
            if (!rarGetFile(&out, &size, entries[i].name.c_str(), path.c_str(), nullptr)) {
                state.SkipWithError(rarLastError());
                return;
            }
            benchmark::DoNotOptimize(out);
            std::free(out);
        }
    }
    state.SetBytesProcessed(int64_t(bytes * state.iterations()));
}
BENCHMARK(BM_RarReaderExtractAll)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

static void BM_UnarExtractAll(benchmark::State& state) {
    std::string path;
    std::vector<RarEntry> entries;
    uint64_t bytes = 0;
    if (!benchArchive(state, path, entries, bytes)) return;
    if (std::system("unar -v >/dev/null 2>&1") != 0) {
        state.SkipWithError("unar is not installed");
        return;
    }
    const std::string out = "/tmp/halvoren-unar-bench";
    const std::string run = "unar -q -f -o " + out + " '" + path + "' >/dev/null 2>&1", clean = "rm -rf " + out;
    for (auto _ : state) {
        if (std::system(run.c_str()) != 0) {
            state.SkipWithError("unar failed");
            return;
        }
        state.PauseTiming();
        std::system(clean.c_str());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(bytes * state.iterations()));
}
BENCHMARK(BM_UnarExtractAll)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
