// halvoren-pack create ARCHIVE DIR [--solid] [--store]   packs every file under DIR
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "RarWriter.h"

namespace {

const char* const kUsage =
    "usage: halvoren-pack create ARCHIVE DIR [--solid] [--store]\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int create(int argc, char** argv) {
    if (argc < 4) return usage();
    pack::PackOptions options;
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--solid") == 0) options.solid = true;
        else if (std::strcmp(argv[i], "--store") == 0) options.store = true;
        else return usage();
    }
    std::string error;
    std::vector<pack::PackedEntry> report;
    if (!pack::createArchive(argv[2], argv[3], options, error, &report)) {
        std::fprintf(stderr, "halvoren-pack: %s\n", error.c_str());
        return 1;
    }
    uint64_t size = 0, packed = 0;
    for (const pack::PackedEntry& e : report) {
        size += e.size;
        packed += e.packedSize;
        char mode[24] = "stored";
        if (!e.stored) std::snprintf(mode, sizeof mode, e.audioChannels ? "audio %d ch" : "lz", e.audioChannels);
        std::printf("%10u %10u  %-11s %s\n", e.size, e.packedSize, mode, e.name.c_str());
    }
    std::printf("%10llu %10llu  %zu files -> %s\n", (unsigned long long)size, (unsigned long long)packed,
                report.size(), argv[2]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "create") == 0) return create(argc, argv);
    return usage();
}
