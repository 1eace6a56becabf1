// Previews of the whole window for judging the artwork by eye: every control
// drawn from its strip at a chosen frame, meters with levels on them, the
// readouts printed with the bitmap font the way the readouts print, and the
// text fields typed in the toolkit's font. Two states: factory defaults, and
// a busy session (K-14 metering, requantizing, calibration running).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "Artwork.h"
#include "Layout.h"

namespace zelto::art {

namespace {

using namespace layout;
namespace pal = palette;

void frameAt(cairo_t* cr, const ImageSet& images, int id, const Rect& at, int frame) {
    blitPart(cr, images.get(id), 0, frame * at.height(), at.width(), at.height(), at.left, at.top);
}

void knobAt(cairo_t* cr, const ImageSet& images, int id, const Rect& at, double v) {
    frameAt(cr, images, id, at, int(std::floor(100 * v)));
}

// The bitmap-font printer: cells of 6 × 8, y is the baseline row.
void print(cairo_t* cr, const ImageSet& images, int font, double x, double y,
           const std::string& text, bool inverted, Rgb cell) {
    for (unsigned char c : text) {
        int g = (c & 127) - 32 + (inverted ? 96 : 0);
        if (g < 0 || g > 191) g = 0;
        fillRect(cr, x, y - 7, 6, 8, cell);
        blitPart(cr, images.get(font), 0, 8 * g, 5, 8, int(x), int(y - 7));
        x += 6;
    }
}

void peakReadout(cairo_t* cr, const ImageSet& images, const Rect& r, double dbL, double dbR,
                 int shift) {
    const double x0 = r.left, y1 = r.bottom;
    print(cr, images, 137, x0 + 35, y1 - 2, shift ? "    " : "dBFS", false, pal::kLcdLight);
    if (shift) print(cr, images, 137, x0 + 38, y1 - 2, "dBr", false, pal::kLcdLight);
    for (int ch = 0; ch < 2; ++ch) {
        const double db = ch == 0 ? dbL : dbR;
        char text[16];
        std::snprintf(text, sizeof text, "%+2.1f", db + shift);
        const double bx = x0 + (ch == 0 ? 1 : 61);
        const int len = int(std::string(text).size());
        const bool over = db > 0;
        fillRect(cr, bx, y1 - 10, 31, 9, over ? pal::kOverRed : pal::kLcdDark);
        print(cr, images, over ? 138 : 137, bx + 1 + 3 * (5 - len), y1 - 2, text, true,
              over ? pal::kOverRed : pal::kLcdDark);
    }
}

void grReadout(cairo_t* cr, const ImageSet& images, double db) {
    const Rect& r = kReadoutGR;
    print(cr, images, 137, r.left + 41, r.bottom - 2, "dB", false, pal::kLcdLight);
    for (int ch = 0; ch < 2; ++ch) {
        char text[16];
        std::snprintf(text, sizeof text, "%2.1f", db - ch * 0.4);
        const double bx = r.left + (ch == 0 ? 1 : 61);
        fillRect(cr, bx, r.bottom - 10, 31, 9, pal::kLcdDark);
        const int len = int(std::string(text).size());
        print(cr, images, 137, bx + 1 + 3 * (5 - len), r.bottom - 2, text, true, pal::kLcdDark);
    }
}

int barPixels(double db, double offset) {
    return std::clamp(int((db + offset) * 6 + 0.5), 0, 360);
}

// One channel of a bar meter in peak mode (offset 48) or a K mode (offset 60,
// colour base 432, 420 or 384, with the held peak as a 3-pixel marker).
void bar(cairo_t* cr, const ImageSet& images, int x, double rmsDb, double peakDb, int kBase) {
    if (kBase == 0) {
        const int h = barPixels(peakDb, 48);
        blitPart(cr, images.get(130), 0, 408 - h, kBarWidth, h, x, kBarBottom - h);
        blitPart(cr, images.get(155), 0, 48, kBarWidth, 360 - h, x, kBarTop);
        return;
    }
    const int h = barPixels(rmsDb, 60);
    blitPart(cr, images.get(154), 0, kBase - h, kBarWidth, h, x, kBarBottom - h);
    blitPart(cr, images.get(129), 0, kBase - 360, kBarWidth, 360 - h, x, kBarTop);
    const int p = barPixels(peakDb, 60);
    if (p > 2) blitPart(cr, images.get(154), 0, kBase - p, kBarWidth, 3, x, kBarBottom - p);
}

void grMeter(cairo_t* cr, const ImageSet& images, double db, bool zoom) {
    blitPart(cr, images.get(167), 0, zoom ? kMeterGR.height() : 0, kMeterGR.width(),
             kMeterGR.height(), kMeterGR.left, kMeterGR.top);
    const int k = zoom ? 12 : 6;
    for (int ch = 0; ch < 2; ++ch) {
        const double d = db - ch * 0.4;
        const int n = d > -0.1 ? 0 : std::clamp(1 - int(d * k - 0.5), 0, 145);
        blitPart(cr, images.get(156), 0, 0, kBarWidth, n, ch == 0 ? kGrBarLeftX : kGrBarRightX,
                 kBarTop);
    }
}

void field(cairo_t* cr, const Rect& r, const std::string& text, Rgb colour) {
    const TextStyle style{"Liberation Sans", 10.0, false, 0.0, colour};
    drawText(cr, style, text, r.centreX(), r.bottom - 5);
}

void presetStrip(cairo_t* cr, const ImageSet& images) {
    frameAt(cr, images, 991, kSaveBank, 0);
    frameAt(cr, images, 992, kDefaultBank, 0);
    frameAt(cr, images, 990, kLoadBank, 1);
    frameAt(cr, images, 991, kSavePreset, 0);
    frameAt(cr, images, 993, kDefaultPreset, 0);
    frameAt(cr, images, 990, kLoadPreset, 0);
    frameAt(cr, images, 995, kRocker, 2);
    frameAt(cr, images, 991, kStoreA, 0);
    frameAt(cr, images, 990, kRecallA, 2);
    frameAt(cr, images, 991, kStoreB, 0);
    frameAt(cr, images, 990, kRecallB, 0);
    frameAt(cr, images, 989, kManual, 0);
    const Rect& n = kNameField;
    cairo_rectangle(cr, n.left + 0.5, n.top + 0.5, n.width() - 1, n.height() - 1);
    setColour(cr, rgb(36, 36, 32));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    field(cr, n, "Default", rgb(36, 36, 32));
}

cairo_surface_t* preview(const ImageSet& images, bool busy) {
    cairo_surface_t* s = crop(images.get(128), 0, 0, kWindowWidth, kWindowHeight);
    cairo_t* cr = cairo_create(s);
    useCrispText(cr);
    frameAt(cr, images, 139, kDetectorOrder, busy ? 1 : 0);
    frameAt(cr, images, 140, kOversample, busy ? 1 : 0);
    frameAt(cr, images, 141, kMode, busy ? 4 : 0);
    frameAt(cr, images, 162, kQuantize, busy ? 1 : 0);
    frameAt(cr, images, 163, kAutoblack, busy ? 1 : 0);
    frameAt(cr, images, 142, kBits, busy ? 5 : 1);
    frameAt(cr, images, 143, kNoiseShape, busy ? 5 : 0);
    frameAt(cr, images, 145, kCalibrate, busy ? 3 : 0);
    frameAt(cr, images, 144, kAttZoom, busy ? 1 : 0);
    frameAt(cr, images, 164, kAttShowLim1, 1);
    frameAt(cr, images, 165, kAttShowLim2, busy ? 0 : 1);
    frameAt(cr, images, 166, kAttShowLevel, busy ? 2 : 1);
    frameAt(cr, images, 160, kMeterOvs, busy ? 1 : 0);
    frameAt(cr, images, 146, kTransShape, busy ? 2 : 0);
    frameAt(cr, images, 149, kPower, 1);
    frameAt(cr, images, 161, kAutoOut, busy ? 1 : 0);
    frameAt(cr, images, 161, kPostMeter, busy ? 2 : 0);
    knobAt(cr, images, 152, kTransientKnob, busy ? 0.55 : 0.2);
    knobAt(cr, images, 153, kReleaseKnob, busy ? 0.31 : 0.7237);
    knobAt(cr, images, 147, kLevellerKnob, busy ? 0.62 : 1.0);
    knobAt(cr, images, 148, kLinkKnob, busy ? 0.8 : 1.0);
    knobAt(cr, images, 150, kDriveDial, busy ? 0.62 : 0.5);
    knobAt(cr, images, 151, kOutputDial, busy ? 0.975 : 1.0);

    const Rgb fieldInk = rgb(39, 39, 39), dialInk = rgb(213, 236, 246);
    field(cr, kDriveField, busy ? "+5.76dB" : "+0.00dB", dialInk);
    field(cr, kOutputField, busy ? "-0.30dB" : "+0.00dB", dialInk);
    field(cr, kTransientField, busy ? "55.0%" : "20.0%", fieldInk);
    field(cr, kReleaseField, busy ? "13.7ms" : "200.0ms", fieldInk);
    field(cr, kLevellerField, busy ? "-4.56dB" : "off", fieldInk);
    field(cr, kLinkField, busy ? "80.0%" : "100.0%", fieldInk);

    // Meter scales and bars. Busy: K-14 with the scale's own base.
    const int kBase = busy ? 420 : 0;
    const int scaleIn = busy ? 132 : 133, scaleOut = busy ? 135 : 136;
    blit(cr, images.get(scaleIn), kScaleInX, kScaleY);
    blit(cr, images.get(scaleOut), kScaleOutX, kScaleY);
    bar(cr, images, kInBarLeftX, -16.5, -3.2, kBase);
    bar(cr, images, kInBarRightX, -18.0, -5.9, kBase);
    bar(cr, images, kOutBarLeftX, -11.0, busy ? -0.3 : 0.4, kBase);
    bar(cr, images, kOutBarRightX, -12.5, -1.1, kBase);
    grMeter(cr, images, busy ? -4.6 : -7.5, busy);
    peakReadout(cr, images, kReadoutIn, -3.2, -5.9, busy ? 14 : 0);
    peakReadout(cr, images, kReadoutOut, busy ? -0.3 : 0.4, -1.1, busy ? 14 : 0);
    grReadout(cr, images, busy ? -4.6 : -7.5);
    presetStrip(cr, images);
    cairo_destroy(cr);
    return s;
}

cairo_surface_t* enlarged(cairo_surface_t* src, int factor) {
    const int w = cairo_image_surface_get_width(src), h = cairo_image_surface_get_height(src);
    cairo_surface_t* s = newImage(w * factor, h * factor);
    cairo_t* cr = cairo_create(s);
    cairo_scale(cr, factor, factor);
    cairo_set_source_surface(cr, src, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_destroy(cr);
    return s;
}

}  // namespace

bool writePreviews(const ImageSet& images, const std::string& dir) {
    bool ok = true;
    for (int busy = 0; busy < 2; ++busy) {
        cairo_surface_t* p = preview(images, busy != 0);
        cairo_surface_t* big = enlarged(p, 2);
        const std::string name = dir + (busy ? "/preview-busy" : "/preview");
        ok &= cairo_surface_write_to_png(p, (name + ".png").c_str()) == CAIRO_STATUS_SUCCESS;
        ok &= cairo_surface_write_to_png(big, (name + "@2x.png").c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(big);
        cairo_surface_destroy(p);
    }
    return ok;
}

}  // namespace zelto::art
