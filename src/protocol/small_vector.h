#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <type_traits>

namespace tarnu::protocol {

// A growable array of trivially copyable elements whose first N elements live inside the
// object itself, so that typical payloads decode without touching the heap. Beyond N it
// moves to heap storage that doubles as elements are actually appended.
template <typename T, std::size_t N>
class SmallVector {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_default_constructible_v<T>);
  static_assert(N > 0);

 public:
  SmallVector() = default;
  SmallVector(const SmallVector&) = delete;
  SmallVector& operator=(const SmallVector&) = delete;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::size_t capacity() const { return capacity_; }

  T& operator[](std::size_t index) { return data_[index]; }
  const T& operator[](std::size_t index) const { return data_[index]; }
  T& back() { return data_[size_ - 1]; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

  void push_back(const T& value) {
    if (size_ == capacity_) {
      grow_to(capacity_ * 2);
    }
    data_[size_++] = value;
  }

  // Appends an element left as it is, for the caller to fill in.
  T& append() {
    if (size_ == capacity_) {
      grow_to(capacity_ * 2);
    }
    return data_[size_++];
  }

  void pop_back() { --size_; }

  // Makes room for at least `count` elements in all; callers bound the count themselves.
  void reserve(std::size_t count) {
    if (count > capacity_) {
      grow_to(count);
    }
  }

 private:
  void grow_to(std::size_t count) {
    auto larger = std::make_unique_for_overwrite<T[]>(count);
    std::memcpy(larger.get(), data_, size_ * sizeof(T));
    heap_ = std::move(larger);
    data_ = heap_.get();
    capacity_ = count;
  }

  T* data_ = inline_;
  std::size_t size_ = 0;
  std::size_t capacity_ = N;
  std::unique_ptr<T[]> heap_;
  T inline_[N];
};

}  // namespace tarnu::protocol
