#include "resources/TextRaster.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

using Pixels = std::vector<uint8_t>;

TEST(BlurDecay, SinglePixelSpreadsThroughRewrittenNeighbours) {
    Pixels p(8 * 8 * 4, 0);
    std::fill_n(p.begin() + (4 * 8 + 4) * 4, 4, 255);
    ASSERT_TRUE(blurDecay(p.data(), 8, 8));
    int expected[8][8] = {};
    expected[3][4] = 62;
    const int rows[3][4] = {{62, 30, 62, 14}, {14, 10, 14, 6}, {2, 2, 2, 1}};
    for (int r = 0; r < 3; ++r) std::copy(rows[r], rows[r] + 4, &expected[4 + r][3]);
    for (int i = 0; i < 8 * 8 * 4; i += 1 + (i % 4 == 2))   // colour channels only
        EXPECT_EQ(expected[i / 32][i / 4 % 8], p[size_t(i)]) << "pixel " << i / 4 << " c" << i % 4;
}

// Sizes the pairing cannot cover, and pixel counts that are not whole
// blocks, are refused with nothing written.
TEST(BlurDecayAndAddSaturate, RefuseWithoutWriting) {
    Pixels q(16 * 4, 200);
    EXPECT_FALSE(blurDecay(q.data(), 3, 3) || blurDecay(q.data(), 8, 2) || blurDecay(q.data(), -2, 6) ||
                 blurDecay(nullptr, 8, 8));
    for (int n : {15, 0, -16}) EXPECT_FALSE(addSaturate(q.data(), q.data(), n)) << n;
    EXPECT_FALSE(addSaturate(nullptr, q.data(), 16) || addSaturate(q.data(), nullptr, 16));
    EXPECT_EQ(Pixels(16 * 4, 200), q);
}

class RenderText : public ::testing::Test {
protected:
    static constexpr int kW = 256, kH = 128, kBytes = kW * kH * 4;
    Pixels buf = Pixels(size_t(kBytes) + 256, 0xA5);   // picture, then guard bytes

    void draw(int x, int y, int height, const char* text) {
        ASSERT_TRUE(renderText(x, y, height, text, "ARIAL", buf.data(), kW, kH));
        EXPECT_EQ(Pixels(256, 0xA5), Pixels(buf.begin() + kBytes, buf.end())) << "written past the picture";
    }
    // First and last memory rows holding a lit pixel; (-1, -1) when none.
    std::pair<int, int> litRows() const {
        std::vector<int> rows;
        for (int i = 0; i < kW * kH; ++i)
            if (buf[size_t(i) * 4]) rows.push_back(i / kW);
        return rows.empty() ? std::pair{-1, -1} : std::pair{rows.front(), rows.back()};
    }
};

TEST_F(RenderText, GreyTextBottomUpInsideItsCellAndClipped) {
    draw(10, 10, 40, "");
    EXPECT_EQ(Pixels(kBytes, 0), Pixels(buf.begin(), buf.begin() + kBytes)) << "empty text, black picture";

    // The cell spans picture rows 0..59, the last 60 rows of memory.
    draw(20, 0, 60, "Hg");
    EXPECT_TRUE(litRows().first >= kH - 60 && litRows().second > kH - 20) << "the capital reaches near the cell's top";
    for (int i = 0; i < kW * kH; ++i) {
        const uint8_t* p = &buf[size_t(i) * 4];
        ASSERT_TRUE(p[0] == p[1] && p[1] == p[2] && p[3] == 0) << "pixel " << i;
    }

    // Clipped at every edge; refused, writing nothing, for bad sizes.
    draw(kW - 30, kH - 20, 80, "WWWWWWWWWWWWWWWWWWWWWWWW");
    EXPECT_TRUE(litRows().first == 0 && litRows().second < 20) << "cut at the bottom edge";
    draw(-40, -30, 80, "WWWW");
    EXPECT_EQ(kH - 1, litRows().second) << "and at the top";

    const Pixels before = buf;
    EXPECT_FALSE(renderText(0, 0, 0, "H", "ARIAL", buf.data(), kW, kH) ||
                 renderText(0, 0, 40, "H", "ARIAL", buf.data(), 0, kH) ||
                 renderText(0, 0, 40, "H", "ARIAL", nullptr, kW, kH));
    EXPECT_EQ(before, buf);
}

}  // namespace
