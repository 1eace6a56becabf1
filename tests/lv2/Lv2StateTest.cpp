// The built LV2 plug-in loaded as a small host loads it (dlopen and
// lv2_descriptor): the one required feature, latency by rate, the state as
// the VST2 chunk's bytes moving a whole session to another instance, and
// in-place buffers.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "core/PlainUnits.h"
#include "formats/lv2/Lv2Ports.h"
#include "presets/FactoryPresets.h"
#include "support/Sha256.h"
#include "support/TestSupport.h"

using namespace zelto::lv2;

namespace {

struct UridMap {
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle handle, const char* uri) -> LV2_URID {
                         auto& ids = static_cast<UridMap*>(handle)->ids;
                         auto [it, added] = ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1));
                         return it->second;
                     }};
    LV2_Feature feature{LV2_URID__map, &map};
};

struct StoredState {
    std::map<uint32_t, std::pair<uint32_t, std::vector<uint8_t>>> values;
    static LV2_State_Status store(LV2_State_Handle handle, uint32_t key, const void* value,
                                  size_t size, uint32_t type, uint32_t) {
        const auto* bytes = static_cast<const uint8_t*>(value);
        static_cast<StoredState*>(handle)->values[key] = {type, {bytes, bytes + size}};
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                                uint32_t* flags) {
        auto& values = static_cast<StoredState*>(handle)->values;
        auto it = values.find(key);
        if (it == values.end()) return nullptr;
        *size = it->second.second.size();
        *type = it->second.first;
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return it->second.second.data();
    }
};

class Library {
  public:
    Library() {
        handle_ = dlopen(ZELTO_LV2_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        if (handle_ != nullptr) {
            entry_ = reinterpret_cast<LV2_Descriptor_Function>(dlsym(handle_, "lv2_descriptor"));
        }
    }
    ~Library() {
        if (handle_ != nullptr) dlclose(handle_);
    }
    const LV2_Descriptor* descriptor() const { return entry_ != nullptr ? entry_(0) : nullptr; }
    LV2_Descriptor_Function entry() const { return entry_; }

  private:
    void* handle_ = nullptr;
    LV2_Descriptor_Function entry_ = nullptr;
};

// One instance with every port connected to buffers of its own.
class Plugin {
  public:
    Plugin(const LV2_Descriptor* d, double rate, const LV2_Feature* const* features) : d_(d) {
        handle_ = d->instantiate(d, rate, ZELTO_LV2_BUNDLE_PATH, features);
        if (handle_ == nullptr) return;
        for (uint32_t p = kPortFirstParameter; p < kNumPorts; ++p) {
            d->connect_port(handle_, p, &controls_[p]);
        }
        if (d->activate != nullptr) d->activate(handle_);
    }
    ~Plugin() {
        if (handle_ != nullptr) d_->cleanup(handle_);
    }
    bool ok() const { return handle_ != nullptr; }
    float& control(uint32_t port) { return controls_[port]; }

    std::vector<float> run(const std::vector<float>& left, const std::vector<float>& right,
                           bool inPlace = false, uint32_t block = 700) {
        std::vector<float> out(left.size() * 2);
        std::vector<float> l(block), r(block), ol(block), orr(block);
        for (size_t start = 0; start < left.size(); start += block) {
            const auto n = static_cast<uint32_t>(std::min<size_t>(block, left.size() - start));
            std::copy(left.begin() + start, left.begin() + start + n, l.begin());
            std::copy(right.begin() + start, right.begin() + start + n, r.begin());
            d_->connect_port(handle_, kPortInL, l.data());
            d_->connect_port(handle_, kPortInR, r.data());
            d_->connect_port(handle_, kPortOutL, inPlace ? l.data() : ol.data());
            d_->connect_port(handle_, kPortOutR, inPlace ? r.data() : orr.data());
            d_->run(handle_, n);
            for (uint32_t i = 0; i < n; ++i) {
                out[2 * (start + i)] = inPlace ? l[i] : ol[i];
                out[2 * (start + i) + 1] = inPlace ? r[i] : orr[i];
            }
        }
        return out;
    }

    const LV2_State_Interface* state() const {
        return static_cast<const LV2_State_Interface*>(d_->extension_data(LV2_STATE__interface));
    }
    LV2_Handle handle() const { return handle_; }

  private:
    const LV2_Descriptor* d_;
    LV2_Handle handle_ = nullptr;
    float controls_[kNumPorts] = {};
};

// A loud two-tone programme with bursts, 2 s at 44.1 kHz.
void programme(std::vector<float>& left, std::vector<float>& right) {
    const size_t n = 88200;
    left.resize(n);
    right.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        const double burst = (i / 4410) % 3 == 0 ? 1.8 : 0.6;
        left[i] = static_cast<float>(burst * std::sin(2 * M_PI * 110 * t));
        right[i] = static_cast<float>(burst * std::sin(2 * M_PI * 173 * t + 0.3));
    }
}

class Lv2Plugin : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(library.entry(), nullptr) << dlerror();
        descriptor = library.descriptor();
        ASSERT_NE(descriptor, nullptr);
        programme(left, right);
    }
    // Ports as a host sets them first: the Turtle defaults, program 1's values.
    void setDefaults(Plugin& plugin) {
        for (int32_t p = 0; p < zelto::kNumLiveParams; ++p) {
            plugin.control(kPortFirstParameter + static_cast<uint32_t>(p)) =
                zelto::plainFromValue(p, zelto::kFactoryPresets[0].values[p]);
        }
    }

    zelto::test::ScopedConfigHome home;
    Library library;
    const LV2_Descriptor* descriptor = nullptr;
    UridMap urids;
    const LV2_Feature* features[2] = {&urids.feature, nullptr};
    std::vector<float> left, right;
};

