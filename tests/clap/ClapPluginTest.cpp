// The built KRWZelto.clap through our own CLAP host: what the factory
// describes, activation and latency at every rate, processing equal to the
// VST 2 plug-in's on the demo programme, parameter events at their sample,
// state round trips and refusals, and the parameters' values and texts.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/VendorApi.h"
#include "support/TestSupport.h"
#include "tests/clap/ClapTestHost.h"
#include "tools/audio/DemoProgramme.h"
#include "vst/vst2.h"

namespace {

using clap_test::ClapInstance;
using clap_test::ClapLibrary;
using clap_test::ParamChange;
using zelto::test::ScopedConfigHome;

constexpr clap_id kOutput = 0, kDrive = 1, kRelease = 3, kTransShape = 4, kOversample = 6;
constexpr clap_id kLeveller = 13, kAttShow = 20;

class ClapTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        config_ = new ScopedConfigHome;
        library_ = new ClapLibrary(ZELTO_CLAP_PATH);
    }
    static void TearDownTestSuite() {
        delete library_;
        delete config_;
    }
    static ScopedConfigHome* config_;
    static ClapLibrary* library_;
};
ScopedConfigHome* ClapTest::config_ = nullptr;
ClapLibrary* ClapTest::library_ = nullptr;

/// The VST 2 plug-in of the same build, driven through its own entry.
class Vst2Reference {
  public:
    explicit Vst2Reference(float rate) {
        lib_ = dlopen(ZELTO_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        if (lib_ == nullptr) throw std::runtime_error(dlerror());
        auto entry =
            reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(lib_, "VSTPluginMain"));
        effect_ = entry(&callback);
        if (effect_ == nullptr) throw std::runtime_error("VSTPluginMain");
        call(effOpen, 0, 0, nullptr, 0.0f);
        call(effSetSampleRate, 0, 0, nullptr, rate);
        call(effSetBlockSize, 0, 512, nullptr, 0.0f);
        call(effMainsChanged, 0, 1, nullptr, 0.0f);
    }
    ~Vst2Reference() {
        call(effMainsChanged, 0, 0, nullptr, 0.0f);
        call(effClose, 0, 0, nullptr, 0.0f);
        dlclose(lib_);
    }
    void setParameter(int32_t index, float value) { effect_->setParameter(effect_, index, value); }
    std::string display(int32_t index) {
        char text[256] = {}, label[256] = {};
        call(effGetParamDisplay, index, 0, text, 0.0f);
        call(effGetParamLabel, index, 0, label, 0.0f);
        return text;
    }
    std::string programName(int32_t index) {
        char text[256] = {};
        call(effGetProgramNameIndexed, index, 0, text, 0.0f);
        return text;
    }
    void selectProgram(int32_t index) {
        call(effVendorSpecific, zelto::kVendorApiMagic, zelto::kVendorSelectPreset, &index, 0.0f);
    }
    std::vector<uint8_t> chunk() {
        void* data = nullptr;
        const auto size = static_cast<size_t>(call(effGetChunk, 0, 0, &data, 0.0f));
        const auto* bytes = static_cast<const uint8_t*>(data);
        return std::vector<uint8_t>(bytes, bytes + size);
    }
    std::string name(int32_t index) {
        char text[256] = {};
        call(effGetParamName, index, 0, text, 0.0f);
        return text;
    }
    template <typename T>
    void process(T** in, T** out, int32_t frames) {
        if constexpr (sizeof(T) == 8)
            effect_->processDoubleReplacing(effect_, in, out, frames);
        else
            effect_->processReplacing(effect_, in, out, frames);
    }

  private:
    static VstIntPtr callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
        return opcode == audioMasterVersion ? kVstVersion : 0;
    }
    VstIntPtr call(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
        return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    }
    void* lib_ = nullptr;
    AEffect* effect_ = nullptr;
};

/// Two planar channels.
template <typename T>
struct Stereo {
    explicit Stereo(size_t frames) : left(frames), right(frames) {}
    std::vector<T> left, right;
    size_t size() const { return left.size(); }
};

template <typename T>
Stereo<T> demoProgramme(double seconds) {
    const zelto::DemoProgramme demo = zelto::makeDemoProgramme(44100, seconds, 6.0);
    Stereo<T> s(demo.frames.size() / 2);
    for (size_t i = 0; i < s.size(); ++i) {
        s.left[i] = static_cast<T>(demo.frames[2 * i]);
        s.right[i] = static_cast<T>(demo.frames[2 * i + 1]);
    }
    return s;
}

