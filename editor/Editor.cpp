// Editor: building the window, the binding of controls and parameters both
// ways, the idle loop, the metering preferences and snapshots.
#include "editor/Editor.h"

#include <vector>

#include "core/MeterPrefs.h"
#include "editor/CAutoBlack.h"
#include "editor/CBits.h"
#include "editor/CCalibButton.h"
#include "editor/CInfo.h"
#include "editor/CMeterGR.h"
#include "editor/CMeterIn.h"
#include "editor/CMeterLCD.h"
#include "editor/CMeterLCDGR.h"
#include "editor/CMeterOut.h"
#include "editor/CModeButton.h"
#include "editor/CMyKnob.h"
#include "editor/CNoiseShape.h"
#include "editor/COversamplingButton.h"
#include "editor/CSpeedSwitch.h"
#include "editor/CZeltoButton.h"
#include "editor/FieldText.h"
#include "editor/MyFrame.h"
#include "platform/FileIO.h"
#include "platform/SettingsStore.h"
#include "platform/TickCount.h"
#include "toolkit/platform/NativeSurface.h"

using namespace zelto;

namespace {

// Images of the controls (frames stacked vertically).
enum ImageId : int32_t {
    kImageDetectorOrder = 139,
    kImageOversample = 140,
    kImageMode = 141,
    kImageBits = 142,
    kImageNoiseShape = 143,
    kImageAttZoom = 144,
    kImageCalibrate = 145,
    kImageTransShape = 146,
    kImageLeveller = 147,
    kImageLink = 148,
    kImagePower = 149,
    kImageDrive = 150,
    kImageOutput = 151,
    kImageTransient = 152,
    kImageRelease = 153,
    kImageMeterOvs = 160,
    kImageSmallSwitch = 161,
    kImageQuantize = 162,
    kImageAutoblack = 163,
    kImageAttShow1 = 164,
    kImageAttShow2 = 165,
    kImageAttShowL = 166,
    // Meters, readouts and the info panel.
    kImageBarUnlitK = 129,
    kImageBarLitPeak = 130,
    kImageScaleInK20 = 131,
    kImageScaleInK14 = 132,
    kImageScaleInK12 = 133,
    kImageScaleOutK20 = 134,
    kImageScaleOutK14 = 135,
    kImageScaleOutK12 = 136,
    kImageFont = 137,
    kImageFontRed = 138,
    kImageBarLitK = 154,
    kImageBarUnlitPeak = 155,
    kImageGainBar = 156,
    kImageGainScale = 167,
};

// Arrow-key steps of the knobs: 1/32 of the range, or 1 dB on the 48 and
// 12 dB ranges of Drive and Output/Leveller.
constexpr float kStepFine = 0.03125f;
constexpr float kStepDb12 = 0.05208336f;
constexpr float kStepDb48 = 0.01302084f;

struct KnobRow {
    int32_t tag;
    CRect rect;
    int32_t image;
    CCoord frameHeight;
    float step;
    float defaultValue;  // < 0: the toolkit's own (0.5)
};

struct FieldRow {
    int32_t tag;
    CRect rect;
    CColor font;
    CColor back;
};

constexpr CColor kDarkFieldText(213, 236, 246, 255);
constexpr CColor kDarkFieldBack(37, 36, 35, 255);
constexpr CColor kLightFieldText(39, 39, 39, 255);
constexpr CColor kLightFieldBack(200, 200, 200, 255);

}  // namespace

Editor::Editor(AudioEffectX* effect, EffectView* view)
    : CPresetSystemEditor(effect, view), plugin_(view) {
    rect = ERect{0, 0, kHeight, kWidth};
    lastIdleTick_ = now();
    prefsFlashTick_ = lastIdleTick_;
    if (effect != nullptr) effect->setEditor(this);
}

Editor::~Editor() {
    // The window must be gone before the object it reports to.
    if (frame != nullptr) close();
}

uint32_t Editor::now() const {
    return tickSource_ ? tickSource_() : zelto::tickCount();
}

void Editor::setTickSource(std::function<uint32_t()> source) {
    tickSource_ = std::move(source);
    lastIdleTick_ = now();
}

