// The editor object offscreen: its size, opening and closing any number of
// times, the 40 ms idle throttle, several instances at once, snapshots.
#include <gtest/gtest.h>

#include <cairo/cairo.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "editor/CCalibButton.h"
#include "editor/Editor.h"
#include "formats/vst2/Plugin.h"
#include "resources/Resources.h"
#include "support/TestSupport.h"

using namespace zelto::test;

namespace {

class EditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        HostRecorder::reset();
        plugin = std::make_unique<Plugin>(HostRecorder::callback);
        ASSERT_TRUE(plugin->isReady());
        editor = static_cast<Editor*>(plugin->getEditor());
        ASSERT_NE(editor, nullptr);
    }
    VstIntPtr dispatch(VstInt32 opcode, VstIntPtr value = 0, void* ptr = nullptr) {
        AEffect* e = plugin->getAeffect();
        return e->dispatcher(e, opcode, 0, value, ptr, 0.0f);
    }

    ScopedConfigHome home;
    std::unique_ptr<Plugin> plugin;
    Editor* editor = nullptr;
};

}  // namespace

TEST_F(EditorTest, AnswersItsSizeBeforeOpening) {
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 462);
    EXPECT_EQ(rect->right, 524);
    EXPECT_EQ(plugin->getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    EXPECT_EQ(editor->getLatency(), 159);
    plugin->setSampleRate(96000);
    EXPECT_EQ(editor->getLatency(), 287);
}

TEST_F(EditorTest, OpensAndClosesRepeatedlyAndSurvivesDoubleOpens) {
    for (int i = 0; i < 50; ++i) {
        // No parent window: the frame runs offscreen, as it does without X.
        EXPECT_EQ(dispatch(effEditOpen, 0, nullptr), 1);
        ASSERT_NE(editor->getFrame(), nullptr);
        EXPECT_EQ(editor->getFrame()->getViewSize().getWidth(), 524);
        if (i % 3 == 0) {
            EXPECT_EQ(dispatch(effEditOpen, 0, nullptr), 1) << "opened twice";
        }
        dispatch(effEditIdle);
        dispatch(effEditClose);
        EXPECT_EQ(editor->getFrame(), nullptr);
    }
    dispatch(effEditClose);  // closing a closed editor is harmless
    dispatch(effEditIdle);
    VstKeyCode key{'a', 0, 0};
    EXPECT_FALSE(editor->onKeyDown(key));
}

TEST_F(EditorTest, IdleWorksAtMostEveryFortyMilliseconds) {
    uint32_t tick = 1000;
    editor->setTickSource([&] { return tick; });
    dispatch(effEditOpen, 0, nullptr);
    const uint64_t start = editor->idlePasses();
    tick += 40;
    editor->idle();
    EXPECT_EQ(editor->idlePasses(), start + 1);
    tick += 39;
    editor->idle();
    EXPECT_EQ(editor->idlePasses(), start + 1) << "39 ms later: nothing";
    tick += 1;
    editor->idle();
    EXPECT_EQ(editor->idlePasses(), start + 2);
    // The tick count wraps after 49 days; the difference still counts.
    tick = 0xFFFFFFF0u;
    editor->setTickSource([&] { return tick; });
    tick = 0x20u;
    editor->idle();
    EXPECT_EQ(editor->idlePasses(), start + 3);
    dispatch(effEditClose);
}

TEST_F(EditorTest, BlinkingFollowsTheClockWhenTheHostIdlesSlowly) {
    // Hosts that idle every 100 ms must see the same blinking as fast ones:
    // the phase comes from the tick count, not from the number of calls.
    uint32_t tick = 5000;
    editor->setTickSource([&] { return tick; });
    dispatch(effEditOpen, 0, nullptr);
    plugin->setParameterAutomated(zelto::kParamCalibrate, 0.375f);  // left channel
    auto* calib = static_cast<CCalibButton*>(editor->findControl(zelto::kParamCalibrate));
    ASSERT_NE(calib, nullptr);
    std::vector<bool> lit;
    for (int i = 0; i < 12; ++i) {
        tick += 100;
        const uint64_t before = editor->idlePasses();
        editor->idle();
        EXPECT_EQ(editor->idlePasses(), before + 1) << "every slow call is a full pass";
        lit.push_back(calib->currentOffset() >= CCalibButton::kBlinkOffset);
    }
    // 256 ms per phase, counted from the last click (none here: tick 0).
    for (size_t i = 0; i < lit.size(); ++i) {
        const uint32_t t = 5000 + 100 * static_cast<uint32_t>(i + 1);
        EXPECT_EQ(lit[i], (t & 511u) < 256u) << "call " << i;
    }
    EXPECT_NE(std::count(lit.begin(), lit.end(), true), 0);
    EXPECT_NE(std::count(lit.begin(), lit.end(), false), 0);
    dispatch(effEditClose);
}

