// Level statistics of a stream of interleaved frames for the render report:
// sample peak, true peak by our accurate meter (TruePeak.h) and by the
// ITU-R BS.1770 meter of libebur128, the loudness figures delivery checks
// ask for (Loudness.h: integrated, range, maximum momentary and
// short-term) and the count of samples above a ceiling. Pure measurement:
// it never changes the samples it is given.
#pragma once

#include <ebur128.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/audio/Loudness.h"
#include "tools/audio/TruePeak.h"

namespace zelto {

struct LevelStats {
    double samplePeakDb;      // dBFS, -inf for silence
    double truePeakDb;        // dBTP by the accurate meter, NaN if not measured
    double bs1770TruePeakDb;  // dBTP by the BS.1770 interpolator, NaN if not measured
    double loudnessLufs;      // LUFS, -inf when below the gate or too short, NaN when it overflows
    double loudnessRangeLu;   // LU, NaN if not measured
    double maxMomentaryLufs;  // LUFS (400 ms windows); NaN if shorter or not measured
    double maxShortTermLufs;  // LUFS (3 s windows); NaN if shorter or not measured
    int64_t overCeiling;      // samples (not frames) with |x| > ceiling
    /// Peak-to-loudness ratio: the higher true peak over the integrated loudness.
    double peakToLoudnessDb() const;
    /// The higher of the two true-peak readings (NaN if neither was taken).
    double highestTruePeakDb() const;
};

class SignalMeter {
  public:
    /// What to measure. A search needs the integrated loudness and sample
    /// peak of each candidate (Loudness), and the accurate true peak of
    /// those near its target (Search); a report needs everything (Full), or
    /// everything but the BS.1770 true peak (Figures), or but both true
    /// peaks, where they are known already (LoudnessFigures).
    enum class Detail { Loudness, Search, Figures, Full, LoudnessFigures };
    /// onThread: everything is measured on a thread of its own beside the
    /// caller (for a render alone on a machine with cores to spare).
    SignalMeter(int channels, int sampleRate, double ceilingDb, Detail detail = Detail::Full,
                bool onThread = false);
    ~SignalMeter();
    SignalMeter(const SignalMeter&) = delete;
    SignalMeter& operator=(const SignalMeter&) = delete;

    void add(const double* interleaved, int64_t frames);
    /// The figures of everything added; call once, at the end.
    LevelStats stats();

  private:
    // Frames handed to the BS.1770 threads at a time.
    static constexpr size_t kBatchFrames = 16384;

    void measure(const double* interleaved, int64_t frames);
    void handOver();
    void work(size_t job);
    void finish();

    int channels_;
    Detail detail_;
    bool onThread_;
    double ceiling_;  // linear
    double peak_ = 0.0;
    int64_t over_ = 0;
    GatedLoudness loudness_;
    std::vector<ebur128_state*> bs1770Peak_;  // one per channel (Full)
    TruePeakMeter truePeak_;
    // libebur128's BS.1770 true peak takes longer than everything else
    // together: a thread per channel measures it from batches of frames
    // while the caller renders and reads its own figures.
    std::vector<double> pending_, handed_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t batch_ = 0;  // the number of batches handed over
    int working_ = 0;     // workers still measuring the current one
    bool stop_ = false, finished_ = false;
};

double toDb(double linear);

/// The BS.1770 true peak (libebur128's) of a whole stream held in memory,
/// in dBTP: measured in `pieces` parts on as many threads as the machine
/// has, each part after enough of the audio before it that the
/// interpolator reads exactly what it reads from the whole stream.
double bs1770TruePeakDb(const std::vector<float>& interleaved, int channels, int sampleRate,
                        int pieces);

}  // namespace zelto