void Editor::setHostClock(uint32_t milliseconds) {
    hostClock_.store(milliseconds, std::memory_order_relaxed);
    if (!onHostClock_) {
        onHostClock_ = true;
        tickSource_ = [this] { return hostClock_.load(std::memory_order_relaxed); };
        lastIdleTick_ = milliseconds - kIdleIntervalMs;
    }
}

float Editor::parameter(int32_t index) const {
    return plugin_ != nullptr ? plugin_->getParameter(index) : 0.0f;
}

bool Editor::open(void* parentWindow) {
    AEffGUIEditor::open(parentWindow);
    CBitmap* background = new CBitmap(CResourceDescription(kBackgroundId));
    // Without the image the window keeps its catalogued size.
    if (background->getWidth() != kWidth || background->getHeight() != kHeight) {
        background->forget();
        background = new CBitmap(static_cast<CCoord>(kWidth), static_cast<CCoord>(kHeight));
    }
    frame = new MyFrame(background, parentWindow, this);
    background->forget();
    // Everything pending is older than the values the controls start from.
    pendingMask_.exchange(0, std::memory_order_acquire);
    latencyPending_.store(false, std::memory_order_relaxed);
    buildControls();
    // The preset strip lies on top of everything else.
    CPresetSystemEditor::open(parentWindow);
    return true;
}

void Editor::addControl(CControl* control) {
    frame->addView(control);
}

