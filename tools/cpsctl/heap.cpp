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
// little at a time from wherever it starts, so none would ever fit: here it grows once, by
// `bytes` and two huge pages (the top pad asks for that in the one brk that a block larger than
// the heap's free top makes). That block runs from the free top up to the first 2 MiB boundary
// past the heap's end, so it never fits without the brk, and is kept, never touched; what lies
// beyond is marked for huge pages, and every later block comes from there. Blocks up to 32 MiB
// come from the heap (the mmap threshold), and freed memory stays in it (the trim threshold is
// above it). Only the pages used are ever backed.
//
// The free top is where the heap ends less the size of its top block (mallinfo2's keepcost).
// Were that ever off, the boundary block would only land elsewhere: fewer pages would be huge.
void prepare_heap(std::size_t bytes) {
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  constexpr std::size_t kMostBytes = std::size_t{256} << 20;
  constexpr int kDefaultTopPad = 128 * 1024;
  if (bytes > kMostBytes) return;
  const std::size_t whole = bytes + 2 * kHugePage;
  if (mallopt(M_MMAP_THRESHOLD, static_cast<int>(16 * kHugePage)) == 0 ||
      mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * whole)) == 0 || mallopt(M_TOP_PAD, static_cast<int>(whole)) == 0)
    return;
  const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0));
  const std::uintptr_t top = end - mallinfo2().keepcost;
  // The block's header and the top block's, after it, stay below the boundary.
  const std::uintptr_t boundary = (end + 256 + kHugePage - 1) & ~std::uintptr_t{kHugePage - 1};
  static void* below_boundary = std::malloc(boundary - top - 128);  // kept, never touched
  mallopt(M_TOP_PAD, kDefaultTopPad);
  const auto grown = reinterpret_cast<std::uintptr_t>(sbrk(0)) & ~std::uintptr_t{kHugePage - 1};
  if (below_boundary != nullptr && grown > boundary)
    madvise(reinterpret_cast<void*>(boundary), grown - boundary, MADV_HUGEPAGE);
}

#else

void prepare_heap(std::size_t) {}

#endif

}  // namespace cpsctl
