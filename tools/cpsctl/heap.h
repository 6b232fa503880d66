#ifndef CPSCTL_HEAP_H
#define CPSCTL_HEAP_H

#include <cstddef>

namespace cpsctl {

// Sets the process heap up for a short run that builds a few megabytes of records: `bytes` of
// heap reserved at once, from a 2 MiB boundary, and marked for transparent huge pages. Does
// nothing where the C library's allocator is not glibc's or a sanitizer replaces it.
void prepare_heap(std::size_t bytes);

}  // namespace cpsctl

#endif
