// halvoren-content --out DIR   writes the default content to DIR/data/
// halvoren-content --version   prints the one line that names this content
// halvoren-content --icon FILE  writes the desktop launcher's icon (PNG)
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "Content.h"
#include "Icon.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: halvoren-content --out DIR | --icon FILE | --version\n");
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
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", gen::contentVersion().c_str());
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--icon") == 0) return writeIcon(argv[2]);
    if (argc != 3 || std::strcmp(argv[1], "--out") != 0) return usage();
    std::string error;
    if (!gen::writeContent(argv[2], &error)) {
        std::fprintf(stderr, "halvoren-content: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
