// Shows a value as text: background bitmap (drawn from backOffset) or a
// filled and framed box, then the text in its font and colour, aligned in
// the box. The text comes from the value-to-string function, or "%.2f" of
// the value, always with '.' as the decimal point.
// Threads: setValue from any thread (the text is made when drawing, on the
// user-interface thread); set-up and drawing on the user-interface thread.
#pragma once

#include <functional>
#include <string>

#include "toolkit/CColor.h"
#include "toolkit/CControl.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/CFontDesc.h"

class CParamDisplay : public CControl {
  public:
    /// Writes the text for value into utf8String (256 bytes, zero-terminated)
    /// and answers true; false falls back to the default "%.2f".
    using ValueToStringFunction =
        std::function<bool(float value, char utf8String[256], CParamDisplay* display)>;

    CParamDisplay(const CRect& size, CBitmap* background = nullptr, int32_t style = 0);
    CParamDisplay(const CParamDisplay& other);
    ~CParamDisplay() override;

    void draw(CDrawContext* context) override;

    void setValueToStringFunction(ValueToStringFunction function);
    /// The text the display shows for its current value.
    virtual std::string getDisplayText();

    /// The display remembers the font and forgets the one it replaces.
    void setFont(CFontRef newFont);
    CFontRef getFont() const { return font; }
    void setFontColor(const CColor& color);
    const CColor& getFontColor() const { return fontColor; }
    void setBackColor(const CColor& color);
    const CColor& getBackColor() const { return backColor; }
    void setFrameColor(const CColor& color);
    const CColor& getFrameColor() const { return frameColor; }
    void setShadowColor(const CColor& color);
    const CColor& getShadowColor() const { return shadowColor; }
    void setHoriAlign(CHoriTxtAlign align);
    CHoriTxtAlign getHoriAlign() const { return horiTxtAlign; }
    /// Where in the background bitmap the display's top-left is taken from.
    void setBackOffset(const CPoint& offset);
    const CPoint& getBackOffset() const { return backOffset; }
    void setTextInset(const CPoint& inset);
    const CPoint& getTextInset() const { return textInset; }
    void setStyle(int32_t newStyle);
    int32_t getStyle() const { return style; }
    /// Without a background bitmap, draws no box at all.
    void setTransparency(bool state);
    bool getTransparency() const { return transparent; }

    CLASS_METHODS(CParamDisplay, CControl)

  protected:
    virtual void drawBack(CDrawContext* context);
    virtual void drawText(CDrawContext* context, const std::string& text);

    ValueToStringFunction valueToString;
    CFontRef font = nullptr;
    CColor fontColor{kWhiteCColor};
    CColor backColor{kBlackCColor};
    CColor frameColor{kBlackCColor};
    CColor shadowColor{kRedCColor};
    CHoriTxtAlign horiTxtAlign = kCenterText;
    CPoint backOffset;
    CPoint textInset;
    int32_t style;
    bool transparent = false;
};
