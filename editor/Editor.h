// The plug-in window: one fixed 524 x 462 frame drawn from the embedded
// images, with the knobs, switches and value fields of every setting. The
// object lives as long as the effect (it also carries the preset system, see
// CPresetSystemEditor); the window exists between open and close, which
// hosts may repeat any number of times.
//
// Binding, both ways:
//  - a control the user moves calls valueChanged, which sends the change to
//    the effect as automation (EffectView::setParameterAutomated); the effect
//    then calls setParameter below, so a knob and its value field follow each other
//    through the effect;
//  - setParameter (any thread, the audio thread included) only stores the
//    value in an atomic slot and marks it pending; the next idle() call
//    shows it on the controls. It takes no lock, allocates nothing and
//    formats no text, and it never touches a control, so it is safe while
//    the window opens or closes on another thread.
//
// Threads: open, close, idle, valueChanged, keys and snapshots on the host's
// user-interface thread; setParameter and setLatency on any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "core/Parameters.h"
#include "editor/MeterModeListener.h"
#include "editor/strip/CPresetSystemEditor.h"
#include "toolkit/vstgui.h"

class MyFrame;
class CZeltoButton;
class COversamplingButton;
class CModeButton;
class CBits;
class CNoiseShape;
class CAutoBlack;
class CCalibButton;
class CSpeedSwitch;
class CMyKnob;
class CMeterIn;
class CMeterOut;
class CMeterGR;
class CMeterLCD;
class CMeterLCDGR;
class CInfo;

class Editor : public CPresetSystemEditor, public MeterModeListener {
  public:
    static constexpr int32_t kBackgroundId = 128;
    static constexpr int32_t kWidth = 524;
    static constexpr int32_t kHeight = 462;
    /// Meters and redraws run at most this often, however often hosts idle.
    static constexpr uint32_t kIdleIntervalMs = 40;
    /// How long the metering buttons stay lit after a save.
    static constexpr uint32_t kPrefsFlashMs = 500;

    // Control tags that are not parameter indices.
    static constexpr int32_t kTagAllMeters = 27;    // a click resets every meter
    static constexpr int32_t kTagAttShowBit0 = 28;  // bits 0..2 of "AttShow"
    static constexpr int32_t kLastControlTag = 30;

    /// Attaches itself to the format's effect object, which owns it from
    /// then on; everything else it asks of the effect goes through `view`.
    Editor(AudioEffectX* effect, zelto::EffectView* view);
    ~Editor() override;

    bool open(void* parentWindow) override;
    void close() override;
    /// Every call: pending parameter values onto the controls and the
    /// window's input events. At most every 40 ms: blinking, the end of the
    /// save flash, and the repaint.
    void idle() override;
    /// A parameter changed (any thread): shown at the next idle().
    void setParameter(VstInt32 index, float value) override;
    void valueChanged(CControl* control) override;

    // MeterModeListener (user-interface thread).
    /// Writes the six metering preferences to the settings store, so every
    /// new instance starts with this set-up, and lights the seven buttons
    /// that hold them for 500 ms as acknowledgement.
    void saveMeterPrefs() override;
    void setMeterType(int32_t type) override;
    void setMeterScale(int32_t scale) override;

    /// Restarts the held values of every meter view.
    void resetAllMeters();

    /// The latency the info panel shows; the effect reports every change
    /// (any thread: stored here, handed to the panel on the next idle).
    void setLatency(int32_t samples) {
        latencySamples_.store(samples, std::memory_order_relaxed);
        latencyPending_.store(true, std::memory_order_release);
    }
    int32_t getLatency() const { return latencySamples_.load(std::memory_order_relaxed); }
    /// 0 for peak metering, else 1, 2, 3 for K-12, K-14, K-20, from "MeterType"
    /// and "Scale".
    static int32_t meterModeFor(float meterType, float scale);

    /// Writes the window as it looks now as a PNG file (replacing it
    /// atomically); with no window open the editor is drawn offscreen.
    bool snapshotPng(const std::string& path);