void Editor::buildControls() {
    auto image = [](int32_t id) { return new CBitmap(CResourceDescription(id)); };
    // Creates a control on its image, adds it and lets it keep the image.
    auto place = [&](auto* control, CBitmap* bitmap) {
        addControl(control);
        bitmap->forget();
        return control;
    };
    auto button = [&](const CRect& r, int32_t tag, int32_t id, bool preference) {
        CBitmap* bitmap = image(id);
        auto* b = place(new CZeltoButton(r, this, tag, bitmap, preference), bitmap);
        b->setValue(parameter(tag));
        return b;
    };
    const int32_t quantizeOn = stepFromValue(parameter(kParamQuantize), 2);

    // In this order: later controls lie above earlier ones.
    detectorOrder_ = button(CRect(44, 40, 77, 59), kParamDetectorOrder, kImageDetectorOrder, false);
    {
        CBitmap* bitmap = image(kImageOversample);
        oversample_ =
            place(new COversamplingButton(CRect(81, 40, 114, 59), this, kParamOversample, bitmap),
                  bitmap);
        oversample_->setValue(parameter(kParamOversample));
    }
    {
        CBitmap* bitmap = image(kImageMode);
        mode_ =
            place(new CModeButton(CRect(223, 305, 258, 361), this, kParamScale, bitmap), bitmap);
        mode_->setMeterType(stepFromValue(parameter(kParamMeterType), 2));
        mode_->setMeterScale(stepFromValue(parameter(kParamScale), 3));
    }
    quantize_ = button(CRect(412, 40, 445, 59), kParamQuantize, kImageQuantize, false);
    {
        CBitmap* bitmap = image(kImageAutoblack);
        autoblack_ =
            place(new CAutoBlack(CRect(449, 40, 482, 59), this, kParamAutoblack, bitmap), bitmap);
        autoblack_->setValue(parameter(kParamAutoblack));
        autoblack_->setSelection(stepFromValue(parameter(kParamAutoblack), 2));
        autoblack_->setEnabled(quantizeOn);
    }
    {
        CBitmap* bitmap = image(kImageBits);
        bits_ = place(new CBits(CRect(412, 78, 445, 97), this, kParamBits, bitmap), bitmap);
        bits_->setValue(parameter(kParamBits));
        bits_->setSelection(stepFromValue(parameter(kParamBits), 3));
        bits_->setEnabled(quantizeOn);
    }
    {
        CBitmap* bitmap = image(kImageNoiseShape);
        noiseShape_ =
            place(new CNoiseShape(CRect(449, 78, 482, 97), this, kParamNoiseShape, bitmap), bitmap);
        noiseShape_->setValue(parameter(kParamNoiseShape));
        noiseShape_->setSelection(stepFromValue(parameter(kParamNoiseShape), 4));
        noiseShape_->setEnabled(quantizeOn);
    }
    {
        CBitmap* bitmap = image(kImageCalibrate);
        calibrate_ = place(
            new CCalibButton(CRect(269, 341, 302, 360), this, kParamCalibrate, bitmap), bitmap);
        calibrate_->setValue(parameter(kParamCalibrate));
    }
    attZoom_ = button(CRect(269, 265, 302, 284), kParamAttZoom, kImageAttZoom, true);
    {
        const CRect places[3] = {CRect(224, 265, 257, 284), CRect(224, 230, 257, 249),
                                 CRect(269, 230, 302, 249)};
        const int32_t images[3] = {kImageAttShow1, kImageAttShow2, kImageAttShowL};
        const int32_t mask = stepFromValue(parameter(kParamAttShow), 8);
        for (int32_t bit = 0; bit < 3; ++bit) {
            CBitmap* bitmap = image(images[bit]);
            attShow_[bit] = place(
                new CZeltoButton(places[bit], this, kTagAttShowBit0 + bit, bitmap, true), bitmap);
            attShow_[bit]->setValue((mask >> bit) & 1 ? 1.0f : 0.0f);
        }
    }
    auto knob = [&](const KnobRow& row) {
        CBitmap* bitmap = image(row.image);
        auto* k = place(new CMyKnob(row.rect, this, row.tag, bitmap, row.frameHeight), bitmap);
        k->setValue(parameter(row.tag));
        k->setWheelInc(row.step);
        if (row.defaultValue >= 0.0f) k->setDefaultValue(row.defaultValue);
        return k;
    };
    transient_ =
        knob({kParamTransient, CRect(55, 169, 105, 217), kImageTransient, 48, kStepFine, 0.2f});
    release_ =
        knob({kParamRelease, CRect(56, 267, 105, 314), kImageRelease, 47, kStepFine, 0.7237f});
    leveller_ =
        knob({kParamLeveller, CRect(421, 169, 469, 216), kImageLeveller, 47, kStepDb12, 1.0f});
    link_ = knob({kParamLink, CRect(421, 267, 469, 314), kImageLink, 47, kStepFine, 1.0f});
    {
        CBitmap* bitmap = image(kImageTransShape);
        transShape_ = place(
            new CSpeedSwitch(CRect(38, 121, 128, 146), this, kParamTransShape, bitmap), bitmap);
        transShape_->setValue(parameter(kParamTransShape));
    }
    power_ = button(CRect(245, 400, 280, 435), kParamPower, kImagePower, false);
    drive_ = knob({kParamDrive, CRect(52, 349, 108, 404), kImageDrive, 55, kStepDb48, -1.0f});
    output_ = knob({kParamOutput, CRect(417, 349, 475, 405), kImageOutput, 56, kStepDb12, 1.0f});
    autoOut_ = button(CRect(394, 368, 412, 392), kParamAutoOut, kImageSmallSwitch, false);
    postMeter_ = button(CRect(116, 368, 134, 392), kParamPostMeter, kImageSmallSwitch, true);
    {
        CBitmap* font = image(kImageFont);
        info_ = place(new CInfo(CInfo::defaultSize(), font), font);
        info_->setLatency(getLatency());
    }

    const FieldRow fieldRows[] = {
        {kParamDrive, CRect(43, 409, 117, 427), kDarkFieldText, kDarkFieldBack},
        {kParamOutput, CRect(410, 409, 484, 427), kDarkFieldText, kDarkFieldBack},
        {kParamTransient, CRect(45, 221, 119, 239), kLightFieldText, kLightFieldBack},
        {kParamRelease, CRect(45, 319, 119, 337), kLightFieldText, kLightFieldBack},
        {kParamLeveller, CRect(411, 221, 485, 239), kLightFieldText, kLightFieldBack},
        {kParamLink, CRect(411, 319, 485, 337), kLightFieldText, kLightFieldBack},
    };
    for (const FieldRow& row : fieldRows) {
        CBitmap* bitmap = image(kBackgroundId);
        auto* field = place(new CTextEdit(row.rect, this, row.tag, nullptr, bitmap, 0), bitmap);
        const int32_t tag = row.tag;
        field->setValueToStringFunction([tag](float v, char text[256], CParamDisplay*) {
            return editor::formatFieldText(tag, v, text, 256);
        });
        field->setStringToValueFunction([tag](const char* text, float& result, CTextEdit*) {
            result = editor::parseFieldText(tag, text);
            return true;
        });
        field->setBackOffset(CPoint(row.rect.left, row.rect.top));
        field->setFontColor(row.font);
        field->setBackColor(row.back);
        field->setFont(kNormalFontSmaller);
        field->setValue(parameter(tag));
        fields_[tag] = field;
    }
    meterOvs_ = button(CRect(269, 307, 302, 326), kParamMeterOvs, kImageMeterOvs, true);
    buildMeters();
    // The preset strip goes above these.
}

