#pragma once
// The owner of one C library object: destroy(p) runs once when the owner goes, and ownership
// only moves. destroy's result, if any, is ignored.
#include <utility>

namespace platform {

template <class T, auto destroy>
class Handle {
 public:
  Handle() = default;
  explicit Handle(T* p) : p_(p) {}
  Handle(Handle&& other) noexcept : p_(other.release()) {}
  Handle& operator=(Handle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { reset(); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* release() { return std::exchange(p_, nullptr); }
  void reset(T* p = nullptr) {
    if (T* old = std::exchange(p_, p)) destroy(old);
  }

 private:
  T* p_ = nullptr;
};

}  // namespace platform
