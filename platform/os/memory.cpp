#include "platform/os/memory.h"

#include <sanitizer/asan_interface.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace platform {
namespace {

constexpr size_t kLargeBlock = size_t(1) << 20;
constexpr size_t kPage = 4096;
#ifdef MAP_POPULATE
constexpr int kPopulate = MAP_POPULATE;
#else
constexpr int kPopulate = 0;
#endif

size_t mappedLength(size_t bytes) { return (bytes + kPage - 1) / kPage * kPage; }

// Large blocks, mapped from the system and kept when freed, for reuse. Few are live at once in
// a run (a decoded picture, its halvings, a canvas, an encoder's buffers), so a few kept blocks
// are enough; the smallest is given back when more are freed. Under AddressSanitizer the part of
// a lent block past the bytes asked for, and every kept block, are poisoned, so that overflows
// and uses after free are reported as they would be for the system allocator; elsewhere the
// poisoning calls do nothing.
class BlockCache {
 public:
  // A block of at least `length` bytes, its first `bytes` usable: the smallest kept one that
  // fits, else a new mapping.
  BlockCache() { kept_.reserve(kKept + 1); }

  void* take(size_t bytes, size_t length, bool prefault, bool* fresh) {
    std::lock_guard lock(mutex_);
    // Room for the new loan first: giving a block back runs in a deleter and must not allocate,
    // and a block is never left neither lent nor kept.
    if (lent_.size() == lent_.capacity()) {
      try {
        lent_.reserve(lent_.size() + 8);
      } catch (const std::bad_alloc&) {
        return nullptr;
      }
    }
    Block* best = nullptr;
    for (Block& b : kept_)
      if (b.length >= length && (!best || b.length < best->length)) best = &b;
    if (best) {
      Block block = *best;
      *best = kept_.back();
      kept_.pop_back();
      lent_.push_back(block);
      lend(block, bytes);
      return block.start;
    }
    // Prefaulting makes the pages writable in one call rather than one fault at a time (twice
    // where a page is read before it is written).
    void* mapped = mmap(nullptr, length, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | (prefault ? kPopulate : 0), -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    *fresh = true;
    lent_.push_back({mapped, length});
    lend(lent_.back(), bytes);
    return mapped;
  }
  void give(void* start) {
    std::lock_guard lock(mutex_);
    for (Block& b : lent_) {
      if (b.start != start) continue;
      const Block block = b;
      b = lent_.back();
      lent_.pop_back();
      kept_.push_back(block);
      ASAN_POISON_MEMORY_REGION(block.start, block.length);
      break;
    }
    if (kept_.size() > kKept) {
      auto smallest = std::min_element(kept_.begin(), kept_.end(),
                                       [](auto& x, auto& y) { return x.length < y.length; });
      ASAN_UNPOISON_MEMORY_REGION(smallest->start, smallest->length);
      munmap(smallest->start, smallest->length);
      *smallest = kept_.back();
      kept_.pop_back();
    }
  }

 private:
  static constexpr size_t kKept = 3;
  struct Block {
    void* start;
    size_t length;
  };
  static void lend(const Block& block, size_t bytes) {
    ASAN_UNPOISON_MEMORY_REGION(block.start, bytes);
    ASAN_POISON_MEMORY_REGION(static_cast<char*>(block.start) + bytes, block.length - bytes);
  }
  std::mutex mutex_;
  std::vector<Block> kept_, lent_;
};

// Never destroyed: pictures held by static objects are freed after every other static is gone.
BlockCache& cache() {
  static BlockCache* instance = new BlockCache;
  return *instance;
}

}  // namespace

void* allocateBlock(size_t bytes, bool zeroed, bool prefault) {
  if (bytes < kLargeBlock)
    return zeroed ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
  if (bytes > SIZE_MAX - kPage) return nullptr;
  bool fresh = false;
  void* block = cache().take(bytes, mappedLength(bytes), prefault, &fresh);
  // New mappings are zero pages already; only reused blocks need clearing.
  if (block && zeroed && !fresh) std::memset(block, 0, bytes);
  return block;
}

void freeBlock(void* block, size_t bytes) {
  if (!block) return;
  if (bytes < kLargeBlock) {
    std::free(block);
    return;
  }
  cache().give(block);
}

}  // namespace platform
