// CompressedMono8 companding: monotonic, full range, errors bounded by the noise.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Compander.h"

using vykrec::Compander;

namespace {

VYK_CompressionParams typicalParams()
{
    // A scientific CMOS sensor: 0.5 DN per electron, 1.5 e- dark noise, 0.5 e- DSNU,
    // 0.3 % PRNU, 0.1 % light-source noise.
    return VYK_CompressionParams{0.5, 1.5, 0.5, 0.3, 0.1};
}

} // namespace

TEST(Compander, RejectsParametersThatDescribeNoSensor)
{
    EXPECT_TRUE(Compander::valid(typicalParams()));
    VYK_CompressionParams p = typicalParams();
    p.dGainK = 0.0;
    EXPECT_FALSE(Compander::valid(p));
    p = typicalParams();
    p.dDarkNoise_e = -1.0;
    EXPECT_FALSE(Compander::valid(p));
    p = typicalParams();
    p.dPRNU_pct = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(Compander::valid(p));
    p = typicalParams();
    p.dLightSourceNoise_pct = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(Compander::valid(p));
}

TEST(Compander, IsMonotonicAndSpansTheWholeCodeRange)
{
    for (uint16_t bits : {8, 12, 16}) {
        const Compander c(typicalParams(), bits, 100);
        const uint32_t top = (1u << bits) - 1;
        // 8-bit raw values are coarser than the codes in the dark: code 0 may stay unused.
        EXPECT_LE(c.encode(0), bits == 8 ? 1 : 0) << bits;
        EXPECT_EQ(c.encode(uint16_t(top)), 255) << bits;
        for (uint32_t v = 1; v <= top; ++v)
            ASSERT_GE(c.encode(uint16_t(v)), c.encode(uint16_t(v - 1))) << "bits " << bits << " v " << v;
    }
}

TEST(Compander, ValuesAboveFullScaleTakeTheTopCode)
{
    const Compander c(typicalParams(), 12, 100);
    EXPECT_EQ(c.encode(4095), 255);
    EXPECT_EQ(c.encode(60000), 255);
}

TEST(Compander, ReconstructionErrorStaysWithinOneCodeStepOfNoise)
{
    const Compander c(typicalParams(), 16, 100);
    // The 16-bit range needs more than one sigma per code: the step says how many.
    EXPECT_GT(c.stepInSigma(), 1.0);
    for (uint32_t v = 0; v <= 65535; v += 7) {
        const double error = std::fabs(c.decode(c.encode(uint16_t(v))) - double(v));
        ASSERT_LE(error, c.stepInSigma() * c.sigma(v) + 1.0) << "v " << v;
    }
}

TEST(Compander, CodesAreFinerWhereTheNoiseIsSmaller)
{
    const Compander c(typicalParams(), 16, 100);
    // Count raw values per code near the dark level and near the top.
    auto valuesPerCode = [&](uint32_t from) {
        const uint8_t code = c.encode(uint16_t(from));
        uint32_t n = 0;
        for (uint32_t v = 0; v <= 65535; ++v)
            n += c.encode(uint16_t(v)) == code;
        return n;
    };
    const uint32_t dark = valuesPerCode(110);
    const uint32_t bright = valuesPerCode(60000);
    EXPECT_LT(dark * 10, bright) << "dark " << dark << " bright " << bright;
}

TEST(Compander, NoiseModelAddsTheNamedSources)
{
    const VYK_CompressionParams p{2.0, 3.0, 4.0, 1.0, 2.0};
    const Compander c(p, 16, 100);
    // Below the dark offset only dark noise, DSNU and quantisation remain.
    EXPECT_NEAR(c.sigma(50), std::sqrt(36.0 + 64.0 + 1.0 / 12.0), 1e-9);
    // 1000 DN of signal: shot 2*1000, PRNU (10)^2, light source (20)^2.
    EXPECT_NEAR(c.sigma(1100), std::sqrt(2000.0 + 36.0 + 64.0 + 100.0 + 400.0 + 1.0 / 12.0), 1e-9);
}
