#include <gtest/gtest.h>

#include <vector>

#include "coreimage/BlockPool.h"

using ci::BlockPool;

namespace {
constexpr size_t kMB = 1024 * 1024 / sizeof(float);  // floats in a megabyte
}

// A freed block serves the next request of about its size; once the pool
// is full, a newly freed block pushes out the longest unused ones instead
// of being given back to the system.
TEST(BlockPool, FreedBlocksAreReusedAndTheOldestMakeRoom) {
  BlockPool& pool = BlockPool::shared();
  float* first = nullptr;
  {
    auto block = pool.take(3 * kMB);
    first = block.get();
  }
  EXPECT_EQ(pool.take(3 * kMB).get(), first);
  EXPECT_NE(pool.take(kMB).get(), first);  // more than twice the request

  // Fill the pool past its budget with blocks nobody asks for again.
  {
    std::vector<std::shared_ptr<float[]>> filler;
    for (size_t held = 0; held <= BlockPool::kMostHeld; held += 8 * kMB * sizeof(float))
      filler.push_back(pool.take(8 * kMB));
  }
  EXPECT_LE(pool.heldBytes(), BlockPool::kMostHeld);
  float* canvas = nullptr;
  {
    auto block = pool.take(48 * kMB);
    canvas = block.get();
  }
  EXPECT_LE(pool.heldBytes(), BlockPool::kMostHeld);
  const size_t before = pool.heldBytes();
  auto again = pool.take(48 * kMB);
  EXPECT_EQ(again.get(), canvas);
  EXPECT_EQ(pool.heldBytes(), before - 48 * kMB * sizeof(float));
}
