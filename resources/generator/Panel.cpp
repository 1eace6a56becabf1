// The window panel: matte dark surface, wooden cheeks, meter wells, field and
// readout plates, every caption, the printed scales of the silver knobs, the
// product logo over the info hot spot and the preset strip along the bottom.
// Captions are placed through a checker that refuses any caption hidden by a
// control or touching another caption, so a layout change cannot silently
// make the panel unreadable.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Artwork.h"
#include "Layout.h"

namespace zelto::art {

namespace {

using namespace layout;
namespace pal = palette;

// The silver knobs' body radius; their printed scales ring it.
constexpr double kKnobRadius = 18.0;

// Places captions and refuses overlaps with controls and with each other.
class Captions {
  public:
    explicit Captions(cairo_t* cr) : cr_(cr) {}

    void keepOut(const Rect& r, const char* what) { keepOut_.push_back({toBox(r), what}); }
    void keepOut(const Box& b, const char* what) { keepOut_.push_back({b, what}); }
    void keepOutCircle(double cx, double cy, double r, const char* what) {
        circles_.push_back({cx, cy, r, what});
    }

    void put(const TextStyle& style, const std::string& text, double x, double baseline,
             Align align = Align::Centre, const char* allowedOver = nullptr) {
        const Box box = measureText(cr_, style, text, x, baseline, align);
        check(box, text, allowedOver);
        drawText(cr_, style, text, x, baseline, align);
        placed_.push_back({box, text});
    }

    // A label centred on a point, pushed outward along a ray until its box
    // clears a circle of `clearRadius` around (cx, cy).
    void putOnRay(const TextStyle& style, const std::string& text, double cx, double cy,
                  double angleDeg, double clearRadius) {
        const double s = std::sin(radians(angleDeg)), c = -std::cos(radians(angleDeg));
        const Box probe = measureText(cr_, style, text, 0, 0, Align::Centre);
        const double w = probe.right - probe.left, h = probe.bottom - probe.top;
        const double d = clearRadius + 0.5 * (std::fabs(s) * w + std::fabs(c) * h);
        const double px = cx + s * d, py = cy + c * d;
        // Baseline so the ink box is centred on the point.
        const double baseline = py - (probe.top + probe.bottom) / 2.0;
        const double x = px - (probe.left + probe.right) / 2.0;
        put(style, text, x, baseline, Align::Centre);
    }

    bool ok() const { return ok_; }

  private:
    void check(const Box& box, const std::string& text, const char* allowedOver) {
        const Box window{kCheekWidth + 1.0, 1.0, kWindowWidth - kCheekWidth - 1.0,
                         kWindowHeight - 1.0};
        if (box.left < window.left || box.right > window.right || box.top < window.top ||
            box.bottom > window.bottom) {
            fail(text, "the window edge or the cheeks");
        }
        for (const auto& k : keepOut_) {
            if (allowedOver != nullptr && std::string(allowedOver) == k.what) continue;
            if (box.intersects(k.box, 0.0)) fail(text, k.what);
        }
        for (const auto& c : circles_) {
            const double nx = std::clamp(c.x, box.left, box.right);
            const double ny = std::clamp(c.y, box.top, box.bottom);
            if (std::hypot(nx - c.x, ny - c.y) < c.r) fail(text, c.what);
        }
        for (const auto& p : placed_) {
            if (box.intersects(p.box, 1.0)) fail(text, ("caption '" + p.text + "'").c_str());
        }
    }

    void fail(const std::string& text, const std::string& what) {
        std::fprintf(stderr, "zelto_artwork: caption '%s' collides with %s\n", text.c_str(),
                     what.c_str());
        ok_ = false;
    }

