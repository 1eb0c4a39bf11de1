// Picture decoding over arbitrary bytes.  The first byte picks the name the
// picture is asked for by, and with it the decoder; the rest is the file.
#include "FuzzSupport.h"
#include "engine/DemoTypes.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const char* const kNames[] = {"p.png", "p.jpg", "p.tga", "p.raw"};
    const char* name = kNames[data[0] % 4];
    hlvfuzz::writeScratch(std::string("data/") + name, data + 1, size - 1);
    DataFileService files(hlvfuzz::scratchRoot(), "none.zip");

    PixelImage image;
    try {
        decodeImage(image, name, files);
    } catch (const FatalError&) {
        return 0;
    }
    if (image.width <= 0 || image.height <= 0 || (image.bytesPerPixel != 3 && image.bytesPerPixel != 4))
        __builtin_trap();
    // Every pixel byte is there to be read.
    const size_t bytes = size_t(image.width) * image.height * image.bytesPerPixel;
    uint8_t sum = image.pixels[bytes - 1];
    for (size_t i = 0; i < bytes; i += 61) sum = uint8_t(sum + image.pixels[i]);
    asm volatile("" : : "r"(sum));   // the reads must happen: the sum is used
    freeBlock(image.pixels);
    return 0;
}
