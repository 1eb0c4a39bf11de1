// halvoren-pack: writes and reads the show's data archive.  kUsage is also
// the source of the manual page.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "RarWriter.h"
#include "Version.h"
#include "resources/RarArchive.h"

namespace {

const char* const kUsage =
    "Usage: halvoren-pack create ARCHIVE DIR [--solid] [--store]\n"
    "  or:  halvoren-pack list ARCHIVE\n"
    "  or:  halvoren-pack extract ARCHIVE NAME [OUT]\n"
    "  or:  halvoren-pack --help | --version\n"
    "Writes and reads data.dat, the RAR 2.x archive the show reads beside data/.\n"
    "  create    pack every regular file under DIR, named relative to it, sorted;\n"
    "            each is compressed unless that would not make it smaller\n"
    "  list      print each file's sizes, method, unpack version, CRC and name\n"
    "  extract   write one file, read through the show's own reader, to OUT\n"
    "            (by default the name's last part)\n"
    "  --solid   compress the files as one stream\n"
    "  --store   keep every file as it is\n"
    "  --help    print this text\n"
    "  --version print the program's version\n";

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

int list(int argc, char** argv) {
    if (argc != 3) return usage();
    std::vector<RarEntry> entries;
    std::string error;
    const bool ok = rarListEntries(argv[2], entries, error);
    for (const RarEntry& e : entries) {
        const char* method = e.method == 0x30 ? "stored" : "packed";
        std::printf("%10u %10u  %s%s  v%u  %08x  %s\n", e.unpackedSize, e.packedSize, method,
                    (e.flags & 0x0010) ? "+" : " ", e.unpackVersion, e.fileCrc, e.name.c_str());
    }
    if (!ok) {
        std::fprintf(stderr, "halvoren-pack: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int extract(int argc, char** argv) {
    if (argc != 4 && argc != 5) return usage();
    const char* name = argv[3];
    std::string out = argc == 5 ? argv[4] : name;
    if (argc == 4) {
        const size_t cut = out.find_last_of("/\\");
        if (cut != std::string::npos) out = out.substr(cut + 1);
    }
    // The content goes to the file as it is decoded: building the whole file
    // in memory first costs a page fault per 4 KiB, more than the decoding.
    // The file is made at the first bytes, so a name that is not there
    // leaves OUT as it was; bytes that turn out wrong are taken away again.
    int fd = -1;
    bool writeFailed = false;
    auto openOut = [&] {
        if (fd < 0) fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        return fd >= 0;
    };
    const RarSink sink = [&](const uint8_t* bytes, size_t size) {
        for (size_t done = 0; openOut() && done < size;) {
            const ssize_t n = ::write(fd, bytes + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += size_t(n);
            if (done == size) return true;
        }
        writeFailed = true;
        return false;
    };
    uint32_t size = 0;
    const bool ok = rarExtractFile(name, argv[2], sink, &size) != 0;
    if (ok) openOut();   // an empty file gets no bytes but is made all the same
    struct stat made {};
    const bool regular = fd >= 0 && fstat(fd, &made) == 0 && S_ISREG(made.st_mode);
    const bool closed = fd >= 0 && ::close(fd) == 0;
    if (ok && closed) return 0;
    if (fd >= 0 && regular) std::remove(out.c_str());
    if (!ok && !writeFailed) std::fprintf(stderr, "halvoren-pack: %s\n", rarLastError());
    else std::fprintf(stderr, "halvoren-pack: %s: cannot write\n", out.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("halvoren-pack %s\n", halvorenVersion());
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "create") == 0) return create(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "list") == 0) return list(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "extract") == 0) return extract(argc, argv);
    return usage();
}