    struct KeepOut {
        Box box;
        const char* what;
    };
    struct Circle {
        double x, y, r;
        const char* what;
    };
    struct Placed {
        Box box;
        std::string text;
    };
    cairo_t* cr_;
    std::vector<KeepOut> keepOut_;
    std::vector<Circle> circles_;
    std::vector<Placed> placed_;
    bool ok_ = true;
};

const TextStyle kTitleStyle{"DejaVu Sans Condensed", 8.0, true, 0.9, pal::kTitle};
const TextStyle kLabelStyle{"DejaVu Sans Condensed", 7.0, false, 0.2, pal::kLabel};
const TextStyle kScaleStyle{"DejaVu Sans Condensed", 6.5, false, 0.0, pal::kLabel};

void paintBase(cairo_surface_t* s) {
    cairo_t* cr = cairo_create(s);
    cairo_pattern_t* g = verticalGradient(0, pal::kPanelTop, kStripTop, pal::kPanelBottom);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
    cairo_destroy(cr);

    // A faint matte grain, too fine to see as a pattern.
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < kStripTop; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < kWindowWidth; ++x) {
            const int d = int(std::lround((hashNoise(x, y, 7) - 0.5) * 4.0));
            uint32_t px = row[x];
            int r = int((px >> 16) & 255) + d, gg = int((px >> 8) & 255) + d, b = int(px & 255) + d;
            r = std::clamp(r, 0, 255), gg = std::clamp(gg, 0, 255), b = std::clamp(b, 0, 255);
            row[x] = 0xFF000000u | uint32_t(r) << 16 | uint32_t(gg) << 8 | uint32_t(b);
        }
    }
    cairo_surface_mark_dirty(s);
}

// Oiled walnut: vertical grain with slow meanders, shaded as a rounded piece.
void paintCheeks(cairo_surface_t* s) {
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const Rgb dark = rgb(58, 33, 18), light = rgb(132, 82, 46);
    for (int side = 0; side < 2; ++side) {
        for (int y = 0; y < kStripTop; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
            for (int lx = 0; lx < kCheekWidth; ++lx) {
                const int x = side == 0 ? lx : kWindowWidth - 1 - lx;
                const double wx = x + side * 37.0;  // each cheek its own board
                const double g = wx + 5.0 * smoothNoise(wx / 7.0, y / 55.0, 11) +
                                 1.6 * smoothNoise(wx / 2.5, y / 13.0, 12);
                const double stripe = 0.5 + 0.5 * std::sin(g * 1.9);
                const double fine = hashNoise(x, y / 4, 13);
                double t = 0.30 + 0.45 * stripe * stripe * stripe + 0.18 * fine;
                Rgb c = mix(dark, light, std::clamp(t, 0.0, 1.0));
                // Rounded board: light across the middle, dark at both edges,
                // darkest where it meets the panel.
                const double across = (lx + 0.5) / kCheekWidth;
                double k = 0.70 + 0.38 * std::sin(kPi * across);
                if (lx == kCheekWidth - 1) k *= 0.55;
                if (lx == 0) k *= 0.8;
                if (y == 0) k *= 1.15;
                if (y >= kStripTop - 2) k *= 0.6;
                c = shade(c, k);
                row[x] = 0xFF000000u | uint32_t(std::lround(c.r * 255)) << 16 |
                         uint32_t(std::lround(c.g * 255)) << 8 | uint32_t(std::lround(c.b * 255));
            }
        }
    }
    cairo_surface_mark_dirty(s);
}

// A recess: shadow on the upper and left edge, a lit lip below and right.
void recess(cairo_t* cr, const Rect& r, Rgb inside) {
    fillRect(cr, r.left - 1, r.top - 1, r.width() + 2, r.height() + 2, rgb(64, 67, 72));
    fillRect(cr, r.left - 1, r.top - 1, r.width() + 1, r.height() + 1, rgb(12, 12, 13));
    fillRect(cr, r.left, r.top, r.width(), r.height(), inside);
}

