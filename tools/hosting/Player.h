// Runs a file through the plug-in on an audio thread of its own, block by
// block at the file's pace, as a DAW's playback does: to the default sound
// device when there is one, else paced by the clock. The user-interface thread
// meanwhile idles the editor, so the meters move and controls act on the
// audio live. Used by `zelto play`.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace zelto {

class PluginHost;

/// A whole file in memory as two channels (a mono file on both).
struct Programme {
    int sampleRate = 0;
    std::vector<float> left, right;
    int64_t frames() const { return static_cast<int64_t>(left.size()); }
};

/// Reads IN whole; throws ToolError(kExitInput) for a missing, unreadable,
/// empty or truncated file.
Programme readProgramme(const std::string& path);

class Player {
  public:
    /// The host must already run at the programme's rate with this block
    /// size, resumed.
    Player(PluginHost& host, const Programme& programme, int block, bool loop, bool useDevice);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    /// Starts the audio thread; says on stderr where the sound goes.
    void start();
    /// Stops and joins the audio thread (any thread but that one).
    void stop();
    /// The end of the file was reached (without --loop), or the device failed.
    bool finished() const { return finished_.load(); }
    int64_t framesPlayed() const { return played_.load(); }

  private:
    void run();

    PluginHost& host_;
    const Programme& programme_;
    int block_;
    bool loop_, useDevice_;
    std::thread thread_;
    std::atomic<bool> stop_{false}, finished_{false};
    std::atomic<int64_t> played_{0};
};

}  // namespace zelto
