// The meter views, readouts and info panel drawn offscreen from strips whose
// every row has a colour of its own, so each drawn pixel tells which strip and
// which source row it came from: pixel mappings, source offsets, ballistics
// over ticks, texts, boxes and clicks.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "editor/CInfo.h"
#include "editor/CMeterGR.h"
#include "editor/CMeterIn.h"
#include "editor/CMeterLCD.h"
#include "editor/CMeterLCDGR.h"
#include "editor/CMeterOut.h"
#include "toolkit/vstgui.h"

namespace {

// A strip whose pixel (x, y) is red = id, green and blue = y (16 bits).
CBitmap* codedStrip(uint8_t id, int32_t width, int32_t height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            pixels[static_cast<size_t>(y * width + x)] =
                0xFF000000u | (uint32_t{id} << 16) | static_cast<uint32_t>(y & 0xFFFF);
        }
    }
    return new CBitmap(width, height, pixels.data());
}

struct Source {
    int id;
    int row;
};

Source sourceOf(const CColor& c) {
    return {c.red, c.green * 256 + c.blue};
}

enum StripId : uint8_t {
    kBackground = 1,
    kPeakUnlit,
    kPeakLit,
    kScaleK20,
    kScaleK14,
    kScaleK12,
    kKLit,
    kKUnlit,
    kGrBackground,
    kGrBar,
    kFont,
    kRedFont,
};

struct Listener : CControlListener {
    std::atomic<int> calls{0};
    int lastTag = -1;
    void valueChanged(CControl* control) override {
        ++calls;
        lastTag = control->getTag();
    }
};

// A 524 x 462 offscreen frame with one view, and the strips it draws from.
class MeterFixture : public ::testing::Test {
  public:
    void SetUp() override {
        frame = new CFrame(CRect(0, 0, 524, 462), nullptr);
        frame->setTickSource([] { return 0u; });
        bitmaps.background = codedStrip(kBackground, 524, 462);
        bitmaps.peakUnlit = codedStrip(kPeakUnlit, 15, 432);
        bitmaps.peakLit = codedStrip(kPeakLit, 15, 432);
        bitmaps.scaleK20 = codedStrip(kScaleK20, 27, 367);
        bitmaps.scaleK14 = codedStrip(kScaleK14, 27, 367);
        bitmaps.scaleK12 = codedStrip(kScaleK12, 27, 367);
        bitmaps.kLit = codedStrip(kKLit, 15, 432);
        bitmaps.kUnlit = codedStrip(kKUnlit, 15, 432);
        grBackground = codedStrip(kGrBackground, 58, 306);
        grBar = codedStrip(kGrBar, 15, 203);
        font = codedStrip(kFont, 5, 1536);
        redFont = codedStrip(kRedFont, 5, 1536);
    }
    void TearDown() override {
        frame->forget();
        for (CBitmap* b : {bitmaps.background, bitmaps.peakUnlit, bitmaps.peakLit, bitmaps.scaleK20,
                           bitmaps.scaleK14, bitmaps.scaleK12, bitmaps.kLit, bitmaps.kUnlit,
                           grBackground, grBar, font, redFont}) {
            b->forget();
        }
    }
    template <typename View>
    View* add(View* view) {
        frame->addView(view);
        return view;
    }
    void paint() {
        frame->invalid();
        frame->idle();
    }
    Source at(int x, int y) { return sourceOf(frame->getPixel(x, y)); }

    CFrame* frame = nullptr;
    CBarMeterBitmaps bitmaps;
    CBitmap* grBackground = nullptr;
    CBitmap* grBar = nullptr;
    CBitmap* font = nullptr;
    CBitmap* redFont = nullptr;
    Listener listener;
};

// Height of the lit part of the input meter's left bar, read from the pixels.
int litHeight(MeterFixture& f, int x, uint8_t litId) {
    int h = 0;
    for (int y = 401; y >= 42 && f.at(x, y).id == litId; --y) ++h;
    return h;
}

