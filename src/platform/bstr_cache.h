// The cache of short BSTR blocks that the portable oleauto keeps, as the system keeps its own: a
// record of thousands of short texts is made and freed again on every GetBlockData and
// SetBlockData, and a malloc and a free of each would cost more than making the text.
#pragma once

#if defined(CPS_OLEAUTO_PORTABLE)

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <mutex>
#include <new>

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

// Blocks of up to kLargest bytes are made at their class size (a multiple of kClassBytes), so a
// kept block fits any BSTR of its class. They are made kSlab of a class at a time, from one
// allocation, and never given back to the allocator: a freed block goes on the freeing thread's
// list of its class, and a thread that ends hands its lists over to lists shared by all threads,
// which a thread takes from before it makes more. So the memory kept is what the most short
// BSTRs alive at once took, and any thread may free a BSTR, before or after the one that made it
// ends. OANOCACHE in the environment turns the cache off, as it does on the system; so does
// AddressSanitizer, which is to see every allocation and free. Off, every block is a malloc of
// its own, and a free.
class BstrCache {
 public:
  static constexpr size_t kClassBytes = 16;
  static constexpr size_t kLargest = 128;
  static constexpr size_t kClasses = kLargest / kClassBytes;
  static constexpr size_t kSlab = 64;

  // Whether the cache is on: decided once, at the first BSTR of the process.
  static bool enabled() {
    int state = state_.load(std::memory_order_relaxed);
    if (state == 0) {
      state = !kSanitized && std::getenv("OANOCACHE") == nullptr ? 1 : 2;
      state_.store(state, std::memory_order_relaxed);
    }
    return state == 1;
  }
  // The size a block of `size` bytes is allocated at.
  static size_t class_size(size_t size) {
    return size <= kLargest ? (size + kClassBytes - 1) / kClassBytes * kClassBytes : size;
  }
  // Whether blocks of this allocated size come from the cache (only while it is on).
  static bool cached(size_t allocated) { return allocated <= kLargest && enabled(); }

  // A block of class size `allocated`; nullptr when memory runs out.
  static void* take(size_t allocated) {
    Node*& head = mine_.heads[allocated / kClassBytes - 1];
    if (Node* node = head) {
      head = node->next;
      return node;
    }
    return refill(allocated / kClassBytes - 1);
  }
  // Keeps a block of class size `allocated` for the next BSTR of its class.
  static void keep(void* block, size_t allocated) {
    Lists& lists = mine_;
    if (!lists.armed) return keep_slowly(block, allocated / kClassBytes - 1);
    Node*& head = lists.heads[allocated / kClassBytes - 1];
    head = new (block) Node{head};
  }

 private:
  struct Node {
    Node* next;
  };
  // A thread's lists. `armed`: the thread hands them over when it ends; `gone`: it has, and a
  // BSTR made or freed in a thread_local destructor after that uses the shared lists.
  struct Lists {
    Node* heads[kClasses];
    bool armed;
    bool gone;
  };
  struct Shared {
    std::mutex mutex;
    Node* heads[kClasses] = {};
    std::atomic<bool> any[kClasses] = {};
  };
  struct HandOver {
    ~HandOver();
  };

  static Shared& shared() {
    static Shared* const kShared = new Shared;  // never destroyed: a BSTR may be freed at exit
    return *kShared;
  }
  static void arm() {
    thread_local HandOver hand_over;  // made here once a thread: it runs when the thread ends
    (void)hand_over;
    mine_.armed = true;
  }
  static void push_shared(size_t c, Node* first, Node* last) {
    Shared& s = shared();
    const std::lock_guard<std::mutex> lock(s.mutex);
    last->next = s.heads[c];
    s.heads[c] = first;
    s.any[c].store(true, std::memory_order_relaxed);
  }
  static void keep_slowly(void* block, size_t c) {
    Node* node = new (block) Node{nullptr};
    if (mine_.gone) return push_shared(c, node, node);
    arm();
    node->next = mine_.heads[c];
    mine_.heads[c] = node;
  }
  static void* refill(size_t c);

  static inline std::atomic<int> state_{0};  // 0 undecided, 1 on, 2 off
  static inline constinit thread_local Lists mine_{};
};

inline BstrCache::HandOver::~HandOver() {
  Lists& lists = mine_;
  lists.gone = true;
  lists.armed = false;  // keep() then takes the slow way, to the shared lists
  for (size_t c = 0; c < kClasses; ++c) {
    Node* first = lists.heads[c];
    if (!first) continue;
    Node* last = first;
    while (last->next) last = last->next;
    lists.heads[c] = nullptr;
    push_shared(c, first, last);
  }
}

inline void* BstrCache::refill(size_t c) {
  Lists& lists = mine_;
  Shared& s = shared();
  if (s.any[c].load(std::memory_order_relaxed)) {
    const std::lock_guard<std::mutex> lock(s.mutex);
    if (Node* node = s.heads[c]) {
      if (lists.gone) {
        // Ending: one block only, the rest stays shared.
        s.heads[c] = node->next;
        s.any[c].store(s.heads[c] != nullptr, std::memory_order_relaxed);
        return node;
      }
      if (!lists.armed) arm();
      lists.heads[c] = node->next;
      s.heads[c] = nullptr;
      s.any[c].store(false, std::memory_order_relaxed);
      return node;
    }
  }
  const size_t size = (c + 1) * kClassBytes;
  auto* slab = static_cast<char*>(std::malloc(kSlab * size));
  if (!slab) return nullptr;
  // Blocks 1 to kSlab - 1, in order, ahead of what the list holds; block 0 is the answer.
  Node* first = reinterpret_cast<Node*>(slab + size);
  for (size_t k = 1; k + 1 < kSlab; ++k) new (slab + k * size) Node{reinterpret_cast<Node*>(slab + (k + 1) * size)};
  Node* last = new (slab + (kSlab - 1) * size) Node{nullptr};
  if (lists.gone) {
    push_shared(c, first, last);
  } else {
    if (!lists.armed) arm();
    last->next = lists.heads[c];
    lists.heads[c] = first;
  }
  return slab;
}

}  // namespace cps::oleauto

#endif  // CPS_OLEAUTO_PORTABLE
