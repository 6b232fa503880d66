#include "heap.h"

#include <cstdint>
#include <cstdlib>

#if defined(CPSCTL_HUGE_HEAP) && defined(__GLIBC__)
#define CPSCTL_PREPARE_HEAP 1
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace cpsctl {

#if defined(CPSCTL_PREPARE_HEAP)

// On a virtual machine the first touch of an anonymous 4 KiB page can cost 10 us or more (it did
// on the machines cpsctl is built and timed on): a 255-channel read touched about 900 heap pages,
// more than half of its time. A huge page is one fault for 2 MiB. glibc's heap grows by brk a
// little at a time from wherever it starts, so none would ever fit: here it grows at once, by
// `bytes` and a huge page (in pieces of at most 16 MiB, which its mmap threshold lets come from
// brk), and is handed back to the allocator, which keeps it (the trim threshold is above it). A
// block that is never used (its pages never touched) then takes the heap up to the next 2 MiB
// boundary, and what lies beyond is marked for huge pages. Every later block comes from there.
// Only the pages used are ever backed.
void prepare_heap(std::size_t bytes) {
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  constexpr std::size_t kPiece = 8 * kHugePage;
  constexpr std::size_t kMostPieces = 16;
  const std::size_t whole = bytes + kHugePage;
  if (whole > kPiece * kMostPieces || mallopt(M_MMAP_THRESHOLD, static_cast<int>(2 * kPiece)) == 0 ||
      mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * whole)) == 0)
    return;
  void* pieces[kMostPieces];
  std::size_t count = 0;
  for (std::size_t reserved = 0; reserved < whole; reserved += kPiece) {
    pieces[count] = std::malloc(kPiece);
    if (pieces[count] == nullptr) break;
    ++count;
  }
  if (count == 0) return;
  const auto at = reinterpret_cast<std::uintptr_t>(pieces[0]);
  const std::uintptr_t boundary = (at + 64 + kHugePage - 1) & ~std::uintptr_t{kHugePage - 1};
  while (count > 0) std::free(pieces[--count]);
  static void* below_boundary = std::malloc(boundary - at - 64);  // kept, never touched
  const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0)) & ~std::uintptr_t{kHugePage - 1};
  if (below_boundary != nullptr && end > boundary)
    madvise(reinterpret_cast<void*>(boundary), end - boundary, MADV_HUGEPAGE);
}

#else

void prepare_heap(std::size_t) {}

#endif

}  // namespace cpsctl