/// The whole signal through the CLAP plug-in in blocks of `block` frames;
/// `changes` go into the first block.
template <typename T>
Stereo<T> renderClap(ClapInstance& clap, const Stereo<T>& in, uint32_t block,
                     const std::vector<ParamChange>& changes = {}) {
    Stereo<T> out(in.size());
    for (size_t pos = 0; pos < in.size(); pos += block) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(block, in.size() - pos));
        T* ins[2] = {const_cast<T*>(in.left.data()) + pos, const_cast<T*>(in.right.data()) + pos};
        T* outs[2] = {out.left.data() + pos, out.right.data() + pos};
        EXPECT_EQ(clap.process(ins, outs, n, pos == 0 ? changes : std::vector<ParamChange>{}),
                  CLAP_PROCESS_CONTINUE);
    }
    return out;
}

template <typename T>
Stereo<T> renderVst2(Vst2Reference& vst, const Stereo<T>& in, int32_t block) {
    Stereo<T> out(in.size());
    for (size_t pos = 0; pos < in.size(); pos += static_cast<size_t>(block)) {
        const auto n = static_cast<int32_t>(std::min<size_t>(block, in.size() - pos));
        T* ins[2] = {const_cast<T*>(in.left.data()) + pos, const_cast<T*>(in.right.data()) + pos};
        T* outs[2] = {out.left.data() + pos, out.right.data() + pos};
        vst.process(ins, outs, n);
    }
    return out;
}

template <typename T>
double maxDifference(const Stereo<T>& a, const Stereo<T>& b) {
    double worst = 0.0;
    for (size_t i = 0; i < a.size(); ++i) {
        worst = std::max(worst, std::fabs(double(a.left[i]) - double(b.left[i])));
        worst = std::max(worst, std::fabs(double(a.right[i]) - double(b.right[i])));
    }
    return worst;
}

template <typename T>
double peak(const Stereo<T>& s) {
    double p = 0.0;
    for (size_t i = 0; i < s.size(); ++i)
        p = std::max({p, std::fabs(double(s.left[i])), std::fabs(double(s.right[i]))});
    return p;
}

// ---------------------------------------------------------------------------

TEST_F(ClapTest, LibraryExportsOnlyClapEntryAndDescribesOneLimiter) {
    EXPECT_EQ(dlsym(library_->handle(), "VSTPluginMain"), nullptr);
    EXPECT_EQ(dlsym(library_->handle(), "main"), nullptr);
    EXPECT_TRUE(clapVersionIsCompatible(library_->entry()->clap_version));
    EXPECT_EQ(library_->entry()->get_factory("clap.plugin-factory/2"), nullptr);

    const clap_plugin_factory* factory = library_->factory();
    ASSERT_EQ(factory->get_plugin_count(factory), 1u);
    EXPECT_EQ(factory->get_plugin_descriptor(factory, 1), nullptr);
    const clap_plugin_descriptor* d = factory->get_plugin_descriptor(factory, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->id, "com.krw-soundlab.zelto");
    EXPECT_STREQ(d->name, "KRW Zelto");
    EXPECT_STREQ(d->vendor, "KRW-soundlab");
    EXPECT_STREQ(d->version, ZELTO_VERSION);
    std::set<std::string> features;
    for (const char* const* f = d->features; *f != nullptr; ++f) features.insert(*f);
    EXPECT_EQ(features, (std::set<std::string>{"audio-effect", "mastering", "limiter", "stereo"}));

    EXPECT_THROW(ClapInstance(*library_, "com.example.other"), std::runtime_error);
}

TEST_F(ClapTest, ActivatesAtEveryRateWithItsLatencyAndTellsTheHostWhenItMoves) {
    ClapInstance clap(*library_);
    const struct {
        double rate;
        uint32_t latency;
    } rates[] = {{44100, 159}, {48000, 159},  {88200, 287},
                 {96000, 287}, {176400, 543}, {192000, 543}};
    int moves = 0;
    uint32_t previous = clap.latency()->get(clap.plugin());
    EXPECT_EQ(previous, 159u);
    for (const auto& r : rates) {
        SCOPED_TRACE(r.rate);
        ASSERT_TRUE(clap.activate(r.rate, 1024));
        EXPECT_EQ(clap.latency()->get(clap.plugin()), r.latency);
        if (r.latency != previous) ++moves;
        previous = r.latency;
        EXPECT_EQ(clap.latencyChanges, moves);
        // A block of full-scale noise comes out finite and under the ceiling.
        Stereo<float> in(1024), out(1024);
        for (size_t i = 0; i < 1024; ++i)
            in.left[i] = in.right[i] = (i * 7919 % 200) / 50.0f - 2.0f;
        float* ins[2] = {in.left.data(), in.right.data()};
        float* outs[2] = {out.left.data(), out.right.data()};
        EXPECT_EQ(clap.process(ins, outs, 1024), CLAP_PROCESS_CONTINUE);
        EXPECT_LE(peak(out), 1.0);
        clap.deactivate();
    }
    EXPECT_EQ(moves, 2);
    EXPECT_FALSE(clap.plugin()->activate(clap.plugin(), 0.0, 1, 512));
    EXPECT_FALSE(clap.plugin()->activate(clap.plugin(), std::nan(""), 1, 512));
}

