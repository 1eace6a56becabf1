// Plain values (the units hosts of LV2 show): every live parameter has a
// symbol and a range, values go there and back, steps land on their band
// centres, and nothing a host sends leaves 0..1.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "core/Parameters.h"
#include "core/PlainUnits.h"

using namespace zelto;

TEST(PlainUnits, EveryLiveParameterHasAUniqueSymbolAndARange) {
    std::set<std::string> symbols;
    for (int32_t p = 0; p < kNumLiveParams; ++p) {
        const PlainInfo info = plainInfo(p);
        ASSERT_NE(info.symbol, nullptr) << p;
        EXPECT_TRUE(symbols.insert(info.symbol).second) << info.symbol;
        EXPECT_LT(info.minimum, info.maximum) << info.symbol;
        const int32_t steps = kParamInfo[static_cast<size_t>(p)].steps;
        if (steps > 0) {
            EXPECT_EQ(info.minimum, 0.0f);
            EXPECT_EQ(info.maximum, static_cast<float>(steps - 1)) << info.symbol;
        }
        // The ends of the normalised range are the ends of the plain one.
        EXPECT_NEAR(plainFromValue(p, 0.0f), info.minimum, 1e-4) << info.symbol;
        EXPECT_NEAR(plainFromValue(p, 1.0f), info.maximum, 1e-3) << info.symbol;
    }
    EXPECT_EQ(plainInfo(kParamDummy1).symbol, nullptr);
}

TEST(PlainUnits, ValuesGoThereAndBack) {
    for (int32_t p = 0; p < kNumLiveParams; ++p) {
        const int32_t steps = kParamInfo[static_cast<size_t>(p)].steps;
        if (steps > 0) {
            for (int32_t s = 0; s < steps; ++s) {
                EXPECT_EQ(valueFromPlain(p, static_cast<float>(s)), valueFromStep(s, steps));
                EXPECT_EQ(plainFromValue(p, valueFromStep(s, steps)), static_cast<float>(s));
            }
            continue;
        }
        for (float v = 0.02f; v < 1.0f; v += 0.07f) {
            EXPECT_NEAR(valueFromPlain(p, plainFromValue(p, v)), v, 2e-6) << p << " at " << v;
        }
    }
    // Known points: Output -1 dB, Drive +6 dB, Release 200 ms, Link 50 %.
    EXPECT_NEAR(outputGainFromValue(valueFromPlain(kParamOutput, -1.0f)),
                std::pow(10.0, -1.0 / 20.0), 1e-7);
    EXPECT_NEAR(driveGainFromValue(valueFromPlain(kParamDrive, 6.0f)), std::pow(10.0, 0.3), 1e-6);
    EXPECT_NEAR(releaseMsFromValue(valueFromPlain(kParamRelease, 200.0f)), 200.0, 1e-3);
    EXPECT_FLOAT_EQ(valueFromPlain(kParamLink, 50.0f), 0.5f);
}

TEST(PlainUnits, WhatAHostSendsStaysInsideTheRange) {
    for (int32_t p = 0; p < kNumLiveParams; ++p) {
        for (float plain : {-1e30f, 1e30f, NAN, INFINITY, -INFINITY}) {
            const float v = valueFromPlain(p, plain);
            EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << p << " from " << plain;
        }
    }
    // The Leveller's lowest value is "off" in the other direction: -oo.
    EXPECT_EQ(valueFromPlain(kParamLeveller, plainInfo(kParamLeveller).minimum), 0.0f);
    EXPECT_EQ(valueFromPlain(kParamLeveller, 0.0f), 1.0f);
}
