// The still pictures around the show: loading screen, setup preview, last frame.
#include <algorithm>
#include <cmath>

#include "Looks.h"
#include "Noise.h"
#include "Pictures.h"

namespace gen {

namespace {

constexpr int N = kScreenSize;
const ScreenMap kScreen{N, N};

// A corona: thin bright ring with a wide soft halo, centred at a screen point.
void corona(Picture& pic, const ScreenMap& s, double cx, double cy, double radius, double gain) {
    for (int y = 0; y < pic.h; ++y)
        for (int x = 0; x < pic.w; ++x) {
            const double d = s.distance(x, y, cx, cy);
            const double edge = (d - radius) / radius;
            const double ring = dexp(-edge * edge * 900.0);
            const double halo = edge > 0.0 ? dexp(-edge * 5.0) : dexp(edge * 12.0) * 0.3;
            const double flicker = 0.75 + 0.25 * fbm(datan2(double(y) - pic.h * 0.5, double(x) - pic.w * 0.5) * 3.0, d * 4.0, 64, 4, 0.5, 77);
            pic.at(x, y) = pic.at(x, y) + palette::kIce * (gain * ring) + palette::kSteel * (gain * 0.7 * halo * flicker);
        }
}

// Title and byline in the style of the show, centred on cx.
void titleBlock(Picture& pic, const ScreenMap& s, const Fonts& f, double cx, double baseline, double size) {
    Plane title(pic.w, pic.h);
    f.bold.drawCentred(title, "HALVOREN", cx, baseline, size, s.squeeze(), size * 0.22);
    glowInk(pic, title, palette::kWhite, palette::kFrost, 4, 0.9);
    Plane byline(pic.w, pic.h);
    f.regular.drawCentred(byline, "by Tarnwell", cx, baseline + size * 0.62, size * 0.3, s.squeeze(), size * 0.06);
    glowInk(pic, byline, palette::kIce, palette::kSteel, 3, 0.6);
}

}  // namespace

Picture loadingBackground() {
    Picture pic = nebula(N, N, 7001, 0.7, kScreen);
    corona(pic, kScreen, 0.0, 0.12, 0.62, 0.35);
    // A quiet, dark well behind the progress bar so its dim blue reads.
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const double dy = (y - kScreen.y(-0.427)) / 26.0, dx = (x - kScreen.x(0.0)) / 150.0;
            const double well = dexp(-(dx * dx * dx * dx + dy * dy));
            pic.at(x, y) = pic.at(x, y) * (1.0 - 0.8 * well);
        }
    return pic;
}

RgbaPicture loadingOverlay(const Fonts& f) {
    Overlay o(N, N);
    // Title with its halo, drawn as paint of falling opacity.
    Plane title(N, N);
    f.bold.drawCentred(title, "HALVOREN", N * 0.5, kScreen.y(0.12), 58, kScreen.squeeze(), 13);
    o.cover(blur(title, 12), palette::kSteel, 0.5);
    o.cover(blur(title, 4), palette::kFrost, 0.8);
    o.cover(title, palette::kWhite);
    Plane byline(N, N);
    f.regular.drawCentred(byline, "tarnwell", N * 0.5, kScreen.y(0.12) + 38, 17, kScreen.squeeze(), 7);
    o.cover(blur(byline, 3), palette::kSteel, 0.6);
    o.cover(byline, palette::kIce, 0.9);

    // Housing of the progress bar: a thin frame just outside the bar's reach.
    const double bx0 = kScreen.x(kProgressBar.left) - 5, bx1 = kScreen.x(kProgressBar.right) + 5;
    const double by0 = kScreen.y(kProgressBar.top) - 5, by1 = kScreen.y(kProgressBar.bottom) + 5;
    Plane frame(N, N);
    strokeLine(frame, bx0, by0, bx1, by0, 1.0);
    strokeLine(frame, bx0, by1, bx1, by1, 1.0);
    strokeLine(frame, bx0, by0, bx0, by1, 1.0);
    strokeLine(frame, bx1, by0, bx1, by1, 1.0);
    o.cover(blur(frame, 3), palette::kFrost, 0.6);
    o.cover(frame, palette::kIce);
    Plane caption(N, N);
    f.regular.draw(caption, "loading", bx0, by0 - 9, 12, kScreen.squeeze(), 4);
    o.cover(caption, palette::kFrost, 0.8);

    RgbaPicture out{Picture(N, N), Plane(N, N)};
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            double a = o.alpha.at(x, y);
            // The window the bar grows in stays clear whatever glows nearby.
            if (x >= bx0 + 1 && x < bx1 - 1 && y >= by0 + 1 && y < by1 - 1) a = 0.0;
            out.alpha.at(x, y) = float(a);
            // Straight (not premultiplied) colour; clear pixels keep a theme
            // colour so filtering never pulls a dark fringe into the glow.
            const Color& c = o.colour.at(x, y);
            const double oa = o.alpha.at(x, y);
            out.colour.at(x, y) = oa > 0.004 ? c * (1.0 / oa) : palette::kFrost;
        }
    return out;
}

Picture menuPicture(const Fonts& f) {
    const ScreenMap s{kMenuWidth, kMenuHeight, double(kMenuWidth) / kMenuHeight};
    Picture pic = nebula(kMenuWidth, kMenuHeight, 7101, 0.8, s);
    corona(pic, s, 0.0, 0.1, 0.72, 0.3);
    titleBlock(pic, s, f, kMenuWidth * 0.5, kMenuHeight * 0.48, 46);
    Plane small(kMenuWidth, kMenuHeight);
    f.regular.drawCentred(small, "live at rk7", kMenuWidth * 0.5, kMenuHeight - 26, 12, 1.0, 5);
    glowInk(pic, small, palette::kFrost, palette::kSteel, 2, 0.4);
    return pic;
}

Picture finalPicture(const Fonts& f) {
    Picture pic = nebula(N, N, 7201, 0.5, kScreen);
    corona(pic, kScreen, 0.0, 0.08, 0.55, 0.5);
    titleBlock(pic, kScreen, f, N * 0.5, kScreen.y(0.04), 62);
    Plane thanks(N, N);
    f.regular.drawCentred(thanks, "thanks for watching", N * 0.5, N - 48, 15, kScreen.squeeze(), 4);
    glowInk(pic, thanks, palette::kFrost, palette::kSteel, 2, 0.5);
    return pic;
}

}  // namespace gen