TEST_F(ClapTest, OffersOneStereoMainPortEachWayAndNoNotePorts) {
    ClapInstance clap(*library_);
    const auto* ports = clap.extension<clap_plugin_audio_ports>(CLAP_EXT_AUDIO_PORTS);
    ASSERT_NE(ports, nullptr);
    for (bool input : {true, false}) {
        ASSERT_EQ(ports->count(clap.plugin(), input), 1u);
        clap_audio_port_info info{};
        ASSERT_TRUE(ports->get(clap.plugin(), 0, input, &info));
        EXPECT_EQ(info.channel_count, 2u);
        EXPECT_STREQ(info.port_type, CLAP_PORT_STEREO);
        EXPECT_TRUE(info.flags & CLAP_AUDIO_PORT_IS_MAIN);
        EXPECT_TRUE(info.flags & CLAP_AUDIO_PORT_SUPPORTS_64BITS);
        EXPECT_FALSE(ports->get(clap.plugin(), 1, input, &info));
    }
    const auto* notes = clap.extension<clap_plugin_note_ports>(CLAP_EXT_NOTE_PORTS);
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(notes->count(clap.plugin(), true), 0u);
    EXPECT_EQ(notes->count(clap.plugin(), false), 0u);
}

// ---------------------------------------------------------------------------
// Processing

TEST_F(ClapTest, DemoProgrammeComesOutAsFromTheVst2PluginAtTheDefaultProgram) {
    const Stereo<float> in = demoProgramme<float>(8.0);
    ClapInstance clap(*library_);
    ASSERT_TRUE(clap.activate(44100, 512));
    Vst2Reference vst(44100.0f);
    // Different block sizes on purpose: the result must not depend on them.
    const Stereo<float> a = renderClap(clap, in, 300);
    const Stereo<float> b = renderVst2(vst, in, 512);
    EXPECT_LE(maxDifference(a, b), 1e-6);
    EXPECT_GT(peak(a), 0.5);  // something came through
    EXPECT_LE(peak(a), 1.0);
}

TEST_F(ClapTest, DemoProgrammeAtOutputMinusOneDbMatchesTheVst2PluginAndStaysUnderTheCeiling) {
    const Stereo<double> in = demoProgramme<double>(8.0);
    ClapInstance clap(*library_);
    ASSERT_TRUE(clap.activate(44100, 512));
    Vst2Reference vst(44100.0f);
    // -1 dB of ceiling: the engine's gain 2^(2(v-1)) at v = 1 - 1/(40 log10 2).
    vst.setParameter(0, static_cast<float>(1.0 - 1.0 / (40.0 * std::log10(2.0))));
    const Stereo<double> a = renderClap(clap, in, 512, {{kOutput, -1.0, 0}});
    const Stereo<double> b = renderVst2(vst, in, 512);
    EXPECT_NEAR(clap.value(kOutput), -1.0, 1e-6);
    EXPECT_LE(maxDifference(a, b), 1e-6);
    EXPECT_LE(peak(a), std::pow(10.0, -1.0 / 20.0) + 1e-9);
    EXPECT_GT(peak(a), std::pow(10.0, -1.5 / 20.0));
}

/// Renders `frames` of the demo programme after `preroll` frames, with a
/// change of Output to -6 dB at offset k of the measured block (k < 0: none).
Stereo<float> blockWithChangeAt(const ClapLibrary& library, long k, uint32_t frames,
                                bool splitByHost = false) {
    const Stereo<float> in = demoProgramme<float>(1.0);
    const uint32_t preroll = 4096;
    ClapInstance clap(library);
    clap.activate(44100, 8192);
    Stereo<float> pre(preroll);
    float* ins[2] = {const_cast<float*>(in.left.data()), const_cast<float*>(in.right.data())};
    float* outs[2] = {pre.left.data(), pre.right.data()};
    clap.process(ins, outs, preroll);
    Stereo<float> out(frames);
    float* in2[2] = {ins[0] + preroll, ins[1] + preroll};
    float* out2[2] = {out.left.data(), out.right.data()};
    if (k < 0) {
        clap.process(in2, out2, frames);
    } else if (!splitByHost) {
        clap.process(in2, out2, frames, {{kOutput, -6.0, static_cast<uint32_t>(k)}});
    } else {
        // The host cuts the block itself and sends the change at time 0.
        const auto first = static_cast<uint32_t>(k);
        if (first > 0) clap.process(in2, out2, first);
        float* in3[2] = {in2[0] + first, in2[1] + first};
        float* out3[2] = {out2[0] + first, out2[1] + first};
        clap.process(in3, out3, frames - first, {{kOutput, -6.0, 0}});
    }
    return out;
}

