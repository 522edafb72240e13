#pragma once
// A fixed number of plain elements that start as zero bytes, in memory from
// calloc. A large array gets fresh pages from the system, which become
// resident only when written: a store sized for the largest case costs
// memory only for the part that is used.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

namespace dorv::ui {

template <class T>
class ZeroedArray {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                "elements are plain data whose zero bytes are a zero value");

 public:
  explicit ZeroedArray(size_t n = 0) : data_(Allocate(n)), size_(n) {}

  size_t size() const { return size_; }
  T* data() { return data_.get(); }
  const T* data() const { return data_.get(); }
  T* begin() { return data(); }
  T* end() { return data() + size_; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + size_; }
  T& operator[](size_t i) { return data()[i]; }
  const T& operator[](size_t i) const { return data()[i]; }

  // Every element back to zero bytes. Only the pages that hold something
  // are written, so the pages never used stay without memory.
  void Clear() {
    auto* p = reinterpret_cast<unsigned char*>(data());
    auto* const stop = p + size_ * sizeof(T);
    while (p < stop) {
      auto* next =
          reinterpret_cast<unsigned char*>((reinterpret_cast<std::uintptr_t>(p) | (kPage - 1)) + 1);
      auto* blockEnd = std::min(next, stop);
      if (std::any_of(p, blockEnd, [](unsigned char c) { return c != 0; }))
        std::memset(p, 0, static_cast<size_t>(blockEnd - p));
      p = blockEnd;
    }
  }

 private:
  static constexpr std::uintptr_t kPage = 4096;
  struct Free {
    void operator()(T* p) const { std::free(p); }
  };
  static T* Allocate(size_t n) {
    if (n == 0) return nullptr;
    void* p = std::calloc(n, sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);  // zero bytes: the elements' zero values
  }

  std::unique_ptr<T, Free> data_;
  size_t size_;
};

}  // namespace dorv::ui
