// The picture of a render; see Plot.h. Levels are kept per 10 ms bin while
// the render runs and reduced to one value per pixel column when drawn, so
// every peak shows however long the file is.
#include "tools/analysis/Plot.h"

#include <cairo.h>
#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/FileIO.h"
#include "tools/audio/SignalMeter.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"

namespace zelto {

namespace {

struct Rgb {
    double r, g, b;
};
constexpr Rgb rgb(int r, int g, int b) {
    return {r / 255.0, g / 255.0, b / 255.0};
}

// The plug-in window's palette: a dark, calm panel with blue accents and the
// meters' own colours for what the meters show there.
constexpr Rgb kPanelTop = rgb(46, 48, 52);
constexpr Rgb kPanelBottom = rgb(34, 36, 39);
constexpr Rgb kWell = rgb(17, 18, 20);
constexpr Rgb kTitle = rgb(212, 216, 222);
constexpr Rgb kLabel = rgb(150, 157, 166);
constexpr Rgb kTick = rgb(118, 124, 132);
constexpr Rgb kAccent = rgb(72, 162, 255);
constexpr Rgb kAccentLight = rgb(150, 205, 255);
constexpr Rgb kWarn = rgb(240, 78, 56);
constexpr Rgb kOrange = rgb(255, 140, 0);
constexpr Rgb kYellow = rgb(255, 214, 0);
constexpr Rgb kGreen = rgb(40, 200, 64);

constexpr int kMarkedPeaks = 5;

void colour(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

enum class Align { Left, Centre, Right };

void text(cairo_t* cr, double x, double y, const std::string& s, double size, Rgb c,
          bool bold = false, Align align = Align::Left) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e{};
    cairo_text_extents(cr, s.c_str(), &e);
    const double dx = align == Align::Left     ? 0.0
                      : align == Align::Centre ? e.x_advance / 2
                                               : e.x_advance;
    colour(cr, c);
    cairo_move_to(cr, x - dx, y);
    cairo_show_text(cr, s.c_str());
}

double toDbOr(double linear, double floorDb) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : floorDb;
}

std::string signedText(double v, int decimals) {
    std::string s = formatFixed(v, decimals);
    if (v > 0.0 && s.find_first_not_of("0.") != std::string::npos) s = "+" + s;
    return s;
}

/// A round step for axis ticks giving at most `maxTicks` over `span`.
double niceStep(double span, int maxTicks) {
    static const double kSteps[] = {0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600};
    for (double s : kSteps) {
        if (span / s <= maxTicks) return s;
    }
    return 1200.0;
}

/// Maximum of `values` over bins [b0, b1), or `none` when the range is empty.
double maxOver(const std::vector<float>& values, int64_t b0, int64_t b1, double none) {
    b0 = std::max<int64_t>(b0, 0);
    b1 = std::min<int64_t>(b1, static_cast<int64_t>(values.size()));
    double m = none;
    bool any = false;
    for (int64_t b = b0; b < b1; ++b) {
        const double v = values[static_cast<size_t>(b)];
        if (!any || v > m) m = v;
        any = true;
    }
    return any ? m : none;
}

void panelFrame(cairo_t* cr, const PlotPanel& p, double seconds, double dbStep, const char* unit) {
    colour(cr, kWell);
    cairo_rectangle(cr, p.left, p.top, p.width, p.height);
    cairo_fill(cr);
    cairo_set_line_width(cr, 1.0);
    for (double db = p.topDb; db >= p.bottomDb - 1e-9; db -= dbStep) {
        const double y = p.row(db) + 0.5;
        colour(cr, kTick, 0.22);
        cairo_move_to(cr, p.left, y);
        cairo_line_to(cr, p.right() + 1, y);
        cairo_stroke(cr);
        text(cr, p.left - 8, y + 4, signedText(db, 0), 11, kLabel, false, Align::Right);
    }
    const double step = niceStep(seconds, 12);
    for (double t = step; t < seconds - 1e-9; t += step) {
        const double x = p.column(t, seconds) + 0.5;
        colour(cr, kTick, 0.18);
        cairo_move_to(cr, x, p.top);
        cairo_line_to(cr, x, p.bottom() + 1);
        cairo_stroke(cr);
    }
    text(cr, p.left - 8, p.top - 6, unit, 10, kTick, false, Align::Right);
}

/// Drawn over the data, on a patch of the well, so it stays legible.
void panelHeading(cairo_t* cr, const PlotPanel& p, const char* heading) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 11);
    cairo_text_extents_t e{};
    cairo_text_extents(cr, heading, &e);
    colour(cr, kWell, 0.8);
    cairo_rectangle(cr, p.left + 4, p.top + 4, e.x_advance + 8, 17);
    cairo_fill(cr);
    text(cr, p.left + 8, p.top + 16, heading, 11, kTitle, true);
}

