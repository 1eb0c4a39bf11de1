// halvoren-content --out DIR [--pack]   writes the default content to DIR/data/
//                                       (--pack: and all of DIR/data/ into DIR/data.dat)
// halvoren-content --version            prints the one line that names this content
#include <cstdio>
#include <cstring>
#include <string>

#include "Content.h"
#include "RarWriter.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: halvoren-content --out DIR [--pack] | --version\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", gen::contentVersion().c_str());
        return 0;
    }
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
