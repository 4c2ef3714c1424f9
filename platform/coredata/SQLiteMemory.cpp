#include "coredata/SQLiteMemory.h"

#include <malloc.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "foundation/FreshPages.h"

namespace cd {
namespace {

std::atomic<bool> isInstalled{false};
std::atomic<int> keepers{0};
std::atomic<long> largeCount{0}, reusedCount{0};
std::mutex keptMutex;
void* kept = nullptr;  // guarded by keptMutex

// Allocations of a save from this size on (a 64 KiB page of the cache and
// more) have their pages mapped in one call.
constexpr int kMappedAheadBytes = 64 << 10;

size_t usable(void* block) { return malloc_usable_size(block); }

// The kept block when it can hold `bytes`, taken out of the keeping.
void* takeKept(int bytes) {
  std::lock_guard lock(keptMutex);
  if (!kept || usable(kept) < size_t(bytes)) return nullptr;
  return std::exchange(kept, nullptr);
}

void* allocate(int bytes) {
  if (bytes >= SQLiteMemory::kLargeBlockBytes && keepers.load(std::memory_order_acquire) > 0) {
    largeCount.fetch_add(1, std::memory_order_relaxed);
    if (void* block = takeKept(bytes)) {
      reusedCount.fetch_add(1, std::memory_order_relaxed);
      return block;
    }
  }
  void* block = std::malloc(size_t(bytes));
  // A save fills what it asks for at once: the pages of its cache, its rows.
  if (block && bytes >= kMappedAheadBytes && keepers.load(std::memory_order_acquire) > 0)
    fnd::FreshPages::mapForWriting(block, size_t(bytes));
  return block;
}

// Keeps the larger of `block` and the kept one, frees the other.
void release(void* block) {
  if (!block) return;
  if (usable(block) >= size_t(SQLiteMemory::kLargeBlockBytes)) {
    // Read under the lock the last keeper frees the kept block with.
    std::lock_guard lock(keptMutex);
    if (keepers.load() > 0 && (!kept || usable(kept) < usable(block))) std::swap(kept, block);
  }
  std::free(block);
}

void* reallocate(void* block, int bytes) { return std::realloc(block, size_t(bytes)); }
int sizeOf(void* block) { return int(usable(block)); }
int roundUp(int bytes) { return (bytes + 7) & ~7; }
int initialize(void*) { return SQLITE_OK; }
void shutDown(void*) {}

void freeKeptUnlessKeeping() {
  void* block = nullptr;
  {
    std::lock_guard lock(keptMutex);
    if (keepers.load() == 0) block = std::exchange(kept, nullptr);
  }
  std::free(block);
}

}  // namespace

void SQLiteMemory::install() {
  static std::once_flag once;
  std::call_once(once, [] {
    static const sqlite3_mem_methods methods{allocate, release,    reallocate, sizeOf,
                                             roundUp,  initialize, shutDown,   nullptr};
    isInstalled = sqlite3_config(SQLITE_CONFIG_MALLOC, &methods) == SQLITE_OK;
  });
}

bool SQLiteMemory::installed() { return isInstalled; }

SQLiteMemory::KeepLargeBlocks::KeepLargeBlocks() { keepers.fetch_add(1); }

SQLiteMemory::KeepLargeBlocks::~KeepLargeBlocks() {
  if (keepers.fetch_sub(1) == 1) freeKeptUnlessKeeping();
}

long SQLiteMemory::largeAllocations() { return largeCount; }
long SQLiteMemory::reusedAllocations() { return reusedCount; }

}  // namespace cd