TEST_F(MeterFixture, PeakModeMapsDecibelsToPixelsAndHoldsThenFalls) {
    auto* meter = add(new CMeterIn(CMeterIn::defaultSize(), bitmaps, &listener));
    // +6.02 dB: 324 pixels; the lit strip is read from row 408 - h upwards.
    meter->setLevels(1000, 2.0f, 0.5f, 0.0f, 0.0f);
    paint();
    EXPECT_EQ(litHeight(*this, 150, kPeakLit), 324);
    EXPECT_EQ(at(150, 402 - 324).row, 408 - 324);
    EXPECT_EQ(at(165 - 1, 401).row, 407);
    EXPECT_EQ(at(150, 60).id, kPeakUnlit);
    EXPECT_EQ(at(150, 60).row, 48 + (60 - 42));
    // Right bar: 0.5 is -6.02 dB, 252 pixels.
    EXPECT_EQ(litHeight(*this, 191, kPeakLit), 252);
    // Peak-mode scale, drawn from its top.
    EXPECT_EQ(at(170, 38).id, kScaleK12);
    EXPECT_EQ(at(170, 38).row, 0);
    // Held for 50 ms through silence, then falling 8.66 dB per second.
    meter->setLevels(1050, 0.0f, 0.0f, 0.0f, 0.0f);
    paint();
    EXPECT_EQ(litHeight(*this, 150, kPeakLit), 324);
    meter->setLevels(2050, 0.0f, 0.0f, 0.0f, 0.0f);
    paint();
    EXPECT_NEAR(meter->heldDb(0), 20.0 * std::log10(2.0) - 8.66, 1e-3);
    EXPECT_EQ(litHeight(*this, 150, kPeakLit),
              static_cast<int>((20.0 * std::log10(2.0) - 8.66 + 48.0) * 6.0 + 0.5));
    // Long silence: the held peak rests on silence (-120 dB) and no bar is lit.
    meter->setLevels(60000, 0.0f, 0.0f, 0.0f, 0.0f);
    paint();
    EXPECT_EQ(meter->heldDb(0), -120.0f);
    EXPECT_EQ(litHeight(*this, 150, kPeakLit), 0);
}

TEST_F(MeterFixture, PeaksAboveTwentyDecibelsShowAsTwenty) {
    auto* meter = add(new CMeterOut(CMeterOut::defaultSize(), bitmaps, &listener));
    meter->setLevels(10, 1000.0f, 1e30f, 0.0f, 0.0f);
    EXPECT_EQ(meter->peakDb(0), 20.0f);
    EXPECT_EQ(meter->peakDb(1), 20.0f);
    paint();
    EXPECT_EQ(litHeight(*this, 320, kPeakLit), 360);
    EXPECT_EQ(litHeight(*this, 363, kPeakLit), 360);
}

TEST_F(MeterFixture, KModesShowRmsOnTheirOwnColourBaseWithAPeakMarker) {
    auto* meter = add(new CMeterIn(CMeterIn::defaultSize(), bitmaps, &listener));
    meter->setMeterMode(3);  // K-20
    // RMS -20 dBFS: 240 pixels, lit strip from row 384 - 240 = 144.
    meter->setLevels(10, 0.0f, 0.0f, 0.1f, 0.1f);
    paint();
    EXPECT_EQ(at(150, 402 - 240).id, kKLit);
    EXPECT_EQ(at(150, 402 - 240).row, 144);
    EXPECT_EQ(at(150, 402 - 241).id, kKUnlit);
    EXPECT_EQ(at(150, 42).row, 384 - 360);
    EXPECT_EQ(at(170, 38).id, kScaleK20);
    // The same RMS at K-12 and K-14: the reference row moves with the base.
    meter->setMeterMode(1);
    paint();
    EXPECT_EQ(at(150, 402 - 240).row, 432 - 240);
    EXPECT_EQ(at(170, 38).id, kScaleK12);
    meter->setMeterMode(2);
    paint();
    EXPECT_EQ(at(150, 402 - 240).row, 420 - 240);
    EXPECT_EQ(at(170, 38).id, kScaleK14);
}