TEST_F(ClapTest, ParameterEventChangesTheOutputFromItsSampleOnAndNotBefore) {
    const uint32_t frames = 1024;
    const Stereo<float> plain = blockWithChangeAt(*library_, -1, frames);
    for (long k : {0L, 1L, 300L, 1023L}) {
        SCOPED_TRACE(k);
        const Stereo<float> changed = blockWithChangeAt(*library_, k, frames);
        long first = -1;
        for (size_t i = 0; i < frames && first < 0; ++i) {
            if (changed.left[i] != plain.left[i] || changed.right[i] != plain.right[i])
                first = static_cast<long>(i);
        }
        EXPECT_EQ(first, k);
        // The same as a host that cut the block there itself.
        const Stereo<float> split = blockWithChangeAt(*library_, k, frames, true);
        EXPECT_EQ(maxDifference(changed, split), 0.0);
    }
}

TEST_F(ClapTest, InPlaceBuffersGiveTheSameOutputAsSeparateOnes) {
    const Stereo<float> in = demoProgramme<float>(0.5);
    const auto frames = static_cast<uint32_t>(in.size());
    auto render = [&](auto&& feed) {
        ClapInstance clap(*library_);
        clap.activate(44100, frames);
        Stereo<float> out = in;
        feed(clap, out);
        return out;
    };
    const Stereo<float> apart = render([&](ClapInstance& clap, Stereo<float>& out) {
        float* ins[2] = {const_cast<float*>(in.left.data()), const_cast<float*>(in.right.data())};
        float* outs[2] = {out.left.data(), out.right.data()};
        clap.process(ins, outs, frames);
    });
    // Hosts may hand the same buffers in and out whatever the ports say.
    const Stereo<float> inPlace = render([&](ClapInstance& clap, Stereo<float>& out) {
        float* both[2] = {out.left.data(), out.right.data()};
        clap.process(both, both, frames);
    });
    EXPECT_EQ(maxDifference(apart, inPlace), 0.0);
    EXPECT_GT(peak(apart), 0.1);
}

TEST_F(ClapTest, EventsBeyondTheBlockAndForUnknownIdsAreHarmless) {
    ClapInstance clap(*library_);
    ASSERT_TRUE(clap.activate(48000, 256));
    Stereo<float> in(256), out(256);
    float* ins[2] = {in.left.data(), in.right.data()};
    float* outs[2] = {out.left.data(), out.right.data()};
    EXPECT_EQ(clap.process(ins, outs, 256, {{999, 1.0, 0}, {kDrive, 6.0, 5000}}),
              CLAP_PROCESS_CONTINUE);
    EXPECT_NEAR(clap.value(kDrive), 6.0, 1e-5);  // applied at the block's end
    // A block longer than the activation allowed is refused, not overrun.
    Stereo<float> big(512), bigOut(512);
    float* bigIns[2] = {big.left.data(), big.right.data()};
    float* bigOuts[2] = {bigOut.left.data(), bigOut.right.data()};
    EXPECT_EQ(clap.process(bigIns, bigOuts, 512), CLAP_PROCESS_ERROR);
}

// ---------------------------------------------------------------------------
// State

void makeDistinct(ClapInstance& clap) {
    clap.flush({{kDrive, 7.5, 0},
                {kRelease, 42.0, 0},
                {kTransShape, 2.0, 0},
                {kOversample, 1.0, 0},
                {kLeveller, 0.5, 0},
                {kAttShow, 5.0, 0}});
}

TEST_F(ClapTest, StateRoundTripBetweenInstancesGivesBitIdenticalOutput) {
    ClapInstance a(*library_);
    makeDistinct(a);
    const std::vector<uint8_t> saved = a.save();
    ASSERT_GT(saved.size(), 1000u);

    ClapInstance b(*library_);
    const int rescansBefore = b.rescans;
    ASSERT_TRUE(b.load(saved));
    EXPECT_GT(b.rescans, rescansBefore);
    EXPECT_TRUE(b.lastRescanFlags & CLAP_PARAM_RESCAN_VALUES);
    const auto* params = a.params();
    for (clap_id id = 0; id < params->count(a.plugin()); ++id)
        EXPECT_EQ(a.value(id), b.value(id)) << id;
    EXPECT_EQ(b.save(), saved);

    const Stereo<float> in = demoProgramme<float>(3.0);
    ASSERT_TRUE(a.activate(44100, 512));
    ASSERT_TRUE(b.activate(44100, 512));
    const Stereo<float> outA = renderClap(a, in, 512);
    const Stereo<float> outB = renderClap(b, in, 512);
    EXPECT_EQ(maxDifference(outA, outB), 0.0);
    EXPECT_EQ(std::memcmp(outA.left.data(), outB.left.data(), outA.size() * sizeof(float)), 0);
}

