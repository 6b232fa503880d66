// The per-thread cache of freed short BSTR blocks that the portable oleauto keeps, as the system
// keeps its own: a record of thousands of short texts is made and freed again on every
// GetBlockData, and each malloc and free of them would churn the allocator's bins.
#pragma once

#if defined(CPS_OLEAUTO_PORTABLE)

#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>

namespace cps::oleauto {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Freed blocks of short BSTRs are kept for the next ones, per thread, as the system keeps its
// BSTR cache: a record of thousands of short texts is made and freed again on every
// GetBlockData, and each malloc and free of them would churn the allocator's bins. Blocks of up
// to kLargest bytes are allocated at their class size (a multiple of kClassBytes), so a kept
// block fits any BSTR of its class. OANOCACHE in the environment turns the cache off, as it does
// on the system; so does AddressSanitizer, which is to see every free.
class BstrCache {
 public:
  static constexpr size_t kClassBytes = 16;
  static constexpr size_t kLargest = 128;
  static constexpr size_t kKept = 1 << 16;  // per class: the texts of the largest record

  static bool enabled() {
    static const bool on = !kSanitized && std::getenv("OANOCACHE") == nullptr;
    return on;
  }
  // The size a block of `size` bytes is allocated at.
  static size_t class_size(size_t size) {
    return size <= kLargest ? (size + kClassBytes - 1) / kClassBytes * kClassBytes : size;
  }

  ~BstrCache() {
    gone_ = true;
    for (Node*& head : heads_)
      while (head) std::free(std::exchange(head, head->next));
  }
  // A kept block of this class size, or nullptr.
  void* take(size_t size) {
    if (size > kLargest) return nullptr;
    Node*& head = heads_[size / kClassBytes - 1];
    if (!head) return nullptr;
    --counts_[size / kClassBytes - 1];
    return std::exchange(head, head->next);
  }
  // Keeps a block of this class size; false when it is to be freed instead.
  bool keep(void* block, size_t size) {
    if (size > kLargest || counts_[size / kClassBytes - 1] >= kKept) return false;
    ++counts_[size / kClassBytes - 1];
    Node*& head = heads_[size / kClassBytes - 1];
    head = new (block) Node{head};
    return true;
  }

  // The calling thread's cache; nullptr when off, or while the thread is ending.
  static BstrCache* mine() {
    if (!enabled() || gone_) return nullptr;
    thread_local BstrCache cache;
    return &cache;
  }

 private:
  struct Node {
    Node* next;
  };
  static inline thread_local bool gone_ = false;
  Node* heads_[kLargest / kClassBytes] = {};
  size_t counts_[kLargest / kClassBytes] = {};
};

}  // namespace cps::oleauto

#endif  // CPS_OLEAUTO_PORTABLE