TEST_F(MeterFixture, PeakMarkerNeedsMoreThanTwoPixels) {
    auto* meter = add(new CMeterIn(CMeterIn::defaultSize(), bitmaps, &listener));
    meter->setMeterMode(3);
    // -59.5 dB: p = 3, a 3-pixel marker of lit rows 381 … 383 over the unlit bar.
    meter->setLevels(10, std::pow(10.0f, -59.5f / 20.0f), 0.0f, 0.0f, 0.0f);
    paint();
    EXPECT_EQ(at(150, 399).id, kKLit);
    EXPECT_EQ(at(150, 399).row, 381);
    EXPECT_EQ(at(150, 401).row, 383);
    EXPECT_EQ(at(150, 398).id, kKUnlit);
    // -59.8 dB: p = 1, nothing.
    meter->resetMeter();
    meter->setLevels(20, std::pow(10.0f, -59.8f / 20.0f), 0.0f, 0.0f, 0.0f);
    paint();
    EXPECT_EQ(at(150, 401).id, kKUnlit);
}

TEST_F(MeterFixture, OtherModesDrawNothing) {
    auto* meter = add(new CMeterIn(CMeterIn::defaultSize(), bitmaps, &listener));
    frame->setBackground(bitmaps.background);
    meter->setMeterMode(7);
    meter->setLevels(10, 1.0f, 1.0f, 1.0f, 1.0f);
    paint();
    EXPECT_EQ(at(150, 300).id, kBackground);
    EXPECT_FALSE(meter->isDirty());
}

TEST_F(MeterFixture, GainReductionBarsHangFromTheTopAndRecover) {
    auto* meter = add(new CMeterGR(CMeterGR::defaultSize(), grBackground, grBar, &listener));
    // Less than 0.1 dB draws no bar; 0.11 dB draws 2 pixels.
    meter->setLevels(10, std::pow(10.0f, -0.05f / 20.0f), std::pow(10.0f, -0.11f / 20.0f));
    paint();
    EXPECT_EQ(at(234, 42).id, kGrBackground);
    EXPECT_EQ(at(275, 42).id, kGrBar);
    EXPECT_EQ(at(275, 43).row, 1);
    EXPECT_EQ(at(275, 44).id, kGrBackground);
    EXPECT_EQ(at(275, 44).row, 44 - 39);
    EXPECT_EQ(CMeterGR::barPixels(-0.1f, false), 2);
    EXPECT_EQ(CMeterGR::barPixels(-0.05f, false), 0);
    // 10 dB: 61 pixels, 121 zoomed (second frame of the background).
    meter->setLevels(20, 0.31622776f, 0.31622776f);
    paint();
    EXPECT_EQ(at(234, 42 + 60).id, kGrBar);
    EXPECT_EQ(at(234, 42 + 61).id, kGrBackground);
    meter->setZoom(true);
    paint();
    EXPECT_EQ(at(234, 42 + 120).id, kGrBar);
    EXPECT_EQ(at(250, 50).row, 153 + (50 - 39));
    // Held 50 ms, then 30 dB/s back toward 0.
    meter->setLevels(70, 1.0f, 1.0f);
    paint();
    EXPECT_NEAR(meter->heldDb(0), -10.0f, 1e-4);
    meter->setLevels(170, 1.0f, 1.0f);
    paint();
    EXPECT_NEAR(meter->heldDb(0), -7.0f, 1e-3);
    // The meter never shows more than 30 dB, nor a gain of zero as anything else.
    meter->setLevels(180, 0.0f, 1e-6f);
    paint();
    EXPECT_EQ(meter->heldDb(0), -30.0f);
    EXPECT_EQ(meter->heldDb(1), -30.0f);
}

