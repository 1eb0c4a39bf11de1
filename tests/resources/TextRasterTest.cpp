#include "resources/TextRaster.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/DemoTypes.h"

namespace {

using Pixels = std::vector<uint8_t>;

// Channel c of the pixel at (row, col), rows in memory order.
int at(const Pixels& p, int width, int row, int col, int c = 0) { return p[size_t(row * width + col) * 4 + c]; }

// First and last memory rows holding any lit colour byte; (-1, -1) when none.
std::pair<int, int> litRows(const Pixels& p, int width, int rows) {
    int first = -1, last = -1;
    for (int r = 0; r < rows; ++r)
        for (int x = 0; x < width; ++x)
            if (at(p, width, r, x)) {
                if (first < 0) first = r;
                last = r;
                break;
            }
    return {first, last};
}

TEST(AddSaturate, AddsBytesAndStopsAt255) {
    Pixels dst(16 * 4, 7), src(16 * 4, 1);
    const uint8_t a[] = {200, 100, 0, 0}, b[] = {100, 100, 255, 0};
    std::copy(a, a + 4, dst.begin() + 20);   // pixel 5
    std::copy(b, b + 4, src.begin() + 20);
    ASSERT_TRUE(addSaturate(dst.data(), src.data(), 16));
    EXPECT_EQ((Pixels{255, 200, 255, 0}), Pixels(dst.begin() + 20, dst.begin() + 24));
    EXPECT_EQ(8, dst[0]);
    EXPECT_EQ(8, dst.back()) << "all 16 pixels";

    // Counts that are not a positive multiple of 16 change nothing.
    const Pixels before = dst;
    for (int n : {0, -16, 8, 17}) EXPECT_FALSE(addSaturate(dst.data(), src.data(), n)) << n;
    EXPECT_EQ(before, dst);
}

TEST(BlurDecay, WhiteSquareDimsUnevenlyAlongTheFirstRow) {
    Pixels p(8 * 8 * 4, 255);
    ASSERT_TRUE(blurDecay(p.data(), 8, 8));
    const int row1[] = {254, 254, 253, 254, 253, 254, 253, 254};
    for (int x = 0; x < 8; ++x)
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(c < 3 ? row1[x] : 255, at(p, 8, 1, x, c)) << "x " << x << " c " << c;
            for (int y = 2; y <= 6; ++y) EXPECT_EQ(c < 3 ? 253 : 255, at(p, 8, y, x, c)) << y << ", " << x;
            EXPECT_EQ(0, at(p, 8, 0, x, c));
            EXPECT_EQ(0, at(p, 8, 7, x, c));
        }

    Pixels black(8 * 8 * 4, 0);
    ASSERT_TRUE(blurDecay(black.data(), 8, 8));
    EXPECT_EQ(Pixels(8 * 8 * 4, 0), black);
}

TEST(BlurDecay, SinglePixelSpreadsDownAndRightThroughRewrittenNeighbours) {
    Pixels p(8 * 8 * 4, 0);
    for (int c = 0; c < 4; ++c) p[size_t(4 * 8 + 4) * 4 + c] = 255;
    ASSERT_TRUE(blurDecay(p.data(), 8, 8));
    int expected[8][8] = {};
    expected[3][4] = 62;
    const int rows[3][4] = {{62, 30, 62, 14}, {14, 10, 14, 6}, {2, 2, 2, 1}};
    for (int r = 0; r < 3; ++r)
        for (int x = 0; x < 4; ++x) expected[4 + r][3 + x] = rows[r][x];
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            for (int c = 0; c < 3; ++c) EXPECT_EQ(expected[y][x], at(p, 8, y, x, c)) << y << ", " << x << " c " << c;
}