void paintStrip(cairo_t* cr) {
    cairo_pattern_t* g =
        verticalGradient(kStripTop, rgb(30, 31, 34), kWindowHeight, rgb(21, 22, 24));
    cairo_set_source(cr, g);
    cairo_rectangle(cr, 0, kStripTop, kWindowWidth, kWindowHeight - kStripTop);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    fillRect(cr, 0, kStripTop, kWindowWidth, 1, rgb(11, 11, 12));
    fillRect(cr, 0, kStripTop + 1, kWindowWidth, 1, rgb(52, 54, 58));

    // The name field, and the program menu as a small drop-down button.
    recess(cr, kNameField, pal::kNameLight);
    const Rect m = kProgramMenu;
    cairo_pattern_t* face = verticalGradient(m.top, rgb(70, 74, 80), m.bottom, rgb(44, 47, 52));
    roundedRect(cr, m.left + 0.5, m.top + 0.5, m.width() - 1, m.height() - 1, 2);
    cairo_set_source(cr, face);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(face);
    setColour(cr, rgb(12, 12, 13));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    setColour(cr, rgb(200, 206, 214));
    const double cx = m.centreX(), cy = m.centreY() + 1;
    cairo_move_to(cr, cx - 3.5, cy - 2);
    cairo_line_to(cr, cx + 3.5, cy - 2);
    cairo_line_to(cr, cx, cy + 2);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void engrave(cairo_t* cr, double x, double y0, double y1) {
    fillRect(cr, x, y0, 1, y1 - y0, rgb(20, 21, 23));
    fillRect(cr, x + 1, y0, 1, y1 - y0, rgb(58, 61, 66));
}

struct Tick {
    double value;  // 0 … 1 along the knob's travel
    int weight;    // 0 minor, 1 major
};
struct ScaleLabel {
    double value;
    const char* text;
};

double knobAngle(double v) {
    return -135.0 + 270.0 * v;
}

void knobScale(cairo_t* cr, Captions& captions, const Rect& knob, const std::vector<Tick>& ticks,
               const std::vector<ScaleLabel>& labels) {
    const double cx = knob.centreX(), cy = knob.centreY();
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    for (const Tick& t : ticks) {
        const double a = radians(knobAngle(t.value));
        const double s = std::sin(a), c = -std::cos(a);
        const double r0 = kKnobRadius + 2.5, r1 = kKnobRadius + (t.weight ? 7.0 : 5.0);
        setColour(cr, t.weight ? rgb(176, 182, 190) : pal::kTick);
        cairo_set_line_width(cr, t.weight ? 1.3 : 1.0);
        cairo_move_to(cr, cx + s * r0, cy + c * r0);
        cairo_line_to(cr, cx + s * r1, cy + c * r1);
        cairo_stroke(cr);
    }
    for (const ScaleLabel& l : labels) {
        captions.putOnRay(kScaleStyle, l.text, cx, cy, knobAngle(l.value), kKnobRadius + 8.0);
    }
}

std::vector<Tick> evenTicks(int steps, std::initializer_list<int> majors) {
    std::vector<Tick> ticks;
    for (int i = 0; i <= steps; ++i) {
        int w = 0;
        for (int m : majors) w |= (m == i);
        ticks.push_back({double(i) / steps, w});
    }
    return ticks;
}

// Release runs from 1 ms to 1000 ms along v^0.82 of a log scale.
double releaseValue(double ms) {
    return std::pow(std::log10(ms) / 3.0, 1.0 / 0.82030212);
}

void knobScales(cairo_t* cr, Captions& c) {
    knobScale(cr, c, kTransientKnob, evenTicks(10, {0, 5, 10}),
              {{0, "0"}, {0.5, "50"}, {1, "100"}});
    knobScale(cr, c, kLinkKnob, evenTicks(10, {0, 5, 10}), {{0, "0"}, {0.5, "50"}, {1, "100"}});
    knobScale(cr, c, kLevellerKnob, evenTicks(12, {0, 6, 12}),
              {{0, "\u221212"}, {0.5, "\u22126"}, {1, "off"}});
    std::vector<Tick> release;
    for (double decade : {1.0, 10.0, 100.0}) {
        release.push_back({releaseValue(decade), 1});
        release.push_back({releaseValue(decade * 2), 0});
        release.push_back({releaseValue(decade * 5), 0});
    }
    release.push_back({1.0, 1});
    knobScale(cr, c, kReleaseKnob, release,
              {{0, "1"}, {releaseValue(10), "10"}, {releaseValue(100), "100"}, {1, "1k"}});
}

void captions(Captions& c) {
    const TextStyle& T = kTitleStyle;
    const TextStyle& L = kLabelStyle;
    // Top band: group titles over the five columns.
    c.put(T, "DETECTOR", kDetectorOrder.left + (kOversample.right - kDetectorOrder.left) / 2.0, 17);
    c.put(T, "INPUT", kMeterIn.centreX(), 17);
    c.put(T, "ATTENUATION", kMeterGR.centreX(), 17);
    c.put(T, "OUTPUT", kMeterOut.centreX(), 17);
    c.put(T, "WORDLENGTH", kQuantize.left + (kAutoblack.right - kQuantize.left) / 2.0, 17);

    c.put(L, "smooth", kDetectorOrder.centreX(), 34);
    c.put(L, "true peak", kOversample.centreX(), 34);
    c.put(L, "quantize", kQuantize.centreX(), 34);
    c.put(L, "autoblack", kAutoblack.centreX(), 34);
    c.put(L, "bit", kBits.centreX(), 106);
    c.put(L, "depth", kBits.centreX(), 114);
    c.put(L, "noise", kNoiseShape.centreX(), 106);
    c.put(L, "shaping", kNoiseShape.centreX(), 114);

    // Channel letters over the bars.
    const double half = kBarWidth / 2.0;
    for (int x : {kInBarLeftX, kOutBarLeftX, kGrBarLeftX}) c.put(L, "L", x + half, 34);
    for (int x : {kInBarRightX, kOutBarRightX, kGrBarRightX}) c.put(L, "R", x + half, 34);

    // Left column.
    c.put(T, "TRANSIENT", kTransShape.centreX(), 105);
    const char* shapes[] = {"hard", "med", "soft"};
    for (int i = 0; i < 3; ++i) c.put(L, shapes[i], kTransShape.left + 10 + 33 * i, 117);
    // Each knob's title sits nearer its knob than the value field above it.
    c.put(T, "RELEASE", kReleaseKnob.centreX(), 257);
    c.put(T, "DRIVE", kDriveDial.centreX(), 347);
    c.put(L, "post", kPostMeter.centreX(), 364);

    // Right column.
    c.put(T, "LEVELLER", kLevellerKnob.centreX(), 152);
    c.put(T, "LINK", kLinkKnob.centreX(), 255);
    c.put(T, "OUTPUT", kOutputDial.centreX(), 347);
    c.put(L, "auto", kAutoOut.centreX(), 364);

    // Middle column.
    c.put(T, "SHOW ATTENUATION",
          kAttShowLim2.left + (kAttShowLevel.right - kAttShowLim2.left) / 2.0, 224);
    c.put(L, "zoom", kAttZoom.centreX(), 261);
    c.put(L, "mode", kMode.centreX(), 302);
    c.put(L, "recon", kMeterOvs.centreX(), 302);
    c.put(L, "calib", kCalibrate.centreX(), 337);
}

void logo(cairo_t* cr, Captions& c) {
    const double cx = kLogo.centreX();
    const TextStyle maker{"DejaVu Sans", 6.5, true, 2.6, pal::kAccent};
    const TextStyle name{"DejaVu Sans", 15.0, true, 2.2, rgb(226, 230, 236)};
    const Box m = measureText(cr, maker, "KRW", cx, 379);
    c.put(maker, "KRW", cx, 379, Align::Centre, "the logo");
    c.put(name, "ZELTO", cx + 1, 396, Align::Centre, "the logo");
    // Hairlines either side of the maker's name.
    const double y = std::round((m.top + m.bottom) / 2.0);
    fillRect(cr, kLogo.left + 4, y, m.left - 4 - (kLogo.left + 4), 1, shade(pal::kAccent, 0.6));
    fillRect(cr, m.right + 4, y, kLogo.right - 4 - (m.right + 4), 1, shade(pal::kAccent, 0.6));
}

void presetStripLabels(Captions& c) {
    const TextStyle memo{"DejaVu Sans Condensed", 8.0, true, 0.0, pal::kLabel};
    c.put(memo, "A", (kStoreA.right + kRecallA.left) / 2.0, 458);
    c.put(memo, "B", (kStoreB.right + kRecallB.left) / 2.0, 458);
}

void keepControlsClear(Captions& c) {
    const Rect buttons[] = {kDetectorOrder, kOversample,   kMode,      kQuantize,   kAutoblack,
                            kBits,          kNoiseShape,   kCalibrate, kAttZoom,    kAttShowLim1,
                            kAttShowLim2,   kAttShowLevel, kMeterOvs,  kTransShape, kPower,
                            kDriveDial,     kOutputDial,   kAutoOut,   kPostMeter};
    for (const Rect& r : buttons) c.keepOut(r, "a control");
    for (const Rect& r : {kTransientKnob, kReleaseKnob, kLevellerKnob, kLinkKnob}) {
        c.keepOutCircle(r.centreX(), r.centreY(), kKnobRadius + 2.0, "a knob");
    }
    const Rect fields[] = {kDriveField,    kOutputField, kTransientField, kReleaseField,
                           kLevellerField, kLinkField,   kReadoutIn,      kReadoutOut,
                           kReadoutGR,     kNameField,   kProgramMenu};
    for (const Rect& r : fields)
        c.keepOut(Rect{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1}, "a field");
    for (const Rect& r : {kMeterIn, kMeterOut, kMeterGR}) {
        c.keepOut(Rect{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1}, "a meter");
    }
    const Rect strip[] = {kRocker,     kSaveBank,      kDefaultBank, kLoadBank,
                          kSavePreset, kDefaultPreset, kLoadPreset,  kStoreA,
                          kRecallA,    kStoreB,        kRecallB,     kManual};
    for (const Rect& r : strip) c.keepOut(r, "a preset strip button");
    c.keepOut(kLogo, "the logo");
}

}  // namespace