TEST_F(MeterFixture, PeakReadoutTextsBoxesAndUnits) {
    EXPECT_EQ(CMeterLCD::valueText(-14.0f, 2), "+0.0");
    EXPECT_EQ(CMeterLCD::valueText(0.3f, 2), "+14.3");
    EXPECT_EQ(CMeterLCD::valueText(-120.0f, 0), "-oo");
    EXPECT_EQ(CMeterLCD::valueText(-120.0f, 3), "-oo");
    EXPECT_EQ(CMeterLCD::valueText(-99.0f, 0), "-99.0");
    auto* lcd =
        add(new CMeterLCD(CRect(131, 415, 224, 426), bitmaps.background, font, redFont, &listener));
    lcd->setMeterMode(2);
    lcd->setPeaks(std::pow(10.0f, -14.0f / 20.0f), std::pow(10.0f, 0.3f / 20.0f));
    paint();
    const int x0 = 131, y1 = 426;
    // Left: dark box, first font; right: over-red box, second font.
    EXPECT_TRUE(frame->getPixel(x0 + 5, y1 - 10) == zelto::kLcdDark);
    EXPECT_TRUE(frame->getPixel(x0 + 65, y1 - 10) == zelto::kLcdOverRed);
    // "+0.0" is four characters: its first cell starts 3 pixels in.
    EXPECT_EQ(at(x0 + 2 + 3, y1 - 9).id, kFont);
    EXPECT_EQ(at(x0 + 2 + 3, y1 - 9).row, 8 * ('+' - 32 + 96));
    EXPECT_EQ(at(x0 + 62, y1 - 9).id, kRedFont);
    // Unit "dBr" after four blanks in the K modes.
    EXPECT_EQ(at(x0 + 38, y1 - 9).row, 8 * ('d' - 32));
    // Silence never replaces the held maximum; a click resets to "-oo".
    lcd->setPeaks(0.0f, 0.0f);
    EXPECT_NEAR(lcd->maxDb(0), -14.0f, 1e-4);
    CPoint where(140, 420);
    EXPECT_EQ(lcd->onMouseDown(where, CButtonState(kRButton)), kMouseEventNotHandled);
    EXPECT_EQ(lcd->onMouseDown(where, CButtonState(kLButton)),
              kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_EQ(listener.calls.load(), 1);
    EXPECT_EQ(listener.lastTag, 27);
    EXPECT_EQ(lcd->maxDb(0), -120.0f);
    lcd->setMeterMode(0);
    paint();
    EXPECT_EQ(at(x0 + 35, y1 - 9).row, 8 * ('d' - 32));          // "dBFS"
    EXPECT_EQ(at(x0 + 2 + 6, y1 - 9).row, 8 * ('-' - 32 + 96));  // "-oo"
}

TEST_F(MeterFixture, GainReductionReadoutKeepsTheDeepest) {
    auto* lcd =
        add(new CMeterLCDGR(CRect(217, 199, 310, 210), bitmaps.background, font, &listener));
    lcd->setGainReduction(0.5f, 0.9f);
    lcd->setGainReduction(0.8f, 0.25f);
    EXPECT_NEAR(lcd->minDb(0), -6.02f, 0.01f);
    EXPECT_NEAR(lcd->minDb(1), -12.04f, 0.01f);
    EXPECT_EQ(CMeterLCDGR::valueText(lcd->minDb(0)), "-6.0");
    EXPECT_EQ(CMeterLCDGR::valueText(0.0f), "0.0");
    paint();
    EXPECT_EQ(at(217 + 41, 210 - 9).row, 8 * ('d' - 32));
    EXPECT_TRUE(frame->getPixel(217 + 5, 210 - 10) == zelto::kLcdDark);
    lcd->resetMeter();
    paint();
    EXPECT_EQ(lcd->minDb(0), 0.0f);
    lcd->setGainReduction(0.0f, 1.0f);
    EXPECT_EQ(lcd->minDb(0), -99.9f);
}

TEST_F(MeterFixture, EveryMeterAsksTheEditorToResetOnALeftClick) {
    auto* in = add(new CMeterIn(CMeterIn::defaultSize(), bitmaps, &listener));
    auto* out = add(new CMeterOut(CMeterOut::defaultSize(), bitmaps, &listener));
    auto* gr = add(new CMeterGR(CMeterGR::defaultSize(), grBackground, grBar, &listener));
    auto* grLcd =
        add(new CMeterLCDGR(CRect(217, 199, 310, 210), bitmaps.background, font, &listener));
    for (CControl* view : std::initializer_list<CControl*>{in, out, gr, grLcd}) {
        EXPECT_EQ(view->getTag(), 27);
        const CRect& r = view->getViewSize();
        EXPECT_EQ(frame->injectMouseDown(CPoint(r.left + 2, r.top + 5), CButtonState(kRButton)),
                  kMouseEventNotHandled);
    }
    EXPECT_EQ(listener.calls.load(), 0);
    for (CControl* view : std::initializer_list<CControl*>{in, out, gr, grLcd}) {
        const CRect& r = view->getViewSize();
        frame->injectMouseDown(CPoint(r.left + 2, r.top + 5), CButtonState(kLButton));
        frame->injectMouseUp(CPoint(r.left + 2, r.top + 5), CButtonState(kLButton));
    }
    EXPECT_EQ(listener.calls.load(), 4);
    // The reset itself is the editor's: a request any thread may make.
    in->setLevels(10, 1.0f, 1.0f, 1.0f, 1.0f);
    in->resetMeter();
    paint();
    EXPECT_EQ(in->heldDb(0), CBarMeter::kFloorDb);
    EXPECT_EQ(in->rmsDb(0), CBarMeter::kFloorDb);
}

TEST_F(MeterFixture, InfoPanelOpensOnTheLogoAndClosesOnTheNextClickAnywhere) {
    auto* beneath = add(new CMeterIn(CMeterIn::defaultSize(), bitmaps, &listener));
    auto* info = add(new CInfo(CInfo::defaultSize(), font));
    info->setLatency(159);
    // A right click on the logo does nothing.
    EXPECT_EQ(frame->injectMouseDown(CPoint(250, 380), CButtonState(kRButton)),
              kMouseEventNotHandled);
    EXPECT_FALSE(info->isOpen());
    frame->injectMouseDown(CPoint(250, 380), CButtonState(kLButton));
    frame->injectMouseUp(CPoint(250, 380), CButtonState(kLButton));
    ASSERT_TRUE(info->isOpen());
    EXPECT_EQ(frame->getModalView(), info);
    paint();
    EXPECT_TRUE(frame->getPixel(300, 420) == zelto::kLcdLight);
    // "159" ends at x 470: its first cell starts at 452 with glyph '1'.
    EXPECT_EQ(at(452, 344).id, kFont);
    EXPECT_EQ(at(452, 344).row, 8 * ('1' - 32));
    EXPECT_EQ(at(464, 344).row, 8 * ('9' - 32));
    // Title inverted on the dark tab.
    EXPECT_EQ(at(55, 302).row, 8 * ('K' - 32 + 96));
    // The next click, on the input meter, closes the panel and reaches nothing.
    frame->injectMouseDown(CPoint(160, 200), CButtonState(kLButton));
    frame->injectMouseUp(CPoint(160, 200), CButtonState(kLButton));
    EXPECT_FALSE(info->isOpen());
    EXPECT_EQ(frame->getModalView(), nullptr);
    EXPECT_EQ(listener.calls.load(), 0);
    EXPECT_TRUE(info->getViewSize() == CInfo::defaultSize());
    (void)beneath;
    // A latency of 0 prints one glyph at 464.
    info->setLatency(0);
    frame->injectMouseDown(CPoint(250, 380), CButtonState(kLButton));
    paint();
    EXPECT_EQ(at(464, 344).row, 8 * ('0' - 32));
    EXPECT_TRUE(frame->getPixel(458, 344) == zelto::kLcdLight);
}

TEST_F(MeterFixture, ConcurrentModeZoomAndResetWhileTheUiDraws) {
    // The editor's setParameter may change modes and reset meters from the
    // host's automation thread while the UI thread updates and draws.
    auto* in = add(new CMeterIn(CMeterIn::defaultSize(), bitmaps, &listener));
    auto* gr = add(new CMeterGR(CMeterGR::defaultSize(), grBackground, grBar, &listener));
    auto* lcd =
        add(new CMeterLCD(CRect(131, 415, 224, 426), bitmaps.background, font, redFont, &listener));
    std::atomic<bool> stop{false};
    std::thread automation([&] {
        for (int n = 0; n < 2000; ++n) {
            in->setMeterMode(n % 4);
            lcd->setMeterMode(n % 4);
            gr->setZoom((n & 1) != 0);
            if (n % 7 == 0) {
                in->resetMeter();
                gr->resetMeter();
                lcd->resetMeter();
            }
        }
        stop = true;
    });
    uint32_t tick = 0;
    while (!stop) {
        tick += 40;
        in->setLevels(tick, 0.5f, 0.5f, 0.1f, 0.1f);
        gr->setLevels(tick, 0.7f, 0.7f);
        lcd->setPeaks(0.5f, 0.5f);
        paint();
    }
    automation.join();
    EXPECT_LE(in->heldDb(0), 0.0f);
}

}  // namespace
