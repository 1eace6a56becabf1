// A font by family name, pixel size and style. On Linux "Arial" (and
// "Helvetica") are drawn with Liberation Sans, which has the same metrics,
// and any other family not installed here with DejaVu Sans; Windows draws
// Arial itself. Set up on the user-interface
// thread; read-only while views draw.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/CBaseObject.h"
#include "toolkit/CPoint.h"

enum CTxtFace : int32_t {
    kNormalFace = 0,
    kBoldFace = 1 << 1,
    kItalicFace = 1 << 2,
    kUnderlineFace = 1 << 3,
};

class CFontDesc : public CBaseObject {
  public:
    CFontDesc(const char* name = "", CCoord size = 0, int32_t style = kNormalFace);

    const std::string& getName() const { return name; }
    void setName(const char* newName) { name = newName != nullptr ? newName : ""; }
    CCoord getSize() const { return size; }
    void setSize(CCoord newSize) { size = newSize; }
    int32_t getStyle() const { return style; }
    void setStyle(int32_t newStyle) { style = newStyle; }

    /// The installed family actually used to draw this font.
    const char* getRenderFamily() const;

  private:
    std::string name;
    CCoord size;
    int32_t style;
};

using CFontRef = CFontDesc*;

// The standard fonts. They live for the whole process; remember/forget on
// them is harmless.
extern const CFontRef kSystemFont;           // "Arial" 12
extern const CFontRef kNormalFontVeryBig;    // "Arial" 18
extern const CFontRef kNormalFontBig;        // "Arial" 14
extern const CFontRef kNormalFont;           // "Arial" 12
extern const CFontRef kNormalFontSmall;      // "Arial" 11
extern const CFontRef kNormalFontSmaller;    // "Arial" 10
extern const CFontRef kNormalFontVerySmall;  // "Arial" 9
