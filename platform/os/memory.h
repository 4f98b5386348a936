#pragma once
// Storage for large pixel buffers: the pictures and canvases of the drawing services own theirs
// through Block.
#include <cstddef>
#include <memory>

namespace platform {

// Memory of at least `bytes`, 16-byte aligned, zeroed when `zeroed` is set. A run touches tens
// of megabytes, and on the machines it runs on a fresh page costs more than the drawing done in
// it, so large blocks are kept when freed and handed out again. With `prefault` the pages are
// made resident at once, which is cheaper when the caller fills the block whole; without it a
// page costs memory only once touched, which is what a decoder of untrusted sizes wants.
// Nothing on failure.
void* allocateBlock(size_t bytes, bool zeroed, bool prefault);
void freeBlock(void* block, size_t bytes);

template <class T>
struct BlockFree {
  size_t bytes = 0;
  void operator()(T* p) const { freeBlock(p, bytes); }
};
template <class T>
using Block = std::unique_ptr<T[], BlockFree<T>>;

template <class T>
Block<T> allocateArray(size_t count, bool zeroed, bool prefault) {
  const size_t bytes = count * sizeof(T);
  return Block<T>(static_cast<T*>(allocateBlock(bytes, zeroed, prefault)), BlockFree<T>{bytes});
}

}  // namespace platform
