#pragma once

namespace cd {

// SQLite's allocations, routed through here so that a save can keep its
// large buffers. SQLite builds each row it writes in one buffer of the
// row's size and frees it when the statement is reset: a save of layers of
// tens of megabytes asks for a new buffer that large per layer, and every
// page of fresh memory costs a fault on its first write (several
// microseconds each on a virtual machine). While a `KeepLargeBlocks` lives,
// the last large buffer freed is kept and handed to the next request it
// can hold, so a save of ten layers faults one row's pages instead of ten,
// and the fresh pages of what a save allocates are mapped in one call each.
class SQLiteMemory {
 public:
  // Takes SQLite's allocator before its first use; later calls, or a
  // library that started SQLite first, leave the default one.
  static void install();
  static bool installed();

  class KeepLargeBlocks {
   public:
    KeepLargeBlocks();
    ~KeepLargeBlocks();
    KeepLargeBlocks(const KeepLargeBlocks&) = delete;
    KeepLargeBlocks& operator=(const KeepLargeBlocks&) = delete;
  };

  // Allocations of this many bytes or more are the large ones.
  static constexpr long kLargeBlockBytes = 1 << 20;
  // Large allocations SQLite made while kept blocks were allowed, and how
  // many of those reused a kept one (for tests).
  static long largeAllocations();
  static long reusedAllocations();
};

}  // namespace cd