TEST_F(ClapTest, DamagedStateIsRefusedAndLeavesTheInstanceAsItWas) {
    ClapInstance good(*library_);
    const std::vector<uint8_t> saved = good.save();
    ASSERT_GT(saved.size(), 100u);

    ClapInstance b(*library_);
    makeDistinct(b);
    const std::vector<uint8_t> before = b.save();
    std::vector<double> values;
    for (clap_id id = 0; id < b.params()->count(b.plugin()); ++id) values.push_back(b.value(id));

    std::vector<std::pair<std::string, std::vector<uint8_t>>> damaged;
    damaged.push_back({"empty", {}});
    damaged.push_back({"seven bytes", std::vector<uint8_t>(saved.begin(), saved.begin() + 7)});
    damaged.push_back(
        {"half", std::vector<uint8_t>(saved.begin(), saved.begin() + saved.size() / 2)});
    damaged.push_back({"one byte short", std::vector<uint8_t>(saved.begin(), saved.end() - 1)});
    std::vector<uint8_t> foreign = saved;
    foreign[5] ^= 0x5a;
    damaged.push_back({"foreign signature", foreign});
    std::vector<uint8_t> garbage(24049);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 131 + 7);
    damaged.push_back({"garbage", garbage});
    damaged.push_back({"far too long", std::vector<uint8_t>(3u << 20, 0x41)});

    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(b.load(bytes));
        EXPECT_EQ(b.save(), before);
    }
    // A stream that fails half way through a good state.
    EXPECT_FALSE(b.load(saved, 1000, static_cast<long>(saved.size() / 2)));
    EXPECT_EQ(b.save(), before);
    for (clap_id id = 0; id < values.size(); ++id) EXPECT_EQ(b.value(id), values[id]) << id;
}

// ---------------------------------------------------------------------------
// Parameters

TEST_F(ClapTest, ParametersAreTheRealOnesWithStableIdsRangesAndFlags) {
    ClapInstance clap(*library_);
    Vst2Reference vst(44100.0f);
    const auto* params = clap.params();
    ASSERT_EQ(params->count(clap.plugin()), 22u);  // the placeholders stay inside the state
    const std::set<clap_id> stepped = {4, 6, 7, 8, 9, 10, 11, 12, 14, 15, 16, 17, 18, 19, 20, 21};
    for (uint32_t i = 0; i < 22; ++i) {
        SCOPED_TRACE(i);
        clap_param_info info{};
        ASSERT_TRUE(params->get_info(clap.plugin(), i, &info));
        EXPECT_EQ(info.id, i);
        EXPECT_EQ(info.name, vst.name(static_cast<int32_t>(i)));
        EXPECT_TRUE(info.flags & CLAP_PARAM_IS_AUTOMATABLE);
        EXPECT_EQ((info.flags & CLAP_PARAM_IS_STEPPED) != 0, stepped.count(i) == 1);
        EXPECT_LT(info.min_value, info.max_value);
        EXPECT_GE(info.default_value, info.min_value);
        EXPECT_LE(info.default_value, info.max_value);
        EXPECT_EQ(info.default_value, clap.value(i));
    }
    clap_param_info info{};
    EXPECT_FALSE(params->get_info(clap.plugin(), 22, &info));
    ASSERT_TRUE(params->get_info(clap.plugin(), kOutput, &info));
    EXPECT_NEAR(info.min_value, -12.0412, 1e-4);
    EXPECT_EQ(info.max_value, 0.0);
    ASSERT_TRUE(params->get_info(clap.plugin(), kRelease, &info));
    EXPECT_NEAR(info.min_value, 1.0, 1e-9);
    EXPECT_NEAR(info.max_value, 1000.0, 1e-6);
    ASSERT_TRUE(params->get_info(clap.plugin(), kTransShape, &info));
    EXPECT_TRUE(info.flags & CLAP_PARAM_IS_ENUM);
    EXPECT_EQ(info.max_value, 2.0);
    double v = 0.0;
    EXPECT_FALSE(params->get_value(clap.plugin(), 22, &v));
}

/// Decimals in the number at the start of text (truncated display digits).
int decimalsOf(const std::string& text) {
    const size_t point = text.find('.');
    if (point == std::string::npos) return 0;
    size_t end = point + 1;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    return static_cast<int>(end - point - 1);
}

/// How far a value may lie from the number its text shows: one in the last
/// digit shown, and single precision's share.
double withinDigits(const std::string& text, double value) {
    return 1.01 * std::pow(10.0, -decimalsOf(text)) + 1e-6 * std::max(1.0, std::fabs(value));
}

