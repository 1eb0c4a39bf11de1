#include "Text.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

namespace gen {

namespace {

constexpr const char* kFamily = "Liberation Sans";

std::string findFontFile(bool bold) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) throw std::runtime_error("fontconfig could not be initialised");
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kFamily));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    std::string file, family;
    if (match) {
        FcChar8* value = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch) file = reinterpret_cast<char*>(value);
        if (FcPatternGetString(match, FC_FAMILY, 0, &value) == FcResultMatch) family = reinterpret_cast<char*>(value);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    // A substitute font would draw other glyphs and break repeatability.
    if (file.empty() || family != kFamily)
        throw std::runtime_error(std::string("font \"") + kFamily + (bold ? " Bold" : "") +
                                 "\" not found (install fonts-liberation2); fontconfig offered \"" +
                                 family + "\"");
    return file;
}

}  // namespace

struct Font::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

Font::Font(bool bold) : impl_(std::make_unique<Impl>()) {
    path_ = findFontFile(bold);
    if (FT_Init_FreeType(&impl_->library) != 0) throw std::runtime_error("FreeType could not be initialised");
    if (FT_New_Face(impl_->library, path_.c_str(), 0, &impl_->face) != 0) {
        FT_Done_FreeType(impl_->library);
        throw std::runtime_error("cannot open font file " + path_);
    }
}

Font::~Font() {
    FT_Done_Face(impl_->face);
    FT_Done_FreeType(impl_->library);
}

double Font::width(const std::string& text, double size, double squeeze, double tracking) const {
    FT_Face face = impl_->face;
    FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(size * 64.0)), 72, 72);
    FT_Set_Transform(face, nullptr, nullptr);
    double pen = 0.0;
    for (unsigned char c : text) {
        if (FT_Load_Char(face, c, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) continue;
        pen += face->glyph->linearHoriAdvance / 65536.0 * squeeze + tracking;
    }
    return text.empty() ? 0.0 : pen - tracking;
}

void Font::draw(Plane& p, const std::string& text, double x, double baseline, double size, double squeeze,
                double tracking) const {
    FT_Face face = impl_->face;
    FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(size * 64.0)), 72, 72);
    double pen = x;
    for (unsigned char c : text) {
        // The fractional pen position goes into the glyph itself, so spacing
        // stays even instead of snapping each letter to whole pixels.
        const double whole = std::floor(pen);
        FT_Matrix matrix = {FT_Fixed(std::lround(squeeze * 65536.0)), 0, 0, 0x10000};
        FT_Vector delta = {FT_Pos(std::lround((pen - whole) * 64.0)), 0};
        FT_Set_Transform(face, &matrix, &delta);
        if (FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) continue;
        const FT_GlyphSlot g = face->glyph;
        const FT_Bitmap& bm = g->bitmap;
        const int left = int(whole) + g->bitmap_left;
        const int top = int(std::floor(baseline)) - g->bitmap_top;
        for (unsigned row = 0; row < bm.rows; ++row) {
            const int y = top + int(row);
            if (y < 0 || y >= p.h) continue;
            for (unsigned col = 0; col < bm.width; ++col) {
                const int px = left + int(col);
                if (px < 0 || px >= p.w) continue;
                const float cover = bm.buffer[row * bm.pitch + col] / 255.0f;
                float& dst = p.at(px, y);
                dst = std::max(dst, cover);
            }
        }
        pen += g->linearHoriAdvance / 65536.0 * squeeze + tracking;
    }
    FT_Set_Transform(face, nullptr, nullptr);
}

void Font::drawCentred(Plane& p, const std::string& text, double cx, double baseline, double size, double squeeze,
                       double tracking) const {
    draw(p, text, cx - width(text, size, squeeze, tracking) * 0.5, baseline, size, squeeze, tracking);
}

double Font::emForCellHeight(double cellHeight) const {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(impl_->face, FT_SFNT_OS2));
    const double units = os2 ? double(os2->usWinAscent) + double(os2->usWinDescent)
                             : double(impl_->face->ascender - impl_->face->descender);
    return cellHeight * impl_->face->units_per_EM / units;
}

}  // namespace gen
