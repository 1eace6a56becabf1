// A text field edited in place. A click (or the keyboard focus) starts an
// edit with the whole text selected; typing replaces it, the caret moves
// with the arrow, Home and End keys, Backspace and Delete erase. Enter, Tab
// or a click elsewhere (focus loss) commit: the string-to-value function,
// if any, turns the text into the value, and the listener hears of it
// inside an edit bracket; nothing is sent when the text did not change.
// Escape cancels. Only printable ASCII is typed (names and numbers).
// Shown text: the value-to-string function of the value when one is set,
// else the text.
// Threads: setText, getText and setValue may be called from any thread;
// editing, drawing and events happen on the user-interface thread.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "toolkit/controls/CParamDisplay.h"

class CTextEdit : public CParamDisplay {
  public:
    /// Reads txt into result (which holds the current value on entry);
    /// false when the text cannot be used, and nothing changes.
    using StringToValueFunction =
        std::function<bool(const char* txt, float& result, CTextEdit* textEdit)>;

    CTextEdit(const CRect& size, CControlListener* listener, int32_t tag, const char* txt = nullptr,
              CBitmap* background = nullptr, int32_t style = 0);
    CTextEdit(const CTextEdit& other);

    void setText(const char* txt);
    std::string getText() const;
    void setStringToValueFunction(StringToValueFunction function);
    std::string getDisplayText() override;
    /// Longest text that can be typed (255 at most).
    void setMaxChars(int32_t count);
    int32_t getMaxChars() const { return maxChars; }

    // The edit in progress (user-interface thread).
    bool isTextEditActive() const { return active; }
    const std::string& getEditText() const { return buffer; }
    size_t getCaretPosition() const { return caret; }
    bool isAllSelected() const { return allSelected; }
    /// Ends an edit in progress, committing or discarding it.
    void endTextEdit(bool commitChanges);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;
    int32_t onKeyUp(VstKeyCode& keyCode) override;
    void takeFocus() override;
    void looseFocus() override;

    CLASS_METHODS(CTextEdit, CParamDisplay)

  protected:
    void drawEditing(CDrawContext* context);
    void commit();
    void insertCharacter(char c);
    void releaseFocus();

    mutable std::mutex textMutex;
    std::string text;
    StringToValueFunction stringToValue;
    int32_t maxChars = 255;

    bool active = false;
    std::string original;
    std::string buffer;
    size_t caret = 0;
    bool allSelected = false;
    // Caret x positions (frame pixels) of the last drawn edit, for clicks.
    std::vector<CCoord> caretX;
};
