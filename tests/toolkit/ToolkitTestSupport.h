// Helpers for the toolkit tests: views and listeners that record what
// reaches them, an editor that records automation gestures, bitmaps with
// known pixels, and a settable clock for double clicks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/vstgui.h"

namespace zelto::test {

/// A view that paints itself in one colour and logs every event.
class ProbeView : public CView {
  public:
    ProbeView(const CRect& size, CColor color, std::vector<std::string>* log = nullptr,
              const char* name = "probe")
        : CView(size), color(color), log(log), name(name) {}

    CMouseEventResult downResult = kMouseEventHandled;
    CMouseEventResult moveResult = kMouseEventHandled;
    bool wheelResult = true;
    int32_t keyResult = 1;
    int32_t draws = 0;
    int32_t lastButtons = 0;
    int32_t lastDownButtons = 0;
    CPoint lastWhere;
    float lastWheel = 0;

    void draw(CDrawContext* context) override {
        ++draws;
        context->setFillColor(color);
        context->drawRect(getViewSize(), kDrawFilled);
        setDirty(false);
    }
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override {
        record("down", where, buttons);
        lastDownButtons = buttons();
        return downResult;
    }
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override {
        record("up", where, buttons);
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override {
        record("move", where, buttons);
        return moveResult;
    }
    CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons) override {
        record("enter", where, buttons);
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons) override {
        record("exit", where, buttons);
        return kMouseEventHandled;
    }
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override {
        lastWheel = distance;
        record("wheel", where, buttons);
        return wheelResult;
    }
    int32_t onKeyDown(VstKeyCode& key) override {
        if (log != nullptr) log->push_back(name + ":key " + std::to_string(key.character));
        return keyResult;
    }

    CColor color;

  private:
    void record(const char* what, const CPoint& where, const CButtonState& buttons) {
        lastWhere = where;
        lastButtons = buttons();
        if (log != nullptr) log->push_back(name + ":" + what);
    }
    std::vector<std::string>* log;
    std::string name;
};

struct ListenerCall {
    int32_t tag;
    float value;
};

/// Records value changes and edit brackets, in order.
class RecordingListener : public CControlListener {
  public:
    void valueChanged(CControl* control) override {
        calls.push_back({control->getTag(), control->getValue()});
        events.push_back("changed");
    }
    void controlBeginEdit(CControl*) override { events.push_back("begin"); }
    void controlEndEdit(CControl*) override { events.push_back("end"); }

    std::vector<ListenerCall> calls;
    std::vector<std::string> events;
};

/// Records the gestures the frame passes to its editor.
class RecordingEditor : public VSTGUIEditorInterface {
  public:
    void beginEdit(int32_t index) override { gestures.push_back("begin " + std::to_string(index)); }
    void endEdit(int32_t index) override { gestures.push_back("end " + std::to_string(index)); }
    int32_t getKnobMode() const override { return knobMode; }

    std::vector<std::string> gestures;
    int32_t knobMode = kLinearMode;
};

/// A bitmap whose pixel (x, y) is opaque 0xRRGGBB = (x, y, 77): every
/// slice shows where it came from.
inline CBitmap* makeCoordinateBitmap(int32_t width, int32_t height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            pixels[static_cast<size_t>(y * width + x)] = 0xff000000u |
                                                         (static_cast<uint32_t>(x) << 16) |
                                                         (static_cast<uint32_t>(y) << 8) | 77u;
        }
    }
    return new CBitmap(width, height, pixels.data());
}

/// A bitmap of one opaque colour.
inline CBitmap* makeSolidBitmap(int32_t width, int32_t height, uint32_t rgb) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height),
                                 0xff000000u | rgb);
    return new CBitmap(width, height, pixels.data());
}

/// A frame with a settable clock, released at the end of the test.
class TestFrame {
  public:
    explicit TestFrame(const CRect& size = CRect(0, 0, 200, 100),
                       VSTGUIEditorInterface* editor = nullptr)
        : frame(new CFrame(size, editor)) {
        frame->setTickSource([this] { return now; });
    }
    ~TestFrame() { frame->forget(); }
    TestFrame(const TestFrame&) = delete;
    TestFrame& operator=(const TestFrame&) = delete;

    CFrame* operator->() const { return frame; }
    CFrame* get() const { return frame; }

    CFrame* frame;
    uint32_t now = 100000;
};

inline bool sameColor(const CColor& a, const CColor& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

}  // namespace zelto::test
