// A view with a value: range, default, wheel step, tag, listener and the
// begin/end-edit bracket that becomes a host automation gesture.
// Threads: setValue, getValue and the dirty flag may be used from any
// thread (the value is atomic, and a changed value counts as dirty, so the
// next idle repaints it); everything else is for the user-interface thread.
#pragma once

#include <atomic>

#include "toolkit/CControlListener.h"
#include "toolkit/CView.h"

// Style bits of the controls that take a style.
enum CControlStyle : int32_t {
    kHorizontal = 1 << 0,
    kVertical = 1 << 1,
    kShadowText = 1 << 2,
    kCheckStyle = 1 << 3,  // option menu: check mark on the current entry
    kNoTextStyle = 1 << 11,
    kNoDrawStyle = 1 << 12,
    kNoFrame = 1 << 14,
    kPopupStyle = 1 << 16,
};

class CControl : public CView {
  public:
    CControl(const CRect& size, CControlListener* listener = nullptr, int32_t tag = 0,
             CBitmap* background = nullptr);
    CControl(const CControl& other);

    // Value (any thread). setValue stores as given; bounceValue limits.
    virtual void setValue(float newValue) { value.store(newValue, std::memory_order_relaxed); }
    virtual float getValue() const { return value.load(std::memory_order_relaxed); }
    /// 0..1 over the range; values outside are limited first.
    virtual void setValueNormalized(float normalized);
    virtual float getValueNormalized() const;
    float getOldValue() const { return oldValue.load(std::memory_order_relaxed); }

    virtual void setMin(float v) { vmin = v; }
    float getMin() const { return vmin; }
    virtual void setMax(float v) { vmax = v; }
    float getMax() const { return vmax; }
    float getRange() const { return vmax - vmin; }
    virtual void setDefaultValue(float v) { defaultValue = v; }
    float getDefaultValue() const { return defaultValue; }
    virtual void setWheelInc(float v) { wheelInc = v; }
    float getWheelInc() const { return wheelInc; }

    virtual void setTag(int32_t newTag) { tag = newTag; }
    int32_t getTag() const { return tag; }
    virtual void setListener(CControlListener* newListener) { listener = newListener; }
    CControlListener* getListener() const { return listener; }

    /// Start and end of a user gesture: the listener and the frame's editor
    /// hear of it (the editor turns it into the host's automation bracket).
    virtual void beginEdit();
    virtual void endEdit();
    bool isEditing() const { return editing; }
    /// Tells the listener the user changed the value.
    virtual void valueChanged();
    /// Limits the value to min..max.
    virtual void bounceValue();
    /// Left click with exactly Control held: restores the default value
    /// (telling the listener inside an edit bracket if it changed) and
    /// answers true; any other click answers false.
    virtual bool checkDefaultValue(CButtonState buttons);

    // A changed value makes the control dirty until it is drawn.
    void setDirty(bool state = true) override;
    bool isDirty() const override;

    const char* getClassName() const override { return "CControl"; }
    bool isTypeOf(const char* s) const override {
        return s != nullptr && (std::strcmp(s, "CControl") == 0 || CView::isTypeOf(s));
    }

  protected:
    CControlListener* listener;
    int32_t tag;
    std::atomic<float> value{0.0f};
    std::atomic<float> oldValue{0.0f};
    float vmin = 0.0f;
    float vmax = 1.0f;
    float defaultValue = 0.5f;
    float wheelInc = 0.1f;
    bool editing = false;
};
