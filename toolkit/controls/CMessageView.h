// A small message shown over the frame as its modal view: an optional
// caption, the text, and "OK". Any click, Enter or Escape closes it, and the
// frame takes its modal slot back. Plug-ins may not open windows of their
// own at will in every host, so messages live inside the plug-in's window.
// User-interface thread only.
#pragma once

#include <functional>
#include <string>

#include "toolkit/CView.h"

class CMessageView : public CView {
  public:
    /// A message centred in frameSize.
    CMessageView(const CRect& frameSize, std::string caption, std::string text);

    /// Shows it as the frame's modal view; false when another view is modal.
    /// The frame owns the view from then on.
    static bool show(CFrame* frame, const std::string& caption, const std::string& text);

    const std::string& getCaption() const { return caption; }
    const std::string& getText() const { return text; }
    /// Closes it as a click would.
    void dismiss();

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;

    CLASS_METHODS_NOCOPY(CMessageView, CView)

  private:
    std::string caption;
    std::string text;
    bool closing = false;
};
