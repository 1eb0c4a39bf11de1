// halvoren-content --out DIR   writes the default content to DIR/data/
// halvoren-content --version   prints the one line that names this content
#include <cstdio>
#include <cstring>
#include <string>

#include "Content.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: halvoren-content --out DIR | --version\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", gen::contentVersion().c_str());
        return 0;
    }
    if (argc != 3 || std::strcmp(argv[1], "--out") != 0) return usage();
    std::string error;
    if (!gen::writeContent(argv[2], &error)) {
        std::fprintf(stderr, "halvoren-content: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
