// The data-file service over an arbitrary zip archive: the index is built
// from it, then every name it lists (and a few it may not) is looked up.
#include <cstring>

#include <minizip/unzip.h>

#include "FuzzSupport.h"
#include "resources/DataFile.h"

namespace {

constexpr int kMaxLookups = 64;   // names taken from one archive

void lookUp(DataFileService& files, const char* name) {
    // The directory is tried first; names climbing out of it would read
    // whatever lies around, which is not what is being fuzzed here.
    if (std::strstr(name, "..") || name[0] == '/') return;
    auto file = files.find(name);
    if (file && file->size() && !file->data()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    hlvfuzz::writeScratch("fuzz.zip", data, size);
    DataFileService files(hlvfuzz::scratchRoot(), "fuzz.zip");
    files.init();

    for (const char* name : {"hlv.txt", "HLV.TXT", "tunnel\\textura.png", "cflare/FLARE.png", ""})
        lookUp(files, name);

    // The names as minizip lists them, looked up through the index.
    if (unzFile zip = openZipArchive((hlvfuzz::scratchRoot() + "fuzz.zip").c_str())) {
        char name[260];
        unz_file_info info;   // minizip writes it whether asked for or not
        int n = 0;
        for (int ok = unzGoToFirstFile(zip); ok == UNZ_OK && n < kMaxLookups; ok = unzGoToNextFile(zip), ++n) {
            std::memset(name, 0, sizeof name);
            if (unzGetCurrentFileInfo(zip, &info, name, sizeof name - 1, nullptr, 0, nullptr, 0) != UNZ_OK) break;
            lookUp(files, name);
        }
        unzClose(zip);
    }
    files.release();
    return 0;
}
