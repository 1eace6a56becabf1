// The artwork generator's stages. The panel is drawn first; meter scales are
// drawn over pieces of it, then composed into the window background in their
// default state; every control strip is drawn over the background pixels
// that lie under the control, so its corners and surroundings match exactly.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <map>
#include <string>

#include "Painter.h"

namespace zelto::art {

/// The drawn images by id; owns the surfaces.
class ImageSet {
  public:
    ImageSet() = default;
    ImageSet(const ImageSet&) = delete;
    ImageSet& operator=(const ImageSet&) = delete;
    ~ImageSet();

    void add(int32_t id, cairo_surface_t* surface);
    cairo_surface_t* get(int32_t id) const;  // null when absent
    const std::map<int32_t, cairo_surface_t*>& all() const { return images_; }

  private:
    std::map<int32_t, cairo_surface_t*> images_;
};

/// Draws `frames` frames of the control at window rectangle `at`, stacked
/// downwards. Each frame starts as the background under the control; `draw`
/// paints the control into a frame-sized, clipped coordinate system.
template <typename DrawFrame>
cairo_surface_t* makeStrip(cairo_surface_t* background, const Rect& at, int frames,
                           DrawFrame draw) {
    const int w = at.width(), h = at.height();
    cairo_surface_t* strip = newImage(w, h * frames);
    cairo_t* cr = cairo_create(strip);
    useCrispText(cr);
    for (int i = 0; i < frames; ++i) {
        blitPart(cr, background, at.left, at.top, w, h, 0, i * h);
        cairo_save(cr);
        cairo_translate(cr, 0, i * h);
        cairo_rectangle(cr, 0, 0, w, h);
        cairo_clip(cr);
        draw(cr, i);
        cairo_restore(cr);
    }
    cairo_destroy(cr);
    return strip;
}

/// The window without its meter scales and bars. Answers null after printing
/// a message when a caption collides with a control or another caption.
cairo_surface_t* drawPanel();

/// Meter bars, scales, the gain-reduction bar and scale (129–136, 154–156,
/// 167); the scales are drawn over the panel pixels beneath them.
void drawMeterImages(ImageSet& images, cairo_surface_t* panel);

/// The window background (128): the panel with the meters in their default
/// state (peak metering, full-range attenuation scale, nothing lit).
cairo_surface_t* composeBackground(cairo_surface_t* panel, const ImageSet& images);

/// Silver knobs (147, 148, 152, 153) and the Drive and Output dials (150, 151).
void drawKnobs(ImageSet& images, cairo_surface_t* background);

/// Buttons, switches and selectors of the window (139–146, 149, 160–166).
void drawButtons(ImageSet& images, cairo_surface_t* background);

/// The preset strip's buttons and rocker (989–995).
void drawPresetStrip(ImageSet& images, cairo_surface_t* background);

/// The two 5 × 8 bitmap fonts (137, 138).
void drawFonts(ImageSet& images);

/// Writes previews of the whole window (defaults and a busy session), at
/// 100 % and enlarged twice, into `dir`.
bool writePreviews(const ImageSet& images, const std::string& dir);

}  // namespace zelto::art
