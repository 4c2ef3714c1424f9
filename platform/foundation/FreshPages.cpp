#include "foundation/FreshPages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace fnd {

void FreshPages::mapForWriting(void* begin, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  static const uintptr_t pageBytes = uintptr_t(sysconf(_SC_PAGESIZE));
  const uintptr_t start = reinterpret_cast<uintptr_t>(begin);
  // Only whole pages: the bytes around the range may belong to others.
  const uintptr_t first = (start + pageBytes - 1) & ~(pageBytes - 1);
  const uintptr_t end = (start + bytes) & ~(pageBytes - 1);
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
  (void)begin, (void)bytes;
#endif
}

}  // namespace fnd