TEST_F(ClapTest, TextsReadBackForEveryParameterWithinTheDisplaysDigits) {
    ClapInstance clap(*library_);
    const auto* params = clap.params();
    const clap_plugin* p = clap.plugin();
    for (uint32_t id = 0; id < params->count(p); ++id) {
        SCOPED_TRACE(id);
        clap_param_info info{};
        ASSERT_TRUE(params->get_info(p, id, &info));
        const bool stepped = info.flags & CLAP_PARAM_IS_STEPPED;
        const int points = stepped ? static_cast<int>(info.max_value) + 1 : 41;
        for (int n = 0; n < points; ++n) {
            const double x =
                stepped ? n : info.min_value + (info.max_value - info.min_value) * n / 40.0;
            char text[64] = {};
            ASSERT_TRUE(params->value_to_text(p, id, x, text, sizeof text)) << x;
            // Set and read back, the value shows the same text.
            clap.flush({{id, x, 0}});
            double now = 0.0;
            ASSERT_TRUE(params->get_value(p, id, &now));
            char shown[64] = {};
            ASSERT_TRUE(params->value_to_text(p, id, now, shown, sizeof shown));
            EXPECT_STREQ(shown, text);
            // Read back: the value the text means, within the display's digits.
            double back = 0.0;
            ASSERT_TRUE(params->text_to_value(p, id, text, &back)) << text;
            // The held value is single precision and its text truncated to
            // eight characters: the text means it within its last digit.
            if (stepped) {
                EXPECT_EQ(back, x) << text;
            } else if (id == kLeveller) {
                if (now > 0.0)
                    EXPECT_NEAR(20.0 * std::log10(back), 20.0 * std::log10(now),
                                withinDigits(text, 20.0 * std::log10(now)))
                        << text;
                else
                    EXPECT_EQ(back, 0.0);
            } else {
                EXPECT_NEAR(back, now, withinDigits(text, now)) << text;
            }
        }
    }
}

TEST_F(ClapTest, TextsMatchTheVst2DisplayOfTheSameNormalisedValue) {
    ClapInstance clap(*library_);
    Vst2Reference vst(44100.0f);
    const auto* params = clap.params();
    const clap_plugin* p = clap.plugin();
    // Each normalised value set on the VST 2 plug-in: its display, read as
    // a CLAP text, shows as the same text again.
    for (uint32_t id = 0; id < params->count(p); ++id) {
        for (float v : {0.0f, 0.13f, 0.5f, 0.77f, 1.0f}) {
            SCOPED_TRACE(std::to_string(id) + " at " + std::to_string(v));
            vst.setParameter(static_cast<int32_t>(id), v);
            const std::string display = vst.display(static_cast<int32_t>(id));
            double x = 0.0;
            ASSERT_TRUE(
                params->text_to_value(p, id, display.empty() ? "none" : display.c_str(), &x))
                << display;
            char text[64] = {};
            ASSERT_TRUE(params->value_to_text(p, id, x, text, sizeof text));
            const std::string expected = display.empty() ? "none" : display;
            double shown = 0.0, meant = 0.0;
            if (std::sscanf(expected.c_str(), "%lf", &meant) == 1 &&
                std::sscanf(text, "%lf", &shown) == 1) {
                EXPECT_NEAR(shown, meant, withinDigits(expected, meant)) << text;
            } else {
                EXPECT_EQ(std::string(text).substr(0, expected.size()), expected);
            }
        }
    }
}

TEST_F(ClapTest, TypedTextsWithUnitsStepNamesAndRefusals) {
    ClapInstance clap(*library_);
    const auto* params = clap.params();
    const clap_plugin* p = clap.plugin();
    auto read = [&](clap_id id, const char* text, double& v) {
        return params->text_to_value(p, id, text, &v);
    };
    double v = 0.0;
    EXPECT_TRUE(read(kOutput, "-1 dB", v));
    EXPECT_EQ(v, -1.0);
    EXPECT_TRUE(read(kOutput, " -3.5dB ", v));
    EXPECT_EQ(v, -3.5);
    EXPECT_TRUE(read(kOutput, "-40", v));  // limited to the range
    EXPECT_NEAR(v, -12.0412, 1e-4);
    EXPECT_FALSE(read(kOutput, "5 ms", v));
    EXPECT_FALSE(read(kOutput, "loud", v));
    EXPECT_TRUE(read(kRelease, "150 ms", v));
    EXPECT_EQ(v, 150.0);
    EXPECT_TRUE(read(kTransShape, "SOFT", v));
    EXPECT_EQ(v, 2.0);
    EXPECT_TRUE(read(kTransShape, "1", v));
    EXPECT_EQ(v, 1.0);
    EXPECT_FALSE(read(kTransShape, "3", v));
    EXPECT_FALSE(read(kTransShape, "0.5", v));
    EXPECT_TRUE(read(kAttShow, "L2", v));
    EXPECT_EQ(v, 6.0);
    EXPECT_TRUE(read(kAttShow, "none", v));
    EXPECT_EQ(v, 0.0);
    EXPECT_FALSE(read(kAttShow, "11", v));
    EXPECT_TRUE(read(kLeveller, "off", v));
    EXPECT_EQ(v, 1.0);
    EXPECT_TRUE(read(kLeveller, "-oo", v));
    EXPECT_EQ(v, 0.0);
    EXPECT_TRUE(read(kLeveller, "-6.0206 dB", v));
    EXPECT_NEAR(v, 0.5, 1e-5);
    EXPECT_FALSE(read(22, "1", v));
    char tiny[4];
    EXPECT_FALSE(params->value_to_text(p, kOutput, -1.0, tiny, sizeof tiny));
}

