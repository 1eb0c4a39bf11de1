#include "effects/FX_Greetings.h"

#include "EffectTestData.h"
#include "TextFrames.h"
#include "effects/ContentTexts.h"
#include "resources/TextRaster.h"

using namespace hlvtest;

namespace {

constexpr int kW = 320, kH = 240;   // big enough to read the names
constexpr int kGrey = 179;   // the 0.7 clear, give or take rounding

void noData(const TempDataFolder&) {}
using GreetingsGl = EffectGl<noData>;

// How well the lit columns of the quad at (0.02 .. 1.02, lineY) follow the
// ink of a name drawn at its place in a page image, read left to right
// (mirrored when `mirrored`): the correlation of the two column profiles.
double readsAs(const Frame& frame, float lineY, const content::Greeting& name, bool mirrored = false) {
    std::vector<uint8_t> text(kTextImageBytes);
    renderText(content::greetingX(name), 0, content::kGreetingCellHeight, name.name, "ARIAL", text.data(),
               kTextImageSide, kTextImageSide);
    double n = 0, sa = 0, sb = 0, sab = 0, saa = 0, sbb = 0;
    for (int x = int(std::ceil(screenX(0.02, kW))); x < kW; ++x, ++n) {
        const int column = std::clamp(int(((x + 0.5) / kW * 2.0 - 1.02) * kTextImageSide), 0, kTextImageSide - 1);
        double a = 0, b = 0;   // lit in the frame's column, ink in the name's
        for (int y = int(screenY(lineY + 0.2, kH)); y < int(screenY(lineY - 0.2, kH)); ++y)
            a += std::max(0, frame[(size_t(y) * kW + x) * 4 + 1] - kGrey);
        for (int row = kTextImageSide - 85; row < kTextImageSide; ++row)
            b += text[(size_t(row) * kTextImageSide + (mirrored ? kTextImageSide - 1 - column : column)) * 4];
        sa += a, sb += b, sab += a * b, saa += a * a, sbb += b * b;
    }
    const double cov = sab - sa * sb / n, va = saa - sa * sa / n, vb = sbb - sb * sb / n;
    return va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : 0.0;
}

}  // namespace

TEST_F(GreetingsGl, NamesScrollDownTheRightHalfOverLightGrey) {
    // Before any step (the last counts as at 150 ms), then a step each time
    // more than 1500 ms passed; the frames checked come exactly 1500 ms after
    // their step, when the echoes are gone and the next step not yet due.
    std::vector<uint32_t> times = {1000, 1650};
    for (uint32_t t = 1651; t < 1651 + 24 * 1501; t += 1501) times.insert(times.end(), {t, t + 1100, t + 1300, t + 1500});
    const auto frames = playTwice<FX_Greetings>(noData, times, kW, kH);
    auto settled = [&](uint32_t step) -> const Frame& { return frames[size_t(4 * step + 1)]; };

    for (size_t n : {0, 1}) EXPECT_TRUE(brighterThan(frames[n], kW, kH, kGrey + 2).empty()) << "a name before the first step";
    for (uint32_t step : {1u, 2u, 6u, 7u, 13u}) {
        SCOPED_TRACE("step " + std::to_string(step));
        const float lineY = 0.6f - 0.25f * float((step - 1) % 6);
        // The name, its glow and nothing else brighter than the grey, in the quad.
        const Frame& f = settled(step);
        const PixelBox lit = brighterThan(f, kW, kH, kGrey + 2);
        ASSERT_FALSE(lit.empty());
        EXPECT_TRUE(lit.inside(screenX(0.02, kW) - 1, screenY(lineY + 0.2, kH) - 1, kW, screenY(lineY - 0.2, kH) + 1))
            << lit.left << " " << lit.top << " " << lit.right << " " << lit.bottom;
        const content::Greeting& shown = content::kGreetings[step - 1];
        const double match = readsAs(f, lineY, shown);
        EXPECT_GT(match, 0.7) << shown.name;
        EXPECT_GT(match, readsAs(f, lineY, shown, true) + 0.1) << shown.name << " reads mirrored";
        if (step > 1) { EXPECT_GT(match, readsAs(f, lineY, content::kGreetings[step - 2])) << "the name before"; }
    }
    EXPECT_TRUE(brighterThan(settled(24), kW, kH, kGrey + 2).empty()) << "the empty last slot shows only the grey";
}
