// Helpers shared by the controls that show one frame of a vertical strip.
// Safe on any thread (pure functions).
#pragma once

#include "toolkit/vstgui.h"

namespace zelto::editor {

/// Draws frame `frame` (source offset 0, frame x frameHeight) of the
/// control's strip into its rectangle; nothing without a bitmap.
inline void drawStripFrame(CControl& control, CDrawContext* context, int32_t frame,
                           CCoord frameHeight) {
    if (CBitmap* bitmap = control.getDrawBackground()) {
        bitmap->draw(context, control.getViewSize(), CPoint(0, frame * frameHeight));
    }
}

}  // namespace zelto::editor