TEST(BlurDecay, SameSpreadInsideALargeMostlyBlackImage) {
    // The worked single-pixel values, far from any edge of a text-sized image.
    constexpr int kSide = 512, kRow = 300, kCol = 250;
    Pixels p(size_t(kSide) * kSide * 4, 0);
    for (int c = 0; c < 4; ++c) p[size_t(kRow * kSide + kCol) * 4 + c] = 255;
    ASSERT_TRUE(blurDecay(p.data(), kSide, kSide));
    const int spread[4][4] = {{0, 62, 0, 0}, {62, 30, 62, 14}, {14, 10, 14, 6}, {2, 2, 2, 1}};
    size_t lit = 0;
    for (size_t i = 0; i < p.size(); i += 4) lit += p[i] != 0;
    EXPECT_EQ(13u, lit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(spread[y][x], at(p, kSide, kRow - 1 + y, kCol - 1 + x)) << y << ", " << x;
}

TEST(BlurDecay, OddWidthPairsStraddleRows) {
    // 3 x 4 white: the pairs are (1,0)(1,1), (1,2)(2,0), (2,1)(2,2).
    Pixels p(3 * 4 * 4, 255);
    ASSERT_TRUE(blurDecay(p.data(), 3, 4));
    const int expected[2][3] = {{254, 254, 253}, {253, 253, 253}};
    for (int y = 1; y <= 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(expected[y - 1][x], at(p, 3, y, x, 1)) << y << ", " << x;
            EXPECT_EQ(255, at(p, 3, y, x, 3)) << y << ", " << x;
        }
}

TEST(BlurDecay, RefusesSizesItCannotWorkInPairs) {
    // 3 x 3 leaves one pixel without a partner; 8 x 2 has no inner row.
    Pixels p(3 * 3 * 4 + 64, 200);
    const Pixels before = p;
    EXPECT_FALSE(blurDecay(p.data(), 3, 3));
    EXPECT_FALSE(blurDecay(p.data(), 8, 2));
    EXPECT_FALSE(blurDecay(p.data(), -2, 6));
    EXPECT_FALSE(blurDecay(nullptr, 8, 8));
    EXPECT_EQ(before, p);
}

class RenderText : public ::testing::Test {
protected:
    static constexpr int kW = 256, kH = 128;
    static constexpr uint8_t kGuard = 0xA5;
    Pixels buf = Pixels(size_t(kW * kH * 4) + 256, kGuard);   // picture, then guard bytes

    void draw(int x, int y, int height, const char* text) {
        ASSERT_TRUE(renderText(x, y, height, text, "ARIAL", buf.data(), kW, kH));
    }
    bool guardIntact() const {
        for (size_t i = size_t(kW * kH * 4); i < buf.size(); ++i)
            if (buf[i] != kGuard) return false;
        return true;
    }
};

TEST_F(RenderText, EmptyTextClearsThePicture) {
    draw(10, 10, 40, "");
    EXPECT_EQ(Pixels(size_t(kW * kH * 4), 0), Pixels(buf.begin(), buf.begin() + kW * kH * 4));
    EXPECT_TRUE(guardIntact());
}

TEST_F(RenderText, GreyTextBottomUpInsideItsCell) {
    draw(20, 0, 60, "Hg");
    // The top of the picture is the end of the buffer; the cell spans
    // picture rows 0..59, i.e. memory rows 68..127.
    const auto [first, last] = litRows(buf, kW, kH);
    EXPECT_GE(first, kH - 60);
    EXPECT_GT(last, kH - 20) << "the capital reaches near the cell's top";
    // Antialiased: some partial coverage, and every pixel grey with a zero fourth byte.
    bool partial = false;
    for (int i = 0; i < kW * kH; ++i) {
        const uint8_t* p = &buf[size_t(i) * 4];
        ASSERT_TRUE(p[0] == p[1] && p[1] == p[2] && p[3] == 0) << "pixel " << i;
        partial |= p[0] > 0 && p[0] < 255;
    }
    EXPECT_TRUE(partial);
    // Nothing left of x.
    for (int r = 0; r < kH; ++r)
        for (int x = 0; x < 18; ++x) ASSERT_EQ(0, at(buf, kW, r, x)) << r << ", " << x;
}

TEST_F(RenderText, TallerCellsMakeTallerGlyphs) {
    draw(0, 0, 30, "H");
    const auto small = litRows(buf, kW, kH);
    draw(0, 0, 90, "H");
    const auto large = litRows(buf, kW, kH);
    const int smallHeight = small.second - small.first + 1, largeHeight = large.second - large.first + 1;
    EXPECT_NEAR(3.0, double(largeHeight) / smallHeight, 0.25) << smallHeight << " and " << largeHeight;
    EXPECT_LT(large.first, small.first) << "the baseline moves down with the ascent";
}

TEST_F(RenderText, TextOffTheEdgesIsClipped) {
    draw(kW - 30, kH - 20, 80, "WWWWWWWWWWWWWWWWWWWWWWWW");
    EXPECT_TRUE(guardIntact());
    const auto [first, last] = litRows(buf, kW, kH);
    EXPECT_EQ(0, first) << "the glyphs reach past the bottom edge";
    EXPECT_LT(last, 20);
    draw(-40, -30, 80, "WWWW");
    EXPECT_TRUE(guardIntact());
    EXPECT_EQ(kH - 1, litRows(buf, kW, kH).second) << "and past the top";

    // Nonsense sizes write nothing at all.
    const Pixels before = buf;
    EXPECT_FALSE(renderText(0, 0, 0, "H", "ARIAL", buf.data(), kW, kH));
    EXPECT_FALSE(renderText(0, 0, 40, "H", "ARIAL", buf.data(), 0, kH));
    EXPECT_FALSE(renderText(0, 0, 40, "H", "ARIAL", nullptr, kW, kH));
    EXPECT_EQ(before, buf);
}

TEST_F(RenderText, AFaceWithNoFontFileIsAnErrorNamingIt) {
    // fontconfig configured with no font directories finds nothing at all.
    hlvtest::TempDataFolder folder;
    const std::string conf = "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" + folder.root() +
                             "cache</cachedir></fontconfig>\n";
    folder.writeRoot("fonts.conf", std::vector<uint8_t>(conf.begin(), conf.end()));
    const std::string config = folder.root() + "fonts.conf";
    const char* previous = std::getenv("FONTCONFIG_FILE");
    const std::string saved = previous ? previous : "";
    setenv("FONTCONFIG_FILE", config.c_str(), 1);
    try {
        renderText(0, 0, 40, "H", "Nowhere Sans", buf.data(), kW, kH);
        ADD_FAILURE() << "no error";
    } catch (const FatalError& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("Nowhere Sans")) << e.what();
    }
    if (previous) setenv("FONTCONFIG_FILE", saved.c_str(), 1);
    else unsetenv("FONTCONFIG_FILE");
    EXPECT_TRUE(guardIntact());
    draw(0, 0, 40, "H");   // the face already found is kept
}

}  // namespace
