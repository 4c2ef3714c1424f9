// Makes a decode budget the one that C libraries allocating through plain
// malloc-style hooks (stb_image, libpng) charge on this thread while the
// scope lives. A block keeps its size in front of it, so freeing releases
// what it reserved; blocks that outlive the scope (a returned image) are
// freed without touching a budget that may be gone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace io {

class DecodeBudget;

class BudgetScope {
 public:
  explicit BudgetScope(DecodeBudget* budget);
  ~BudgetScope();
  BudgetScope(const BudgetScope&) = delete;
  BudgetScope& operator=(const BudgetScope&) = delete;

  // Null when the current budget refuses (or the system has no memory).
  static void* allocate(size_t bytes);
  static void* reallocate(void* block, size_t bytes);
  static void release(void* block);

 private:
  DecodeBudget* previousBudget_;
  uint64_t previousSerial_;
};

}  // namespace io
