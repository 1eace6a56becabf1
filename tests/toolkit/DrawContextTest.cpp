// Drawing lands on exact pixels: fills, frames, lines, bitmap slices, clip.
#include "ToolkitTestSupport.h"
#include "toolkit/platform/NativeSurface.h"

namespace zelto::test {
namespace {

// An opaque image of the platform's backend (cairo or GDI) with a context.
class Canvas {
  public:
    Canvas(int w = 40, int h = 30) : surface(zelto::toolkit::createOpaqueSurface(w, h)) {
        context = std::make_unique<CDrawContext>(surface);
        context->setFillColor(kBlackCColor);
        context->drawRect(CRect(0, 0, w, h), kDrawFilled);
    }
    ~Canvas() {
        context.reset();
        zelto::toolkit::releaseSurface(surface);
    }
    uint32_t at(int x, int y) { return zelto::toolkit::surfacePixel(surface, x, y); }
    int count(uint32_t rgb) {
        int n = 0;
        for (int y = 0; y < zelto::toolkit::surfaceHeight(surface); ++y) {
            for (int x = 0; x < zelto::toolkit::surfaceWidth(surface); ++x) n += at(x, y) == rgb;
        }
        return n;
    }
    NativeSurface* surface;
    std::unique_ptr<CDrawContext> context;
};

TEST(DrawContext, FilledRectangleCoversExactlyItsPixels) {
    Canvas c;
    c.context->setFillColor(CColor(255, 0, 0));
    c.context->drawRect(CRect(3, 4, 13, 9), kDrawFilled);
    EXPECT_EQ(c.count(0xff0000), 10 * 5);
    EXPECT_EQ(c.at(3, 4), 0xff0000u);
    EXPECT_EQ(c.at(12, 8), 0xff0000u);
    EXPECT_EQ(c.at(13, 8), 0u);
    EXPECT_EQ(c.at(12, 9), 0u);
    EXPECT_EQ(c.at(2, 4), 0u);
}

TEST(DrawContext, FrameIsABandInsideTheRectangle) {
    Canvas c;
    c.context->setFrameColor(CColor(0, 255, 0));
    c.context->setLineWidth(1);
    c.context->drawRect(CRect(10, 10, 20, 20), kDrawStroked);
    EXPECT_EQ(c.count(0x00ff00), 36);  // 10 x 10 ring, one pixel wide
    EXPECT_EQ(c.at(10, 10), 0x00ff00u);
    EXPECT_EQ(c.at(19, 19), 0x00ff00u);
    EXPECT_EQ(c.at(11, 11), 0u);
    EXPECT_EQ(c.at(20, 19), 0u);

    c.context->setFillColor(CColor(0, 0, 255));
    c.context->setLineWidth(3);
    c.context->drawRect(CRect(0, 0, 10, 10), kDrawFilledAndStroked);
    EXPECT_EQ(c.at(2, 2), 0x00ff00u);
    EXPECT_EQ(c.at(3, 3), 0x0000ffu);
    EXPECT_EQ(c.count(0x0000ff), 4 * 4);
}

TEST(DrawContext, OnePixelLinesRunOnPixelCentres) {
    Canvas c;
    c.context->setFrameColor(CColor(255, 255, 255));
    c.context->drawLine(CPoint(5, 7), CPoint(15, 7));
    EXPECT_EQ(c.count(0xffffff), 10);
    EXPECT_EQ(c.at(5, 7), 0xffffffu);
    EXPECT_EQ(c.at(14, 7), 0xffffffu);
    EXPECT_EQ(c.at(15, 7), 0u);
    c.context->drawLine(CPoint(2, 0), CPoint(2, 4));
    EXPECT_EQ(c.at(2, 0), 0xffffffu);
    EXPECT_EQ(c.at(2, 3), 0xffffffu);
    EXPECT_EQ(c.at(1, 1), 0u);
    EXPECT_EQ(c.at(3, 1), 0u);
}

TEST(DrawContext, WideLinesAlongARowOrColumnAreCentredOnIt) {
    Canvas c;
    c.context->setFrameColor(CColor(255, 255, 255));
    c.context->setLineWidth(3);
    c.context->drawLine(CPoint(4, 10), CPoint(14, 10));
    EXPECT_EQ(c.count(0xffffff), 3 * 10);
    EXPECT_EQ(c.at(4, 9), 0xffffffu);
    EXPECT_EQ(c.at(13, 11), 0xffffffu);
    EXPECT_EQ(c.at(14, 10), 0u);
    EXPECT_EQ(c.at(4, 8), 0u);
    EXPECT_EQ(c.at(4, 12), 0u);
    c.context->setFrameColor(CColor(0, 0, 255));
    c.context->setLineWidth(2);
    c.context->drawLine(CPoint(30, 2), CPoint(30, 7));
    EXPECT_EQ(c.count(0x0000ff), 2 * 5);
    EXPECT_EQ(c.at(29, 2), 0x0000ffu);
    EXPECT_EQ(c.at(30, 6), 0x0000ffu);
    EXPECT_EQ(c.at(31, 2), 0u);
    EXPECT_EQ(c.at(30, 7), 0u);
}

TEST(DrawContext, BitmapSliceComesFromTheSourceOffset) {
    Canvas c;
    CBitmap* strip = makeCoordinateBitmap(8, 24);
    c.context->drawBitmap(*strip, CRect(20, 10, 28, 18), CPoint(0, 8));
    // Destination (20, 10) shows source (0, 8); (27, 17) shows (7, 15).
    EXPECT_EQ(c.at(20, 10), 0x00084du);
    EXPECT_EQ(c.at(27, 17), 0x070f4du);
    EXPECT_EQ(c.at(19, 10), 0u);
    EXPECT_EQ(c.at(28, 17), 0u);
    EXPECT_EQ(c.at(20, 18), 0u);
    strip->forget();
}

TEST(DrawContext, BitmapSliceNeverReachesPastTheImage) {
    Canvas c;
    CBitmap* strip = makeCoordinateBitmap(8, 24);
    // Asks for 20 rows from row 16: only 8 exist.
    c.context->drawBitmap(*strip, CRect(0, 0, 8, 20), CPoint(0, 16));
    EXPECT_EQ(c.at(0, 7), 0x00174du);
    EXPECT_EQ(c.at(0, 8), 0u);
    // A negative offset leaves the first rows untouched.
    c.context->drawBitmap(*strip, CRect(10, 0, 18, 10), CPoint(0, -3));
    EXPECT_EQ(c.at(10, 2), 0u);
    EXPECT_EQ(c.at(10, 3), 0x00004du);
    strip->forget();
}

TEST(DrawContext, EmptyBitmapDrawsNothing) {
    Canvas c;
    CBitmap* empty = CBitmap::fromPng(reinterpret_cast<const uint8_t*>("not a png"), 9);
    EXPECT_FALSE(empty->isLoaded());
    EXPECT_EQ(empty->getWidth(), 0);
    EXPECT_EQ(empty->getHeight(), 0);
    empty->draw(c.context.get(), CRect(0, 0, 40, 30));
    EXPECT_EQ(c.count(0), 40 * 30);
    empty->forget();
    CBitmap* bad = new CBitmap(0, 5, static_cast<const uint32_t*>(nullptr));
    EXPECT_FALSE(bad->isLoaded());
    bad->forget();
}

TEST(DrawContext, TranslucentPixelsBlendOverWhatIsThere) {
    Canvas c;
    const uint32_t halfRed = 0x80ff0000u;
    CBitmap pixel(1, 1, &halfRed);
    c.context->drawBitmap(pixel, CRect(0, 0, 1, 1));
    const uint32_t p = c.at(0, 0);
    EXPECT_NEAR(static_cast<int>(p >> 16), 128, 1);
    EXPECT_EQ(p & 0xffff, 0u);
}

TEST(DrawContext, ClipLimitCannotBeWidenedByAView) {
    Canvas c;
    c.context->setClipLimit(CRect(0, 0, 10, 10));
    c.context->setClipRect(CRect(0, 0, 40, 30));
    c.context->setFillColor(CColor(255, 0, 0));
    c.context->drawRect(CRect(0, 0, 40, 30), kDrawFilled);
    EXPECT_EQ(c.count(0xff0000), 100);
}

TEST(DrawContext, TextIsAlignedInsideItsBox) {
    Canvas c(120, 20);
    c.context->setFont(kNormalFontSmaller);
    c.context->setFontColor(kWhiteCColor);
    const CCoord width = c.context->getStringWidth("MMM");
    ASSERT_GT(width, 10);
    auto inkSpan = [&c]() {
        int first = -1;
        int last = -1;
        for (int x = 0; x < 120; ++x) {
            for (int y = 0; y < 20; ++y) {
                if (c.at(x, y) != 0) {
                    if (first < 0) first = x;
                    last = x;
                }
            }
        }
        return std::pair<int, int>(first, last);
    };
    c.context->drawString("MMM", CRect(10, 0, 110, 20), kLeftText);
    auto [l1, r1] = inkSpan();
    EXPECT_LE(std::abs(l1 - 10), 2);
    c.context->setFillColor(kBlackCColor);
    c.context->drawRect(CRect(0, 0, 120, 20), kDrawFilled);
    c.context->drawString("MMM", CRect(10, 0, 110, 20), kRightText);
    auto [l2, r2] = inkSpan();
    EXPECT_LE(std::abs(r2 - 109), 2);
    c.context->setFillColor(kBlackCColor);
    c.context->drawRect(CRect(0, 0, 120, 20), kDrawFilled);
    c.context->drawString("MMM", CRect(10, 0, 110, 20), kCenterText);
    auto [l3, r3] = inkSpan();
    EXPECT_LE(std::abs((l3 + r3) / 2 - 60), 2);
    (void)r1;
    (void)l2;
}

#if !defined(_WIN32)
TEST(DrawContext, ArialIsDrawnWithItsMetricTwin) {
    EXPECT_STREQ(CFontDesc("Arial", 10).getRenderFamily(), "Liberation Sans");
    EXPECT_STREQ(CFontDesc("arial", 10).getRenderFamily(), "Liberation Sans");
    EXPECT_STREQ(CFontDesc("Comic Foo", 10).getRenderFamily(), "DejaVu Sans");
}
#endif

}  // namespace
}  // namespace zelto::test