TEST_F(ClapTest, FlushWhileInactiveAppliesChangesAndReportsNothingUnasked) {
    ClapInstance clap(*library_);
    clap.flush({{kDrive, -12.0, 0}, {kOversample, 1.0, 0}});
    EXPECT_NEAR(clap.value(kDrive), -12.0, 1e-5);
    EXPECT_EQ(clap.value(kOversample), 1.0);
    EXPECT_TRUE(clap.sent.empty());
    // Values outside the range are limited to it.
    clap.flush({{kDrive, 1000.0, 0}});
    EXPECT_NEAR(clap.value(kDrive), 24.0824, 1e-3);
}

// ---------------------------------------------------------------------------
// Factory programs through preset discovery and preset-load

struct Indexer {
    clap_preset_discovery_indexer record{};
    std::vector<clap_preset_discovery_location> locations;
    std::vector<std::string> locationPaths;
    Indexer() {
        record.clap_version = CLAP_VERSION_CURRENT;
        record.name = "zelto test indexer";
        record.indexer_data = this;
        record.declare_filetype = [](const clap_preset_discovery_indexer*,
                                     const clap_preset_discovery_filetype*) { return true; };
        record.declare_location = [](const clap_preset_discovery_indexer* i,
                                     const clap_preset_discovery_location* l) {
            static_cast<Indexer*>(i->indexer_data)->locations.push_back(*l);
            return true;
        };
        record.declare_soundpack = [](const clap_preset_discovery_indexer*,
                                      const clap_preset_discovery_soundpack*) { return true; };
        record.get_extension = [](const clap_preset_discovery_indexer*, const char*) {
            return static_cast<const void*>(nullptr);
        };
    }
};

struct Receiver {
    struct Preset {
        std::string name, key;
        std::vector<std::string> plugins;
        uint32_t flags = 0;
    };
    clap_preset_discovery_metadata_receiver record{};
    std::vector<Preset> presets;
    size_t stopAfter = 1000;
    static Receiver& of(const clap_preset_discovery_metadata_receiver* r) {
        return *static_cast<Receiver*>(r->receiver_data);
    }
    Receiver() {
        record.receiver_data = this;
        record.on_error = [](const clap_preset_discovery_metadata_receiver*, int32_t, const char*) {
        };
        record.begin_preset = [](const clap_preset_discovery_metadata_receiver* r, const char* name,
                                 const char* key) {
            Receiver& self = of(r);
            self.presets.push_back({name, key, {}, 0});
            return self.presets.size() < self.stopAfter;
        };
        record.add_plugin_id = [](const clap_preset_discovery_metadata_receiver* r,
                                  const clap_universal_plugin_id* id) {
            of(r).presets.back().plugins.push_back(std::string(id->abi) + ":" + id->id);
        };
        record.set_soundpack_id = [](const clap_preset_discovery_metadata_receiver*, const char*) {
        };
        record.set_flags = [](const clap_preset_discovery_metadata_receiver* r, uint32_t flags) {
            of(r).presets.back().flags = flags;
        };
        record.add_creator = [](const clap_preset_discovery_metadata_receiver*, const char*) {};
        record.set_description = [](const clap_preset_discovery_metadata_receiver*, const char*) {};
        record.set_timestamps = [](const clap_preset_discovery_metadata_receiver*, clap_timestamp,
                                   clap_timestamp) {};
        record.add_feature = [](const clap_preset_discovery_metadata_receiver*, const char*) {};
        record.add_extra_info = [](const clap_preset_discovery_metadata_receiver*, const char*,
                                   const char*) {};
    }
};

