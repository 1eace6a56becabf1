// Meter artwork: the lit and unlit bar strips, the six level scales, the
// gain-reduction bar and its two scales, and the window background with the
// meters in their default state.
//
// The bar strips are read through a sliding source offset (the lit part of a
// bar shows the rows the level reaches), so a row of a strip always stands for
// the same level relative to the meter's reference: row 120 is 0 dBFS in the
// peak strips and row 144 the K reference in the K strips, 6 rows per dB.
#include <algorithm>
#include <cmath>
#include <string>

#include "Artwork.h"
#include "Layout.h"

namespace zelto::art {

namespace {

using namespace layout;
namespace pal = palette;

constexpr int kStripHeight = 432;
constexpr int kPeakZeroRow = 120;  // 0 dBFS in the peak strips
constexpr int kKRefRow = 144;      // the K reference level in the K strips
constexpr int kScaleWidth = 27, kScaleHeight = 367;
constexpr int kScaleTopRow = kBarTop - kScaleY;  // the top of the bar zone in a scale image

// The lit colour of a strip row. Solid rows: the views cut bars at any row.
Rgb litColour(int row) {
    if (row < 120) return pal::kMeterRed;
    if (row < 122) return pal::kMeterOrange;
    if (row < 170) return pal::kMeterYellow;
    if (row < 180) return pal::kMeterYellowGreen;
    return pal::kMeterGreen;
}

cairo_surface_t* litBar() {
    cairo_surface_t* s = newImage(kBarWidth, kStripHeight);
    cairo_t* cr = cairo_create(s);
    for (int y = 0; y < kStripHeight; ++y) fillRect(cr, 0, y, kBarWidth, 1, litColour(y));
    cairo_destroy(cr);
    return s;
}

// Dark glass with a trace of each zone's colour, a fine line every 4 dB and
// short marks every 2 dB, counted from the strip's reference row, which gets
// a brighter line: the 0 of the scale stays visible on an unlit bar.
cairo_surface_t* unlitBar(int referenceRow) {
    cairo_surface_t* s = newImage(kBarWidth, kStripHeight);
    cairo_t* cr = cairo_create(s);
    const Rgb glass = rgb(30, 32, 35);
    for (int y = 0; y < kStripHeight; ++y) {
        fillRect(cr, 0, y, kBarWidth, 1, mix(glass, litColour(y), 0.09));
    }
    fillRect(cr, 0, 0, 1, kStripHeight, rgb(22, 23, 25));
    fillRect(cr, kBarWidth - 1, 0, 1, kStripHeight, rgb(22, 23, 25));
    for (int y = referenceRow % 12; y < kStripHeight; y += 12) {
        const bool fourDb = ((y - referenceRow) / 12) % 2 == 0;
        if (y == referenceRow) {
            fillRect(cr, 1, y, kBarWidth - 2, 1, rgb(84, 88, 94));
        } else if (fourDb) {
            fillRect(cr, 1, y, kBarWidth - 2, 1, rgb(58, 61, 67));
        } else {
            fillRect(cr, 1, y, 3, 1, rgb(64, 68, 74));
            fillRect(cr, kBarWidth - 4, y, 3, 1, rgb(64, 68, 74));
        }
    }
    cairo_destroy(cr);
    return s;
}

std::string dbLabel(int db) {
    // Appending, not literal + temporary: GCC 12 gives a false -Wrestrict for that.
    if (db > 0) return std::string("+").append(std::to_string(db));
    if (db < 0) return std::string("\u2212").append(std::to_string(-db));
    return "0";
}

// Draws a label with its ink centred vertically on a tick row.
void labelAt(cairo_t* cr, const TextStyle& style, const std::string& text, double cx, double row,
             double minTop, double maxBottom) {
    const Box probe = measureText(cr, style, text, cx, 0, Align::Centre);
    double baseline = std::round(row + 0.5 - (probe.top + probe.bottom) / 2.0);
    if (baseline + probe.top < minTop) baseline = std::ceil(minTop - probe.top);
    if (baseline + probe.bottom > maxBottom) baseline = std::floor(maxBottom - probe.bottom);
    drawText(cr, style, text, cx, baseline, Align::Centre);
}

const TextStyle kNumberStyle{"DejaVu Sans Condensed", 6.5, false, 0.0, rgb(160, 167, 176)};
const TextStyle kZeroStyle{"DejaVu Sans Condensed", 6.5, true, 0.0, rgb(236, 240, 245)};

// A level scale: `top` dB at the top of the bar zone, 6 pixels per dB down to
// 60 dB below it; ticks along both bars, a number every 4 dB.
cairo_surface_t* levelScale(cairo_surface_t* panel, int x, int top) {
    cairo_surface_t* s = crop(panel, x, kScaleY, kScaleWidth, kScaleHeight);
    cairo_t* cr = cairo_create(s);
    useCrispText(cr);
    for (int db = top; db >= top - 60; --db) {
        const int row = kScaleTopRow + (top - db) * 6;
        const int len = db % 4 == 0 ? 4 : (db % 2 == 0 ? 3 : 2);
        const Rgb c = db % 4 == 0 ? rgb(150, 156, 164) : rgb(92, 97, 104);
        fillRect(cr, 1, row, len, 1, c);
        fillRect(cr, kScaleWidth - 1 - len, row, len, 1, c);
        if (db % 4 == 0) {
            labelAt(cr, db == 0 ? kZeroStyle : kNumberStyle, dbLabel(db), kScaleWidth / 2.0 + 0.5,
                    row, 0, kScaleHeight);
        }
    }
    cairo_destroy(cr);
    return s;
}

// Gain reduction hangs down from 0 dB: green near it, through yellow, red deep.
cairo_surface_t* grBar() {
    constexpr int kHeight = 203;
    cairo_surface_t* s = newImage(kBarWidth, kHeight);
    cairo_t* cr = cairo_create(s);
    for (int y = 0; y < kHeight; ++y) {
        Rgb c;
        if (y < 24) {
            c = pal::kMeterGreen;
        } else if (y < 84) {
            c = mix(pal::kMeterGreen, pal::kMeterYellow, (y - 24) / 60.0);
        } else if (y < 144) {
            c = mix(pal::kMeterYellow, pal::kMeterRed, (y - 84) / 60.0);
        } else {
            c = pal::kMeterRed;
        }
        fillRect(cr, 0, y, kBarWidth, 1, c);
    }
    cairo_destroy(cr);
    return s;
}

// Two frames over the gain-reduction meter: 0 … −24 dB at 6 px/dB, then
// 0 … −12 dB at 12 px/dB. The bars hang from row 3 (window y 42).
cairo_surface_t* grScale(cairo_surface_t* panel) {
    const Rect& v = kMeterGR;
    const int w = v.width(), h = v.height();
    cairo_surface_t* s = newImage(w, 2 * h);
    cairo_t* cr = cairo_create(s);
    useCrispText(cr);
    const int topRow = kBarTop - v.top;
    const int lanes[] = {kGrBarLeftX - v.left, kGrBarRightX - v.left};
    const int laneBottom = topRow + 145;
    const double mid = (lanes[0] + kBarWidth + lanes[1]) / 2.0;
    for (int frame = 0; frame < 2; ++frame) {
        const int y0 = frame * h;
        blitPart(cr, panel, v.left, v.top, w, h, 0, y0);
        for (int lane : lanes) {
            fillRect(cr, lane - 1, y0 + topRow - 1, kBarWidth + 2, laneBottom - topRow + 2,
                     rgb(9, 9, 10));
            fillRect(cr, lane, y0 + topRow, kBarWidth, laneBottom - topRow, rgb(24, 25, 28));
        }
        const int pxPerDb = frame == 0 ? 6 : 12;
        const int range = frame == 0 ? 24 : 12;
        const int labelEvery = frame == 0 ? 3 : 1;
        // Ticks every 6 pixels: each dB, or each half dB when zoomed.
        for (int step = 0; step <= range * pxPerDb / 6; ++step) {
            const int row = y0 + topRow + step * 6;
            const bool wholeDb = (step * 6) % pxPerDb == 0;
            const int db = step * 6 / pxPerDb;
            const bool labelled = wholeDb && db % labelEvery == 0;
            const int len = labelled ? 4 : (wholeDb ? 3 : 2);
            const Rgb c = labelled ? rgb(150, 156, 164) : rgb(92, 97, 104);
            fillRect(cr, lanes[0] + kBarWidth + 1, row, len, 1, c);
            fillRect(cr, lanes[1] - 1 - len, row, len, 1, c);
            if (labelled) {
                labelAt(cr, db == 0 ? kZeroStyle : kNumberStyle, dbLabel(-db), mid + 0.5, row, y0,
                        y0 + h);
            }
        }
    }
    cairo_destroy(cr);
    return s;
}

}  // namespace

void drawMeterImages(ImageSet& images, cairo_surface_t* panel) {
    images.add(130, litBar());
    images.add(154, litBar());
    images.add(155, unlitBar(kPeakZeroRow));
    images.add(129, unlitBar(kKRefRow));
    // Input and output scales for K-20, K-14 and K-12 (which peak mode shares).
    const int tops[] = {20, 14, 12};
    for (int i = 0; i < 3; ++i) {
        images.add(131 + i, levelScale(panel, kScaleInX, tops[i]));
        images.add(134 + i, levelScale(panel, kScaleOutX, tops[i]));
    }
    images.add(156, grBar());
    images.add(167, grScale(panel));
}

cairo_surface_t* composeBackground(cairo_surface_t* panel, const ImageSet& images) {
    cairo_surface_t* bg = crop(panel, 0, 0, kWindowWidth, kWindowHeight);
    cairo_t* cr = cairo_create(bg);
    // Peak metering with nothing lit: the K-12 scale and the unlit peak bars,
    // which the meters read from source row 48 at the top of the bar zone.
    blit(cr, images.get(133), kScaleInX, kScaleY);
    blit(cr, images.get(136), kScaleOutX, kScaleY);
    const int barRows = kBarBottom - kBarTop;
    for (int x : {kInBarLeftX, kInBarRightX, kOutBarLeftX, kOutBarRightX}) {
        blitPart(cr, images.get(155), 0, 48, kBarWidth, barRows, x, kBarTop);
    }
    blitPart(cr, images.get(167), 0, 0, kMeterGR.width(), kMeterGR.height(), kMeterGR.left,
             kMeterGR.top);
    cairo_destroy(cr);
    return bg;
}

}  // namespace zelto::art
