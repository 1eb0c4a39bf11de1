// readLine and read of a loaded file over arbitrary bytes.  The first two
// bytes pick the line length and the read sizes; the rest is the file.
#include <algorithm>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "resources/DataFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint32_t lineLength = data[0];          // 0 .. 255: the short and the zero lengths too
    const uint32_t readSize = data[1] % 17;       // 0 .. 16 bytes per item
    hlvfuzz::writeScratch("data/file.bin", data + 2, size - 2);

    DataFileService files(hlvfuzz::scratchRoot(), "none.zip");
    auto file = files.find("file.bin");
    if (!file || file->size() != size - 2) __builtin_trap();

    // Every line, then one more past the end.
    std::vector<char> line(lineLength + 1);
    for (uint32_t lines = 0; lines <= file->size() + 1; ++lines) {
        const uint32_t before = file->cursor();
        file->readLine(line.data(), lineLength);
        if (std::memchr(line.data(), 0, line.size()) == nullptr) __builtin_trap();   // always terminated
        if (file->cursor() > file->size()) __builtin_trap();
        if (file->cursor() == before) break;
    }

    // read in items of readSize, with counts of 0 to 3, past the end.
    auto again = files.find("file.bin");
    std::vector<uint8_t> out(readSize * 3 + 1);
    uint32_t total = 0;
    for (uint32_t count = 0; total < again->size() || count < 4; ++count) {
        const uint32_t got = again->read(out.data(), readSize, count % 4);
        if (got > readSize * (count % 4) || again->cursor() > again->size()) __builtin_trap();
        if (got && std::memcmp(out.data(), again->data() + total, got) != 0) __builtin_trap();
        total += got;
        if (readSize == 0 && count > 4) break;
    }
    return 0;
}