TEST_F(ClapTest, PresetDiscoveryListsTheFactoryProgramsInsideThePlugin) {
    const auto* factory = static_cast<const clap_preset_discovery_factory*>(
        library_->entry()->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(library_->entry()->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT), factory);
    ASSERT_EQ(factory->count(factory), 1u);
    const clap_preset_discovery_provider_descriptor* d = factory->get_descriptor(factory, 0);
    ASSERT_NE(d, nullptr);
    Indexer indexer;
    EXPECT_EQ(factory->create(factory, &indexer.record, "com.example.other"), nullptr);
    const clap_preset_discovery_provider* provider =
        factory->create(factory, &indexer.record, d->id);
    ASSERT_NE(provider, nullptr);
    ASSERT_TRUE(provider->init(provider));
    ASSERT_EQ(indexer.locations.size(), 1u);
    EXPECT_EQ(indexer.locations[0].kind, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN);
    EXPECT_EQ(indexer.locations[0].location, nullptr);
    EXPECT_TRUE(indexer.locations[0].flags & CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);

    Receiver all;
    ASSERT_TRUE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr,
                                       &all.record));
    ASSERT_EQ(all.presets.size(), 24u);
    Vst2Reference vst(44100.0f);
    std::set<std::string> keys;
    for (int32_t i = 0; i < 24; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(all.presets[i].name, vst.programName(i));  // a fresh bank: the factory's
        EXPECT_EQ(all.presets[i].plugins, std::vector<std::string>{"clap:com.krw-soundlab.zelto"});
        EXPECT_TRUE(all.presets[i].flags & CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
        keys.insert(all.presets[i].key);
    }
    EXPECT_EQ(keys.size(), 24u);

    Receiver three;
    three.stopAfter = 3;
    provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, &three.record);
    EXPECT_EQ(three.presets.size(), 3u);  // no call after the receiver said stop
    Receiver none;
    EXPECT_FALSE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp",
                                        &none.record));
    EXPECT_TRUE(none.presets.empty());
    provider->destroy(provider);
}

TEST_F(ClapTest, PresetLoadGivesTheFactoryProgramAsTheVst2PluginSelectsIt) {
    ClapInstance clap(*library_);
    Vst2Reference vst(44100.0f);
    // Both hold the same bank to begin with: the state is the VST 2 chunk.
    ASSERT_EQ(clap.save(), vst.chunk());
    const auto* load = clap.extension<clap_plugin_preset_load>(CLAP_EXT_PRESET_LOAD);
    ASSERT_NE(load, nullptr);
    EXPECT_EQ(clap.extension<clap_plugin_preset_load>(CLAP_EXT_PRESET_LOAD_COMPAT), load);
    const clap_plugin* p = clap.plugin();
    const auto kind = CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN;

    ASSERT_TRUE(load->from_location(p, kind, nullptr, "5"));
    vst.selectProgram(5);
    EXPECT_EQ(clap.save(), vst.chunk());
    EXPECT_EQ(clap.presetsLoaded, std::vector<std::string>{"5"});
    clap.runMainLoop();
    EXPECT_GT(clap.rescans, 0);

    // Changed in the session, then loaded again: the factory's program.
    clap.flush({{kDrive, 9.0, 0}});
    ASSERT_NE(clap.save(), vst.chunk());
    ASSERT_TRUE(load->from_location(p, kind, nullptr, "5"));
    EXPECT_EQ(clap.save(), vst.chunk());

    const std::vector<uint8_t> before = clap.save();
    for (const char* key : {"24", "-1", "x", "", " 5", "5 ", "99999999999"}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(load->from_location(p, kind, nullptr, key));
    }
    EXPECT_FALSE(load->from_location(p, kind, nullptr, nullptr));
    EXPECT_FALSE(load->from_location(p, CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp/x.krw", "1"));
    EXPECT_EQ(clap.presetErrors.size(), 9u);
    EXPECT_EQ(clap.save(), before);
}

#ifndef NDEBUG
TEST_F(ClapTest, CallOnTheWrongThreadStopsWithTheCallsName) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            ClapInstance clap(*library_);
            clap.pretendAudioThread(true);
            double v = 0.0;
            clap.params()->get_value(clap.plugin(), 0, &v);
        },
        "clap_plugin_params.get_value");
    EXPECT_DEATH(
        {
            ClapInstance clap(*library_);
            clap.activate(44100, 64);
            clap.plugin()->reset(clap.plugin());
        },
        "clap_plugin.reset");
}
#endif

}  // namespace

namespace {

TEST(ClapInstall, CmakeInstallPutsTheClapWhereHostsLookAndItLoadsFromThere) {
    if (access("/usr/bin/cmake", X_OK) != 0) GTEST_SKIP() << "no cmake to install with";
    char templ[] = "/tmp/zelto-clap-prefix-XXXXXX";
    const std::string prefix = mkdtemp(templ);
    const std::string build = std::filesystem::path(ZELTO_CLAP_PATH).parent_path().string();
    const std::string command =
        "/usr/bin/cmake --install '" + build + "' --prefix '" + prefix + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string installed = prefix + "/lib/clap/KRWZelto.clap";
    ASSERT_EQ(access(installed.c_str(), R_OK), 0) << installed;
    {
        clap_test::ClapLibrary library(installed);
        const clap_plugin_descriptor* d =
            library.factory()->get_plugin_descriptor(library.factory(), 0);
        ASSERT_NE(d, nullptr);
        EXPECT_STREQ(d->version, ZELTO_VERSION);
    }
    std::filesystem::remove_all(prefix);
}

}  // namespace