uint32_t port(int32_t param) {
    return static_cast<uint32_t>(kPortFirstParameter) + static_cast<uint32_t>(param);
}

}  // namespace

TEST_F(Lv2Plugin, RunsWithoutAnyFeatureAndKeepsStateWhereUridsAreMapped) {
    EXPECT_STREQ(descriptor->URI, kPluginUri);
    EXPECT_EQ(library.entry()(1), nullptr);
    EXPECT_EQ(descriptor->extension_data("urn:nothing"), nullptr);
    // A host that offers nothing (as lv2apply does) gets the same sound ...
    const LV2_Feature* none[] = {nullptr};
    Plugin without(descriptor, 44100.0, none);
    ASSERT_TRUE(without.ok());
    Plugin with(descriptor, 44100.0, features);
    ASSERT_TRUE(with.ok());
    setDefaults(without);
    setDefaults(with);
    EXPECT_EQ(without.run(left, right), with.run(left, right));
    // ... but no state, which needs URIDs for its keys.
    StoredState state;
    EXPECT_EQ(without.state()->save(without.handle(), StoredState::store, &state, 0, none),
              LV2_STATE_ERR_NO_FEATURE);
    EXPECT_TRUE(state.values.empty());
}

TEST_F(Lv2Plugin, ReportsTheLatencyOfItsRateAndFillsTheMeterPorts) {
    for (auto [rate, latency] :
         {std::pair{44100.0, 159}, {48000.0, 159}, {96000.0, 287}, {192000.0, 543}}) {
        Plugin plugin(descriptor, rate, features);
        ASSERT_TRUE(plugin.ok());
        setDefaults(plugin);
        plugin.run(std::vector<float>(left.begin(), left.begin() + 8000),
                   std::vector<float>(right.begin(), right.begin() + 8000));
        EXPECT_EQ(plugin.control(kPortLatency), static_cast<float>(latency)) << rate;
        // The input peaks of the bursts' last block, and some gain reduction.
        EXPECT_GT(plugin.control(kPortFirstMeter + 0), 0.5f);
        EXPECT_LT(plugin.control(kPortFirstMeter + 8), 1.0f);
    }
}

TEST_F(Lv2Plugin, StateIsTheVst2ChunkAndRestoresTheWholeSessionElsewhere) {
    Plugin first(descriptor, 44100.0, features);
    ASSERT_TRUE(first.ok());
    setDefaults(first);
    StoredState fresh;
    ASSERT_EQ(first.state()->save(first.handle(), StoredState::store, &fresh, 0, features),
              LV2_STATE_SUCCESS);
    ASSERT_EQ(fresh.values.size(), 1u);
    const std::vector<uint8_t>& bytes = fresh.values.begin()->second.second;
    zelto::test::Sha256 sha;
    sha.update(bytes.data(), bytes.size());
    EXPECT_EQ(std::to_string(bytes.size()) + " " + sha.hex(),
              "24049 0685184cf153144848ede57d5df20bb8e15a3cbe31991118261f3ff5a613e7ae");

    // A session: settings moved away from the program's.
    first.control(port(zelto::kParamOutput)) = -3.0f;
    first.control(port(zelto::kParamRelease)) = 40.0f;
    first.control(port(zelto::kParamTransShape)) = 2;
    first.control(port(zelto::kParamOversample)) = 1;
    first.run(left, right);
    StoredState session;
    ASSERT_EQ(first.state()->save(first.handle(), StoredState::store, &session, 0, features),
              LV2_STATE_SUCCESS);

    Plugin second(descriptor, 44100.0, features);
    ASSERT_TRUE(second.ok());
    setDefaults(second);
    ASSERT_EQ(
        second.state()->restore(second.handle(), StoredState::retrieve, &session, 0, features),
        LV2_STATE_SUCCESS);
    // Both from silence: the same programme gives the same samples.
    Plugin reference(descriptor, 44100.0, features);
    reference.state()->restore(reference.handle(), StoredState::retrieve, &session, 0, features);
    const std::vector<float> a = second.run(left, right);
    const std::vector<float> b = reference.run(left, right);
    EXPECT_EQ(a, b);
    const std::vector<float> untouched = Plugin(descriptor, 44100.0, features).run(left, right);
    EXPECT_NE(a, untouched) << "the restored settings made no difference";
    float peak = 0.0f;
    for (float s : a) peak = std::max(peak, std::fabs(s));
    EXPECT_LE(peak, std::pow(10.0f, -3.0f / 20.0f) * 1.000001f);

    StoredState foreign = session;
    foreign.values.begin()->second.second[4] ^= 0x5a;
    EXPECT_NE(
        second.state()->restore(second.handle(), StoredState::retrieve, &foreign, 0, features),
        LV2_STATE_SUCCESS);
    StoredState empty;
    EXPECT_EQ(second.state()->restore(second.handle(), StoredState::retrieve, &empty, 0, features),
              LV2_STATE_ERR_NO_PROPERTY);
}

TEST_F(Lv2Plugin, InPlaceBuffersGiveTheSameOutput) {
    Plugin apart(descriptor, 44100.0, features);
    Plugin inPlace(descriptor, 44100.0, features);
    ASSERT_TRUE(apart.ok() && inPlace.ok());
    setDefaults(apart);
    setDefaults(inPlace);
    EXPECT_EQ(apart.run(left, right, false, 3000), inPlace.run(left, right, true, 3000));
}