void Editor::buildMeters() {
    auto image = [](int32_t id) { return new CBitmap(CResourceDescription(id)); };
    CBitmap* background = image(kBackgroundId);
    CBitmap* font = image(kImageFont);
    CBitmap* redFont = image(kImageFontRed);
    CBarMeterBitmaps bars;
    bars.background = background;
    bars.peakUnlit = image(kImageBarUnlitPeak);
    bars.peakLit = image(kImageBarLitPeak);
    bars.kLit = image(kImageBarLitK);
    bars.kUnlit = image(kImageBarUnlitK);
    CBarMeterBitmaps in = bars, out = bars;
    in.scaleK20 = image(kImageScaleInK20);
    in.scaleK14 = image(kImageScaleInK14);
    in.scaleK12 = image(kImageScaleInK12);
    out.scaleK20 = image(kImageScaleOutK20);
    out.scaleK14 = image(kImageScaleOutK14);
    out.scaleK12 = image(kImageScaleOutK12);
    meterIn_ = new CMeterIn(CMeterIn::defaultSize(), in, this);
    addControl(meterIn_);
    meterOut_ = new CMeterOut(CMeterOut::defaultSize(), out, this);
    addControl(meterOut_);
    CBitmap* grScale = image(kImageGainScale);
    CBitmap* grBar = image(kImageGainBar);
    meterGR_ = new CMeterGR(CMeterGR::defaultSize(), grScale, grBar, this);
    addControl(meterGR_);
    lcdIn_ = new CMeterLCD(CRect(131, 415, 224, 426), background, font, redFont, this);
    addControl(lcdIn_);
    lcdOut_ = new CMeterLCD(CRect(303, 415, 396, 426), background, font, redFont, this);
    addControl(lcdOut_);
    lcdGR_ = new CMeterLCDGR(CRect(217, 199, 310, 210), background, font, this);
    addControl(lcdGR_);
    // The views hold their own references now.
    for (CBitmap* b : {background, font, redFont, bars.peakUnlit, bars.peakLit, bars.kLit,
                       bars.kUnlit, in.scaleK20, in.scaleK14, in.scaleK12, out.scaleK20,
                       out.scaleK14, out.scaleK12, grScale, grBar}) {
        b->forget();
    }
    setMeterModes(meterModeFor(parameter(kParamMeterType), parameter(kParamScale)));
    meterGR_->setZoom(stepFromValue(parameter(kParamAttZoom), 2) != 0);
}

int32_t Editor::meterModeFor(float meterType, float scale) {
    return stepFromValue(meterType, 2) == 0 ? 0 : stepFromValue(scale, 3) + 1;
}

void Editor::setMeterModes(int32_t mode) {
    if (meterIn_ != nullptr) meterIn_->setMeterMode(mode);
    if (meterOut_ != nullptr) meterOut_->setMeterMode(mode);
    if (lcdIn_ != nullptr) lcdIn_->setMeterMode(mode);
    if (lcdOut_ != nullptr) lcdOut_->setMeterMode(mode);
}

