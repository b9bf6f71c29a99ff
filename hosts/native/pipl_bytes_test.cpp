// The property lists the build generates for the two plug-in files.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/expected_pipl.h"

namespace {

const std::vector<std::uint8_t> kGenerated64{
#include "pipl_8664.inc"
};
const std::vector<std::uint8_t> kGenerated32{
#include "pipl_wx86.inc"
};

TEST(PiplBytes, BothFilesCarryTheSixPropertiesIn162Bytes) {
    EXPECT_EQ(kGenerated64, host::expectedPipl("8664"));
    EXPECT_EQ(kGenerated32, host::expectedPipl("wx86"));
    EXPECT_EQ(kGenerated64.size(), 162u);
}

TEST(PiplBytes, FilesDifferOnlyInTheEntryPointKey) {
    ASSERT_EQ(kGenerated64.size(), kGenerated32.size());
    std::vector<std::size_t> differing;
    for (std::size_t i = 0; i < kGenerated64.size(); ++i) {
        if (kGenerated64[i] != kGenerated32[i]) differing.push_back(i);
    }
    // The key of the fifth property: header 10, then 20 + 32 + 28 + 20 bytes, then the vendor.
    EXPECT_EQ(differing, (std::vector<std::size_t>{114, 115, 116, 117}));
}

}  // namespace
