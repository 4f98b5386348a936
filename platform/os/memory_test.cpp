#include "platform/os/memory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Large blocks come from a cache of mappings, not from malloc; under AddressSanitizer an access
// past the end of one, or to one already given back, must still be reported.
#ifdef BADGEWRIGHT_SANITIZED
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

constexpr size_t kLarge = (size_t(1) << 20) + 100;

void writeOnePastTheEnd() {
  auto block = platform::allocateArray<uint8_t>(kLarge, true, false);
  volatile uint8_t* p = block.get();
  p[kLarge] = 1;
}

void writeAfterFree() {
  volatile uint8_t* p;
  {
    auto block = platform::allocateArray<uint8_t>(kLarge, false, true);
    p = block.get();
  }
  p[0] = 1;
}

TEST(BlockCacheDeathTest, OverflowAndUseAfterFreeOfALargeBlockAreReported) {
  if (!kSanitized) GTEST_SKIP() << "needs the AddressSanitizer build (scripts/test --sanitize)";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(writeOnePastTheEnd(), "use-after-poison");
  EXPECT_DEATH(writeAfterFree(), "use-after-poison");
}

TEST(BlockCache, ReusedBlocksAreZeroedWhenAskedAndUsableWhole) {
  for (int round = 0; round < 3; ++round) {
    auto block = platform::allocateArray<uint8_t>(kLarge, true, round % 2 == 0);
    ASSERT_TRUE(block);
    for (size_t i = 0; i < kLarge; i += 4099) ASSERT_EQ(block[i], 0) << round << " " << i;
    ASSERT_EQ(block[kLarge - 1], 0);
    std::memset(block.get(), 0xAB, kLarge);
  }
}

}  // namespace
