// Pictures decoded from data files into pixels, and pixels into mipmapped
// textures; plus the zero-filled blocks every effect allocates its buffers with.
#pragma once

#include <cstddef>
#include <cstdint>

class DataFileService;
struct Schedule;

struct PixelImage {
    int32_t  width = 0;           // pixels per row
    int32_t  height = 0;          // rows
    int32_t  bytesPerPixel = 0;   // 3 (RGB) or 4 (RGBA)
    uint8_t* pixels = nullptr;    // top row first, R G B (A); owned by the holder, freeBlock it
};

// Which decoder a name asks for: by lowercased substring, ".tga" before
// ".png" before ".jpg"; none of them means TGA.
enum class ImageType { Tga, Png, Jpg };
ImageType imageTypeFor(const char* name);

// Fills image from the data file called name.  Grey and palette pictures come
// out as RGB (RGBA with alpha).  A picture that is missing or not decodable
// throws FatalError naming the picture and why.
void decodeImage(PixelImage& image, const char* name, DataFileService& files);

// A mipmapped 2D texture of the image; it stays bound and GL_TEXTURE_2D stays
// enabled.  The pixels stay with the caller.
uint32_t createTexture(const PixelImage& image);

// decodeImage + createTexture + freeBlock: the usual road of a picture.
uint32_t loadTexture(const char* name, DataFileService& files);

// Decodes both loading-screen pictures named by the script into textures.
void loadImageSlots(const Schedule& schedule, DataFileService& files, uint32_t textures[2]);

// n zero bytes on the heap; released with freeBlock (null is ignored).
void* allocZeroed(size_t n);
void freeBlock(void* p);
