#include "resources/TextRaster.h"

#include <cmath>
#include <cstring>
#include <map>
#include <string>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include "engine/DemoTypes.h"

namespace {

constexpr const char* kTextFace = "ARIAL";
constexpr int kMaxCellHeight = 4096;   // pixels; far beyond any text image

// The file fontconfig offers for a face name, after its aliases ("ARIAL" ->
// Liberation Sans); empty when it offers none.
std::string fontFileFor(const char* face) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return {};
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    std::string file;
    if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
        FcChar8* value = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch) file = reinterpret_cast<char*>(value);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return file;
}

// Every face asked for so far, opened once and kept until the process ends.
class FontShelf {
public:
    ~FontShelf() {
        for (auto& entry : faces_) FT_Done_Face(entry.second);
        if (library_) FT_Done_FreeType(library_);
    }

    FT_Face face(const char* name) {
        const auto found = faces_.find(name);
        if (found != faces_.end()) return found->second;
        if (!library_ && FT_Init_FreeType(&library_) != 0) {
            library_ = nullptr;
            throw FatalError(std::string("font \"") + name + "\": FreeType could not be initialised");
        }
        const std::string file = fontFileFor(name);
        if (file.empty())
            throw FatalError(std::string("font \"") + name + "\": fontconfig finds no font file for it"
                             " (install fonts-liberation2)");
        FT_Face face = nullptr;
        if (FT_New_Face(library_, file.c_str(), 0, &face) != 0)
            throw FatalError(std::string("font \"") + name + "\": cannot open " + file);
        faces_.emplace(name, face);
        return face;
    }

private:
    FT_Library library_ = nullptr;
    std::map<std::string, FT_Face> faces_;
};

FontShelf& fontShelf() {
    static FontShelf shelf;
    return shelf;
}

// Coverage of one glyph bitmap into the bottom-up picture, keeping the
// brighter value where glyphs overlap.  left and top: picture pixels of the
// bitmap's top-left corner.
void blitGlyph(const FT_Bitmap& bm, int64_t left, int64_t top, uint8_t* out, int width, int rows) {
    const bool mono = bm.pixel_mode == FT_PIXEL_MODE_MONO;
    if (!mono && bm.pixel_mode != FT_PIXEL_MODE_GRAY) return;
    const int64_t pitch = bm.pitch < 0 ? -int64_t(bm.pitch) : bm.pitch;
    for (int64_t r = 0; r < int64_t(bm.rows); ++r) {
        const int64_t y = top + r;
        if (y < 0 || y >= rows) continue;
        const uint8_t* src = bm.buffer + (bm.pitch >= 0 ? r : int64_t(bm.rows) - 1 - r) * pitch;
        uint8_t* dst = out + (int64_t(rows) - 1 - y) * width * 4;
        for (int64_t c = 0; c < int64_t(bm.width); ++c) {
            const int64_t x = left + c;
            if (x < 0 || x >= width) continue;
            const uint8_t cover = mono ? ((src[c >> 3] >> (7 - (c & 7))) & 1) * 255 : src[c];
            uint8_t* p = dst + x * 4;
            if (cover > p[0]) p[0] = p[1] = p[2] = cover;
        }
    }
}

// Pairs of pixels from byte offset `from` to `to` (both even pixel
// positions, inside rows 1 .. height - 2), in memory order: the first of a
// pair sees its left neighbour and the row above as already rewritten, the
// second sees the first as it was.  row: bytes per row.
void blurPairs(uint8_t* buf, ptrdiff_t row, ptrdiff_t from, ptrdiff_t to) {
    for (ptrdiff_t i = from; i < to; i += 8) {
        uint8_t* p = buf + i;
        for (int c = 0; c < 4; ++c) {
            const unsigned a = p[c], b = p[4 + c];
            unsigned first = (unsigned(p[c - row]) + p[c + row] + p[c - 4] + b) >> 2;
            unsigned second = (unsigned(p[4 + c - row]) + p[4 + c + row] + a + p[8 + c]) >> 2;
            if (c < 3) {   // colour decays one level, the fourth byte does not
                first -= first > 0;
                second -= second > 0;
            }
            p[c] = uint8_t(first);
            p[4 + c] = uint8_t(second);
        }
    }
}

