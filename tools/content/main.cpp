// halvoren-content: the show's default content, made from code.  kUsage is
// also the source of the manual page.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "Content.h"
#include "Icon.h"
#include "RarWriter.h"
#include "Version.h"

namespace {

const char* const kUsage =
    "Usage: halvoren-content --out DIR [--pack]\n"
    "  or:  halvoren-content --icon FILE\n"
    "  or:  halvoren-content --content-version | --help | --version\n"
    "Writes the default content of the show, the same bytes on every machine.\n"
    "  --out DIR           write every file the show reads to DIR/data/\n"
    "  --pack              also pack all of DIR/data/ into the archive DIR/data.dat\n"
    "  --icon FILE         write the desktop launcher's icon, a 128x128 PNG\n"
    "  --content-version   print the one line that names this content: it changes\n"
    "                      whenever the files written would\n"
    "  --help              print this text\n"
    "  --version           print the program's version\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int writeIcon(const char* path) {
    try {
        const std::vector<uint8_t> png = gen::iconPng();
        std::FILE* out = std::fopen(path, "wb");
        bool written = out && std::fwrite(png.data(), 1, png.size(), out) == png.size();
        if (out) written = std::fclose(out) == 0 && written;
        if (written) return 0;
        std::fprintf(stderr, "halvoren-content: %s: cannot write\n", path);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "halvoren-content: %s\n", e.what());
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--content-version") == 0) {
        std::printf("%s\n", gen::contentVersion().c_str());
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("halvoren-content %s\n", halvorenVersion());
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--icon") == 0) return writeIcon(argv[2]);
    const bool packed = argc == 4 && std::strcmp(argv[3], "--pack") == 0;
    if ((argc != 3 && !packed) || std::strcmp(argv[1], "--out") != 0) return usage();
    std::string error;
    if (!gen::writeContent(argv[2], &error)) {
        std::fprintf(stderr, "halvoren-content: %s\n", error.c_str());
        return 1;
    }
    // Solid: one window and one set of tables run through every file, so
    // what one picture or text repeats of another costs next to nothing.
    pack::PackOptions options;
    options.solid = true;
    const std::string dir = argv[2];
    if (packed && !pack::createArchive(dir + "/data.dat", dir + "/data", options, error)) {
        std::fprintf(stderr, "halvoren-content: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
