// The plug-in window: one fixed 524 x 462 frame drawn from the embedded
// images. The object lives as long as the effect (it also carries the preset
// system, see CPresetSystemEditor); the window exists between open and close,
// which hosts may repeat any number of times.
// Threads: open, close, idle, keys and snapshots on the host's user-interface
// thread; setLatency on any thread (it only stores a value).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "presets/CPresetSystemEditor.h"
#include "toolkit/vstgui.h"

class Plugin;
class MyFrame;

class Editor : public CPresetSystemEditor, public CControlListener {
public:
    static constexpr int32_t kBackgroundId = 128;
    static constexpr int32_t kWidth = 524;
    static constexpr int32_t kHeight = 462;
    /// Meters and redraws run at most this often, however often hosts idle.
    static constexpr uint32_t kIdleIntervalMs = 40;

    /// Attaches itself to the effect, which owns it from then on.
    explicit Editor(Plugin* effect);
    ~Editor() override;

    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;
    void valueChanged(CControl* control) override;

    /// The latency the info panel shows; the effect reports every change.
    void setLatency(int32_t samples) { latencySamples_.store(samples, std::memory_order_relaxed); }
    int32_t getLatency() const { return latencySamples_.load(std::memory_order_relaxed); }

    /// Writes the window as it looks now as a PNG file (replacing it
    /// atomically); with no window open the editor is drawn offscreen.
    bool snapshotPng(const std::string& path);

    /// How many idle passes did real work (for tests of the 40 ms throttle).
    uint64_t idlePasses() const { return idlePasses_; }
    /// The clock of idle(); the system tick count unless replaced (tests).
    void setTickSource(std::function<uint32_t()> source);

private:
    uint32_t now() const;

    Plugin* plugin_;
    std::atomic<int32_t> latencySamples_{0};
    std::function<uint32_t()> tickSource_;
    uint32_t lastIdleTick_;
    uint32_t prefsFlashTick_;
    uint64_t idlePasses_ = 0;
};
