#include "imageio/BudgetScope.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "imageio/DecodeBudget.h"

namespace io {

namespace {

// In front of every block: its size and the scope that charged it. 16 bytes
// keep the block aligned as malloc aligns.
struct alignas(16) BlockHeader {
  size_t size;
  uint64_t serial;
};

thread_local DecodeBudget* currentBudget = nullptr;
thread_local uint64_t currentSerial = 0;
std::atomic<uint64_t> nextSerial{1};

BlockHeader* headerOf(void* block) { return static_cast<BlockHeader*>(block) - 1; }

void releaseCharge(const BlockHeader& header) {
  if (currentBudget && header.serial == currentSerial) currentBudget->release(header.size);
}

}  // namespace

BudgetScope::BudgetScope(DecodeBudget* budget)
    : previousBudget_(currentBudget), previousSerial_(currentSerial) {
  currentBudget = budget;
  currentSerial = nextSerial++;
}

BudgetScope::~BudgetScope() {
  currentBudget = previousBudget_;
  currentSerial = previousSerial_;
}

void* BudgetScope::allocate(size_t bytes) {
  if (bytes > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
  if (currentBudget && !currentBudget->reserve(bytes)) return nullptr;
  auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + bytes));
  if (!header) {
    if (currentBudget) currentBudget->release(bytes);
    return nullptr;
  }
  header->size = bytes;
  header->serial = currentBudget ? currentSerial : 0;
  return header + 1;
}

void* BudgetScope::reallocate(void* block, size_t bytes) {
  if (!block) return allocate(bytes);
  // A fresh block and a copy: growing in place cannot be charged before it
  // happens.
  void* grown = allocate(bytes);
  if (!grown) return nullptr;
  std::memcpy(grown, block, std::min(bytes, headerOf(block)->size));
  release(block);
  return grown;
}

void BudgetScope::release(void* block) {
  if (!block) return;
  BlockHeader* header = headerOf(block);
  releaseCharge(*header);
  std::free(header);
}

}  // namespace io
