// Editor: window, idle loop and snapshots.
#include "editor/Editor.h"

#include <cairo/cairo.h>

#include <vector>

#include "editor/MyFrame.h"
#include "host/Plugin.h"
#include "platform/FileIO.h"
#include "platform/TickCount.h"

Editor::Editor(Plugin* effect)
    : CPresetSystemEditor(effect), plugin_(effect) {
    rect = ERect{0, 0, kHeight, kWidth};
    lastIdleTick_ = now();
    prefsFlashTick_ = lastIdleTick_;
    if (effect != nullptr) effect->setEditor(this);
}

Editor::~Editor() {
    // The window must be gone before the object it reports to.
    if (frame != nullptr) close();
}

uint32_t Editor::now() const { return tickSource_ ? tickSource_() : zelto::tickCount(); }

void Editor::setTickSource(std::function<uint32_t()> source) {
    tickSource_ = std::move(source);
    lastIdleTick_ = now();
}

bool Editor::open(void* parentWindow) {
    AEffGUIEditor::open(parentWindow);
    CBitmap* background = new CBitmap(CResourceDescription(kBackgroundId));
    // Without the image the window keeps its catalogued size.
    if (background->getWidth() != kWidth || background->getHeight() != kHeight) {
        background->forget();
        background = new CBitmap(static_cast<CCoord>(kWidth), static_cast<CCoord>(kHeight));
    }
    frame = new MyFrame(background, parentWindow, this);
    background->forget();
    return true;
}

void Editor::close() { AEffGUIEditor::close(); }

void Editor::idle() {
    const uint32_t tick = now();
    if (static_cast<int32_t>(tick - lastIdleTick_) < static_cast<int32_t>(kIdleIntervalMs)) return;
    ++idlePasses_;
    AEffGUIEditor::idle();
    lastIdleTick_ = tick;
}

void Editor::valueChanged(CControl* /*control*/) {}

namespace {

cairo_status_t appendPng(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

bool Editor::snapshotPng(const std::string& path) {
    const bool hadWindow = frame != nullptr;
    if (!hadWindow) open(nullptr);
    bool ok = false;
    if (frame != nullptr) {
        frame->updateOffscreen();
        std::vector<uint8_t> png;
        ok = cairo_surface_write_to_png_stream(frame->getSurface(), appendPng, &png) ==
                 CAIRO_STATUS_SUCCESS &&
             zelto::writeFileAtomically(path, png.data(), png.size());
    }
    if (!hadWindow) close();
    return ok;
}
