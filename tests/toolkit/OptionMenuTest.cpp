// The option menu: its list inside the frame, choosing, closing.
#include <algorithm>

#include "ToolkitTestSupport.h"
#include "toolkit/controls/COptionMenuList.h"

namespace zelto::test {
namespace {

struct MenuScene {
    RecordingEditor editor;
    TestFrame frame{CRect(0, 0, 524, 462), &editor};
    RecordingListener listener;
    std::vector<std::string> log;
    ProbeView* under;
    COptionMenu* menu;

    MenuScene() {
        under = new ProbeView(CRect(0, 0, 524, 462), CColor(10, 10, 10), &log, "under");
        frame->addView(under);
        menu = new COptionMenu(CRect(320, 448, 333, 460), &listener, 1012, nullptr, nullptr,
                               kPopupStyle | kCheckStyle | kNoTextStyle | kNoDrawStyle);
        for (int i = 0; i < 24; ++i) menu->addEntry(("Preset " + std::to_string(i)).c_str());
        menu->setNbItemsPerColumn(12);
        menu->setCurrent(5);
        frame->addView(menu);
    }
    COptionMenuList* list() const { return static_cast<COptionMenuList*>(frame->getModalView()); }
    void open() {
        frame->injectMouseDown(CPoint(325, 452), kLButton);
        frame->injectMouseUp(CPoint(325, 452), kLButton);
        frame.now += 1000;
    }
};

TEST(OptionMenu, ClickOpensAListOfColumnsInsideTheFrame) {
    MenuScene s;
    s.open();
    ASSERT_TRUE(s.menu->isPopupOpen());
    COptionMenuList* list = s.list();
    ASSERT_NE(list, nullptr);
    const CRect r = list->getViewSize();
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right, 524);
    EXPECT_LE(r.bottom, 448) << "no room below the menu, so above it";
    // Entry 12 starts the second column, level with entry 0.
    EXPECT_EQ(list->entryRect(12).top, list->entryRect(0).top);
    EXPECT_GT(list->entryRect(12).left, list->entryRect(11).left);
    EXPECT_EQ(list->entryRect(11).bottom,
              list->entryRect(0).top + 12 * list->entryRect(0).getHeight());
    EXPECT_EQ(list->getHoverIndex(), 5) << "starts on the current entry";
    EXPECT_TRUE(s.log.empty()) << "the press opened the menu, nothing below saw it";
}

TEST(OptionMenu, ClickOnAnEntrySelectsItAndCloses) {
    MenuScene s;
    s.open();
    const CRect entry = s.list()->entryRect(17);
    const CPoint where = entry.getCenter();
    s.frame->injectMouseMoved(where, 0);
    EXPECT_EQ(s.list()->getHoverIndex(), 17);
    s.frame->injectMouseDown(where, kLButton);
    s.frame->injectMouseUp(where, kLButton);
    EXPECT_EQ(s.frame->getModalView(), nullptr);
    EXPECT_FALSE(s.menu->isPopupOpen());
    EXPECT_EQ(s.menu->getCurrentIndex(), 17);
    EXPECT_EQ(s.menu->getLastResult(), 17);
    ASSERT_EQ(s.listener.calls.size(), 1u);
    EXPECT_EQ(s.listener.calls[0].tag, 1012);
    EXPECT_FLOAT_EQ(s.listener.calls[0].value, 17.0f);
    EXPECT_EQ(std::count(s.log.begin(), s.log.end(), "under:down"), 0);
}

TEST(OptionMenu, ClickOutsideOrEscapeClosesWithoutAChoice) {
    MenuScene s;
    s.open();
    s.frame->injectMouseDown(CPoint(5, 5), kLButton);
    EXPECT_EQ(s.frame->getModalView(), nullptr);
    EXPECT_TRUE(s.listener.calls.empty());
    EXPECT_EQ(std::count(s.log.begin(), s.log.end(), "under:down"), 0)
        << "the closing click is the menu's";
    s.open();
    EXPECT_EQ(s.frame->injectKeyDown(makeVirtualKey(VKEY_ESCAPE)), 1);
    EXPECT_EQ(s.frame->getModalView(), nullptr);
    EXPECT_TRUE(s.listener.calls.empty());
    EXPECT_EQ(s.menu->getCurrentIndex(), 5);
}

TEST(OptionMenu, KeyboardMovesThroughTheColumns) {
    MenuScene s;
    s.open();
    s.frame->injectKeyDown(makeVirtualKey(VKEY_DOWN));
    EXPECT_EQ(s.list()->getHoverIndex(), 6);
    s.frame->injectKeyDown(makeVirtualKey(VKEY_RIGHT));
    EXPECT_EQ(s.list()->getHoverIndex(), 18);
    s.frame->injectKeyDown(makeVirtualKey(VKEY_RIGHT));
    EXPECT_EQ(s.list()->getHoverIndex(), 18) << "no third column";
    s.frame->injectKeyDown(makeVirtualKey(VKEY_RETURN));
    EXPECT_EQ(s.menu->getCurrentIndex(), 18);
}

TEST(OptionMenu, CheckMarkSitsOnTheCurrentEntry) {
    MenuScene s;
    s.open();
    s.frame->injectMouseMoved(CPoint(1, 1), 0);  // no hover highlight
    s.frame->idle();
    auto inkIn = [&s](const CRect& r) {
        int ink = 0;
        for (int y = static_cast<int>(r.top); y < r.bottom; ++y) {
            for (int x = static_cast<int>(r.left); x < r.left + r.getHeight(); ++x) {
                const CColor c = s.frame->getPixel(x, y);
                ink += c.red < 128;
            }
        }
        return ink;
    };
    EXPECT_GT(inkIn(s.list()->entryRect(5)), 3);
    EXPECT_EQ(inkIn(s.list()->entryRect(6)), 0);
}

TEST(OptionMenu, TitlesAndCurrentEntryCanBeSetFromOutside) {
    MenuScene s;
    EXPECT_TRUE(s.menu->setEntryTitle(3, "Renamed"));
    EXPECT_EQ(s.menu->getEntry(3).getTitle(), "Renamed");
    EXPECT_FALSE(s.menu->setEntryTitle(24, "x"));
    EXPECT_EQ(s.menu->getEntryTitle(99), "");
    EXPECT_FALSE(s.menu->setCurrent(24));
    EXPECT_EQ(s.menu->getCurrentIndex(), 5);
    s.menu->setValue(7.9f);
    EXPECT_EQ(s.menu->getCurrentIndex(), 7);
    s.menu->setValue(-1.0f);
    EXPECT_EQ(s.menu->getCurrentIndex(), 7);
    EXPECT_EQ(s.menu->addEntry("-"), 24);
    EXPECT_TRUE(s.menu->getEntry(24).isSelectable()) << "a preset may be named -";
}

TEST(OptionMenu, ClosingTheFrameWithTheListOpenIsClean) {
    auto* frame = new CFrame(CRect(0, 0, 200, 200), nullptr);
    auto* menu = new COptionMenu(CRect(10, 10, 50, 30), nullptr, 1, nullptr);
    menu->addEntry("one");
    menu->addEntry("two");
    frame->addView(menu);
    ASSERT_TRUE(menu->popup());
    frame->close();
}

TEST(OptionMenu, EmptyMenuDoesNotOpen) {
    TestFrame frame;
    auto* menu = new COptionMenu(CRect(10, 10, 50, 30), nullptr, 1, nullptr);
    frame->addView(menu);
    EXPECT_EQ(frame->injectMouseDown(CPoint(20, 20), kLButton), kMouseEventNotHandled);
    EXPECT_EQ(frame->getModalView(), nullptr);
}

}  // namespace
}  // namespace zelto::test
