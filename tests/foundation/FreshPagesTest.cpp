#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "foundation/FreshPages.h"

namespace {

const size_t kPage = size_t(sysconf(_SC_PAGESIZE));

// Which of the `pages` pages from `base` are mapped.
std::vector<bool> mapped(unsigned char* base, size_t pages) {
  std::vector<unsigned char> resident(pages);
  EXPECT_EQ(mincore(base, pages * kPage, resident.data()), 0);
  std::vector<bool> result;
  for (unsigned char page : resident) result.push_back(page & 1);
  return result;
}

// Whether this kernel takes the call (5.14 and later).
bool kernelMapsAhead() {
#ifdef MADV_POPULATE_WRITE
  void* page = mmap(nullptr, kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  const bool takes = page != MAP_FAILED && madvise(page, kPage, MADV_POPULATE_WRITE) == 0;
  if (page != MAP_FAILED) munmap(page, kPage);
  return takes;
#else
  return false;
#endif
}

}  // namespace

// Only the whole pages inside the range map, with their bytes as they
// were (zeros when fresh, what was written otherwise); the pages the range
// only touches stay unmapped.
TEST(FreshPages, MapsTheWholePagesInsideTheRangeAndKeepsTheirBytes) {
  constexpr size_t kPages = 8;
  auto* base = static_cast<unsigned char*>(
      mmap(nullptr, kPages * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(base, MAP_FAILED);
  std::memset(base + 6 * kPage, 0x5a, kPage);  // a page written before

  struct Case {
    size_t begin, bytes;
    std::vector<bool> mappedAfter;  // pages 0 to 7
  } cases[] = {
      {kPage / 2, kPage, {0, 0, 0, 0, 0, 0, 1, 0}},          // within two halves: none
      {kPage + 1, 3 * kPage - 2, {0, 0, 1, 0, 0, 0, 1, 0}},  // pages 1 and 3 are cut
      {4 * kPage, 3 * kPage, {0, 0, 1, 0, 1, 1, 1, 0}},      // over the written one
      {0, 0, {0, 0, 1, 0, 1, 1, 1, 0}},                      // nothing
  };
  if (mapped(base, kPages) != std::vector<bool>{0, 0, 0, 0, 0, 0, 1, 0})
    GTEST_SKIP() << "mincore does not tell fresh pages here";
  if (!kernelMapsAhead()) GTEST_SKIP() << "the kernel has no call to map pages ahead";
  for (const Case& c : cases) {
    fnd::FreshPages::mapForWriting(base + c.begin, c.bytes);
    EXPECT_EQ(mapped(base, kPages), c.mappedAfter)
        << "range at " << c.begin << ", " << c.bytes << " bytes";
  }
  for (size_t i = 0; i < kPages * kPage; ++i)
    ASSERT_EQ(base[i], i / kPage == 6 ? 0x5a : 0) << "byte " << i;
  munmap(base, kPages * kPage);
}
