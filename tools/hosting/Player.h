// Runs a file through the plug-in on an audio thread of its own, block by
// block at the file's pace, as a DAW's playback does: to the default sound
// device when there is one, else paced by the clock. The user-interface thread
// meanwhile idles the editor, so the meters move and controls act on the
// audio live. Used by `zelto play`.
//
// The file is streamed, never held whole: a reader thread keeps a ring of
// about a second and a half ahead of the audio thread, so a file of any
// length plays in the same few hundred kilobytes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zelto {

class AudioReader;
class PluginHost;

/// A mono or stereo file read block by block as two float channels (a mono
/// file on both).
class StereoSource {
  public:
    /// Opens and checks IN; throws ToolError(kExitInput) for a missing,
    /// unreadable, empty or truncated file, or one of more than two channels.
    explicit StereoSource(const std::string& path);
    ~StereoSource();
    StereoSource(const StereoSource&) = delete;
    StereoSource& operator=(const StereoSource&) = delete;

    int sampleRate() const;
    /// The frames the file holds.
    int64_t frames() const;
    const std::string& path() const { return path_; }

    /// Reads up to `frames` frames into left and right; 0 at the end.
    /// Throws ToolError(kExitInput) on a read error.
    int64_t read(float* left, float* right, int64_t frames);
    /// Back to the first frame.
    void rewind();

  private:
    std::string path_;
    std::unique_ptr<AudioReader> reader_;
    std::vector<double> buffer_;
};

class Player {
  public:
    /// The host must already run at the source's rate with this block size,
    /// resumed. The source is read from the player's own thread until stop().
    Player(PluginHost& host, StereoSource& source, int block, bool loop, bool useDevice);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    /// Starts the reader and audio threads; says on stderr where the sound goes.
    void start();
    /// Stops and joins both threads (from any other thread).
    void stop();
    /// The end of the file was reached (without --loop), or playback failed.
    bool finished() const { return finished_.load(); }
    int64_t framesPlayed() const { return played_.load(); }
    /// Why playback stopped before the end (a read error or a failed device),
    /// with the exit code it deserves; code 0 when nothing failed. Call after
    /// stop().
    int failureCode() const { return failureCode_; }
    const std::string& failure() const { return failure_; }

  private:
    void readFile();
    void run();
    /// Appends frames to the ring, waiting for room; false when stopped.
    bool push(const float* left, const float* right, int64_t frames);
    /// Takes up to `frames` frames, waiting for a full block unless the file
    /// has ended; 0 once everything was played or when stopped.
    int64_t pop(float* left, float* right, int64_t frames);
    void fail(int code, const std::string& why);

    PluginHost& host_;
    StereoSource& source_;
    int block_;
    bool loop_, useDevice_;
    std::thread reader_, audio_;
    std::atomic<bool> stop_{false}, finished_{false};
    std::atomic<int64_t> played_{0};

    // The ring between the two threads: interleaved stereo, guarded by mutex_.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<float> ring_;
    int64_t capacity_ = 0;  // frames
    int64_t written_ = 0, read_ = 0;
    bool endOfFile_ = false;

    int failureCode_ = 0;
    std::string failure_;
};

}  // namespace zelto
