// Small parts with sharp edges: locale-free numbers, key translation,
// geometry the hit testing relies on, the editor glue, images by id.
#include <locale.h>

#include "ToolkitTestSupport.h"
#include "resources/Resources.h"
#if !defined(_WIN32)
#include "toolkit/platform/x11/X11Keys.h"
// After gtest: X11 defines macros (None) that gtest uses as names.
#include <X11/X.h>
#include <X11/keysym.h>
#endif

namespace zelto::test {
namespace {

TEST(TextFormat, NumbersUseADotWhateverTheLocale) {
    const char* german[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252"};
    const char* old = setlocale(LC_ALL, nullptr);
    const std::string saved = old != nullptr ? old : "C";
    bool switched = false;
    for (const char* name : german) switched = switched || setlocale(LC_ALL, name) != nullptr;
    EXPECT_EQ(zelto::formatText("%+.2fdB", -3.5), "-3.50dB");
    EXPECT_DOUBLE_EQ(zelto::parseNumber("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(zelto::parseNumber("  -12.25dB"), -12.25);
    EXPECT_DOUBLE_EQ(zelto::parseNumber("off"), 0.0);
    EXPECT_DOUBLE_EQ(zelto::parseNumber(nullptr), 0.0);
    EXPECT_EQ(zelto::formatText("%s", std::string(300, 'x').c_str()).size(), 300u);
    setlocale(LC_ALL, saved.c_str());
    if (!switched) GTEST_SKIP() << "no comma-decimal locale installed to switch to";
}

#if !defined(_WIN32)
TEST(X11Keys, SpecialKeysBecomeVirtualKeysWithoutCharacters) {
    using zelto::toolkit::vstKeyFromX;
    VstKeyCode enter = vstKeyFromX(XK_Return, "\r", 1, 0);
    EXPECT_EQ(enter.virt, VKEY_RETURN);
    EXPECT_EQ(enter.character, 0);
    EXPECT_EQ(vstKeyFromX(XK_Escape, "\x1b", 1, 0).virt, VKEY_ESCAPE);
    EXPECT_EQ(vstKeyFromX(XK_KP_Enter, "\r", 1, 0).virt, VKEY_ENTER);
    VstKeyCode a = vstKeyFromX(XK_a, "a", 1, ShiftMask);
    EXPECT_EQ(a.character, 'a');
    EXPECT_EQ(a.virt, 0);
    EXPECT_EQ(a.modifier, MODIFIER_SHIFT);
    VstKeyCode controlS = vstKeyFromX(XK_s, "\x13", 1, ControlMask);
    EXPECT_EQ(controlS.character, 's') << "the letter, not the control code";
    EXPECT_EQ(controlS.modifier, MODIFIER_CONTROL);
    VstKeyCode space = vstKeyFromX(XK_space, " ", 1, 0);
    EXPECT_EQ(space.virt, VKEY_SPACE);
    EXPECT_EQ(space.character, ' ');
    VstKeyCode seven = vstKeyFromX(XK_KP_7, "7", 1, 0);
    EXPECT_EQ(seven.virt, VKEY_NUMPAD7);
    EXPECT_EQ(seven.character, '7');
}
#endif

TEST(Geometry, RectanglesHoldTheirLeftTopButNotTheirRightBottom) {
    const CRect r(10, 20, 30, 40);
    EXPECT_TRUE(r.pointInside(CPoint(10, 20)));
    EXPECT_FALSE(r.pointInside(CPoint(30, 25)));
    EXPECT_FALSE(r.pointInside(CPoint(15, 40)));
    EXPECT_FALSE(r.rectOverlap(CRect(30, 20, 40, 40))) << "touching is not overlapping";
    EXPECT_TRUE(r.rectOverlap(CRect(29, 39, 40, 40)));
    EXPECT_TRUE(CRect(r).bound(CRect(50, 50, 60, 60)).isEmpty());
    EXPECT_EQ(CRect().unite(r), r);
    EXPECT_TRUE(CRect(0, 0, 0, 0).isEmpty());
}

// An editor with an offscreen frame, as the product's editor builds it.
class OffscreenEditor : public AEffGUIEditor {
  public:
    OffscreenEditor() : AEffGUIEditor(nullptr) { rect = ERect{0, 0, 462, 524}; }
    bool open(void* parent) override {
        AEffGUIEditor::open(parent);
        ++opens;
        frame = new CFrame(CRect(0, 0, 524, 462), nullptr, this);
        view = new ProbeView(CRect(0, 0, 10, 10), kWhiteCColor);
        view->setWantsFocus(true);
        frame->addView(view);
        return true;
    }
    void close() override {
        ++closes;
        view = nullptr;
        AEffGUIEditor::close();
    }
    int opens = 0;
    int closes = 0;
    ProbeView* view = nullptr;
};

TEST(AEffGUIEditor, AnswersItsRectAndClosesBeforeASecondOpen) {
    OffscreenEditor editor;
    ERect* r = nullptr;
    ASSERT_TRUE(editor.getRect(&r));
    EXPECT_EQ(r->right, 524);
    EXPECT_EQ(r->bottom, 462);
    EXPECT_FALSE(editor.getRect(nullptr));
    editor.open(nullptr);
    editor.open(nullptr);  // a host that forgot to close
    EXPECT_EQ(editor.closes, 1);
    EXPECT_NE(editor.getFrame(), nullptr);
    editor.idle();
    editor.close();
    EXPECT_EQ(editor.getFrame(), nullptr);
    editor.idle();  // harmless while closed
}

TEST(AEffGUIEditor, KeysFromTheHostReachTheFocusedView) {
    OffscreenEditor editor;
    VstKeyCode key = makeCharKey('k');
    EXPECT_FALSE(editor.onKeyDown(key)) << "closed: nothing takes keys";
    editor.open(nullptr);
    EXPECT_FALSE(editor.onKeyDown(key)) << "nothing focused yet";
    editor.getFrame()->injectMouseDown(CPoint(5, 5), kLButton);
    EXPECT_TRUE(editor.onKeyDown(key));
    editor.view->keyResult = -1;
    EXPECT_FALSE(editor.onKeyDown(key));
    EXPECT_TRUE(editor.setKnobMode(kLinearMode));
    EXPECT_EQ(editor.getKnobMode(), kLinearMode);
    EXPECT_FALSE(editor.setKnobMode(7));
    editor.setKnobMode(kCircularMode);
    // Gestures without an effect go nowhere, and nothing breaks.
    editor.beginEdit(0);
    editor.endEdit(0);
}

TEST(AEffGUIEditor, DestroyedWhileOpenReleasesTheFrameSilently) {
    RecordingListener listener;
    auto* editor = new OffscreenEditor();
    editor->open(nullptr);
    auto* field = new CTextEdit(CRect(100, 100, 200, 120), &listener, 1000, "name");
    editor->getFrame()->addView(field);
    editor->getFrame()->injectMouseDown(CPoint(150, 110), kLButton);
    editor->getFrame()->injectKeyDown(makeCharKey('z'));
    delete editor;
    EXPECT_TRUE(listener.calls.empty()) << "no listener is called from a destructor";
}

TEST(Bitmap, UnknownResourceIdGivesAnEmptyBitmap) {
    CBitmap* missing = new CBitmap(CResourceDescription(123456));
    EXPECT_FALSE(missing->isLoaded());
    EXPECT_EQ(missing->getWidth(), 0);
    EXPECT_EQ(missing->getHeight(), 0);
    EXPECT_EQ(missing->getResourceId(), 123456);
    TestFrame frame(CRect(0, 0, 10, 10));
    frame->setBackgroundColor(CColor(1, 2, 3));
    frame->setBackground(missing);
    missing->forget();
    frame->idle();
    EXPECT_TRUE(sameColor(frame->getPixel(5, 5), CColor(1, 2, 3)));
}

TEST(Bitmap, EmbeddedImagesLoadWithTheirCatalogueSize) {
    size_t count = 0;
    const zelto::EmbeddedImage* images = zelto::embeddedImages(&count);
    ASSERT_GT(count, 0u);
    for (size_t i = 0; i < count; ++i) {
        CBitmap* bitmap = new CBitmap(images[i].id);
        EXPECT_TRUE(bitmap->isLoaded()) << images[i].id;
        EXPECT_EQ(bitmap->getWidth(), images[i].width) << images[i].id;
        EXPECT_EQ(bitmap->getHeight(), images[i].height) << images[i].id;
        bitmap->forget();
    }
}

TEST(Bitmap, SameIdSharesOneDecodedImageWhileAlive) {
    size_t count = 0;
    const int32_t id = zelto::embeddedImages(&count)[0].id;
    CBitmap* a = new CBitmap(id);
    CBitmap* b = new CBitmap(id);
    ASSERT_TRUE(a->isLoaded());
    EXPECT_EQ(a->getSurface(), b->getSurface());
    a->forget();
    EXPECT_TRUE(b->isLoaded());
    EXPECT_EQ(b->getWidth(), zelto::embeddedImages(&count)[0].width);
    b->forget();
    CBitmap* again = new CBitmap(id);
    EXPECT_TRUE(again->isLoaded());
    again->forget();
}

}  // namespace
}  // namespace zelto::test
