// Text for the pictures: FreeType glyphs of Liberation Sans, found through
// fontconfig.  The font comes from a pinned Debian package, so its glyphs are
// the same on every machine the show is built on.
#pragma once

#include <memory>
#include <string>

#include "Raster.h"

namespace gen {

class Font {
public:
    // Loads the regular or bold face of "Liberation Sans"; throws
    // std::runtime_error naming the face when fontconfig cannot find it.
    explicit Font(bool bold = false);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Draws text into the plane (coverage, kept at the maximum), its
    // baseline at y and its left end at x, glyphs `size` pixels to the em.
    // squeeze < 1 narrows the glyphs: pictures stretched over a 4:3 screen are
    // drawn at 0.75 so the letters look right once stretched.  tracking adds
    // that many pixels after every glyph.
    void draw(Plane& p, const std::string& text, double x, double baseline, double size,
              double squeeze = 1.0, double tracking = 0.0) const;
    // Width in pixels that draw() would cover with the same arguments.
    double width(const std::string& text, double size, double squeeze = 1.0, double tracking = 0.0) const;
    // draw() centred on cx.
    void drawCentred(Plane& p, const std::string& text, double cx, double baseline, double size,
                     double squeeze = 1.0, double tracking = 0.0) const;

    // The em size at which the font's cell (ascent + descent, as Windows
    // measures a font's height) is cellHeight pixels: how the show's text
    // helpers size their glyphs.
    double emForCellHeight(double cellHeight) const;

    const std::string& path() const { return path_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string path_;
};

}  // namespace gen