void Editor::updateMeters(uint32_t tick) {
    if (plugin_ == nullptr || meterIn_ == nullptr) return;
    const zelto::MeterSnapshot m = plugin_->getMeterValues();
    const float* v = m.values;
    using namespace zelto;
    meterIn_->setLevels(tick, v[kMeterInPeakL], v[kMeterInPeakR], v[kMeterInRmsL], v[kMeterInRmsR]);
    meterOut_->setLevels(tick, v[kMeterOutPeakL], v[kMeterOutPeakR], v[kMeterOutRmsL],
                         v[kMeterOutRmsR]);
    meterGR_->setLevels(tick, v[kMeterGainL], v[kMeterGainR]);
    lcdIn_->setPeaks(v[kMeterInPeakL], v[kMeterInPeakR]);
    lcdOut_->setPeaks(v[kMeterOutPeakL], v[kMeterOutPeakR]);
    lcdGR_->setGainReduction(v[kMeterGainL], v[kMeterGainR]);
}

void Editor::clearControlPointers() {
    detectorOrder_ = quantize_ = attZoom_ = power_ = autoOut_ = postMeter_ = meterOvs_ = nullptr;
    for (CZeltoButton*& b : attShow_) b = nullptr;
    oversample_ = nullptr;
    mode_ = nullptr;
    autoblack_ = nullptr;
    bits_ = nullptr;
    noiseShape_ = nullptr;
    calibrate_ = nullptr;
    transient_ = release_ = leveller_ = link_ = drive_ = output_ = nullptr;
    transShape_ = nullptr;
    for (CTextEdit*& f : fields_) f = nullptr;
    info_ = nullptr;
    meterIn_ = nullptr;
    meterOut_ = nullptr;
    meterGR_ = nullptr;
    lcdIn_ = lcdOut_ = nullptr;
    lcdGR_ = nullptr;
}

void Editor::close() {
    // A value being typed commits while every control still exists; a file
    // dialog still up ends unanswered.
    CPresetSystemEditor::close();
    clearControlPointers();
}

void Editor::setParameter(VstInt32 index, float value) {
    // Any thread, the audio thread included: two atomic stores, nothing else.
    if (index < 0 || index >= kNumLiveParams) return;
    pendingValues_[index].store(value, std::memory_order_relaxed);
    pendingMask_.fetch_or(1u << index, std::memory_order_release);
}

void Editor::applyPendingParameters() {
    if (frame == nullptr) return;
    uint32_t mask = pendingMask_.exchange(0, std::memory_order_acquire);
    while (mask != 0) {
        const int32_t index = __builtin_ctz(mask);
        mask &= mask - 1;
        showParameter(index, pendingValues_[index].load(std::memory_order_relaxed));
    }
}

CControl* Editor::findControl(int32_t tag) const {
    switch (tag) {
        case kParamOutput:
            return output_;
        case kParamDrive:
            return drive_;
        case kParamTransient:
            return transient_;
        case kParamRelease:
            return release_;
        case kParamTransShape:
            return transShape_;
        case kParamLink:
            return link_;
        case kParamOversample:
            return oversample_;
        case kParamDetectorOrder:
            return detectorOrder_;
        case kParamPower:
            return power_;
        case kParamScale:
        case kParamMeterType:
            return mode_;
        case kParamBits:
            return bits_;
        case kParamNoiseShape:
            return noiseShape_;
        case kParamCalibrate:
            return calibrate_;
        case kParamLeveller:
            return leveller_;
        case kParamMeterOvs:
            return meterOvs_;
        case kParamAutoOut:
            return autoOut_;
        case kParamQuantize:
            return quantize_;
        case kParamAutoblack:
            return autoblack_;
        case kParamAttZoom:
            return attZoom_;
        case kParamPostMeter:
            return postMeter_;
        case kTagAttShowBit0:
        case kTagAttShowBit0 + 1:
        case kTagAttShowBit0 + 2:
            return attShow_[tag - kTagAttShowBit0];
        default:
            return nullptr;
    }
}

CTextEdit* Editor::findValueField(int32_t param) const {
    return param >= 0 && param < kNumLiveParams ? fields_[param] : nullptr;
}

