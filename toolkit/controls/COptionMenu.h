// A pop-up menu of entries. A click opens the list inside the frame, as the
// frame's modal view, laid out in columns of getNbItemsPerColumn entries;
// a click on an entry selects it (the value becomes its index and the
// listener hears of it), a click outside or Escape closes the list without
// a change. With kCheckStyle the current entry carries a check mark. The
// control itself shows the current entry's title, unless kNoTextStyle or
// kNoDrawStyle say otherwise.
// Threads: titles, the current entry and the value may be set from any
// thread (a lock guards the entries); adding and removing entries, the list
// and events belong to the user-interface thread.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "toolkit/controls/CParamDisplay.h"

class CMenuItem {
  public:
    enum Flags : int32_t {
        kNoFlags = 0,
        kDisabled = 1 << 0,
        kTitle = 1 << 1,
        kChecked = 1 << 2,
        kSeparator = 1 << 3,
    };
    CMenuItem() = default;
    CMenuItem(const char* title, int32_t flags = kNoFlags)
        : title(title != nullptr ? title : ""), flags(flags) {}

    const std::string& getTitle() const { return title; }
    void setTitle(const char* newTitle) { title = newTitle != nullptr ? newTitle : ""; }
    int32_t getFlags() const { return flags; }
    bool isEnabled() const { return !(flags & kDisabled); }
    bool isTitle() const { return (flags & kTitle) != 0; }
    bool isSeparator() const { return (flags & kSeparator) != 0; }
    bool isChecked() const { return (flags & kChecked) != 0; }
    /// An entry a click can choose.
    bool isSelectable() const { return !(flags & (kDisabled | kTitle | kSeparator)); }

  private:
    std::string title;
    int32_t flags = kNoFlags;
};

class COptionMenu : public CParamDisplay {
  public:
    COptionMenu(const CRect& size, CControlListener* listener, int32_t tag,
                CBitmap* background = nullptr, CBitmap* backgroundWhenClicked = nullptr,
                int32_t style = 0);
    COptionMenu(const COptionMenu& other);

    /// Adds an entry (at index, or at the end for -1) and answers its index,
    /// -1 when the index is out of range. A title of "-" is an ordinary entry.
    int32_t addEntry(const char* title, int32_t index = -1, int32_t flags = CMenuItem::kNoFlags);
    int32_t addSeparator(int32_t index = -1);
    bool removeEntry(int32_t index);
    void removeAllEntry();
    int32_t getNbEntries() const;
    /// A copy of the entry (an empty entry when out of range).
    CMenuItem getEntry(int32_t index) const;
    std::string getEntryTitle(int32_t index) const;
    bool setEntryTitle(int32_t index, const char* title);
    bool checkEntry(int32_t index, bool state);

    /// Makes index the current entry (and the value); false out of range.
    bool setCurrent(int32_t index);
    int32_t getCurrentIndex() const { return currentIndex.load(std::memory_order_relaxed); }
    /// The entry chosen last in the list (-1 before any).
    int32_t getLastResult() const { return lastResult; }
    /// Entries per column of the list; 0 or less puts all in one column.
    void setNbItemsPerColumn(int32_t count) { itemsPerColumn = count; }
    int32_t getNbItemsPerColumn() const { return itemsPerColumn; }

    /// The value is the current entry's index (truncated); out-of-range values are ignored.
    void setValue(float newValue) override;
    std::string getDisplayText() override;

    /// Opens the list in the frame; false without a frame or entries.
    bool popup();
    bool isPopupOpen() const { return popupOpen; }
    /// Chooses an entry as a click in the list does.
    void selectEntry(int32_t index);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    CLASS_METHODS(COptionMenu, CParamDisplay)

  private:
    friend class COptionMenuList;
    void popupClosed() {
        popupOpen = false;
        invalid();
    }

    mutable std::mutex entriesMutex;
    std::vector<CMenuItem> entries;
    std::atomic<int32_t> currentIndex{-1};
    int32_t lastResult = -1;
    int32_t itemsPerColumn = -1;
    bool popupOpen = false;
    CBitmap* backgroundWhenClicked = nullptr;
};
