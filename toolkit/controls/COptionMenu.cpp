// COptionMenu: entries, current entry, and opening the list.
#include "toolkit/controls/COptionMenu.h"

#include <cmath>

#include "toolkit/CBitmap.h"
#include "toolkit/CFrame.h"
#include "toolkit/controls/COptionMenuList.h"

COptionMenu::COptionMenu(const CRect& size, CControlListener* listener, int32_t tag,
                         CBitmap* background, CBitmap* whenClicked, int32_t style)
    : CParamDisplay(size, background, style) {
    this->listener = listener;
    this->tag = tag;
    vmin = 0.0f;
    vmax = 0.0f;
    if (whenClicked != nullptr) {
        whenClicked->remember();
        backgroundWhenClicked = whenClicked;
    }
}

COptionMenu::COptionMenu(const COptionMenu& other)
    : CParamDisplay(other),
      currentIndex(other.getCurrentIndex()),
      itemsPerColumn(other.itemsPerColumn) {
    {
        std::lock_guard<std::mutex> lock(other.entriesMutex);
        entries = other.entries;
    }
    backgroundWhenClicked = other.backgroundWhenClicked;
    if (backgroundWhenClicked != nullptr) backgroundWhenClicked->remember();
}

int32_t COptionMenu::addEntry(const char* title, int32_t index, int32_t flags) {
    int32_t at;
    {
        std::lock_guard<std::mutex> lock(entriesMutex);
        const auto count = static_cast<int32_t>(entries.size());
        if (index < -1 || index > count) return -1;
        at = index == -1 ? count : index;
        entries.insert(entries.begin() + at, CMenuItem(title, flags));
        vmax = static_cast<float>(entries.size() - 1);
    }
    invalid();
    return at;
}

int32_t COptionMenu::addSeparator(int32_t index) {
    return addEntry("", index, CMenuItem::kSeparator);
}

bool COptionMenu::removeEntry(int32_t index) {
    {
        std::lock_guard<std::mutex> lock(entriesMutex);
        if (index < 0 || index >= static_cast<int32_t>(entries.size())) return false;
        entries.erase(entries.begin() + index);
        vmax = entries.empty() ? 0.0f : static_cast<float>(entries.size() - 1);
        if (getCurrentIndex() >= static_cast<int32_t>(entries.size())) currentIndex.store(-1);
    }
    invalid();
    return true;
}

void COptionMenu::removeAllEntry() {
    {
        std::lock_guard<std::mutex> lock(entriesMutex);
        entries.clear();
        vmax = 0.0f;
        currentIndex.store(-1);
    }
    invalid();
}

int32_t COptionMenu::getNbEntries() const {
    std::lock_guard<std::mutex> lock(entriesMutex);
    return static_cast<int32_t>(entries.size());
}

CMenuItem COptionMenu::getEntry(int32_t index) const {
    std::lock_guard<std::mutex> lock(entriesMutex);
    if (index < 0 || index >= static_cast<int32_t>(entries.size())) return {};
    return entries[static_cast<size_t>(index)];
}

std::string COptionMenu::getEntryTitle(int32_t index) const {
    return getEntry(index).getTitle();
}

bool COptionMenu::setEntryTitle(int32_t index, const char* title) {
    {
        std::lock_guard<std::mutex> lock(entriesMutex);
        if (index < 0 || index >= static_cast<int32_t>(entries.size())) return false;
        entries[static_cast<size_t>(index)].setTitle(title);
    }
    setDirty(true);
    return true;
}

bool COptionMenu::checkEntry(int32_t index, bool state) {
    {
        std::lock_guard<std::mutex> lock(entriesMutex);
        if (index < 0 || index >= static_cast<int32_t>(entries.size())) return false;
        CMenuItem& item = entries[static_cast<size_t>(index)];
        const int32_t flags = state ? (item.getFlags() | CMenuItem::kChecked)
                                    : (item.getFlags() & ~CMenuItem::kChecked);
        item = CMenuItem(item.getTitle().c_str(), flags);
    }
    setDirty(true);
    return true;
}

bool COptionMenu::setCurrent(int32_t index) {
    if (index < 0 || index >= getNbEntries()) return false;
    currentIndex.store(index, std::memory_order_relaxed);
    value.store(static_cast<float>(index), std::memory_order_relaxed);
    setDirty(true);
    return true;
}

void COptionMenu::setValue(float newValue) {
    if (!(newValue >= 0.0f) || newValue >= 2147483647.0f) return;
    setCurrent(static_cast<int32_t>(newValue));
}

std::string COptionMenu::getDisplayText() {
    return getEntryTitle(getCurrentIndex());
}

void COptionMenu::draw(CDrawContext* context) {
    if (popupOpen && backgroundWhenClicked != nullptr && !(style & kNoDrawStyle)) {
        setDirty(false);
        backgroundWhenClicked->draw(context, getViewSize(), backOffset);
        if (!(style & kNoTextStyle)) drawText(context, getDisplayText());
        return;
    }
    CParamDisplay::draw(context);
}

bool COptionMenu::popup() {
    if (frame == nullptr || popupOpen || getNbEntries() == 0) return false;
    auto* list = new COptionMenuList(this, CRect(0, 0, frame->getWidth(), frame->getHeight()));
    const bool shown = frame->setModalView(list);
    popupOpen = shown;
    list->forget();  // the frame holds it while it is up
    invalid();
    return shown;
}

void COptionMenu::selectEntry(int32_t index) {
    if (index < 0 || index >= getNbEntries() || !getEntry(index).isSelectable()) return;
    currentIndex.store(index, std::memory_order_relaxed);
    lastResult = index;
    value.store(static_cast<float>(index), std::memory_order_relaxed);
    invalid();
    beginEdit();
    valueChanged();
    endEdit();
}

CMouseEventResult COptionMenu::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!(buttons & (kLButton | kRButton))) return kMouseEventNotHandled;
    return popup() ? kMouseDownEventHandledButDontNeedMovedOrUpEvents : kMouseEventNotHandled;
}