void Editor::showParameter(int32_t index, float v) {
    switch (index) {
        case kParamOutput:
        case kParamDrive:
        case kParamTransient:
        case kParamRelease:
        case kParamLink:
        case kParamLeveller:
            if (CControl* knob = findControl(index)) knob->setValue(v);
            if (fields_[index] != nullptr) fields_[index]->setValue(v);
            break;
        case kParamTransShape:
        case kParamOversample:
        case kParamDetectorOrder:
        case kParamPower:
        case kParamCalibrate:
        case kParamMeterOvs:
        case kParamAutoOut:
        case kParamPostMeter:
            if (CControl* control = findControl(index)) control->setValue(v);
            break;
        case kParamScale:
            if (mode_ != nullptr) mode_->setMeterScale(stepFromValue(v, 3));
            setMeterModes(meterModeFor(parameter(kParamMeterType), v));
            break;
        case kParamMeterType:
            if (mode_ != nullptr) mode_->setMeterType(stepFromValue(v, 2));
            setMeterModes(meterModeFor(v, parameter(kParamScale)));
            break;
        case kParamBits:
            if (bits_ != nullptr) bits_->setSelection(stepFromValue(v, 3));
            break;
        case kParamNoiseShape:
            if (noiseShape_ != nullptr) noiseShape_->setSelection(stepFromValue(v, 4));
            break;
        case kParamQuantize: {
            const int32_t on = stepFromValue(v, 2);
            if (quantize_ != nullptr) quantize_->setValue(v);
            if (bits_ != nullptr) bits_->setEnabled(on);
            if (noiseShape_ != nullptr) noiseShape_->setEnabled(on);
            if (autoblack_ != nullptr) autoblack_->setEnabled(on);
            break;
        }
        case kParamAutoblack:
            if (autoblack_ != nullptr) autoblack_->setSelection(stepFromValue(v, 2));
            break;
        case kParamAttZoom:
            if (attZoom_ != nullptr) attZoom_->setValue(v);
            if (meterGR_ != nullptr) meterGR_->setZoom(stepFromValue(v, 2) != 0);
            break;
        case kParamAttShow: {
            // Gains held under the old selection mean nothing under the new one.
            if (meterGR_ != nullptr) meterGR_->resetMeter();
            if (lcdGR_ != nullptr) lcdGR_->resetMeter();
            const int32_t mask = stepFromValue(v, 8);
            for (int32_t bit = 0; bit < 3; ++bit) {
                if (attShow_[bit] != nullptr)
                    attShow_[bit]->setValue(valueFromStep((mask >> bit) & 1, 2));
            }
            break;
        }
        default:
            break;
    }
}

void Editor::valueChanged(CControl* control) {
    if (control == nullptr || plugin_ == nullptr) return;
    const int32_t tag = control->getTag();
    // Tags above the window's own belong to the preset strip.
    if (tag > kLastControlTag) {
        CPresetSystemEditor::valueChanged(control);
        return;
    }
    const float v = control->getValue();
    switch (tag) {
        case kParamOversample:
        case kParamCalibrate:
        case kParamMeterOvs:
            // What the meters held was measured the old way.
            resetAllMeters();
            plugin_->setParameterAutomated(tag, v);
            break;
        case kParamOutput:
        case kParamDrive:
        case kParamTransient:
        case kParamRelease:
        case kParamTransShape:
        case kParamLink:
        case kParamDetectorOrder:
        case kParamPower:
        case kParamBits:
        case kParamNoiseShape:
        case kParamLeveller:
        case kParamAutoOut:
        case kParamQuantize:
        case kParamAutoblack:
            plugin_->setParameterAutomated(tag, v);
            break;
        case kParamAttZoom:
            // A new scale: the held bar restarts with it.
            if (meterGR_ != nullptr) meterGR_->resetMeter();
            plugin_->setParameterAutomated(tag, v);
            break;
        case kParamPostMeter:
            // The input meter now measures before or after the drive.
            if (meterIn_ != nullptr) meterIn_->resetMeter();
            if (lcdIn_ != nullptr) lcdIn_->resetMeter();
            plugin_->setParameterAutomated(tag, v);
            break;
        case kTagAllMeters:
            resetAllMeters();
            break;
        case kTagAttShowBit0:
        case kTagAttShowBit0 + 1:
        case kTagAttShowBit0 + 2: {
            const int32_t bit = 1 << (tag - kTagAttShowBit0);
            int32_t mask = stepFromValue(parameter(kParamAttShow), 8);
            mask = stepFromValue(v, 2) == 1 ? (mask | bit) : (mask & ~bit & 7);
            plugin_->setParameterAutomated(kParamAttShow, valueFromStep(mask, 8));
            break;
        }
        default:
            // "Scale" and "MeterType" come from the mode button through
            // setMeterScale / setMeterType, "AttShow" from its three bits.
            break;
    }
}

