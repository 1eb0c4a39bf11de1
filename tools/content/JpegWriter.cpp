#include "JpegWriter.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <jpeglib.h>

namespace gen {

namespace {

struct ErrorTrap {
    jpeg_error_mgr base;          // first, so libjpeg's pointer is ours too
    std::jmp_buf   jump;
    char           message[JMSG_LENGTH_MAX];
};

void trapError(j_common_ptr cinfo) {
    auto* trap = reinterpret_cast<ErrorTrap*>(cinfo->err);
    cinfo->err->format_message(cinfo, trap->message);
    std::longjmp(trap->jump, 1);
}

// libjpeg reports errors by longjmp: nothing in here may own anything.
bool compress(jpeg_compress_struct& c, ErrorTrap& trap, int width, int height, const uint8_t* rgb, int quality,
              unsigned char** out, unsigned long* size) {
    if (setjmp(trap.jump)) return false;
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, out, size);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    c.dct_method = JDCT_ISLOW;   // exact integers: every SIMD path gives the same coefficients
    c.optimize_coding = FALSE;
    for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + size_t(c.next_scanline) * size_t(width) * 3);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    return true;
}

}  // namespace

std::vector<uint8_t> encodeJpeg(int width, int height, const uint8_t* rgb, int quality) {
    jpeg_compress_struct c{};
    ErrorTrap trap{};
    c.err = jpeg_std_error(&trap.base);
    trap.base.error_exit = trapError;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const bool ok = compress(c, trap, width, height, rgb, quality < 1 ? 1 : quality > 100 ? 100 : quality, &out, &size);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> bytes;
    if (ok) bytes.assign(out, out + size);
    std::free(out);
    if (!ok) throw std::runtime_error(std::string("menu.jpg: ") + trap.message);
    return bytes;
}

}  // namespace gen
