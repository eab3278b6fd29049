#ifndef NLPEVAL_CORE_INTERNAL_HUGE_PAGES_H_
#define NLPEVAL_CORE_INTERNAL_HUGE_PAGES_H_

// A hint for large buffers that are filled once: faulting in 4 KiB pages one by one is a
// large part of reading big inputs on virtual machines.

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace nlpeval {

// Asks the kernel for huge pages on the whole 2 MiB pages of a fresh, untouched allocation.
// A hint only: it changes nothing else and may be ignored.
inline void advise_huge_pages(const void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHugePage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace nlpeval

#endif  // NLPEVAL_CORE_INTERNAL_HUGE_PAGES_H_