void Editor::resetAllMeters() {
    if (meterIn_ != nullptr) meterIn_->resetMeter();
    if (meterOut_ != nullptr) meterOut_->resetMeter();
    if (meterGR_ != nullptr) meterGR_->resetMeter();
    if (lcdIn_ != nullptr) lcdIn_->resetMeter();
    if (lcdOut_ != nullptr) lcdOut_->resetMeter();
    if (lcdGR_ != nullptr) lcdGR_->resetMeter();
}

void Editor::setMeterType(int32_t type) {
    if (plugin_ != nullptr) plugin_->setParameterAutomated(kParamMeterType, valueFromStep(type, 2));
}

void Editor::setMeterScale(int32_t scale) {
    if (plugin_ != nullptr) plugin_->setParameterAutomated(kParamScale, valueFromStep(scale, 3));
}

void Editor::setPrefsHighlight(bool on) {
    for (CZeltoButton* b :
         {attShow_[0], attShow_[1], attShow_[2], attZoom_, meterOvs_, postMeter_}) {
        if (b != nullptr) b->setHighlight(on);
    }
    if (mode_ != nullptr) mode_->setHighlight(on);
}

void Editor::saveMeterPrefs() {
    int32_t steps[std::size(kMeterPrefs)];
    for (size_t i = 0; i < std::size(kMeterPrefs); ++i) {
        steps[i] = stepFromValue(parameter(kMeterPrefs[i].param), kMeterPrefs[i].steps);
    }
    // 0 means "no flash", so a save at tick 0 counts from tick 1.
    prefsFlashTick_ = now();
    if (prefsFlashTick_ == 0) prefsFlashTick_ = 1;
    setPrefsHighlight(true);
    // A store that cannot be written changes nothing; there is nobody to tell
    // on the host's UI thread but the flash, which shows regardless.
    const SettingsStore store(kMeterPrefsFolder);
    for (size_t i = 0; i < std::size(kMeterPrefs); ++i)
        store.writeInt(kMeterPrefs[i].name, steps[i]);
}

void Editor::idle() {
    if (frame == nullptr) return;
    // Input is handled on every call, so a drag follows the mouse at the
    // host's idle rate; only the drawing below is throttled.
    frame->processWindowEvents();
    if (frame == nullptr) return;  // the host closed the window from an event
    applyPendingParameters();
    // Names, the file dialog's answer and the manual's opener: every call,
    // so none of them waits for the meter pass.
    idleStrip();
    if (frame == nullptr) return;
    if (latencyPending_.exchange(false, std::memory_order_acquire) && info_ != nullptr &&
        info_->getLatency() != getLatency()) {
        info_->setLatency(getLatency());
    }
    const uint32_t tick = now();
    if (static_cast<int32_t>(tick - lastIdleTick_) < static_cast<int32_t>(kIdleIntervalMs)) return;
    ++idlePasses_;
    updateMeters(tick);
    if (calibrate_ != nullptr) calibrate_->setTick(tick);
    if (prefsFlashTick_ != 0 && tick - prefsFlashTick_ > kPrefsFlashMs) {
        setPrefsHighlight(false);
        prefsFlashTick_ = 0;
    }
    AEffGUIEditor::idle();
    lastIdleTick_ = tick;
}

bool Editor::snapshotPng(const std::string& path) {
    const bool hadWindow = frame != nullptr;
    if (!hadWindow) open(nullptr);
    bool ok = false;
    if (frame != nullptr) {
        applyPendingParameters();
        frame->updateOffscreen();
        std::vector<uint8_t> png;
        // Windows has no PNG encoder here: the snapshot is refused there.
        ok = zelto::toolkit::encodeSurfacePng(frame->getSurface(), png) &&
             zelto::writeFileAtomically(path, png.data(), png.size());
    }
    if (!hadWindow) close();
    return ok;
}