TEST_F(EditorTest, SnapshotShowsThePanelArtwork) {
    const std::string path = home.path() + "/snap.png";
    ASSERT_TRUE(editor->snapshotPng(path));
    EXPECT_EQ(editor->getFrame(), nullptr) << "a snapshot without a window leaves none open";
    cairo_surface_t* shot = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(shot), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(shot), 524);
    EXPECT_EQ(cairo_image_surface_get_height(shot), 462);

    // Outside the controls the window is the background image itself; the
    // controls draw over it.
    dispatch(effEditOpen, 0, nullptr);
    std::vector<CRect> controls;
    for (int32_t i = 0; i < editor->getFrame()->getNbViews(); ++i) {
        controls.push_back(editor->getFrame()->getView(i)->getViewSize());
    }
    dispatch(effEditClose);
    ASSERT_GE(controls.size(), 29u);
    auto onControl = [&](int x, int y) {
        for (const CRect& r : controls) {
            if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
        }
        return false;
    };
    const zelto::EmbeddedImage* art = zelto::findEmbeddedImage(Editor::kBackgroundId);
    ASSERT_NE(art, nullptr);
    struct Reader {
        const uint8_t* data;
        size_t left;
    } reader{art->png, art->pngSize};
    cairo_surface_t* background = cairo_image_surface_create_from_png_stream(
        [](void* closure, unsigned char* out, unsigned int length) {
            auto* r = static_cast<Reader*>(closure);
            if (length > r->left) return CAIRO_STATUS_READ_ERROR;
            std::memcpy(out, r->data, length);
            r->data += length;
            r->left -= length;
            return CAIRO_STATUS_SUCCESS;
        },
        &reader);
    ASSERT_EQ(cairo_surface_status(background), CAIRO_STATUS_SUCCESS);
    cairo_surface_flush(shot);
    cairo_surface_flush(background);
    int differing = 0;
    int drawnOver = 0;
    for (int y = 0; y < 462; ++y) {
        const auto* a = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(shot) +
                                                          y * cairo_image_surface_get_stride(shot));
        const auto* b =
            reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(background) +
                                              y * cairo_image_surface_get_stride(background));
        for (int x = 0; x < 524; ++x) {
            const bool same = (a[x] & 0xFFFFFF) == (b[x] & 0xFFFFFF);
            (onControl(x, y) ? drawnOver : differing) += same ? 0 : 1;
        }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(drawnOver, 5000) << "the controls show their own images";
    cairo_surface_destroy(background);
    cairo_surface_destroy(shot);

    // A folder that does not exist: nothing written, a clear failure.
    EXPECT_FALSE(editor->snapshotPng(home.path() + "/missing/snap.png"));
}

TEST_F(EditorTest, InstancesSideBySideKeepTheirOwnWindows) {
    auto second = std::make_unique<Plugin>(HostRecorder::callback);
    auto* other = static_cast<Editor*>(second->getEditor());
    ASSERT_NE(other, nullptr);
    dispatch(effEditOpen, 0, nullptr);
    AEffect* e2 = second->getAeffect();
    e2->dispatcher(e2, effEditOpen, 0, 0, nullptr, 0.0f);
    EXPECT_NE(editor->getFrame(), other->getFrame());
    e2->dispatcher(e2, effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_NE(editor->getFrame(), nullptr);
    // Destroying an instance with its window still open closes the window.
    second.reset();
    dispatch(effEditIdle);
    dispatch(effEditClose);
}
