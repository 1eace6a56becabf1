// The base of everything shown in a frame: a rectangle that draws itself and
// answers mouse and key events. Views are reference counted; a frame owns
// the reference it was given in addView.
// Threads: setDirty, invalid and isDirty may be called from any thread (the
// flag is atomic); everything else, drawing and events included, happens on
// the user-interface thread only.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

#include "toolkit/CBaseObject.h"
#include "toolkit/CButtonState.h"
#include "toolkit/CRect.h"
#include "toolkit/VstKeys.h"

class CBitmap;
class CDrawContext;
class CFrame;

// Type query and copy, declared in every view class that wants its own.
#define CLASS_METHODS(name, parent)                                                 \
    const char* getClassName() const override {                                     \
        return #name;                                                               \
    }                                                                               \
    bool isTypeOf(const char* s) const override {                                   \
        return s != nullptr && (std::strcmp(s, #name) == 0 || parent::isTypeOf(s)); \
    }                                                                               \
    CView* newCopy() const override {                                               \
        return new name(*this);                                                     \
    }

#define CLASS_METHODS_NOCOPY(name, parent)                                          \
    const char* getClassName() const override {                                     \
        return #name;                                                               \
    }                                                                               \
    bool isTypeOf(const char* s) const override {                                   \
        return s != nullptr && (std::strcmp(s, #name) == 0 || parent::isTypeOf(s)); \
    }                                                                               \
    CView* newCopy() const override {                                               \
        return nullptr;                                                             \
    }

class CView : public CBaseObject {
  public:
    explicit CView(const CRect& size);
    /// Copies size, flags and background; the copy belongs to no frame.
    CView(const CView& other);
    CView& operator=(const CView&) = delete;
    ~CView() override;

    // Drawing. draw() paints the whole view; the frame calls drawRect with
    // the part being repainted and the context already clipped to it.
    virtual void draw(CDrawContext* context);
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);

    // Mouse and keys. Points are in frame coordinates. Keys answer 1 when
    // handled, -1 when not.
    virtual CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons);
    /// distance: notches, positive away from the user.
    virtual bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons);
    virtual int32_t onKeyDown(VstKeyCode& keyCode);
    virtual int32_t onKeyUp(VstKeyCode& keyCode);

    // Repaint requests (any thread).
    virtual void setDirty(bool state = true);
    virtual bool isDirty() const;
    /// Asks for a repaint of the whole view at the next idle.
    virtual void invalid() { setDirty(true); }

    const CRect& getViewSize() const { return size; }
    CRect& getViewSize(CRect& rect) const { return rect = size; }
    CCoord getWidth() const { return size.getWidth(); }
    CCoord getHeight() const { return size.getHeight(); }
    /// Moves or resizes the view; the old and new places are repainted.
    virtual void setViewSize(const CRect& rect, bool invalid = true);
    virtual bool hitTest(const CPoint& where, const CButtonState& buttons = CButtonState(-1));

    virtual void setMouseEnabled(bool enabled) { mouseEnabled = enabled; }
    bool getMouseEnabled() const { return mouseEnabled; }
    virtual void setVisible(bool state);
    bool isVisible() const { return visible; }

    // Keyboard focus, given by the frame.
    virtual void takeFocus() {}
    virtual void looseFocus() {}
    bool wantsFocus() const { return wantsFocusFlag; }
    void setWantsFocus(bool state) { wantsFocusFlag = state; }

    /// The view remembers the bitmap and forgets the one it replaces.
    virtual void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }
    CBitmap* getDrawBackground() const { return background; }

    // Membership of a frame.
    virtual bool attached(CView* parent);
    virtual bool removed(CView* parent);
    bool isAttached() const { return parentView != nullptr; }
    CView* getParentView() const { return parentView; }
    CFrame* getFrame() const { return frame; }

    virtual const char* getClassName() const { return "CView"; }
    virtual bool isTypeOf(const char* s) const {
        return s != nullptr && std::strcmp(s, "CView") == 0;
    }
    /// A new copy (reference count 1), or nullptr for views that cannot be copied.
    virtual CView* newCopy() const { return new CView(*this); }

  protected:
    CRect size;
    bool mouseEnabled = true;
    bool visible = true;
    bool wantsFocusFlag = false;
    CBitmap* background = nullptr;
    CFrame* frame = nullptr;
    CView* parentView = nullptr;

  private:
    std::atomic<bool> dirty{true};
};