bool isBlack(const uint8_t* p, ptrdiff_t bytes) {
    uint8_t any = 0;
    for (ptrdiff_t i = 0; i < bytes; ++i) any |= p[i];
    return any == 0;
}

}  // namespace

bool renderText(int x, int y, int height, const char* text, const char* face, uint8_t* out, int width, int rows) {
    if (!out || width <= 0 || rows <= 0 || height <= 0 || height > kMaxCellHeight) return false;
    FT_Face ft = fontShelf().face(face ? face : "");
    std::memset(out, 0, size_t(width) * size_t(rows) * 4);
    if (!text || !*text) return true;

    // A cell of `height` pixels from ascender to descender, as the text
    // images were laid out for.
    const double cellUnits = double(ft->ascender) - double(ft->descender);
    const double pixelsPerUnit = height / (cellUnits > 0 ? cellUnits : double(ft->units_per_EM));
    if (FT_Set_Char_Size(ft, 0, FT_F26Dot6(std::lround(ft->units_per_EM * pixelsPerUnit * 64.0)), 72, 72) != 0)
        return true;
    const int64_t baseline = int64_t(y) + std::lround(ft->ascender * pixelsPerUnit);

    int64_t pen = x;
    for (const unsigned char* s = reinterpret_cast<const unsigned char*>(text); *s; ++s) {
        if (pen > int64_t(width) + height) break;   // the rest lies right of the picture
        if (FT_Load_Glyph(ft, FT_Get_Char_Index(ft, *s), FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) continue;
        const FT_GlyphSlot g = ft->glyph;
        blitGlyph(g->bitmap, pen + g->bitmap_left, baseline - g->bitmap_top, out, width, rows);
        pen += (g->advance.x + 32) >> 6;   // whole pixels, no kerning
    }
    return true;
}

bool blurDecay(uint8_t* buf, int width, int height) {
    if (!buf || width <= 0 || height < 3 || (int64_t(width) * (height - 2)) % 2 != 0) return false;
    const ptrdiff_t row = ptrdiff_t(width) * 4;   // bytes
    const ptrdiff_t end = row * (height - 1);
    if (width % 2 != 0) {
        blurPairs(buf, row, row, end);   // pairs straddle rows
    } else {
        // Text images are mostly black, and a row whose neighbourhood is all
        // black stays black: skip those rows, the rest gives the same bytes.
        bool aboveBlack = isBlack(buf, row);          // row r - 1, rewritten
        bool hereBlack = isBlack(buf + row, row);     // row r as it was
        for (ptrdiff_t r = row; r < end; r += row) {
            const bool belowBlack = isBlack(buf + r + row, row);
            if (!(aboveBlack && hereBlack && belowBlack)) {
                blurPairs(buf, row, r, r + row);
                aboveBlack = isBlack(buf + r, row);
            } else {
                aboveBlack = true;
            }
            hereBlack = belowBlack;
        }
    }
    std::memset(buf, 0, size_t(row));
    std::memset(buf + end, 0, size_t(row));
    return true;
}

bool addSaturate(uint8_t* dst, const uint8_t* src, int n) {
    if (!dst || !src || n <= 0 || n % 16 != 0) return false;
    const size_t bytes = size_t(n) * 4;
    for (size_t j = 0; j < bytes; ++j) {
        const unsigned sum = unsigned(dst[j]) + src[j];
        dst[j] = uint8_t(sum > 255 ? 255 : sum);
    }
    return true;
}

void addGlowingLine(uint8_t* canvas, uint8_t* scratch, int x, int y, int height, const char* text, int blurPasses) {
    renderText(x, y, height, text, kTextFace, scratch, kTextImageSide, kTextImageSide);
    for (int pass = 0; pass < blurPasses; ++pass) blurDecay(scratch, kTextImageSide, kTextImageSide);
    addSaturate(canvas, scratch, kTextImageSide * kTextImageSide);
}