    /// How many idle passes did real work (for tests of the 40 ms throttle).
    uint64_t idlePasses() const { return idlePasses_; }
    /// The clock of idle(); the system tick count unless replaced (tests).
    void setTickSource(std::function<uint32_t()> source);
    /// Replaces the clock by the host's own time (UI thread): a tool that runs
    /// audio faster than real time advances it with the programme.
    void setHostClock(uint32_t milliseconds);
    /// Whether the save flash is showing.
    bool isFlashing() const { return prefsFlashTick_ != 0; }

    /// The control of this tag (first of the table: the knob before its
    /// value field), or nullptr while closed. For tests and tools.
    CControl* findControl(int32_t tag) const;
    /// The value field of this parameter, or nullptr.
    CTextEdit* findValueField(int32_t param) const;
    CModeButton* modeButton() const { return mode_; }
    CMeterIn* inputMeter() const { return meterIn_; }
    CMeterOut* outputMeter() const { return meterOut_; }
    CMeterGR* gainReductionMeter() const { return meterGR_; }
    CMeterLCD* inputReadout() const { return lcdIn_; }
    CMeterLCD* outputReadout() const { return lcdOut_; }
    CMeterLCDGR* gainReductionReadout() const { return lcdGR_; }
    CInfo* infoPanel() const { return info_; }

  private:
    uint32_t now() const;
    float parameter(int32_t index) const;
    void buildControls();
    void clearControlPointers();
    /// Shows every parameter value stored by setParameter since the last call.
    void applyPendingParameters();
    void showParameter(int32_t index, float value);
    void setPrefsHighlight(bool on);
    void addControl(CControl* control);
    void buildMeters();
    /// The meter pass of idle(): the engine's ten values onto the six views.
    void updateMeters(uint32_t tick);
    void setMeterModes(int32_t mode);

    zelto::EffectView* plugin_;
    std::atomic<int32_t> latencySamples_{0};
    std::atomic<bool> latencyPending_{false};
    std::function<uint32_t()> tickSource_;
    std::atomic<uint32_t> hostClock_{0};
    bool onHostClock_ = false;
    uint32_t lastIdleTick_;
    uint32_t prefsFlashTick_;
    uint64_t idlePasses_ = 0;

    // Values from setParameter not yet shown: one slot per live parameter
    // and a bit per slot.
    std::atomic<float> pendingValues_[zelto::kNumLiveParams] = {};
    std::atomic<uint32_t> pendingMask_{0};
    static_assert(zelto::kNumLiveParams <= 32, "one pending bit per parameter");

    // The controls, null while closed (the frame owns them).
    CZeltoButton* detectorOrder_ = nullptr;
    COversamplingButton* oversample_ = nullptr;
    CModeButton* mode_ = nullptr;
    CZeltoButton* quantize_ = nullptr;
    CAutoBlack* autoblack_ = nullptr;
    CBits* bits_ = nullptr;
    CNoiseShape* noiseShape_ = nullptr;
    CCalibButton* calibrate_ = nullptr;
    CZeltoButton* attZoom_ = nullptr;
    CZeltoButton* attShow_[3] = {};
    CMyKnob* transient_ = nullptr;
    CMyKnob* release_ = nullptr;
    CMyKnob* leveller_ = nullptr;
    CMyKnob* link_ = nullptr;
    CSpeedSwitch* transShape_ = nullptr;
    CZeltoButton* power_ = nullptr;
    CMyKnob* drive_ = nullptr;
    CMyKnob* output_ = nullptr;
    CZeltoButton* autoOut_ = nullptr;
    CZeltoButton* postMeter_ = nullptr;
    CTextEdit* fields_[zelto::kNumLiveParams] = {};  // by parameter
    CZeltoButton* meterOvs_ = nullptr;
    CInfo* info_ = nullptr;
    CMeterIn* meterIn_ = nullptr;
    CMeterOut* meterOut_ = nullptr;
    CMeterGR* meterGR_ = nullptr;
    CMeterLCD* lcdIn_ = nullptr;
    CMeterLCD* lcdOut_ = nullptr;
    CMeterLCDGR* lcdGR_ = nullptr;
};