/// Text drawing fills font caches inside cairo and fontconfig that live as
/// long as the process. A picture is the last text zelto draws, so they are
/// emptied after it and a leak checker sees only what zelto itself keeps.
/// fontconfig comes in with cairo; its clean-up is looked up, not linked.
void releaseTextCaches() {
    cairo_debug_reset_static_data();
    using Fini = void (*)();
    if (auto fini = reinterpret_cast<Fini>(dlsym(RTLD_DEFAULT, "FcFini"))) fini();
}

cairo_status_t appendPng(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

LevelPlot::LevelPlot(std::optional<double> targetLufs, std::optional<double> ceilingDb)
    : target_(targetLufs), ceiling_(ceilingDb) {}

LevelPlot::~LevelPlot() {
    if (meter_ != nullptr) ebur128_destroy(&meter_);
}

void LevelPlot::begin(int channels, int sampleRate) {
    channels_ = channels;
    rate_ = sampleRate;
    binFrames_ = std::max(1, sampleRate / 100);
    if (meter_ != nullptr) ebur128_destroy(&meter_);
    meter_ = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate),
                          EBUR128_MODE_S | EBUR128_MODE_TRUE_PEAK);
    pending_.clear();
    pending_.reserve(static_cast<size_t>(binFrames_ * channels));
}

void LevelPlot::input(const double* frames, int64_t count) {
    for (int64_t i = 0; i < count; ++i, ++inFrames_) {
        const auto bin = static_cast<size_t>(inFrames_ / binFrames_);
        if (inPeak_.size() <= bin) inPeak_.resize(bin + 1, 0.0f);
        for (int c = 0; c < channels_; ++c) {
            const auto a = static_cast<float>(std::fabs(frames[i * channels_ + c]));
            inPeak_[bin] = std::max(inPeak_[bin], a);
        }
    }
}

void LevelPlot::output(const double* frames, int64_t count) {
    for (int64_t i = 0; i < count; ++i, ++outFrames_) {
        const auto bin = static_cast<size_t>(outFrames_ / binFrames_);
        if (outPeak_.size() <= bin) outPeak_.resize(bin + 1, 0.0f);
        for (int c = 0; c < channels_; ++c) {
            const double x = frames[i * channels_ + c];
            outPeak_[bin] = std::max(outPeak_[bin], static_cast<float>(std::fabs(x)));
            pending_.push_back(x);
        }
        if (static_cast<int64_t>(pending_.size()) == binFrames_ * channels_) closeOutputBin();
    }
}

void LevelPlot::closeOutputBin() {
    if (pending_.empty()) return;
    if (meter_ == nullptr) {  // no meter: peaks only, and nothing may pile up
        pending_.clear();
        return;
    }
    ebur128_add_frames_double(meter_, pending_.data(),
                              pending_.size() / static_cast<size_t>(channels_));
    double peak = 0.0;
    for (int c = 0; c < channels_; ++c) {
        double p = 0.0;
        if (ebur128_prev_true_peak(meter_, static_cast<unsigned>(c), &p) == EBUR128_SUCCESS) {
            peak = std::max(peak, p);
        }
    }
    outTruePeak_.push_back(static_cast<float>(peak));
    if (outTruePeak_.size() % 10 == 0) {
        double st = -std::numeric_limits<double>::infinity();
        ebur128_loudness_shortterm(meter_, &st);
        shortTerm_.push_back(static_cast<float>(st));
    }
    pending_.clear();
}

