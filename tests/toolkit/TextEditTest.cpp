// In-place text editing: commit, cancel, conversions, caret.
#include <algorithm>
#include <cstdio>

#include "ToolkitTestSupport.h"

namespace zelto::test {
namespace {

struct EditScene {
    RecordingEditor editor;
    TestFrame frame{CRect(0, 0, 300, 100), &editor};
    RecordingListener listener;
    CTextEdit* field;
    ProbeView* elsewhere;

    EditScene() {
        elsewhere = new ProbeView(CRect(200, 0, 300, 100), kBlackCColor);
        frame->addView(elsewhere);
        field = new CTextEdit(CRect(10, 10, 110, 28), &listener, 2, "start");
        frame->addView(field);
    }
    void type(const std::string& text) {
        for (char c : text) frame->injectKeyDown(makeCharKey(c));
    }
    int32_t key(unsigned char virt, unsigned char modifier = 0) {
        return frame->injectKeyDown(makeVirtualKey(virt, modifier));
    }
    void clickField() {
        frame->injectMouseDown(CPoint(50, 15), kLButton);
        frame->injectMouseUp(CPoint(50, 15), kLButton);
        frame.now += 1000;
    }
};

// Shown as "%.1f%%" of v * 100; typed numbers are percent, limited to 0..100.
void installPercent(CTextEdit* field) {
    field->setValueToStringFunction([](float v, char text[256], CParamDisplay*) {
        std::snprintf(text, 256, "%s%%", zelto::formatText("%.1f", v * 100.0).c_str());
        return true;
    });
    field->setStringToValueFunction([](const char* txt, float& result, CTextEdit*) {
        const double x = zelto::parseNumber(txt);
        result = static_cast<float>(std::min(std::max(x, 0.0), 100.0) / 100.0);
        return true;
    });
}

TEST(TextEdit, EnterCommitsTheTypedTextWithOneNotification) {
    EditScene s;
    s.clickField();
    ASSERT_TRUE(s.field->isTextEditActive());
    EXPECT_TRUE(s.field->isAllSelected());
    s.type("Bass");  // replaces the selected text
    EXPECT_EQ(s.field->getEditText(), "Bass");
    EXPECT_EQ(s.key(VKEY_RETURN), 1);
    EXPECT_FALSE(s.field->isTextEditActive());
    EXPECT_EQ(s.field->getText(), "Bass");
    EXPECT_EQ(s.listener.calls.size(), 1u);
    EXPECT_EQ(s.listener.events, (std::vector<std::string>{"begin", "changed", "end"}));
    EXPECT_EQ(s.editor.gestures, (std::vector<std::string>{"begin 2", "end 2"}));
    EXPECT_EQ(s.frame->getFocusView(), nullptr);
}

TEST(TextEdit, ClickElsewhereCommitsAsFocusLoss) {
    EditScene s;
    s.clickField();
    s.type("Lead");
    s.frame->injectMouseDown(CPoint(250, 50), kLButton);
    EXPECT_FALSE(s.field->isTextEditActive());
    EXPECT_EQ(s.field->getText(), "Lead");
    EXPECT_EQ(s.listener.calls.size(), 1u);
}

TEST(TextEdit, EscapeCancelsAndTellsNobody) {
    EditScene s;
    s.clickField();
    s.type("Nope");
    EXPECT_EQ(s.key(VKEY_ESCAPE), 1);
    EXPECT_FALSE(s.field->isTextEditActive());
    EXPECT_EQ(s.field->getText(), "start");
    EXPECT_TRUE(s.listener.calls.empty());
    EXPECT_TRUE(s.editor.gestures.empty());
    // Nor does a later focus loss bring the cancelled text back.
    s.frame->injectMouseDown(CPoint(250, 50), kLButton);
    EXPECT_TRUE(s.listener.calls.empty());
}

TEST(TextEdit, UnchangedTextSendsNothing) {
    EditScene s;
    s.clickField();
    EXPECT_EQ(s.key(VKEY_RETURN), 1);
    EXPECT_TRUE(s.listener.calls.empty());
}

TEST(TextEdit, CaretEditingKeys) {
    EditScene s;
    s.clickField();
    s.key(VKEY_END);
    s.key(VKEY_BACK);
    EXPECT_EQ(s.field->getEditText(), "star");
    s.key(VKEY_HOME);
    s.key(VKEY_DELETE);
    EXPECT_EQ(s.field->getEditText(), "tar");
    s.key(VKEY_RIGHT);
    s.type("-");
    EXPECT_EQ(s.field->getEditText(), "t-ar");
    EXPECT_EQ(s.field->getCaretPosition(), 2u);
    s.key(VKEY_LEFT);
    s.key(VKEY_LEFT);
    s.key(VKEY_LEFT);
    EXPECT_EQ(s.field->getCaretPosition(), 0u);
    s.frame->injectKeyDown(VstKeyCode{0, VKEY_SPACE, 0});
    EXPECT_EQ(s.field->getEditText(), " t-ar");
    // Control+A selects all; other shortcuts stay the host's.
    EXPECT_EQ(s.frame->injectKeyDown(makeCharKey('a', MODIFIER_CONTROL)), 1);
    EXPECT_TRUE(s.field->isAllSelected());
    EXPECT_EQ(s.frame->injectKeyDown(makeCharKey('s', MODIFIER_CONTROL)), -1);
    s.key(VKEY_BACK);
    EXPECT_EQ(s.field->getEditText(), "");
}

TEST(TextEdit, OnlyPrintableAsciiIsTypedUpToTheLimit) {
    EditScene s;
    s.field->setMaxChars(5);
    s.clickField();
    s.frame->injectKeyDown(VstKeyCode{0xe9, 0, 0});  // Latin-1 e-acute
    s.frame->injectKeyDown(VstKeyCode{7, 0, 0});     // a control code
    EXPECT_EQ(s.field->getEditText(), "start") << "nothing replaced the selection";
    s.type("abcdefgh");
    EXPECT_EQ(s.field->getEditText(), "abcde");
}

TEST(TextEdit, ConversionFunctionsTurnTextIntoValueAndBack) {
    EditScene s;
    installPercent(s.field);
    s.field->setValue(0.25f);
    EXPECT_EQ(s.field->getDisplayText(), "25.0%");
    s.clickField();
    EXPECT_EQ(s.field->getEditText(), "25.0%");
    s.type("150");
    s.key(VKEY_RETURN);
    EXPECT_FLOAT_EQ(s.field->getValue(), 1.0f) << "limited by the conversion";
    EXPECT_EQ(s.field->getDisplayText(), "100.0%");
    ASSERT_EQ(s.listener.calls.size(), 1u);
    EXPECT_FLOAT_EQ(s.listener.calls[0].value, 1.0f);

    s.clickField();
    s.type("-5");
    s.key(VKEY_ENTER);
    EXPECT_FLOAT_EQ(s.field->getValue(), 0.0f);
    s.clickField();
    s.type("abc");
    s.key(VKEY_RETURN);
    EXPECT_FLOAT_EQ(s.field->getValue(), 0.0f) << "no number reads as 0";
}

TEST(TextEdit, RefusedConversionChangesNothing) {
    EditScene s;
    s.field->setValue(0.5f);
    s.field->setStringToValueFunction([](const char*, float&, CTextEdit*) { return false; });
    s.clickField();
    s.type("9");
    s.key(VKEY_RETURN);
    EXPECT_FLOAT_EQ(s.field->getValue(), 0.5f);
    EXPECT_TRUE(s.listener.calls.empty());
}

TEST(TextEdit, ListenerMaySetTheTextBackWhileCommitting) {
    // As a name field does: cut what was typed and show the cut text.
    struct Cutter : CControlListener {
        void valueChanged(CControl* control) override {
            auto* field = static_cast<CTextEdit*>(control);
            field->setText(field->getText().substr(0, 4).c_str());
        }
    } cutter;
    EditScene s;
    s.field->setListener(&cutter);
    s.clickField();
    s.type("Mastering");
    s.key(VKEY_RETURN);
    EXPECT_EQ(s.field->getText(), "Mast");
}

TEST(TextEdit, EditingDrawsTheBoxInTheBackColourOverThePanel) {
    EditScene s;
    CBitmap* panel = makeSolidBitmap(300, 100, 0x102030);
    s.field->setBackground(panel);
    panel->forget();
    s.field->setBackOffset(CPoint(10, 10));
    s.field->setBackColor(CColor(209, 227, 238));
    s.field->setFrameColor(CColor(36, 36, 32));
    s.frame->idle();
    EXPECT_TRUE(sameColor(s.frame->getPixel(108, 26), CColor(16, 32, 48)));
    s.clickField();
    s.key(VKEY_END);  // no selection: plain box
    s.frame->idle();
    EXPECT_TRUE(sameColor(s.frame->getPixel(10, 10), CColor(36, 36, 32)));
    EXPECT_TRUE(sameColor(s.frame->getPixel(108, 26), CColor(209, 227, 238)));
    s.key(VKEY_ESCAPE);
    s.frame->idle();
    EXPECT_TRUE(sameColor(s.frame->getPixel(108, 26), CColor(16, 32, 48)));
}

TEST(TextEdit, ClickWhileEditingMovesTheCaret) {
    EditScene s;
    s.field->setHoriAlign(kLeftText);
    s.clickField();
    s.frame->idle();  // lays the text out
    s.frame->injectMouseDown(CPoint(11, 15), kLButton);
    EXPECT_FALSE(s.field->isAllSelected());
    EXPECT_EQ(s.field->getCaretPosition(), 0u);
    s.frame->injectMouseDown(CPoint(105, 15), kLButton);
    EXPECT_EQ(s.field->getCaretPosition(), 5u);
    EXPECT_TRUE(s.field->isTextEditActive());
}

TEST(TextEdit, ClosingTheFrameCommitsWhileViewsExist) {
    RecordingListener listener;
    auto* frame = new CFrame(CRect(0, 0, 100, 40), nullptr);
    auto* field = new CTextEdit(CRect(0, 0, 100, 20), &listener, 1000, "old");
    frame->addView(field);
    frame->injectMouseDown(CPoint(5, 5), kLButton);
    frame->injectKeyDown(makeCharKey('x'));
    frame->close();
    ASSERT_EQ(listener.calls.size(), 1u);
    EXPECT_EQ(listener.calls[0].tag, 1000);
}

}  // namespace
}  // namespace zelto::test