cairo_surface_t* drawPanel() {
    cairo_surface_t* s = newImage(kWindowWidth, kWindowHeight);
    paintBase(s);
    paintCheeks(s);

    cairo_t* cr = cairo_create(s);
    useEvenText(cr);
    paintStrip(cr);

    // Engraved lines setting the metering core apart from the side columns.
    engrave(cr, 139, 12, 404);
    engrave(cr, 386, 12, 404);

    // Meter wells: the bars and scales are drawn into them.
    recess(cr, Rect{146, 37, 208, 409}, pal::kWell);
    recess(cr, Rect{318, 37, 380, 409}, pal::kWell);
    recess(cr, Rect{232, 38, 292, 193}, pal::kWell);

    // Plates under the fields and readouts, in the colours the views type on.
    for (const Rect& r : {kTransientField, kReleaseField, kLevellerField, kLinkField}) {
        recess(cr, r, pal::kFieldLight);
    }
    for (const Rect& r : {kDriveField, kOutputField}) recess(cr, r, pal::kFieldDark);
    for (const Rect& r : {kReadoutIn, kReadoutOut, kReadoutGR}) recess(cr, r, pal::kLcdLight);

    Captions c(cr);
    keepControlsClear(c);
    captions(c);
    knobScales(cr, c);
    logo(cr, c);
    presetStripLabels(c);
    cairo_destroy(cr);

    if (!c.ok()) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return s;
}

}  // namespace zelto::art