void LevelPlot::gainReduction(int64_t firstFed, int count, double db) {
    if (count <= 0) return;
    const auto b0 = static_cast<size_t>(firstFed / binFrames_);
    const auto b1 = static_cast<size_t>((firstFed + count - 1) / binFrames_);
    if (reduction_.size() <= b1) reduction_.resize(b1 + 1, 0.0f);
    for (size_t b = b0; b <= b1; ++b)
        reduction_[b] = std::max(reduction_[b], static_cast<float>(db));
}

void LevelPlot::write(const std::string& path, const RenderReport& report) {
    closeOutputBin();
    const int64_t frames = report.outputFrames;
    const double seconds = rate_ > 0 ? static_cast<double>(frames) / rate_ : 0.0;
    // The gain the plug-in reports for a process call acts on audio that
    // leaves it `latency` frames later.
    const int64_t shift = report.compensated ? report.latency : 0;

    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, kPlotWidth, kPlotHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_pattern_t* bg = cairo_pattern_create_linear(0, 0, 0, kPlotHeight);
    cairo_pattern_add_color_stop_rgb(bg, 0, kPanelTop.r, kPanelTop.g, kPanelTop.b);
    cairo_pattern_add_color_stop_rgb(bg, 1, kPanelBottom.r, kPanelBottom.g, kPanelBottom.b);
    cairo_set_source(cr, bg);
    cairo_paint(cr);
    cairo_pattern_destroy(bg);

    // Title, the numbers of the report, and the legend.
    std::string name = report.output;
    if (const auto slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
    text(cr, 24, 28, "KRW ZELTO  " + name, 16, kTitle, true);
    auto level = [](double v, const char* unit) {
        return std::isfinite(v) ? signedText(v, 2) + " " + unit : std::string("-inf ") + unit;
    };
    std::string sub = "in " + level(report.in.loudnessLufs, "LUFS") + ", " +
                      level(report.in.truePeakDb, "dBTP") + "    out " +
                      level(report.out.loudnessLufs, "LUFS") + ", " +
                      level(report.out.truePeakDb, "dBTP");
    if (report.maxGainReductionDb) {
        sub += "    gain reduction max " + formatFixed(*report.maxGainReductionDb, 2) + " dB";
    }
    text(cr, 24, 50, sub, 12, kLabel);
    {
        struct Item {
            const char* label;
            Rgb c;
            bool line;
        };
        const Item items[] = {{"input peak", kLabel, false},
                              {"output peak", kAccent, false},
                              {"largest true peaks", kWarn, false},
                              {"gain reduction", kOrange, false},
                              {"short-term loudness", kGreen, true},
                              {target_ ? "target" : "integrated", kYellow, true}};
        double x = 640;
        for (int k = 0; k < 6; ++k) {
            const Item& it = items[k];
            const double y = k < 3 ? 22 : 44;
            if (k == 3) x = 640;
            colour(cr, it.c);
            if (it.line) {
                cairo_rectangle(cr, x, y - 5, 14, 2);
            } else {
                cairo_rectangle(cr, x, y - 9, 14, 10);
            }
            cairo_fill(cr);
            text(cr, x + 20, y, it.label, 11, kLabel);
            x += 180;
        }
    }

    // Columns as crisp one-pixel bars: every 10 ms bin under a column counts.
    const int width = kPlotLevels.width;
    auto binsOf = [&](int c, int64_t offset) {
        const int64_t f0 = frames * c / width + offset, f1 = frames * (c + 1) / width + offset;
        const int64_t b0 = f0 / binFrames_;
        return std::pair<int64_t, int64_t>{b0,
                                           std::max(b0 + 1, (f1 + binFrames_ - 1) / binFrames_)};
    };
    // The floor follows the quiet passages: the level nearly every column
    // of input or output reaches (digital silence aside).
    std::vector<double> columnPeaks;
    for (int c = 0; c < width && frames > 0; ++c) {
        const auto [b0, b1] = binsOf(c, 0);
        for (const auto* v : {&inPeak_, &outPeak_}) {
            const double peak = maxOver(*v, b0, b1, 0.0);
            if (peak > 0.0) columnPeaks.push_back(20.0 * std::log10(peak));
        }
    }
    double quietDb = kPlotLevels.bottomDb + 6.0;
    if (!columnPeaks.empty()) {
        std::sort(columnPeaks.begin(), columnPeaks.end());
        quietDb = columnPeaks[columnPeaks.size() / 50];
    }
    const PlotPanel levels = plotLevelsFor(quietDb);

    panelFrame(cr, levels, seconds, levels.topDb - levels.bottomDb > 60.0 ? 12 : 6, "dBFS");
    panelFrame(cr, kPlotReduction, seconds, 6, "dB");
    panelFrame(cr, kPlotLoudness, seconds, 6, "LUFS");

    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    const double floorDb = levels.bottomDb - 1.0;
    for (int c = 0; c < width && frames > 0; ++c) {
        const auto [b0, b1] = binsOf(c, 0);
        const double in = toDbOr(maxOver(inPeak_, b0, b1, 0.0), floorDb);
        const double out = toDbOr(maxOver(outPeak_, b0, b1, 0.0), floorDb);
        const int x = levels.left + c;
        colour(cr, kLabel, 0.45);
        cairo_rectangle(cr, x, levels.row(in), 1, levels.bottom() + 1 - levels.row(in));
        cairo_fill(cr);
        colour(cr, kAccent, 0.85);
        cairo_rectangle(cr, x, levels.row(out), 1, levels.bottom() + 1 - levels.row(out));
        cairo_fill(cr);

        // The input's envelope also as an edge over the output, so a
        // driven-up output cannot hide it.
        if (c > 0) {
            const auto [p0, p1] = binsOf(c - 1, 0);
            const int before = levels.row(toDbOr(maxOver(inPeak_, p0, p1, 0.0), floorDb));
            const int now = levels.row(in);
            colour(cr, kTitle, 0.95);
            cairo_rectangle(cr, x, std::min(before, now) - 1, 1, std::abs(now - before) + 2);
            cairo_fill(cr);
        }

        const auto [g0, g1] = binsOf(c, shift);
        const double gr = maxOver(reduction_, g0, g1, 0.0);
        if (gr > 0.0) {
            const int y1 = kPlotReduction.row(-gr);
            colour(cr, kOrange, 0.9);
            cairo_rectangle(cr, x, kPlotReduction.top, 1, y1 + 1 - kPlotReduction.top);
            cairo_fill(cr);
        }
    }

    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    // Short-term loudness, one point per 100 ms at the end of its window.
    cairo_set_line_width(cr, 1.6);
    colour(cr, kGreen);
    bool drawing = false;
    for (size_t k = 0; k < shortTerm_.size(); ++k) {
        // A short-term window is only whole once 3 s of audio exist; before
        // that its reading is the fade-in of its zero-filled start.
        const double v = shortTerm_[k];
        if (k + 1 < 30 || !std::isfinite(v) || v < kPlotLoudness.bottomDb) {
            drawing = false;
            continue;
        }
        const double x = kPlotLoudness.column(0.1 * static_cast<double>(k + 1), seconds) + 0.5;
        const double y = kPlotLoudness.row(v) + 0.5;
        if (drawing) {
            cairo_line_to(cr, x, y);
        } else {
            cairo_move_to(cr, x, y);
        }
        drawing = true;
    }
    cairo_stroke(cr);

    // The target (or the integrated loudness) as one solid row, over the
    // curve: it is the reference the curve is read against.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    const double lineLufs = target_ ? *target_ : report.out.loudnessLufs;
    if (std::isfinite(lineLufs)) {
        const int y = kPlotLoudness.row(lineLufs);
        colour(cr, kYellow);
        cairo_rectangle(cr, kPlotLoudness.left, y, kPlotLoudness.width, 1);
        cairo_fill(cr);
        text(cr, kPlotLoudness.right() - 6, y - 5,
             (target_ ? "target " : "integrated ") + formatFixed(lineLufs, 1) + " LUFS", 11,
             kYellow, false, Align::Right);
    }

    // The true-peak ceiling, across the level panel.
    if (ceiling_) {
        const int y = levels.row(*ceiling_);
        colour(cr, kWarn);
        cairo_rectangle(cr, levels.left, y, levels.width, 1);
        cairo_fill(cr);
    }

    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);

    // The largest true peaks, each a label's width (80 px) from the others.
    // (0.70795 is -3 dB.)
    std::vector<size_t> order(outTruePeak_.size());
    for (size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return outTruePeak_[a] > outTruePeak_[b]; });
    std::vector<size_t> marked;
    const double apart = 80.0 / levels.width * static_cast<double>(outTruePeak_.size());
    for (size_t k : order) {
        // Only peaks that matter next to the largest: within 3 dB of it.
        if (static_cast<int>(marked.size()) == kMarkedPeaks || outTruePeak_[k] <= 0.0f ||
            outTruePeak_[k] < outTruePeak_[order.front()] * 0.70795) {
            break;
        }
        bool near = false;
        for (size_t m : marked) near = near || std::fabs(static_cast<double>(k) - m) < apart;
        if (!near) marked.push_back(k);
    }
    // Labels go left to right, each one line lower when it would run into
    // one already placed.
    std::sort(marked.begin(), marked.end());
    std::vector<std::pair<double, double>> placed;  // x extent per line, as (right edge, line)
    for (size_t k : marked) {
        const double t = (static_cast<double>(k) + 0.5) * binFrames_ / rate_;
        const double db = toDb(outTruePeak_[k]);
        const double x = levels.column(t, seconds) + 0.5;
        const double y = std::max<double>(levels.row(db), levels.top + 22);
        colour(cr, kWarn);
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x - 5, y - 9);
        cairo_line_to(cr, x + 5, y - 9);
        cairo_close_path(cr);
        cairo_fill(cr);
        const std::string label = signedText(db, 2) + " dBTP";
        const double labelWidth = 70;
        const bool roomRight = x < levels.right() - labelWidth - 10;
        const double x0 = roomRight ? x + 7 : x - 7 - labelWidth;
        double line = 0;
        for (const auto& [rightEdge, l] : placed) {
            if (rightEdge > x0 && l >= line) line = l + 1;
        }
        placed.emplace_back(x0 + labelWidth, line);
        text(cr, roomRight ? x + 7 : x - 7, y - 4 + 13 * line, label, 10, kAccentLight, false,
             roomRight ? Align::Left : Align::Right);
    }
    panelHeading(cr, kPlotLevels, "LEVEL");
    if (ceiling_) {
        // Named in the heading's row, on a ground of its own: beside the line
        // it would run into the labels of the peaks that come near it.
        const std::string label = "ceiling " + signedText(*ceiling_, 1) + " dBTP";
        cairo_set_font_size(cr, 11);
        cairo_text_extents_t e{};
        cairo_text_extents(cr, label.c_str(), &e);
        colour(cr, kWell, 0.8);
        cairo_rectangle(cr, levels.left + 62, levels.top + 4, e.x_advance + 8, 17);
        cairo_fill(cr);
        text(cr, levels.left + 66, levels.top + 16, label, 11, kWarn);
    }
    panelHeading(cr, kPlotReduction, "GAIN REDUCTION");
    panelHeading(cr, kPlotLoudness, "SHORT-TERM LOUDNESS (3 s)");

    // The time axis under the last panel.
    const double step = niceStep(seconds, 12);
    for (double t = 0.0; t <= seconds + 1e-9; t += step) {
        text(cr, kPlotLoudness.column(t, seconds), kPlotLoudness.bottom() + 18, formatShortest(t),
             11, kLabel, false, Align::Centre);
    }
    text(cr, kPlotLoudness.right(), kPlotLoudness.bottom() + 34, "seconds", 10, kTick, false,
         Align::Right);

    cairo_destroy(cr);
    std::string png;
    const cairo_status_t status = cairo_surface_write_to_png_stream(surface, appendPng, &png);
    cairo_surface_destroy(surface);
    releaseTextCaches();
    if (status != CAIRO_STATUS_SUCCESS) {
        throw ToolError(kExitOutput,
                        "cannot write plot '" + path + "': " + cairo_status_to_string(status));
    }
    std::string why;
    if (!writeFileAtomically(path, png.data(), png.size(), &why)) {
        throw ToolError(kExitOutput,
                        "cannot write plot '" + path + "': " + why + "; nothing was written");
    }
}

}  // namespace zelto
